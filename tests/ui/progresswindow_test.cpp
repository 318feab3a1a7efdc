#include "ui/progresswindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace zeltpc5;

namespace {

const ProgressWindowTexts ReviewTexts{QStringLiteral("frmReviewItems"),
                                      QStringLiteral("Reviewing Items"),
                                      QStringLiteral("Please wait while items are reviewed...")};

ProgressWindow *openWindow()
{
    return qobject_cast<ProgressWindow *>(QApplication::activeModalWidget());
}

} // namespace

TEST(ProgressWindow, showsItsCaptionHeadingAndControls)
{
    ProgressWindow w(ReviewTexts);
    EXPECT_EQ(w.objectName(), QStringLiteral("frmReviewItems"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Reviewing Items"));
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("lblHeading"))->text(),
              QStringLiteral("Please wait while items are reviewed..."));
    EXPECT_EQ(w.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->text(),
              QStringLiteral("Cancel"));
    ASSERT_NE(w.findChild<QProgressBar *>(QStringLiteral("ProgressBar1")), nullptr);
    ASSERT_NE(w.findChild<QLabel *>(QStringLiteral("lblProgress")), nullptr);
    EXPECT_TRUE(w.Cancelled()); // until a run has finished
}

TEST(ProgressWindow, runsTheWorkOnceAndReportsSuccess)
{
    int runs = 0;
    std::vector<int> seen;
    const bool ok = RunWithProgressWindow(
        ReviewTexts,
        [&](Progress *p) {
            ++runs;
            ASSERT_NE(p, nullptr);
            ASSERT_TRUE(openWindow() && openWindow()->isVisible());
            p->setRange(0, 3);
            p->setValue(0);
            for (int i = 0; i < 3; ++i) {
                p->advance();
                p->processEvents();
                seen.push_back(openWindow()->findChild<QProgressBar *>()->value());
            }
        },
        [] {}, [] { return false; });
    EXPECT_TRUE(ok);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // it closed itself
}

TEST(ProgressWindow, cancelDuringTheRunStopsItAndReportsFalse)
{
    bool cancelRequested = false;
    int processed = 0;
    const bool ok = RunWithProgressWindow(
        ReviewTexts,
        [&](Progress *p) {
            p->setRange(0, 5);
            for (int line = 0; line < 5 && !cancelRequested; ++line) {
                ++processed;
                if (line == 1) {
                    auto *cancel =
                        openWindow()->findChild<QPushButton *>(QStringLiteral("cmdCancel"));
                    QTest::mouseClick(cancel, Qt::LeftButton);
                }
                p->advance();
                p->processEvents();
            }
        },
        [&] { cancelRequested = true; }, [&] { return cancelRequested; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(processed, 2);
}
