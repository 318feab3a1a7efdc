#include "host/app/quoteworkbench.h"

#include "host/app/component.h"
#include "host/dialogs/desktopitemdialogs.h"
#include "host/dialogs/itemeditor.h"
#include "host/productengine/productfile.h"
#include "host/services/sharedcodelibrary.h"

#include <QDir>

#include <QLocale>
#include <QXmlStreamReader>
#include <algorithm>

namespace zeltpc5::host::app {

namespace {

// The options of an item document by name (names as written).
QHash<QString, QString> itemOptions(const QString &itemXml)
{
    QHash<QString, QString> options;
    QXmlStreamReader xml(itemXml);
    QString name, value, *field = nullptr;
    int depth = 0, optionDepth = -1;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.name() == u"Option" && optionDepth < 0) {
                optionDepth = depth;
                name.clear();
                value.clear();
            } else if (depth == optionDepth + 1) {
                field = xml.name() == u"Name" ? &name : xml.name() == u"Value" ? &value : nullptr;
            }
            break;
        case QXmlStreamReader::Characters:
            if (field)
                *field += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (depth == optionDepth + 1)
                field = nullptr;
            if (depth == optionDepth) {
                options.insert(name, value);
                optionDepth = -1;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    return options;
}

// Why nothing of the selection could be handed to the component.
QString WithheldMessage(const QStringList &withheld)
{
    if (withheld.isEmpty())
        return QStringLiteral("None of the selected lines is in the quote any more.");
    return QStringLiteral("Nothing was done: the component cannot tell these lines apart from "
                          "others (%1).")
        .arg(withheld.join(QStringLiteral("; ")));
}

} // namespace

QuoteWorkbench::QuoteWorkbench(std::shared_ptr<Database> db,
                               std::shared_ptr<MessagePresenter> messages)
    : m_db(std::move(db))
{
    m_dialogContext = std::make_shared<ItemDialogContext>();
    m_dialogContext->db = m_db;
    m_dialogContext->productDirectory = DefaultProductDirectory();
    ServiceOptions options;
    options.itemDialogs = std::make_shared<DesktopItemDialogs>(m_dialogContext);
    options.messagePresenter = std::move(messages);
    m_library = OpenComponent(m_db, &m_error, options);
    m_dialogContext->library = m_library;
}

QuoteWorkbench::~QuoteWorkbench()
{
    // The dialogs hold the library, which holds the service object, which holds the dialogs.
    m_dialogContext->library = {};
    if (m_library)
        Call(m_library, u"PreTerminate");
}

std::vector<QuoteSummary> QuoteWorkbench::quotes() const
{
    return QuoteStore(*m_db).quotes();
}

std::vector<QuoteLineRow> QuoteWorkbench::lines(int quoteID) const
{
    std::vector<QuoteLineRow> rows;
    for (const QuoteLine &line : QuoteStore(*m_db).lines(quoteID)) {
        QuoteLineRow row;
        row.line = line;
        row.productStyle = line.productName.isEmpty()
                               ? line.style
                               : QStringLiteral("%1 / %2").arg(line.productName, line.style);
        const QHash<QString, QString> options = itemOptions(line.itemXML);
        row.location = options.value(QStringLiteral("Room Location"));
        const QString width =
            options.value(QStringLiteral("Width"), options.value(QStringLiteral("Overall Width")));
        const QString height = options.value(QStringLiteral("Height"));
        if (!width.isEmpty() || !height.isEmpty())
            row.dimensions = QStringLiteral("%1 x %2").arg(width, height);
        bool ok = false;
        row.unitPrice = UnitPriceOf(line.priceCostXML).toDouble(&ok);
        if (!ok)
            row.unitPrice = 0;
        row.lineTotal = row.unitPrice * line.quantity;
        rows.push_back(std::move(row));
    }
    return rows;
}

OptionChoices QuoteWorkbench::optionChoices(const std::vector<QuoteLine> &selected) const
{
    OptionChoices choices;
    QSet<int> seen;
    const QDir folder(m_dialogContext->productDirectory);
    for (const QuoteLine &line : selected) {
        if (seen.contains(line.productID))
            continue;
        seen.insert(line.productID);
        const ResultSet file = m_db->select(
            QStringLiteral("SELECT ProductFile FROM Products WHERE ID = ?"), {line.productID});
        if (file.rows.empty() || file.rows.front().value(0).toString().isEmpty())
            continue;
        const ProductFileResult loaded =
            LoadProductFile(folder.absoluteFilePath(file.rows.front().value(0).toString()));
        if (!loaded.product)
            continue;
        for (const OptionDefinition &option : loaded.product->options) {
            if (option.type == OptionType::Computed || option.type == OptionType::Heading ||
                !option.visible)
                continue;
            if (!choices.names.contains(option.name))
                choices.names << option.name;
            QStringList &values = choices.values[option.name];
            for (const QString &choice : option.choices) {
                if (!values.contains(choice))
                    values << choice;
            }
        }
    }
    return choices;
}

QuoteWorkbench::Outcome QuoteWorkbench::runChange(int quoteID, const QStringList &uniqueIDs,
                                                  QStringView show, const VariantList &arguments)
{
    Outcome outcome;
    Loaded loaded;
    if (!loadSelected(quoteID, uniqueIDs, u"CreateReplaceEngine",
                      QStringLiteral("Select the lines to change first."), loaded, outcome))
        return outcome;
    runLoadedChange(loaded.engine, loaded.lines, loaded.selected, show, arguments, outcome);
    // Selected lines the component was not given are named, whatever became of the others.
    if (loaded.selected.count(QLatin1Char('|')) + 1 < uniqueIDs.size() &&
        !loaded.withheld.isEmpty())
        outcome.message += QStringLiteral(" Left out: ") +
                           loaded.withheld.join(QStringLiteral("; ")) + QLatin1Char('.');
    return outcome;
}

bool QuoteWorkbench::loadSelected(int quoteID, const QStringList &ids, QStringView create,
                                  const QString &selectFirst, Loaded &loaded, Outcome &outcome)
{
    if (!isOpen() || ids.isEmpty()) {
        outcome.message = isOpen() ? selectFirst : m_error;
        return false;
    }
    loaded.lines = QuoteStore(*m_db).lines(quoteID);
    loaded.engine = LoadEngine(m_library, create, loaded.lines, &loaded.withheld);
    loaded.selected = JoinLoadedUniqueIDs(loaded.lines, ids);
    if (loaded.selected.isEmpty()) {
        outcome.message = WithheldMessage(loaded.withheld);
        Call(loaded.engine, u"PreTerminate");
        return false;
    }
    return true;
}

void QuoteWorkbench::runLoadedChange(const DispatchPtr &engine, const std::vector<QuoteLine> &lines,
                                     const QString &selected, QStringView show,
                                     const VariantList &arguments, Outcome &outcome)
{
    VariantList args = arguments;
    args.append(selected);
    const CallResult run = Call(engine, show, args);
    outcome.ran = run.ok() && ToBool(run.value).value_or(false);
    if (!outcome.ran) {
        outcome.message = run.ok()
                              ? QStringLiteral("The change was cancelled; nothing was written.")
                              : QStringLiteral("The change failed: ") + run.status.toString();
        Call(engine, u"PreTerminate");
        return;
    }
    outcome.accepted = ToBool(Call(engine, u"ShowReplaceReview").value).value_or(false);
    if (!outcome.accepted) {
        outcome.message = QStringLiteral("The change was not accepted; nothing was written.");
        Call(engine, u"PreTerminate");
        return;
    }
    writeNewLines(engine, lines, outcome);
}

void QuoteWorkbench::writeNewLines(const DispatchPtr &engine, const std::vector<QuoteLine> &lines,
                                   Outcome &outcome)
{
    // The lines whose documents, product or style changed, and how they were before.
    std::vector<QuoteLine> changed, before;
    QStringList skipped;
    const auto field = [&](int i, const char *key) {
        return ToText(Call(engine, u"GetLineData", {MakeInt16(qint16(i)), QString::fromLatin1(key)})
                          .value)
            .value_or(QString());
    };
    for (int i = 0; i < int(lines.size()); ++i) {
        QuoteLine l = lines[size_t(i)];
        QuoteLine n = l;
        n.productID = field(i, "newproductid").toInt();
        n.style = field(i, "newstyle");
        n.itemXML = field(i, "newitemxml");
        n.priceCostXML = field(i, "newpricecostxml");
        if (n.productID == l.productID && n.style == l.style && n.itemXML == l.itemXML &&
            n.priceCostXML == l.priceCostXML)
            continue;
        // Never an empty or unreadable document over a line: the others are still written.
        if (const QString reason = UnwritableReason(n); !reason.isEmpty()) {
            skipped << QStringLiteral("line %1: %2").arg(l.line).arg(reason);
            continue;
        }
        changed.push_back(n);
        before.push_back(l);
    }
    Call(engine, u"PreTerminate");
    try {
        outcome.written = QuoteStore(*m_db).updateLines(before, changed);
    } catch (const DatabaseError &e) {
        outcome.message = e.message();
        return;
    }
    if (outcome.written > 0) {
        m_undo = before;
        m_written = changed;
    }
    outcome.message = QStringLiteral("%1 line(s) changed.").arg(outcome.written);
    if (!skipped.isEmpty())
        outcome.message += QStringLiteral(" Not written: ") + skipped.join(QStringLiteral("; ")) +
                           QLatin1Char('.');
}

QuoteWorkbench::Outcome QuoteWorkbench::changeOptionValues(int quoteID, const QStringList &ids,
                                                           const QStringList &names,
                                                           const QStringList &values)
{
    return runChange(quoteID, ids, u"ShowChangeOptionValue",
                     {names.join(QLatin1Char('|')), values.join(QLatin1Char('|'))});
}

QuoteWorkbench::Outcome QuoteWorkbench::changeProductStyle(int quoteID, const QStringList &ids,
                                                           qint32 vendorID, qint32 productID,
                                                           const QString &style,
                                                           const QStringList &names,
                                                           const QStringList &values)
{
    if (names.isEmpty())
        return runChange(quoteID, ids, u"ShowChangeProductStyle",
                         {MakeInt32(vendorID), MakeInt32(productID), style});
    return runChange(quoteID, ids, u"ShowChangeProductStyleAndOptions",
                     {MakeInt32(vendorID), MakeInt32(productID), style,
                      names.join(QLatin1Char('|')), values.join(QLatin1Char('|'))});
}

QuoteWorkbench::Outcome QuoteWorkbench::changeDiscount(int quoteID, const QStringList &ids,
                                                       qint16 whatToChange, const QString &value)
{
    return runChange(quoteID, ids, u"ShowChangeDiscount", {MakeInt16(whatToChange), value});
}

QuoteWorkbench::Outcome QuoteWorkbench::reviewItems(int quoteID, const QStringList &ids)
{
    Outcome outcome;
    Loaded loaded;
    if (!loadSelected(quoteID, ids, u"CreateItemReviewEngine",
                      QStringLiteral("Select the lines to review first."), loaded, outcome))
        return outcome;
    const DispatchPtr &engine = loaded.engine;
    const CallResult run = Call(engine, u"ShowReviewItems", {loaded.selected});
    outcome.ran = run.ok() && ToBool(run.value).value_or(false);
    if (outcome.ran)
        Call(engine, u"ShowReviewResults");
    Call(engine, u"PreTerminate");
    outcome.message = outcome.ran ? QStringLiteral("Review finished.")
                                  : QStringLiteral("The review was cancelled.");
    return outcome;
}

QuoteWorkbench::Outcome QuoteWorkbench::compare(int quoteID, const QStringList &ids)
{
    Outcome outcome;
    if (!isOpen() || ids.isEmpty()) {
        outcome.message = isOpen() ? QStringLiteral("Select the lines to compare first.") : m_error;
        return outcome;
    }
    // Only the selected lines go to the compare window, in the quote's order.
    std::vector<QuoteLine> lines = QuoteStore(*m_db).lines(quoteID);
    const QSet<QString> wanted(ids.begin(), ids.end());
    std::erase_if(lines, [&](const QuoteLine &l) { return !wanted.contains(l.uniqueID); });
    QStringList withheld;
    const DispatchPtr engine = LoadEngine(m_library, u"CreateCompareEngine", lines, &withheld);
    if (lines.empty()) {
        outcome.message = WithheldMessage(withheld);
        Call(engine, u"PreTerminate");
        return outcome;
    }
    const CallResult shown = Call(engine, u"ShowProductCompare");
    outcome.ran = shown.ok();
    outcome.accepted = shown.ok() && ToBool(shown.value).value_or(false);
    if (!outcome.accepted) {
        outcome.message = shown.ok()
                              ? QStringLiteral("The compare was cancelled; nothing was written.")
                              : QStringLiteral("The compare failed: ") + shown.status.toString();
        Call(engine, u"PreTerminate");
        return outcome;
    }
    writeNewLines(engine, lines, outcome);
    return outcome;
}

QuoteWorkbench::Outcome QuoteWorkbench::editItem(int quoteID, const QString &uniqueID)
{
    Outcome outcome;
    const std::vector<QuoteLine> lines = QuoteStore(*m_db).lines(quoteID);
    const auto it = std::find_if(lines.begin(), lines.end(),
                                 [&](const QuoteLine &l) { return l.uniqueID == uniqueID; });
    if (!isOpen() || it == lines.end()) {
        outcome.message = isOpen() ? QStringLiteral("Select the line to edit first.") : m_error;
        return outcome;
    }
    QuoteLine edited = *it;
    qint32 product = edited.productID;
    outcome.accepted = EditProductItem(*m_dialogContext, product, edited.style, edited.itemXML,
                                       edited.priceCostXML, 0);
    outcome.ran = true;
    if (!outcome.accepted) {
        outcome.message = QStringLiteral("The item was not changed.");
        return outcome;
    }
    edited.productID = product;
    try {
        outcome.written = QuoteStore(*m_db).updateLines({*it}, {edited});
    } catch (const DatabaseError &e) {
        outcome.message = QStringLiteral("Nothing was written: ") + e.message();
        return outcome;
    }
    m_undo = {*it};
    m_written = {edited};
    outcome.message = QStringLiteral("Line %1 changed.").arg(it->line);
    return outcome;
}

QuoteWorkbench::Outcome QuoteWorkbench::undo()
{
    Outcome outcome;
    if (m_undo.empty()) {
        outcome.message = QStringLiteral("There is nothing to undo.");
        return outcome;
    }
    try {
        // Only over what the change wrote: a line changed since then is not overwritten.
        outcome.written = QuoteStore(*m_db).updateLines(m_written, m_undo);
    } catch (const DatabaseError &e) {
        outcome.message = e.message();
        return outcome;
    }
    outcome.ran = outcome.accepted = true;
    m_undo.clear();
    outcome.message = QStringLiteral("%1 line(s) restored.").arg(outcome.written);
    return outcome;
}

} // namespace zeltpc5::host::app
