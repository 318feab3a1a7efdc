#include "common/conversions.h"

#include "common/decimal_p.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace zeltpc5 {

namespace {

double RoundHalfEven(double value)
{
    // Every x.5 is exact in binary, so the tie can be detected on the double itself.
    if (std::abs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return std::round(value);
}

template <typename Int>
std::optional<Int> RoundToInt(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    const double rounded = RoundHalfEven(value);
    if (rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return Int(rounded);
}

// Qt reads "0,125" as 125 in en_US (and "0.125" as 125 in de_DE): a leading group of zeros.
// That is almost always a decimal typed with another locale's separator, so it is refused.
bool HasZeroLeadingGroup(const QString &text, const QLocale &locale)
{
    QStringView rest = QStringView(text).trimmed();
    for (const QString &sign : {locale.negativeSign(), locale.positiveSign()}) {
        if (rest.startsWith(sign))
            rest = rest.mid(sign.size());
    }
    // Zeros as typed: the locale's own or 0-9, which every locale reads.
    const QString zero = locale.zeroDigit();
    qsizetype zeros = 0;
    while (rest.mid(zeros).startsWith(u'0') ||
           (!zero.isEmpty() && rest.mid(zeros).startsWith(zero)))
        zeros += rest.mid(zeros).startsWith(u'0') ? 1 : zero.size();
    if (zeros == 0 || zeros == rest.size())
        return false;
    rest = rest.mid(zeros);
    const QString group = locale.groupSeparator();
    // Qt also takes a plain blank where the separator is a special space (fr_FR).
    const bool blankGroup = group.size() == 1 && group.front().isSpace();
    return rest.startsWith(group) || (blankGroup && rest.front().isSpace());
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

} // namespace

std::optional<qint16> RoundToInt16(double value)
{
    return RoundToInt<qint16>(value);
}

std::optional<qint32> RoundToInt32(double value)
{
    return RoundToInt<qint32>(value);
}

std::optional<float> ToSingle(double value)
{
    if (std::isnan(value) || std::abs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return float(value);
}

namespace {

// Whether the locale writes "-" and "." for minus and decimal point, remembered for the last
// locale asked about: documents are read field by field under one locale.
bool UsesPlainMarks(const QLocale &locale)
{
    thread_local std::optional<std::pair<QLocale, bool>> last;
    if (!last || !(last->first == locale)) {
        last.emplace(locale, locale.decimalPoint() == QLatin1String(".") &&
                                 locale.negativeSign() == QLatin1String("-"));
    }
    return last->second;
}

// "[-]digits[.digits]", the form numbers in documents nearly always take, read without the
// general parser. Anything else (groups, exponents, signs elsewhere) is left to it.
std::optional<double> PlainNumber(QStringView text)
{
    char buffer[48];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    qsizetype n = 0;
    bool point = false;
    bool digitsAfterPoint = false;
    bool digits = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits = true;
            digitsAfterPoint = point;
        } else if (c == u'.' && !point && digits) {
            point = true;
        } else if (!(c == u'-' && i == 0)) {
            return std::nullopt;
        }
        buffer[n++] = char(c.unicode());
    }
    if (!digits || (point && !digitsAfterPoint))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + n, value);
    if (error != std::errc() || end != buffer + n)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> ParseNumber(const QString &text, const QLocale &locale)
{
    if (UsesPlainMarks(locale)) {
        if (const auto plain = PlainNumber(QStringView(text).trimmed()))
            return plain;
    }
    bool ok = false;
    double value = 0;
    // Qt 6.4 cannot read its own output where the minus sign is more than one character
    // (Arabic: a letter mark before '-'); read the magnitude instead and negate it.
    const QString minus = locale.negativeSign();
    const QStringView trimmed = QStringView(text).trimmed();
    const QStringView magnitude = trimmed.mid(minus.size());
    if (minus.size() > 1 && trimmed.startsWith(minus) && !magnitude.isEmpty() &&
        (magnitude.front().isDigit() || magnitude.startsWith(locale.decimalPoint())))
        value = -locale.toDouble(magnitude, &ok);
    else
        value = locale.toDouble(text, &ok);
    // Qt also accepts "inf" and "nan", which are not numbers a user enters.
    if (!ok || !std::isfinite(value) || HasZeroLeadingGroup(text, locale))
        return std::nullopt;
    return value;
}

bool IsNumeric(const QString &text, const QLocale &locale)
{
    return ParseNumber(text, locale).has_value();
}

double LeadingNumber(const QString &text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < size && IsBlank(text[i]))
            ++i;
    };
    const auto isDigit = [&] { return i < size && text[i] >= u'0' && text[i] <= u'9'; };
    const auto isSign = [&] { return i < size && (text[i] == u'+' || text[i] == u'-'); };

    // Collect the number without its blanks, then let the C-locale reader convert it.
    QString number;
    skipBlanks();
    if (isSign())
        number += text[i++];
    bool hasDigits = false;
    bool hasPoint = false;
    for (skipBlanks(); isDigit() || (i < size && text[i] == u'.' && !hasPoint); skipBlanks()) {
        hasDigits = hasDigits || text[i] != u'.';
        hasPoint = hasPoint || text[i] == u'.';
        number += text[i++];
    }
    if (!hasDigits)
        return 0.0;

    // An exponent counts only when digits follow; otherwise the number ends before the E.
    if (i < size && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        QString exponent = QStringLiteral("e");
        skipBlanks();
        if (isSign())
            exponent += text[i++];
        bool hasExponentDigits = false;
        for (skipBlanks(); isDigit(); skipBlanks()) {
            exponent += text[i++];
            hasExponentDigits = true;
        }
        if (hasExponentDigits)
            number += exponent;
    }
    // QString::toDouble gives an infinity on overflow and 0 on underflow, as wanted here.
    return number.toDouble();
}

QString LatinDigits(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() <= u'9')
            continue;
        if (c.category() == QChar::Number_DecimalDigit) {
            text[i] = QChar(u'0' + c.digitValue());
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // Some scripts' digits lie past the first plane (Chakma's, for one).
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (QChar::category(code) == QChar::Number_DecimalDigit)
                text.replace(i, 2, QChar(u'0' + QChar::digitValue(code)));
        }
    }
    return text;
}

QString NumberToText(double value, const QLocale &locale)
{
    // Whole numbers are most of what documents hold (counts, flags, identifiers): without a
    // sign, with Latin digits and no grouping, they read the same in every locale.
    if (value >= 0 && value < 1e15 && value == std::trunc(value) && !std::signbit(value))
        return QString::number(qint64(value));
    // Negative ones (the -1 of a true flag) differ only by the locale's sign.
    if (value < 0 && value > -1e15 && value == std::trunc(value))
        return locale.negativeSign() + QString::number(qint64(-value));
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // Fixed notation over the range printf's %g keeps fixed and a double's 15 sure digits span;
    // beyond it an exponent is more readable than a run of zeros.
    const double magnitude = std::abs(value);
    const bool fixed = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    return LatinDigits(plain.toString(value, fixed ? 'f' : 'g', QLocale::FloatingPointShortest));
}

QString FormatMask(double value, const QString &mask, const QLocale &locale)
{
    if (mask.isEmpty())
        return NumberToText(value, locale);
    if (!std::isfinite(value))
        return LatinDigits(locale.toString(value));

    const qsizetype point = mask.indexOf(u'.');
    const QStringView integerMask = QStringView(mask).left(point < 0 ? mask.size() : point);
    const QStringView fractionMask = point < 0 ? QStringView() : QStringView(mask).mid(point + 1);
    const int minInteger = int(integerMask.count(u'0'));
    const int minFraction = int(fractionMask.count(u'0'));
    const int maxFraction = minFraction + int(fractionMask.count(u'#'));

    // Round on the decimal digits, then let Qt print the result with the locale's separators
    // and digits.
    std::string digits = detail::RoundedDigits(detail::ShortestDecimal(value), maxFraction,
                                               RoundingMode::HalfAwayFromZero);
    const bool isZero = digits == "0";
    if (digits.size() <= std::size_t(maxFraction))
        digits.insert(0, maxFraction + 1 - digits.size(), '0');
    const std::string integer = digits.substr(0, digits.size() - maxFraction);
    std::string fraction = digits.substr(integer.size());
    while (fraction.size() > std::size_t(minFraction) && fraction.back() == '0')
        fraction.pop_back();

    const std::string exact = integer + '.' + fraction;
    double magnitude = 0;
    std::from_chars(exact.data(), exact.data() + exact.size(), magnitude);

    QLocale numberLocale = locale;
    numberLocale.setNumberOptions(integerMask.contains(u',')
                                      ? locale.numberOptions() & ~QLocale::OmitGroupSeparator
                                      : locale.numberOptions() | QLocale::OmitGroupSeparator);
    QString text = LatinDigits(numberLocale.toString(magnitude, 'f', int(fraction.size())));

    const QString zero = QStringLiteral("0");
    if (integer == "0" && minInteger == 0)
        text.remove(0, zero.size()); // "#.00" shows 0.5 as ".50"
    else if (int(integer.size()) < minInteger)
        text.prepend(zero.repeated(minInteger - int(integer.size())));
    if (std::signbit(value) && !isZero)
        text.prepend(locale.negativeSign());
    return text;
}

QString FormatCurrency(Currency amount, const QLocale &locale)
{
    // Rounded first so that an exact half cent goes away from zero rather than to the nearest
    // binary neighbour; the double then holds the cents exactly up to tens of trillions.
    const Currency cents = amount.rounded(2, RoundingMode::HalfAwayFromZero);
    return LatinDigits(locale.toCurrencyString(cents.toDouble()));
}

QString FormatPercent(double value, const QLocale &locale)
{
    return FormatMask(value, QStringLiteral("0.0###"), locale);
}

} // namespace zeltpc5
