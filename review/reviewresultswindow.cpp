#include "review/reviewresultswindow.h"

#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace zeltpc5 {

namespace {

enum ItemColumn { StatusColumn, LineColumn, QtyColumn, DetailsColumn, PriceColumn };
enum SummaryColumn { GroupColumn, HeadingColumn, ValueColumn };

} // namespace

ReviewResultsWindow::ReviewResultsWindow(QWidget *parent) : ReportWindow(parent)
{
    setObjectName(QStringLiteral("frmReviewItemsReview"));
    setWindowTitle(QStringLiteral("Item Review Results"));
    setFont(QFont(QStringLiteral("Verdana"), 9));

    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("TabControl1"));

    const auto centred = Qt::AlignHCenter | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    m_items = new ReportGrid(tabs);
    m_items->setObjectName(QStringLiteral("rptItems"));
    ApplyStandardGridStyle(*m_items, false);
    m_items->setIcons(&m_icons);
    m_items->AddColumn({StatusColumn, QString(), 22, false, left, left});
    m_items->AddColumn({LineColumn, QStringLiteral("Line"), 40, false, centred, centred});
    m_items->AddColumn({QtyColumn, QStringLiteral("Qty"), 40, false, centred, centred});
    m_items->AddColumn({DetailsColumn, QStringLiteral("Details"), 200, true, left, left});
    m_items->AddColumn({PriceColumn, QStringLiteral("Price"), 75, true, right, right});
    m_items->setStretchColumn(DetailsColumn);
    m_items->setTreeColumn(DetailsColumn);
    tabs->addTab(m_items, QStringLiteral("Product Items"));

    m_summary = new ReportGrid(tabs);
    m_summary->setObjectName(QStringLiteral("rptSummary"));
    ApplyStandardGridStyle(*m_summary, false);
    ReportColumn group(GroupColumn, QStringLiteral("Group"), 22, false);
    group.visible = false;
    m_summary->AddColumn(group);
    m_summary->AddColumn({HeadingColumn, QStringLiteral("Heading"), 200, true});
    m_summary->AddColumn({ValueColumn, QStringLiteral("Details"), 70, true});
    m_summary->setGroupColumn(GroupColumn);
    m_summary->setStretchColumn(ValueColumn);
    tabs->addTab(m_summary, QStringLiteral("Summary"));

    m_showUnaffected = new QCheckBox(QStringLiteral("Show unaffected rows"), this);
    m_showUnaffected->setObjectName(QStringLiteral("chkShowUnaffected"));
    m_showUnaffected->setChecked(true);
    connect(m_showUnaffected, &QCheckBox::toggled, this, [this] { showUnaffectedRows(); });

    QPushButton *more = createMoreCommands(m_items);

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdCancel"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_showUnaffected);
    buttons->addStretch();
    buttons->addWidget(more);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    resize(760, 520);
    setMinimumSize(480, 360);
}

ReviewResultsWindow::~ReviewResultsWindow() = default;

void ReviewResultsWindow::Initialize(const ReviewResultsSource &source, DispatchPtr keepAlive)
{
    m_source = source;
    m_engine = std::move(keepAlive);
}

void ReviewResultsWindow::firstActivation()
{
    m_model.Fill(m_source);
    FillReviewItemsGrid(*m_items, m_model, m_showUnaffected->isChecked());
    FillReviewSummaryGrid(*m_summary, m_model);
    // Nine short rows: the headings get the room they need, indented under their groups.
    QTreeView *summary = m_summary->view();
    summary->resizeColumnToContents(0);
    summary->setColumnWidth(0, qMax(summary->columnWidth(0), 200));
    // With results to look at, the lines without any step aside.
    if (m_model.anyResults())
        m_showUnaffected->setChecked(false);
}

void ReviewResultsWindow::showUnaffectedRows()
{
    const bool show = m_showUnaffected->isChecked();
    ReportModel *model = m_items->model();
    const auto &rows = m_model.rows();
    for (int i = 0; i < model->recordCount() && i < int(rows.size()); ++i)
        model->record(i)->setVisible(ItemReviewResultsModel::IsShown(rows[size_t(i)], show));
    m_items->Populate();
}

void ReviewResultsWindow::done(int result)
{
    QDialog::done(result);
    m_engine.reset();
}

void FillReviewItemsGrid(ReportGrid &grid, const ItemReviewResultsModel &model, bool showUnaffected)
{
    grid.ClearRecords();
    for (const ReviewItemRow &row : model.rows()) {
        ReportRecord *record = grid.AddRecord();
        record->AddItem().setIcon(row.icon);
        record->AddItem(row.line);
        record->AddItem(row.quantity);
        record->AddItem(row.details);
        record->AddItem(row.price).setCaption(row.priceText);
        AddChildTexts(record, DetailsColumn, row.results);
        record->setVisible(ItemReviewResultsModel::IsShown(row, showUnaffected));
    }
    grid.Populate();
}

void FillReviewSummaryGrid(ReportGrid &grid, const ItemReviewResultsModel &model)
{
    grid.ClearRecords();
    for (const ReviewSummaryRow &row : model.summary()) {
        ReportRecord *record = grid.AddRecord();
        record->AddItem(row.group).setGroup(row.group, row.groupNumber);
        record->AddItem(row.heading);
        record->AddItem(row.value);
    }
    grid.Populate();
}

bool ShowReviewResultsWindow(const ReviewResultsSource &source, DispatchPtr keepAlive)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    ReviewResultsWindow window(QApplication::activeWindow());
    window.Initialize(source, std::move(keepAlive));
    window.exec();
    return !window.Cancelled();
}

} // namespace zeltpc5
