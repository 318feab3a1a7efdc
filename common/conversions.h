// Conversions between numbers and text under the user's regional settings.
// Every number, amount and date that becomes text or is read from text goes through here.
// The locale is passed in; the default argument is the user's locale (QLocale()).
#pragma once

#include "common/currency.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace zeltpc5 {

// 16-bit booleans at the boundary and in documents: true = -1, false = 0.
constexpr qint16 ToBool16(bool b)
{
    return b ? qint16(-1) : qint16(0);
}
constexpr bool FromBool16(qint16 v)
{
    return v != 0;
}

// Round to the nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Nothing when the value is NaN or outside the target's range (an overflow).
std::optional<qint16> RoundToInt16(double value);
std::optional<qint32> RoundToInt32(double value);
// Nothing when the value is NaN or its magnitude exceeds float's range.
std::optional<float> ToSingle(double value);

// Reads a whole text as a number: optional blanks around, an optional sign, digits with the
// locale's group separator, the locale's decimal separator, an optional exponent.
// "1,234.5" is numeric in en_US and "1.234,5" in de_DE; "1.234,5" is not numeric in en_US.
std::optional<double> ParseNumber(const QString &text, const QLocale &locale = QLocale());
bool IsNumeric(const QString &text, const QLocale &locale = QLocale());

// The leading number of a text, independent of the locale: blanks, tabs and line feeds are
// skipped anywhere, '.' is the decimal point, reading stops at the first character that
// cannot continue the number. "12 1/2" reads 121, "0 1/2" reads 1, "abc" reads 0.
double LeadingNumber(const QString &text);

// Digits are always 0-9. A locale with digits of its own (Arabic-Indic, Persian...) keeps its
// separators and currency format, but a number written into a statement, a document or a
// text must read the same on every machine. Every formatter here passes its text through this.
QString LatinDigits(QString text);

// The standard text form of a number: shortest round-trip digits, the locale's decimal
// separator, no grouping ("1234.5" in en_US, "1234,5" in de_DE).
QString NumberToText(double value, const QLocale &locale = QLocale());

// Formats with a mask of the forms "#0", "#,##0", "#0.00", "0.0###": '0' is a required digit,
// '#' an optional one, ',' in the integer part asks for grouping; halves away from zero.
// The separators come from the locale.
QString FormatMask(double value, const QString &mask, const QLocale &locale = QLocale());
// A currency amount in the locale's currency format (symbol, grouping, the locale's number of
// decimals: none for yen, three for Kuwaiti dinar). The amount is first rounded to cents,
// which stays the rounding of every amount whatever the locale shows.
QString FormatCurrency(Currency amount, const QLocale &locale = QLocale());
// A rate in the form "0.0###" (at least one, at most four decimals).
QString FormatPercent(double value, const QLocale &locale = QLocale());

} // namespace zeltpc5
