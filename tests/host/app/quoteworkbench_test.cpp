// The quote window's workbench against a demo company in a temporary database, with the
// component in this process: a bulk change is reviewed, accepted, written and undone.
#include "host/app/component.h"
#include "host/app/quotewindow.h"
#include "host/app/quoteworkbench.h"
#include "host/database/seed.h"

#include "compare/comparewindow.h"
#include "engine/engines.h"
#include "ui/reportgrid.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace zeltpc5;
using namespace zeltpc5::host;
using namespace zeltpc5::host::app;

namespace {

struct DemoCompany
{
    QTemporaryDir dir;
    std::shared_ptr<Database> db;
    int quote = 0;

    DemoCompany()
    {
        RegisterComponentClasses();
        db = Database::open(
            ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("company.db"))),
            OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        quote = QuoteStore(*db).quote(QStringLiteral("Q-1001"))->id;
    }
    std::vector<QuoteLine> lines() const { return QuoteStore(*db).lines(quote); }
};

// Answers the next modal window of that name with the button of that name. The review
// window opens only after the progress window's run, which lets events through on the same
// thread: so a timer looks now and then instead of a wait that would hold the run up. The
// timer goes once it has answered (delete it when no window may come).
QTimer *answerWindow(const QString &window, const QString &button)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, window, button] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || w->objectName() != window)
            return;
        poll->stop();
        poll->deleteLater();
        w->findChild<QPushButton *>(button)->click();
    });
    poll->start(20);
    return poll;
}

// The host's messages, noted instead of shown.
class NotedMessages : public MessagePresenter
{
public:
    bool present(const QString &heading, const QString &, bool) override
    {
        headings << heading;
        return false;
    }
    QStringList headings;
};

} // namespace

TEST(QuoteWorkbench, anAcceptedChangeIsWrittenAndUndoneByteForByte)
{
    DemoCompany company;
    auto messages = std::make_shared<NotedMessages>();
    QuoteWorkbench bench(company.db, messages);
    ASSERT_TRUE(bench.isOpen()) << bench.error().toStdString();
    const auto before = company.lines();
    ASSERT_EQ(before.size(), 12u);

    answerWindow(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdOK"));
    const auto outcome =
        bench.changeOptionValues(company.quote, {before[0].uniqueID}, {QStringLiteral("Mount")},
                                 {QStringLiteral("Outside")});
    EXPECT_TRUE(outcome.ran);
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.written, 1);
    EXPECT_EQ(messages->headings.value(0), QStringLiteral("Notice"));
    const auto after = company.lines();
    EXPECT_NE(after[0].itemXML, before[0].itemXML);
    EXPECT_TRUE(after[0].itemXML.contains(QLatin1String("<Value>Outside</Value>")));
    EXPECT_NE(after[0].priceCostXML, before[0].priceCostXML);
    for (size_t i = 1; i < after.size(); ++i)
        EXPECT_EQ(after[i].itemXML, before[i].itemXML) << "line " << i + 1;

    ASSERT_TRUE(bench.canUndo());
    EXPECT_EQ(bench.undo().written, 1);
    const auto undone = company.lines();
    EXPECT_EQ(undone[0].itemXML, before[0].itemXML);
    EXPECT_EQ(undone[0].priceCostXML, before[0].priceCostXML);
    EXPECT_EQ(undone[0].style, before[0].style);
    EXPECT_FALSE(bench.canUndo());
}

TEST(QuoteWorkbench, aRejectedReviewWritesNothing)
{
    DemoCompany company;
    QuoteWorkbench bench(company.db, std::make_shared<NotedMessages>());
    ASSERT_TRUE(bench.isOpen()) << bench.error().toStdString();
    const auto before = company.lines();
    answerWindow(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdCancel"));
    const auto outcome =
        bench.changeOptionValues(company.quote, {before[0].uniqueID, before[1].uniqueID},
                                 {QStringLiteral("Mount")}, {QStringLiteral("Outside")});
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.written, 0);
    const auto after = company.lines();
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].itemXML, before[i].itemXML) << "line " << i + 1;
    EXPECT_FALSE(bench.canUndo());
}

TEST(QuoteWorkbench, offersTheSelectedProductsOptionsAndListsLines)
{
    DemoCompany company;
    QuoteWorkbench bench(company.db);
    const auto lines = company.lines();
    const OptionChoices choices = bench.optionChoices({lines[0]});
    EXPECT_TRUE(choices.names.contains(QStringLiteral("Mount")));
    EXPECT_TRUE(choices.values.value(QStringLiteral("Mount")).contains(QStringLiteral("Outside")));
    const auto rows = bench.lines(company.quote);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0].productStyle, QStringLiteral("Roller Shade / Standard"));
    EXPECT_EQ(rows[0].dimensions, QStringLiteral("36 1/2 x 60"));
    EXPECT_DOUBLE_EQ(rows[0].lineTotal, 2 * 144.48);
}

TEST(QuoteWindow, listsQuotesAndEnablesToolsForSelectedLines)
{
    DemoCompany company;
    QuoteWindow window(company.db);
    auto *quotes = window.findChild<QTreeWidget *>(QStringLiteral("lstQuotes"));
    auto *lines = window.findChild<QTreeWidget *>(QStringLiteral("lstLines"));
    ASSERT_NE(quotes, nullptr);
    EXPECT_EQ(quotes->topLevelItemCount(), 2);
    EXPECT_EQ(window.currentQuote(), company.quote);
    EXPECT_EQ(lines->topLevelItemCount(), 12);
    auto *change = window.findChild<QAction *>(QStringLiteral("actChangeOption"));
    EXPECT_FALSE(change->isEnabled());
    lines->topLevelItem(2)->setSelected(true);
    EXPECT_TRUE(change->isEnabled());
    EXPECT_EQ(window.selectedLineIDs(), QStringList{company.lines()[2].uniqueID});
    EXPECT_FALSE(window.findChild<QAction *>(QStringLiteral("actUndo"))->isEnabled());
}

TEST(QuoteWorkbench, anEditedItemIsWrittenAndCanBeUndone)
{
    DemoCompany company;
    QuoteWorkbench bench(company.db, std::make_shared<NotedMessages>());
    ASSERT_TRUE(bench.isOpen()) << bench.error().toStdString();
    const auto before = company.lines();

    answerWindow(QStringLiteral("frmEditProductItem"), QStringLiteral("cmdCancel"));
    EXPECT_FALSE(bench.editItem(company.quote, before[0].uniqueID).accepted);
    EXPECT_EQ(company.lines()[0].priceCostXML, before[0].priceCostXML);
    EXPECT_FALSE(bench.canUndo());

    // OK re-prices the line through the component and writes it.
    answerWindow(QStringLiteral("frmEditProductItem"), QStringLiteral("cmdOK"));
    const auto outcome = bench.editItem(company.quote, before[0].uniqueID);
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.written, 1);
    EXPECT_NE(company.lines()[0].priceCostXML, before[0].priceCostXML);
    ASSERT_TRUE(bench.canUndo());
    bench.undo();
    EXPECT_EQ(company.lines()[0].priceCostXML, before[0].priceCostXML);
    EXPECT_EQ(company.lines()[0].itemXML, before[0].itemXML);
}

TEST(QuoteWorkbench, theConfigurationChosenInTheCompareWindowIsWritten)
{
    DemoCompany company;
    QuoteWorkbench bench(company.db, std::make_shared<NotedMessages>());
    ASSERT_TRUE(bench.isOpen()) << bench.error().toStdString();
    const auto before = company.lines();
    EXPECT_FALSE(bench.compare(company.quote, {}).ran);

    // In the window: line 4 (the second row) gets another style in "A", which is chosen.
    int rows = 0;
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [&rows, poll] {
        auto *window = qobject_cast<CompareWindow *>(QApplication::activeModalWidget());
        if (!window || !window->isFilled())
            return;
        poll->stop();
        poll->deleteLater();
        rows = window->grid()->model()->recordCount();
        CompareCell &cell = window->model().Columns()[1].Cells[1];
        cell.Style = QStringLiteral("2.5 Inch Slat");
        window->model().ClearCellSelection();
        window->model().ToggleCellSelection(1, 1);
        window->RunTaskCommand(205); // Choose selected cells
        window->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    poll->start(20);
    const auto outcome = bench.compare(company.quote, {before[3].uniqueID, before[0].uniqueID});
    EXPECT_EQ(rows, 2);
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.written, 1);
    const auto after = company.lines();
    EXPECT_EQ(after[3].style, "2.5 Inch Slat");
    EXPECT_EQ(after[3].itemXML, before[3].itemXML);
    EXPECT_EQ(after[0].style, before[0].style);
    ASSERT_TRUE(bench.canUndo());
    bench.undo();
    EXPECT_EQ(company.lines()[3].style, before[3].style);
}

namespace {

// Gives line 1 of the demo quote the UniqueID "A|" + line 2's, as a database the schema did
// not guard could hold: the table is made anew without its constraints.
void LetLineOneNameLineTwo(Database &db, int quote)
{
    Transaction t(db);
    db.execute(QStringLiteral("CREATE TABLE QuoteLines_Loose AS SELECT * FROM QuoteLines"));
    db.execute(QStringLiteral("DROP TABLE QuoteLines"));
    db.execute(QStringLiteral("ALTER TABLE QuoteLines_Loose RENAME TO QuoteLines"));
    db.execute(QStringLiteral("UPDATE QuoteLines SET UniqueID = 'A|' || (SELECT UniqueID FROM "
                              "QuoteLines WHERE QuoteID = ? AND Line = 2) WHERE QuoteID = ? AND "
                              "Line = 1"),
               {quote, quote});
    t.commit();
}

} // namespace

// The component is handed a run's UniqueIDs "|"-joined and finds them ignoring case: a line
// whose UniqueID holds "|", or equals another's but for case, would make another line stand
// for it. Such a line is not handed to the engine, and what is left stays the engine's list.
TEST(Component, aLineWhoseUniqueIDCannotNameItIsNotHandedToTheEngine)
{
    DemoCompany company;
    QString error;
    const DispatchPtr library = OpenComponent(company.db, &error);
    ASSERT_TRUE(library) << error.toStdString();
    std::vector<QuoteLine> lines = company.lines();
    const QString second = lines[1].uniqueID;
    lines[0].uniqueID = QStringLiteral("A|") + second;
    lines[3].uniqueID = lines[2].uniqueID.toUpper();
    ASSERT_NE(lines[3].uniqueID, lines[2].uniqueID);

    QStringList withheld;
    const DispatchPtr engine = LoadEngine(library, u"CreateReplaceEngine", lines, &withheld);
    EXPECT_EQ(ToInt16(Call(engine, u"CountLines").value).value_or(0), 9);
    EXPECT_EQ(withheld.size(), 3);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0].line, 2);
    EXPECT_EQ(lines[1].line, 5);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(
            ToText(Call(engine, u"GetLineData", {MakeInt16(qint16(i)), QStringLiteral("uniqueid")})
                       .value)
                .value_or(QString()),
            lines[size_t(i)].uniqueID);
    // Only identifiers the engine holds are passed on, never one that would split.
    EXPECT_EQ(JoinLoadedUniqueIDs(lines, {QStringLiteral("A|") + second, second}), second);
    Call(engine, u"PreTerminate");
    Call(library, u"PreTerminate");
}

TEST(QuoteWorkbench, aLineWhoseUniqueIDNamesAnotherChangesNeither)
{
    DemoCompany company;
    LetLineOneNameLineTwo(*company.db, company.quote);
    QuoteWorkbench bench(company.db, std::make_shared<NotedMessages>());
    ASSERT_TRUE(bench.isOpen()) << bench.error().toStdString();
    const auto before = company.lines();
    ASSERT_TRUE(before[0].uniqueID.startsWith(u"A|"));

    // Were the change run, its review would be accepted.
    QPointer<QTimer> poll =
        answerWindow(QStringLiteral("frmReplaceReview"), QStringLiteral("cmdOK"));
    const auto outcome =
        bench.changeOptionValues(company.quote, {before[0].uniqueID}, {QStringLiteral("Mount")},
                                 {QStringLiteral("Outside")});
    delete poll.data();
    EXPECT_FALSE(outcome.ran);
    EXPECT_EQ(outcome.written, 0);
    EXPECT_TRUE(outcome.message.contains(u"line 1")) << outcome.message.toStdString();
    const auto after = company.lines();
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].itemXML, before[i].itemXML) << "line " << i + 1;
}
