// The item review over a whole quote: every line selected, realistic item documents.
#include "engine/engines.h"

#include <benchmark/benchmark.h>

using namespace zeltpc5;

namespace {

QString itemXml(int line)
{
    const char *mounts[] = {"Inside", "Inside", "Outside"};
    const char *colors[] = {"White", "Ivory", "Please Select", "Grey"};
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<ItemData><Options>");
    const QList<std::pair<QString, QString>> options{
        {QStringLiteral("Room Location"),
         line % 7 ? QStringLiteral("Bedroom %1").arg(line) : QString()},
        {QStringLiteral("Width"), QStringLiteral("%1 1/2").arg(24 + line % 48)},
        {QStringLiteral("Height"), QStringLiteral("%1").arg(36 + line % 60)},
        {QStringLiteral("Mount"), QString::fromLatin1(mounts[line % 3])},
        {QStringLiteral("Fabric"), QStringLiteral("Linen Blend")},
        {QStringLiteral("Color"), QString::fromLatin1(colors[line % 4])},
        {QStringLiteral("Control Type"), QStringLiteral("Cordless")},
        {QStringLiteral("Control Side"), QStringLiteral("Left")},
        {QStringLiteral("Bottom Rail"), QStringLiteral("Standard")},
        {QStringLiteral("Valance"), QStringLiteral("Fascia")},
    };
    int seq = 0;
    for (const auto &[name, value] : options) {
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value><Sequence>%3</Sequence>"
                              "<GroupName>General</GroupName><GroupSequence>1</GroupSequence>"
                              "<Type>4</Type><IsDimension>0</IsDimension><ProcessIfHidden>0"
                              "</ProcessIfHidden><DisplayFormat/><Visible>1</Visible></Option>")
                   .arg(name, value)
                   .arg(++seq);
    }
    xml += QStringLiteral("</Options><Messages>");
    if (line % 11 == 0)
        xml += QStringLiteral(
            "<Message><Text>Width exceeds the warranty limit</Text><Type>2</Type></Message>");
    return xml + QStringLiteral("</Messages><Description>Roller Shade</Description></ItemData>");
}

void BM_ReviewItems(benchmark::State &state)
{
    const int lines = int(state.range(0));
    QStringList ids;
    QList<QString> items;
    for (int i = 1; i <= lines; ++i) {
        ids << QStringLiteral("Q-%1").arg(i);
        items << itemXml(i);
    }
    const QString allIds = ids.join(QLatin1Char('|'));
    const QString price = QStringLiteral(
        "<?xml version=\"1.0\"?>\n<PriceCostData><UnitPrice>129.5</UnitPrice></PriceCostData>");
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = Library::create()->CreateItemReviewEngine();
        for (int i = 0; i < lines; ++i)
            engine->lines().AddLine(qint16(i + 1), 1, 1, QStringLiteral("Standard"), items[i],
                                    price, ids[i]);
        state.ResumeTiming();
        benchmark::DoNotOptimize(engine->ReviewItems(allIds));
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_ReviewItems)->Arg(3000)->Arg(32767)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
