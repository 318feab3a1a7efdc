// The reference host's SQL session as the component drives it during a change run: the
// discount query of one pricing level, late-bound through ExecuteRead, answered by the
// database the first time and from the session's cache on a repeat. On SQLite and on
// PostgreSQL over its local socket (ZELTPC5_TEST_PG, or a throwaway cluster).
// Then the host's other work for each line of a change: the service object's look-ups within
// a run, and the reading of a line's documents (the check before they are written, the unit
// price of the report).
#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/database/seed.h"
#include "host/services/recordsxml.h"
#include "host/services/sharedcodelibrary.h"
#include "host/services/strictxml.h"
#include "support/testdatabase.h"

#include <zeltpc5/dispatch.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::testing::Backend;
using zeltpc5::testing::TestDatabase;

namespace {

const QString DiscountQuery = QStringLiteral(
    "SELECT Discount, DiscountAD, High, Low, Margin, MarginAD, OptionName, OptionValue FROM "
    "Discounts WHERE DiscountGroupID = 1 AND DiscountLevel = 3 AND ProductID = 1 AND Style = "
    "'Standard' AND OptionName <> ''");

struct Company
{
    explicit Company(Backend backend) : td(backend)
    {
        if (!td.available())
            return;
        db = Database::open(td.settings(), OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        scl = CreateSharedCodeLibrary(db);
    }
    DispatchPtr session(bool caching) const
    {
        DispatchPtr s = ToObject(Get(scl, u"ZELTSQL").value).value_or(DispatchPtr());
        Put(s, u"SessionCachingEnabled", MakeBool(caching));
        return s;
    }

    TestDatabase td;
    std::shared_ptr<Database> db;
    DispatchPtr scl;
};

Company *TheCompany(benchmark::State &state, Backend backend)
{
    static int argc = 1;
    static char name[] = "hostdb_bench";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    static Company sqlite(Backend::SQLite);
    static Company postgres(Backend::PostgreSQL);
    Company &company = backend == Backend::SQLite ? sqlite : postgres;
    if (!company.td.available()) {
        state.SkipWithError(company.td.skipReason().toStdString().c_str());
        return nullptr;
    }
    return &company;
}

void Read(benchmark::State &state, const DispatchPtr &session)
{
    for (auto _ : state) {
        CallResult r = Call(session, u"ExecuteRead", {DiscountQuery});
        benchmark::DoNotOptimize(r);
        if (!r.ok() || !ToObject(r.value).value_or(DispatchPtr()))
            state.SkipWithError("ExecuteRead gave no document");
    }
}

void ExecuteReadFirstTime(benchmark::State &state, Backend backend)
{
    if (Company *company = TheCompany(state, backend))
        Read(state, company->session(false));
}
BENCHMARK_CAPTURE(ExecuteReadFirstTime, SQLite, Backend::SQLite);
BENCHMARK_CAPTURE(ExecuteReadFirstTime, PostgreSQL, Backend::PostgreSQL);

void ExecuteReadCached(benchmark::State &state, Backend backend)
{
    Company *company = TheCompany(state, backend);
    if (!company)
        return;
    const DispatchPtr session = company->session(true);
    Call(session, u"ExecuteRead", {DiscountQuery});
    Read(state, session);
}
BENCHMARK_CAPTURE(ExecuteReadCached, SQLite, Backend::SQLite);
BENCHMARK_CAPTURE(ExecuteReadCached, PostgreSQL, Backend::PostgreSQL);

// The cached read and the text the component then parses.
void ExecuteReadCachedWithText(benchmark::State &state)
{
    Company *company = TheCompany(state, Backend::SQLite);
    if (!company)
        return;
    const DispatchPtr session = company->session(true);
    Call(session, u"ExecuteRead", {DiscountQuery});
    for (auto _ : state) {
        const DispatchPtr doc =
            ToObject(Call(session, u"ExecuteRead", {DiscountQuery}).value).value_or(DispatchPtr());
        QString xml = ToText(Get(doc, u"xml").value).value_or(QString());
        benchmark::DoNotOptimize(xml);
    }
}
BENCHMARK(ExecuteReadCachedWithText);

// The look-ups a change makes for every line (product sources, company options), with no run
// under way and within a run, where repeats are answered from memory.
void ServiceLookUps(benchmark::State &state, bool withinRun)
{
    Company *company = TheCompany(state, Backend::SQLite);
    if (!company)
        return;
    const DispatchPtr run = company->session(withinRun);
    const DispatchPtr common = ToObject(Get(company->scl, u"Common").value).value_or(DispatchPtr());
    const DispatchPtr options =
        ToObject(Get(company->scl, u"Options").value).value_or(DispatchPtr());
    for (auto _ : state) {
        Variant cost = Call(common, u"GetProductCostSource", {MakeInt32(2)}).value;
        Variant vendor = Call(common, u"GetVendorIDFromProductID", {MakeInt32(2)}).value;
        Variant option =
            Call(options, u"GetCompanyOption",
                 {QStringLiteral("OrderEntry"), QStringLiteral("OptionDelimiter"), QString()})
                .value;
        benchmark::DoNotOptimize(cost);
        benchmark::DoNotOptimize(vendor);
        benchmark::DoNotOptimize(option);
    }
    Call(run, u"PreTerminate");
}
BENCHMARK_CAPTURE(ServiceLookUps, NoRun, false);
BENCHMARK_CAPTURE(ServiceLookUps, WithinARun, true);

// The demo quote's documents, as the lines of a change hand them over.
std::vector<QuoteLine> DemoLines(benchmark::State &state)
{
    Company *company = TheCompany(state, Backend::SQLite);
    if (!company)
        return {};
    QuoteStore store(*company->db);
    const auto quote = store.quote(QStringLiteral("Q-1001"));
    return quote ? store.lines(quote->id) : std::vector<QuoteLine>();
}

// The check of a changed line's two documents before they are written.
void CheckLineDocuments(benchmark::State &state)
{
    const std::vector<QuoteLine> lines = DemoLines(state);
    if (lines.empty())
        return state.SkipWithError("no demo lines");
    std::size_t i = 0;
    qint64 characters = 0;
    for (auto _ : state) {
        const QuoteLine &l = lines[i++ % lines.size()];
        bool readable = IsWellFormedXml(l.itemXML) && IsWellFormedXml(l.priceCostXML);
        benchmark::DoNotOptimize(readable);
        characters += l.itemXML.size() + l.priceCostXML.size();
    }
    state.SetBytesProcessed(characters * 2);
}
BENCHMARK(CheckLineDocuments);

// The unit price the report reads from a line's price/cost document.
void UnitPriceOfALine(benchmark::State &state)
{
    const std::vector<QuoteLine> lines = DemoLines(state);
    if (lines.empty())
        return state.SkipWithError("no demo lines");
    std::size_t i = 0;
    for (auto _ : state) {
        auto price =
            RecordField(lines[i++ % lines.size()].priceCostXML, QStringLiteral("UnitPrice"));
        benchmark::DoNotOptimize(price);
    }
}
BENCHMARK(UnitPriceOfALine);

} // namespace
