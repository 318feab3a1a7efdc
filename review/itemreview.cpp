#include "review/itemreview.h"

#include "common/conversions.h"
#include "common/stringlist.h"
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

namespace zeltpc5 {

namespace {

// The elements "//ItemData/<container>/<element>" select, in document order, found by a walk
// of the tree rather than an XPath evaluation per line.
QList<XmlNode> itemElements(const XmlDocument &doc, const QString &container,
                            const QString &element)
{
    QList<XmlNode> found;
    for (const XmlNode &node : doc.node().descendantElements(element)) {
        const XmlNode parent = node.parentNode();
        if (parent.nodeName() == container && !node.hasNamespace() &&
            parent.parentNode().nodeName() == QLatin1String("ItemData"))
            found.append(node);
    }
    return found;
}

const QString RoomLocationMissing =
    QStringLiteral("<TextBlock>The <Bold>Room Location</Bold> is missing.</TextBlock>");
const QString ShouldBeSelected = QStringLiteral(
    "<TextBlock>A value for option <Bold>{0}</Bold> should be selected.</TextBlock>");
const QString IsZero =
    QStringLiteral("<TextBlock>A value for option <Bold>{0}</Bold> is zero.</TextBlock>");
const QString MountDiffers = QStringLiteral("<TextBlock>The mount value of <Bold>{0}</Bold> is "
                                            "different from all other line items.</TextBlock>");
const QString PatternDiffers =
    QStringLiteral("<TextBlock>The pattern value of <Bold>{0}</Bold> "
                   "is different from all other line items.</TextBlock>");
const QString ColorDiffers = QStringLiteral("<TextBlock>The color value of <Bold>{0}</Bold> is "
                                            "different from all other line items.</TextBlock>");
const QString NoWidth = QStringLiteral("<TextBlock>No <Bold>width</Bold> was found.</TextBlock>");
const QString NoHeight = QStringLiteral("<TextBlock>No <Bold>height</Bold> was found.</TextBlock>");
const QString ProductError = QStringLiteral("<TextBlock Foreground='Red'>Error: {0}</TextBlock>");
const QString ProductNotice =
    QStringLiteral("<TextBlock Foreground='Blue'>Notice: {0}</TextBlock>");
const QString PriceZero = QStringLiteral("<TextBlock>The price of this item is zero.</TextBlock>");
const QString PriceNegative =
    QStringLiteral("<TextBlock>The price of this item is negative.</TextBlock>");

// Values come from the line's documents: escaped, so a value is shown as typed and can
// never add markup (a forged red "Error:") of its own.
QString fill(const QString &templateText, const QString &value)
{
    return FormatTemplate(templateText, {EscapeMarkup(value)});
}

// The dimension tests read the leading number, whatever the regional settings.
bool isZeroDimension(const QString &value)
{
    return LeadingNumber(value.trimmed()) == 0.0;
}

bool isOdd(const OptionValueSummary &summary, const QString &value)
{
    return !summary.OddValue.isEmpty() && value.compare(summary.OddValue, Qt::CaseInsensitive) == 0;
}

} // namespace

int CountValueMatches(const QString &value, const QStringList &list)
{
    const QString wanted = value.toLower();
    int count = 0;
    for (const QString &entry : list) {
        if (entry.toLower() == wanted)
            ++count;
    }
    return count;
}

ReviewedItem ReadReviewedItem(const QString &itemXml)
{
    ReviewedItem item;
    const auto doc = LoadItemXML(itemXml);
    if (!doc)
        return item;
    item.loaded = true;
    const QString options = QStringLiteral("Options"), messages = QStringLiteral("Messages");
    for (const XmlNode &option : itemElements(*doc, options, QStringLiteral("Option"))) {
        item.options.append({GetXMLValue(QStringLiteral("Name"), option),
                             GetXMLValue(QStringLiteral("Value"), option),
                             GetXMLInteger(QStringLiteral("Visible"), option, 0)});
    }
    for (const XmlNode &message : itemElements(*doc, messages, QStringLiteral("Message"))) {
        item.messages.append({GetXMLValue(QStringLiteral("Text"), message),
                              GetXMLInteger(QStringLiteral("Type"), message, 0)});
    }
    return item;
}

QList<OptionValueSummary> SummarizeOptionValues(const QList<ReviewedItem> &items,
                                                const QStringList &optionNames)
{
    QList<OptionValueSummary> summaries;
    QStringList lowerNames;
    for (const QString &name : optionNames) {
        summaries.append(OptionValueSummary{name, EmptyStringList(), EmptyStringList(), {}});
        lowerNames << name.toLower();
    }

    for (const ReviewedItem &item : items) {
        for (const ReviewedItem::Option &option : item.options) {
            const int which = lowerNames.indexOf(option.name.toLower());
            if (which < 0)
                continue;
            OptionValueSummary &s = summaries[which];
            StringListAppend(option.value, s.AllValues);
            if (StringListIndexOf(option.value, s.DistinctValues) < 0)
                StringListAppend(option.value, s.DistinctValues);
        }
    }

    for (OptionValueSummary &s : summaries) {
        if (StringListCount(s.DistinctValues) != 2)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (CountValueMatches(s.DistinctValues.at(i), s.AllValues) == 1) {
                s.OddValue = s.DistinctValues.at(i);
                break;
            }
        }
    }
    return summaries;
}

void ReviewLine(LineStore &lines, int index, const ReviewedItem &item,
                const OptionValueSummary &mount, const OptionValueSummary &pattern,
                const OptionValueSummary &color)
{
    const LineRecord *line = lines.record(index);
    if (!line)
        return;
    QStringList entries;

    if (item.loaded) {
        bool widthFound = false;
        bool heightFound = false;
        for (const ReviewedItem::Option &option : item.options) {
            const QString &name = option.name;
            const QString &value = option.value;
            const QString lowerName = name.toLower();

            const bool isWidth =
                lowerName == QLatin1String("width") || lowerName == QLatin1String("overall width");
            const bool isHeight =
                lowerName == QLatin1String("height") || lowerName == QLatin1String("length");
            widthFound = widthFound || isWidth;
            heightFound = heightFound || isHeight;

            if (lowerName == QLatin1String("room location") && value.trimmed().isEmpty())
                entries << RoomLocationMissing;
            if (option.visible != 0 && value.trimmed().toLower() == QLatin1String("please select"))
                entries << fill(ShouldBeSelected, name);
            if ((isWidth || isHeight) && isZeroDimension(value))
                entries << fill(IsZero, name);
            if (lowerName == QLatin1String("mount") && isOdd(mount, value))
                entries << fill(MountDiffers, mount.OddValue);
            if (lowerName == QLatin1String("pattern") && isOdd(pattern, value))
                entries << fill(PatternDiffers, pattern.OddValue);
            if (lowerName == QLatin1String("color") && isOdd(color, value))
                entries << fill(ColorDiffers, color.OddValue);
        }
        if (!widthFound)
            entries << NoWidth;
        if (!heightFound)
            entries << NoHeight;

        for (const ReviewedItem::Message &message : item.messages)
            entries << fill(message.type == 1 ? ProductError : ProductNotice, message.text);
    }

    // A price/cost document that does not load reads as a price of zero.
    Currency unitPrice;
    if (const auto priceCost = LoadPriceCostXML(line->OriginalPriceCostXML))
        unitPrice = GetXMLCurrency(QStringLiteral("UnitPrice"),
                                   FindChildNode(*priceCost, QStringLiteral("PriceCostData")));
    if (unitPrice.isZero())
        entries << PriceZero;
    else if (unitPrice.isNegative())
        entries << PriceNegative;

    for (const QString &entry : entries)
        lines.AppendChange(index, entry);
}

void ReviewSelectedItems(LineStore &lines, const QString &uniqueIDs, Progress *progress,
                         const std::function<bool()> &cancelRequested)
{
    if (uniqueIDs.isEmpty())
        return;
    const QStringList ids = uniqueIDs.split(QLatin1Char('|'));
    // Each line's item is read once, for the summaries and for its own checks.
    QList<ReviewedItem> items;
    items.reserve(qsizetype(lines.records().size()));
    for (const LineRecord &line : lines.records())
        items.append(ReadReviewedItem(line.OriginalItemXML));
    const QList<OptionValueSummary> summaries = SummarizeOptionValues(
        items, {QStringLiteral("Mount"), QStringLiteral("Pattern"), QStringLiteral("Color")});

    if (progress) {
        progress->setRange(0, int(ids.size()));
        progress->setValue(0);
    }
    const UniqueIDIndex index(lines);
    for (const QString &id : ids) {
        if (!id.isEmpty()) {
            const int found = index.find(id);
            // A walk of the table would have looked at every earlier line first and stopped
            // there on a cancel request; the index keeps that outcome.
            if (found >= 0 && (found == 0 || !cancelRequested()))
                ReviewLine(lines, found, items[found], summaries[0], summaries[1], summaries[2]);
        }
        if (progress) {
            progress->advance();
            progress->processEvents();
        }
        if (cancelRequested())
            break;
    }
}

} // namespace zeltpc5
