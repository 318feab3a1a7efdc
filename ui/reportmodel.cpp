#include "ui/reportmodel.h"

#include "ui/imagemanager.h"
#include "ui/markuptext.h"

#include <QBrush>

#include <algorithm>
#include <map>

namespace zeltpc5 {

struct ReportItem::Extra
{
    QString tooltip;
    QColor foreground;
    QColor background;
    QString groupCaption;
    int groupPriority = 0;
};

ReportItem::ReportItem() = default;
ReportItem::ReportItem(QVariant value) : m_value(std::move(value)) {}
ReportItem::ReportItem(ReportItem &&) noexcept = default;
ReportItem &ReportItem::operator=(ReportItem &&) noexcept = default;
ReportItem::~ReportItem() = default;

ReportItem::Extra &ReportItem::extra()
{
    if (!m_extra)
        m_extra = std::make_unique<Extra>();
    return *m_extra;
}

void ReportItem::setValue(const QVariant &value)
{
    m_value = value;
    m_markup.reset();
}

QString ReportItem::caption() const
{
    return m_hasCaption ? m_caption : m_value.toString();
}

void ReportItem::setCaption(const QString &caption)
{
    m_caption = caption;
    m_hasCaption = true;
    m_markup.reset();
}

bool ReportItem::isMarkup() const
{
    return MarkupText::IsMarkup(m_hasCaption ? m_caption : m_value.toString());
}

QString ReportItem::plainText() const
{
    const QString text = caption();
    return MarkupText::IsMarkup(text) ? RemoveMarkupTags(text) : text;
}

const MarkupText &ReportItem::markup() const
{
    if (!m_markup)
        m_markup = std::make_unique<MarkupText>(caption());
    return *m_markup;
}

QString ReportItem::tooltip() const
{
    return m_extra ? m_extra->tooltip : QString();
}
void ReportItem::setTooltip(const QString &tooltip)
{
    extra().tooltip = tooltip;
}
QColor ReportItem::foreground() const
{
    return m_extra ? m_extra->foreground : QColor();
}
void ReportItem::setForeground(const QColor &colour)
{
    extra().foreground = colour;
}
QColor ReportItem::background() const
{
    return m_extra ? m_extra->background : QColor();
}
void ReportItem::setBackground(const QColor &colour)
{
    extra().background = colour;
}
QString ReportItem::groupCaption() const
{
    return m_extra ? m_extra->groupCaption : QString();
}
int ReportItem::groupPriority() const
{
    return m_extra ? m_extra->groupPriority : 0;
}
void ReportItem::setGroup(const QString &caption, int priority)
{
    extra().groupCaption = caption;
    extra().groupPriority = priority;
}

ReportItem &ReportRecord::AddItem(const QVariant &value)
{
    return m_items.emplace_back(value);
}

ReportItem *ReportRecord::item(int index)
{
    return index >= 0 && index < itemCount() ? &m_items[size_t(index)] : nullptr;
}

const ReportItem *ReportRecord::item(int index) const
{
    return index >= 0 && index < itemCount() ? &m_items[size_t(index)] : nullptr;
}

ReportRecord *ReportRecord::AddChild()
{
    auto child = std::make_unique<ReportRecord>();
    child->m_parent = this;
    child->m_viewParent = this;
    child->m_index = childCount();
    child->m_viewRow = child->m_index;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

ReportModel::ReportModel(QObject *parent) : QAbstractItemModel(parent) {}
ReportModel::~ReportModel() = default;

ReportColumn &ReportModel::AddColumn(const ReportColumn &column)
{
    beginResetModel();
    m_columns.push_back(column);
    rebuildShownColumns();
    endResetModel();
    return m_columns.back();
}

void ReportModel::ClearColumns()
{
    beginResetModel();
    m_columns.clear();
    rebuildShownColumns();
    endResetModel();
}

ReportColumn *ReportModel::findColumn(int itemIndex)
{
    for (ReportColumn &c : m_columns) {
        if (c.itemIndex == itemIndex)
            return &c;
    }
    return nullptr;
}

const ReportColumn *ReportModel::shownColumn(int modelColumn) const
{
    if (modelColumn < 0 || modelColumn >= int(m_shown.size()))
        return nullptr;
    return &m_columns[size_t(m_shown[size_t(modelColumn)])];
}

int ReportModel::modelColumnOf(int itemIndex) const
{
    for (size_t c = 0; c < m_shown.size(); ++c) {
        if (m_columns[size_t(m_shown[c])].itemIndex == itemIndex)
            return int(c);
    }
    return -1;
}

void ReportModel::setFooter(int itemIndex, const QString &text)
{
    ReportColumn *column = findColumn(itemIndex);
    if (!column || column->footer == text)
        return;
    column->footer = text;
    Q_EMIT footersChanged();
}

void ReportModel::rebuildShownColumns()
{
    m_shown.clear();
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].visible)
            m_shown.push_back(int(i));
    }
}

ReportRecord *ReportModel::AddRecord()
{
    auto record = std::make_unique<ReportRecord>();
    record->m_index = recordCount();
    record->m_viewRow = -1;
    m_records.push_back(std::move(record));
    return m_records.back().get();
}

void ReportModel::ClearRecords()
{
    beginResetModel();
    m_rows.clear();
    m_groups.clear();
    m_records.clear();
    endResetModel();
}

void ReportModel::setGroupColumn(int itemIndex)
{
    m_groupColumn = itemIndex;
}

void ReportModel::Populate()
{
    beginResetModel();
    rebuildShownColumns();
    m_rows.clear();
    m_groups.clear();
    if (m_groupColumn < 0) {
        for (const auto &r : m_records) {
            r->m_viewRow = -1;
            if (!r->visible())
                continue;
            r->m_viewParent = nullptr;
            r->m_viewRow = int(m_rows.size());
            m_rows.push_back(r.get());
        }
    } else {
        // One group row per group caption, in the order of the groups' priorities.
        std::map<std::pair<int, QString>, ReportRecord *> groups;
        for (const auto &r : m_records) {
            r->m_viewRow = -1;
            if (!r->visible())
                continue;
            const ReportItem *key = r->item(m_groupColumn);
            const QString caption =
                key ? (key->groupCaption().isEmpty() ? key->plainText() : key->groupCaption())
                    : QString();
            const int priority = key ? key->groupPriority() : 0;
            ReportRecord *&group = groups[{priority, caption}];
            if (!group) {
                auto row = std::make_unique<ReportRecord>();
                row->m_groupRow = true;
                row->m_expanded = true;
                row->AddItem(caption);
                group = row.get();
                m_groups.push_back(std::move(row));
            }
            r->m_viewParent = group;
            r->m_viewRow = int(group->m_members.size());
            group->m_members.push_back(r.get());
        }
        for (const auto &[key, group] : groups) {
            group->m_viewRow = int(m_rows.size());
            m_rows.push_back(group);
        }
    }
    endResetModel();
}

int ReportModel::childRows(const ReportRecord *row) const
{
    if (!row)
        return int(m_rows.size());
    return row->m_groupRow ? int(row->m_members.size()) : row->childCount();
}

ReportRecord *ReportModel::childRow(const ReportRecord *row, int index) const
{
    if (!row)
        return m_rows[size_t(index)];
    return row->m_groupRow ? row->m_members[size_t(index)] : row->child(index);
}

QModelIndex ReportModel::indexOf(const ReportRecord *record, int column) const
{
    if (!record || record->m_viewRow < 0)
        return {}; // a hidden record, or one added since the last Populate
    return createIndex(record->m_viewRow, column, const_cast<ReportRecord *>(record));
}

ReportRecord *ReportModel::recordAt(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<ReportRecord *>(index.internalPointer()) : nullptr;
}

const ReportItem *ReportModel::itemAt(const QModelIndex &index) const
{
    const ReportRecord *record = recordAt(index);
    const ReportColumn *column = shownColumn(index.column());
    if (!record || !column)
        return nullptr;
    if (record->m_groupRow)
        return index.column() == 0 ? record->item(0) : nullptr;
    return record->item(column->itemIndex);
}

QModelIndex ReportModel::index(int row, int column, const QModelIndex &parent) const
{
    const ReportRecord *above = recordAt(parent);
    if (row < 0 || column < 0 || column >= columnCount() || row >= childRows(above))
        return {};
    return createIndex(row, column, childRow(above, row));
}

QModelIndex ReportModel::parent(const QModelIndex &child) const
{
    const ReportRecord *record = recordAt(child);
    if (!record || !record->m_viewParent)
        return {};
    return indexOf(record->m_viewParent);
}

int ReportModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return childRows(recordAt(parent));
}

int ReportModel::columnCount(const QModelIndex &) const
{
    return int(m_shown.size());
}

QVariant ReportModel::data(const QModelIndex &index, int role) const
{
    const ReportRecord *record = recordAt(index);
    if (!record)
        return {};
    if (role == RecordRole)
        return QVariant::fromValue(static_cast<void *>(const_cast<ReportRecord *>(record)));
    if (role == GroupRowRole)
        return record->m_groupRow;
    const ReportItem *item = itemAt(index);
    const ReportColumn *column = shownColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return item ? item->plainText() : QString();
    case MarkupRole:
        return item && item->isMarkup() ? QVariant(item->caption()) : QVariant();
    case ValueRole:
        return item ? item->value() : QVariant();
    case IconNumberRole:
        return item ? item->icon() : -1;
    case Qt::DecorationRole:
        if (item && item->icon() > 0 && m_icons)
            return m_icons->icon(item->icon());
        return {};
    case Qt::ToolTipRole:
        if (item && !item->tooltip().isEmpty())
            return item->tooltip();
        // A change text may be wider than its column: the whole text on hovering.
        return item && item->isMarkup() ? QVariant(item->plainText()) : QVariant();
    case Qt::ForegroundRole:
        return item && item->foreground().isValid() ? QVariant(QBrush(item->foreground()))
                                                    : QVariant();
    case Qt::BackgroundRole:
        return item && item->background().isValid() ? QVariant(QBrush(item->background()))
                                                    : QVariant();
    case Qt::TextAlignmentRole:
        return column && !record->m_groupRow ? QVariant(int(column->alignment)) : QVariant();
    case Qt::FontRole:
        if (record->m_groupRow) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const ReportColumn *column = orientation == Qt::Horizontal ? shownColumn(section) : nullptr;
    if (!column)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return column->caption;
    case Qt::TextAlignmentRole:
        return int(column->headerAlignment);
    case FooterRole:
        return column->footer;
    default:
        return {};
    }
}

Qt::ItemFlags ReportModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace zeltpc5
