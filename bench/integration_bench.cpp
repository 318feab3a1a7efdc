// The component against the reference host, as a change run drives it: pricing one demo line
// (LoadDiscounts, ResolveDiscounts, CalculatePriceCost with a caching SQL session), and
// ChangeOptionValue over 1,000 and 10,000 lines copied from the demo quote (1,000 also with the
// company database on PostgreSQL over its local socket).
#include "tests/integration/referencehost.h"

#include "engine/engines.h"
#include "pricing/discounts.h"
#include "pricing/itemfields.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "replace/readback.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/classregistry.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUuid>

#include <malloc.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

ReferenceHost &TheHost(Backend backend = Backend::SQLite)
{
    static int argc = 1;
    static char name[] = "integration_bench";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    if (backend == Backend::PostgreSQL) {
        static ReferenceHost postgres(Backend::PostgreSQL);
        return postgres;
    }
    static ReferenceHost host;
    return host;
}

// Line 3 of Q-1001 (motorized roller shade: every cost and price step, two cost charges and
// a price charge with criteria). The product engine is processed once; each iteration prices
// a fresh copy of the stored price/cost document in one long-lived caching session, as the
// lines of a change run share their session.
void PriceOneDemoLine(benchmark::State &state)
{
    ReferenceHost &reference = TheHost();
    const host::QuoteLine line = reference.quoteLines(QStringLiteral("Q-1001")).at(2);
    const HostServices host(reference.sharedCodeLibrary());
    DispatchPtr object;
    CreateObject(QStringLiteral("optrix5.Engine"), &object);
    ProductEngine engine(object);
    engine.Initialize();
    if (!engine.UseProductFile(host.GetProductFileFromID2(line.productID))) {
        state.SkipWithError("the product file did not open");
        return;
    }
    engine.InitForAccess();
    engine.InitForProcessing(line.style);
    SqlSession session = host.ZELTSQL();
    session.setSessionCachingEnabled(true);
    ApplyProductDimensionSettings(line.productID, engine, session);
    for (const XmlNode &option :
         LoadItemXML(line.itemXML)->selectNodes(QStringLiteral("//ItemData/Options/Option")))
        if (IsProcessableOption(option))
            engine.SetOptionValue(GetXMLValue(QStringLiteral("Name"), option),
                                  GetXMLValue(QStringLiteral("Value"), option));
    engine.ProcessOptions();

    QString unitPrice;
    for (auto _ : state) {
        XmlDocument doc = *LoadPriceCostXML(line.priceCostXML);
        LoadDiscounts(line.itemXML, doc, host, session);
        ResolveDiscounts(doc, host);
        CalculatePriceCost(engine, line.itemXML, doc, host, session);
        unitPrice = GetXMLValue(QStringLiteral("UnitPrice"), doc.documentElement());
        benchmark::DoNotOptimize(unitPrice);
    }
    session.PreTerminate();
    if (unitPrice != QStringLiteral("617.5"))
        state.SkipWithError("the line was not priced as worked out by hand (617.50)");
}
// One iteration is one line: the time per iteration is the time per line.
BENCHMARK(PriceOneDemoLine)->Unit(benchmark::kMicrosecond);

// A quote of the given size made of the demo quote's lines over and over, each copy with a
// UniqueID of its own; every line gets an outside mount (a change every product accepts).
void ChangeOptionValueOverLines(benchmark::State &state, Backend backend)
{
    const QString unavailable = UnavailableReason(backend);
    if (!unavailable.isEmpty()) {
        state.SkipWithError(unavailable.toStdString().c_str());
        return;
    }
    ReferenceHost &reference = TheHost(backend);
    const auto demo = reference.quoteLines(QStringLiteral("Q-1001"));
    const int count = int(state.range(0));
    std::vector<host::QuoteLine> lines;
    QStringList ids;
    for (int i = 0; i < count; ++i) {
        host::QuoteLine l = demo[size_t(i) % demo.size()];
        l.line = i + 1;
        l.uniqueID = QUuid::createUuid().toString();
        ids << l.uniqueID;
        lines.push_back(std::move(l));
    }
    const QString selected = ids.join(QLatin1Char('|'));

    qint64 changed = 0;
    double seconds = 0;
    double retained = 0;
    for (auto _ : state) {
        const Ref<Library> library = Library::create();
        library->Initialize(reference.sharedCodeLibrary());
        const DispatchPtr engine(library->CreateReplaceEngine());
        AddLines(engine, lines);

        // What the engine keeps per line once the run is over: the new documents and the
        // change texts (the memory allocated after the run, less before it; large blocks are
        // mapped apart from the heap and count too).
        const auto inUse = [] {
            const struct mallinfo2 m = mallinfo2();
            return double(m.uordblks + m.hblkhd);
        };
        const double before = inUse();
        QElapsedTimer timer;
        timer.start();
        const CallResult r = Call(engine, u"ChangeOptionValue",
                                  {QStringLiteral("Mount"), QStringLiteral("Outside"), selected});
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        retained += inUse() - before;
        benchmark::DoNotOptimize(r);
        state.SetIterationTime(elapsed);
        seconds += elapsed;

        // Every line must really have been changed (the demo's line 5 already was outside).
        changed = 0;
        for (int i = 0; i < count; ++i)
            if (GetItemOptionValue(QStringLiteral("Mount"),
                                   ToText(Call(engine, u"GetLineData",
                                               {MakeInt16(qint16(i)), QStringLiteral("newitemxml")})
                                              .value)
                                       .value_or(QString())) == QStringLiteral("Outside"))
                ++changed;
        Call(engine, u"PreTerminate");
    }
    if (changed != count)
        state.SkipWithError("not every line was changed");
    state.counters["lines"] = double(count);
    state.counters["ms_per_line"] = seconds * 1e3 / double(count) / double(state.iterations());
    state.counters["retained_bytes_per_line"] =
        retained / double(count) / double(state.iterations());
}
BENCHMARK_CAPTURE(ChangeOptionValueOverLines, SQLite, Backend::SQLite)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(ChangeOptionValueOverLines, PostgreSQL, Backend::PostgreSQL)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace
