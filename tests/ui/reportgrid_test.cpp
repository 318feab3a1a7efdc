#include "ui/imagemanager.h"
#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace zeltpc5;

namespace {

// A grid shaped like the review lists: icon, Line, Qty, Details, Price.
void addReviewColumns(ReportGrid &grid)
{
    grid.AddColumn({0, QString(), 22, false});
    grid.AddColumn({1, QStringLiteral("Line"), 40, false, Qt::AlignCenter, Qt::AlignCenter});
    grid.AddColumn({2, QStringLiteral("Qty"), 40, false, Qt::AlignCenter, Qt::AlignCenter});
    grid.AddColumn({3, QStringLiteral("Details"), 200});
    grid.AddColumn({4, QStringLiteral("Price"), 75, true, Qt::AlignRight | Qt::AlignVCenter,
                    Qt::AlignRight | Qt::AlignVCenter});
}

ReportRecord *addLine(ReportGrid &grid, int icon, int line, const QString &details,
                      const QString &price, const QStringList &changes = {})
{
    ReportRecord *r = grid.AddRecord();
    r->AddItem().setIcon(icon);
    r->AddItem(line);
    r->AddItem(1);
    r->AddItem(details);
    r->AddItem(price.toDouble()).setCaption(QLatin1Char('$') + price);
    for (const QString &change : changes) {
        ReportRecord *child = r->AddChild();
        child->AddItem();
        child->AddItem();
        child->AddItem();
        child->AddItem(change);
    }
    return r;
}

// The shown rows as short texts, children indented: easier to compare than cell by cell.
QStringList shownRows(const ReportModel &model, const QModelIndex &parent = {}, int depth = 0)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(parent); ++r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.index(r, c, parent).data().toString();
        rows << QString(depth * 2, QLatin1Char(' ')) + cells.join(QLatin1Char('|'));
        rows << shownRows(model, model.index(r, 0, parent), depth + 1);
    }
    return rows;
}

// Closes the next modal message box and keeps its text.
struct MessageWatch
{
    std::shared_ptr<QString> text = std::make_shared<QString>();
    MessageWatch()
    {
        QTimer::singleShot(0, [t = text] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                *t = box->text();
                box->accept();
            }
        });
    }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

TEST(ReportModel, showsRecordsChildrenAndHiddenRecordsAsTheyArePopulated)
{
    ReportGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    addReviewColumns(grid);
    addLine(grid, 100, 1, QStringLiteral("Roller Shade / Standard"), QStringLiteral("144.48"),
            {QStringLiteral("<TextBlock>The <Underline>price</Underline> changed</TextBlock>")});
    addLine(grid, 0, 2, QStringLiteral("Wood Blind / 2 Inch Slat"), QStringLiteral("90.00"))
        ->setVisible(false);
    addLine(grid, 101, 3, QStringLiteral("Cellular Shade / Single Cell"), QStringLiteral("12.50"));
    grid.Populate();

    // The markup child shows its plain text; the hidden record is not shown.
    EXPECT_EQ(shownRows(*grid.model()),
              QStringList({QStringLiteral("|1|1|Roller Shade / Standard|$144.48"),
                           QStringLiteral("  |||The price changed|"),
                           QStringLiteral("|3|1|Cellular Shade / Single Cell|$12.50")}));
    const QModelIndex details = grid.model()->index(0, 3);
    EXPECT_EQ(grid.model()->index(0, 3, details.siblingAtColumn(0)).data(ReportModel::MarkupRole),
              QVariant(QStringLiteral(
                  "<TextBlock>The <Underline>price</Underline> changed</TextBlock>")));
    EXPECT_EQ(grid.model()->index(0, 4).data(ReportModel::ValueRole).toDouble(), 144.48);
    EXPECT_EQ(grid.model()->index(0, 4).data(Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignCenter));
    // A hidden record has no index; showing it again brings it back in its place.
    EXPECT_FALSE(grid.model()->indexOf(grid.model()->record(1)).isValid());
    grid.model()->record(1)->setVisible(true);
    grid.Populate();
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->index(1, 1).data().toString(), QStringLiteral("2"));

    // Column geometry follows the columns: fixed ones cannot be resized.
    const QHeaderView *header = grid.view()->header();
    EXPECT_EQ(header->sectionSize(1), 40);
    EXPECT_EQ(header->sectionResizeMode(1), QHeaderView::Fixed);
    EXPECT_EQ(header->sectionResizeMode(3), QHeaderView::Interactive);
}

TEST(ReportModel, iconsColoursAndTooltipsReachTheView)
{
    ImageManager icons;
    ReportGrid grid;
    grid.setIcons(&icons);
    addReviewColumns(grid);
    ReportRecord *r = addLine(grid, 100, 1, QStringLiteral("x"), QStringLiteral("1"));
    r->item(4)->setForeground(QColor(0, 128, 0));
    r->item(3)->setBackground(QColor(150, 185, 233));
    r->item(3)->setTooltip(QStringLiteral("Mount: Inside"));
    addLine(grid, 0, 2, QStringLiteral("y"), QStringLiteral("2"));
    grid.Populate();

    const ReportModel &m = *grid.model();
    EXPECT_FALSE(m.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_TRUE(m.index(1, 0).data(Qt::DecorationRole).isNull()); // 0: no icon
    EXPECT_EQ(m.index(0, 0).data(ReportModel::IconNumberRole).toInt(), 100);
    EXPECT_EQ(m.index(0, 4).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 128, 0));
    EXPECT_EQ(m.index(0, 3).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(150, 185, 233));
    EXPECT_EQ(m.index(0, 3).data(Qt::ToolTipRole).toString(), QStringLiteral("Mount: Inside"));
    EXPECT_TRUE(m.index(1, 4).data(Qt::ForegroundRole).isNull());
}

TEST(ReportModel, groupsRecordsByAHiddenColumnInPriorityOrder)
{
    ReportGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ReportColumn group(0, QStringLiteral("Group"), 22, false);
    group.visible = false;
    grid.AddColumn(group);
    grid.AddColumn({1, QStringLiteral("Heading"), 200});
    grid.AddColumn({2, QStringLiteral("Details"), 70});
    grid.setGroupColumn(0);
    const auto row = [&](int number, const QString &name, const QString &heading,
                         const QString &value) {
        ReportRecord *r = grid.AddRecord();
        r->AddItem(name).setGroup(name, number);
        r->AddItem(heading);
        r->AddItem(value);
    };
    row(1, QStringLiteral("Products"), QStringLiteral("Number of vendors"), QStringLiteral("2"));
    row(0, QStringLiteral("Summary"), QStringLiteral("Total items"), QStringLiteral("12"));
    row(3, QStringLiteral("Dimensions"), QStringLiteral("Min/Max Width"),
        QStringLiteral("24 - 48"));
    row(0, QStringLiteral("Summary"), QStringLiteral("Product items"), QStringLiteral("11"));
    grid.Populate();

    EXPECT_EQ(shownRows(*grid.model()),
              QStringList({QStringLiteral("Summary|"), QStringLiteral("  Total items|12"),
                           QStringLiteral("  Product items|11"), QStringLiteral("Products|"),
                           QStringLiteral("  Number of vendors|2"), QStringLiteral("Dimensions|"),
                           QStringLiteral("  Min/Max Width|24 - 48")}));
    EXPECT_TRUE(grid.model()->index(0, 0).data(ReportModel::GroupRowRole).toBool());
    EXPECT_TRUE(grid.view()->isFirstColumnSpanned(0, QModelIndex()));
    EXPECT_TRUE(grid.view()->isExpanded(grid.model()->index(2, 0)));
}

TEST(ReportGrid, keepsExpansionSelectionOrderAndHitsWhatIsUnderThePointer)
{
    ReportGrid grid;
    addReviewColumns(grid);
    grid.setTreeColumn(3);
    ReportRecord *first =
        addLine(grid, 100, 1, QStringLiteral("a"), QStringLiteral("1"), {QStringLiteral("c1")});
    ReportRecord *second =
        addLine(grid, 100, 2, QStringLiteral("b"), QStringLiteral("2"), {QStringLiteral("c2")});
    ReportRecord *third = addLine(grid, 0, 3, QStringLiteral("c"), QStringLiteral("3"));
    first->setExpanded(true);
    grid.Populate();
    EXPECT_TRUE(grid.isExpanded(first));
    EXPECT_FALSE(grid.isExpanded(second));
    EXPECT_EQ(grid.view()->treePosition(), 3);

    // The user collapses the first row; a later Populate keeps it collapsed.
    grid.view()->collapse(grid.model()->indexOf(first));
    grid.setExpanded(second, true);
    grid.Populate();
    EXPECT_FALSE(grid.isExpanded(first));
    EXPECT_TRUE(grid.isExpanded(second));

    auto *selection = grid.view()->selectionModel();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(grid.model()->indexOf(third), flags);
    selection->select(grid.model()->indexOf(first), flags);
    selection->select(grid.model()->indexOf(second->child(0)), flags);
    QList<const ReportRecord *> order;
    for (const ReportRow &row : grid.SelectedRows())
        order << row.record;
    EXPECT_EQ(order, (QList<const ReportRecord *>{third, first, second->child(0)}));
    selection->select(grid.model()->indexOf(first),
                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    EXPECT_EQ(grid.SelectedRows().size(), 2);

    grid.resize(600, 300);
    grid.show();
    const QRect lineCell = grid.view()->visualRect(grid.model()->indexOf(third, 1));
    const ReportHit hit = grid.HitTest(lineCell.center());
    EXPECT_EQ(hit.record, third);
    ASSERT_NE(hit.column, nullptr);
    EXPECT_EQ(hit.column->caption, QStringLiteral("Line"));
    EXPECT_EQ(grid.HitTest(QPoint(5, 290)).record, nullptr);
}

TEST(ReportGrid, footersFollowTheirColumns)
{
    ReportGrid grid;
    addReviewColumns(grid);
    grid.setFootersVisible(true);
    grid.setFooter(4, QStringLiteral("$1,234.00"));
    EXPECT_EQ(grid.model()->headerData(4, Qt::Horizontal, ReportModel::FooterRole).toString(),
              QStringLiteral("$1,234.00"));
    auto *footer = grid.findChild<QWidget *>(QStringLiteral("footer"));
    ASSERT_NE(footer, nullptr);
    EXPECT_FALSE(footer->isHidden());
}

TEST(GridText, joinsVisibleColumnsWithTheLeadingEmptyRule)
{
    ReportGrid grid;
    addReviewColumns(grid);
    addLine(grid, 100, 1, QStringLiteral("Roller Shade / Standard"), QStringLiteral("144.48"),
            {QStringLiteral("<TextBlock>child rows are not saved</TextBlock>")});
    addLine(grid, 0, 2, QStringLiteral("Wood Blind"), QStringLiteral("90.00"))->setVisible(false);
    // First visible item empty, third empty: no leading tab, but a tab for the third.
    ReportRecord *gaps = grid.AddRecord();
    gaps->AddItem();
    gaps->AddItem();
    gaps->AddItem(QStringLiteral("q"));
    gaps->AddItem();
    gaps->AddItem(QStringLiteral("p"));
    // A record with nothing to show writes no line.
    grid.AddRecord()->AddItem();
    grid.Populate();

    EXPECT_EQ(GridTextLines(grid, QString(), true, false),
              QStringList({QStringLiteral("Line\tQty\tDetails\tPrice"),
                           QStringLiteral("1\t1\tRoller Shade / Standard\t$144.48"),
                           QStringLiteral("2\t1\tWood Blind\t$90.00"), // hidden, still saved
                           QStringLiteral("q\t\tp")}));
    EXPECT_EQ(GridTextLines(grid, QStringLiteral("Quote Q-1001"), false, false).first(),
              QStringLiteral("Quote Q-1001"));
}

TEST(GridText, selectedOnlyWritesSelectedRowsInOrderAndSkipsGroupRows)
{
    ReportGrid grid;
    ReportColumn group(0, QStringLiteral("Group"), 22, false);
    group.visible = false;
    grid.AddColumn(group);
    grid.AddColumn({1, QStringLiteral("Heading"), 200});
    grid.AddColumn({2, QStringLiteral("Details"), 70});
    grid.setGroupColumn(0);
    for (const auto &[name, heading, value] :
         {std::tuple{"Summary", "Total items", "3"}, std::tuple{"Products", "Vendors", "1"}}) {
        ReportRecord *r = grid.AddRecord();
        r->AddItem(QString::fromLatin1(name)).setGroup(QString::fromLatin1(name), 0);
        r->AddItem(QString::fromLatin1(heading));
        r->AddItem(QString::fromLatin1(value));
    }
    grid.Populate();
    const ReportModel &m = *grid.model();
    auto *selection = grid.view()->selectionModel();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    const QModelIndex products = m.index(0, 0); // "Products" sorts before "Summary" at one priority
    selection->select(m.index(0, 0, m.index(1, 0)), flags); // Total items
    selection->select(products, flags);                     // a group row
    selection->select(m.index(0, 0, products), flags);      // Vendors

    EXPECT_EQ(GridTextLines(grid, QString(), false, true),
              QStringList({QStringLiteral("Total items\t3"), QStringLiteral("Vendors\t1")}));
}

TEST(GridText, writesCrLfLinesWithoutAByteOrderMarkAndReplacesOnlyWhenComplete)
{
    ReportGrid grid;
    addReviewColumns(grid);
    addLine(grid, 100, 1, QStringLiteral("Roller Shade / Standard"), QStringLiteral("144.48"));
    addLine(grid, 101, 2, QStringLiteral("Café curtain"), QStringLiteral("20.00"));
    grid.Populate();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));

    EXPECT_TRUE(WriteGridText(path, grid, QString(), true, false));
    EXPECT_EQ(readFile(path), QByteArray("Line\tQty\tDetails\tPrice\r\n"
                                         "1\t1\tRoller Shade / Standard\t$144.48\r\n"
                                         "2\t1\tCaf\xc3\xa9 curtain\t$20.00\r\n"));

    // Saving over an existing file replaces it.
    grid.model()->record(1)->item(3)->setValue(QStringLiteral("Panel"));
    EXPECT_TRUE(WriteGridText(path, grid, QString(), false, false));
    EXPECT_EQ(readFile(path), QByteArray("1\t1\tRoller Shade / Standard\t$144.48\r\n"
                                         "2\t1\tPanel\t$20.00\r\n"));
}

// A save that cannot be completed says so and leaves the earlier file as it was: the list is
// written beside it and only renamed over it once everything is on disk.
TEST(GridText, aWriteThatFailsShowsTheMessageAndKeepsTheOldFile)
{
    ReportGrid grid;
    addReviewColumns(grid);
    for (int i = 1; i <= 200; ++i)
        addLine(grid, 100, i, QStringLiteral("Roller Shade / Standard"), QStringLiteral("1.00"));
    grid.Populate();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old list\r\n");
    }

    // A file size limit makes the write itself fail, whoever runs the test (root included).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    MessageWatch watch;
    const bool written = WriteGridText(path, grid, QString(), true, false);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(*watch.text, QStringLiteral("Unable to write the file. (1472)"));
    EXPECT_EQ(readFile(path), QByteArray("the old list\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});
}

TEST(GridText, aReadOnlyFolderShowsTheMessageAndKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; the size-limit case covers root";
    ReportGrid grid;
    addReviewColumns(grid);
    addLine(grid, 100, 1, QStringLiteral("x"), QStringLiteral("1"));
    grid.Populate();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    MessageWatch watch;
    EXPECT_FALSE(WriteGridText(path, grid, QString(), true, false));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(*watch.text, QStringLiteral("Unable to write the file. (1472)"));
    EXPECT_EQ(readFile(path), QByteArray("old"));
}

TEST(GridPrint, pagesCarryTheHeaderAndRenderMarkup)
{
    ReportGrid grid;
    addReviewColumns(grid);
    for (int i = 1; i <= 60; ++i)
        addLine(grid, 100, i, QStringLiteral("Roller Shade"), QStringLiteral("1.00"),
                {QStringLiteral("<TextBlock Foreground='Red'>Error: no price</TextBlock>")});
    grid.ExpandAll();
    grid.Populate();
    grid.setPrintHeader(QStringLiteral("Replace Review"));

    QImage page(794, 1123, QImage::Format_ARGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    int breaks = 0;
    const int pages = PaintGridPages(painter, page.rect(), grid, [&] { ++breaks; });
    painter.end();
    // 60 lines and 60 child rows do not fit one page.
    EXPECT_GT(pages, 1);
    EXPECT_EQ(breaks, pages - 1);
    bool red = false;
    for (int y = 0; y < page.height() && !red; ++y) {
        for (int x = 0; x < page.width() && !red; ++x) {
            const QColor c = page.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    }
    EXPECT_TRUE(red) << "the red error text was not rendered";
}

TEST(GridStyle, theStandardLookSelectsRowsInTenPointType)
{
    ReportGrid grid;
    ApplyStandardGridStyle(grid, false);
    EXPECT_EQ(grid.view()->font().pointSize(), 10);
    EXPECT_EQ(grid.view()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(grid.view()->header()->sectionsMovable());
    ApplyStandardGridStyle(grid, true);
    EXPECT_TRUE(grid.view()->header()->sectionsMovable());
}

TEST(ReportGrid, aGridWithoutColumnsPopulatesWithoutShowingAnything)
{
    ReportGrid grid;
    grid.setGroupColumn(0);
    grid.AddRecord()->AddItem(QStringLiteral("a")).setGroup(QStringLiteral("a"), 0);
    grid.Populate();
    EXPECT_EQ(grid.model()->columnCount(), 0);
    grid.setGroupColumn(-1);
    grid.Populate();
    EXPECT_EQ(grid.model()->columnCount(), 0);
}
