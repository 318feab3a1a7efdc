// The lists a user saves from the review windows over the demo quote Q-1001, compared with
// checked-in files: the bulk change review of the demo's change (every line to an outside
// mount in Charcoal) and the item review results.
#include "referencehost.h"

#include "engine/engines.h"
#include "review/replacereviewwindow.h"
#include "review/reviewresultswindow.h"
#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

// ZELTPC5_REGENERATE_GOLDEN=1 rewrites the checked-in list; review its diff.
void ExpectGolden(const QString &savedFile, const QString &goldenName)
{
    QFile actual(savedFile);
    ASSERT_TRUE(actual.open(QIODevice::ReadOnly));
    const QByteArray text = actual.readAll();
    QFile golden(QStringLiteral(ZELTPC5_REVIEW_TEST_DATA "/") + goldenName);
    if (qEnvironmentVariableIntValue("ZELTPC5_REGENERATE_GOLDEN") == 1) {
        ASSERT_TRUE(golden.open(QIODevice::WriteOnly | QIODevice::Truncate));
        golden.write(text);
        return;
    }
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << golden.fileName().toStdString();
    EXPECT_EQ(QString::fromLatin1(text), QString::fromLatin1(golden.readAll()));
}

// Opens the window over its engine, waits for its first fill, and saves its list.
template <class Window>
QString SaveWindowList(Window &window, const QTemporaryDir &dir)
{
    window.show();
    auto *grid = window.template findChild<ReportGrid *>(QStringLiteral("rptItems"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->model()->recordCount() == 12; }));
    const QString saved = dir.filePath(QStringLiteral("review.txt"));
    EXPECT_TRUE(WriteGridText(saved, *grid, QString(), true, false));
    window.reject();
    return saved;
}

} // namespace

class ReplaceReviewOfTheDemo : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, ReplaceReviewOfTheDemo, AllBackends(), BackendName);

TEST_P(ReplaceReviewOfTheDemo, savedListMatchesTheCheckedInFile)
{
    ReferenceHost reference{GetParam()};
    // Keeps the demo's fuel surcharge in force on any day the test runs.
    reference.database().execute(
        QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
        {ReferenceHost::DateFromToday(400)});
    const auto lines = reference.quoteLines(QStringLiteral("Q-1001"));
    const Ref<Library> library = Library::create();
    library->Initialize(reference.sharedCodeLibrary());
    const Ref<ReplaceEngine> engine(library->CreateReplaceEngine());
    AddLines(DispatchPtr(engine), lines);
    QStringList ids;
    for (const auto &line : lines)
        ids << line.uniqueID;
    ASSERT_TRUE(engine->ChangeOptionValue(QStringLiteral("Mount|Color"),
                                          QStringLiteral("Outside|Charcoal"),
                                          ids.join(QLatin1Char('|'))));

    ReplaceReviewWindow window;
    window.Initialize({&engine->lines(),
                       [&](const QString &id) { return engine->LineWasSelected(id); },
                       engine->Host()});
    const QTemporaryDir dir;
    const QString saved = SaveWindowList(window, dir);

    ExpectGolden(saved, QStringLiteral("demo-bulk-change.txt"));
}

class ItemReviewOfTheDemo : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, ItemReviewOfTheDemo, AllBackends(), BackendName);

TEST_P(ItemReviewOfTheDemo, savedListMatchesTheCheckedInFile)
{
    ReferenceHost reference{GetParam()};
    const auto lines = reference.quoteLines(QStringLiteral("Q-1001"));
    const Ref<Library> library = Library::create();
    library->Initialize(reference.sharedCodeLibrary());
    const Ref<ItemReviewEngine> engine(library->CreateItemReviewEngine());
    AddLines(DispatchPtr(engine), lines);
    QStringList ids;
    for (const auto &line : lines)
        ids << line.uniqueID;
    ASSERT_TRUE(engine->ReviewItems(ids.join(QLatin1Char('|'))));

    ReviewResultsWindow window;
    window.Initialize({&engine->lines(), engine->Host()});
    const QTemporaryDir dir;
    const QString saved = SaveWindowList(window, dir);
    ExpectGolden(saved, QStringLiteral("demo-item-review.txt"));
}
