#include "common/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zeltpc5;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

} // namespace

TEST(ConversionsTest, IntegerRoundingTakesHalvesToEvenAndRefusesOverflow)
{
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);
    EXPECT_EQ(RoundToInt16(std::nan("")), std::nullopt);
    EXPECT_EQ(RoundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(RoundToInt32(-2147483648.5), -2147483648);
    EXPECT_EQ(ToSingle(1.5), 1.5f);
    EXPECT_EQ(ToSingle(-1e39), std::nullopt);
    EXPECT_EQ(ToSingle(std::nan("")), std::nullopt);
}

TEST(ConversionsTest, ParseNumberHonoursTheLocaleSeparators)
{
    EXPECT_EQ(ParseNumber(" -1,234,567.25\t", us), -1234567.25);
    EXPECT_EQ(ParseNumber("+1e3", us), 1000);
    EXPECT_EQ(ParseNumber("1.234,5", de), 1234.5);
    EXPECT_EQ(ParseNumber("1,234", de), 1.234);
    EXPECT_EQ(ParseNumber("0,125", de), 0.125);
    for (const char *text :
         {"1.234,5", "1,23.4", "", " ", "-", "abc", "12abc", "inf", "nan", "1e999", "0,125"})
        EXPECT_FALSE(IsNumeric(text, us)) << text;
    for (const char *text : {"1,234.5", "1.5", "0.125"})
        EXPECT_FALSE(IsNumeric(text, de)) << text;
    const QLocale ar(QLocale::Arabic, QLocale::Egypt); // a two-character minus sign
    EXPECT_EQ(ParseNumber(NumberToText(-1234.5, ar), ar), -1234.5);
}

TEST(ConversionsTest, LeadingNumberReadsUpToTheFirstForeignCharacter)
{
    EXPECT_EQ(LeadingNumber("12 1/2"), 121);
    EXPECT_EQ(LeadingNumber("0 1/2"), 1);
    EXPECT_EQ(LeadingNumber(" 3.5in"), 3.5);
    EXPECT_EQ(LeadingNumber("- \t7\n.5"), -7.5);
    EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(LeadingNumber("1,234"), 1); // no locale: ',' ends the number
    EXPECT_EQ(LeadingNumber("1.5e3kg"), 1500);
    EXPECT_EQ(LeadingNumber("2E -2"), 0.02);
    EXPECT_EQ(LeadingNumber("12east"), 12);
    for (const char *text : {"", "abc", "-", ".", "--1", "e5"})
        EXPECT_EQ(LeadingNumber(text), 0) << text;
}

TEST(ConversionsTest, NumberToTextIsShortestWithoutGroupingOrExponent)
{
    EXPECT_EQ(NumberToText(1234.5, us), "1234.5");
    EXPECT_EQ(NumberToText(1234.5, de), "1234,5");
    EXPECT_EQ(NumberToText(0.1, us), "0.1");
    EXPECT_EQ(NumberToText(3, us), "3");
    EXPECT_EQ(NumberToText(0.1 + 0.2, us), "0.30000000000000004");
    EXPECT_EQ(NumberToText(1e14, us), "100000000000000");
    EXPECT_EQ(NumberToText(0.0001, de), "0,0001");
    // Whole numbers read alike in every locale, except for the sign.
    const QLocale ar(QLocale::Arabic, QLocale::Egypt);
    const QLocale hi(QLocale::Hindi, QLocale::India);
    for (const QLocale &locale : {us, de, ar, hi, QLocale::c()}) {
        EXPECT_EQ(NumberToText(0, locale), "0");
        EXPECT_EQ(NumberToText(1234567, locale), "1234567");
        EXPECT_EQ(NumberToText(999999999999999.0, locale), "999999999999999");
        EXPECT_EQ(ParseNumber(NumberToText(-12, locale), locale), -12);
        EXPECT_EQ(ParseNumber(NumberToText(-0.0, locale), locale), 0);
    }
    EXPECT_EQ(NumberToText(1e15, us), "1E+15"); // past the whole numbers written plainly
}

TEST(ConversionsTest, NegativeWholeNumbersAreWrittenAsEveryLocaleWritesThem)
{
    // The locale's own writing of the number, Latin digits and no grouping.
    const auto written = [](double value, QLocale locale) {
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        return LatinDigits(locale.toString(value, 'f', QLocale::FloatingPointShortest));
    };
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale &locale : locales) {
        for (const double value : {-1.0, -12.0, -1234567.0, -999999999999999.0}) {
            ASSERT_EQ(NumberToText(value, locale), written(value, locale))
                << locale.name().toStdString() << ' ' << value;
        }
    }
    // Digits past the first plane are Latin too (Chakma's, Adlam's).
    EXPECT_EQ(LatinDigits(QString::fromUcs4(U"\U00011137\U0001113D.\U0001E952")), "17.2");
    EXPECT_EQ(NumberToText(-2.5, QLocale(QStringLiteral("ccp_BD"))).right(3), "2.5");
    EXPECT_EQ(NumberToText(-1e15, us), "-1E+15");
    EXPECT_EQ(NumberToText(-1.5, us), "-1.5");
}

TEST(ConversionsTest, FormatMaskRoundsHalvesAwayOnTheDecimalValue)
{
    // Each of these lies just below the half in binary.
    EXPECT_EQ(FormatMask(2.345, "#0.00", us), "2.35");
    EXPECT_EQ(FormatMask(1.005, "#0.00", us), "1.01");
    EXPECT_EQ(FormatMask(-2.345, "#0.00", de), "-2,35");
    EXPECT_EQ(FormatMask(2.344999, "#0.00", us), "2.34");
    EXPECT_EQ(FormatMask(2.5, "#0", us), "3");
    EXPECT_EQ(FormatMask(9.99995, "#0.0000", us), "10.0000");
    EXPECT_EQ(FormatMask(-0.004, "#0.00", us), "0.00"); // no sign on a zero
}

TEST(ConversionsTest, FormatMaskPlacesDigitsAndSeparators)
{
    EXPECT_EQ(FormatMask(1234567.891, "#,##0.00", us), "1,234,567.89");
    EXPECT_EQ(FormatMask(-1234567.891, "#,##0.00", de), "-1.234.567,89");
    EXPECT_EQ(FormatMask(-999.5, "#,##0", us), "-1,000");
    EXPECT_EQ(FormatMask(1234.5, "#0.00", us), "1234.50");
    EXPECT_EQ(FormatMask(3, "0.0###", us), "3.0");
    EXPECT_EQ(FormatMask(0.123456, "0.0###", us), "0.1235");
    EXPECT_EQ(FormatMask(0.10004, "0.0###", us), "0.1");
    EXPECT_EQ(FormatMask(5, "00", us), "05");
    EXPECT_EQ(FormatMask(0.5, "#.00", us), ".50");
    EXPECT_EQ(FormatPercent(12.5, de), "12,5");
}

TEST(ConversionsTest, FormatCurrencyUsesTheLocaleFormat)
{
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(12345000), us), "$1,234.50");
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(12345000), de), "1.234,50\u00a0€");
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(-12345000), us),
              us.toCurrencyString(-1234.5, QString(), 2)); // the locale's negative pattern
    // An exact half cent goes away from zero, not by the binary value of 1.005.
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(10050), us), "$1.01");
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(-40), us), "$0.00");
}

// Regional settings choose separators and the currency format; digits stay 0-9.
TEST(ConversionsTest, localesWithTheirOwnDigitsStillWriteZeroToNine)
{
    const QLocale egypt(QLocale::Arabic, QLocale::Egypt);
    const QLocale persian(QLocale::Persian, QLocale::Iran);
    EXPECT_EQ(LatinDigits(QStringLiteral("\u0661\u0662\u066b\u0665 \u06f0 9")), "12\u066b5 0 9");
    EXPECT_EQ(NumberToText(1234.5, egypt), "1234\u066b5");
    EXPECT_EQ(NumberToText(-3, persian), persian.negativeSign() + QStringLiteral("3"));
    EXPECT_EQ(FormatMask(1234.5, QStringLiteral("#,##0.00"), egypt), "1\u066c234\u066b50");
    EXPECT_EQ(FormatMask(0.5, QStringLiteral("00.0"), egypt), "00\u066b5");
    EXPECT_EQ(Currency::fromScaled(-5).toString(egypt), egypt.negativeSign() + "0\u066b0005");
    EXPECT_EQ(FormatCurrency(Currency::fromScaled(12345678), egypt),
              "1\u066c234\u066b57\u00a0\u062c.\u0645.\u200f");
    // What such a locale writes, it reads back.
    EXPECT_EQ(ParseNumber(NumberToText(1234.5, egypt), egypt), 1234.5);
    EXPECT_EQ(ParseNumber(QStringLiteral("0\u066b125"), egypt), 0.125);
}

TEST(ConversionsTest, currencyTextsShowTheLocalesDecimalsOfTheCentsAmount)
{
    const Currency amount = Currency::fromScaled(12345678); // 1,234.5678: 1,234.57 in cents
    EXPECT_EQ(FormatCurrency(amount, QLocale(QLocale::Japanese, QLocale::Japan)), "\uffe51,235");
    EXPECT_EQ(FormatCurrency(amount, QLocale(QLocale::Arabic, QLocale::Kuwait)),
              "1\u066c234\u066b570\u00a0\u062f.\u0643.\u200f");
    EXPECT_EQ(FormatCurrency(amount, de), "1.234,57\u00a0€");
    EXPECT_EQ(FormatCurrency(amount, us), "$1,234.57");
}

TEST(ConversionsTest, plainNumbersReadTheSameAsUnderTheGeneralReader)
{
    const QLocale enUS(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const char *text : {"0", "-0.5", "007", "12.25", " 3.5 ", "123456789012.125", "-42", "0.1",
                             "99999999999999999999"}) {
        bool ok = false;
        const double expected = enUS.toDouble(QString::fromLatin1(text).trimmed(), &ok);
        ASSERT_TRUE(ok) << text;
        EXPECT_EQ(zeltpc5::ParseNumber(QString::fromLatin1(text), enUS), expected) << text;
    }
    // Forms outside the plain one still go through the locale's rules.
    EXPECT_EQ(zeltpc5::ParseNumber(QStringLiteral("1,234.5"), enUS), 1234.5);
    EXPECT_FALSE(zeltpc5::ParseNumber(QStringLiteral("1-2"), enUS));
    EXPECT_FALSE(zeltpc5::ParseNumber(QStringLiteral("-"), enUS));
    // A point is a group separator in German: the plain reading must not apply.
    EXPECT_EQ(zeltpc5::ParseNumber(QStringLiteral("1.234"), german), 1234.0);
    EXPECT_EQ(zeltpc5::ParseNumber(QStringLiteral("12,5"), german), 12.5);
}
