#include "compare/comparecommands.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

struct Option
{
    QString name;
    QString value;
    int visible = -1;
};

QString item(const std::vector<Option> &options)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options>");
    for (const Option &o : options) {
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value><Visible>%3</Visible>"
                              "</Option>")
                   .arg(o.name, o.value)
                   .arg(o.visible);
    }
    return xml + QStringLiteral("</Options></ItemData>");
}

QString price(const QString &unitPrice)
{
    return QStringLiteral("<?xml version=\"1.0\"?><PriceCostData><UnitPrice>%1</UnitPrice>"
                          "</PriceCostData>")
        .arg(unitPrice);
}

// Product 1 is "Roller Shade", 2 a name full of markup and braces, anything else "Wood Blind".
struct NamingHost
{
    FakeHost fake;
    NamingHost()
    {
        fake.common->on(QStringLiteral("GetProductNameFromID"), [](VariantList &args) {
            switch (ToInt32(args.value(0)).value_or(0)) {
            case 1:
                return Variant(QStringLiteral("Roller Shade"));
            case 2:
                return Variant(QStringLiteral("Shade <Deluxe> & {1}"));
            default:
                return Variant(QStringLiteral("Wood Blind"));
            }
        });
    }
    HostServices services() const { return HostServices(fake.scl); }
};

// Three lines: quantities 2, 3 and 1; the last one's documents do not parse.
struct ThreeLines
{
    LineStore store;
    ThreeLines()
    {
        store.AddLine(1, 2, 1, QStringLiteral("Cordless"),
                      item({{QStringLiteral("Room Location"), QStringLiteral("Kitchen")},
                            {QStringLiteral("Width"), QStringLiteral("36")},
                            {QStringLiteral("Height"), QStringLiteral("48")}}),
                      price(QStringLiteral("19.99")), QStringLiteral("L1"));
        store.AddLine(2, 3, 3, QStringLiteral("2 Inch Slat"), item({}),
                      price(QStringLiteral("5.5")), QStringLiteral("L2"));
        store.AddLine(3, 1, 1, QStringLiteral("Standard"), QStringLiteral("<ItemData>"),
                      QStringLiteral("not a document"), QStringLiteral("L3"));
    }
};

// The model as the window opens it: the original column and "A".
CompareModel opened(const LineStore &store, const NamingHost &host)
{
    CompareModel model(store, host.services());
    model.LoadOriginalColumn();
    model.AddColumn();
    return model;
}

QString captions(const CompareModel &model)
{
    QStringList texts;
    for (const CompareGridColumn &c : model.SetupGridColumns())
        texts << QStringLiteral("%1:%2").arg(c.itemIndex).arg(c.caption);
    return texts.join(QLatin1Char('|'));
}

QString selection(const CompareModel &model)
{
    QStringList columns;
    for (const CompareColumn &column : model.Columns()) {
        QString marks;
        for (const CompareCell &cell : column.Cells)
            marks += QString(QLatin1Char(cell.Selected ? 'S' : '-')) +
                     QLatin1Char(cell.Chosen ? 'C' : '-');
        columns << marks;
    }
    return columns.join(QLatin1Char('|'));
}

QString panel(const CompareModel &model)
{
    QStringList groups;
    for (const TaskPanelGroup &g : model.UpdateTaskPanelContent()) {
        QStringList items;
        for (const TaskPanelItem &i : g.items) {
            items << (i.kind == TaskItemKind::Link
                          ? QStringLiteral("link %1 %2 (%3)").arg(i.id).arg(i.caption).arg(i.icon)
                          : QStringLiteral("text %1").arg(i.caption));
        }
        groups << QStringLiteral("%1 %2: %3")
                      .arg(g.id)
                      .arg(g.caption, items.join(QLatin1String("; ")));
    }
    return groups.join(QLatin1Char('\n'));
}

const QString GettingStarted = QStringLiteral(
    "1 Getting Started: text You have no cells selected. Select a cell to make changes or click "
    "Add a Column to compare other products.; link 101 Add a Column (302)");
const QString OneCellPerRow = QStringLiteral(
    "1 Commands: text To perform commands on selected cells, only select one cell per row.");

} // namespace

TEST(CompareModelOpening, showsOriginalAndSelectedCopyOfIt)
{
    NamingHost host;
    ThreeLines lines;
    const CompareModel model = opened(lines.store, host);

    EXPECT_EQ(captions(model), QStringLiteral("0:Line|1:Qty|2:Location|3:Original|4:A"));
    EXPECT_EQ(selection(model), QStringLiteral("-C-C-C|S-S-S-"));
    EXPECT_EQ(model.Columns()[1].Cells[1].UniqueID, QStringLiteral("L2"));
    EXPECT_EQ(model.Columns()[1].Cells[1].LineIndex, 0);
    EXPECT_EQ(model.Columns()[0].Cells[2].LineIndex, 2);

    const std::vector<CompareGridRow> rows = model.FillGrid();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].line, QStringLiteral("1"));
    EXPECT_EQ(rows[1].quantity, 3);
    EXPECT_EQ(rows[0].location, QStringLiteral("Kitchen\r\n36 x 48\r\n"));
    EXPECT_EQ(rows[2].location, QStringLiteral("No Location Specified\r\nNo Dimensions\r\n"));
    ASSERT_EQ(rows[0].cells.size(), 2u);
    EXPECT_EQ(rows[0].cells[0].text,
              QStringLiteral("<TextBlock><Bold>Roller Shade<LineBreak/>Cordless<LineBreak/>$19.99"
                             "</Bold></TextBlock>"));
    EXPECT_EQ(rows[0].cells[1].text,
              QStringLiteral("<TextBlock>Roller Shade<LineBreak/>Cordless<LineBreak/>$19.99"
                             "</TextBlock>"));
    EXPECT_EQ(rows[0].cells[1].selected, true);
    EXPECT_EQ(rows[0].cells[0].selected, false);
    // A line whose documents do not parse still shows its name, style and a zero price.
    EXPECT_EQ(rows[2].cells[0].text,
              QStringLiteral("<TextBlock><Bold>Roller Shade<LineBreak/>Standard<LineBreak/>$0.00"
                             "</Bold></TextBlock>"));
    EXPECT_EQ(rows[2].cells[0].tooltip, QStringLiteral("Roller Shade\r\nStandard\r\n"));
}

TEST(CompareModelOpening, refusesAnEighthColumnAndKeepsEverything)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(model.AddColumn().added, true);
    EXPECT_EQ(captions(model), QStringLiteral("0:Line|1:Qty|2:Location|3:Original|4:A|5:B|6:C|7:D|"
                                              "8:E|9:F"));
    model.Columns()[3].Cells[0].Style = QStringLiteral("Changed in C");
    const QString before = selection(model);

    const AddColumnResult refused = model.AddColumn();

    EXPECT_EQ(refused.added, false);
    EXPECT_EQ(refused.message, QStringLiteral("You cannot add any more columns."));
    EXPECT_EQ(model.Columns().size(), 7u);
    EXPECT_EQ(selection(model), before);
    // Each new column copies the one before it, edits included.
    EXPECT_EQ(model.Columns()[6].Cells[0].Style, QStringLiteral("Cordless"));
    EXPECT_EQ(model.Columns()[3].Cells[0].Style, QStringLiteral("Changed in C"));
}

TEST(CompareModelOpening, withoutLinesKeepsTheOriginalColumn)
{
    NamingHost host;
    LineStore empty;
    const CompareModel model = opened(empty, host);
    EXPECT_EQ(captions(model), QStringLiteral("0:Line|1:Qty|2:Location|3:Original|4:A"));
    EXPECT_EQ(model.FillGrid().size(), 0u);
}

TEST(CompareModelSelection, originalCellsCannotBeToggled)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    model.ClearCellSelection();

    model.ToggleCellSelection(0, 1);
    model.ToggleCellSelection(1, 7); // past the last line
    model.ToggleCellSelection(9, 0); // past the last column

    EXPECT_EQ(model.AnyCellSelected(), false);
    EXPECT_EQ(model.FirstSelectedCell().row, -1);
    EXPECT_EQ(panel(model), GettingStarted);
}

TEST(CompareModelSelection, taskPanelFollowsTheSelection)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    model.AddColumn(); // Original, A, B
    model.ClearCellSelection();

    model.ToggleCellSelection(2, 1);
    EXPECT_EQ(model.FirstSelectedCell().row, 1);
    EXPECT_EQ(model.FirstSelectedCell().column, 2);
    EXPECT_EQ(
        panel(model),
        QStringLiteral("1 Commands: text Choose a command to perform on the selected cells.; "
                       "link 204 Replace the Product, Style and Options (202); link 201 "
                       "Replace the Product (200); link 202 Replace the Style (201); link 203 "
                       "Edit Item (202); link 205 Choose selected cells (201)\n"
                       "2 Other Commands: link 101 Add another Column (302); link 105 Select "
                       "this Column (301); link 104 Remove selected Column (303)"));

    model.ToggleCellSelection(2, 0);
    EXPECT_EQ(model.CountSelectedCells(), 2);
    EXPECT_EQ(
        panel(model),
        QStringLiteral("1 Commands: text Choose a command to perform on the selected cells.; "
                       "link 204 Replace the Product, Style and Options (202); link 201 "
                       "Replace the Product (200); link 202 Replace the Style (201); link 205 "
                       "Choose selected cells (201)\n"
                       "2 Other Commands: link 101 Add another Column (302); link 104 Remove "
                       "selected Column (303)"));

    // Two cells in one row: only the hint, no commands.
    model.ToggleCellSelection(1, 0);
    EXPECT_EQ(model.RowHasTwoSelectedCells(), true);
    EXPECT_EQ(panel(model), OneCellPerRow);

    model.ToggleCellSelection(2, 0);
    EXPECT_EQ(model.RowHasTwoSelectedCells(), false);
    EXPECT_EQ(model.FirstSelectedCell().column, 1);
}

TEST(CompareModelSelection, countRemovableColumns)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);

    // Original and A: removing A would leave no alternative, so no remove link.
    EXPECT_EQ(model.CountRemovableColumns(), 0);
    EXPECT_EQ(panel(model).contains(QLatin1String("Remove")), false);

    model.AddColumn();
    model.AddColumn(); // Original, A, B, C with C selected
    EXPECT_EQ(model.CountRemovableColumns(), 1);
    model.ToggleCellSelection(3, 0);
    model.ToggleCellSelection(2, 0); // B and C, one cell per row
    EXPECT_EQ(model.CountRemovableColumns(), 2);
    EXPECT_EQ(panel(model).contains(QLatin1String("link 104 Remove selected Columns (303)")), true);
    model.ToggleCellSelection(3, 1);
    model.ToggleCellSelection(1, 1); // every alternative holds a selected cell
    EXPECT_EQ(model.CountRemovableColumns(), 0);
}

TEST(CompareModelSelection, shouldNeverCountTheOriginalColumnAsRemovable)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    model.AddColumn(); // Original, A, B

    model.SelectColumn(0);
    EXPECT_EQ(model.CountRemovableColumns(), 0);
    EXPECT_EQ(panel(model).contains(QLatin1String("Remove")), false);

    model.ToggleCellSelection(2, 1);
    EXPECT_EQ(model.CountRemovableColumns(), 1);
    model.SelectColumn(5); // no such column: nothing stays selected
    EXPECT_EQ(model.CountSelectedCells(), 0);
}

TEST(CompareModelTexts, dimensionTexts)
{
    EXPECT_EQ(GetDimensionText(item({{QStringLiteral("Overall Width"), QStringLiteral("70")},
                                     {QStringLiteral("Left Blind"), QStringLiteral("30")},
                                     {QStringLiteral("Right Blind"), QStringLiteral("40")},
                                     {QStringLiteral("Height"), QStringLiteral("60")}})),
              QStringLiteral("30,40 x 60"));
    EXPECT_EQ(GetDimensionText(item({{QStringLiteral("Width"), QStringLiteral("36")},
                                     {QStringLiteral("Length"), QStringLiteral("48")}})),
              QStringLiteral("36 x 48"));
    EXPECT_EQ(GetDimensionText(item({{QStringLiteral("overall width"), QStringLiteral("1")},
                                     {QStringLiteral("Left Shade"), QStringLiteral("20 1/2")},
                                     {QStringLiteral("Center Panel"), QStringLiteral("25")},
                                     {QStringLiteral("Right Panel"), QStringLiteral("22")},
                                     {QStringLiteral("Height"), QStringLiteral("50")}})),
              QStringLiteral("20 1/2,25,22 x 50"));
    // Missing parts give no text at all.
    EXPECT_EQ(GetDimensionText(item({{QStringLiteral("Width"), QStringLiteral("36")}})), QString());
    EXPECT_EQ(GetDimensionText(QStringLiteral("<ItemData>")), QString());

    EXPECT_EQ(GetRoomLocation(item({{QStringLiteral("ROOM LOCATION"), QStringLiteral("Den")}})),
              QStringLiteral("Den"));
    EXPECT_EQ(GetRoomLocation(QString()), QString());
}

TEST(CompareModelTexts, detailsListVisibleOptionsOfTheFirstSeventeen)
{
    NamingHost host;
    LineStore empty;
    const CompareModel model(empty, host.services());
    std::vector<Option> options;
    for (int i = 1; i <= 20; ++i)
        options.push_back(
            {QStringLiteral("O%1").arg(i), QStringLiteral("v%1").arg(i), i == 2 ? 0 : -1});
    options[2].value.clear(); // O3 has no value

    QString expected = QStringLiteral("Roller Shade\r\nCordless\r\n\r\nO1 / v1");
    for (int i = 4; i <= 17; ++i)
        expected += QStringLiteral("\r\nO%1 / v%1").arg(i);
    EXPECT_EQ(model.BuildCellDetails(1, QStringLiteral("Cordless"), item(options)),
              expected + QStringLiteral("\r\n. . ."));
}

TEST(CompareModelTexts, userTextIsEscapedInCellMarkup)
{
    NamingHost host;
    LineStore empty;
    const CompareModel model(empty, host.services());

    EXPECT_EQ(model.BuildCellText(2, QStringLiteral("A<B"), Currency::fromScaled(12345), false),
              QStringLiteral("<TextBlock>Shade &lt;Deluxe&gt; &amp; {1}<LineBreak/>A&lt;B"
                             "<LineBreak/>$1.23</TextBlock>"));
    // The tooltip is plain text: names stay as they are, braces included.
    EXPECT_EQ(model.BuildCellDetails(2, QStringLiteral("{0}"), QString()),
              QStringLiteral("Shade <Deluxe> & {1}\r\n{0}\r\n"));
}

TEST(CompareModelTotals, footersSumQuantityTimesUnitPrice)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    model.Columns()[1].Cells[1].PriceCostXML = price(QStringLiteral("7.25"));
    model.Columns()[1].Cells[2].PriceCostXML = price(QStringLiteral("-1.1"));

    const std::vector<CompareColumnTotal> totals = model.ShowColumnTotals();

    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[0].itemIndex, 3);
    EXPECT_EQ(totals[0].total->scaled(), 564800); // 2 x 19.99 + 3 x 5.5 + 1 x 0
    EXPECT_EQ(totals[0].text, QStringLiteral("$56.48"));
    EXPECT_EQ(totals[1].itemIndex, 4);
    EXPECT_EQ(totals[1].text, QStringLiteral("$60.63")); // 39.98 + 21.75 - 1.10
}

// The grid's texts are kept between rebuilds; a cell whose product, style or documents
// changed in any way must show the change, and the host is asked for each name once.
TEST(CompareModelTexts, keptTextsFollowEveryChangeOfACell)
{
    NamingHost host;
    int nameCalls = 0;
    host.fake.common->on(QStringLiteral("GetProductNameFromID"), [&](VariantList &args) {
        ++nameCalls;
        return Variant(ToInt32(args.value(0)).value_or(0) == 1 ? QStringLiteral("Roller Shade")
                                                               : QStringLiteral("Wood Blind"));
    });
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    EXPECT_TRUE(model.FillGrid()[0].cells[1].text.contains(u"Cordless"));
    EXPECT_EQ(nameCalls, 2);

    // Changed in place: a text shared with the kept entry is copied before it changes.
    CompareCell &cell = model.Columns()[1].Cells[0];
    cell.Style[0] = QLatin1Char('X');
    cell.PriceCostXML.replace(QStringLiteral("19.99"), QStringLiteral("18.50"));
    cell.ProductID = 3;
    std::vector<CompareGridRow> rows = model.FillGrid();
    EXPECT_EQ(rows[0].cells[1].text,
              "<TextBlock>Wood Blind<LineBreak/>Xordless<LineBreak/>$18.50</TextBlock>");
    EXPECT_TRUE(rows[0].cells[1].tooltip.startsWith(u"Wood Blind\r\nXordless"));
    EXPECT_EQ(rows[0].cells[0].text,
              "<TextBlock><Bold>Roller Shade<LineBreak/>Cordless<LineBreak/>$19.99</Bold>"
              "</TextBlock>");
    EXPECT_EQ(model.ShowColumnTotals()[1].text, "$53.50"); // 2 x 18.50 + 3 x 5.5

    // Changed back by assignment, and an item that no longer parses.
    cell.Style = QStringLiteral("Cordless");
    model.Columns()[1].Cells[1].ItemXML = QStringLiteral("<ItemData>");
    rows = model.FillGrid();
    EXPECT_TRUE(rows[0].cells[1].text.contains(u"Cordless"));
    EXPECT_EQ(rows[1].cells[1].tooltip, "Wood Blind\r\n2 Inch Slat\r\n");
    EXPECT_EQ(rows[1].location, "No Location Specified\r\nNo Dimensions\r\n");
    EXPECT_EQ(nameCalls, 2);
}

TEST(CompareModelTotals, shouldLeaveFooterEmptyWhenTheTotalOverflows)
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model = opened(lines.store, host);
    model.Columns()[1].Cells[0].PriceCostXML = price(QStringLiteral("900000000000000"));

    const std::vector<CompareColumnTotal> totals = model.ShowColumnTotals();

    EXPECT_EQ(totals[0].text, QStringLiteral("$56.48"));
    EXPECT_EQ(totals[1].total.has_value(), false);
    EXPECT_EQ(totals[1].text, QString());
}

namespace {

// The model opened over the three lines with "B" added: Original, A, B; B selected.
struct ThreeColumns
{
    NamingHost host;
    ThreeLines lines;
    CompareModel model{lines.store, host.services()};
    CompareCommands commands{model, {host.services(), DispatchPtr()}};
    ThreeColumns()
    {
        model.LoadOriginalColumn();
        model.AddColumn();
        model.AddColumn();
    }
    CompareCell &cell(int column, int row)
    {
        return model.Columns()[size_t(column)].Cells[size_t(row)];
    }
};

} // namespace

TEST(CompareCommandsChoosing, configurationColumnAndSelectedCells)
{
    ThreeColumns c;
    // Choose this Configuration on line 1 of "A" (item index 4).
    EXPECT_EQ(selection(c.model), "-C-C-C|------|S-S-S-");
    EXPECT_EQ(c.commands.ChooseConfiguration(1, 4), CompareRebuild::Rows);
    EXPECT_EQ(selection(c.model), "-C---C|---C--|S-S-S-");
    // A hit outside the compare columns leaves the line with no chosen cell.
    c.commands.ChooseConfiguration(1, 2);
    EXPECT_EQ(selection(c.model), "-C---C|------|S-S-S-");

    // Choose this Column on "B": every line's "B" cell, nothing else.
    EXPECT_EQ(c.commands.ChooseColumn(5), CompareRebuild::Rows);
    EXPECT_EQ(selection(c.model), "------|------|SCSCSC");
    // Outside the columns nothing is unchosen.
    EXPECT_EQ(c.commands.ChooseColumn(9), CompareRebuild::Nothing);
    EXPECT_EQ(selection(c.model), "------|------|SCSCSC");

    // Choose selected cells: only line 0 of "A" selected, so lines 1 and 2 end with no choice.
    c.model.ClearCellSelection();
    c.model.ToggleCellSelection(1, 0);
    c.commands.ChooseSelectedCells();
    EXPECT_EQ(selection(c.model), "------|SC----|------");
}

TEST(CompareCommandsChoosing, applyWritesEveryChosenCellLaterColumnsLast)
{
    ThreeColumns c;
    c.cell(1, 0).Style = QStringLiteral("From A");
    c.cell(2, 0).Style = QStringLiteral("From B");
    c.cell(2, 0).ProductID = 7;
    c.cell(1, 0).Chosen = true; // a second mark on line 0: "B" is written after "A"
    c.cell(2, 0).Chosen = true;
    c.cell(0, 2).Chosen = false; // line 2: no chosen cell, nothing written
    QStringList written;
    c.commands.Apply([&](qint16 index, const QString &field, const QString &value) {
        written << QStringLiteral("%1 %2=%3").arg(index).arg(field, value.left(12));
    });
    EXPECT_EQ(written.join(QLatin1Char('\n')).toStdString(),
              "0 newproductid=1\n0 newstyle=Cordless\n0 newitemxml=<?xml versio\n"
              "0 newpricecostxml=<?xml versio\n"
              "0 newproductid=1\n0 newstyle=From A\n0 newitemxml=<?xml versio\n"
              "0 newpricecostxml=<?xml versio\n"
              "0 newproductid=7\n0 newstyle=From B\n0 newitemxml=<?xml versio\n"
              "0 newpricecostxml=<?xml versio\n"
              "1 newproductid=3\n1 newstyle=2 Inch Slat\n1 newitemxml=<?xml versio\n"
              "1 newpricecostxml=<?xml versio");
}

TEST(CompareCommandsRemoving, chosenMarksPassToTheColumnBeforeAndTheOriginalStays)
{
    ThreeColumns c;
    // "A" holds line 1's choice and is selected; "B" is not.
    c.commands.ChooseConfiguration(1, 4);
    c.model.SelectColumn(1);
    c.cell(2, 0).Style = QStringLiteral("Kept B");
    ASSERT_EQ(c.model.CountRemovableColumns(), 1);
    EXPECT_EQ(c.commands.RemoveSelectedColumns(true), CompareRebuild::Grid);
    ASSERT_EQ(c.model.Columns().size(), 2u);
    // The mark went to "Original"; "B" moved up to "A" with its item index; nothing selected.
    EXPECT_EQ(selection(c.model), "-C-C-C|------");
    EXPECT_EQ(c.model.Columns()[1].ReportColumnIndex, 4);
    EXPECT_EQ(c.cell(1, 0).Style, "Kept B");

    // With two columns nothing is removable, and the checked command does nothing.
    c.model.SelectColumn(1);
    EXPECT_EQ(c.model.CountRemovableColumns(), 0);
    EXPECT_EQ(c.commands.RemoveSelectedColumns(true), CompareRebuild::Nothing);
    EXPECT_EQ(c.model.Columns().size(), 2u);
}

TEST(CompareCommandsRemoving, shouldKeepTheOriginalColumnWhenItsCellsAreSelected)
{
    ThreeColumns c;
    c.model.SelectColumn(0); // "Select Column" on the original selects its cells
    c.model.ToggleCellSelection(1, 2);
    EXPECT_EQ(c.commands.RemoveSelectedColumns(false), CompareRebuild::Grid);
    ASSERT_EQ(c.model.Columns().size(), 2u);
    // Still the lines as handed in, under "Original".
    EXPECT_EQ(c.cell(0, 0).UniqueID, "L1");
    EXPECT_EQ(c.cell(0, 0).LineIndex, 0);
    EXPECT_EQ(c.cell(0, 2).LineIndex, 2);
    EXPECT_TRUE(c.cell(0, 1).Chosen);
    EXPECT_EQ(captions(c.model), "0:Line|1:Qty|2:Location|3:Original|4:A");
}

TEST(CompareCommandsTemplates, onlyTransferableOptionsPassWithoutTrailingSeparator)
{
    const QString edited = item({{QStringLiteral("Colour"), QStringLiteral("Snow")},
                                 {QStringLiteral("Width"), QStringLiteral("36")},
                                 {QStringLiteral("Mount"), QStringLiteral("Inside")}});
    OptionLists lists = TransferableOptions(edited);
    EXPECT_EQ(lists.names, "Colour");
    EXPECT_EQ(lists.values, "Snow");

    // Dimensions by flag, the other kept names in any case; an empty value still counts.
    const QString more = QStringLiteral(
        "<ItemData><Options>"
        "<Option><Name>Left Blind</Name><Value>30</Value><IsDimension>1</IsDimension></Option>"
        "<Option><Name>ROOM LOCATION</Name><Value>Den</Value></Option>"
        "<Option><Name>Remarks</Name><Value>x</Value></Option>"
        "<Option><Name>Fabric</Name><Value>Linen</Value></Option>"
        "<Option><Name>Valance</Name><Value></Value></Option>"
        "</Options></ItemData>");
    lists = TransferableOptions(more);
    EXPECT_EQ(lists.names, "Fabric|Valance");
    EXPECT_EQ(lists.values, "Linen|");

    lists = TransferableOptions(QStringLiteral("<ItemData><Options>"));
    EXPECT_TRUE(lists.names.isEmpty());
    EXPECT_TRUE(lists.values.isEmpty());
    // Another root is not an item.
    EXPECT_TRUE(TransferableOptions(QStringLiteral("<Other><ItemData><Options><Option><Name>A"
                                                   "</Name></Option></Options></ItemData></Other>"))
                    .names.isEmpty());
}

TEST(CompareCommandsDialogs, editItemChangesTheFirstSelectedCellOnlyOnOk)
{
    ThreeColumns c;
    bool confirm = false;
    qint32 modeSeen = -1;
    c.host.fake.scl->on(QStringLiteral("ShowEditProductItem"), [&](VariantList &args) {
        modeSeen = ToInt32(args.value(5)).value_or(-1);
        if (!confirm)
            return MakeBool(false);
        args[1] = QStringLiteral("Edited");
        args[2] = item({{QStringLiteral("Colour"), QStringLiteral("Red")}});
        return MakeBool(true);
    });
    const std::vector<CompareColumn> before = c.model.Columns();
    EXPECT_EQ(c.commands.EditItem(), CompareRebuild::Nothing);
    EXPECT_EQ(modeSeen, 0);
    EXPECT_EQ(c.cell(2, 0).Style, before[2].Cells[0].Style);

    confirm = true;
    EXPECT_EQ(c.commands.EditItem(), CompareRebuild::Grid);
    EXPECT_EQ(c.cell(2, 0).Style, "Edited");
    EXPECT_TRUE(c.cell(2, 0).ItemXML.contains(u"Red"));
    EXPECT_EQ(c.cell(2, 1).Style, before[2].Cells[1].Style);
    EXPECT_EQ(c.cell(1, 0).Style, before[1].Cells[0].Style);

    // Nothing selected: no dialog at all.
    c.model.ClearCellSelection();
    modeSeen = -1;
    EXPECT_EQ(c.commands.EditItem(), CompareRebuild::Nothing);
    EXPECT_EQ(c.commands.ReplaceProductOrStyle(false), CompareRebuild::Nothing);
    EXPECT_EQ(c.commands.ReplaceProductStyleAndOptions(), CompareRebuild::Nothing);
    EXPECT_EQ(modeSeen, -1);
}
