#include "replace/changedescriptions.h"

#include "common/conversions.h"
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

namespace zeltpc5 {

namespace {

const QString ProductChanged =
    QStringLiteral("<TextBlock>The <Underline>product</Underline> changed from <Bold>{0}</Bold> to "
                   "<Bold>{1}</Bold></TextBlock>");
const QString StyleChanged =
    QStringLiteral("<TextBlock>The <Underline>style</Underline> changed from <Bold>{0}</Bold> to "
                   "<Bold>{1}</Bold></TextBlock>");
const QString OptionRemoved = QStringLiteral(
    "<TextBlock>The option <Underline>{0}</Underline> no longer exists.</TextBlock>");
const QString OptionChanged = QStringLiteral(
    "<TextBlock>The value for option <Underline>{0}</Underline> changed from <Bold>{1}</Bold> to "
    "<Bold>{2}</Bold></TextBlock>");
const QString PriceChanged =
    QStringLiteral("<TextBlock>The <Underline>price</Underline> changed from <Bold>{0}</Bold> to "
                   "<Bold>{1}</Bold></TextBlock>");

Currency unitPrice(const XmlNode &priceCost)
{
    return GetXMLCurrency(QStringLiteral("UnitPrice"),
                          FindChildNode(priceCost, QStringLiteral("PriceCostData")));
}

// The same read of a text, without building its document.
Currency unitPrice(const QString &priceCostXml)
{
    const std::optional<QString> text =
        XmlDocument::readRootChildText(priceCostXml, "PriceCostData", "UnitPrice");
    if (!text || text->isEmpty())
        return Currency();
    return Currency::fromString(DecodeLineBreaks(*text)).value_or(Currency());
}

} // namespace

// Names, values and messages come from data: they are escaped before they enter markup, so
// they show as typed and never add markup of their own.
void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host)
{
    const LineRecord *line = lines.record(index);
    if (!line)
        return;
    const auto original = LoadItemXML(line->OriginalItemXML);
    const auto changed = LoadItemXML(line->NewItemXML);
    const auto priceCost = LoadPriceCostXML(line->NewPriceCostXML);
    DescribeLineChanges(lines, index, engine, host, original ? original->node() : XmlNode(),
                        changed ? changed->node() : XmlNode(),
                        priceCost ? priceCost->node() : XmlNode());
}

QList<XmlNode> OriginalItemOptions(const XmlNode &item)
{
    return item.selectNodes(QStringLiteral("//ItemData/Options/Option"));
}

void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host, const XmlNode &original, const XmlNode &changed,
                         const XmlNode &newPriceCost)
{
    DescribeLineChanges(lines, index, engine, host,
                        original ? std::optional(OriginalItemOptions(original)) : std::nullopt,
                        changed, newPriceCost);
}

void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host,
                         const std::optional<QList<XmlNode>> &originalOptions,
                         const XmlNode &changed, const XmlNode &newPriceCost)
{
    const LineRecord *line = lines.record(index);
    if (!line)
        return;
    auto append = [&](const QString &text) { lines.AppendChange(index, text); };

    if (line->NewProductID != line->OriginalProductID) {
        append(host.BuildString(ProductChanged,
                                {EscapeMarkup(host.GetProductNameFromID(line->OriginalProductID)),
                                 EscapeMarkup(host.GetProductNameFromID(line->NewProductID))}));
    }
    if (line->NewStyle.toLower() != line->OriginalStyle.toLower())
        append(host.BuildString(StyleChanged,
                                {EscapeMarkup(line->OriginalStyle), EscapeMarkup(line->NewStyle)}));

    if (originalOptions && changed) {
        // Selected once: every original option is looked up among them.
        const QList<XmlNode> changedOptions =
            changed.selectNodes(QStringLiteral("//ItemData/Options/Option"));
        for (const XmlNode &option : *originalOptions) {
            const QString name = GetXMLValue(QStringLiteral("Name"), option);
            const XmlNode now =
                SelectOptionByName(changedOptions, name, OptionNameMatch::CaseSensitive);
            if (!now) {
                append(host.BuildString(OptionRemoved, {EscapeMarkup(name)}));
                lines.IncrementOptionRemoveCount(index);
                continue;
            }
            const QString before = GetXMLValue(QStringLiteral("Value"), option);
            const QString after = GetXMLValue(QStringLiteral("Value"), now);
            if (before != after) {
                append(host.BuildString(OptionChanged, {EscapeMarkup(name), EscapeMarkup(before),
                                                        EscapeMarkup(after)}));
                lines.IncrementOptionChangeCount(index);
            }
        }
    }

    const Currency oldPrice = unitPrice(line->OriginalPriceCostXML);
    const Currency newPrice = unitPrice(newPriceCost);
    if (oldPrice != newPrice)
        append(
            host.BuildString(PriceChanged, {FormatCurrency(oldPrice), FormatCurrency(newPrice)}));

    const qint32 errors = engine.ErrorCount();
    for (qint32 i = 0; i < errors; ++i)
        append(QStringLiteral("<TextBlock Foreground='Red'>Error: ") +
               EscapeMarkup(engine.Error(i)) + QStringLiteral("</TextBlock>"));
    const qint32 notices = engine.NoticeCount();
    for (qint32 i = 0; i < notices; ++i)
        append(QStringLiteral("<TextBlock Foreground='Blue'>Notice: ") +
               EscapeMarkup(engine.Notice(i)) + QStringLiteral("</TextBlock>"));
}

} // namespace zeltpc5
