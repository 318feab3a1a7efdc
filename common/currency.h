// Money: signed 64-bit fixed point with four decimals.
#pragma once

#include <zeltpc5/values.h>

#include <QLocale>
#include <QString>

#include <compare>
#include <limits>
#include <optional>

namespace zeltpc5 {

enum class RoundingMode {
    HalfEven,         // banker's rounding: the rule for conversions from floating point
    HalfAwayFromZero, // the rule of display masks and of price rounding
};

class Currency
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr Currency() = default;
    constexpr explicit Currency(CurrencyValue v) : m_scaled(v.scaled) {}

    // From ten-thousandths, the storage form.
    static constexpr Currency fromScaled(qint64 scaled)
    {
        Currency c;
        c.m_scaled = scaled;
        return c;
    }
    static constexpr Currency fromUnits(qint64 units) { return fromScaled(units * Scale); }
    // The value times 10,000 in double precision, rounded half to even: every double that
    // becomes money goes through here. Nothing for NaN, infinity or out of range.
    static std::optional<Currency> fromDouble(double value);
    // Reads a number under the locale's separators (see ParseNumber). Nothing when not numeric.
    static std::optional<Currency> fromString(const QString &text,
                                              const QLocale &locale = QLocale());

    constexpr qint64 scaled() const { return m_scaled; }
    constexpr CurrencyValue value() const { return CurrencyValue{m_scaled}; }
    double toDouble() const { return double(m_scaled) / double(Scale); }
    constexpr bool isZero() const { return m_scaled == 0; }
    constexpr bool isNegative() const { return m_scaled < 0; }

    // Arithmetic reports overflow as nothing instead of wrapping.
    std::optional<Currency> add(Currency other) const;
    std::optional<Currency> subtract(Currency other) const;
    // Whole factors are exact; others give a double result converted by fromDouble.
    std::optional<Currency> multiply(double factor) const;
    std::optional<Currency> divide(double divisor) const; // nothing for zero divisor
    Currency negated() const                              // -min is clamped to max
    {
        return fromScaled(m_scaled == std::numeric_limits<qint64>::min()
                              ? std::numeric_limits<qint64>::max()
                              : -m_scaled);
    }

    // Rounds to 0..4 decimals with the named mode.
    Currency rounded(int decimals, RoundingMode mode) const;

    // The standard text form: plain digits, the locale's decimal separator, no grouping,
    // no trailing zeros ("12.5", "-3", "0.0001").
    QString toString(const QLocale &locale = QLocale()) const;

    friend constexpr bool operator==(Currency, Currency) = default;
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.m_scaled <=> b.m_scaled; }

private:
    qint64 m_scaled = 0;
};

} // namespace zeltpc5

Q_DECLARE_METATYPE(zeltpc5::Currency)
