// The records of a report grid and the Qt model over them. A grid has columns (each showing
// one item index of the records), top-level records with child records, and per item a
// value, a display caption, a tooltip, an icon number and colours. Records can be hidden and
// grouped by the values of one column. Windows fill the records, then call Populate.
#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace zeltpc5 {

class ImageManager;
class MarkupText;

struct ReportColumn
{
    ReportColumn() = default;
    ReportColumn(int itemIndex, QString caption, int width, bool resizable = true,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter,
                 Qt::Alignment headerAlignment = Qt::AlignLeft | Qt::AlignVCenter)
        : itemIndex(itemIndex), caption(std::move(caption)), width(width), resizable(resizable),
          alignment(alignment), headerAlignment(headerAlignment)
    {}

    int itemIndex = 0;
    QString caption;
    int width = 100;
    bool resizable = true;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment headerAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool visible = true;
    QString footer;
};

class ReportItem
{
public:
    ReportItem();
    explicit ReportItem(QVariant value);
    ReportItem(ReportItem &&) noexcept;
    ReportItem &operator=(ReportItem &&) noexcept;
    ~ReportItem();

    const QVariant &value() const { return m_value; }
    void setValue(const QVariant &value);
    // The text shown: the caption when one is set, else the value as text. A text that is
    // TextBlock markup is rendered as such.
    QString caption() const;
    void setCaption(const QString &caption);
    bool hasCaption() const { return m_hasCaption; }
    // The shown text without markup tags: what is sorted, saved and searched.
    QString plainText() const;
    bool isMarkup() const;
    // Parsed on first use and kept, so painting never parses again.
    const MarkupText &markup() const;

    QString tooltip() const;
    void setTooltip(const QString &tooltip);
    int icon() const { return m_icon; } // -1: none
    void setIcon(int number) { m_icon = number; }
    QColor foreground() const;
    void setForeground(const QColor &colour);
    QColor background() const;
    void setBackground(const QColor &colour);
    // When the grid groups by this item's column: the group's caption and sort priority.
    QString groupCaption() const;
    int groupPriority() const;
    void setGroup(const QString &caption, int priority);

private:
    struct Extra;
    Extra &extra();
    QVariant m_value;
    QString m_caption;
    int m_icon = -1;
    bool m_hasCaption = false;
    std::unique_ptr<Extra> m_extra;               // rarely set: tooltip, colours, group
    mutable std::unique_ptr<MarkupText> m_markup; // parsed lazily
};

class ReportRecord
{
public:
    ReportRecord() = default;
    ReportRecord(const ReportRecord &) = delete;
    ReportRecord &operator=(const ReportRecord &) = delete;

    ReportItem &AddItem(const QVariant &value = QVariant());
    // The item at an index; null past the record's items.
    ReportItem *item(int index);
    const ReportItem *item(int index) const;
    int itemCount() const { return int(m_items.size()); }

    ReportRecord *AddChild();
    int childCount() const { return int(m_children.size()); }
    ReportRecord *child(int index) const { return m_children[size_t(index)].get(); }
    ReportRecord *parent() const { return m_parent; }
    int index() const { return m_index; } // among its siblings, in adding order

    // Hidden top-level records are not shown (they are still saved); takes effect on the
    // grid's next Populate.
    bool visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }
    // A row the grid made for a group of records; not one of the window's records.
    bool isGroupRow() const { return m_groupRow; }

private:
    friend class ReportModel;
    std::vector<ReportItem> m_items;
    std::vector<std::unique_ptr<ReportRecord>> m_children;
    std::vector<ReportRecord *> m_members; // group rows: the records of the group
    ReportRecord *m_parent = nullptr;
    ReportRecord *m_viewParent = nullptr; // the row above this one: parent or group row
    int m_index = 0;
    int m_viewRow = 0;
    bool m_visible = true;
    bool m_expanded = false;
    bool m_groupRow = false;
};

class ReportModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role {
        RecordRole = Qt::UserRole + 1, // the ReportRecord * of the row
        ValueRole,                     // the item's value
        MarkupRole,                    // the raw text when it is markup, else nothing
        IconNumberRole,                // the item's icon number, -1 for none
        GroupRowRole,                  // true on group rows
        FooterRole,                    // header data: the column's footer text
    };

    explicit ReportModel(QObject *parent = nullptr);
    ~ReportModel() override;

    void setIcons(const ImageManager *icons) { m_icons = icons; }
    const ImageManager *icons() const { return m_icons; }

    // Columns, in the order added; the model shows the visible ones.
    ReportColumn &AddColumn(const ReportColumn &column);
    void ClearColumns();
    const std::vector<ReportColumn> &columns() const { return m_columns; }
    ReportColumn *findColumn(int itemIndex);
    // The visible column at a model column, and back.
    const ReportColumn *shownColumn(int modelColumn) const;
    int modelColumnOf(int itemIndex) const;
    void setFooter(int itemIndex, const QString &text);

    ReportRecord *AddRecord();
    void ClearRecords();
    int recordCount() const { return int(m_records.size()); }
    ReportRecord *record(int index) const { return m_records[size_t(index)].get(); }

    // Group the shown records by the values of the item at this index (-1: no grouping).
    void setGroupColumn(int itemIndex);
    int groupColumn() const { return m_groupColumn; }

    // Shows the records as they are now: visibility, groups, columns.
    void Populate();

    QModelIndex indexOf(const ReportRecord *record, int column = 0) const;
    ReportRecord *recordAt(const QModelIndex &index) const;
    const ReportItem *itemAt(const QModelIndex &index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void footersChanged();

private:
    void rebuildShownColumns();
    int childRows(const ReportRecord *row) const;
    ReportRecord *childRow(const ReportRecord *row, int index) const;

    std::vector<ReportColumn> m_columns;
    std::vector<int> m_shown; // model column -> index into m_columns
    std::vector<std::unique_ptr<ReportRecord>> m_records;
    std::vector<std::unique_ptr<ReportRecord>> m_groups;
    std::vector<ReportRecord *> m_rows; // top-level rows as shown
    int m_groupColumn = -1;
    const ImageManager *m_icons = nullptr;
};

} // namespace zeltpc5
