// The compare tool end to end over the demo quote Q-1001: the engine shows the compare
// window offscreen, the host's item dialogs are scripted, the bulk change runs and its review
// are real, and every window is answered as a user would answer it.
#include "modalanswers.h"
#include "referencehost.h"

#include "compare/comparewindow.h"
#include "engine/engines.h"
#include "pricing/pricecostfields.h"
#include "ui/reportgrid.h"
#include "ui/taskpanel.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

// The progress windows of the change runs close by themselves.
const QStringList ProgressWindows{QStringLiteral("frmChangeProductStyle"),
                                  QStringLiteral("frmChangeProductStyleAndOptions")};

struct CompareSession
{
    std::shared_ptr<ScriptedItemDialogs> dialogs = std::make_shared<ScriptedItemDialogs>();
    ReferenceHost reference;
    Ref<Library> library = Library::create();
    Ref<CompareEngine> engine;
    std::vector<host::QuoteLine> lines;
    ModalAnswers answers{ProgressWindows};

    // The first `count` lines of the demo quote.
    CompareSession(int count, Backend backend) : reference(backend, dialogs)
    {
        // Keeps the demo's fuel surcharge in force on any day the test runs.
        reference.database().execute(
            QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
            {ReferenceHost::DateFromToday(400)});
        library->Initialize(reference.sharedCodeLibrary());
        engine = library->CreateCompareEngine();
        lines = reference.quoteLines(QStringLiteral("Q-1001"));
        lines.resize(size_t(count));
        AddLines(DispatchPtr(engine), lines);
    }

    // Runs the compare window, handing it to the script once it has filled; the script ends
    // it with OK or Cancel.
    bool show(std::function<void(CompareWindow &)> script)
    {
        answers.act(QStringLiteral("frmProductCompare"),
                    [script](QDialog &dialog) { script(static_cast<CompareWindow &>(dialog)); });
        const CallResult result = Call(DispatchPtr(engine), u"ShowProductCompare");
        EXPECT_TRUE(result.ok());
        EXPECT_TRUE(answers.allAnswered());
        EXPECT_EQ(answers.unanswered(), QStringList());
        return ToBool(result.value).value_or(false);
    }

    void expectNewEqualsOriginal() const
    {
        for (int i = 0; i < engine->lines().CountLines(); ++i) {
            const LineRecord &line = *engine->lines().record(i);
            EXPECT_EQ(line.NewProductID, line.OriginalProductID) << i;
            EXPECT_EQ(line.NewStyle, line.OriginalStyle) << i;
            EXPECT_EQ(line.NewItemXML, line.OriginalItemXML) << i;
            EXPECT_EQ(line.NewPriceCostXML, line.OriginalPriceCostXML) << i;
            EXPECT_EQ(
                ToInt16(Call(DispatchPtr(engine), u"CountChanges", {MakeInt16(qint16(i))}).value),
                0)
                << i;
        }
    }
};

void Click(CompareWindow &window, const char *button)
{
    window.findChild<QPushButton *>(QString::fromLatin1(button))->click();
}

CompareCell &Cell(CompareWindow &window, int column, int row)
{
    return window.model().Columns()[size_t(column)].Cells[size_t(row)];
}

// Two cells of "A" (item index 4) selected with the toggle button pressed in.
void SelectInA(CompareWindow &window, std::initializer_list<int> rows)
{
    window.model().ClearCellSelection();
    auto *toggle = window.findChild<QPushButton *>(QStringLiteral("cmdSelectOnClick"));
    toggle->setChecked(true);
    for (int row : rows)
        window.PressCell(row, 4, Qt::LeftButton);
    toggle->setChecked(false);
}

} // namespace

class ProductCompare : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, ProductCompare, AllBackends(), BackendName);

TEST_P(ProductCompare, opensWithOriginalAndSelectedAAndOkUntouchedKeepsEveryLine)
{
    CompareSession session(3, GetParam());
    const bool ok = session.show([](CompareWindow &window) {
        const CompareModel &model = window.model();
        EXPECT_EQ(window.windowTitle(), "Product Compare");
        ASSERT_EQ(model.Columns().size(), 2u);
        EXPECT_EQ(window.grid()->model()->recordCount(), 3);
        EXPECT_EQ(model.CountSelectedCells(), 3);
        EXPECT_EQ(model.FirstSelectedCell().column, 1);
        // The original cells are the chosen, bold ones.
        const ReportItem *original = window.grid()->model()->record(0)->item(3);
        EXPECT_TRUE(original->caption().startsWith(u"<TextBlock><Bold>Roller Shade"));
        EXPECT_TRUE(window.grid()->model()->record(0)->item(4)->caption().startsWith(
            u"<TextBlock>Roller Shade"));
        EXPECT_EQ(window.taskPanel()->groupCaptions(),
                  QStringList({QStringLiteral("Commands"), QStringLiteral("Other Commands")}));
        Click(window, "cmdOK");
    });
    EXPECT_TRUE(ok);
    session.expectNewEqualsOriginal();
}

TEST_P(ProductCompare, cancelAfterChoosingAlternativesChangesNoLine)
{
    CompareSession session(3, GetParam());
    session.dialogs->editProductItem = [](qint32 &, QString &style, QString &, QString &, qint32) {
        style = QStringLiteral("Cordless");
        return true;
    };
    const bool ok = session.show([](CompareWindow &window) {
        window.RunTaskCommand(101); // "B"
        SelectInA(window, {0});
        window.RunTaskCommand(203); // Edit Item
        EXPECT_EQ(Cell(window, 1, 0).Style, "Cordless");
        window.RunTaskCommand(205); // Choose selected cells
        EXPECT_TRUE(Cell(window, 1, 0).Chosen);
        EXPECT_FALSE(Cell(window, 0, 0).Chosen);
        Click(window, "cmdCancel");
    });
    EXPECT_FALSE(ok);
    session.expectNewEqualsOriginal();
}

TEST_P(ProductCompare, replaceStyleMovesLinesOfOtherProductsToTheFirstCellsProduct)
{
    // Line 1 is a Roller Shade, line 4 a Wood Blind.
    CompareSession session(4, GetParam());
    session.dialogs->selectProductStyle = [](qint32 &vendor, qint32 &product, QString &style,
                                             bool styleOnly) {
        EXPECT_TRUE(styleOnly);
        EXPECT_EQ(vendor, 1);
        EXPECT_EQ(product, 1);
        style = QStringLiteral("Motorized");
        return true;
    };
    session.answers.click(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdOK"));
    std::vector<CompareColumn> after;
    const bool ok = session.show([&](CompareWindow &window) {
        SelectInA(window, {0, 3});
        // Right-click on a selected "A" cell keeps the selection and offers "One Item".
        QMenu *menu = window.PressCell(3, 4, Qt::RightButton, false);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), "menu101");
        EXPECT_EQ(window.model().CountSelectedCells(), 2);
        window.RunMenuCommand(103); // Replace Style...
        after = window.model().Columns();
        // The rebuild forgot the last press; Choose this Column acts on a new one.
        window.RunMenuCommand(105);
        EXPECT_TRUE(window.model().Columns()[0].Cells[0].Chosen);
        window.PressCell(2, 4, Qt::RightButton, false);
        window.RunMenuCommand(105);
        Click(window, "cmdOK");
    });
    ASSERT_TRUE(ok);
    ASSERT_EQ(after.size(), 2u);
    for (int row : {0, 3}) {
        const CompareCell &cell = after[1].Cells[size_t(row)];
        EXPECT_EQ(cell.ProductID, 1) << row;
        EXPECT_EQ(cell.Style, "Motorized") << row;
        EXPECT_NE(cell.PriceCostXML, after[0].Cells[size_t(row)].PriceCostXML) << row;
        EXPECT_GT(ReadUnitPrice(cell.PriceCostXML), 0.0f) << row;
    }
    // Unselected cells of "A" keep the original configuration.
    EXPECT_EQ(after[1].Cells[1].PriceCostXML, after[0].Cells[1].PriceCostXML);
    // OK handed every line its "A" configuration.
    const LineRecord &wood = *session.engine->lines().record(3);
    EXPECT_EQ(wood.OriginalProductID, 2);
    EXPECT_EQ(wood.NewProductID, 1);
    EXPECT_EQ(wood.NewStyle, "Motorized");
    EXPECT_EQ(wood.NewPriceCostXML, after[1].Cells[3].PriceCostXML);
    EXPECT_EQ(session.engine->lines().record(1)->NewStyle, "Cordless");
    EXPECT_EQ(ToInt16(Call(DispatchPtr(session.engine), u"CountChanges", {MakeInt16(3)}).value), 0);
}

TEST_P(ProductCompare, cancelledReplaceLeavesEveryCellAsItWas)
{
    CompareSession session(4, GetParam());
    session.dialogs->selectProductStyle = [](qint32 &vendor, qint32 &product, QString &style,
                                             bool) {
        vendor = 3;
        product = 3;
        style = QStringLiteral("Single Cell");
        return true;
    };
    // First the review is cancelled, then the dialog itself.
    session.answers.click(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdCancel"));
    const bool ok = session.show([&](CompareWindow &window) {
        SelectInA(window, {1, 2});
        const std::vector<CompareColumn> before = window.model().Columns();
        window.RunTaskCommand(201); // Replace the Product
        EXPECT_EQ(session.dialogs->selectCalls, 1);
        for (size_t j = 0; j < before.size(); ++j) {
            for (size_t r = 0; r < before[j].Cells.size(); ++r) {
                const CompareCell &now = window.model().Columns()[j].Cells[r];
                EXPECT_EQ(now.ProductID, before[j].Cells[r].ProductID) << j << r;
                EXPECT_EQ(now.Style, before[j].Cells[r].Style) << j << r;
                EXPECT_EQ(now.PriceCostXML, before[j].Cells[r].PriceCostXML) << j << r;
            }
        }
        // The grid shows the cells as they are.
        EXPECT_TRUE(window.grid()->model()->record(1)->item(4)->caption().contains(u"Cordless"));
        session.dialogs->selectProductStyle = {};
        window.RunTaskCommand(201);
        EXPECT_EQ(Cell(window, 1, 1).Style, before[1].Cells[1].Style);
        Click(window, "cmdOK");
    });
    EXPECT_TRUE(ok);
    session.expectNewEqualsOriginal();
}

TEST_P(ProductCompare, productStyleAndOptionsFromAnEditedTemplate)
{
    CompareSession session(4, GetParam());
    session.dialogs->editProductItem = [](qint32 &product, QString &style, QString &itemXML,
                                          QString &, qint32 mode) {
        EXPECT_EQ(mode, 54);
        EXPECT_EQ(product, 1);
        style = QStringLiteral("Cordless");
        // The template's colour goes to every selected line; its width does not.
        itemXML.replace(QStringLiteral("<Value>White</Value>"),
                        QStringLiteral("<Value>Grey</Value>"));
        itemXML.replace(QStringLiteral("<Value>36 1/2</Value>"),
                        QStringLiteral("<Value>99</Value>"));
        return true;
    };
    session.answers.click(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdOK"));
    const bool ok = session.show([&](CompareWindow &window) {
        SelectInA(window, {0, 1});
        window.RunMenuCommand(107);
        for (int row : {0, 1}) {
            const CompareCell &cell = Cell(window, 1, row);
            EXPECT_EQ(cell.ProductID, 1);
            EXPECT_EQ(cell.Style, "Cordless");
            EXPECT_TRUE(cell.ItemXML.contains(u"<Value>Grey</Value>")) << row;
            EXPECT_FALSE(cell.ItemXML.contains(u"<Value>99</Value>")) << row;
            EXPECT_EQ(GetPriceCostValue(QStringLiteral("VendorID"), cell.PriceCostXML), "1");
        }
        EXPECT_EQ(Cell(window, 0, 0).Style, "Standard");
        Click(window, "cmdCancel");
    });
    EXPECT_FALSE(ok);
}

TEST_P(ProductCompare, clicksMenusAndTheColumnLimit)
{
    CompareSession session(3, GetParam());
    session.show([&](CompareWindow &window) {
        // A click on an "Original" cell clears the selection and selects nothing.
        window.PressCell(0, 3, Qt::LeftButton);
        EXPECT_EQ(window.model().CountSelectedCells(), 0);
        EXPECT_EQ(window.taskPanel()->groupCaptions(),
                  QStringList{QStringLiteral("Getting Started")});
        // Right click: outside the compare columns "No Items", on the original "One Item Col A".
        EXPECT_EQ(window.PressCell(0, 2, Qt::RightButton, false)->objectName(), "menu100");
        EXPECT_EQ(window.PressCell(1, 3, Qt::RightButton, false)->objectName(), "menu104");

        // Two cells of one row: the one-cell-per-row commands are off.
        window.RunMenuCommand(100); // "B"
        window.model().ClearCellSelection();
        window.model().ToggleCellSelection(1, 0);
        window.model().ToggleCellSelection(2, 0);
        QMenu *menu = window.PressCell(0, 5, Qt::RightButton, false);
        ASSERT_EQ(menu->objectName(), "menu101");
        Q_EMIT menu->aboutToShow();
        QStringList enabled;
        for (QAction *action : menu->actions())
            if (!action->isSeparator() && action->isEnabled())
                enabled << action->data().toString();
        EXPECT_EQ(enabled.join(u','), "100,108,104,105");

        // Up to "F"; the eighth column is refused with a message.
        for (int i = 0; i < 4; ++i)
            window.RunTaskCommand(101);
        ASSERT_EQ(window.model().Columns().size(), 7u);
        EXPECT_EQ(window.grid()->model()->columns().back().caption, "F");
        QString refused;
        session.answers.act(QStringLiteral("msgNoMoreColumns"), [&](QDialog &box) {
            refused = static_cast<QMessageBox &>(box).text();
            box.accept();
        });
        window.RunTaskCommand(101);
        EXPECT_EQ(refused, "You cannot add any more columns.");
        EXPECT_EQ(window.model().Columns().size(), 7u);
        Click(window, "cmdCancel");
    });
}

TEST(CompareEngineLineData, setLineDataNamesAndIndexes)
{
    const Ref<CompareEngine> engine = Library::create()->CreateCompareEngine();
    host::QuoteLine only;
    only.line = 1;
    only.quantity = 1;
    only.productID = 1;
    only.uniqueID = QStringLiteral("U1");
    AddLines(DispatchPtr(engine), {only});
    ASSERT_EQ(engine->lines().CountLines(), 1);
    LineRecord &line = *engine->lines().record(0);
    line.NewStyle = QStringLiteral("Old");
    line.NewProductID = 5;
    engine->SetLineData(0, QStringLiteral("NEWSTYLE"), QStringLiteral("NEWSTYLE value"));
    EXPECT_EQ(line.NewStyle, "NEWSTYLE value");
    engine->SetLineData(0, QStringLiteral("newstyles"), QStringLiteral("x"));
    engine->SetLineData(1, QStringLiteral("newstyle"), QStringLiteral("x"));
    engine->SetLineData(-1, QStringLiteral("newstyle"), QStringLiteral("x"));
    EXPECT_EQ(line.NewStyle, "NEWSTYLE value");
    engine->SetLineData(0, QStringLiteral("NewProductID"), QStringLiteral("not a number"));
    EXPECT_EQ(line.NewProductID, 5);
    engine->SetLineData(0, QStringLiteral("NewProductID"), QStringLiteral("12"));
    EXPECT_EQ(line.NewProductID, 12);
    EXPECT_EQ(line.NewItemXML, line.OriginalItemXML);
    EXPECT_EQ(ToInt16(Call(DispatchPtr(engine), u"CountChanges", {MakeInt16(0)}).value), 0);
}
