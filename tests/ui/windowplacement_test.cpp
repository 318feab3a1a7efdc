#include "ui/windowplacement.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

using namespace zeltpc5;

namespace {

const QString Key = QStringLiteral("Software/Kelvane/Lumenfold/5.0/Window Positions/frmTest");

class WindowPlacement : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<QSettings>(dir.filePath(QStringLiteral("placement.ini")),
                                            QSettings::IniFormat);
    }

    QString stored() const { return store->value(Key).toString(); }

    // Where a window of the size lands when it is centred on the primary screen.
    static QPoint centred(const QSize &size)
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        return {available.x() + (available.width() - size.width()) / 2,
                available.y() + (available.height() - size.height()) / 2};
    }

    QPoint restoredPosition(const QString &value, bool restoreSize = true)
    {
        store->setValue(Key, value);
        QWidget window;
        window.resize(200, 100);
        window.move(10, 20);
        RestoreWindowPosition(*store, QStringLiteral("frmTest"), &window, restoreSize);
        EXPECT_EQ(window.size(), QSize(200, 100)) << value.toStdString();
        return window.pos();
    }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> store;
};

} // namespace

TEST_F(WindowPlacement, bringsBackWhereAndHowLargeTheWindowWas)
{
    QWidget window;
    window.move(30, 40);
    window.resize(500, 300);
    SaveWindowPosition(*store, QStringLiteral("frmTest"), &window);
    EXPECT_EQ(stored(), QStringLiteral("600,450,7500,4500"));

    store->sync();
    QSettings reopened(dir.filePath(QStringLiteral("placement.ini")), QSettings::IniFormat);
    EXPECT_EQ(reopened.value(Key).toString(), QStringLiteral("600,450,7500,4500"));

    QWidget fresh;
    fresh.resize(200, 100);
    RestoreWindowPosition(reopened, QStringLiteral("frmTest"), &fresh, true);
    EXPECT_EQ(fresh.pos(), QPoint(30, 40));
    EXPECT_EQ(fresh.size(), QSize(500, 300));
}

TEST_F(WindowPlacement, roundsTwipsToTheNearestPixel)
{
    store->setValue(Key, QStringLiteral("458,457,7507,4508"));
    QWidget window;
    RestoreWindowPosition(*store, QStringLiteral("frmTest"), &window, true);
    EXPECT_EQ(window.pos(), QPoint(30, 31));
    EXPECT_EQ(window.size(), QSize(500, 301));
}

TEST_F(WindowPlacement, keepsTheSizeWhenOnlyThePlaceIsRestored)
{
    store->setValue(Key, QStringLiteral("600,450,7500,4500"));
    QWidget window;
    window.resize(200, 100);
    RestoreWindowPosition(*store, QStringLiteral("frmTest"), &window, false);
    EXPECT_EQ(window.pos(), QPoint(30, 40));
    EXPECT_EQ(window.size(), QSize(200, 100));
}

TEST_F(WindowPlacement, centresWhenThereIsNoUsablePlace)
{
    const QPoint middle = centred(QSize(200, 100));
    EXPECT_EQ(restoredPosition(QStringLiteral("-150000,-150000,7500,4500")), middle);
    EXPECT_EQ(restoredPosition(QStringLiteral("600,450,7500")), middle);
    EXPECT_EQ(restoredPosition(QStringLiteral("600,450,7500,4500,0")), middle);
    EXPECT_EQ(restoredPosition(QString()), middle);

    QWidget window;
    window.resize(300, 200);
    RestoreWindowPosition(*store, QStringLiteral("frmNeverSaved"), &window, true);
    EXPECT_EQ(window.pos(), centred(QSize(300, 200)));
    EXPECT_EQ(window.size(), QSize(300, 200));
}

TEST_F(WindowPlacement, leavesTheWindowAloneWhenAPartIsNotANumber)
{
    EXPECT_EQ(restoredPosition(QStringLiteral("600,abc,7500,4500")), QPoint(10, 20));
    EXPECT_EQ(restoredPosition(QStringLiteral("600,450,7500,")), QPoint(10, 20));
    EXPECT_EQ(restoredPosition(QStringLiteral("600,450,7500,99999999999")), QPoint(10, 20));
    // Even a place on no screen is not centred once a part fails.
    EXPECT_EQ(restoredPosition(QStringLiteral("-150000,-150000,x,4500")), QPoint(10, 20));
}

TEST_F(WindowPlacement, savesNothingUnlessTheWindowIsNormal)
{
    QWidget window;
    window.move(30, 40);
    window.resize(500, 300);
    SaveWindowPosition(*store, QStringLiteral("frmTest"), &window);

    window.move(100, 100);
    for (const Qt::WindowState state :
         {Qt::WindowMaximized, Qt::WindowMinimized, Qt::WindowFullScreen}) {
        window.setWindowState(state);
        SaveWindowPosition(*store, QStringLiteral("frmTest"), &window);
        EXPECT_EQ(stored(), QStringLiteral("600,450,7500,4500")) << int(state);
    }

    window.setWindowState(Qt::WindowNoState);
    window.move(100, 100);
    SaveWindowPosition(*store, QStringLiteral("frmTest"), &window);
    EXPECT_EQ(stored(), QStringLiteral("1500,1500,7500,4500"));
}
