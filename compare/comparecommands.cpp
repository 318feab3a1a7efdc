#include "compare/comparecommands.h"

#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/variant.h>

#include <algorithm>

namespace zeltpc5 {

namespace {

qint32 VendorOf(const QString &priceCostXml)
{
    // A vendor that does not read as a number stays 0, and the run refuses it.
    return ToInt32(Variant(GetPriceCostValue(QStringLiteral("VendorID"), priceCostXml)))
        .value_or(0);
}

QString TextResult(const CallResult &result)
{
    return result.ok() ? ToText(result.value).value_or(QString()) : QString();
}

} // namespace

// A ReplaceEngine of the owner, filled with the lines of the selected cells.
struct CompareCommands::ReplaceRun
{
    DispatchPtr engine;
    QString ids;

    bool isValid() const { return bool(engine); }
    bool showReview() const
    {
        const CallResult review = Call(engine, u"ShowReplaceReview");
        return review.ok() && ToBool(review.value).value_or(false);
    }
    bool succeeded(const CallResult &run) const
    {
        return run.ok() && ToBool(run.value).value_or(false) && showReview();
    }
};

CompareCommands::CompareCommands(CompareModel &model, CompareServices services)
    : m_model(model), m_services(std::move(services))
{}

CompareCommands::ReplaceRun
CompareCommands::fillReplaceEngine(const std::function<void(const CompareCell &)> &onFirst) const
{
    ReplaceRun run;
    const CallResult created = Call(m_services.owner, u"CreateReplaceEngine");
    if (!created.ok())
        return run;
    run.engine = ToObject(created.value).value_or(DispatchPtr());
    if (!run.engine)
        return run;
    Call(run.engine, u"Clear");
    const LineStore &lines = m_model.lines();
    bool first = true;
    for (const CompareColumn &column : m_model.Columns()) {
        for (size_t r = 0; r < column.Cells.size(); ++r) {
            const CompareCell &cell = column.Cells[r];
            if (!cell.Selected || int(r) >= lines.CountLines())
                continue;
            if (first && onFirst)
                onFirst(cell);
            first = false;
            // Every replacement starts from the line's own item, whichever column it is in.
            const LineRecord &line = *lines.record(int(r));
            Call(run.engine, u"AddLine",
                 {MakeInt16(line.Line), MakeInt16(line.Quantity), MakeInt32(line.OriginalProductID),
                  line.OriginalStyle, line.OriginalItemXML, line.OriginalPriceCostXML,
                  line.UniqueID});
            if (!run.ids.isEmpty())
                run.ids += QLatin1Char('|');
            run.ids += line.UniqueID;
        }
    }
    return run;
}

std::vector<CompareCell *> CompareCommands::copyResultsBack(const ReplaceRun &run, qint32 productID,
                                                            const QString &style)
{
    struct Result
    {
        QString uniqueID, itemXml, priceCostXml;
    };
    std::vector<Result> results;
    const CallResult count = Call(run.engine, u"CountLines");
    const int lines = count.ok() ? ToInt16(count.value).value_or(0) : 0;
    for (int k = 0; k < lines; ++k) {
        auto field = [&](const char *name) {
            return TextResult(Call(run.engine, u"GetLineData",
                                   {MakeInt16(qint16(k)), QString::fromLatin1(name)}));
        };
        results.push_back({field("uniqueid"), field("newitemxml"), field("newpricecostxml")});
    }
    std::vector<CompareCell *> updated;
    for (CompareColumn &column : m_model.Columns()) {
        for (CompareCell &cell : column.Cells) {
            if (!cell.Selected)
                continue;
            for (const Result &result : results) {
                if (result.uniqueID != cell.UniqueID)
                    continue;
                cell.ProductID = productID;
                cell.Style = style;
                cell.ItemXML = result.itemXml;
                cell.PriceCostXML = result.priceCostXml;
                if (updated.empty() || updated.back() != &cell)
                    updated.push_back(&cell);
            }
        }
    }
    return updated;
}

CompareRebuild CompareCommands::ReplaceProductOrStyle(bool styleOnly)
{
    const CellPosition first = m_model.FirstSelectedCell();
    if (!first.isValid())
        return CompareRebuild::Nothing;
    // Kept so that a cancelled dialog, run or review leaves every cell as it was: the dialog's
    // choice goes into the first selected cell before the run, and without the copy that cell
    // would show the new product with the old product's documents and price.
    const std::vector<CompareColumn> before = m_model.Columns();
    CompareCell &cell = m_model.Columns()[size_t(first.column)].Cells[size_t(first.row)];
    qint32 vendorID = VendorOf(cell.PriceCostXML);
    qint32 productID = cell.ProductID;
    QString style = cell.Style;
    if (!m_services.host.ShowSelectProductStyle(vendorID, productID, style, styleOnly))
        return CompareRebuild::Nothing;
    cell.ProductID = productID;
    cell.Style = style;
    if (!ApplyProductStyleToSelection(vendorID, productID, style))
        m_model.Columns() = before;
    return CompareRebuild::Grid;
}

bool CompareCommands::ApplyProductStyleToSelection(qint32 vendorID, qint32 productID,
                                                   const QString &style)
{
    QString newStyle = style;
    const ReplaceRun run = fillReplaceEngine([&](const CompareCell &cell) {
        if (productID > 0)
            return;
        vendorID = VendorOf(cell.PriceCostXML);
        productID = cell.ProductID;
        newStyle = cell.Style;
    });
    if (!run.isValid())
        return false;
    const CallResult changed = Call(run.engine, u"ShowChangeProductStyle",
                                    {MakeInt32(vendorID), MakeInt32(productID), newStyle, run.ids});
    if (!run.succeeded(changed))
        return false;
    copyResultsBack(run, productID, newStyle);
    return true;
}

CompareRebuild CompareCommands::ReplaceProductStyleAndOptions()
{
    if (!m_model.AnyCellSelected())
        return CompareRebuild::Nothing;
    CompareCell templateCell;
    qint32 vendorID = 0;
    const ReplaceRun run = fillReplaceEngine([&](const CompareCell &cell) {
        templateCell = cell;
        vendorID = VendorOf(cell.PriceCostXML);
    });
    if (!run.isValid())
        return CompareRebuild::Nothing;
    if (!m_services.host.ShowEditProductItem(templateCell.ProductID, templateCell.Style,
                                             templateCell.ItemXML, templateCell.PriceCostXML, 54))
        return CompareRebuild::Grid;

    const OptionLists options = TransferableOptions(templateCell.ItemXML);
    const CallResult changed = Call(run.engine, u"ShowChangeProductStyleAndOptions",
                                    {MakeInt32(vendorID), MakeInt32(templateCell.ProductID),
                                     templateCell.Style, options.names, options.values, run.ids});
    if (run.succeeded(changed)) {
        const QString newVendor =
            GetPriceCostValue(QStringLiteral("VendorID"), templateCell.PriceCostXML);
        for (CompareCell *cell : copyResultsBack(run, templateCell.ProductID, templateCell.Style)) {
            const QString withVendor =
                SetPriceCostValue(QStringLiteral("VendorID"), newVendor, cell->PriceCostXML);
            // A document the field cannot be set in is kept as the run made it.
            if (!withVendor.isEmpty())
                cell->PriceCostXML = withVendor;
        }
    }
    return CompareRebuild::Grid;
}

CompareRebuild CompareCommands::EditItem()
{
    const CellPosition first = m_model.FirstSelectedCell();
    if (!first.isValid())
        return CompareRebuild::Nothing;
    CompareCell &cell = m_model.Columns()[size_t(first.column)].Cells[size_t(first.row)];
    // The editor works on the cell itself: OK writes the edited item into it.
    return m_services.host.ShowEditProductItem(cell.ProductID, cell.Style, cell.ItemXML,
                                               cell.PriceCostXML, 0)
               ? CompareRebuild::Grid
               : CompareRebuild::Nothing;
}

CompareRebuild CompareCommands::ChooseConfiguration(int row, int itemIndex)
{
    std::vector<CompareColumn> &columns = m_model.Columns();
    if (row < 0)
        return CompareRebuild::Nothing;
    for (CompareColumn &column : columns)
        if (size_t(row) < column.Cells.size())
            column.Cells[size_t(row)].Chosen = false;
    const int position = itemIndex - CompareModel::FirstCompareItemIndex;
    if (position >= 0 && position < int(columns.size()) &&
        size_t(row) < columns[size_t(position)].Cells.size())
        columns[size_t(position)].Cells[size_t(row)].Chosen = true;
    return CompareRebuild::Rows;
}

CompareRebuild CompareCommands::ChooseColumn(int itemIndex)
{
    std::vector<CompareColumn> &columns = m_model.Columns();
    const int position = itemIndex - CompareModel::FirstCompareItemIndex;
    // Outside the compare columns nothing is chosen instead, so nothing is unchosen either.
    if (position < 0 || position >= int(columns.size()))
        return CompareRebuild::Nothing;
    for (size_t j = 0; j < columns.size(); ++j)
        for (CompareCell &cell : columns[j].Cells)
            cell.Chosen = int(j) == position;
    return CompareRebuild::Rows;
}

CompareRebuild CompareCommands::ChooseSelectedCells()
{
    for (CompareColumn &column : m_model.Columns())
        for (CompareCell &cell : column.Cells)
            cell.Chosen = cell.Selected;
    return CompareRebuild::Rows;
}

CompareRebuild CompareCommands::RemoveSelectedColumns(bool check)
{
    if (check && m_model.CountRemovableColumns() < 1)
        return CompareRebuild::Nothing;
    const std::vector<CompareColumn> &columns = m_model.Columns();
    std::vector<CompareColumn> kept;
    kept.reserve(columns.size());
    for (size_t j = 0; j < columns.size(); ++j) {
        const CompareColumn &column = columns[j];
        // The original always stays: it holds the lines as the host handed them.
        const bool remove =
            j > 0 && std::any_of(column.Cells.begin(), column.Cells.end(),
                                 [](const CompareCell &cell) { return cell.Selected; });
        if (!remove) {
            kept.push_back(column);
            kept.back().ReportColumnIndex =
                CompareModel::FirstCompareItemIndex + int(kept.size()) - 1;
            continue;
        }
        std::vector<CompareCell> &into = kept.back().Cells;
        for (size_t r = 0; r < column.Cells.size() && r < into.size(); ++r)
            if (column.Cells[r].Chosen)
                into[r].Chosen = true;
    }
    if (kept.size() == columns.size())
        return CompareRebuild::Nothing;
    m_model.Columns() = std::move(kept);
    m_model.ClearCellSelection();
    return CompareRebuild::Grid;
}

void CompareCommands::Apply(const LineDataWriter &setLineData) const
{
    const int count = m_model.lines().CountLines();
    for (int i = 0; i < count; ++i) {
        for (const CompareColumn &column : m_model.Columns()) {
            if (size_t(i) >= column.Cells.size() || !column.Cells[size_t(i)].Chosen)
                continue;
            const CompareCell &cell = column.Cells[size_t(i)];
            const qint16 index = qint16(i);
            setLineData(index, QStringLiteral("newproductid"), QString::number(cell.ProductID));
            setLineData(index, QStringLiteral("newstyle"), cell.Style);
            setLineData(index, QStringLiteral("newitemxml"), cell.ItemXML);
            setLineData(index, QStringLiteral("newpricecostxml"), cell.PriceCostXML);
        }
    }
}

bool IsTransferableOption(const XmlNode &option)
{
    if (GetXMLInteger(QStringLiteral("IsDimension"), option, 0) != 0)
        return false;
    static const QStringList kept{QStringLiteral("width"), QStringLiteral("height"),
                                  QStringLiteral("room location"), QStringLiteral("mount"),
                                  QStringLiteral("remarks")};
    return !kept.contains(GetXMLValue(QStringLiteral("Name"), option).toLower());
}

OptionLists TransferableOptions(const QString &itemXml)
{
    QStringList names;
    QStringList values;
    if (const std::optional<XmlDocument> document = LoadXMLDocument(itemXml)) {
        // Relative to the document node, so only an ItemData root counts.
        for (const XmlNode &option :
             document->selectNodes(QStringLiteral("ItemData/Options/Option"))) {
            if (!IsTransferableOption(option))
                continue;
            names << GetXMLValue(QStringLiteral("Name"), option);
            values << GetXMLValue(QStringLiteral("Value"), option);
        }
    }
    return {names.join(QLatin1Char('|')), values.join(QLatin1Char('|'))};
}

} // namespace zeltpc5
