#include "common/conversions.h"
#include "common/currency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zeltpc5;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
constexpr qint64 Max = std::numeric_limits<qint64>::max();
const Currency max = Currency::fromScaled(Max);

std::optional<qint64> Scaled(std::optional<Currency> c)
{
    return c ? std::optional(c->scaled()) : std::nullopt;
}

} // namespace

TEST(CurrencyTest, FromDoubleRoundsTheDoubleTimesTenThousandHalfToEven)
{
    // The double product decides, not its shortest text: 37.0699 * 0.5 is 18.534949999...
    // (18.5349, shown 18.53) and 0.0299 * 0.5 times 10,000 is exactly 149.5 (0.0150, 0.02).
    const Currency half = *Currency::fromDouble(37.0699 * 0.5);
    EXPECT_EQ(Scaled(half), 185349);
    EXPECT_EQ(FormatCurrency(half, QLocale(QLocale::English, QLocale::UnitedStates)), "$18.53");
    const Currency tie = *Currency::fromDouble(0.0299 * 0.5);
    EXPECT_EQ(Scaled(tie), 150);
    EXPECT_EQ(FormatCurrency(tie, QLocale(QLocale::English, QLocale::UnitedStates)), "$0.02");
    // The same rule where money times a rate becomes money.
    EXPECT_EQ(Scaled(Currency::fromScaled(370699).multiply(0.5)), 185349);
    EXPECT_EQ(Scaled(Currency::fromScaled(299).multiply(0.5)), 150);

    // 1.00005 times 10,000 is 10000.500000000002: above the tie.
    EXPECT_EQ(Scaled(Currency::fromDouble(1.00005)), 10001);
    EXPECT_EQ(Scaled(Currency::fromDouble(0.00025)), 2);
    EXPECT_EQ(Scaled(Currency::fromDouble(1.00015)), 10002);
    EXPECT_EQ(Scaled(Currency::fromDouble(-1.00015)), -10002);
    EXPECT_EQ(Scaled(Currency::fromDouble(2.5)), 25000);
    EXPECT_EQ(Scaled(Currency::fromDouble(99999.99995)), 1000000000);
    EXPECT_EQ(Currency::fromDouble(std::nan("")), std::nullopt);
    EXPECT_EQ(Currency::fromDouble(-std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(Currency::fromDouble(922337203685477.6), std::nullopt);
}

TEST(CurrencyTest, ArithmeticReportsOverflowInsteadOfWrapping)
{
    const Currency tiny = Currency::fromScaled(1);
    EXPECT_EQ(Scaled(Currency::fromUnits(2).subtract(Currency::fromScaled(5))), 19995);
    EXPECT_EQ(max.add(tiny), std::nullopt);
    EXPECT_EQ(max.negated().subtract(tiny), std::nullopt); // qint64's minimum is out of range
    EXPECT_EQ(Currency::fromScaled(std::numeric_limits<qint64>::min()).negated(), max);
    EXPECT_EQ(max.multiply(1.0001), std::nullopt);
    EXPECT_EQ(Currency::fromUnits(1).multiply(1e15), std::nullopt);
    EXPECT_EQ(max.divide(0.5), std::nullopt);
    EXPECT_EQ(tiny.divide(1e-30), std::nullopt);
    EXPECT_EQ(tiny.divide(0), std::nullopt);
}

TEST(CurrencyTest, MultiplyAndDivideByWholeFactorsAreExact)
{
    EXPECT_EQ(Scaled(Currency::fromScaled(12345).multiply(0.1)), 1234);
    EXPECT_EQ(Scaled(Currency::fromScaled(12355).multiply(-0.1)), -1236);
    EXPECT_EQ(Scaled(Currency::fromUnits(10).multiply(1.15)), 115000);
    EXPECT_EQ(Scaled(Currency::fromUnits(2).divide(3)), 6667);
    EXPECT_EQ(Scaled(Currency::fromScaled(5).divide(-2)), -2);
    EXPECT_EQ(Scaled(Currency::fromUnits(1).divide(0.0001)), 100000000);
    EXPECT_EQ(Scaled(max.divide(1)), Max);
    EXPECT_EQ(Scaled(max.divide(1e30)), 0);
}

TEST(CurrencyTest, RoundedFollowsTheModeAndStaysInRange)
{
    const Currency a = Currency::fromScaled(23450); // 2.345
    EXPECT_EQ(a.rounded(2, RoundingMode::HalfEven).scaled(), 23400);
    EXPECT_EQ(a.rounded(2, RoundingMode::HalfAwayFromZero).scaled(), 23500);
    EXPECT_EQ(a.negated().rounded(2, RoundingMode::HalfAwayFromZero).scaled(), -23500);
    EXPECT_EQ(Currency::fromScaled(23550).rounded(2, RoundingMode::HalfEven).scaled(), 23600);
    EXPECT_EQ(Currency::fromScaled(25000).rounded(0, RoundingMode::HalfEven).scaled(), 20000);
    EXPECT_EQ(max.rounded(0, RoundingMode::HalfAwayFromZero).scaled(), Max - 5807);
}

TEST(CurrencyTest, TextIsPlainAndReadsBackToTheLastDigit)
{
    EXPECT_EQ(Currency::fromScaled(125000).toString(us), "12.5");
    EXPECT_EQ(Currency::fromScaled(-500).toString(us), "-0.05");
    EXPECT_EQ(Currency::fromScaled(1).toString(us), "0.0001");
    EXPECT_EQ(Currency().toString(us), "0");
    EXPECT_EQ(Currency::fromScaled(12345678900).toString(de), "1234567,89");
    EXPECT_EQ(Currency::fromScaled(std::numeric_limits<qint64>::min()).toString(us),
              "-922337203685477.5808");

    EXPECT_EQ(Scaled(Currency::fromString(" -1.234,5 ", de)), -12345000);
    EXPECT_EQ(Scaled(Currency::fromString("0.00015", us)), 2);
    EXPECT_EQ(Scaled(Currency::fromString("1e3", us)), 10000000);
    // More digits than a double holds.
    EXPECT_EQ(Scaled(Currency::fromString("922,337,203,685,477.5807", us)), Max);
    EXPECT_EQ(Currency::fromString("922337203685477.5808", us), std::nullopt);
    EXPECT_EQ(Currency::fromString("1.234,5", us), std::nullopt);
    for (qint64 scaled : {Max, -Max, qint64(-987654321)})
        EXPECT_EQ(Scaled(Currency::fromString(Currency::fromScaled(scaled).toString(de), de)),
                  scaled);
}

// Amounts are written with Latin digits whatever digits the locale has, and the plain forms
// of a number read digit for digit; every other form goes through the double.
TEST(CurrencyTest, TextInLocalesWithTheirOwnDigitsAndEdgeForms)
{
    const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
    const QString text = Currency::fromScaled(-12345).toString(arabic);
    EXPECT_EQ(text, arabic.negativeSign() + QStringLiteral("1") + arabic.decimalPoint() +
                        QStringLiteral("2345"));
    EXPECT_EQ(Scaled(Currency::fromString(text, arabic)), -12345);
    EXPECT_EQ(Currency::fromScaled(10000).toString(arabic), "1");

    EXPECT_EQ(Scaled(Currency::fromString("+12.", us)), 120000);
    EXPECT_EQ(Scaled(Currency::fromString(".5", us)), 5000);
    EXPECT_EQ(Scaled(Currency::fromString("-.00015", us)), -2);
    EXPECT_EQ(Scaled(Currency::fromString("0012.30", us)), 123000);
    EXPECT_EQ(Scaled(Currency::fromString("12345678901234.56789", us)), 123456789012345679);
    EXPECT_EQ(Currency::fromString("1.2.3", us), std::nullopt);
    EXPECT_EQ(Currency::fromString("", us), std::nullopt);
    EXPECT_EQ(Currency::fromString("-", us), std::nullopt);
}
