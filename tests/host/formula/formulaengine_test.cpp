// The formula engine driven late-bound with the calls the additional charges make:
// Initialize, ResetVariables, SetVariable, EvaluateExpression, PreTerminate.
#include "host/helpers/registration.h"

#include <zeltpc5/classregistry.h>

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

using namespace zeltpc5;

namespace {

const QString ItemXml = QStringLiteral(
    "<?xml version=\"1.0\"?><ItemData><Options>"
    "<Option><Name>Width</Name><Value>36 1/2</Value></Option>"
    "<Option><Name>Motor Type</Name><Value>RF Motor</Value></Option>"
    "<Option><Name>Room Location</Name><Value>Kid's \"Den\" &amp; Study</Value></Option>"
    "<Option><Name>motor type</Name><Value>shadowed</Value></Option>"
    "</Options><Description>Roller</Description></ItemData>");
const QString PriceCostXml = QStringLiteral(
    "<?xml version=\"1.0\"?><PriceCostData><ProductID>1</ProductID><Style>Cordless</Style>"
    "<UnitPrice>1,234.50</UnitPrice></PriceCostData>");

class FormulaEngineTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { host::RegisterReferenceEngines(); }

    void SetUp() override
    {
        ASSERT_TRUE(CreateObject(QStringLiteral("zeltfe5.Engine"), &engine).ok());
        ASSERT_TRUE(Call(engine, u"Initialize", {MakeObject(DispatchPtr())}).ok());
        setLine(1);
    }

    // What the charges set for one line before its criteria.
    void setLine(qint32 productId)
    {
        ASSERT_TRUE(Call(engine, u"ResetVariables").ok());
        ASSERT_TRUE(
            Call(engine, u"SetVariable", {QStringLiteral("ProductID"), MakeInt32(productId)}).ok());
        ASSERT_TRUE(Call(engine, u"SetVariable", {QStringLiteral("OptionXML"), ItemXml}).ok());
        ASSERT_TRUE(
            Call(engine, u"SetVariable", {QStringLiteral("PriceCostXML"), PriceCostXml}).ok());
    }

    Variant evaluate(const QString &expression)
    {
        const CallResult r = Call(engine, u"EvaluateExpression", {expression});
        EXPECT_TRUE(r.ok());
        return r.value;
    }

    // As the charges read it: a Boolean, with null as false.
    bool met(const QString &expression)
    {
        const Variant v = evaluate(expression);
        return TypeOf(v) != VariantType::Null && ToBool(v).value_or(false);
    }

    QString lastError() { return Get(engine, u"LastError").value.toString(); }

    DispatchPtr engine;
};

TEST_F(FormulaEngineTest, demoChargeCriteriaReadTheLine)
{
    EXPECT_TRUE(met(QStringLiteral("Option(\"Motor Type\") ~= \"None\"")));
    EXPECT_TRUE(met(QStringLiteral("PriceCost(\"Style\") == \"Cordless\"")));
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1")));
    EXPECT_FALSE(met(QStringLiteral("ProductID == 2")));
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1 and PriceCost(\"Style\") == \"Cordless\"")));

    // Names without regard to case; the first option of a name wins.
    EXPECT_TRUE(met(QStringLiteral("Option(\"MOTOR TYPE\") == \"RF Motor\"")));
    EXPECT_TRUE(met(QStringLiteral("PriceCost(\"style\") == \"Cordless\"")));
    EXPECT_TRUE(met(QStringLiteral("Option(\"Room Location\") == 'Kid\\'s \"Den\" & Study'")));
    // A missing option or field reads as empty text.
    EXPECT_TRUE(met(QStringLiteral("Option(\"Valance\") == \"\"")));
    EXPECT_TRUE(met(QStringLiteral("PriceCost(\"Nothing\") == \"\"")));

    // Numbers: measurements and regional number texts.
    EXPECT_TRUE(met(QStringLiteral("OptionNumber(\"Width\") == 36.5")));
    EXPECT_TRUE(met(QStringLiteral("PriceCostNumber(\"UnitPrice\") > 1000")));
    EXPECT_TRUE(met(QStringLiteral("OptionNumber(\"Motor Type\") == nil")));
    EXPECT_TRUE(met(QStringLiteral("string.find(OptionXML, \"<Name>Width</Name>\") ~= nil")));

    // Statements that return a value are accepted too.
    EXPECT_TRUE(met(QStringLiteral("local w = OptionNumber('Width') return w > 36 and w < 48")));
}

TEST_F(FormulaEngineTest, resultsAreBooleansNumbersOrNull)
{
    EXPECT_EQ(evaluate(QStringLiteral("1 < 2")), MakeBool(true));
    EXPECT_EQ(evaluate(QStringLiteral("ProductID + 0.5")), MakeDouble(1.5));
    // Text, tables and nothing convert to no Boolean: null, which reads as not met.
    for (const char *expression : {"\"yes\"", "{}", "nil", "0/0"}) {
        SCOPED_TRACE(expression);
        EXPECT_EQ(TypeOf(evaluate(QString::fromLatin1(expression))), VariantType::Null);
    }
}

TEST_F(FormulaEngineTest, brokenAndHostileExpressionsAreNotMet)
{
    const char *const expressions[] = {
        // syntax and run-time errors
        "Option(\"Width\") ==",
        "",
        "Option(\"Width\") > 36",
        "error('stop')",
        "error({})",
        // no way to the system
        "os.execute('touch /tmp/zeltfe5-escaped') == 0",
        "io.open('/etc/passwd') ~= nil",
        "require('os') ~= nil",
        "load('return 1')() == 1",
        "dofile('/etc/passwd')",
        "loadfile('/etc/passwd')",
        "debug.getinfo(1) ~= nil",
        "package.loaded.os ~= nil",
        "string.dump(Option) ~= nil",
        "getmetatable('').__index.gsub ~= nil",
        "collectgarbage('count') > 0",
        "('x'):gsub('x', 'y') == 'y'",
        "string.match(string.rep('a', 5000), '.-.-.-.-.-b') ~= nil",
        // runaway code, even when it catches its own errors
        "(function() while true do end end)()",
        "(function() while true do pcall(function() while true do end end) end end)()",
        "(function() local function f() return f() end return f() end)()",
        "(function() local function f() return 1 + f() end return f() end)()",
        "#string.rep('x', 1 << 30) > 0",
        "(function() local t = {} for i = 1, 1e8 do t[i] = i end return true end)()",
    };
    for (const char *expression : expressions) {
        SCOPED_TRACE(expression);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(TypeOf(evaluate(QString::fromLatin1(expression))), VariantType::Null);
        EXPECT_FALSE(lastError().isEmpty());
        EXPECT_LT(timer.elapsed(), 5000);
        // The engine is still usable and keeps the line's variables.
        EXPECT_TRUE(met(QStringLiteral("ProductID == 1")));
        EXPECT_TRUE(lastError().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/zeltfe5-escaped")));
}

TEST_F(FormulaEngineTest, resetVariablesForgetsTheLastLine)
{
    EXPECT_TRUE(met(QStringLiteral("(function() leftover = true return true end)()")));
    EXPECT_TRUE(met(QStringLiteral("leftover == true")));
    ASSERT_TRUE(Call(engine, u"ResetVariables").ok());
    EXPECT_TRUE(met(QStringLiteral("leftover == nil and ProductID == nil")));
    EXPECT_TRUE(met(QStringLiteral("Option(\"Motor Type\") == \"\" and OptionXML == nil")));
    EXPECT_TRUE(met(QStringLiteral("PriceCost(\"Style\") == \"\"")));

    setLine(4);
    EXPECT_TRUE(met(QStringLiteral("ProductID == 4")));
    // A document that does not parse has no values, not part of them.
    ASSERT_TRUE(Call(engine, u"SetVariable",
                     {QStringLiteral("OptionXML"), ItemXml.left(ItemXml.size() - 20)})
                    .ok());
    EXPECT_TRUE(met(QStringLiteral("Option(\"Width\") == \"\"")));
}

TEST_F(FormulaEngineTest, documentsAreReadAgainOnlyWhenTheirTextChanges)
{
    const QString width = QStringLiteral("Option(\"Width\") ~= \"\"");
    EXPECT_TRUE(met(width));
    // A reset between charges of one line, then the same documents: the same answers.
    setLine(1);
    EXPECT_TRUE(met(width));
    ASSERT_TRUE(
        Call(engine, u"SetVariable",
             {QStringLiteral("OptionXML"), QStringLiteral("<ItemData><Options/></ItemData>")})
            .ok());
    EXPECT_FALSE(met(width));
    setLine(1);
    EXPECT_TRUE(met(width));
}

TEST_F(FormulaEngineTest, variablesTakeTheBoundaryTypes)
{
    const struct
    {
        const char *name;
        Variant value;
        const char *test;
    } cases[] = {
        {"Flag", MakeBool(true), "Flag == true"},
        {"Count", MakeInt16(3), "Count == 3 and math.type(Count) == 'integer'"},
        {"Ratio", MakeSingle(0.5f), "Ratio == 0.5"},
        {"Amount", MakeCurrency(CurrencyValue{125000}), "Amount == 12.5"},
        {"Text", MakeString(QStringLiteral("Größe")), "Text == 'Größe'"},
        {"Gone", MakeNull(), "Gone == nil"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Call(engine, u"SetVariable", {QString::fromLatin1(c.name), c.value}).ok());
        EXPECT_TRUE(met(QString::fromUtf8(c.test)));
    }
    for (const char *bad : {"", "2x", "end", "a-b", "Grö"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(
            Call(engine, u"SetVariable", {QString::fromUtf8(bad), MakeInt32(1)}).status.number(),
            Error::InvalidProcedureCall);
    }
    EXPECT_EQ(
        Call(engine, u"SetVariable", {QStringLiteral("Host"), MakeObject(engine)}).status.number(),
        Error::TypeMismatch);
}

TEST_F(FormulaEngineTest, aTerminatedEngineMeetsNothing)
{
    ASSERT_TRUE(Call(engine, u"PreTerminate").ok());
    EXPECT_EQ(TypeOf(evaluate(QStringLiteral("true"))), VariantType::Null);
    EXPECT_FALSE(lastError().isEmpty());
}

} // namespace
