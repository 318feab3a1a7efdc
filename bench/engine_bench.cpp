// The host's protocol at full scale: 32,767 lines added and read back late-bound, the way
// a host hands over a large quote and collects it again.
#include "engine/engines.h"

#include <benchmark/benchmark.h>

using namespace zeltpc5;

namespace {

const QString Item = QStringLiteral(
    "<?xml version=\"1.0\"?><ItemData><Options><Option><Name>Width</Name><Value>36 1/2</Value>"
    "</Option><Option><Name>Height</Name><Value>60</Value></Option></Options></ItemData>");
const QString Price = QStringLiteral("<?xml version=\"1.0\"?><PriceCostData/>");

void addLines(const DispatchPtr &engine, int lines)
{
    Call(engine, u"Clear");
    for (int i = 1; i <= lines; ++i) {
        Call(engine, u"AddLine",
             {MakeInt16(qint16(i)), MakeInt16(1), MakeInt32(100), QStringLiteral("Cordless"), Item,
              Price, QStringLiteral("Q-%1").arg(i)});
    }
}

void BM_AddLines(benchmark::State &state)
{
    const DispatchPtr engine(Library::create()->CreateReplaceEngine());
    const int lines = int(state.range(0));
    for (auto _ : state)
        addLines(engine, lines);
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_AddLines)->Arg(3000)->Arg(32767)->Unit(benchmark::kMillisecond);

void BM_ReadBackLines(benchmark::State &state)
{
    auto replace = Library::create()->CreateReplaceEngine();
    const DispatchPtr engine(replace);
    const int lines = int(state.range(0));
    addLines(engine, lines);
    QStringList ids;
    for (int i = 1; i <= lines; i += 2)
        ids << QStringLiteral("q-%1").arg(i);
    replace->setSelectedIDs(ids.join(QLatin1Char('|')));
    for (auto _ : state) {
        for (int i = 0; i < lines; ++i) {
            const Variant id =
                Call(engine, u"GetLineData", {MakeInt16(qint16(i)), QStringLiteral("uniqueid")})
                    .value;
            benchmark::DoNotOptimize(Call(engine, u"LineWasSelected", {id}).value);
            benchmark::DoNotOptimize(
                Call(engine, u"GetLineData", {MakeInt16(qint16(i)), QStringLiteral("newitemxml")})
                    .value);
        }
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_ReadBackLines)->Arg(3000)->Arg(32767)->Unit(benchmark::kMillisecond);

} // namespace
