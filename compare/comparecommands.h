// The compare window's commands over its model: new configurations for the selected cells
// from the host's item dialogs or from a bulk change run, the chosen configuration per line,
// removing columns, and the apply step that hands the chosen configurations to the engine.
#pragma once

#include "compare/comparemodel.h"

#include <zeltpc5/dispatch.h>

#include <functional>

namespace zeltpc5 {

class XmlNode;

// What the window has to show again after a command.
enum class CompareRebuild {
    Nothing,
    Rows, // FillGrid: the cells' texts (chosen marks) changed
    Grid, // columns and rows: the column list or the cells' items changed
};

// Where the commands reach outside the model.
struct CompareServices
{
    HostServices host; // the item dialogs
    // The Library that owns the compare engine: each replace command takes a fresh
    // ReplaceEngine from it (late bound, as any host reaches it).
    DispatchPtr owner;
};

class CompareCommands
{
public:
    CompareCommands(CompareModel &model, CompareServices services);

    // The host's product and style dialog for the first selected cell, then that product and
    // style for every selected cell through a change run and its review. When the dialog, the
    // run or the review is cancelled, every cell stays as it was.
    CompareRebuild ReplaceProductOrStyle(bool styleOnly);
    // The change run and review for the selected cells; true when the results were copied.
    // A product that is not positive is taken, with its vendor and style, from the first
    // selected cell.
    bool ApplyProductStyleToSelection(qint32 vendorID, qint32 productID, const QString &style);
    // The host's item editor over a copy of the first selected cell (the template); its
    // product, style and transferable options then go to every selected cell through a change
    // run and its review.
    CompareRebuild ReplaceProductStyleAndOptions();
    // The host's item editor over the first selected cell itself.
    CompareRebuild EditItem();

    // The configuration of one line: the cell at the hit row and grid column (item index);
    // a hit outside the compare columns leaves the line with no chosen cell.
    CompareRebuild ChooseConfiguration(int row, int itemIndex);
    // Every line's cell in the hit grid column.
    CompareRebuild ChooseColumn(int itemIndex);
    // Every cell chosen exactly when it is selected.
    CompareRebuild ChooseSelectedCells();
    // Removes the alternatives holding a selected cell; a chosen mark in a removed column
    // passes to the column kept last before it. With check, nothing happens unless
    // CountRemovableColumns allows it. The selection ends up empty.
    CompareRebuild RemoveSelectedColumns(bool check);

    // OK's apply step: every chosen cell's product, style and documents to its line, columns in
    // order, so a later column's mark would win.
    using LineDataWriter =
        std::function<void(qint16 index, const QString &fieldName, const QString &value)>;
    void Apply(const LineDataWriter &setLineData) const;

private:
    struct ReplaceRun;
    // A fresh ReplaceEngine holding the selected cells' lines as the host handed them in, and
    // the "|"-joined identifiers. onFirst sees the first selected cell.
    ReplaceRun fillReplaceEngine(const std::function<void(const CompareCell &)> &onFirst) const;
    // The run's new documents into every selected cell of the same line; the cells that got
    // them.
    std::vector<CompareCell *> copyResultsBack(const ReplaceRun &run, qint32 productID,
                                               const QString &style);

    CompareModel &m_model;
    CompareServices m_services;
};

// Options that a template passes to other lines: not the dimensions, location, mount and
// remarks, which stay as each line has them.
bool IsTransferableOption(const XmlNode &option);

// The transferable options of an item document, names and values each joined by "|" as the
// change run takes them; both empty when the document does not parse.
struct OptionLists
{
    QString names;
    QString values;
};
OptionLists TransferableOptions(const QString &itemXml);

} // namespace zeltpc5
