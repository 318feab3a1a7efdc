// One Lua state for all of a sandbox's evaluations, with each expression compiled once: the
// chunk cache stays within its bounds, a cached chunk carries nothing from one evaluation to
// the next, and a state that may be unsound is replaced.
#include "host/formula/luasandbox.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::host;

namespace {

const QString ItemXml = QStringLiteral(
    "<ItemData><Options><Option><Name>Width</Name><Value>36 1/2</Value></Option>"
    "<Option><Name>Motor Type</Name><Value>RF Motor</Value></Option></Options></ItemData>");

class LuaSandboxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.isReady());
        setLine(1);
    }

    void setLine(qint32 productId)
    {
        ASSERT_TRUE(sandbox.resetVariables());
        ASSERT_TRUE(sandbox.setVariable(QStringLiteral("ProductID"), MakeInt32(productId)).ok());
        ASSERT_TRUE(sandbox.setVariable(QStringLiteral("OptionXML"), ItemXml).ok());
        documents.setOptionXml(ItemXml);
    }

    Variant evaluate(const QString &expression)
    {
        const LuaSandbox::Outcome outcome = sandbox.evaluate(expression);
        lastError = outcome.error;
        return outcome.value;
    }

    bool met(const QString &expression) { return ToBool(evaluate(expression)).value_or(false); }

    // A processor time limit that no build reaches first (a sanitized build copies megabytes
    // far more slowly): what ends an evaluation here is the instruction budget or the ceiling.
    static SandboxLimits Limits()
    {
        SandboxLimits limits;
        limits.processorTime = std::chrono::seconds(60);
        return limits;
    }

    CriteriaDocuments documents;
    LuaSandbox sandbox{&documents, Limits()};
    QString lastError;
};

} // namespace

TEST_F(LuaSandboxTest, anExpressionIsCompiledOnceAndAnswersForEachLine)
{
    const QString criterion = QStringLiteral("ProductID * 2 + OptionNumber('Width')");
    for (qint32 line = 1; line <= 50; ++line) {
        setLine(line);
        EXPECT_EQ(evaluate(criterion), MakeDouble(line * 2 + 36.5)) << lastError.toStdString();
        EXPECT_EQ(sandbox.cachedChunks(), 1u);
    }
    // Each line's own documents, too.
    for (const char *motor : {"RF Motor", "Wi-Fi Motor", "None"}) {
        setLine(1);
        QString item = ItemXml;
        item.replace(QStringLiteral("RF Motor"), QString::fromLatin1(motor));
        ASSERT_TRUE(sandbox.setVariable(QStringLiteral("OptionXML"), item).ok());
        documents.setOptionXml(item);
        EXPECT_EQ(met(QStringLiteral("Option('Motor Type') == '%1'").arg(QLatin1String(motor))),
                  true);
        EXPECT_EQ(met(QStringLiteral("Option('Motor Type') ~= 'None'")),
                  std::strcmp(motor, "None") != 0);
    }
    EXPECT_EQ(sandbox.statesStarted(), 1);
}

TEST_F(LuaSandboxTest, theChunkCacheStaysWithinItsBounds)
{
    const SandboxLimits limits;
    const std::size_t before = sandbox.memoryInUse();
    // Many short expressions: the count bounds the cache.
    for (int i = 0; i < 3000; ++i) {
        const QString expression = QStringLiteral("ProductID == %1").arg(i);
        EXPECT_EQ(met(expression), i == 1) << expression.toStdString();
        EXPECT_LE(sandbox.cachedChunks(), limits.chunks);
    }
    EXPECT_EQ(sandbox.cachedChunks(), limits.chunks);
    // Long ones: the text bounds it.
    for (int i = 0; i < 200; ++i) {
        const QString expression =
            QStringLiteral("ProductID == %1 or '%2' == ''").arg(i).arg(QString(8000, u'x'));
        EXPECT_EQ(met(expression), i == 1);
        EXPECT_LE(sandbox.cachedSourceBytes(), limits.chunkSourceBytes);
    }
    EXPECT_GT(sandbox.cachedSourceBytes(), limits.chunkSourceBytes - 9000);
    EXPECT_LE(sandbox.cachedChunkMemory(), limits.chunkMemory);
    // What the state holds stays near what it held, the cache's bound above it.
    EXPECT_LT(sandbox.memoryInUse(), before + limits.chunkMemory + 1024 * 1024);
    // Evicted expressions compile again and answer as before.
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1")));
    EXPECT_FALSE(met(QStringLiteral("ProductID == 0")));
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1 or '%1' == ''").arg(QString(8000, u'x'))));
    EXPECT_EQ(sandbox.statesStarted(), 1);
}

// Chunks that compile to much: the cache's memory bounds it (smaller here than the engine's,
// which the cache's text bound keeps it within).
TEST(LuaSandboxChunks, theMemoryOfTheCompiledChunksBoundsTheCache)
{
    CriteriaDocuments documents;
    SandboxLimits limits;
    limits.processorTime = std::chrono::seconds(60);
    limits.chunkMemory = 512 * 1024;
    LuaSandbox sandbox(&documents, limits);
    ASSERT_TRUE(sandbox.setVariable(QStringLiteral("ProductID"), MakeInt32(1)).ok());
    const std::size_t before = sandbox.memoryInUse();
    const QString functions = QStringLiteral("function() end,").repeated(1000);
    for (int i = 0; i < 40; ++i) {
        const auto outcome = sandbox.evaluate(
            QStringLiteral("#{%1} == 1000 and ProductID == %2").arg(functions).arg(i % 2));
        EXPECT_EQ(ToBool(outcome.value), std::optional<bool>(i % 2 == 1))
            << outcome.error.toStdString();
        EXPECT_LE(sandbox.cachedChunkMemory(), limits.chunkMemory);
        EXPECT_LT(sandbox.memoryInUse(), before + limits.chunkMemory + 256 * 1024);
    }
    EXPECT_GT(sandbox.cachedChunkMemory(), limits.chunkMemory / 2);
    const std::size_t kept = sandbox.cachedChunks();
    EXPECT_GT(kept, 1u);
    EXPECT_LT(kept, 40u);
    // One chunk larger than the whole cache runs, and is not kept.
    const auto large = sandbox.evaluate(QStringLiteral("#{%1} == 4000").arg(functions.repeated(4)));
    EXPECT_EQ(ToBool(large.value), std::optional<bool>(true)) << large.error.toStdString();
    EXPECT_LE(sandbox.cachedChunkMemory(), limits.chunkMemory);
    EXPECT_LT(sandbox.memoryInUse(), before + limits.chunkMemory + 256 * 1024);
    EXPECT_EQ(sandbox.statesStarted(), 1);
}

TEST_F(LuaSandboxTest, expressionsThatDoNotCompileAreKeptWithTheirError)
{
    const QString broken = QStringLiteral("Option(\"Width\") ==");
    EXPECT_EQ(TypeOf(evaluate(broken)), VariantType::Null);
    const QString error = lastError;
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(sandbox.cachedChunks(), 1u);
    EXPECT_EQ(TypeOf(evaluate(broken)), VariantType::Null);
    EXPECT_EQ(lastError, error);
    // Neither empty nor too long expressions take room.
    EXPECT_EQ(TypeOf(evaluate(QStringLiteral("  \n"))), VariantType::Null);
    EXPECT_EQ(lastError, QStringLiteral("there is no expression"));
    EXPECT_EQ(TypeOf(evaluate(QString(LuaSandbox::MaximumExpressionLength + 1, u'1'))),
              VariantType::Null);
    EXPECT_EQ(lastError, QStringLiteral("the expression is too long"));
    EXPECT_EQ(sandbox.cachedChunks(), 1u);
}

// A chunk's only upvalue is the environment, set before every run and again after it: what an
// expression stashes anywhere is gone for the next evaluation (globals with the next reset, as
// always), however often the same chunk runs.
TEST_F(LuaSandboxTest, aCachedChunkCarriesNothingFromOneEvaluationToTheNext)
{
    // A table of its own as the environment, for the rest of the run and for the functions
    // the run makes.
    const QString ownEnvironment =
        QStringLiteral("(function() local seen = ProductID _ENV = {ProductID = 99, marker = true} "
                       "return seen ~= nil and seen < 99 end)()");
    EXPECT_TRUE(met(ownEnvironment)) << lastError.toStdString();
    EXPECT_TRUE(met(ownEnvironment)) << lastError.toStdString();
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1 and marker == nil")));
    const QString topLevel =
        QStringLiteral("local before = rawget(_ENV, 'marker') _ENV = {marker = 1} "
                       "return before == nil");
    EXPECT_TRUE(met(topLevel)) << lastError.toStdString();
    EXPECT_TRUE(met(topLevel)) << lastError.toStdString();
    // The same, failing half way.
    const QString failing = QStringLiteral("(function() _ENV = {ProductID = 99} error('x') end)()");
    EXPECT_EQ(TypeOf(evaluate(failing)), VariantType::Null);
    EXPECT_EQ(TypeOf(evaluate(failing)), VariantType::Null);
    EXPECT_TRUE(met(QStringLiteral("ProductID == 1")));

    // Library tables are each evaluation's own, even for the same chunk.
    const QString counter = QStringLiteral(
        "(function() string.count = (string.count or 0) + 1 return string.count end)()");
    EXPECT_EQ(evaluate(counter), MakeDouble(1));
    EXPECT_EQ(evaluate(counter), MakeDouble(1));

    // Globals, and closures kept in them, last until the reset, as they always did.
    const QString stash = QStringLiteral(
        "(function() if not bump then local n = 0 bump = function() n = n + 1 return n end end "
        "return bump() end)()");
    EXPECT_EQ(evaluate(stash), MakeDouble(1));
    EXPECT_EQ(evaluate(stash), MakeDouble(2));
    EXPECT_EQ(evaluate(QStringLiteral("bump() + ProductID")), MakeDouble(4));
    setLine(2);
    EXPECT_EQ(evaluate(stash), MakeDouble(1));
    EXPECT_TRUE(met(QStringLiteral("ProductID == 2 and marker == nil")));

    // An expression that fills the environment with names: the reset replaces the table.
    EXPECT_TRUE(met(QStringLiteral(
        "(function() for i = 1, 1000 do _ENV['v' .. i] = i end return v1000 == 1000 end)()")));
    EXPECT_TRUE(met(ownEnvironment));
    setLine(3);
    EXPECT_TRUE(met(QStringLiteral("v1 == nil and v1000 == nil and ProductID == 3")));
    EXPECT_TRUE(met(
        QStringLiteral("(function() local seen = ProductID _ENV = {} return seen == 3 end)()")));
    EXPECT_EQ(sandbox.statesStarted(), 1);
}

// Running out of memory, or failing while handling an error, may leave the state unsound: it
// goes, with its chunks, and a new one takes the variables. Errors an expression raises and
// the budget's stops keep the state.
TEST_F(LuaSandboxTest, theStateIsReplacedAfterAFailureThatMayLeaveItUnsound)
{
    EXPECT_TRUE(met(QStringLiteral("(function() leftover = true return ProductID == 1 end)()")));
    EXPECT_TRUE(met(QStringLiteral("leftover")));
    for (const char *survivable :
         {"error('stop')", "nil + 1", "(function() while true do end end)()",
          "pcall(string.rep, 'x', 1 << 30)"}) {
        SCOPED_TRACE(survivable);
        evaluate(QString::fromLatin1(survivable));
        EXPECT_EQ(sandbox.statesStarted(), 1);
    }
    EXPECT_TRUE(met(QStringLiteral("leftover")));
    EXPECT_GE(sandbox.cachedChunks(), 5u);

    const char *const fatal[] = {
        "#string.rep('x', 1 << 30) > 0",
        ("(function() local t = {} for i = 1, 100 do t[i] = string.rep('x', 1000000) .. i end "
         "return true end)()"),
        "not pcall(string.rep, 'x', 1 << 30) and #string.rep('y', 20000000) > 0",
    };
    int started = sandbox.statesStarted();
    for (const char *expression : fatal) {
        SCOPED_TRACE(expression);
        EXPECT_TRUE(met(QStringLiteral("(function() leftover = true return true end)()")));
        EXPECT_EQ(TypeOf(evaluate(QString::fromLatin1(expression))), VariantType::Null);
        EXPECT_EQ(lastError, QStringLiteral("the expression used too much memory"));
        EXPECT_EQ(sandbox.statesStarted(), ++started);
        EXPECT_EQ(sandbox.cachedChunks(), 0u);
        // The variables are there again; what expressions left is not.
        EXPECT_TRUE(met(QStringLiteral("ProductID == 1 and leftover == nil")))
            << lastError.toStdString();
        EXPECT_TRUE(met(QStringLiteral("Option('Motor Type') == 'RF Motor'")));
        EXPECT_TRUE(met(QStringLiteral("string.len(OptionXML) > 100")));
    }
    // A reset after all that works on the new state.
    setLine(2);
    EXPECT_TRUE(met(QStringLiteral("ProductID == 2")));
}

// The chunk cache is left out of the memory ceiling: a cache that takes more than the ceiling
// leaves every evaluation all of it.
TEST(LuaSandboxMemory, aFullChunkCacheLeavesAnEvaluationTheWholeCeiling)
{
    CriteriaDocuments documents;
    SandboxLimits limits;
    limits.memoryBytes = 1024 * 1024;
    limits.processorTime = std::chrono::seconds(60);
    LuaSandbox sandbox(&documents, limits);
    ASSERT_TRUE(sandbox.isReady());
    const QString functions = QStringLiteral("function() end,").repeated(1000);
    for (int i = 0; i < 15; ++i) {
        const auto outcome =
            sandbox.evaluate(QStringLiteral("#{%1} == 1000 or %2").arg(functions).arg(i));
        ASSERT_EQ(ToBool(outcome.value), std::optional<bool>(true)) << outcome.error.toStdString();
    }
    EXPECT_EQ(sandbox.cachedChunks(), 15u);
    EXPECT_GT(sandbox.cachedChunkMemory(), limits.memoryBytes);
    const auto heavy = sandbox.evaluate(QStringLiteral(
        "(function() local s = string.rep('x', 300000) return #(s .. 'y') == 300001 end)()"));
    EXPECT_EQ(ToBool(heavy.value), std::optional<bool>(true)) << heavy.error.toStdString();
    // And the ceiling is still the ceiling.
    const auto tooHeavy = sandbox.evaluate(QStringLiteral("#string.rep('x', 2000000) > 0"));
    EXPECT_EQ(TypeOf(tooHeavy.value), VariantType::Null);
    EXPECT_EQ(tooHeavy.error, QStringLiteral("the expression used too much memory"));
}

// A text keeps its Lua string through a reset, for the same text set again; one not set again
// takes nothing from the next evaluation's ceiling.
TEST(LuaSandboxMemory, aTextNotSetAgainAfterAResetLeavesTheWholeCeiling)
{
    CriteriaDocuments documents;
    SandboxLimits limits;
    limits.processorTime = std::chrono::seconds(60);
    LuaSandbox sandbox(&documents, limits);
    const QString big(8'000'000, u'x');
    ASSERT_TRUE(sandbox.setVariable(QStringLiteral("Big"), big).ok());
    EXPECT_TRUE(ToBool(sandbox.evaluate(QStringLiteral("#Big == 8000000")).value).value_or(false));
    ASSERT_TRUE(sandbox.resetVariables());
    const auto heavy = sandbox.evaluate(
        QStringLiteral("Big == nil and (function() local s, t = string.rep('x', 4e6) .. 'a', "
                       "string.rep('x', 4e6) .. 'b' return #s + #t == 8000002 end)()"));
    EXPECT_EQ(ToBool(heavy.value), std::optional<bool>(true)) << heavy.error.toStdString();
    // Set again after a reset, the same text is there again.
    ASSERT_TRUE(sandbox.resetVariables());
    ASSERT_TRUE(sandbox.setVariable(QStringLiteral("Big"), big).ok());
    ASSERT_TRUE(sandbox.resetVariables());
    ASSERT_TRUE(sandbox.setVariable(QStringLiteral("Big"), big).ok());
    EXPECT_TRUE(
        ToBool(sandbox.evaluate(QStringLiteral("#Big == 8000000 and Big:sub(-1) == 'x'")).value)
            .value_or(false));
    EXPECT_EQ(sandbox.statesStarted(), 1);
}
