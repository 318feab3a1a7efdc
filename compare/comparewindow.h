// The compare window: every line in a row, its original configuration beside up to six
// alternatives, a task panel of commands for the selected cells, and OK to hand each line's
// chosen configuration to the engine.
#pragma once

#include "compare/comparecommands.h"
#include "ui/imagemanager.h"
#include "ui/reportwindow.h"

#include <QHash>

class QMenu;
class QPushButton;

namespace zeltpc5 {

class ReportGrid;
class TaskPanel;

// What the window needs of its engine.
struct CompareSource
{
    const LineStore *lines = nullptr;
    HostServices host;
    DispatchPtr owner; // the Library: ReplaceEngines for the replace commands
    CompareCommands::LineDataWriter setLineData;
};

class CompareWindow : public ReportWindow
{
    Q_OBJECT
public:
    explicit CompareWindow(QWidget *parent = nullptr);
    ~CompareWindow() override;

    // Keeps the engine (through keepAlive) until the window unloads.
    void Initialize(const CompareSource &source, DispatchPtr keepAlive = {});

    // True from load; false only once OK has applied the chosen configurations.
    bool Cancelled() const { return m_cancelled; }

    CompareModel &model() { return *m_model; }
    ReportGrid *grid() const { return m_grid; }
    TaskPanel *taskPanel() const { return m_tasks; }
    // The context menus 100, 101, 104 and the More menu 103.
    QMenu *menu(int id) const { return m_menus.value(id); }

    // A menu control or task panel link by its id, as a click on it runs it. Menu commands
    // act on the cell of the last mouse press in the grid.
    void RunMenuCommand(int id);
    void RunTaskCommand(int id);

    // Where the last mouse press in the grid landed; row -1 when it was on no row.
    struct Hit
    {
        int row = -1;
        int itemIndex = -1;
    };
    const Hit &hitInfo() const { return m_hit; }
    // A mouse press on a grid cell as the user makes it (right: the context menu, which
    // is returned instead of shown when showMenu is false).
    QMenu *PressCell(int row, int itemIndex, Qt::MouseButton button, bool showMenu = true,
                     const QPoint &globalPos = {});

    void done(int result) override;

protected:
    void firstActivation() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void updateMenuStates();
    void refreshCompare(int position);
    void setupGridColumns();
    void fillGrid();
    void paintSelection();
    void updateTaskPanel();
    void rebuild(CompareRebuild what);
    void addColumn();
    void showHelp();

    std::unique_ptr<CompareModel> m_model;
    std::unique_ptr<CompareCommands> m_commands;
    CompareSource m_source;
    DispatchPtr m_engine;
    LineStore m_noLines;
    ImageManager m_icons;
    ReportGrid *m_grid;
    TaskPanel *m_tasks;
    QPushButton *m_selectOnClick;
    QHash<int, QMenu *> m_menus;
    Hit m_hit;
    bool m_ctrlDown = false;
    bool m_cancelled = true;
};

// The grid's columns and records as the model has them: Line, Qty, Location, then one
// column per compare column with its total as footer; one record per line.
void SetupCompareGridColumns(ReportGrid &grid, const CompareModel &model);
void FillCompareGrid(ReportGrid &grid, const CompareModel &model);

// Shows the compare window modally over the engine's lines; true only after OK. Without a
// GUI application object nothing is shown and the result is false.
bool ShowProductCompareWindow(const CompareSource &source, DispatchPtr keepAlive);

} // namespace zeltpc5
