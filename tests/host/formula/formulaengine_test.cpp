// The formula engine driven late-bound with the calls the additional charges make:
// Initialize, ResetVariables, SetVariable, EvaluateExpression, PreTerminate.
#include "host/formula/luasandbox.h"
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

// What the engine says when an expression was stopped.
const QString RanTooLong = QStringLiteral("the expression ran too long");
const QString UsedTooMuchTime = QStringLiteral("the expression used too much processor time");

// Each of these loops inside library functions, or in instructions that each take long, so
// that the instruction budget alone would let it run for minutes or for ever.
TEST_F(FormulaEngineTest, workInsideLibraryFunctionsEndsAtTheTimeLimit)
{
    const char *const expressions[] = {
        "table.move({}, 1, 2^40, 2)",
        "(function() local t = {} for i = 1, 1e6 do table.insert(t, 1, i) end end)()",
        "(function() local t = {1} for i = 1, 1e6 do table.insert(t, 1, i) table.remove(t, 1) "
        "table.insert(t, i) end end)()",
        "(function() local t = {string.byte(string.rep('a', 1e5), 1, -1)} "
        "while true do table.concat(t) end end)()",
        "(function() local t = {string.byte(string.rep('a', 1e5), 1, -1)} "
        "while true do table.sort(t) end end)()",
        "(function() local t = {string.byte(string.rep('a', 2e5), 1, -1)} "
        "table.move({}, 1, #t, 1, t) while true do next(t) end end)()",
        "(function() local s, p = string.rep('a', 4e6), string.rep('a', 1e6) .. 'b' "
        "while true do s:find(p) end end)()",
        "(function() local s = string.rep('x', 4e6) while true do local u = s .. 'y' end end)()",
        "(function() local s, t = string.rep('x', 4e6) .. 'a', string.rep('x', 4e6) .. 'b' "
        "while s < t do end end)()",
        "(function() local s = string.rep('1', 4e6) while true do local n = s + 0 end end)()",
        "(function() local s = string.rep('a', 4e6) while true do utf8.len(s) end end)()",
        "(function() local s = 'a' .. string.rep('\\x80', 4e6) local step = utf8.codes(s) "
        "while true do pcall(step, s, 1) end end)()",
        "(function() local s = string.rep('x', 4e6) while true do Option(s) end end)()",
    };
    for (const char *expression : expressions) {
        SCOPED_TRACE(expression);
        EXPECT_EQ(TypeOf(evaluate(QString::fromLatin1(expression))), VariantType::Null);
        EXPECT_EQ(lastError(), UsedTooMuchTime);
        // The next charge is evaluated as usual.
        EXPECT_TRUE(met(QStringLiteral("ProductID == 1 and Option('Width') == '36 1/2'")));
    }
}

// Lua runs a message handler inside the hook that raised the error, where no hook stops it.
TEST_F(FormulaEngineTest, messageHandlersCannotOutrunTheBudget)
{
    const char *const expressions[] = {
        "xpcall(function() while true do end end, function() while true do end end)",
        "xpcall(error, function() while true do end end)",
        "(function() while true do xpcall(function() while true do end end, "
        "function(m) return m end) end end)()",
        "xpcall(function() while true do end end, "
        "function() return xpcall(error, function() while true do end end) end)",
        "pcall(function() while true do end end)",
    };
    for (const char *expression : expressions) {
        SCOPED_TRACE(expression);
        EXPECT_EQ(TypeOf(evaluate(QString::fromLatin1(expression))), VariantType::Null);
        EXPECT_EQ(lastError(), RanTooLong);
        EXPECT_TRUE(met(QStringLiteral("ProductID == 1")));
    }
    // Handlers still see the error and give the second result.
    EXPECT_TRUE(met(QStringLiteral("select(2, xpcall(function() error('x', 0) end, function(m) "
                                   "return m .. '!' end)) == 'x!'")));
    EXPECT_TRUE(met(
        QStringLiteral("select('#', xpcall(function(a, b) return a, b end, error, 1, 2)) == 3")));
    EXPECT_TRUE(met(QStringLiteral("not xpcall(error, function() error('again') end)")));
}

// The replaced and wrapped functions give what Lua's own give.
TEST_F(FormulaEngineTest, boundedLibraryFunctionsKeepTheirResults)
{
    const char *const expressions[] = {
        // string.rep: nothing repeated is nothing, at once
        "string.rep('', math.maxinteger) == ''",
        "string.rep('', 2^50, '') == ''",
        "string.rep('ab', 3, ',') == 'ab,ab,ab' and ('x'):rep(3) == 'xxx'",
        "string.rep('x', 0) == '' and string.rep('x', -1, ',') == ''",
        "not pcall(string.rep, 'x', 2^50, '')",
        // string.find: plain, with Lua's positions
        "('hello'):find('l') == 3 and select(2, ('hello'):find('ll')) == 4",
        "('hello'):find('xyz') == nil and select('#', ('hello'):find('xyz')) == 1",
        "('hello'):find('l', 4) == 4 and ('hello'):find('lo', -2) == 4",
        "('abc'):find('b', -100) == 2 and ('abc'):find('b', 3) == nil",
        "('abc'):find('', 4) == 4 and ('abc'):find('', 5) == nil",
        "('a.c[d]'):find('.') == 2 and ('a.c[d]'):find('[d]') == 4",
        "(string.rep('a', 65533) .. 'needle'):find('needle') == 65534",
        "(string.rep('a', 200000) .. 'needle'):find('needle', 70000) == 200001",
        "(string.rep('ab', 100000) .. 'c'):find(string.rep('ab', 40000) .. 'c') == 120001",
        // table functions
        "(function() local t = {1, 2, 3} table.insert(t, 1, 0) table.insert(t, 4) "
        "return table.concat(t, ',') == '0,1,2,3,4' end)()",
        "(function() local t = {1, 2, 3} return table.remove(t, 1) == 1 and table.remove(t) == 3 "
        "and #t == 1 and t[1] == 2 end)()",
        "not pcall(table.insert, {1}, 5, 0) and not pcall(table.remove, {1}, 5)",
        "table.concat(table.move({1, 2, 3}, 1, 3, 2), ',') == '1,1,2,3'",
        "table.concat(table.move({1, 2, 3, 4}, 2, 4, 1), ',') == '2,3,4,4'",
        "table.concat(table.move({1, 2}, 1, 2, 3, {7, 8}), ',') == '7,8,1,2'",
        "table.concat({1, 'a', 2.5}, '-') == '1-a-2.5' and table.concat({}, ',') == ''",
        "table.concat({1, 2, 3}, ',', 2, 3) == '2,3' and not pcall(table.concat, {1, {}})",
        "select('#', table.unpack({1, 2, 3})) == 3 and select(2, table.unpack({1, 2, 3}, 2)) == 3",
        "(function() local t = {3, 1, 2} table.sort(t) return table.concat(t) == '123' end)()",
        "(function() local t = {3, 1, 2} table.sort(t, function(a, b) return a > b end) "
        "return table.concat(t) == '321' end)()",
        "not pcall(table.sort, {1, 'x', 2}) and table.pack(1, nil, 3).n == 3",
        // iteration
        "(function() local n = 0 for k, v in pairs({a = 1, b = 2, 3}) do n = n + v end "
        "return n == 6 end)()",
        "next({}) == nil and next({5}) == 1 and pairs({}) == next",
        "(function() local n = 0 for p, c in utf8.codes('a\xc3\xa9\xe2\x82\xac') do n = n + c end "
        "return n == 97 + 233 + 8364 end)()",
        "utf8.len('a\xc3\xa9') == 2 and utf8.char(233) == '\xc3\xa9' and utf8.offset('a\xc3\xa9', "
        "3) == 4",
        // numbers from texts, varargs
        "tonumber('0x10') == 16 and tonumber('z', 36) == 35 and '10' + 1 == 11 and -'2' == -2",
        "select(2, 'a', 'b') == 'b' and math.max(1, 3, 2) == 3 and math.min(4, 2) == 2",
        "string.format('%s-%5.1f', 'a', 2.5) == 'a-  2.5' and ('abc'):upper() == 'ABC'",
        // texts order by their bytes, whatever the user's locale
        "'B' < 'a' and 'Z' < 'a' and 'z' < '\xc3\xa9'",
    };
    for (const char *expression : expressions) {
        SCOPED_TRACE(expression);
        EXPECT_TRUE(met(QString::fromUtf8(expression))) << lastError().toStdString();
    }
}

// The charges evaluate a line's criteria one after another with one engine: whatever one
// expression does to the libraries, the next sees them as they were.
TEST_F(FormulaEngineTest, anExpressionCannotChangeTheLibrariesOfAnother)
{
    const char *const tampering[] = {
        "(function() string.find = function() return 1 end return true end)()",
        "(function() string.x = 'leak' table.insert = nil math.floor = nil utf8.len = nil "
        "return true end)()",
        "rawset(string, 'find', function() return 1 end) ~= nil and rawset(math, 'pi', 3) ~= nil",
        "(function() for _, library in ipairs({string, table, math, utf8}) do "
        "for name in pairs(library) do library[name] = nil end end return true end)()",
        "(function() string.upper = string.lower return true end)()",
    };
    const QString untouched = QStringLiteral(
        "Option('Motor Type'):find('Cordless') == nil and string.find('RF Motor', 'Motor') == 4 "
        "and ('').x == nil and string.x == nil and ('a'):upper() == 'A' "
        "and math.floor(2.5) == 2 and math.pi > 3.14 and utf8.len('a') == 1 "
        "and table.insert ~= nil and string.len ~= nil");
    for (const char *expression : tampering) {
        SCOPED_TRACE(expression);
        EXPECT_TRUE(met(QString::fromLatin1(expression))) << lastError().toStdString();
        // Even before the reset that comes with the next charge.
        EXPECT_TRUE(met(untouched)) << lastError().toStdString();
        setLine(1);
        EXPECT_TRUE(met(untouched)) << lastError().toStdString();
    }
    // An expression keeps what it adds for itself.
    EXPECT_TRUE(met(QStringLiteral("(function() function string.shout(s) return s:upper() .. '!' "
                                   "end return ('a').shout == nil and string.shout('a') == 'A!' "
                                   "end)()")));
    // Nothing can steer what another expression draws.
    EXPECT_TRUE(met(QStringLiteral("math.randomseed == nil and math.random(3) <= 3")));
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
    // Initialized again, it starts with nothing of the last line.
    ASSERT_TRUE(Call(engine, u"Initialize", {MakeObject(DispatchPtr())}).ok());
    EXPECT_TRUE(met(QStringLiteral("ProductID == nil and OptionXML == nil")));
    EXPECT_TRUE(met(QStringLiteral("Option('Width') == '' and PriceCost('Style') == ''")));
}

// One engine for a whole change run, as the charges may use it: each line's answers are that
// line's, however often each criterion has been evaluated before.
TEST_F(FormulaEngineTest, oneEngineServesAWholeRun)
{
    const QString criteria[] = {QStringLiteral("Option(\"Motor Type\") ~= \"None\""),
                                QStringLiteral("PriceCost(\"Style\") == \"Cordless\""),
                                QStringLiteral("ProductID == 2"),
                                QStringLiteral("OptionNumber(\"Width\") > 40")};
    for (int line = 0; line < 200; ++line) {
        const bool motor = line % 3 == 0;
        const bool cordless = line % 5 == 0;
        const int width = 30 + line % 20;
        QString item = ItemXml;
        item.replace(QStringLiteral("RF Motor"),
                     motor ? QStringLiteral("RF Motor") : QStringLiteral("None"));
        item.replace(QStringLiteral("36 1/2"), QString::number(width));
        QString priceCost = PriceCostXml;
        priceCost.replace(QStringLiteral("Cordless"),
                          cordless ? QStringLiteral("Cordless") : QStringLiteral("Standard"));
        const bool expected[] = {motor, cordless, line % 4 == 2, width > 40};
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE(line * 10 + c);
            ASSERT_TRUE(Call(engine, u"ResetVariables").ok());
            ASSERT_TRUE(
                Call(engine, u"SetVariable", {QStringLiteral("ProductID"), MakeInt32(line % 4)})
                    .ok());
            ASSERT_TRUE(Call(engine, u"SetVariable", {QStringLiteral("OptionXML"), item}).ok());
            ASSERT_TRUE(
                Call(engine, u"SetVariable", {QStringLiteral("PriceCostXML"), priceCost}).ok());
            EXPECT_EQ(met(criteria[c]), expected[c]);
        }
    }
}

} // namespace

// Nor does a heavy expression leave less memory to the next: what it made stays in stack
// slots the next has not written yet, beyond the reach of emergency collections. Measured
// with the engine's memory ceiling and a processor time limit no build reaches first (a
// sanitized build copies megabytes far more slowly).
TEST(LuaSandboxMemory, aHeavyExpressionLeavesTheNextTheWholeCeiling)
{
    host::CriteriaDocuments documents;
    host::SandboxLimits limits;
    limits.processorTime = std::chrono::seconds(60);
    host::LuaSandbox sandbox(&documents, limits);
    ASSERT_TRUE(sandbox.isReady());
    const auto first = sandbox.evaluate(QStringLiteral(
        "(function() local s = string.rep('x', 4e6) for i = 1, 2 do local u = s .. 'y' end "
        "return true end)()"));
    EXPECT_EQ(ToBool(first.value), std::optional<bool>(true)) << first.error.toStdString();
    const auto second = sandbox.evaluate(
        QStringLiteral("(function() local s, t = string.rep('x', 4e6) .. 'a', "
                       "string.rep('x', 4e6) .. 'b' return #s + #t == 8000002 end)()"));
    EXPECT_EQ(ToBool(second.value), std::optional<bool>(true)) << second.error.toStdString();
}

// An error text as long as memory allows reaches LastError and the log by its start (with a
// time limit that a sanitized build, slow to copy megabytes, does not reach first).
TEST(LuaSandboxMemory, aHugeErrorTextIsKeptByItsStart)
{
    host::CriteriaDocuments documents;
    host::SandboxLimits limits;
    limits.processorTime = std::chrono::seconds(60);
    host::LuaSandbox sandbox(&documents, limits);
    ASSERT_TRUE(sandbox.isReady());
    const auto outcome = sandbox.evaluate(QStringLiteral("error(string.rep('x', 5e6), 0)"));
    EXPECT_EQ(TypeOf(outcome.value), VariantType::Null);
    EXPECT_EQ(outcome.error, QString(1000, u'x'));
}
