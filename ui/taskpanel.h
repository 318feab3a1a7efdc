// The task panel beside a window's grid: groups of commands for what is selected, each a
// caption over a rounded frame of texts and links. Windows rebuild it on every selection
// change, often from inside one of its own link handlers.
#pragma once

#include "ui/taskpanelcontent.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace zeltpc5 {

class ImageManager;
class TaskPanelGroupWidget;

class TaskPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TaskPanel(QWidget *parent = nullptr);

    // The store item icons come from; shown items take their icons from it at once.
    void setIcons(const ImageManager *icons);

    // Old widgets go with deleteLater: the link being activated may be among them.
    void RemoveAllGroups();
    void AddGroup(int id, const QString &caption);
    // Items of an unknown group are dropped. An icon that is not in the store shows none.
    void AddItem(int groupId, int id, const QString &caption, TaskItemKind kind, int icon);
    void SetGroups(const std::vector<TaskPanelGroup> &groups);

    int groupCount() const { return int(m_groups.size()); }
    QStringList groupCaptions() const;
    // The links shown, top to bottom.
    QList<int> linkIds() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void linkClicked(int id);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void addItemTo(TaskPanelGroupWidget *group, const TaskPanelItem &item);

    QScrollArea *m_scroll;
    QVBoxLayout *m_groupsLayout;
    QList<TaskPanelGroupWidget *> m_groups;
    const ImageManager *m_icons = nullptr;
};

} // namespace zeltpc5
