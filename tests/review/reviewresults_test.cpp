#include "review/reviewresultsmodel.h"
#include "review/reviewresultswindow.h"

#include "support/fakes.h"
#include "ui/reportgrid.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

QString item(const QList<std::pair<QString, QString>> &options)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options>");
    for (const auto &[name, value] : options)
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value></Option>").arg(name, value);
    return xml + QStringLiteral("</Options></ItemData>");
}

QString price(const QString &unitPrice)
{
    return QStringLiteral("<PriceCostData><UnitPrice>%1</UnitPrice></PriceCostData>")
        .arg(unitPrice);
}

// Products 1 and 2 come from vendor 7, product 40000 from vendor 8; product 5 has no name.
// The dimension converter reads plain numbers (and "1/2" as .5), anything else as 0.
struct Host
{
    FakeHost fake;
    Host()
    {
        fake.common
            ->on(QStringLiteral("GetProductNameFromID"),
                 [](VariantList &args) {
                     switch (ToInt32(args.value(0)).value_or(0)) {
                     case 1:
                         return Variant(QStringLiteral("Roller Shade"));
                     case 2:
                         return Variant(QStringLiteral("Wood Blind"));
                     case 40000:
                         return Variant(QStringLiteral("Panel Track"));
                     default:
                         return Variant(QString());
                     }
                 })
            .on(QStringLiteral("GetVendorIDFromProductID"),
                [](VariantList &args) {
                    return Variant(ToInt32(args.value(0)).value_or(0) == 40000
                                       ? QStringLiteral("8")
                                       : QStringLiteral("7"));
                })
            .on(QStringLiteral("GetVendorName"), [](VariantList &args) {
                return Variant(QStringLiteral("Vendor ") +
                               ToText(args.value(0)).value_or(QString()));
            });
        ClassRegistry::instance().registerClass(
            QString(), QUuid(QStringLiteral("{40DBD189-76D5-4731-B64D-F2ABF77CEC3F}")), [] {
                auto converter = ScriptedObject::create(QStringLiteral("DimensionConverter"));
                converter->on(QStringLiteral("ConvertDimension"), [](VariantList &args) {
                    QString text = ToText(args.value(0)).value_or(QString());
                    text.replace(QLatin1String(" 1/2"), QLatin1String(".5"));
                    return MakeSingle(text.toFloat());
                });
                return DispatchPtr(converter);
            });
    }
    HostServices services() const { return HostServices(fake.scl); }
};

std::vector<ReviewSummaryRow> fill(const LineStore &lines, const Host &host,
                                   ItemReviewResultsModel *model = nullptr)
{
    ItemReviewResultsModel local;
    ItemReviewResultsModel &m = model ? *model : local;
    m.Fill({&lines, host.services()});
    return m.summary();
}

QString summaryValue(const std::vector<ReviewSummaryRow> &rows, const QString &heading)
{
    for (const ReviewSummaryRow &r : rows) {
        if (r.heading == heading)
            return r.value;
    }
    return QStringLiteral("<no row>");
}

} // namespace

TEST(ItemReviewResultsModel, listsProductLinesAndCountsEveryLine)
{
    Host host;
    LineStore lines;
    lines.AddLine(1, 2, 1, QStringLiteral("Standard"),
                  item({{QStringLiteral("Width"), QStringLiteral("24")},
                        {QStringLiteral("Pattern"), QStringLiteral("Stripe")}}),
                  price(QStringLiteral("144.48")), QStringLiteral("a"));
    // An additional charge: counted, not listed, not in the unique counts or dimensions.
    lines.AddLine(2, 1, 0, QString(), item({{QStringLiteral("Width"), QStringLiteral("500")}}),
                  price(QStringLiteral("25")), QStringLiteral("b"));
    lines.AddLine(3, 1, 40000, QStringLiteral("3 Panel"),
                  item({{QStringLiteral("Overall Width"), QStringLiteral("48")},
                        {QStringLiteral("pattern"), QStringLiteral("Stripe")}}),
                  QString(), QStringLiteral("c"));
    lines.AddLine(4, 1, 5, QStringLiteral("x"),
                  item({{QStringLiteral("Width"), QStringLiteral("36 1/2")},
                        {QStringLiteral("Height"), QStringLiteral("60")},
                        {QStringLiteral("PATTERN"), QStringLiteral("Plain")}}),
                  price(QStringLiteral("not a number")), QStringLiteral("d"));
    lines.AppendChange(2,
                       QStringLiteral("<TextBlock Foreground='Red'>Error: no width</TextBlock>"));

    ItemReviewResultsModel model;
    const auto summary = fill(lines, host, &model);
    QStringList rows;
    for (const ReviewItemRow &r : model.rows()) {
        rows << QStringLiteral("%1|%2|%3|%4|%5|%6")
                    .arg(r.icon)
                    .arg(r.line)
                    .arg(r.quantity)
                    .arg(r.details, r.priceText)
                    .arg(r.results.size());
    }
    EXPECT_EQ(rows, QStringList({QStringLiteral("0|1|2|Roller Shade / Standard|$144.48|0"),
                                 QStringLiteral("100|3|1|Panel Track / 3 Panel|$0.00|1"),
                                 QStringLiteral("0|4|1|Service item|$0.00|0")}));
    EXPECT_TRUE(model.anyResults());

    std::vector<ReviewSummaryRow> expected{
        {0, QStringLiteral("Summary"), QStringLiteral("Total items"), QStringLiteral("4")},
        {0, QStringLiteral("Summary"), QStringLiteral("Product items"), QStringLiteral("3")},
        {0, QStringLiteral("Summary"), QStringLiteral("Additional charge items"),
         QStringLiteral("1")},
        {1, QStringLiteral("Products"), QStringLiteral("Number of unique products/styles"),
         QStringLiteral("3")},
        {1, QStringLiteral("Products"), QStringLiteral("Number of vendors"), QStringLiteral("2")},
        {2, QStringLiteral("Product Items"), QStringLiteral("Number of unique patterns"),
         QStringLiteral("2")},
        {3, QStringLiteral("Dimensions"), QStringLiteral("Min/Max Width"),
         QStringLiteral("24 - 48")},
        {3, QStringLiteral("Dimensions"), QStringLiteral("Min/Max Height"),
         QStringLiteral("60 - 60")},
    };
    EXPECT_EQ(summary, expected);
}

TEST(ItemReviewResultsModel, distinctValueTextsNameTheOnlyValue)
{
    Host host;
    LineStore lines;
    for (int i = 1; i <= 3; ++i)
        lines.AddLine(qint16(i), 1, 1, QStringLiteral("Standard"),
                      item({{QStringLiteral("Color"), QStringLiteral("White")}}), QString(),
                      QString::number(i));
    auto summary = fill(lines, host);
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Number of unique products/styles")),
              QStringLiteral("1 (Roller Shade / Standard)"));
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Number of vendors")),
              QStringLiteral("1 (Vendor 7)"));
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Number of unique colors")),
              QStringLiteral("1 (White)"));
    // No line has a pattern, width or height: those rows are left out.
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Number of unique patterns")),
              QStringLiteral("<no row>"));
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Min/Max Width")), QStringLiteral("<no row>"));

    lines.record(2)->OriginalStyle = QStringLiteral("Cordless");
    summary = fill(lines, host);
    EXPECT_EQ(summaryValue(summary, QStringLiteral("Number of unique products/styles")),
              QStringLiteral("2"));
}

TEST(ItemReviewResultsModel, noProductLinesLeaveTheUniqueCountsEmpty)
{
    Host host;
    LineStore lines;
    lines.AddLine(1, 1, 0, QString(), QString(), QString(), QStringLiteral("charge"));
    ItemReviewResultsModel model;
    const auto summary = fill(lines, host, &model);
    EXPECT_TRUE(model.rows().empty());
    EXPECT_FALSE(model.anyResults());
    ASSERT_EQ(summary.size(), 5u);
    EXPECT_EQ(summary[3].value, QString());
    EXPECT_EQ(summary[4].value, QString());
    EXPECT_EQ(summary[2].value, QStringLiteral("1"));
}

namespace {

struct OpenResults
{
    Host host;
    LineStore lines;
    ReviewResultsWindow window;

    explicit OpenResults(bool withResult)
    {
        lines.AddLine(1, 1, 1, QStringLiteral("Standard"), item({}), price(QStringLiteral("10")),
                      QStringLiteral("a"));
        lines.AddLine(2, 1, 2, QStringLiteral("2 Inch Slat"), item({}), price(QStringLiteral("20")),
                      QStringLiteral("b"));
        if (withResult)
            lines.AppendChange(1, QStringLiteral("<TextBlock Foreground='Blue'>Notice: "
                                                 "x</TextBlock>"));
        window.Initialize({&lines, host.services()});
        window.show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return grid()->model()->recordCount() == 2; }));
    }
    ReportGrid *grid() { return window.findChild<ReportGrid *>(QStringLiteral("rptItems")); }
    QCheckBox *showUnaffected()
    {
        return window.findChild<QCheckBox *>(QStringLiteral("chkShowUnaffected"));
    }
};

} // namespace

TEST(ReviewResultsWindow, showsBothPagesAndHidesLinesWithoutResults)
{
    OpenResults w(true);
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Item Review Results"));
    auto *tabs = w.window.findChild<QTabWidget *>(QStringLiteral("TabControl1"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Product Items"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Summary"));
    EXPECT_EQ(w.window.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->text(),
              QStringLiteral("Close"));
    for (const char *name : {"rptSummary", "cmdMore", "mnuMore"})
        EXPECT_NE(w.window.findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;

    // A line has a result: the box is cleared and only that line is shown.
    EXPECT_FALSE(w.showUnaffected()->isChecked());
    EXPECT_EQ(w.grid()->model()->rowCount(), 1);
    EXPECT_EQ(w.grid()->model()->index(0, 1).data().toString(), QStringLiteral("2"));
    w.showUnaffected()->setChecked(true);
    EXPECT_EQ(w.grid()->model()->rowCount(), 2);

    const ReportModel *summary =
        w.window.findChild<ReportGrid *>(QStringLiteral("rptSummary"))->model();
    QStringList groups;
    for (int r = 0; r < summary->rowCount(); ++r)
        groups << summary->index(r, 0).data().toString();
    EXPECT_EQ(groups, QStringList({QStringLiteral("Summary"), QStringLiteral("Products")}));
    w.window.reject();
}

TEST(ReviewResultsWindow, withoutResultsNothingIsHiddenAndCloseReturnsFalse)
{
    {
        OpenResults w(false);
        EXPECT_TRUE(w.showUnaffected()->isChecked());
        EXPECT_EQ(w.grid()->model()->rowCount(), 2);
        QTest::mouseClick(w.window.findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
        EXPECT_FALSE(w.window.isVisible());
        EXPECT_TRUE(w.window.Cancelled());
    }
    Host host;
    LineStore lines;
    QTimer::singleShot(0, [] {
        const bool open =
            QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; });
        if (QWidget *w = open ? QApplication::activeModalWidget() : nullptr)
            w->close(); // the close box
    });
    EXPECT_FALSE(ShowReviewResultsWindow({&lines, host.services()}, {}));
}
