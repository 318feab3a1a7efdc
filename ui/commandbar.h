// Command bar controls as menu actions: the compare window builds its context menus and its
// More menu one control at a time and finds a control again by its id.
#pragma once

#include <QString>

class QAction;
class QMenu;

namespace zeltpc5 {

// Every control type is shown as a plain button; the compare window asks for this one.
constexpr int ControlTypeButton = 1;

// Appends a button with the caption, the id as its data and "control<id>" as its object
// name, a separator before it when it begins a group (never at the top of the menu), and
// the two integers as the properties "parameter" and "extra". Null for a null menu.
QAction *AddCommandBarControl(QMenu *controls, int controlType, int id, const QString &caption,
                              bool beginGroup, int parameter, int extra);

// The control of the menu with that id; null when there is none.
QAction *FindControl(QMenu *menu, int id);

} // namespace zeltpc5
