// The reference host's SQL session as the component drives it during a change run: the
// discount query of one pricing level, late-bound through ExecuteRead, answered by the
// database the first time and from the session's cache on a repeat.
#include "host/database/database.h"
#include "host/database/seed.h"
#include "host/services/sharedcodelibrary.h"

#include <zeltpc5/dispatch.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace zeltpc5;
using namespace zeltpc5::host;

namespace {

const QString DiscountQuery = QStringLiteral(
    "SELECT Discount, DiscountAD, High, Low, Margin, MarginAD, OptionName, OptionValue FROM "
    "Discounts WHERE DiscountGroupID = 1 AND DiscountLevel = 3 AND ProductID = 1 AND Style = "
    "'Standard' AND OptionName <> ''");

struct Company
{
    Company()
    {
        static int argc = 1;
        static char name[] = "hostdb_bench";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        db = Database::open(ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("c.db"))),
                            OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        scl = CreateSharedCodeLibrary(db);
    }
    DispatchPtr session(bool caching) const
    {
        DispatchPtr s = ToObject(Get(scl, u"ZELTSQL").value).value_or(DispatchPtr());
        Put(s, u"SessionCachingEnabled", MakeBool(caching));
        return s;
    }

    QTemporaryDir dir;
    std::shared_ptr<Database> db;
    DispatchPtr scl;
};

Company &TheCompany()
{
    static Company company;
    return company;
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

void ExecuteReadFirstTime(benchmark::State &state)
{
    Read(state, TheCompany().session(false));
}
BENCHMARK(ExecuteReadFirstTime);

void ExecuteReadCached(benchmark::State &state)
{
    const DispatchPtr session = TheCompany().session(true);
    Call(session, u"ExecuteRead", {DiscountQuery});
    Read(state, session);
}
BENCHMARK(ExecuteReadCached);

// The cached read and the text the component then parses.
void ExecuteReadCachedWithText(benchmark::State &state)
{
    const DispatchPtr session = TheCompany().session(true);
    Call(session, u"ExecuteRead", {DiscountQuery});
    for (auto _ : state) {
        const DispatchPtr doc =
            ToObject(Call(session, u"ExecuteRead", {DiscountQuery}).value).value_or(DispatchPtr());
        QString xml = ToText(Get(doc, u"xml").value).value_or(QString());
        benchmark::DoNotOptimize(xml);
    }
}
BENCHMARK(ExecuteReadCachedWithText);

} // namespace
