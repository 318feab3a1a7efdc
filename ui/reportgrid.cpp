#include "ui/reportgrid.h"

#include "ui/markuptext.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace zeltpc5 {

namespace {

// Paints markup items through their kept parse; other items as Qt does. Every cell gets a
// light rule at its foot, the grid lines of a report.
class ReportItemDelegate : public QStyledItemDelegate
{
public:
    ReportItemDelegate(ReportModel *model, QObject *parent)
        : QStyledItemDelegate(parent), m_model(model)
    {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const ReportItem *item = m_model->itemAt(index);
        if (item && item->isMarkup()) {
            QStyleOptionViewItem opt(option);
            initStyleOption(&opt, index);
            opt.text.clear();
            const QWidget *widget = option.widget;
            QStyle *style = widget ? widget->style() : QApplication::style();
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
            const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                                       .adjusted(TextMargin, 0, -TextMargin, 0);
            QColor colour = opt.palette.color(QPalette::Text);
            if (opt.state & QStyle::State_Selected)
                colour = opt.palette.color(QPalette::HighlightedText);
            else if (item->foreground().isValid())
                colour = item->foreground();
            item->markup().paint(painter, textRect, opt.font, colour, opt.displayAlignment);
        } else {
            QStyledItemDelegate::paint(painter, option, index);
        }
        painter->save();
        painter->setPen(QColor(226, 226, 226));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const ReportItem *item = m_model->itemAt(index);
        if (!item || !item->isMarkup())
            return QStyledItemDelegate::sizeHint(option, index);
        // Measured without the raw markup as text, which is far wider than what is shown.
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        const QSize frame = style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), widget);
        const QSize text = item->markup().sizeHint(option.font);
        return frame.expandedTo(QSize(text.width() + 4 * TextMargin, text.height() + 4));
    }

private:
    static constexpr int TextMargin = 2;
    ReportModel *m_model;
};

} // namespace

// The column footers: one text under each shown column, moving with the header.
class FooterBar : public QWidget
{
public:
    FooterBar(ReportModel *model, QHeaderView *header, QWidget *parent)
        : QWidget(parent), m_model(model), m_header(header)
    {
        setObjectName(QStringLiteral("footer"));
        connect(header, &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
        connect(header, &QHeaderView::sectionMoved, this, qOverload<>(&QWidget::update));
        connect(header, &QHeaderView::geometriesChanged, this, qOverload<>(&QWidget::update));
        connect(model, &ReportModel::footersChanged, this, qOverload<>(&QWidget::update));
    }

    QSize sizeHint() const override { return QSize(100, fontMetrics().height() + 8); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(rect().topLeft(), rect().topRight());
        p.setPen(palette().color(QPalette::ButtonText));
        const int offset = m_header->geometry().left(); // the view's frame
        for (int c = 0; c < m_model->columnCount(); ++c) {
            const ReportColumn *column = m_model->shownColumn(c);
            if (!column || column->footer.isEmpty() || m_header->isSectionHidden(c))
                continue;
            const QRect cell(offset + m_header->sectionViewportPosition(c), 0,
                             m_header->sectionSize(c), height());
            p.drawText(cell.adjusted(4, 0, -4, 0),
                       int(column->alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                       fontMetrics().elidedText(column->footer, Qt::ElideRight, cell.width() - 8));
        }
    }

private:
    ReportModel *m_model;
    QHeaderView *m_header;
};

ReportGrid::ReportGrid(QWidget *parent) : QWidget(parent)
{
    m_model = new ReportModel(this);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("view"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ReportItemDelegate(m_model, m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setRootIsDecorated(true);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionsMovable(false);
    m_view->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_footer = new FooterBar(m_model, m_view->header(), this);
    m_footer->setVisible(false);
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);
    setFocusProxy(m_view);

    connect(m_view, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (ReportRecord *r = m_model->recordAt(index))
            r->setExpanded(true);
    });
    connect(m_view, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (ReportRecord *r = m_model->recordAt(index))
            r->setExpanded(false);
    });
    connect(m_view, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        if (ReportRecord *r = m_model->recordAt(index))
            Q_EMIT rowDoubleClicked(r);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_selectionOrder.clear(); });
    trackSelection();
}

ReportGrid::~ReportGrid() = default;

void ReportGrid::setIcons(const ImageManager *icons)
{
    m_model->setIcons(icons);
    m_view->viewport()->update();
}

ReportColumn &ReportGrid::AddColumn(const ReportColumn &column)
{
    ReportColumn &added = m_model->AddColumn(column);
    applyColumnGeometry();
    return added;
}

void ReportGrid::ClearColumns()
{
    m_model->ClearColumns();
}

void ReportGrid::setStretchColumn(int itemIndex)
{
    m_stretchColumn = itemIndex;
    applyColumnGeometry();
}

void ReportGrid::setTreeColumn(int itemIndex)
{
    m_treeColumn = itemIndex;
    applyColumnGeometry();
}

void ReportGrid::setFooter(int itemIndex, const QString &text)
{
    m_model->setFooter(itemIndex, text);
}

void ReportGrid::setFootersVisible(bool visible)
{
    m_footersVisible = visible;
    m_footer->setVisible(visible);
}

bool ReportGrid::footersVisible() const
{
    return m_footersVisible;
}

void ReportGrid::ClearRecords()
{
    m_model->ClearRecords();
}

void ReportGrid::applyColumnGeometry()
{
    QHeaderView *header = m_view->header();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const ReportColumn *column = m_model->shownColumn(c);
        header->resizeSection(c, column->width);
        QHeaderView::ResizeMode mode =
            column->resizable ? QHeaderView::Interactive : QHeaderView::Fixed;
        if (column->itemIndex == m_stretchColumn)
            mode = QHeaderView::Stretch;
        header->setSectionResizeMode(c, mode);
    }
    m_view->setTreePosition(qMax(0, m_model->modelColumnOf(m_treeColumn)));
}

void ReportGrid::Populate()
{
    m_model->Populate();
    applyColumnGeometry();
    // One row height for all rows unless some text runs over several lines: with 32,767
    // records the view must not measure every row.
    bool multiLine = false;
    const auto hasBreak = [](const ReportRecord *r) {
        for (int i = 0; i < r->itemCount(); ++i) {
            const ReportItem *item = r->item(i);
            // Only texts can break lines; numbers and empty items need no look.
            if (!item->hasCaption() && item->value().typeId() != QMetaType::QString)
                continue;
            const QString text = item->caption();
            if (text.contains(u"<LineBreak") || text.contains(u'\n'))
                return true;
        }
        return false;
    };
    for (int i = 0; i < m_model->recordCount() && !multiLine; ++i) {
        const ReportRecord *r = m_model->record(i);
        if (!r->visible())
            continue;
        multiLine = hasBreak(r);
        for (int c = 0; c < r->childCount() && !multiLine; ++c)
            multiLine = hasBreak(r->child(c));
    }
    m_view->setUniformRowHeights(!multiLine);
    if (m_model->columnCount() == 0)
        return; // nothing can be shown, nor expanded
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        if (m_model->recordAt(index)->isGroupRow())
            m_view->setFirstColumnSpanned(row, QModelIndex(), true);
    }
    restoreExpansion();
}

void ReportGrid::restoreExpansion()
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        ReportRecord *r = m_model->recordAt(index);
        if (r->expanded())
            m_view->expand(index);
        if (r->isGroupRow()) {
            for (int i = 0; i < m_model->rowCount(index); ++i) {
                const QModelIndex member = m_model->index(i, 0, index);
                if (m_model->recordAt(member)->expanded())
                    m_view->expand(member);
            }
        }
    }
}

void ReportGrid::setExpanded(ReportRecord *record, bool expanded)
{
    if (!record)
        return;
    record->setExpanded(expanded);
    const QModelIndex index = m_model->indexOf(record);
    if (index.isValid())
        m_view->setExpanded(index, expanded);
}

bool ReportGrid::isExpanded(const ReportRecord *record) const
{
    const QModelIndex index = m_model->indexOf(record);
    return index.isValid() && m_view->isExpanded(index);
}

void ReportGrid::ExpandAll()
{
    m_view->expandAll();
}

void ReportGrid::CollapseAll()
{
    m_view->collapseAll();
}

void ReportGrid::trackSelection()
{
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                for (const QModelIndex &index : deselected.indexes()) {
                    if (index.column() == 0)
                        m_selectionOrder.remove(QPersistentModelIndex(index));
                }
                for (const QModelIndex &index : selected.indexes()) {
                    if (index.column() == 0)
                        m_selectionOrder.insert(QPersistentModelIndex(index), ++m_selectionCount);
                }
            });
}

QList<ReportRow> ReportGrid::SelectedRows() const
{
    std::vector<std::pair<qint64, QPersistentModelIndex>> ordered;
    for (auto it = m_selectionOrder.cbegin(); it != m_selectionOrder.cend(); ++it) {
        if (it.key().isValid())
            ordered.emplace_back(it.value(), it.key());
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<ReportRow> rows;
    for (const auto &[order, index] : ordered) {
        ReportRecord *r = m_model->recordAt(index);
        rows.append(ReportRow{r, r && r->isGroupRow()});
    }
    return rows;
}

ReportHit ReportGrid::HitTest(const QPoint &viewportPos) const
{
    ReportHit hit;
    const QModelIndex index = m_view->indexAt(viewportPos);
    hit.record = m_model->recordAt(index);
    hit.groupRow = hit.record && hit.record->isGroupRow();
    const int logical = m_view->header()->logicalIndexAt(viewportPos.x());
    hit.column = m_model->shownColumn(logical);
    return hit;
}

} // namespace zeltpc5
