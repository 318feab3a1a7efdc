#include "xml/texttemplate.h"

#include "common/conversions.h"
#include "common/currency.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/values.h>

#include <QDate>
#include <QDateTime>

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

QString FormatTemplate(const QString &templateText, const QVariantList &values,
                       const QLocale &locale)
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

} // namespace zeltpc5
