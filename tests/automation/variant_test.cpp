#include <zeltpc5/dispatch.h>

#include <gtest/gtest.h>

#include <limits>

#include <QLocale>

using namespace zeltpc5;

namespace {

qint32 errorOf(const std::function<bool(Status *)> &convert)
{
    Status s;
    return convert(&s) ? 0 : s.number();
}

} // namespace

TEST(Variant, typesAreTheAutomationTypes)
{
    EXPECT_EQ(TypeOf(MakeEmpty()), VariantType::Empty);
    EXPECT_EQ(TypeOf(MakeNull()), VariantType::Null);
    EXPECT_EQ(TypeOf(MakeInt16(3)), VariantType::Int16);
    EXPECT_EQ(TypeOf(MakeInt32(3)), VariantType::Int32);
    EXPECT_EQ(TypeOf(MakeSingle(3.5f)), VariantType::Single);
    EXPECT_EQ(TypeOf(MakeDouble(3.5)), VariantType::Double);
    EXPECT_EQ(TypeOf(MakeCurrency({35000})), VariantType::Currency);
    EXPECT_EQ(TypeOf(MakeBool(true)), VariantType::Bool);
    EXPECT_EQ(TypeOf(MakeString(QStringLiteral("x"))), VariantType::String);
    EXPECT_EQ(TypeOf(MakeObject({})), VariantType::Object);
    EXPECT_EQ(TypeName(MakeInt16(1)), QStringLiteral("Integer"));
    EXPECT_EQ(TypeName(MakeObject({})), QStringLiteral("Nothing"));
    EXPECT_EQ(MakeBool(true).value<VariantBool>().value, -1);
    EXPECT_EQ(MakeBool(false).value<VariantBool>().value, 0);
}

TEST(Variant, integerConversionsRoundHalvesToEvenAndReportOverflow)
{
    EXPECT_EQ(ToInt16(MakeDouble(2.5)), qint16(2));
    EXPECT_EQ(ToInt16(MakeDouble(3.5)), qint16(4));
    EXPECT_EQ(ToInt16(MakeDouble(-2.5)), qint16(-2));
    EXPECT_EQ(ToInt16(MakeString(QStringLiteral("7"))), qint16(7));
    EXPECT_EQ(ToInt16(MakeBool(true)), qint16(-1));
    EXPECT_EQ(ToInt16(MakeEmpty()), qint16(0));
    EXPECT_EQ(ToInt16(MakeCurrency({325000})), qint16(32)); // 32.5 -> 32
    EXPECT_EQ(ToInt32(MakeString(QStringLiteral("1,234.5"))), 1234);
    // Each number type read from its own storage, at the edges of its range.
    EXPECT_EQ(ToInt32(MakeInt32(std::numeric_limits<qint32>::min())),
              std::numeric_limits<qint32>::min());
    EXPECT_EQ(ToInt32(MakeInt16(-32768)), -32768);
    EXPECT_EQ(ToDouble(MakeSingle(0.1f)), double(0.1f));
    EXPECT_EQ(ToDouble(MakeDouble(-1e300)), -1e300);
    EXPECT_EQ(ToInt16(MakeInt32(-32768)), qint16(-32768));
    EXPECT_EQ(ToInt32(MakeSingle(-2.5f)), -2);

    EXPECT_EQ(errorOf([](Status *s) { return bool(ToInt16(MakeInt32(32768), s)); }),
              Error::Overflow);
    EXPECT_EQ(errorOf([](Status *s) { return bool(ToInt32(MakeDouble(3e9), s)); }),
              Error::Overflow);
    EXPECT_EQ(
        errorOf([](Status *s) { return bool(ToInt16(MakeString(QStringLiteral("abc")), s)); }),
        Error::TypeMismatch);
    EXPECT_EQ(errorOf([](Status *s) { return bool(ToInt16(MakeNull(), s)); }),
              Error::InvalidUseOfNull);
    EXPECT_EQ(errorOf([](Status *s) { return bool(ToInt32(MakeObject({}), s)); }),
              Error::TypeMismatch);
}

TEST(Variant, textAndBooleanConversions)
{
    EXPECT_EQ(ToText(MakeInt16(-12)), QStringLiteral("-12"));
    EXPECT_EQ(ToText(MakeDouble(1234.5)), QStringLiteral("1234.5"));
    EXPECT_EQ(ToText(MakeSingle(0.1f)), QStringLiteral("0.1"));
    EXPECT_EQ(ToText(MakeCurrency({125000})), QStringLiteral("12.5"));
    EXPECT_EQ(ToText(MakeBool(true)), QStringLiteral("True"));
    EXPECT_EQ(ToText(MakeEmpty()), QString());

    EXPECT_EQ(ToBool(MakeString(QStringLiteral("TRUE"))), true);
    EXPECT_EQ(ToBool(MakeString(QStringLiteral("0"))), false);
    EXPECT_EQ(ToBool(MakeInt16(-1)), true);
    EXPECT_EQ(ToBool(MakeDouble(0.0)), false);
    EXPECT_EQ(errorOf([](Status *s) { return bool(ToBool(MakeString(QStringLiteral("yes")), s)); }),
              Error::TypeMismatch);
    EXPECT_EQ(ToCurrency(MakeString(QStringLiteral("19.99")))->scaled, 199900);
    EXPECT_EQ(ToCurrency(MakeDouble(0.00005))->scaled, 0); // half to even at the fourth decimal
    EXPECT_EQ(errorOf([](Status *s) { return bool(ToCurrency(MakeDouble(1e300), s)); }),
              Error::Overflow);
}

TEST(Variant, textIsReadUnderTheUsersRegionalSettings)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto comma = ToDouble(MakeString(QStringLiteral("1.234,5")));
    const auto text = ToText(MakeDouble(2.5));
    QLocale::setDefault(saved);

    EXPECT_EQ(comma, 1234.5);
    EXPECT_EQ(text, QStringLiteral("2,5"));
}
