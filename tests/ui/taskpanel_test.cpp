#include "ui/commandbar.h"
#include "ui/imagemanager.h"
#include "ui/taskpanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace zeltpc5;

namespace {

TaskPanelItem text(int id, const QString &caption)
{
    return {id, caption, TaskItemKind::Text, -1};
}

TaskPanelItem link(int id, const QString &caption, int icon)
{
    return {id, caption, TaskItemKind::Link, icon};
}

// Shaped like the compare window's panel with one cell selected.
std::vector<TaskPanelGroup> commandGroups()
{
    return {{1,
             QStringLiteral("Commands"),
             {text(0, QStringLiteral("Choose a command to perform on the selected cells.")),
              link(201, QStringLiteral("Replace the Product"), ImageManager::ReplaceProduct),
              link(203, QStringLiteral("Edit Item"), ImageManager::EditItem)}},
            {2,
             QStringLiteral("Other Commands"),
             {link(101, QStringLiteral("Add another Column"), ImageManager::AddColumn),
              link(105, QStringLiteral("Select this Column"), 999)}}};
}

std::vector<TaskPanelGroup> gettingStarted()
{
    return {{1,
             QStringLiteral("Getting Started"),
             {text(100, QStringLiteral("You have no cells selected.")),
              link(101, QStringLiteral("Add a Column"), ImageManager::AddColumn)}}};
}

void deleteRemovedWidgets()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget *item(const QWidget &panel, int id)
{
    return panel.findChild<QWidget *>(QStringLiteral("taskItem%1").arg(id));
}

// The menu as one line: captions, "-" for separators.
QString menuText(const QMenu &menu)
{
    QStringList entries;
    for (const QAction *a : menu.actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return entries.join(QLatin1Char('|'));
}

} // namespace

TEST(TaskPanel, showsGroupsAndItemsInOrder)
{
    TaskPanel panel;
    panel.SetGroups(commandGroups());
    EXPECT_EQ(panel.groupCount(), 2);
    EXPECT_EQ(panel.groupCaptions(),
              (QStringList{QStringLiteral("Commands"), QStringLiteral("Other Commands")}));
    EXPECT_EQ(panel.linkIds(), (QList<int>{201, 203, 101, 105}));

    const auto *caption = panel.findChild<QWidget *>(QStringLiteral("taskGroup1"))
                              ->findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->font().bold());
    EXPECT_EQ(caption->font().pointSize(), 10);

    ASSERT_NE(item(panel, 0), nullptr);
    EXPECT_EQ(item(panel, 0)->focusPolicy(), Qt::NoFocus); // a text is not a stop for Tab
    EXPECT_EQ(item(panel, 201)->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(item(panel, 201)->cursor().shape(), Qt::PointingHandCursor);

    // Groups and items added one by one; items of a group that is not there are dropped.
    panel.RemoveAllGroups();
    EXPECT_EQ(panel.groupCount(), 0);
    EXPECT_EQ(item(panel, 201), nullptr);
    panel.AddGroup(7, QStringLiteral("First"));
    panel.AddGroup(8, QStringLiteral("Second"));
    panel.AddItem(8, 81, QStringLiteral("b"), TaskItemKind::Link, -1);
    panel.AddItem(7, 71, QStringLiteral("a"), TaskItemKind::Link, -1);
    panel.AddItem(9, 91, QStringLiteral("nowhere"), TaskItemKind::Link, -1);
    EXPECT_EQ(panel.linkIds(), (QList<int>{71, 81}));
    EXPECT_EQ(item(panel, 91), nullptr);
}

TEST(TaskPanel, showsMarkupCharactersInCaptionsAsTheyAre)
{
    TaskPanel panel;
    const QString name = QStringLiteral("<b>Roller</b> & <i>Shade</i>");
    panel.SetGroups({{1, name, {link(5, name, -1)}}});
    const QList<QLabel *> labels = panel.findChildren<QLabel *>();
    EXPECT_EQ(std::count_if(labels.cbegin(), labels.cend(),
                            [&name](const QLabel *label) {
                                return label->text() == name &&
                                       label->textFormat() == Qt::PlainText;
                            }),
              2);
}

TEST(TaskPanel, takesIconsFromTheStoreEvenWhenSetAfterwards)
{
    ImageManager icons;
    TaskPanel panel;
    panel.SetGroups(commandGroups());
    const auto pixmapShown = [&panel](int id) {
        for (const QLabel *label : item(panel, id)->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull())
                return true;
        }
        return false;
    };
    EXPECT_FALSE(pixmapShown(201));
    panel.setIcons(&icons);
    EXPECT_TRUE(pixmapShown(201));
    EXPECT_TRUE(pixmapShown(101));
    EXPECT_FALSE(pixmapShown(105)); // not in the store
    EXPECT_FALSE(pixmapShown(0));
}

TEST(TaskPanel, rebuildingLeavesNoWidgetsBehind)
{
    TaskPanel panel;
    panel.show();
    panel.SetGroups(commandGroups());
    deleteRemovedWidgets();
    const qsizetype children = panel.findChildren<QWidget *>().size();
    const qsizetype all = QApplication::allWidgets().size();
    for (int i = 0; i < 100; ++i)
        panel.SetGroups(i % 2 ? commandGroups() : gettingStarted());
    deleteRemovedWidgets();
    EXPECT_EQ(panel.findChildren<QWidget *>().size(), children);
    EXPECT_EQ(QApplication::allWidgets().size(), all);
    EXPECT_EQ(panel.groupCount(), 2);
}

TEST(TaskPanel, linksRunOnClickEnterAndSpaceOnly)
{
    TaskPanel panel;
    panel.SetGroups(commandGroups());
    panel.show();
    QSignalSpy clicked(&panel, &TaskPanel::linkClicked);

    QTest::mouseClick(item(panel, 203), Qt::LeftButton);
    QTest::mouseClick(item(panel, 203), Qt::RightButton);
    QTest::mouseClick(item(panel, 0), Qt::LeftButton); // a text
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.takeFirst().at(0).toInt(), 203);

    // Pressed on the link, let go elsewhere: no click.
    QWidget *link = item(panel, 101);
    QTest::mousePress(link, Qt::LeftButton);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 5, -5));
    EXPECT_EQ(clicked.count(), 0);

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
        QTest::keyClick(link, key);
    QTest::keyClick(item(panel, 0), Qt::Key_Return);
    ASSERT_EQ(clicked.count(), 3);
    for (const QList<QVariant> &args : clicked)
        EXPECT_EQ(args.at(0).toInt(), 101);
}

TEST(TaskPanel, handlerMayRebuildThePanel)
{
    TaskPanel panel;
    panel.SetGroups(commandGroups());
    panel.show();
    QList<int> handled;
    QObject::connect(&panel, &TaskPanel::linkClicked, &panel, [&](int id) {
        handled << id;
        panel.SetGroups(id == 101 ? gettingStarted() : commandGroups());
    });

    QTest::mouseClick(item(panel, 201), Qt::LeftButton);
    EXPECT_EQ(panel.groupCaptions(),
              (QStringList{QStringLiteral("Commands"), QStringLiteral("Other Commands")}));
    // The old link waits for deletion; looking it up by name finds the new one.
    QTest::keyClick(item(panel, 101), Qt::Key_Space);
    EXPECT_EQ(panel.groupCaptions(), QStringList{QStringLiteral("Getting Started")});
    EXPECT_EQ(item(panel, 201), nullptr);
    deleteRemovedWidgets();
    QTest::mouseClick(item(panel, 101), Qt::LeftButton);
    EXPECT_EQ(handled, (QList<int>{201, 101, 101}));
}

TEST(TaskPanel, scrollsVerticallyAndWrapsLongCaptions)
{
    TaskPanel panel;
    std::vector<TaskPanelGroup> many;
    for (int g = 1; g <= 8; ++g)
        many.push_back({g, QStringLiteral("Group %1").arg(g), gettingStarted().front().items});
    many.front().items.push_back(link(7, QStringLiteral("A very long caption ").repeated(6), -1));
    panel.SetGroups(many);
    EXPECT_GE(panel.sizeHint().width(), 200);
    panel.resize(220, 200);
    panel.show();
    QApplication::processEvents();
    const auto *scroll = panel.findChild<QScrollArea *>();
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_LE(item(panel, 7)->width(), scroll->viewport()->width());
    EXPECT_GT(item(panel, 7)->height(), 2 * item(panel, 101)->height()); // wrapped
}

TEST(CommandBar, addsControlsWithIdsGroupsAndProperties)
{
    QMenu menu;
    EXPECT_EQ(FindControl(&menu, 0), nullptr);
    QAction *add = AddCommandBarControl(&menu, ControlTypeButton, 100,
                                        QStringLiteral("Add a Column"), true, 0, 0);
    AddCommandBarControl(&menu, ControlTypeButton, 108, QStringLiteral("Select Column"), true, 0,
                         0);
    QAction *choose = AddCommandBarControl(
        &menu, ControlTypeButton, 104, QStringLiteral("Choose this Configuration"), true, 3, -4);
    AddCommandBarControl(&menu, 2, 105, QStringLiteral("Choose this Column"), false, 0, 0);
    EXPECT_EQ(menuText(menu), QStringLiteral("Add a Column|-|Select Column|-|"
                                             "Choose this Configuration|Choose this Column"));

    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->data(), QVariant(100));
    EXPECT_EQ(add->objectName(), QStringLiteral("control100"));
    EXPECT_EQ(choose->property("parameter"), QVariant(3));
    EXPECT_EQ(choose->property("extra"), QVariant(-4));
    EXPECT_EQ(FindControl(&menu, 104), choose);
    EXPECT_EQ(FindControl(&menu, 105)->text(), QStringLiteral("Choose this Column"));
    EXPECT_EQ(FindControl(&menu, 0), nullptr); // the separators carry no id
    EXPECT_EQ(FindControl(&menu, 999), nullptr);
    EXPECT_EQ(FindControl(nullptr, 100), nullptr);
    EXPECT_EQ(AddCommandBarControl(nullptr, 1, 1, QStringLiteral("x"), true, 0, 0), nullptr);

    QAction *zero = AddCommandBarControl(&menu, 1, 0, QStringLiteral("Zero"), false, 0, 0);
    EXPECT_EQ(FindControl(&menu, 0), zero);
}

TEST(ImageManager, drawsTheTaskPanelIconsAtEverySize)
{
    const ImageManager icons;
    const int numbers[] = {ImageManager::ReplaceProduct, ImageManager::ReplaceStyle,
                           ImageManager::EditItem,       ImageManager::SelectColumn,
                           ImageManager::AddColumn,      ImageManager::RemoveColumn};
    QList<QImage> drawn;
    for (const int number : numbers) {
        const QIcon icon = icons.icon(number);
        ASSERT_FALSE(icon.isNull()) << number;
        EXPECT_EQ(icon.availableSizes().size(), 3) << number;
        const QImage image = icon.pixmap(16, 16).toImage();
        EXPECT_FALSE(drawn.contains(image)) << number << " looks like another icon";
        drawn << image;
    }
}
