// The windows' fills at full scale: the bulk change review (rows from the engine's lines, the
// grid from the rows, the first paint with all of them laid out), the item review results,
// and the compare window's rebuild.
#include "compare/comparewindow.h"
#include "host/database/database.h"
#include "host/database/seed.h"
#include "host/helpers/dimensionconverter.h"
#include "host/services/sharedcodelibrary.h"
#include "pricing/pricecostfields.h"
#include "review/replacereviewmodel.h"
#include "review/replacereviewwindow.h"
#include "review/reviewresultswindow.h"

#include "ui/imagemanager.h"
#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"
#include "ui/taskpanel.h"
#include <zeltpc5/classregistry.h>

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace zeltpc5;

namespace {

QString itemXml(int line)
{
    const char *mounts[] = {"Inside", "Inside", "Outside"};
    const char *colors[] = {"White", "Ivory", "Linen", "Grey"};
    const QList<std::pair<QString, QString>> options{
        {QStringLiteral("Room Location"), QStringLiteral("Bedroom %1").arg(line % 9)},
        {QStringLiteral("Width"), QStringLiteral("%1 1/2").arg(24 + line % 48)},
        {QStringLiteral("Height"), QString::number(36 + line % 60)},
        {QStringLiteral("Mount"), QString::fromLatin1(mounts[line % 3])},
        {QStringLiteral("Fabric"), QStringLiteral("Linen Blend")},
        {QStringLiteral("Color"), QString::fromLatin1(colors[line % 4])},
        {QStringLiteral("Control Type"), QStringLiteral("Cordless")},
        {QStringLiteral("Control Side"), QStringLiteral("Left")},
        {QStringLiteral("Bottom Rail"), QStringLiteral("Standard")},
        {QStringLiteral("Valance"), QStringLiteral("Fascia")},
    };
    QString xml = QStringLiteral("<ItemData><Options>");
    int seq = 0;
    for (const auto &[name, value] : options) {
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value><Sequence>%3</Sequence>"
                              "<GroupName>General</GroupName><GroupSequence>1</GroupSequence>"
                              "<Type>4</Type><IsDimension>0</IsDimension><ProcessIfHidden>0"
                              "</ProcessIfHidden><DisplayFormat/><Visible>-1</Visible></Option>")
                   .arg(name, value)
                   .arg(++seq);
    }
    return xml + QStringLiteral("</Options><Messages/><Description>Roller Shade %1 W x %2 H"
                                "</Description></ItemData>")
                     .arg(24 + line % 48)
                     .arg(36 + line % 60);
}

// Two shapes of price/cost document. Host: the ~40 fields a host writes (identity,
// overrides, resolved rates, the main amounts). Calculated: what the component's own pricing
// leaves, as in tests/data/pricing: every level rate, each amount with its explanation and the
// analytic price lines, about three times as long.
enum class Shape { Host, Calculated };

QString priceCostXml(int line, double unitPrice, Shape shape)
{
    const auto money = [](double v) { return QString::number(v, 'f', 2); };
    const bool calculated = shape == Shape::Calculated;
    const double cost = unitPrice * 0.55;
    QString xml = QStringLiteral("<PriceCostData>");
    const auto field = [&xml](const QString &name, const QString &value) {
        xml += QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name +
               QLatin1Char('>');
    };
    const auto amount = [&](const char *name, double value, const QString &why) {
        const QString tag = QString::fromLatin1(name);
        xml += QLatin1Char('<') + tag;
        if (calculated && !why.isEmpty())
            xml += QStringLiteral(" Explain=\"") + why + QLatin1Char('"');
        xml += QLatin1Char('>') + money(value) + QStringLiteral("</") + tag + QLatin1Char('>');
    };
    field(QStringLiteral("ProductID"), QString::number(1 + line % 4));
    field(QStringLiteral("Style"), QStringLiteral("Standard"));
    for (const char *name :
         {"VendorID", "CustomerID", "CustomerTypeID", "DiscountMethod", "OptionDiscountMethod",
          "CostDiscountGroupID", "PriceDiscountGroupID", "CustomerDiscountGroupID"})
        field(QString::fromLatin1(name), QString::number(1 + line % 3));
    if (calculated) {
        for (const QString &name : LevelRateFields())
            field(name, QStringLiteral("0"));
    }
    for (const char *name : {"CostDiscount", "CostDiscountAD", "CostLowDiscount",
                             "CostHighDiscount", "PriceDiscount", "PriceDiscountAD", "PriceMargin",
                             "PriceMarginAD", "CustomerDiscount", "CustomerDiscountAD"})
        field(QString::fromLatin1(name), QStringLiteral("0.1"));
    for (const char *name :
         {"CostDiscountOverride", "CostDiscountADOverride", "PriceDiscountOverride",
          "PriceDiscountADOverride", "PriceMarginOverride", "PriceMarginADOverride",
          "CustomerDiscountOverride", "BeforeDiscountCostOverride", "BeforeDiscountPriceOverride",
          "PriceOverride"})
        field(QString::fromLatin1(name), QStringLiteral("0"));
    field(QStringLiteral("PriceOverrideTo"), money(0));
    field(QStringLiteral("ItemDiscount"), QStringLiteral("0"));
    const QString fromGrid = QStringLiteral("%1 of $%2 from price grid 2 at width %3, height %4");
    const QString width = QString::number(24 + line % 48);
    const QString height = QString::number(36 + line % 60);
    amount("BeforeDiscountCost", cost / 0.9,
           fromGrid.arg(QStringLiteral("Cost before discount"), money(cost / 0.9), width, height));
    amount("CostDiscountAmount", cost / 9,
           QStringLiteral("Cost before discount of $%1 * the vendor discount of 0.1")
               .arg(money(cost / 0.9)));
    amount("AfterDiscountCost", cost,
           QStringLiteral("Before discount cost of $%1 - vendor discount amount of $%2")
               .arg(money(cost / 0.9), money(cost / 9)));
    amount("CostAdjustments", 0, QStringLiteral("Item cost adjustments ''"));
    amount("OriginalUnitCost", cost, QString());
    amount("UnitCost", cost,
           QStringLiteral("The final cost is the same value as the item cost adjustments total"));
    amount("BeforeDiscountPrice", unitPrice / 0.9,
           fromGrid.arg(QStringLiteral("Price before discount"), money(unitPrice / 0.9), width,
                        height));
    amount("PriceDiscountAmount", unitPrice / 9,
           QStringLiteral("Price before discount of $%1 * the price discount of 0.1")
               .arg(money(unitPrice / 0.9)));
    amount("AfterDiscountPrice", unitPrice,
           QStringLiteral("Base retail price of $%1 - price discount amount of $%2")
               .arg(money(unitPrice / 0.9), money(unitPrice / 9)));
    amount("PriceAdjustments", 0, QStringLiteral("Item price adjustments ''"));
    amount("RoundedPriceTotal", unitPrice,
           QStringLiteral("Price adjustments total of $%1 rounded to $%1 using settings(None)")
               .arg(money(unitPrice)));
    amount("ActualPrice", unitPrice, QString());
    amount("CustomerDiscountPrice", 0,
           QStringLiteral("Rounded price total of $%1 * customer discount of 0")
               .arg(money(unitPrice)));
    amount("ItemDiscountAmount", 0,
           QStringLiteral("Customer discount total of $%1 * item discount of 0")
               .arg(money(unitPrice)));
    amount("OriginalUnitPrice", unitPrice, QString());
    amount("UnitPrice", unitPrice, QString());
    xml += QStringLiteral("<PriceLines><PriceLine><Name>Base</Name><PLCode>BASE</PLCode><Value>") +
           money(unitPrice) + QStringLiteral("</Value></PriceLine></PriceLines>");
    return xml + QStringLiteral("</PriceCostData>");
}

QString changeText(const char *option, const char *from, const char *to)
{
    return QStringLiteral("<TextBlock>The value for option <Underline>%1</Underline> changed "
                          "from <Bold>%2</Bold> to <Bold>%3</Bold></TextBlock>")
        .arg(QLatin1String(option), QLatin1String(from), QLatin1String(to));
}

// An engine's lines after a bulk change touched every one: three change texts each, a new
// product and style, and a new price on most lines.
std::unique_ptr<LineStore> changedLines(int count, Shape shape)
{
    const QString changes[] = {changeText("Mount", "Inside", "Outside"),
                               changeText("Color", "White", "Ivory"),
                               changeText("Control Type", "Cordless", "Motorized")};
    auto lines = std::make_unique<LineStore>();
    for (int i = 0; i < count; ++i) {
        const double oldPrice = 144.48 + i % 50;
        lines->AddLine(
            qint16(i + 1), qint16(1 + i % 4), 1 + i % 4, QStringLiteral("Standard"), itemXml(i),
            priceCostXml(i, oldPrice, shape),
            QStringLiteral("{6f1c2a1e-4b7d-4c1e-9a53-%1}").arg(i, 12, 10, QLatin1Char('0')));
        LineRecord *record = lines->record(i);
        record->NewProductID = 2;
        record->NewStyle = QStringLiteral("Premium");
        record->NewPriceCostXML = priceCostXml(i, i % 10 ? oldPrice + 6.72 : oldPrice, shape);
        for (const QString &change : changes)
            lines->AppendChange(i, change);
    }
    return lines;
}

ReplaceReviewSource sourceOf(const LineStore &lines)
{
    return ReplaceReviewSource{&lines, [](const QString &) { return true; }, HostServices()};
}

// The grid as the review window sets it up.
std::unique_ptr<ReportGrid> reviewGrid(const ImageManager &icons)
{
    auto grid = std::make_unique<ReportGrid>();
    ApplyStandardGridStyle(*grid, false);
    grid->setIcons(&icons);
    const auto centred = Qt::AlignHCenter | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    grid->AddColumn({0, QString(), 22, false, left, left});
    grid->AddColumn({1, QStringLiteral("Line"), 40, false, centred, centred});
    grid->AddColumn({2, QStringLiteral("Qty"), 40, false, centred, centred});
    grid->AddColumn({3, QStringLiteral("Details"), 300, true, left, left});
    grid->AddColumn({4, QStringLiteral("Old Price"), 75, true, right, right});
    grid->AddColumn({5, QStringLiteral("New Price"), 75, true, right, right});
    grid->setStretchColumn(3);
    grid->setTreeColumn(3);
    return grid;
}

Shape shapeArg(const benchmark::State &state)
{
    return state.range(1) ? Shape::Calculated : Shape::Host;
}

// The reference host over its demo company in a temporary SQLite file: the review asks it for
// the product name of every line.
struct ReferenceHost
{
    ReferenceHost()
    {
        db = host::Database::open(
            host::ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("company.db"))),
            host::OpenMode::CreateIfMissing);
        host::SeedDemoCompany(*db);
        services = HostServices(host::CreateSharedCodeLibrary(db));
    }

    QTemporaryDir dir;
    std::shared_ptr<host::Database> db;
    HostServices services;
};

// The rows, as the grid shows them, made once outside the measure.
ReplaceReviewModel filledModel(int count)
{
    const auto lines = changedLines(count, Shape::Host);
    ReplaceReviewModel model;
    model.Fill(sourceOf(*lines));
    return model;
}

void BM_ReplaceReviewModelFill(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto lines = changedLines(count, shapeArg(state));
    const ReplaceReviewSource source = sourceOf(*lines);
    for (auto _ : state) {
        ReplaceReviewModel model;
        model.Fill(source);
        benchmark::DoNotOptimize(model.rows().data());
        state.PauseTiming(); // the rows are freed outside the measure
        model = ReplaceReviewModel();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// As above, with a host that answers: every row's product name is a late-bound call and a query.
void BM_ReplaceReviewModelFillWithHost(benchmark::State &state)
{
    const int count = int(state.range(0));
    const ReferenceHost host;
    const auto lines = changedLines(count, Shape::Host);
    ReplaceReviewSource source = sourceOf(*lines);
    source.host = host.services;
    if (source.host.GetProductNameFromID(2).isEmpty()) {
        state.SkipWithError("the reference host knows no product 2");
        return;
    }
    for (auto _ : state) {
        ReplaceReviewModel model;
        model.Fill(source);
        benchmark::DoNotOptimize(model.rows().data());
        state.PauseTiming();
        model = ReplaceReviewModel();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ReplaceReviewGridFill(benchmark::State &state)
{
    const int count = int(state.range(0));
    const ReplaceReviewModel model = filledModel(count);
    const ImageManager icons;
    for (auto _ : state) {
        state.PauseTiming(); // a fresh grid each time, as a window opens with one
        auto grid = reviewGrid(icons);
        state.ResumeTiming();
        FillReplaceReviewGrid(*grid, model, false);
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The second Populate the window runs after filling, when it applies "Show unaffected rows".
void BM_ReplaceReviewGridPopulate(benchmark::State &state)
{
    const int count = int(state.range(0));
    const ReplaceReviewModel model = filledModel(count);
    const ImageManager icons;
    const auto grid = reviewGrid(icons);
    FillReplaceReviewGrid(*grid, model, false);
    for (auto _ : state)
        grid->Populate();
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ReplaceReviewFillAndPaint(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto lines = changedLines(count, shapeArg(state));
    const ReplaceReviewSource source = sourceOf(*lines);
    const ImageManager icons;
    QImage image(1000, 700, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = reviewGrid(icons);
        grid->resize(image.size());
        // Shown, or render() skips the hidden view; never on a screen, so no window appears.
        grid->setAttribute(Qt::WA_DontShowOnScreen);
        grid->show();
        image.fill(Qt::magenta);
        state.ResumeTiming();
        ReplaceReviewModel model;
        model.Fill(source);
        FillReplaceReviewGrid(*grid, model, false);
        grid->render(&image);
        benchmark::DoNotOptimize(image.constBits());
        state.PauseTiming();
        // The paint must have covered the view, or it measured nothing.
        if (image.pixel(image.width() / 2, image.height() / 2) == QColor(Qt::magenta).rgb()) {
            state.SkipWithError("the grid painted no rows");
            break;
        }
        grid.reset();
        model = ReplaceReviewModel();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The item review's results window: the model over lines with one result each, the host's
// dimension converter registered, then both grids filled as the window fills them.
void BM_ReviewResultsFill(benchmark::State &state)
{
    const int count = int(state.range(0));
    const ReferenceHost reference;
    ClassRegistry::instance().registerClass(QString(), host::DimensionConverter::Clsid,
                                            &host::DimensionConverter::create);
    LineStore lines;
    const QString result =
        QStringLiteral("<TextBlock Foreground='Blue'>Notice: The room location has not been filled "
                       "in.</TextBlock>");
    for (int i = 0; i < count; ++i) {
        lines.AddLine(qint16(i + 1), qint16(1 + i % 4), 1 + i % 4, QStringLiteral("Standard"),
                      itemXml(i), priceCostXml(i, 144.48 + i % 50, Shape::Host),
                      QString::number(i));
        lines.AppendChange(i, result);
    }
    const ReviewResultsSource source{&lines, reference.services};
    // The grids as the window sets them up.
    ReviewResultsWindow window;
    ReportGrid &items = *window.findChild<ReportGrid *>(QStringLiteral("rptItems"));
    ReportGrid &summary = *window.findChild<ReportGrid *>(QStringLiteral("rptSummary"));
    for (auto _ : state) {
        ItemReviewResultsModel model;
        model.Fill(source);
        FillReviewItemsGrid(items, model, true);
        FillReviewSummaryGrid(summary, model);
        benchmark::DoNotOptimize(model.summary().data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The compare window over 1,000 lines with seven columns: the original and "A" to "F".
struct CompareFixture
{
    explicit CompareFixture(const benchmark::State &state)
    {
        for (int i = 0; i < int(state.range(0)); ++i)
            lines.AddLine(qint16(i + 1), qint16(1 + i % 4), 1 + i % 4, QStringLiteral("Standard"),
                          itemXml(i), priceCostXml(i, 144.48 + i % 50, shapeArg(state)),
                          QString::number(i));
        grid.setIcons(&icons);
        grid.setFootersVisible(true);
        tasks.setIcons(&icons);
    }
    std::unique_ptr<CompareModel> openModel() const
    {
        auto model = std::make_unique<CompareModel>(lines, reference.services);
        model->LoadOriginalColumn();
        while (model->AddColumn().added) {
        }
        return model;
    }
    // RefreshCompare: the grid's columns, every row with each cell's texts, the column
    // totals, and the task panel.
    void refresh(const CompareModel &model)
    {
        SetupCompareGridColumns(grid, model);
        FillCompareGrid(grid, model);
        tasks.SetGroups(model.UpdateTaskPanelContent());
    }
    bool complete() const
    {
        return grid.model()->recordCount() == lines.CountLines() &&
               grid.model()->columns().size() == 10u;
    }

    const ReferenceHost reference;
    LineStore lines;
    const ImageManager icons;
    ReportGrid grid;
    TaskPanel tasks;
};

// The rebuild every command that changes the model runs, after the window has opened: the
// cells' texts are kept by their documents, so only changed cells are read again.
void BM_CompareRefresh(benchmark::State &state)
{
    CompareFixture fixture(state);
    const auto model = fixture.openModel();
    fixture.refresh(*model); // the window's opening fill
    for (auto _ : state)
        fixture.refresh(*model);
    if (!fixture.complete())
        state.SkipWithError("the grid does not hold every line and column");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The first fill as the window opens: every line's documents read and every product name
// asked once.
void BM_CompareOpen(benchmark::State &state)
{
    CompareFixture fixture(state);
    for (auto _ : state) {
        state.PauseTiming();
        auto model = fixture.openModel();
        state.ResumeTiming();
        fixture.refresh(*model);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    if (!fixture.complete())
        state.SkipWithError("the grid does not hold every line and column");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Arguments: lines, then for the fills that read documents the price/cost shape (0 as a host
// writes it, 1 as the component's pricing leaves it).
BENCHMARK(BM_ReplaceReviewModelFill)
    ->ArgsProduct({{4096, 32767}, {0, 1}})
    ->ArgNames({"lines", "calculated"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ReplaceReviewModelFillWithHost)
    ->Arg(4096)
    ->Arg(32767)
    ->ArgName("lines")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ReplaceReviewGridFill)
    ->Arg(4096)
    ->Arg(32767)
    ->ArgName("lines")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ReplaceReviewGridPopulate)
    ->Arg(4096)
    ->Arg(32767)
    ->ArgName("lines")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ReplaceReviewFillAndPaint)
    ->ArgsProduct({{4096, 32767}, {0, 1}})
    ->ArgNames({"lines", "calculated"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK(BM_CompareRefresh)
    ->ArgsProduct({{1000}, {0, 1}})
    ->ArgNames({"lines", "calculated"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_CompareOpen)
    ->ArgsProduct({{1000}, {0, 1}})
    ->ArgNames({"lines", "calculated"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK(BM_ReviewResultsFill)
    ->Arg(4096)
    ->Arg(32767)
    ->ArgName("lines")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

// Widgets need an application object; offscreen so the benchmark runs without a display, and
// en_US so currency texts are the same everywhere.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
