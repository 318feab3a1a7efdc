// DateHelper and DimensionConverter, created by their class identifiers and called
// late-bound, by name and by their first dispatch identifier.
#include "host/helpers/registration.h"

#include <zeltpc5/classregistry.h>

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

using namespace zeltpc5;

namespace {

class HelpersTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { host::RegisterReferenceEngines(); }

    static DispatchPtr create(const char *clsid)
    {
        DispatchPtr object;
        EXPECT_TRUE(CreateObject(QString::fromLatin1(clsid), &object).ok());
        return object;
    }
};

TEST_F(HelpersTest, dimensionConverterReadsTheUsualMeasurements)
{
    const DispatchPtr converter = create("{40DBD189-76D5-4731-B64D-F2ABF77CEC3F}");
    ASSERT_TRUE(converter);
    const auto convert = [&](const QString &text) {
        VariantList args{text, MakeInt16(4)};
        Variant result;
        EXPECT_TRUE(CallById(converter, 1, CallType::Method, args, &result).ok());
        EXPECT_EQ(TypeOf(result), VariantType::Single);
        return ToSingle(result).value_or(-1.0f);
    };
    EXPECT_EQ(convert(QStringLiteral("36")), 36.0f);
    EXPECT_EQ(convert(QStringLiteral("36.5")), 36.5f);
    EXPECT_EQ(convert(QStringLiteral("36 1/2")), 36.5f);
    EXPECT_EQ(convert(QStringLiteral("36-1/2")), 36.5f);
    EXPECT_EQ(convert(QStringLiteral(" 36  3/8 ")), 36.375f);
    EXPECT_EQ(convert(QStringLiteral("0 15/16")), 0.9375f);
    for (const char *text : {"", "abc", "36 1/2 in", "36 3/2", "36 0/8", "36 1/0", "1/2", "-36",
                             "36.", ".5", "36,5", "36 - 1/2", "1e3", "36 1/2/3"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(convert(QString::fromLatin1(text)), 0.0f);
    }

    // The user's decimal separator is read as well as the point.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(convert(QStringLiteral("36,5")), 36.5f);
    EXPECT_EQ(convert(QStringLiteral("36.5")), 36.5f);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    EXPECT_EQ(
        Call(converter, u"ConvertDimension", {QStringLiteral("36"), MakeInt16(1)}).status.number(),
        Error::InvalidProcedureCall);
}

TEST_F(HelpersTest, dateHelperGivesTheStartOfTheDayOrOfTheNextDay)
{
    const DispatchPtr helper = create("{4798268F-588A-4B49-8CD2-2848CC58359D}");
    ASSERT_TRUE(helper);
    const auto boundary = [&](const Variant &date, qint16 flag) {
        VariantList args{date, MakeInt16(flag)};
        Variant result;
        EXPECT_TRUE(CallById(helper, 1, CallType::Method, args, &result).ok());
        return ToDouble(result).value_or(-1e9);
    };
    // 45000.75 is 15 March 2023, 18:00.
    EXPECT_EQ(boundary(MakeDouble(45000.75), 0), 45000.0);
    EXPECT_EQ(boundary(MakeDouble(45000.75), 1), 45001.0);
    // Midnight is already the start of its day; an end date at midnight still runs to
    // the end of that day.
    EXPECT_EQ(boundary(MakeDouble(45000.0), 0), 45000.0);
    EXPECT_EQ(boundary(MakeDouble(45000.0), 1), 45001.0);
    // Before 30 December 1899 the time still counts forwards from midnight.
    EXPECT_EQ(boundary(MakeDouble(-1.25), 0), -1.0);
    EXPECT_EQ(boundary(MakeDouble(-1.25), 1), 0.0);
    EXPECT_EQ(boundary(QStringLiteral("2023-03-15T18:00:00"), 1), 45001.0);
    EXPECT_EQ(boundary(QVariant(QDateTime(QDate(2023, 3, 15), QTime(6, 30))), 0), 45000.0);

    EXPECT_EQ(Call(helper, u"GetDateBoundary", {MakeDouble(45000), MakeInt16(2)}).status.number(),
              Error::InvalidProcedureCall);
    EXPECT_EQ(
        Call(helper, u"GetDateBoundary", {QStringLiteral("someday"), MakeInt16(0)}).status.number(),
        Error::TypeMismatch);
    EXPECT_EQ(Call(helper, u"GetDateBoundary", {MakeDouble(1e9), MakeInt16(0)}).status.number(),
              Error::Overflow);
}

TEST_F(HelpersTest, theEnginesAreCreatableByTheirClassNames)
{
    for (const char *name : {"optrix5.Engine", "zeltfe5.Engine"}) {
        DispatchPtr object;
        EXPECT_TRUE(CreateObject(QString::fromLatin1(name), &object).ok()) << name;
        EXPECT_EQ(object->TypeName(), QString::fromLatin1(name));
    }
}

} // namespace
