// What a task panel shows, as plain values: models build it without widgets, the panel shows
// it (ui/taskpanel.h).
#pragma once

#include <QString>

#include <vector>

namespace zeltpc5 {

enum class TaskItemKind { Text, Link };

struct TaskPanelItem
{
    int id = 0;
    QString caption;
    TaskItemKind kind = TaskItemKind::Text;
    int icon = -1; // of the window's image store; -1 for none
};

struct TaskPanelGroup
{
    int id = 0;
    QString caption;
    std::vector<TaskPanelItem> items;
};

} // namespace zeltpc5
