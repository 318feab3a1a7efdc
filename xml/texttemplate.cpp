#include "xml/texttemplate.h"

#include "common/conversions.h"
#include "common/currency.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/values.h>

#include <QDate>
#include <QDateTime>

#include <array>
#include <utility>

namespace zeltpc5 {

std::optional<QString> TemplateValueText(const QVariant &value, const QLocale &locale)
{
    if (!value.isValid())
        return QString();
    const int type = value.metaType().id();
    if (type == qMetaTypeId<NullValue>())
        return std::nullopt;
    if (type == qMetaTypeId<Currency>())
        return value.value<Currency>().toString(locale);
    if (type == qMetaTypeId<CurrencyValue>())
        return Currency(value.value<CurrencyValue>()).toString(locale);
    if (type == qMetaTypeId<VariantBool>())
        return value.value<VariantBool>().isTrue() ? QStringLiteral("True")
                                                   : QStringLiteral("False");
    const auto plain = [&locale] {
        QLocale l = locale;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    };
    switch (type) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float:
        return SingleToText(value.toFloat(), locale);
    case QMetaType::Double:
        return NumberToText(value.toDouble(), locale);
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return LatinDigits(plain().toString(value.toLongLong()));
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return LatinDigits(plain().toString(value.toULongLong()));
    case QMetaType::QDate:
        return LatinDigits(locale.toString(value.toDate(), QLocale::ShortFormat));
    case QMetaType::QDateTime:
        return LatinDigits(locale.toString(value.toDateTime(), QLocale::ShortFormat));
    default:
        break;
    }
    if (value.canConvert<QString>())
        return value.toString();
    return std::nullopt;
}

namespace {

// The placeholder "{n}" (n written without leading zeros, 0 to MaxTemplatePlaceholder) that
// starts at text[i], as its index, and its length; nothing when none starts there.
std::optional<std::pair<int, qsizetype>> PlaceholderAt(QStringView text, qsizetype i)
{
    if (text[i] != u'{' || i + 2 >= text.size())
        return std::nullopt;
    qsizetype j = i + 1;
    int index = 0;
    while (j < text.size() && j - i <= 3 && text[j] >= u'0' && text[j] <= u'9') {
        index = index * 10 + (text[j].unicode() - u'0');
        ++j;
    }
    const qsizetype digits = j - i - 1;
    if (digits == 0 || j >= text.size() || text[j] != u'}' || (digits > 1 && text[i + 1] == u'0') ||
        index > MaxTemplatePlaceholder)
        return std::nullopt;
    return std::pair(index, j + 1 - i);
}

// The rounds, one per placeholder in ascending order over the text filled so far.
QString FillInRounds(const QString &templateText, const QVariantList &values, const QLocale &locale)
{
    // Built once: templates are filled for every line of a run.
    static const QStringList placeholders = [] {
        QStringList all;
        for (int i = 0; i <= MaxTemplatePlaceholder; ++i)
            all << QLatin1Char('{') + QString::number(i) + QLatin1Char('}');
        return all;
    }();
    QString text = templateText;
    const int last = qMin<qsizetype>(values.size() - 1, MaxTemplatePlaceholder);
    for (int i = 0; i <= last; ++i) {
        const QString &placeholder = placeholders.at(i);
        if (!text.contains(placeholder))
            continue;
        if (const std::optional<QString> value = TemplateValueText(values.at(i), locale))
            text.replace(placeholder, *value);
    }
    return text;
}

} // namespace

QString FormatTemplate(const QString &templateText, const QVariantList &values,
                       const QLocale &locale)
{
    // One pass over the template fills it as the rounds do when every brace of the template
    // belongs to a placeholder and no value holds a brace: then no round can meet a
    // placeholder an earlier one made. Otherwise the rounds run.
    const auto hasBrace = [](QStringView text) {
        return text.contains(u'{') || text.contains(u'}');
    };
    std::array<std::optional<std::optional<QString>>, MaxTemplatePlaceholder + 1> texts;
    QString result;
    result.reserve(templateText.size() + 32);
    const QStringView text(templateText);
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'{' && c != u'}')
            continue;
        const auto placeholder = PlaceholderAt(text, i);
        if (!placeholder)
            return FillInRounds(templateText, values, locale);
        const auto [index, length] = *placeholder;
        if (index >= values.size()) {
            i += length - 1;
            continue;
        }
        std::optional<std::optional<QString>> &value = texts[std::size_t(index)];
        if (!value) {
            value = TemplateValueText(values.at(index), locale);
            if (*value && hasBrace(**value))
                return FillInRounds(templateText, values, locale);
        }
        if (*value) {
            result += text.mid(copied, i - copied);
            result += **value;
            copied = i + length;
        }
        i += length - 1;
    }
    if (copied == 0)
        return templateText;
    result += text.mid(copied);
    return result;
}

} // namespace zeltpc5
