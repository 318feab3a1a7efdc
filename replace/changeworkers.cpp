#include "replace/changeworkers.h"

#include "common/conversions.h"
#include "pricing/discounts.h"
#include "pricing/itemfields.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "replace/changedescriptions.h"
#include "replace/readback.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <QStringTokenizer>

namespace zeltpc5 {

namespace {

const QString ResetText = QStringLiteral(
    "<TextBlock Foreground='Red'>The value for option <Underline>{0}</Underline> could not be "
    "changed to {1}. <Bold>It was reset to it's default value.</Bold></TextBlock>");
const QString ItemReadError = QStringLiteral(
    "<TextBlock Foreground='Red'>Error: The item for line {0} could not be read.</TextBlock>");
const QString ProductFileError = QStringLiteral(
    "<TextBlock Foreground='Red'>Error: The product file for {0} could not be opened.</TextBlock>");

struct OptionChanges
{
    QStringList names;
    QStringList values;
};

OptionChanges splitChanges(const QString &names, const QString &values)
{
    return {names.split(QLatin1Char('|')), values.split(QLatin1Char('|'))};
}

// The selection loop every run shares: identifiers in the given order, one SQL session for
// the run, progress per identifier, the cancel flag read as a walk of the table would.
template <class ProcessLine>
void runOverSelectedLines(ChangeRun &run, const QString &uniqueIDs, Progress *progress,
                          ProcessLine processLine)
{
    if (uniqueIDs.isEmpty())
        return;
    // Read in place: a copy of every identifier is memory a long run does not need.
    const auto ids = QStringTokenizer(uniqueIDs, u'|');
    if (progress) {
        progress->setRange(0, int(uniqueIDs.count(u'|') + 1));
        progress->setValue(0);
    }
    SqlSession session = run.host.ZELTSQL();
    session.setSessionCachingEnabled(true);
    run.host.cacheReads();
    ChargeSession chargeRun(run.host);
    const UniqueIDIndex index(run.lines);
    for (const QStringView id : ids) {
        if (!id.isEmpty()) {
            const int found = index.find(id);
            // Searching the table line by line stops at a cancel request before reaching any
            // line but the first; the index keeps that outcome.
            if (found >= 0 && (found == 0 || !run.cancelRequested()))
                processLine(found, session, chargeRun);
        }
        if (progress) {
            progress->advance();
            progress->processEvents(); // lets Cancel through between lines
        }
        if (run.cancelRequested())
            break;
    }
    run.lines.releaseReplacedTexts();
    session.PreTerminate();
}

// The line's original item, parsed once for every step of the line that reads it. A line
// whose item cannot be read (not XML, another root, refused by the document layer) is told
// so and left alone: re-processing nothing would hand the host an empty item.
std::optional<XmlDocument> readableItem(ChangeRun &run, int index)
{
    const LineRecord &line = *run.lines.record(index);
    std::optional<XmlDocument> item = LoadItemXML(line.OriginalItemXML);
    if (item && FindChildNode(*item, QStringLiteral("ItemData")))
        return item;
    run.lines.AppendChange(index, FormatTemplate(ItemReadError, {line.Line}));
    return std::nullopt;
}

// Opens the product file; when it cannot be opened the line is told so and left alone.
bool openProduct(ChangeRun &run, int index, qint32 productID)
{
    if (run.engine.UseProductFile(run.host.GetProductFileFromID2(productID)))
        return true;
    run.lines.AppendChange(
        index,
        FormatTemplate(ProductFileError, {EscapeMarkup(run.host.GetProductNameFromID(productID))}));
    return false;
}

void replayOptions(ProductEngine &engine, const XmlDocument &item, bool processableOnly)
{
    for (const XmlNode &option : item.selectNodes(QStringLiteral("//ItemData/Options/Option"))) {
        if (processableOnly && !IsProcessableOption(option))
            continue;
        engine.SetOptionValue(GetXMLValue(QStringLiteral("Name"), option),
                              GetXMLValue(QStringLiteral("Value"), option));
    }
    engine.ProcessOptions();
}

// Applies the requested values, then reports list options the rules set back.
void applyRequestedValues(ChangeRun &run, int index, const OptionChanges &changes)
{
    const qsizetype pairs = std::min(changes.names.size(), changes.values.size());
    for (qsizetype k = 0; k < pairs; ++k)
        run.engine.SetOptionValue(changes.names[k], changes.values[k]);
    run.engine.ProcessOptions();
    for (qsizetype k = 0; k < pairs; ++k) {
        const QString &name = changes.names[k];
        const auto type = ToInt16(run.engine.GetOptionData(name, QStringLiteral("Type")));
        const QString value =
            ToText(run.engine.GetOptionData(name, QStringLiteral("Value"))).value_or(QString());
        if (type == qint16(4) && value != changes.values[k])
            run.lines.AppendChange(
                index,
                FormatTemplate(ResetText, {EscapeMarkup(name), EscapeMarkup(changes.values[k])}));
    }
}

// A document the run wrote, kept by the store straight from the writer's text.
LineText keptText(LineStore &lines, const XmlDocument &document)
{
    LineText kept;
    document.withXmlUtf8([&](QByteArrayView utf8) { kept = lines.keepUtf8(utf8); });
    return kept;
}

// The new item built over the original document (whose options the change texts took
// before) from the product engine's state; its text is the line's new item. Null (and an
// empty new item) when it cannot be built.
std::optional<XmlDocument> readBack(ChangeRun &run, LineRecord &line, XmlDocument &original)
{
    std::optional<XmlDocument> item = original;
    if (!ReadBackItem(*item, run.engine, run.host))
        item.reset();
    line.NewItemXML = item ? keptText(run.lines, *item) : LineText();
    return item;
}

// Re-prices the price/cost document for the given item (its text as the formula engine
// receives it, and parsed); the result is the line's new price/cost.
void reprice(ChangeRun &run, LineRecord &line, const QString &itemXml, const XmlNode &item,
             XmlDocument &priceCost, SqlSession &session, ChargeSession &chargeRun)
{
    LoadDiscounts(item, priceCost, run.host, session, chargeRun);
    ResolveDiscounts(priceCost, run.host, chargeRun);
    CalculatePriceCost(run.engine, itemXml, priceCost, run.host, session, chargeRun);
    line.NewPriceCostXML = keptText(run.lines, priceCost);
}

// A document the store keeps, parsed; UTF-8 goes to the parser as it is.
std::optional<XmlDocument> parseStored(const LineText &text)
{
    return text.isUtf8() ? XmlDocument::parse(text.utf8()) : XmlDocument::parse(text.text());
}

// The line's new price/cost parsed, for a step that starts from it.
std::optional<XmlDocument> newPriceCost(const LineRecord &line)
{
    return parseStored(line.NewPriceCostXML);
}

XmlNode nodeOf(const std::optional<XmlDocument> &doc)
{
    return doc ? doc->node() : XmlNode();
}

void changeProductStyle(ChangeRun &run, int index, SqlSession &session, ChargeSession &chargeRun,
                        qint32 vendorID, qint32 productID, const QString &style,
                        const OptionChanges *changes)
{
    LineRecord &line = *run.lines.record(index);
    // The new product and style are taken only when the product can be processed: a line
    // that kept its old options and price under a new product would be corrupt.
    std::optional<XmlDocument> original = readableItem(run, index);
    if (!original || !openProduct(run, index, productID))
        return;
    line.NewProductID = productID;
    line.NewStyle = style;
    run.engine.InitForAccess();
    run.engine.setAllOptionsInDescription(false);
    run.engine.InitForProcessing(style);
    ApplyProductDimensionSettings(productID, run.engine, session);
    ApplyOptionDefaults(productID, run.engine, run.host);
    replayOptions(run.engine, *original, false);
    if (changes)
        applyRequestedValues(run, index, *changes);
    const QList<XmlNode> originalOptions = OriginalItemOptions(*original);
    const std::optional<XmlDocument> item = readBack(run, line, *original);

    std::optional<XmlDocument> priceCost = newPriceCost(line);
    if (priceCost) {
        auto root = [&] { return FindChildNode(*priceCost, QStringLiteral("PriceCostData")); };
        SetXMLLong(QStringLiteral("VendorID"), vendorID, root());
        SetXMLLong(QStringLiteral("ProductID"), line.NewProductID, root());
        SetXMLValue(QStringLiteral("Style"), line.NewStyle, root());
        SetXMLInteger(QStringLiteral("BeforeDiscountCostOverride"), 0, root());
        SetXMLInteger(QStringLiteral("BeforeDiscountPriceOverride"), 0, root());
        reprice(run, line, line.NewItemXML, nodeOf(item), *priceCost, session, chargeRun);
    }
    DescribeLineChanges(run.lines, index, run.engine, run.host, originalOptions, nodeOf(item),
                        nodeOf(priceCost));
}

} // namespace

void ChangeOptionValues(ChangeRun &run, const QString &optionNames, const QString &newOptionValues,
                        const QString &uniqueIDsToChange, Progress *progress)
{
    const OptionChanges changes = splitChanges(optionNames, newOptionValues);
    runOverSelectedLines(
        run, uniqueIDsToChange, progress,
        [&](int index, SqlSession &session, ChargeSession &chargeRun) {
            LineRecord &line = *run.lines.record(index);
            std::optional<XmlDocument> original = readableItem(run, index);
            if (!original || !openProduct(run, index, line.OriginalProductID))
                return;
            run.engine.InitForAccess();
            run.engine.setAllOptionsInDescription(false);
            run.engine.InitForProcessing(line.OriginalStyle);
            ApplyProductDimensionSettings(line.OriginalProductID, run.engine, session);
            replayOptions(run.engine, *original, false);
            applyRequestedValues(run, index, changes);
            const QList<XmlNode> originalOptions = OriginalItemOptions(*original);
            const std::optional<XmlDocument> item = readBack(run, line, *original);
            std::optional<XmlDocument> priceCost = newPriceCost(line);
            if (priceCost)
                reprice(run, line, line.NewItemXML, nodeOf(item), *priceCost, session, chargeRun);
            DescribeLineChanges(run.lines, index, run.engine, run.host, originalOptions,
                                nodeOf(item), nodeOf(priceCost));
        });
}

void ChangeProductStyles(ChangeRun &run, qint32 vendorID, qint32 productID, const QString &style,
                         const QString &uniqueIDsToChange, Progress *progress)
{
    runOverSelectedLines(run, uniqueIDsToChange, progress,
                         [&](int index, SqlSession &session, ChargeSession &chargeRun) {
                             changeProductStyle(run, index, session, chargeRun, vendorID, productID,
                                                style, nullptr);
                         });
}

void ChangeProductStylesAndOptions(ChangeRun &run, qint32 vendorID, qint32 productID,
                                   const QString &style, const QString &optionNames,
                                   const QString &newOptionValues, const QString &uniqueIDsToChange,
                                   Progress *progress)
{
    const OptionChanges changes = splitChanges(optionNames, newOptionValues);
    runOverSelectedLines(run, uniqueIDsToChange, progress,
                         [&](int index, SqlSession &session, ChargeSession &chargeRun) {
                             changeProductStyle(run, index, session, chargeRun, vendorID, productID,
                                                style, &changes);
                         });
}

void ChangeDiscounts(ChangeRun &run, qint16 whatToChange, const QString &newValue,
                     const QString &uniqueIDsToChange, Progress *progress)
{
    runOverSelectedLines(
        run, uniqueIDsToChange, progress,
        [&](int index, SqlSession &session, ChargeSession &chargeRun) {
            LineRecord &line = *run.lines.record(index);
            const std::optional<XmlDocument> original = readableItem(run, index);
            if (!original || !openProduct(run, index, line.OriginalProductID))
                return;
            run.engine.InitForAccess();
            run.engine.InitForProcessing(line.OriginalStyle);
            ApplyProductDimensionSettings(line.OriginalProductID, run.engine, session);
            replayOptions(run.engine, *original, true);

            std::optional<XmlDocument> priceCost;
            if (whatToChange == DiscountChange::CustomerDiscount ||
                whatToChange == DiscountChange::ItemDiscount) {
                if (auto doc = LoadPriceCostXML(line.OriginalPriceCostXML)) {
                    auto root = [&] {
                        return FindChildNode(*doc, QStringLiteral("PriceCostData"));
                    };
                    if (whatToChange == DiscountChange::ItemDiscount) {
                        SetXMLValue(QStringLiteral("ItemDiscount"), newValue, root());
                    } else if (newValue.isEmpty()) {
                        SetXMLInteger(QStringLiteral("CustomerDiscountOverride"), 0, root());
                    } else {
                        // A value that is not a number leaves the stored discount as it was.
                        if (const auto number = ParseNumber(newValue)) {
                            if (const auto rate = ToSingle(*number))
                                SetXMLSingle(QStringLiteral("CustomerDiscount"), *rate, root());
                        }
                        SetXMLInteger(QStringLiteral("CustomerDiscountOverride"), 1, root());
                    }
                    priceCost = std::move(doc);
                }
            }
            if (!priceCost)
                priceCost = newPriceCost(line);
            if (priceCost)
                reprice(run, line, line.OriginalItemXML, *original, *priceCost, session, chargeRun);
            // The item is not changed here: the new one is the original unless an earlier run
            // of this engine changed it.
            const bool itemChanged = line.NewItemXML != line.OriginalItemXML;
            const std::optional<XmlDocument> changedItem =
                itemChanged ? parseStored(line.NewItemXML) : std::nullopt;
            DescribeLineChanges(run.lines, index, run.engine, run.host, *original,
                                itemChanged ? nodeOf(changedItem) : original->node(),
                                nodeOf(priceCost));
        });
}

} // namespace zeltpc5
