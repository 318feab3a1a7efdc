#include "review/replacereviewwindow.h"

#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"
#include "ui/windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace zeltpc5 {

namespace {

const QString WindowName = QStringLiteral("frmReplaceReview");

enum Column { StatusColumn, LineColumn, QtyColumn, DetailsColumn, OldPriceColumn, NewPriceColumn };

QLabel *iconLabel(const QIcon &icon, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(icon.pixmap(16, 16));
    label->setFixedSize(18, 18);
    return label;
}

QLabel *textLabel(const QString &text, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

ReplaceReviewWindow::ReplaceReviewWindow(QWidget *parent) : ReportWindow(parent)
{
    setObjectName(WindowName);
    setWindowTitle(QStringLiteral("Replace Review"));
    setFont(QFont(QStringLiteral("Verdana"), 9));

    m_grid = new ReportGrid(this);
    m_grid->setObjectName(QStringLiteral("rptItems"));
    ApplyStandardGridStyle(*m_grid, false);
    m_grid->setIcons(&m_icons);
    const auto centred = Qt::AlignHCenter | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    m_grid->AddColumn({StatusColumn, QString(), 22, false, left, left});
    m_grid->AddColumn({LineColumn, QStringLiteral("Line"), 40, false, centred, centred});
    m_grid->AddColumn({QtyColumn, QStringLiteral("Qty"), 40, false, centred, centred});
    m_grid->AddColumn({DetailsColumn, QStringLiteral("Details"), 300, true, left, left});
    m_grid->AddColumn({OldPriceColumn, QStringLiteral("Old Price"), 75, true, right, right});
    m_grid->AddColumn({NewPriceColumn, QStringLiteral("New Price"), 75, true, right, right});
    m_grid->setStretchColumn(DetailsColumn);
    m_grid->setTreeColumn(DetailsColumn);

    auto *legend = new QGroupBox(this);
    legend->setObjectName(QStringLiteral("GroupBox1"));
    auto *legendLayout = new QGridLayout(legend);
    legendLayout->addWidget(
        iconLabel(m_icons.icon(ImageManager::Changed), QStringLiteral("imgRed"), legend), 0, 0);
    legendLayout->addWidget(
        textLabel(QStringLiteral("Indicates something on the line item has changed"),
                  QStringLiteral("lblRed"), legend),
        0, 1);
    legendLayout->addWidget(
        iconLabel(m_icons.icon(ImageManager::Unchanged), QStringLiteral("imgGreen"), legend), 1, 0);
    legendLayout->addWidget(
        textLabel(QStringLiteral("Indicates a line was selected but no changes were made"),
                  QStringLiteral("lblGreen"), legend),
        1, 1);
    legendLayout->setColumnStretch(1, 1);

    auto *warning = new QHBoxLayout;
    warning->addWidget(
        iconLabel(m_icons.icon(ImageManager::Warning), QStringLiteral("Image1"), this));
    auto *warningText = textLabel(
        QStringLiteral(
            "Don't forget to check your measurements if you have changed products or styles."),
        QStringLiteral("Label1"), this);
    warningText->setWordWrap(true);
    warning->addWidget(warningText, 1);

    m_showUnaffected = new QCheckBox(QStringLiteral("Show unaffected rows"), this);
    m_showUnaffected->setObjectName(QStringLiteral("chkShowUnaffected"));
    m_showUnaffected->setChecked(false);
    connect(m_showUnaffected, &QCheckBox::toggled, this, [this] { showUnaffectedRows(); });

    QPushButton *more = createMoreCommands(m_grid);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, [this] {
        m_cancelled = false;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        reject();
    });

    auto *below = new QHBoxLayout;
    auto *notes = new QVBoxLayout;
    notes->addWidget(legend);
    notes->addLayout(warning);
    notes->addWidget(m_showUnaffected);
    below->addLayout(notes, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(more);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(below);
    layout->addLayout(buttons);
    resize(780, 560);
    setMinimumSize(560, 400);

    RestoreWindowPosition(WindowName, this, true);
}

ReplaceReviewWindow::~ReplaceReviewWindow() = default;

void ReplaceReviewWindow::Initialize(const ReplaceReviewSource &source, DispatchPtr keepAlive)
{
    m_source = source;
    m_engine = std::move(keepAlive);
}

void ReplaceReviewWindow::firstActivation()
{
    fill(); // the fill applies the show-unaffected rule itself
    m_model.ShowMessages(m_source.host);
}

void ReplaceReviewWindow::fill()
{
    m_model.Fill(m_source);
    FillReplaceReviewGrid(*m_grid, m_model, m_showUnaffected->isChecked());
}

void ReplaceReviewWindow::showUnaffectedRows()
{
    const bool show = m_showUnaffected->isChecked();
    ReportModel *model = m_grid->model();
    const auto &rows = m_model.rows();
    for (int i = 0; i < model->recordCount() && i < int(rows.size()); ++i)
        model->record(i)->setVisible(ReplaceReviewModel::IsShown(rows[size_t(i)], show));
    m_grid->Populate();
}

void ReplaceReviewWindow::done(int result)
{
    SaveWindowPosition(WindowName, this);
    QDialog::done(result);
    m_engine.reset();
}

void FillReplaceReviewGrid(ReportGrid &grid, const ReplaceReviewModel &model, bool showUnaffected)
{
    grid.ClearRecords();
    const QColor green(0, 128, 0);
    for (const ReplaceReviewRow &row : model.rows()) {
        ReportRecord *record = grid.AddRecord();
        record->AddItem().setIcon(row.icon);
        record->AddItem(row.line);
        record->AddItem(row.quantity);
        record->AddItem(row.details);
        record->AddItem(row.oldPrice).setCaption(row.oldPriceText);
        ReportItem &newPrice = record->AddItem(row.newPrice);
        newPrice.setCaption(row.newPriceText);
        if (row.newPriceDiffers)
            newPrice.setForeground(green);
        AddChildTexts(record, DetailsColumn, row.changes);
        record->setVisible(ReplaceReviewModel::IsShown(row, showUnaffected));
    }
    // Only the first row starts expanded.
    if (grid.model()->recordCount() > 0) {
        ReportRecord *first = grid.model()->record(0);
        first->setExpanded(first->childCount() > 0);
    }
    grid.Populate();
}

bool ShowReplaceReviewWindow(const ReplaceReviewSource &source, DispatchPtr keepAlive)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    ReplaceReviewWindow window(QApplication::activeWindow());
    window.Initialize(source, std::move(keepAlive));
    window.exec();
    return !window.Cancelled();
}

} // namespace zeltpc5
