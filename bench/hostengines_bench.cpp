// The reference host's engines as a change run uses them, called late-bound by member
// name: one quote line through the product engine, one charge criterion through a fresh
// formula engine, and the demo company's criteria over the demo quotes' lines through one
// formula engine that serves a whole change run.
#include "host/database/demoquote.h"
#include "host/helpers/registration.h"

#include <zeltpc5/classregistry.h>

#include <QDir>

#include <benchmark/benchmark.h>

using namespace zeltpc5;

namespace {

// A roller shade line as its item keeps it: every option, plus one the product no longer
// has, as old items do.
const std::pair<const char *, const char *> StoredOptions[] = {
    {"Room Location", "Master Bedroom"},
    {"Width", "36 1/2"},
    {"Height", "48"},
    {"Mount", "Inside"},
    {"Fabric", "Linen Blend"},
    {"Color", "Ivory"},
    {"Bottom Rail", "Standard"},
    {"Valance", "Cassette"},
    {"Control Type", "Motor"},
    {"Control Side", "Left"},
    {"Motorization", ""},
    {"Motor Type", "Wi-Fi Motor"},
    {"Chain Length", ""},
    {"Hold Down Brackets", "Yes"},
    {"Retired Option", "Old"},
};

const char *const ReadBackFields[] = {
    "Sequence",      "Name",        "FormattedValue",  "GroupName",     "Type",
    "GroupSequence", "IsDimension", "ProcessIfHidden", "DisplayFormat", "Visible"};

void BM_ProcessOneLine(benchmark::State &state)
{
    host::RegisterReferenceEngines();
    DispatchPtr engine;
    CreateObject(QStringLiteral("optrix5.Engine"), &engine);
    Call(engine, u"Initialize");
    const QString file = QDir(QStringLiteral(ZELTPC5_BENCH_PRODUCT_DIR))
                             .filePath(QStringLiteral("roller-shade.xml"));
    QList<std::pair<QString, QString>> options;
    for (const auto &[name, value] : StoredOptions)
        options.append({QString::fromLatin1(name), QString::fromLatin1(value)});
    QStringList fields;
    for (const char *field : ReadBackFields)
        fields << QString::fromLatin1(field);
    // The first opening parses the file; the loop measures the session's later ones.
    if (!ToBool(Call(engine, u"UseProductFile", {file, MakeBool(true)}).value).value_or(false)) {
        state.SkipWithError("the product file does not open");
        return;
    }

    for (auto _ : state) {
        Call(engine, u"UseProductFile", {file, MakeBool(true)});
        Call(engine, u"InitForAccess");
        Put(engine, u"AllOptionsInDescription", MakeBool(false));
        Call(engine, u"InitForProcessing", {QStringLiteral("Standard")});
        for (const auto &[name, value] : options)
            Call(engine, u"SetOptionValue", {name, value});
        Call(engine, u"ProcessOptions");
        const qint32 count = ToInt32(Call(engine, u"GetOptionCount").value).value_or(0);
        for (qint32 i = 0; i < count; ++i) {
            for (const QString &field : fields)
                benchmark::DoNotOptimize(Call(engine, u"GetOptionDataEx", {MakeInt32(i), field}));
        }
        benchmark::DoNotOptimize(Call(engine, u"ErrorCount"));
        benchmark::DoNotOptimize(Call(engine, u"NoticeCount"));
        benchmark::DoNotOptimize(Call(engine, u"PriceBeforeDiscount"));
    }
}
BENCHMARK(BM_ProcessOneLine)->Unit(benchmark::kMicrosecond);

const QString ItemXml = QStringLiteral(
    "<?xml version=\"1.0\"?><ItemData><Options>"
    "<Option><Name>Width</Name><Value>36 1/2</Value><Type>1</Type></Option>"
    "<Option><Name>Height</Name><Value>48</Value><Type>1</Type></Option>"
    "<Option><Name>Mount</Name><Value>Inside</Value><Type>4</Type></Option>"
    "<Option><Name>Control Type</Name><Value>Motor</Value><Type>4</Type></Option>"
    "<Option><Name>Motor Type</Name><Value>Wi-Fi Motor</Value><Type>4</Type></Option>"
    "</Options><Description>Roller Shade</Description></ItemData>");
const QString PriceCostXml = QStringLiteral(
    "<?xml version=\"1.0\"?><PriceCostData><ProductID>1</ProductID><Style>Standard</Style>"
    "<BeforeDiscountPrice>149.15</BeforeDiscountPrice></PriceCostData>");

// What the charges do for one line with one criterion: a new engine each time.
void BM_EvaluateCriteriaWithNewEngine(benchmark::State &state)
{
    host::RegisterReferenceEngines();
    const QString criteria =
        QStringLiteral("Option(\"Motor Type\") ~= \"None\" and ProductID == 1");
    for (auto _ : state) {
        DispatchPtr engine;
        CreateObject(QStringLiteral("zeltfe5.Engine"), &engine);
        Call(engine, u"Initialize", {MakeObject(DispatchPtr())});
        Call(engine, u"ResetVariables");
        Call(engine, u"SetVariable", {QStringLiteral("ProductID"), MakeInt32(1)});
        Call(engine, u"SetVariable", {QStringLiteral("OptionXML"), ItemXml});
        Call(engine, u"SetVariable", {QStringLiteral("PriceCostXML"), PriceCostXml});
        const Variant met = Call(engine, u"EvaluateExpression", {criteria}).value;
        if (!ToBool(met).value_or(false))
            state.SkipWithError("the criterion is not met");
        Call(engine, u"PreTerminate");
    }
}
BENCHMARK(BM_EvaluateCriteriaWithNewEngine)->Unit(benchmark::kMicrosecond);

// The same criterion on an engine that is already running, as for a second charge.
void BM_EvaluateCriteria(benchmark::State &state)
{
    host::RegisterReferenceEngines();
    DispatchPtr engine;
    CreateObject(QStringLiteral("zeltfe5.Engine"), &engine);
    Call(engine, u"Initialize", {MakeObject(DispatchPtr())});
    const QString criteria =
        QStringLiteral("Option(\"Motor Type\") ~= \"None\" and ProductID == 1");
    for (auto _ : state) {
        Call(engine, u"ResetVariables");
        Call(engine, u"SetVariable", {QStringLiteral("ProductID"), MakeInt32(1)});
        Call(engine, u"SetVariable", {QStringLiteral("OptionXML"), ItemXml});
        Call(engine, u"SetVariable", {QStringLiteral("PriceCostXML"), PriceCostXml});
        benchmark::DoNotOptimize(Call(engine, u"EvaluateExpression", {criteria}));
    }
}
BENCHMARK(BM_EvaluateCriteria)->Unit(benchmark::kMicrosecond);

// The criteria of the demo company's additional charges (host/database/seed.cpp).
const char *const DemoCriteria[] = {
    R"(Option("Motor Type") ~= "None" and Option("Motor Type") ~= "")",
    R"(PriceCost("Style") == "Cordless")",
    "ProductID == 2",
    "ProductID == 4",
};

// A change run as the charges make it with one engine for the whole run: for each line, and
// for each charge with criteria, the variables of the line and the charge's criterion. One
// iteration is a run over as many lines as the argument says, taken in turn from the demo
// quotes, so that each line brings documents other than the last line's. The engine is
// initialized once, before the first run; its compiled criteria and its Lua state serve every
// later run as they serve every later line.
//
// Instructions per evaluation, under callgrind, without the start-up: the difference between
// a run of 144 lines and one of 72, divided by 72 lines and by the four criteria:
//   valgrind --tool=callgrind bench/hostengines_bench
//       --benchmark_filter='BM_EvaluateDemoCriteriaOverLines/72$' --benchmark_min_time=0
// (one command line) and the same with 144; a minimum time of 0 runs one iteration. Measured
// so (RelWithDebInfo): 333 k instructions per evaluation when each evaluation compiled its
// criterion and each line's documents were read with QXmlStreamReader, 53 k once the engine
// kept its compiled criteria and read documents with pugixml.
void BM_EvaluateDemoCriteriaOverLines(benchmark::State &state)
{
    host::RegisterReferenceEngines();
    struct Line
    {
        qint32 productID;
        QString itemXml;
        QString priceCostXml;
    };
    std::vector<Line> lines;
    for (const host::DemoQuote &quote : host::DemoQuotes()) {
        for (const host::DemoQuoteLine &line : quote.lines)
            lines.push_back({line.productID, line.itemXML, line.priceCostXML});
    }
    QStringList criteria;
    for (const char *c : DemoCriteria)
        criteria << QString::fromUtf8(c);
    DispatchPtr engine;
    CreateObject(QStringLiteral("zeltfe5.Engine"), &engine);
    Call(engine, u"Initialize", {MakeObject(DispatchPtr())});
    const std::size_t linesPerRun = std::size_t(state.range(0));
    std::size_t next = 0;
    std::int64_t met = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < linesPerRun; ++i) {
            const Line &line = lines[next++ % lines.size()];
            for (const QString &criterion : criteria) {
                Call(engine, u"ResetVariables");
                Call(engine, u"SetVariable",
                     {QStringLiteral("ProductID"), MakeInt32(line.productID)});
                Call(engine, u"SetVariable", {QStringLiteral("OptionXML"), line.itemXml});
                Call(engine, u"SetVariable", {QStringLiteral("PriceCostXML"), line.priceCostXml});
                const Variant result = Call(engine, u"EvaluateExpression", {criterion}).value;
                met += ToBool(result).value_or(false) ? 1 : 0;
            }
        }
    }
    Call(engine, u"PreTerminate");
    if (met == 0)
        state.SkipWithError("no criterion was met");
    state.SetItemsProcessed(state.iterations() * std::int64_t(linesPerRun * criteria.size()));
    double characters = 0;
    for (const Line &line : lines)
        characters += double(line.itemXml.size() + line.priceCostXml.size());
    state.counters["demo lines"] = double(lines.size());
    state.counters["document characters per line"] = characters / double(lines.size());
}
BENCHMARK(BM_EvaluateDemoCriteriaOverLines)->Arg(72)->Arg(144)->Unit(benchmark::kMicrosecond);

} // namespace
