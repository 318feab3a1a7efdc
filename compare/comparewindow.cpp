#include "compare/comparewindow.h"

#include "ui/commandbar.h"
#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"
#include "ui/taskpanel.h"
#include "ui/windowplacement.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeView>
#include <QVBoxLayout>

namespace zeltpc5 {

namespace {

const QString WindowName = QStringLiteral("frmProductCompare");
const QString Caption = QStringLiteral("Product Compare");
// The background of selected cells (15317398 as the colour number stores it).
const QColor SelectedCellColour(150, 185, 233);
// Columns widen to their contents up to this.
constexpr int MaxAutoColumnWidth = 200;
constexpr int ResizePrecisionRows = 100;

// Control ids of the menus and the task panel links.
enum MenuId { NoItemsMenu = 100, OneItemMenu = 101, MoreMenu = 103, OriginalItemMenu = 104 };

// A control of a menu: id, caption, whether a separator goes before it.
struct Control
{
    int id;
    const char *caption;
    bool group;
};

QString ForDisplay(QString text)
{
    // Cells and tooltips break lines at LF; the model keeps the CR LF its texts are made of.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

const char HelpText[] =
    "<h3>Product Compare</h3>"
    "<p>Each row is one line of the quote. The <b>Original</b> column shows the line as it is; "
    "the columns <b>A</b> to <b>F</b> hold alternatives you build. The configuration in bold "
    "is the one each line keeps when you click <b>OK</b>. The totals under the columns are "
    "quantity times unit price, added up.</p>"
    "<p><b>Selecting cells.</b> Click a cell of an alternative to select it; hold Ctrl, or "
    "press <i>Select cell on click</i>, to select several. Cells of the Original column cannot "
    "be selected, but a right click on one offers the column commands.</p>"
    "<p><b>Building alternatives.</b> <i>Add a Column</i> copies the last column. With cells "
    "selected, the panel on the right offers <i>Replace the Product</i>, <i>Replace the "
    "Style</i> and <i>Replace the Product, Style and Options</i>: each line is processed again "
    "from its original item and re-priced, and you review the result before it is put into "
    "the cells. Dimensions, room location, mount and remarks stay as each line has them. "
    "<i>Edit Item</i> (or a double click) opens one cell in the item editor.</p>"
    "<p><b>Choosing.</b> <i>Choose selected cells</i> makes the selected cells the lines' "
    "choices (lines without a selected cell keep their original item); a right click offers "
    "<i>Choose this Configuration</i> for one line and <i>Choose this Column</i> for all.</p>"
    "<p><b>OK</b> hands each line's chosen configuration back; <b>Cancel</b> changes "
    "nothing.</p>";

} // namespace

CompareWindow::CompareWindow(QWidget *parent)
    : ReportWindow(parent), m_model(std::make_unique<CompareModel>(m_noLines, HostServices()))
{
    setObjectName(WindowName);
    setWindowTitle(Caption);
    setFont(QFont(QStringLiteral("Verdana"), 9));

    m_grid = new ReportGrid(this);
    m_grid->setObjectName(QStringLiteral("rptItems"));
    m_grid->setIcons(&m_icons);
    m_grid->setFootersVisible(true);
    m_grid->setPrintHeader(Caption);
    // The compare grid selects cells, which it paints itself; a row highlight would hide them.
    m_grid->view()->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->view()->viewport()->installEventFilter(this);
    m_grid->view()->installEventFilter(this);
    connect(m_grid, &ReportGrid::rowDoubleClicked, this, [this](ReportRecord *) {
        if (m_model->FirstSelectedCell().isValid())
            rebuild(m_commands->EditItem());
    });

    m_tasks = new TaskPanel(this);
    m_tasks->setObjectName(QStringLiteral("tskCommands"));
    m_tasks->setIcons(&m_icons);
    connect(m_tasks, &TaskPanel::linkClicked, this, &CompareWindow::RunTaskCommand);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_grid);
    splitter->addWidget(m_tasks);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setChildrenCollapsible(false);

    m_selectOnClick = new QPushButton(QStringLiteral("Select cell on click"), this);
    m_selectOnClick->setObjectName(QStringLiteral("cmdSelectOnClick"));
    m_selectOnClick->setCheckable(true);

    auto *more = new QPushButton(QStringLiteral("More"), this);
    more->setObjectName(QStringLiteral("cmdMore"));
    more->setToolTip(QStringLiteral("More commands"));
    auto *help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    help->setToolTip(QStringLiteral("Get help on this screen"));
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));

    buildMenus();
    connect(more, &QPushButton::clicked, this, [this, more] {
        if (QMenu *menu = m_menus.value(MoreMenu))
            menu->popup(more->mapToGlobal(QPoint(0, more->height())));
    });
    connect(help, &QPushButton::clicked, this, &CompareWindow::showHelp);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_source.setLineData)
            m_commands->Apply(m_source.setLineData);
        m_cancelled = false;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        reject();
    });

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("GroupBox1"));
    auto *buttons = new QHBoxLayout(frame);
    buttons->addWidget(m_selectOnClick);
    buttons->addWidget(more);
    buttons->addStretch();
    buttons->addWidget(help);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(frame);
    resize(1100, 640);
    setMinimumSize(700, 420);
    splitter->setSizes({850, 250});

    RestoreWindowPosition(WindowName, this, true);
}

CompareWindow::~CompareWindow() = default;

void CompareWindow::Initialize(const CompareSource &source, DispatchPtr keepAlive)
{
    m_source = source;
    m_engine = std::move(keepAlive);
    m_model = std::make_unique<CompareModel>(source.lines ? *source.lines : m_noLines, source.host);
    m_commands =
        std::make_unique<CompareCommands>(*m_model, CompareServices{source.host, source.owner});
}

void CompareWindow::buildMenus()
{
    const auto build = [this](int id, const char *caption, std::initializer_list<Control> list) {
        auto *menu = new QMenu(QString::fromLatin1(caption), this);
        menu->setObjectName(QStringLiteral("menu%1").arg(id));
        for (const Control &c : list) {
            QAction *action =
                AddCommandBarControl(menu, 1, c.id, QString::fromLatin1(c.caption), c.group, 0, 0);
            connect(action, &QAction::triggered, this, [this, id = c.id] { RunMenuCommand(id); });
        }
        connect(menu, &QMenu::aboutToShow, this, &CompareWindow::updateMenuStates);
        m_menus.insert(id, menu);
    };
    build(NoItemsMenu, "No Items", {{100, "Add a Column", false}});
    build(OneItemMenu, "One Item",
          {{100, "Add a Column", false},
           {108, "Select Column", true},
           {107, "Replace Product,Style and Options...", true},
           {101, "Replace Product...", false},
           {103, "Replace Style...", false},
           {102, "Edit Item...", true},
           {104, "Choose this Configuration", true},
           {105, "Choose this Column", false},
           {109, "Choose selected cells", true}});
    build(OriginalItemMenu, "One Item Col A",
          {{100, "Add a Column", false},
           {108, "Select Column", true},
           {104, "Choose this Configuration", true},
           {105, "Choose this Column", false}});
    build(MoreMenu, "More", {{200, "Print List...", false}, {201, "Save As...", false}});
    updateMenuStates();
}

void CompareWindow::updateMenuStates()
{
    const bool oneCellPerRow = !m_model->RowHasTwoSelectedCells();
    const bool oneCell = m_model->CountSelectedCells() == 1;
    for (QMenu *menu : std::as_const(m_menus)) {
        for (QAction *action : menu->actions()) {
            switch (action->data().toInt()) {
            case 101:
            case 103:
            case 107:
            case 109:
                action->setEnabled(oneCellPerRow);
                break;
            case 102:
                action->setEnabled(oneCell);
                break;
            case 201:
                action->setEnabled(false);
                break;
            default:
                break;
            }
        }
    }
}

void CompareWindow::firstActivation()
{
    m_model->LoadOriginalColumn();
    setupGridColumns();
    fillGrid();
    addColumn();
}

void CompareWindow::addColumn()
{
    const AddColumnResult added = m_model->AddColumn();
    if (!added.added) {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), added.message,
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("msgNoMoreColumns"));
        box.exec();
        return;
    }
    // The model has selected the new column already.
    refreshCompare(-1);
}

void CompareWindow::refreshCompare(int position)
{
    setupGridColumns();
    fillGrid();
    if (position >= 0) {
        m_model->SelectColumn(position);
        paintSelection();
    }
    updateTaskPanel();
}

void CompareWindow::setupGridColumns()
{
    SetupCompareGridColumns(*m_grid, *m_model);
    m_hit = Hit();
}

void CompareWindow::fillGrid()
{
    FillCompareGrid(*m_grid, *m_model);
    updateTaskPanel();
}

void CompareWindow::paintSelection()
{
    ReportModel *records = m_grid->model();
    for (int r = 0; r < records->recordCount(); ++r) {
        ReportRecord *record = records->record(r);
        const auto &columns = m_model->Columns();
        for (size_t j = 0; j < columns.size(); ++j) {
            ReportItem *item = record->item(CompareModel::FirstCompareItemIndex + int(j));
            if (!item || size_t(r) >= columns[j].Cells.size())
                continue;
            item->setBackground(columns[j].Cells[size_t(r)].Selected ? SelectedCellColour
                                                                     : QColor());
        }
    }
    m_grid->view()->viewport()->update();
}

void CompareWindow::updateTaskPanel()
{
    m_tasks->SetGroups(m_model->UpdateTaskPanelContent());
}

void CompareWindow::rebuild(CompareRebuild what)
{
    switch (what) {
    case CompareRebuild::Nothing:
        break;
    case CompareRebuild::Rows:
        fillGrid();
        break;
    case CompareRebuild::Grid:
        refreshCompare(-1);
        break;
    }
}

void CompareWindow::RunMenuCommand(int id)
{
    if (!m_commands)
        return;
    switch (id) {
    case 100:
        addColumn();
        break;
    case 101:
        rebuild(m_commands->ReplaceProductOrStyle(false));
        break;
    case 102:
        rebuild(m_commands->EditItem());
        break;
    case 103:
        rebuild(m_commands->ReplaceProductOrStyle(true));
        break;
    case 104:
        rebuild(m_commands->ChooseConfiguration(m_hit.row, m_hit.itemIndex));
        break;
    case 105:
        rebuild(m_commands->ChooseColumn(m_hit.itemIndex));
        break;
    case 106:
        rebuild(m_commands->RemoveSelectedColumns(true));
        break;
    case 107:
        rebuild(m_commands->ReplaceProductStyleAndOptions());
        break;
    case 108:
        m_model->SelectColumn(m_hit.itemIndex - CompareModel::FirstCompareItemIndex);
        paintSelection();
        updateTaskPanel();
        break;
    case 109:
        rebuild(m_commands->ChooseSelectedCells());
        break;
    case 200:
        PrintGrid(Caption, *m_grid);
        break;
    default: // 201 and unknown ids do nothing
        break;
    }
}

void CompareWindow::RunTaskCommand(int id)
{
    if (!m_commands)
        return;
    switch (id) {
    case 101:
        addColumn();
        break;
    case 102:
        rebuild(m_commands->ChooseConfiguration(m_hit.row, m_hit.itemIndex));
        break;
    case 103:
        rebuild(m_commands->ChooseColumn(m_hit.itemIndex));
        break;
    case 104:
        rebuild(m_commands->RemoveSelectedColumns(false));
        break;
    case 105:
        m_model->SelectColumn(m_model->FirstSelectedCell().column);
        paintSelection();
        updateTaskPanel();
        break;
    case 201:
        rebuild(m_commands->ReplaceProductOrStyle(false));
        break;
    case 202:
        rebuild(m_commands->ReplaceProductOrStyle(true));
        break;
    case 203:
        rebuild(m_commands->EditItem());
        break;
    case 204:
        rebuild(m_commands->ReplaceProductStyleAndOptions());
        break;
    case 205:
        rebuild(m_commands->ChooseSelectedCells());
        break;
    default:
        break;
    }
}

QMenu *CompareWindow::PressCell(int row, int itemIndex, Qt::MouseButton button, bool showMenu,
                                const QPoint &globalPos)
{
    m_hit = {row, itemIndex};
    if (row < 0 && itemIndex < 0)
        return nullptr;
    const int column = itemIndex - CompareModel::FirstCompareItemIndex;
    const bool onCell = row >= 0 && column >= 0;
    if (button != Qt::RightButton) {
        const bool adding = m_selectOnClick->isChecked() || m_ctrlDown ||
                            (QApplication::keyboardModifiers() & Qt::ControlModifier);
        if (!adding)
            m_model->ClearCellSelection();
        if (onCell)
            m_model->ToggleCellSelection(column, row);
        paintSelection();
        updateTaskPanel();
        return nullptr;
    }
    QMenu *menu = m_menus.value(NoItemsMenu);
    if (onCell) {
        const auto &cells = m_model->Columns()[size_t(column)].Cells;
        if (size_t(row) < cells.size() && !cells[size_t(row)].Selected) {
            m_model->ClearCellSelection();
            m_model->ToggleCellSelection(column, row);
            paintSelection();
            updateTaskPanel();
        }
        menu = m_menus.value(column > 0 ? OneItemMenu : OriginalItemMenu);
    }
    if (menu && showMenu)
        menu->popup(globalPos);
    return menu;
}

bool CompareWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->view()) {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Control)
                m_ctrlDown = event->type() == QEvent::KeyPress;
        } else if (event->type() == QEvent::FocusOut) {
            m_ctrlDown = false; // the release may go to another window
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = mouse->position().toPoint();
        const ReportHit hit = m_grid->HitTest(pos);
        const int row =
            hit.record && !hit.groupRow && !hit.record->parent() ? hit.record->index() : -1;
        const int itemIndex = hit.column ? hit.column->itemIndex : -1;
        if (mouse->modifiers() & Qt::ControlModifier)
            m_ctrlDown = true;
        PressCell(row, itemIndex, mouse->button(), true, mouse->globalPosition().toPoint());
    }
    return ReportWindow::eventFilter(watched, event);
}

void CompareWindow::showHelp()
{
    QDialog help(this);
    help.setObjectName(QStringLiteral("frmProductCompareHelp"));
    help.setWindowTitle(Caption + QStringLiteral(" Help"));
    auto *text = new QTextBrowser(&help);
    text->setHtml(QString::fromLatin1(HelpText));
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, &help);
    connect(close, &QDialogButtonBox::rejected, &help, &QDialog::reject);
    auto *layout = new QVBoxLayout(&help);
    layout->addWidget(text);
    layout->addWidget(close);
    help.resize(520, 460);
    help.exec();
}

void CompareWindow::done(int result)
{
    SaveWindowPosition(WindowName, this);
    QDialog::done(result);
    m_engine.reset();
}

void SetupCompareGridColumns(ReportGrid &grid, const CompareModel &model)
{
    grid.ClearColumns();
    ApplyStandardGridStyle(grid, false);
    // Columns widen to the rows on screen and some below, not to a measure of every row.
    grid.view()->header()->setResizeContentsPrecision(ResizePrecisionRows);
    for (const CompareGridColumn &c : model.SetupGridColumns()) {
        ReportColumn column(c.itemIndex, c.caption, c.width, c.resizable);
        if (c.alignment)
            column.alignment = c.alignment;
        if (c.headerAlignment)
            column.headerAlignment = c.headerAlignment;
        grid.AddColumn(column);
    }
}

void FillCompareGrid(ReportGrid &grid, const CompareModel &model)
{
    grid.ClearRecords();
    for (const CompareGridRow &row : model.FillGrid()) {
        ReportRecord *record = grid.AddRecord();
        record->AddItem(row.line);
        record->AddItem(row.quantity);
        record->AddItem(row.location).setCaption(ForDisplay(row.location));
        for (const CompareGridCell &cell : row.cells) {
            ReportItem &item = record->AddItem(cell.text);
            item.setTooltip(ForDisplay(cell.tooltip));
            if (cell.selected)
                item.setBackground(SelectedCellColour);
        }
    }
    for (const CompareColumnTotal &total : model.ShowColumnTotals())
        grid.setFooter(total.itemIndex, total.text);
    grid.Populate();
    // The widths are the least each column gets; names, styles and locations in the grid's
    // font often need more, and a clipped product name is no use for comparing.
    QTreeView *view = grid.view();
    for (const ReportColumn &column : grid.model()->columns()) {
        const int modelColumn = grid.model()->modelColumnOf(column.itemIndex);
        if (column.itemIndex < 2 || modelColumn < 0)
            continue;
        view->resizeColumnToContents(modelColumn);
        const int wanted = std::min(view->columnWidth(modelColumn), MaxAutoColumnWidth);
        view->setColumnWidth(modelColumn, std::max(column.width, wanted));
    }
}

bool ShowProductCompareWindow(const CompareSource &source, DispatchPtr keepAlive)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    CompareWindow window(QApplication::activeWindow());
    window.Initialize(source, std::move(keepAlive));
    window.exec();
    return !window.Cancelled();
}

} // namespace zeltpc5
