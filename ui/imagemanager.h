// The icon store the grids and panels share: icons by number. The component draws its own
// icons, so they look the same on every desktop theme.
#pragma once

#include <QHash>
#include <QIcon>

namespace zeltpc5 {

class ImageManager
{
public:
    // The status icons of the review grids.
    static constexpr int Changed = 100;   // red: something on the line changed
    static constexpr int Unchanged = 101; // green: selected, nothing changed
    static constexpr int Warning = 102;   // the measurements reminder
    // The commands of the compare window's task panel.
    static constexpr int ReplaceProduct = 200;
    static constexpr int ReplaceStyle = 201; // also choosing cells
    static constexpr int EditItem = 202;     // also replacing product, style and options
    static constexpr int SelectColumn = 301;
    static constexpr int AddColumn = 302;
    static constexpr int RemoveColumn = 303;

    // Every window keeps its own store (pixmaps live no longer than the application).
    ImageManager();

    void setIcon(int number, const QIcon &icon) { m_icons.insert(number, icon); }
    // The icon of a number; null for 0 (no icon) and for unknown numbers.
    QIcon icon(int number) const { return m_icons.value(number); }
    bool contains(int number) const { return m_icons.contains(number); }

private:
    QHash<int, QIcon> m_icons;
};

} // namespace zeltpc5
