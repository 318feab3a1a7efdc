// The compare window's model: the original configuration of every line and up to six
// alternatives beside it, the selection over their cells, and everything the window shows
// (grid columns, rows, footers, task panel) as plain data.
#pragma once

#include "common/currency.h"
#include "engine/hostservices.h"
#include "engine/linestore.h"
#include "ui/taskpanelcontent.h"
#include "xml/xmldocument.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <Qt>

#include <optional>
#include <vector>

namespace zeltpc5 {

// One complete item for one line in one column.
struct CompareCell
{
    qint32 LineIndex = 0; // the engine line index; filled in the original column only
    qint32 ProductID = 0;
    QString Style;
    QString ItemXML;
    QString PriceCostXML;
    QString UniqueID; // the line's, the same in every column
    bool Chosen = false;
    bool Selected = false;
};

struct CompareColumn
{
    qint32 ReportColumnIndex = 0;   // the grid column's item index: 3 + the column's position
    std::vector<CompareCell> Cells; // index = line index
};

// A grid column as SetupGridColumns adds it.
struct CompareGridColumn
{
    int itemIndex = 0;
    QString caption;
    int width = 0;
    bool resizable = false;
    Qt::Alignment alignment;       // empty: the grid's default
    Qt::Alignment headerAlignment; // empty: the grid's default
};

struct CompareGridCell
{
    QString text;    // BuildCellText markup
    QString tooltip; // BuildCellDetails plain text
    Currency unitPrice;
    bool chosen = false;
    bool selected = false;
};

// One grid record as FillGrid adds it: line i shows cell i of every column.
struct CompareGridRow
{
    QString line;
    qint16 quantity = 0;
    QString location; // room location and dimensions, each followed by CR LF
    std::vector<CompareGridCell> cells;
};

// The footer of the grid column showing one compare column.
struct CompareColumnTotal
{
    int itemIndex = 0;
    std::optional<Currency> total; // nothing when the sum leaves the currency range
    QString text;                  // empty when there is no total
};

struct AddColumnResult
{
    bool added = false;
    QString message; // to show (exclamation icon, OK) when the column was refused
};

struct CellPosition
{
    int row = -1;
    int column = -1; // position in Columns
    bool isValid() const { return row >= 0 && column >= 0; }
};

class CompareModel
{
public:
    // Seven columns: the original and "A" to "F".
    static constexpr int MaxColumns = 7;
    // Item indexes of the grid columns before the first compare column.
    static constexpr int FirstCompareItemIndex = 3;

    // Starts as the window does at load: one unused column with one empty cell. The store and
    // the host must outlive the model.
    CompareModel(const LineStore &lines, HostServices host, QLocale locale = QLocale());

    const LineStore &lines() const { return *m_lines; }
    const std::vector<CompareColumn> &Columns() const { return m_columns; }
    // For the commands that rearrange columns and mark chosen cells.
    std::vector<CompareColumn> &Columns() { return m_columns; }

    // The line store's lines as the first column, every cell chosen.
    void LoadOriginalColumn();
    // A copy of the last column appended and selected; refused once seven columns exist.
    AddColumnResult AddColumn();

    std::vector<CompareGridColumn> SetupGridColumns() const;
    std::vector<CompareGridRow> FillGrid() const;
    std::vector<CompareColumnTotal> ShowColumnTotals() const;

    // The cell's markup: product name, style and unit price, bold when chosen.
    QString BuildCellText(qint32 productID, const QString &style, Currency unitPrice,
                          bool chosen) const;
    // The cell's tooltip: product name, style and the visible options of the first 17.
    QString BuildCellDetails(qint32 productID, const QString &style, const QString &itemXml) const;

    // Cells of the original column cannot be toggled.
    void ToggleCellSelection(int column, int row);
    void ClearCellSelection();
    // Only the cells of that column selected; a position outside Columns selects nothing.
    void SelectColumn(int column);
    // Columns in order, cells in order within each.
    CellPosition FirstSelectedCell() const;
    bool AnyCellSelected() const;
    int CountSelectedCells() const;
    bool RowHasTwoSelectedCells() const;
    // The alternatives that hold a selected cell, or 0 when removing them would leave no
    // alternative. The original column is never removable.
    int CountRemovableColumns() const;

    // The task panel for the current selection.
    std::vector<TaskPanelGroup> UpdateTaskPanelContent() const;

    // The unit price of a price/cost document; 0 when it cannot be read.
    Currency UnitPrice(const QString &priceCostXml) const;

private:
    // What the grid shows of one configuration. Every rebuild of the grid needs these for
    // every cell, and most cells are copies of others, so they are kept by the cell's
    // product, style and documents. The key is where the texts' characters are: an entry
    // holds the texts themselves, so those characters stay where they are and unchanged for
    // as long as the entry exists (a change to a shared text copies it elsewhere). Equal texts
    // held apart only cost a second entry.
    struct TextRef
    {
        const QChar *data = nullptr;
        qsizetype size = 0;
        explicit TextRef(const QString &text) : data(text.constData()), size(text.size()) {}
        friend bool operator==(const TextRef &, const TextRef &) = default;
    };
    struct CellKey
    {
        qint32 productID = 0;
        TextRef style, itemXml, priceCostXml;
        friend bool operator==(const CellKey &, const CellKey &) = default;
        friend size_t qHash(const CellKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.productID, key.style.data, key.style.size, key.itemXml.data,
                              key.itemXml.size, key.priceCostXml.data, key.priceCostXml.size);
        }
    };
    struct CellTexts
    {
        QString style, itemXml, priceCostXml; // what the key points into, kept in place
        QString body;     // name, style and unit price as markup, without the TextBlock
        QString details;  // the tooltip
        QString location; // room location and dimensions, each followed by CR LF
        Currency unitPrice;
    };
    const CellTexts &cellTexts(const CompareCell &cell) const;
    const CellTexts &cellTexts(qint32 productID, const QString &style, const QString &itemXml,
                               const QString &priceCostXml) const;
    QString cellBody(qint32 productID, const QString &style, Currency unitPrice) const;
    QString productName(qint32 productID) const;
    QString locationText(const XmlDocument *itemDocument) const;
    QString details(const QString &name, const QString &style,
                    const XmlDocument *itemDocument) const;

    const LineStore *m_lines;
    HostServices m_host;
    QLocale m_locale;
    std::vector<CompareColumn> m_columns;
    // Kept from one rebuild to the next; each rebuild keeps only what it used.
    mutable QHash<CellKey, CellTexts> m_texts;
    mutable QHash<CellKey, CellTexts> m_used;
    // The host's names do not change while the window is open.
    mutable QHash<qint32, QString> m_productNames;
};

// The Value of the first option whose name equals the given one ignoring case; empty when
// there is none.
QString FindOptionValue(const XmlDocument &itemDocument, const QString &name);
// The "Room Location" option of an item; empty when the item does not parse.
QString GetRoomLocation(const QString &itemXml);
QString GetRoomLocation(const XmlDocument &itemDocument);
// "width x height", "left,right x height" or "left,center,right x height", values as stored;
// empty when the item does not parse or the values needed are missing.
QString GetDimensionText(const QString &itemXml);
QString GetDimensionText(const XmlDocument &itemDocument);

} // namespace zeltpc5
