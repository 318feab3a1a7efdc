#include "compare/comparemodel.h"

#include "pricing/pricecostfields.h"

#include "common/conversions.h"
#include "pricing/itemfields.h"
#include "xml/xmlaccess.h"

#include <algorithm>
#include <initializer_list>

namespace zeltpc5 {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Options examined for a tooltip; the rest are summed up as ". . .".
constexpr int MaxDetailOptions = 17;

// The first non-empty value among the named options.
QString FirstOptionValue(const XmlDocument &document, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QString value = FindOptionValue(document, QString::fromLatin1(name));
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

TaskPanelItem Text(int id, const QString &caption)
{
    return {id, caption, TaskItemKind::Text, -1};
}

TaskPanelItem Link(int id, const QString &caption, int icon)
{
    return {id, caption, TaskItemKind::Link, icon};
}

} // namespace

CompareModel::CompareModel(const LineStore &lines, HostServices host, QLocale locale)
    : m_lines(&lines), m_host(std::move(host)),
      m_locale(std::move(locale)), m_columns{CompareColumn{0, {CompareCell{}}}}
{}

void CompareModel::LoadOriginalColumn()
{
    const int count = m_lines->CountLines();
    CompareColumn &column = m_columns.back();
    // Set even without lines, so that AddColumn never takes the original for an unused column.
    column.ReportColumnIndex = FirstCompareItemIndex;
    column.Cells.assign(size_t(count), CompareCell{});
    for (int i = 0; i < count; ++i) {
        const LineRecord &line = *m_lines->record(i);
        CompareCell &cell = column.Cells[size_t(i)];
        cell.ProductID = line.OriginalProductID;
        cell.Style = line.OriginalStyle;
        cell.ItemXML = line.OriginalItemXML;
        cell.PriceCostXML = line.OriginalPriceCostXML;
        cell.UniqueID = line.UniqueID;
        cell.LineIndex = i;
        cell.Chosen = true;
    }
}

AddColumnResult CompareModel::AddColumn()
{
    if (int(m_columns.size()) >= MaxColumns)
        return {false, QStringLiteral("You cannot add any more columns.")};
    if (m_columns.back().ReportColumnIndex >= 1)
        m_columns.push_back(CompareColumn{});
    const int position = int(m_columns.size()) - 1;
    CompareColumn &column = m_columns.back();
    const std::vector<CompareCell> *previous =
        position > 0 ? &m_columns[size_t(position - 1)].Cells : nullptr;
    const int count = m_lines->CountLines();
    column.ReportColumnIndex = FirstCompareItemIndex + position;
    column.Cells.assign(size_t(count), CompareCell{});
    for (int i = 0; previous && i < count && i < int(previous->size()); ++i) {
        // The item, not the marks: a new column starts unchosen and unselected.
        CompareCell &cell = column.Cells[size_t(i)];
        cell = (*previous)[size_t(i)];
        cell.LineIndex = 0;
        cell.Chosen = false;
        cell.Selected = false;
    }
    SelectColumn(position);
    return {true, QString()};
}

std::vector<CompareGridColumn> CompareModel::SetupGridColumns() const
{
    std::vector<CompareGridColumn> columns{
        {0, QStringLiteral("Line"), 40, false, Qt::AlignCenter, Qt::AlignCenter},
        {1, QStringLiteral("Qty"), 40, false, Qt::AlignCenter, Qt::AlignCenter},
        {2, QStringLiteral("Location"), 55, true, {}, {}},
    };
    for (size_t j = 0; j < m_columns.size(); ++j) {
        const QString caption =
            j == 0 ? QStringLiteral("Original") : QString(QChar(char16_t(64 + j)));
        columns.push_back(
            {m_columns[j].ReportColumnIndex, caption, 100, true, {}, Qt::AlignCenter});
    }
    return columns;
}

std::vector<CompareGridRow> CompareModel::FillGrid() const
{
    const int count = m_lines->CountLines();
    std::vector<CompareGridRow> rows;
    rows.reserve(size_t(count));
    m_used.clear();
    for (int i = 0; i < count; ++i) {
        const LineRecord &line = *m_lines->record(i);
        CompareGridRow row;
        row.line = QString::number(line.Line);
        row.quantity = line.Quantity;
        row.location = cellTexts(line.OriginalProductID, line.OriginalStyle, line.OriginalItemXML,
                                 line.OriginalPriceCostXML)
                           .location;
        for (const CompareColumn &column : m_columns) {
            if (i >= int(column.Cells.size()))
                break;
            const CompareCell &cell = column.Cells[size_t(i)];
            const CellTexts &texts = cellTexts(cell);
            CompareGridCell item;
            item.unitPrice = texts.unitPrice;
            item.text = cell.Chosen ? QStringLiteral("<TextBlock><Bold>") + texts.body +
                                          QStringLiteral("</Bold></TextBlock>")
                                    : QStringLiteral("<TextBlock>") + texts.body +
                                          QStringLiteral("</TextBlock>");
            item.tooltip = texts.details;
            item.chosen = cell.Chosen;
            item.selected = cell.Selected;
            row.cells.push_back(std::move(item));
        }
        rows.push_back(std::move(row));
    }
    // What this rebuild did not use goes: cells replaced or removed since.
    m_texts.swap(m_used);
    m_used.clear();
    return rows;
}

const CompareModel::CellTexts &CompareModel::cellTexts(const CompareCell &cell) const
{
    return cellTexts(cell.ProductID, cell.Style, cell.ItemXML, cell.PriceCostXML);
}

const CompareModel::CellTexts &CompareModel::cellTexts(qint32 productID, const QString &style,
                                                       const QString &itemXml,
                                                       const QString &priceCostXml) const
{
    const CellKey key{productID, TextRef(style), TextRef(itemXml), TextRef(priceCostXml)};
    if (const auto used = m_used.constFind(key); used != m_used.cend())
        return *used;
    if (const auto kept = m_texts.constFind(key); kept != m_texts.cend())
        return *m_used.insert(key, *kept);
    CellTexts texts{style, itemXml, priceCostXml, {}, {}, {}, UnitPrice(priceCostXml)};
    texts.body = cellBody(productID, style, texts.unitPrice);
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    const XmlDocument *item = document ? &*document : nullptr;
    texts.details = details(productName(productID), style, item);
    texts.location = locationText(item);
    return *m_used.insert(key, texts);
}

QString CompareModel::productName(qint32 productID) const
{
    if (const auto found = m_productNames.constFind(productID); found != m_productNames.cend())
        return *found;
    return *m_productNames.insert(productID, m_host.GetProductNameFromID(productID));
}

QString CompareModel::locationText(const XmlDocument *itemDocument) const
{
    QString location;
    QString dimensions;
    if (itemDocument) {
        location = GetRoomLocation(*itemDocument);
        dimensions = GetDimensionText(*itemDocument);
    }
    if (location.isEmpty())
        location = QStringLiteral("No Location Specified");
    if (dimensions.isEmpty())
        dimensions = QStringLiteral("No Dimensions");
    // Joined rather than templated: a location holding "{1}" must stay as typed.
    return location + CrLf + dimensions + CrLf;
}

std::vector<CompareColumnTotal> CompareModel::ShowColumnTotals() const
{
    const int count = m_lines->CountLines();
    std::vector<CompareColumnTotal> totals;
    totals.reserve(m_columns.size());
    for (size_t j = 0; j < m_columns.size(); ++j) {
        const CompareColumn &column = m_columns[j];
        std::optional<Currency> total = Currency();
        for (int r = 0; total && r < count && r < int(column.Cells.size()); ++r) {
            const std::optional<Currency> amount =
                cellTexts(column.Cells[size_t(r)])
                    .unitPrice.multiply(double(m_lines->record(r)->Quantity));
            total = amount ? total->add(*amount) : std::nullopt;
        }
        totals.push_back({FirstCompareItemIndex + int(j), total,
                          total ? FormatCurrency(*total, m_locale) : QString()});
    }
    return totals;
}

Currency CompareModel::UnitPrice(const QString &priceCostXml) const
{
    return Currency::fromDouble(ReadUnitPrice(priceCostXml, m_locale)).value_or(Currency());
}

QString CompareModel::BuildCellText(qint32 productID, const QString &style, Currency unitPrice,
                                    bool chosen) const
{
    const QString body = cellBody(productID, style, unitPrice);
    return chosen
               ? QStringLiteral("<TextBlock><Bold>") + body + QStringLiteral("</Bold></TextBlock>")
               : QStringLiteral("<TextBlock>") + body + QStringLiteral("</TextBlock>");
}

QString CompareModel::cellBody(qint32 productID, const QString &style, Currency unitPrice) const
{
    // Joined rather than templated, so that braces in a name are not filled as placeholders.
    return EscapeMarkup(productName(productID)) + QStringLiteral("<LineBreak/>") +
           EscapeMarkup(style) + QStringLiteral("<LineBreak/>") +
           EscapeMarkup(FormatCurrency(unitPrice, m_locale));
}

QString CompareModel::BuildCellDetails(qint32 productID, const QString &style,
                                       const QString &itemXml) const
{
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    return details(productName(productID), style, document ? &*document : nullptr);
}

QString CompareModel::details(const QString &name, const QString &style,
                              const XmlDocument *itemDocument) const
{
    QString text = name + CrLf + style + CrLf;
    if (!itemDocument)
        return text;
    const QList<XmlNode> options =
        itemDocument->documentElement().selectNodes(QStringLiteral("//ItemData/Options/Option"));
    int examined = 0;
    for (const XmlNode &option : options) {
        const QString value = GetXMLValue(QStringLiteral("Value"), option);
        if (GetXMLInteger(QStringLiteral("Visible"), option, 0, m_locale) != 0 &&
            !value.isEmpty()) {
            if (!text.isEmpty())
                text += CrLf;
            text += GetXMLValue(QStringLiteral("Name"), option) + QStringLiteral(" / ") + value;
        }
        // Seventeen options at most, visible or not; with more than sixteen the tooltip says
        // that it stops there.
        if (++examined >= MaxDetailOptions && options.size() >= MaxDetailOptions) {
            text += CrLf + QStringLiteral(". . .");
            break;
        }
    }
    return text;
}

void CompareModel::ToggleCellSelection(int column, int row)
{
    if (column <= 0 || column >= int(m_columns.size()) || row < 0 ||
        row >= int(m_columns[size_t(column)].Cells.size()))
        return;
    CompareCell &cell = m_columns[size_t(column)].Cells[size_t(row)];
    cell.Selected = !cell.Selected;
}

void CompareModel::ClearCellSelection()
{
    for (CompareColumn &column : m_columns)
        for (CompareCell &cell : column.Cells)
            cell.Selected = false;
}

void CompareModel::SelectColumn(int column)
{
    ClearCellSelection();
    if (column < 0 || column >= int(m_columns.size()))
        return;
    for (CompareCell &cell : m_columns[size_t(column)].Cells)
        cell.Selected = true;
}

CellPosition CompareModel::FirstSelectedCell() const
{
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const std::vector<CompareCell> &cells = m_columns[c].Cells;
        for (size_t r = 0; r < cells.size(); ++r)
            if (cells[r].Selected)
                return {int(r), int(c)};
    }
    return {};
}

bool CompareModel::AnyCellSelected() const
{
    return FirstSelectedCell().isValid();
}

int CompareModel::CountSelectedCells() const
{
    int count = 0;
    for (const CompareColumn &column : m_columns)
        count += int(std::count_if(column.Cells.begin(), column.Cells.end(),
                                   [](const CompareCell &cell) { return cell.Selected; }));
    return count;
}

bool CompareModel::RowHasTwoSelectedCells() const
{
    std::vector<bool> seen(size_t(m_lines->CountLines()), false);
    for (const CompareColumn &column : m_columns) {
        for (size_t r = 0; r < column.Cells.size(); ++r) {
            if (!column.Cells[r].Selected)
                continue;
            if (r >= seen.size())
                seen.resize(r + 1, false);
            if (seen[r])
                return true;
            seen[r] = true;
        }
    }
    return false;
}

int CompareModel::CountRemovableColumns() const
{
    const int upper = int(m_columns.size()) - 1;
    if (upper < 2)
        return 0;
    // The original is left out: it holds every line's own item and is never removed.
    const int count =
        int(std::count_if(m_columns.begin() + 1, m_columns.end(), [](const CompareColumn &column) {
            return std::any_of(column.Cells.begin(), column.Cells.end(),
                               [](const CompareCell &cell) { return cell.Selected; });
        }));
    return count < upper ? count : 0;
}

std::vector<TaskPanelGroup> CompareModel::UpdateTaskPanelContent() const
{
    const QString chooseText = QStringLiteral("Choose a command to perform on the selected cells.");
    const int selected = CountSelectedCells();
    if (selected == 0) {
        return {{1,
                 QStringLiteral("Getting Started"),
                 {Text(100, QStringLiteral("You have no cells selected. Select a cell to make "
                                           "changes or click Add a Column to compare other "
                                           "products.")),
                  Link(101, QStringLiteral("Add a Column"), 302)}}};
    }
    if (selected > 1 && RowHasTwoSelectedCells()) {
        return {{1,
                 QStringLiteral("Commands"),
                 {Text(0, QStringLiteral("To perform commands on selected cells, only select one "
                                         "cell per row."))}}};
    }
    TaskPanelGroup commands{1, QStringLiteral("Commands"), {Text(0, chooseText)}};
    commands.items.push_back(
        Link(204, QStringLiteral("Replace the Product, Style and Options"), 202));
    commands.items.push_back(Link(201, QStringLiteral("Replace the Product"), 200));
    commands.items.push_back(Link(202, QStringLiteral("Replace the Style"), 201));
    if (selected == 1)
        commands.items.push_back(Link(203, QStringLiteral("Edit Item"), 202));
    commands.items.push_back(Link(205, QStringLiteral("Choose selected cells"), 201));

    TaskPanelGroup other{2, QStringLiteral("Other Commands"), {}};
    other.items.push_back(Link(101, QStringLiteral("Add another Column"), 302));
    if (selected == 1)
        other.items.push_back(Link(105, QStringLiteral("Select this Column"), 301));
    if (const int removable = CountRemovableColumns(); removable > 0) {
        other.items.push_back(Link(104,
                                   removable >= 2 ? QStringLiteral("Remove selected Columns")
                                                  : QStringLiteral("Remove selected Column"),
                                   303));
    }
    return {std::move(commands), std::move(other)};
}

QString FindOptionValue(const XmlDocument &itemDocument, const QString &name)
{
    // The walk answers exactly what OptionSelectionXPath(name, IgnoreCase) selects.
    const XmlNode option =
        SelectOptionByName(itemDocument.documentElement(), name, OptionNameMatch::IgnoreCase);
    return option.isNull() ? QString() : GetXMLValue(QStringLiteral("Value"), option);
}

QString GetRoomLocation(const XmlDocument &itemDocument)
{
    return FindOptionValue(itemDocument, QStringLiteral("Room Location"));
}

QString GetRoomLocation(const QString &itemXml)
{
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    return document ? GetRoomLocation(*document) : QString();
}

QString GetDimensionText(const XmlDocument &itemDocument)
{
    const QString overall = FindOptionValue(itemDocument, QStringLiteral("Overall Width"));
    const QString left = FirstOptionValue(itemDocument, {"Left Blind", "Left Shade", "Left Panel"});
    const QString right =
        FirstOptionValue(itemDocument, {"Right Blind", "Right Shade", "Right Panel"});
    const QString center =
        FirstOptionValue(itemDocument, {"Center Blind", "Center Shade", "Center Panel"});
    const QString width = FindOptionValue(itemDocument, QStringLiteral("Width"));
    const QString height = FirstOptionValue(itemDocument, {"Height", "Length"});
    const QString by = QStringLiteral(" x ");
    const QString comma = QStringLiteral(",");

    // The overall width only switches to the split form; its value is never shown.
    if (overall.isEmpty())
        return !width.isEmpty() && !height.isEmpty() ? width + by + height : QString();
    if (left.isEmpty() || right.isEmpty())
        return QString();
    if (center.isEmpty())
        return left + comma + right + by + height;
    return left + comma + center + comma + right + by + height;
}

QString GetDimensionText(const QString &itemXml)
{
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    return document ? GetDimensionText(*document) : QString();
}

} // namespace zeltpc5
