// The report grid the review and compare windows show: a tree view over a ReportModel with
// a delegate that renders TextBlock markup, status icons from an ImageManager, column
// footers, group rows, row selection in the order the user made it, and hit testing.
// Windows configure it and fill its records; they never touch the view's internals.
#pragma once

#include "ui/reportmodel.h"

#include <QHash>
#include <QPersistentModelIndex>
#include <QWidget>

class QTreeView;
class QHeaderView;

namespace zeltpc5 {

class ImageManager;

// One shown row: a record's row or a group row.
struct ReportRow
{
    ReportRecord *record = nullptr; // the row's record; for a group row, the group's row
    bool groupRow = false;
};

struct ReportHit
{
    ReportRecord *record = nullptr;       // null: no row there
    const ReportColumn *column = nullptr; // null: no column there
    bool groupRow = false;
};

class ReportGrid : public QWidget
{
    Q_OBJECT
public:
    explicit ReportGrid(QWidget *parent = nullptr);
    ~ReportGrid() override;

    ReportModel *model() const { return m_model; }
    QTreeView *view() const { return m_view; }

    void setIcons(const ImageManager *icons);

    // Columns: the view takes width, resize mode and alignment from each.
    ReportColumn &AddColumn(const ReportColumn &column);
    void ClearColumns();
    // The column that takes the width left over when the grid grows (-1: none).
    void setStretchColumn(int itemIndex);
    // The column that shows the expand buttons and indents child rows (default: the first).
    void setTreeColumn(int itemIndex);
    void setFooter(int itemIndex, const QString &text);
    void setFootersVisible(bool visible);
    bool footersVisible() const;

    ReportRecord *AddRecord() { return m_model->AddRecord(); }
    void ClearRecords();
    void setGroupColumn(int itemIndex) { m_model->setGroupColumn(itemIndex); }
    // Shows the records as they are now, keeping each record's expanded state.
    void Populate();

    void setExpanded(ReportRecord *record, bool expanded);
    bool isExpanded(const ReportRecord *record) const;
    void ExpandAll();
    void CollapseAll();

    // The selected rows, in the order they were selected.
    QList<ReportRow> SelectedRows() const;
    // The record and column under a point of the grid's view port.
    ReportHit HitTest(const QPoint &viewportPos) const;

    // The page header printing puts above the grid.
    void setPrintHeader(const QString &title) { m_printHeader = title; }
    QString printHeader() const { return m_printHeader; }

Q_SIGNALS:
    void rowDoubleClicked(ReportRecord *record);

private:
    void applyColumnGeometry();
    void restoreExpansion();
    void trackSelection();

    ReportModel *m_model;
    QTreeView *m_view;
    class FooterBar *m_footer;
    QHash<QPersistentModelIndex, qint64> m_selectionOrder; // row -> when it was selected
    qint64 m_selectionCount = 0;
    int m_stretchColumn = -1;
    int m_treeColumn = -1;
    bool m_footersVisible = false;
    QString m_printHeader;
};

} // namespace zeltpc5
