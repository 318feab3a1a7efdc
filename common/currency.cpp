#include "common/currency.h"

#include "common/conversions.h"
#include "common/decimal_p.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zeltpc5 {

namespace detail {

Decimal ShortestDecimal(double value)
{
    // Scientific form keeps the text short for any magnitude: "-1.2345e+02".
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
    const std::string_view text(buffer, end - buffer);

    Decimal d;
    d.negative = std::signbit(value);
    const auto e = text.find('e');
    for (char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9')
            d.digits += c;
    }
    std::string_view exponent = text.substr(e + 1);
    if (exponent.front() == '+')
        exponent.remove_prefix(1); // from_chars takes '-' but not '+'
    int power = 0;
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), power);
    d.exponent = power - int(d.digits.size() - 1);
    return d;
}

std::string RoundedDigits(const Decimal &d, int decimals, RoundingMode mode)
{
    const auto first = d.digits.find_first_not_of('0');
    if (first == std::string::npos)
        return "0";
    std::string digits = d.digits.substr(first);

    const long drop = -(long(d.exponent) + decimals); // digits below the last kept place
    if (drop <= 0)
        return digits.append(std::size_t(-drop), '0');
    if (drop > long(digits.size()))
        return "0"; // less than a tenth of the last kept place

    std::string kept = digits.substr(0, digits.size() - drop);
    const std::string_view dropped = std::string_view(digits).substr(kept.size());
    bool up;
    if (dropped.front() != '5')
        up = dropped.front() > '5';
    else if (dropped.find_first_not_of('0', 1) != std::string_view::npos)
        up = true;
    else // an exact half
        up = mode == RoundingMode::HalfAwayFromZero || (!kept.empty() && (kept.back() - '0') % 2);

    if (up) {
        auto it = kept.rbegin();
        for (; it != kept.rend() && *it == '9'; ++it)
            *it = '0';
        if (it == kept.rend())
            kept.insert(kept.begin(), '1');
        else
            ++*it;
    }
    return kept.empty() ? "0" : kept;
}

} // namespace detail

namespace {

using Wide = __int128;

constexpr qint64 Max = std::numeric_limits<qint64>::max();

// The range is symmetric: the one extra negative value of qint64 would not survive negation.
std::optional<Currency> Checked(Wide scaled)
{
    if (scaled > Max || scaled < -Max)
        return std::nullopt;
    return Currency::fromScaled(qint64(scaled));
}

// 10^n for n <= 38, the largest power of ten an __int128 holds.
Wide Pow10(int n)
{
    Wide p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// num / den rounded to an integer; den must be positive.
Wide RoundedQuotient(Wide num, Wide den, RoundingMode mode)
{
    Wide q = num / den;
    const Wide r = num % den; // truncated division: r takes the sign of num
    if (r != 0) {
        const Wide twice = 2 * (r < 0 ? -r : r);
        if (twice > den || (twice == den && (mode == RoundingMode::HalfAwayFromZero || q % 2 != 0)))
            q += num < 0 ? -1 : 1;
    }
    return q;
}

std::optional<Currency> FromDecimal(const detail::Decimal &d)
{
    const std::string digits = detail::RoundedDigits(d, 4, RoundingMode::HalfEven);
    quint64 magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || magnitude > quint64(Max))
        return std::nullopt;
    return Currency::fromScaled(d.negative ? -qint64(magnitude) : qint64(magnitude));
}

// A whole factor that integer arithmetic takes exactly (a quantity, a count).
std::optional<qint64> WholeFactor(double value)
{
    constexpr double Limit = 9007199254740992.0; // 2^53: every whole double below is exact
    if (value != std::trunc(value) || std::abs(value) >= Limit)
        return std::nullopt;
    return qint64(value);
}

} // namespace

std::optional<Currency> Currency::fromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // As the platform the amounts come from converts: the double times 10,000 in double
    // precision, then that double rounded half to even. 37.0699 * 0.5 is the double
    // 18.534949999..., so it becomes 18.5349, where its shortest text 18.53495 would round up.
    const double scaled = value * double(Scale);
    double whole = std::floor(scaled);
    const double part = scaled - whole; // exact: the floor of a double is near it
    if (part > 0.5 || (part == 0.5 && std::fmod(whole, 2.0) != 0))
        whole += 1;
    constexpr double Limit = 9223372036854775808.0; // 2^63
    if (whole >= Limit || whole <= -Limit)
        return std::nullopt;
    return fromScaled(qint64(whole));
}

std::optional<Currency> Currency::fromString(const QString &text, const QLocale &locale)
{
    const std::optional<double> number = ParseNumber(text, locale);
    if (!number)
        return std::nullopt;

    // Amounts carry up to 19 digits and a double only about 16, so plain decimal text is read
    // digit by digit; other forms (exponents, native digits) go through the double.
    QString plain = text.trimmed();
    if (!locale.groupSeparator().isEmpty())
        plain.remove(locale.groupSeparator());
    plain.replace(locale.decimalPoint(), QStringLiteral("."));
    // The form ^([+-]?)([0-9]*)(?:\.([0-9]*))?$, read by hand: amounts are read for every
    // line of a run.
    const QChar *const c = plain.constData();
    const qsizetype n = plain.size();
    const auto isDigit = [](QChar ch) { return ch >= u'0' && ch <= u'9'; };
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (c[i] == u'+' || c[i] == u'-'))
        negative = c[i++] == u'-';
    const qsizetype wholeStart = i;
    while (i < n && isDigit(c[i]))
        ++i;
    const qsizetype wholeEnd = i;
    qsizetype fractionStart = i, fractionEnd = i;
    if (i < n && c[i] == u'.') {
        fractionStart = ++i;
        while (i < n && isDigit(c[i]))
            ++i;
        fractionEnd = i;
    }
    if (i != n)
        return fromDouble(*number);

    detail::Decimal d;
    d.negative = negative;
    d.digits.reserve(size_t(wholeEnd - wholeStart + fractionEnd - fractionStart));
    for (qsizetype k = wholeStart; k < wholeEnd; ++k)
        d.digits += char(c[k].unicode());
    for (qsizetype k = fractionStart; k < fractionEnd; ++k)
        d.digits += char(c[k].unicode());
    d.exponent = -int(fractionEnd - fractionStart);
    return FromDecimal(d);
}

std::optional<Currency> Currency::add(Currency other) const
{
    return Checked(Wide(m_scaled) + other.m_scaled);
}

std::optional<Currency> Currency::subtract(Currency other) const
{
    return Checked(Wide(m_scaled) - other.m_scaled);
}

// A whole factor multiplies exactly, as money times a count does; any other factor makes a
// double product, converted as fromDouble converts.
std::optional<Currency> Currency::multiply(double factor) const
{
    if (!std::isfinite(factor))
        return std::nullopt;
    if (const std::optional<qint64> whole = WholeFactor(factor))
        return Checked(Wide(m_scaled) * *whole);
    return fromDouble(toDouble() * factor);
}

std::optional<Currency> Currency::divide(double divisor) const
{
    if (divisor == 0 || !std::isfinite(divisor))
        return std::nullopt;
    if (const std::optional<qint64> whole = WholeFactor(divisor)) {
        // The quotient rounds on a positive divisor.
        const Wide num = *whole < 0 ? -Wide(m_scaled) : Wide(m_scaled);
        return Checked(RoundedQuotient(num, *whole < 0 ? -Wide(*whole) : Wide(*whole),
                                       RoundingMode::HalfEven));
    }
    return fromDouble(toDouble() / divisor);
}

Currency Currency::rounded(int decimals, RoundingMode mode) const
{
    decimals = std::clamp(decimals, 0, 4);
    const Wide step = Pow10(4 - decimals);
    Wide result = RoundedQuotient(m_scaled, step, mode) * step;
    // At the ends of the range a rounding away from zero would not fit; round toward zero.
    if (result > Max || result < -Max)
        result = m_scaled / step * step;
    return fromScaled(qint64(result));
}

QString Currency::toString(const QLocale &locale) const
{
    // Latin digits without grouping, which is what the locale's digits become once made Latin:
    // only the sign and the decimal point are the locale's.
    const quint64 magnitude = m_scaled < 0 ? 0 - quint64(m_scaled) : quint64(m_scaled);
    QString text = QString::number(magnitude / Scale);
    quint64 fraction = magnitude % Scale;
    if (fraction != 0) {
        int width = 4;
        for (; fraction % 10 == 0; fraction /= 10)
            --width;
        const QString digits = QString::number(fraction);
        const int leadingZeros = width - int(digits.size());
        text += locale.decimalPoint() + QString(leadingZeros, u'0') + digits;
    }
    if (m_scaled < 0)
        text.prepend(locale.negativeSign());
    return LatinDigits(text);
}

} // namespace zeltpc5
