// Where the user left a window and how large it was, kept per user and brought back the
// next time; a place that is on no screen any more falls back to the screen's centre.
// The value is "Top,Left,Width,Height" in twips (15 per pixel) under
// "Software/Kelvane/Lumenfold/5.0/Window Positions/" with the window's name as value name.
#pragma once

#include <QString>

class QSettings;
class QWidget;

namespace zeltpc5 {

inline constexpr int TwipsPerPixel = 15;

// The per-user store: an INI file in the user's configuration folder.
void RestoreWindowPosition(const QString &name, QWidget *window, bool restoreSize);
void SaveWindowPosition(const QString &name, QWidget *window);

// The same over a given store.
void RestoreWindowPosition(QSettings &store, const QString &name, QWidget *window,
                           bool restoreSize);
void SaveWindowPosition(QSettings &store, const QString &name, QWidget *window);

} // namespace zeltpc5
