// zeltpc5-host review, change-option, change-product, change-discount and demo: the
// component's tools run over a quote of the company database, late-bound through the
// component's boundary as any host would call them.
#include "host/app/command.h"
#include "host/app/component.h"
#include "host/app/quoteworkbench.h"
#include "host/database/seed.h"

#include <QApplication>
#include <QJsonDocument>

#include <QJsonObject>
#include <QLocale>

#include <algorithm>

namespace zeltpc5::host::app {

namespace {

const QCommandLineOption QuoteOption(QStringLiteral("quote"),
                                     QStringLiteral("The quote, by number (Q-1001) or ID."),
                                     QStringLiteral("N"));
const QCommandLineOption
    LinesOption(QStringLiteral("lines"),
                QStringLiteral("The lines to work on: 1,3,5 or all (default)."),
                QStringLiteral("LIST"));
const QCommandLineOption
    GuiOption(QStringLiteral("gui"),
              QStringLiteral("Show the component's windows: the progress window, then the "
                             "review window, whose OK writes a bulk change."));
const QCommandLineOption JsonOption(QStringLiteral("json"),
                                    QStringLiteral("Print the outcome as JSON."));
const QCommandLineOption SetOption(QStringLiteral("set"),
                                   QStringLiteral("An option to set, as NAME=VALUE (repeatable)."),
                                   QStringLiteral("NAME=VALUE"));
const QCommandLineOption
    ApplyOption(QStringLiteral("apply"),
                QStringLiteral("Write the changed lines back into the quote."));
const QCommandLineOption ProductOption(QStringLiteral("product"),
                                       QStringLiteral("change-product: the new product's ID."),
                                       QStringLiteral("ID"));
const QCommandLineOption StyleOption(QStringLiteral("style"),
                                     QStringLiteral("change-product: the new style."),
                                     QStringLiteral("NAME"));
const QCommandLineOption CustomerDiscountOption(
    QStringLiteral("customer-discount"),
    QStringLiteral("change-discount: the customer discount in percent (empty removes it)."),
    QStringLiteral("VALUE"));
const QCommandLineOption ItemDiscountOption(
    QStringLiteral("item-discount"),
    QStringLiteral("change-discount: the item discount, an amount (5) or a percentage (10%)."),
    QStringLiteral("TEXT"));

// The quote, its lines and the component, ready for a tool; the failure is already reported.
struct Session
{
    std::shared_ptr<Database> db;
    QuoteSummary quote;
    std::vector<QuoteLine> lines;
    DispatchPtr library;
    QString selectedIDs;
};

std::optional<Session> openSession(CommandContext &c, OpenMode mode = OpenMode::ExistingOnly,
                                   const QString &quote = QString())
{
    Session s;
    s.db = c.openDatabase(mode);
    const QString wanted = quote.isEmpty() ? c.parser().value(QuoteOption) : quote;
    if (wanted.isEmpty()) {
        c.err() << "Name the quote with --quote N." << Qt::endl;
        return std::nullopt;
    }
    QuoteStore store(*s.db);
    const auto found = store.quote(wanted);
    if (!found) {
        c.err() << "There is no quote " << wanted << " in " << s.db->settings().describe() << "."
                << Qt::endl;
        return std::nullopt;
    }
    s.quote = *found;
    s.lines = store.lines(found->id);
    QStringList missing, withheld;
    const QString selection = c.parser().value(LinesOption);
    s.selectedIDs = SelectUniqueIDs(s.lines, selection, &missing, &withheld);
    if (!missing.isEmpty()) {
        c.err() << "Quote " << s.quote.number << " has no line "
                << missing.join(QStringLiteral(", ")) << "." << Qt::endl;
        return std::nullopt;
    }
    if (!withheld.isEmpty()) {
        // A line named on the command line stops the run; "all" goes on without them.
        const bool named = !selection.isEmpty() &&
                           selection.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0;
        c.err() << "Quote " << s.quote.number << ": the component cannot tell "
                << (named ? "these lines" : "these lines, which are left out,")
                << " apart from others: " << withheld.join(QStringLiteral("; ")) << "." << Qt::endl;
        if (named) {
            c.err() << "Nothing was done." << Qt::endl;
            return std::nullopt;
        }
    }
    QString error;
    s.library = OpenComponent(s.db, &error);
    if (!s.library) {
        c.err() << error << Qt::endl;
        return std::nullopt;
    }
    return s;
}

QString lineField(const DispatchPtr &engine, int index, const char *name)
{
    return ToText(
               Call(engine, u"GetLineData", {MakeInt16(qint16(index)), QString::fromLatin1(name)})
                   .value)
        .value_or(QString());
}

QStringList lineChanges(const DispatchPtr &engine, int index)
{
    QStringList texts;
    const int count =
        ToInt16(Call(engine, u"CountChanges", {MakeInt16(qint16(index))}).value).value_or(0);
    for (int j = 0; j < count; ++j) {
        texts << ToText(Call(engine, u"GetChange", {MakeInt16(qint16(index)), MakeInt16(qint16(j))})
                            .value)
                     .value_or(QString());
    }
    return texts;
}

QString money(const QString &amount)
{
    bool ok = false;
    const double value = QLocale().toDouble(amount, &ok);
    return ok ? QLocale().toCurrencyString(value) : QStringLiteral("-");
}

// Product names by ID, each asked of the service object once per report.
class ProductNames
{
public:
    explicit ProductNames(const DispatchPtr &library)
        : m_common(
              ToObject(
                  Get(ToObject(Get(library, u"SharedCodeLibrary").value).value_or(DispatchPtr()),
                      u"Common")
                      .value)
                  .value_or(DispatchPtr()))
    {}

    QString operator()(const QString &productID)
    {
        const int id = productID.toInt();
        auto it = m_names.constFind(id);
        if (it == m_names.cend()) {
            it = m_names.insert(
                id, ToText(Call(m_common, u"GetProductNameFromID", {MakeInt32(id)}).value)
                        .value_or(QString()));
        }
        return *it;
    }

private:
    DispatchPtr m_common;
    QHash<int, QString> m_names;
};

// Prints the lines the tool worked on, and collects them for --apply.
// The changed lines keep their new documents only when they may be written: over a quote of
// many thousand lines those are most of the memory the run needs.
std::vector<QuoteLine> report(CommandContext &c, const Session &s, const DispatchPtr &engine,
                              const QStringList &ids, bool priceChange, bool keepDocuments = false)
{
    const bool json = c.parser().isSet(JsonOption);
    QJsonArray rows;
    std::vector<QuoteLine> changed;
    const UniqueIDSet selected(ids);
    ProductNames productName(s.library);
    const int count = ToInt16(Call(engine, u"CountLines").value).value_or(0);
    if (priceChange)
        changed.reserve(size_t(std::min<qsizetype>(count, ids.size())));
    for (int i = 0; i < count; ++i) {
        // Each field is asked of the engine once: every answer is a late-bound call.
        const auto field = [&](const char *name) { return lineField(engine, i, name); };
        const QString id = field("uniqueid");
        if (!selected.contains(id))
            continue;
        const QStringList markup = lineChanges(engine, i);
        QStringList plain;
        for (const QString &m : markup)
            plain << PlainText(m);
        const QString line = field("line");
        const QString quantity = field("quantity");
        const QString originalProductID = field("originalproductid");
        const QString originalStyle = field("originalstyle");
        const QString originalPriceCost = field("originalpricecostxml");
        const QString oldProduct = productName(originalProductID);
        const QString oldPrice = UnitPriceOf(originalPriceCost);
        // What the line became matters only to a change (a review changes nothing).
        const QString newProductID = priceChange ? field("newproductid") : QString();
        const QString newStyle = priceChange ? field("newstyle") : QString();
        const QString newPriceCost = priceChange ? field("newpricecostxml") : QString();
        const QString newProduct = priceChange ? productName(newProductID) : QString();
        const PriceCostReading newReading =
            priceChange ? ReadPriceCost(newPriceCost) : PriceCostReading();
        const QString &newPrice = newReading.unitPrice;

        if (json) {
            QJsonObject o{{QStringLiteral("line"), line.toInt()},
                          {QStringLiteral("quantity"), quantity.toInt()},
                          {QStringLiteral("uniqueID"), id},
                          {QStringLiteral("product"), oldProduct},
                          {QStringLiteral("style"), originalStyle},
                          {QStringLiteral("unitPrice"), oldPrice},
                          {QStringLiteral("results"), QJsonArray::fromStringList(plain)},
                          {QStringLiteral("markup"), QJsonArray::fromStringList(markup)}};
            if (priceChange) {
                o.insert(QStringLiteral("newProduct"), newProduct);
                o.insert(QStringLiteral("newStyle"), newStyle);
                o.insert(QStringLiteral("newUnitPrice"), newPrice);
            }
            rows.append(o);
        } else {
            c.out() << "Line " << line << "  qty " << quantity << "  " << oldProduct << " / "
                    << originalStyle;
            if (priceChange) {
                c.out() << "  ->  " << newProduct << " / " << newStyle << "  " << money(oldPrice)
                        << " -> " << money(newPrice);
            } else {
                c.out() << "  " << money(oldPrice);
            }
            c.out() << Qt::endl;
            if (plain.isEmpty())
                c.out() << "    (nothing to report)" << Qt::endl;
            for (const QString &p : plain)
                c.out() << "    " << QString(p).replace(u'\n', QStringLiteral("\n    "))
                        << Qt::endl;
        }
        if (priceChange) {
            QuoteLine l;
            l.uniqueID = id;
            l.productID = newProductID.toInt();
            l.style = newStyle;
            l.itemXML = field("newitemxml");
            l.priceCostXML = newPriceCost;
            const bool same = l.productID == originalProductID.toInt() &&
                              l.style == originalStyle && l.itemXML == field("originalitemxml") &&
                              l.priceCostXML == originalPriceCost;
            if (same)
                continue;
            // Never an empty or unreadable document over a line: the others are still written.
            const QString reason = UnwritableReason(l, newReading.readable);
            if (!reason.isEmpty()) {
                c.err() << "Line " << line << " was not written: " << reason << "." << Qt::endl;
                continue;
            }
            if (!keepDocuments) {
                l.itemXML.clear();
                l.priceCostXML.clear();
            }
            changed.push_back(std::move(l));
        }
    }
    if (json)
        c.out() << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    return changed;
}

int runReview(CommandContext &c)
{
    auto s = openSession(c);
    if (!s)
        return 1;
    const DispatchPtr engine = LoadEngine(s->library, u"CreateItemReviewEngine", s->lines);
    const bool gui = c.parser().isSet(GuiOption);
    const CallResult r = Call(engine, gui ? u"ShowReviewItems" : u"ReviewItems", {s->selectedIDs});
    if (!r.ok()) {
        c.err() << "The review failed: " << r.status.toString() << Qt::endl;
        return 1;
    }
    if (!c.parser().isSet(JsonOption))
        c.out() << "Review of quote " << s->quote.number << " (" << s->quote.customerName << ")"
                << Qt::endl;
    report(c, *s, engine, s->selectedIDs.split(QLatin1Char('|')), false);
    // With windows the user reads the results in the component's results window.
    if (gui && ToBool(r.value).value_or(false))
        Call(engine, u"ShowReviewResults");
    Call(engine, u"PreTerminate");
    return ToBool(r.value).value_or(false) ? 0 : 3;
}

// Runs a change operation (Show form with --gui), reports, and applies on request.
// With --gui the change runs in its progress window and the review window follows; the
// review's OK writes the changed lines (allowWrite) in one transaction.
int runChange(CommandContext &c, Session &s, QStringView show, QStringView direct,
              const VariantList &arguments, bool allowWrite = true)
{
    const DispatchPtr engine = LoadEngine(s.library, u"CreateReplaceEngine", s.lines);
    VariantList args = arguments;
    args.append(s.selectedIDs);
    const bool gui = c.parser().isSet(GuiOption);
    const CallResult r = Call(engine, gui ? show : direct, args);
    if (!r.ok()) {
        c.err() << "The change failed: " << r.status.toString() << Qt::endl;
        return 1;
    }
    const bool completed = ToBool(r.value).value_or(false);
    if (!c.parser().isSet(JsonOption))
        c.out() << "Quote " << s.quote.number << " (" << s.quote.customerName << ")"
                << (completed ? "" : " - cancelled") << Qt::endl;
    const bool mayWrite = gui ? allowWrite : c.parser().isSet(ApplyOption);
    const auto changed =
        report(c, s, engine, s.selectedIDs.split(QLatin1Char('|')), true, mayWrite);
    // With windows the user decides in the review window: OK writes, Cancel writes nothing.
    bool reviewed = false;
    if (gui && completed && allowWrite) {
        const CallResult review = Call(engine, u"ShowReplaceReview");
        reviewed = ToBool(review.value).value_or(false);
        if (!reviewed)
            c.err() << "The review was cancelled; nothing was written." << Qt::endl;
    } else if (gui && completed) {
        Call(engine, u"ShowReplaceReview");
    }
    Call(engine, u"PreTerminate");
    if (reviewed || (!gui && c.parser().isSet(ApplyOption))) {
        // Only over the lines as this run read them: a line changed meanwhile stops the write.
        const std::vector<QuoteLine> before = LinesAsRead(s.lines, changed);
        const int written = QuoteStore(*s.db).updateLines(before, changed);
        c.err() << "Wrote " << written << " changed line(s) back into quote " << s.quote.number
                << "." << Qt::endl;
    } else if (!changed.empty() && !c.parser().isSet(JsonOption)) {
        c.out() << changed.size() << " line(s) changed; nothing was written (use --apply)."
                << Qt::endl;
    }
    return completed ? 0 : 3;
}

// --set NAME=VALUE ... as the "|"-separated names and values.
bool optionPairs(CommandContext &c, QString *names, QString *values)
{
    QStringList n, v;
    for (const QString &pair : c.parser().values(SetOption)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            c.err() << "--set wants NAME=VALUE, not \"" << pair << "\"." << Qt::endl;
            return false;
        }
        n << pair.left(eq);
        v << pair.mid(eq + 1);
    }
    *names = n.join(QLatin1Char('|'));
    *values = v.join(QLatin1Char('|'));
    return true;
}

int runChangeOption(CommandContext &c)
{
    QString names, values;
    if (!optionPairs(c, &names, &values))
        return 2;
    if (names.isEmpty()) {
        c.err() << "Name at least one option with --set NAME=VALUE." << Qt::endl;
        return 2;
    }
    auto s = openSession(c);
    if (!s)
        return 1;
    return runChange(c, *s, u"ShowChangeOptionValue", u"ChangeOptionValue", {names, values});
}

int runChangeProduct(CommandContext &c)
{
    QString names, values;
    if (!optionPairs(c, &names, &values))
        return 2;
    bool ok = false;
    const int product = c.parser().value(ProductOption).toInt(&ok);
    if (!ok || !c.parser().isSet(StyleOption)) {
        c.err() << "Give the new product with --product ID and the style with --style NAME."
                << Qt::endl;
        return 2;
    }
    auto s = openSession(c);
    if (!s)
        return 1;
    const DispatchPtr common =
        ToObject(Get(ToObject(Get(s->library, u"SharedCodeLibrary").value).value_or(DispatchPtr()),
                     u"Common")
                     .value)
            .value_or(DispatchPtr());
    const qint32 vendor =
        ToInt32(Call(common, u"GetVendorIDFromProductID", {MakeInt32(product)}).value).value_or(0);
    const QString style = c.parser().value(StyleOption);
    if (names.isEmpty())
        return runChange(c, *s, u"ShowChangeProductStyle", u"ChangeProductStyle",
                         {MakeInt32(vendor), MakeInt32(product), style});
    return runChange(c, *s, u"ShowChangeProductStyleAndOptions", u"ChangeProductStyleAndOptions",
                     {MakeInt32(vendor), MakeInt32(product), style, names, values});
}

int runChangeDiscount(CommandContext &c)
{
    const bool customer = c.parser().isSet(CustomerDiscountOption);
    const bool item = c.parser().isSet(ItemDiscountOption);
    if (customer == item) {
        c.err() << "Give exactly one of --customer-discount VALUE and --item-discount TEXT."
                << Qt::endl;
        return 2;
    }
    auto s = openSession(c);
    if (!s)
        return 1;
    const qint16 what = customer ? 2 : 3;
    QString value = c.parser().value(customer ? CustomerDiscountOption : ItemDiscountOption);
    // The line keeps its customer discount as a fraction; people give it in percent.
    if (customer && !value.trimmed().isEmpty()) {
        bool ok = false;
        const double percent = QLocale().toDouble(value.trimmed(), &ok);
        if (!ok || percent < 0 || percent > 100) {
            c.err() << "--customer-discount wants a percentage from 0 to 100, not \"" << value
                    << "\"." << Qt::endl;
            return 2;
        }
        value = QLocale().toString(percent / 100.0, 'g', 8);
    }
    return runChange(c, *s, u"ShowChangeDiscount", u"ChangeDiscount", {MakeInt16(what), value});
}

// The demo: a bulk change over the whole demo quote, shown but not written.
int runDemo(CommandContext &c)
{
    {
        const auto db = c.openDatabase(OpenMode::CreateIfMissing);
        if (!HasDemoCompany(*db)) {
            if (!db->select(QStringLiteral("SELECT ID FROM Products")).rows.empty()) {
                c.err() << db->settings().describe()
                        << " holds another company's data; the demo needs its own database "
                           "(use --db PATH)."
                        << Qt::endl;
                return 1;
            }
            SeedDemoCompany(*db);
            c.out() << "Created the demo company in " << db->settings().describe() << "."
                    << Qt::endl;
        }
    }
    const auto quotes = [&] {
        const auto db = c.openDatabase(OpenMode::ExistingOnly);
        return QuoteStore(*db).quotes();
    }();
    if (quotes.empty()) {
        c.err() << "The demo database holds no quote." << Qt::endl;
        return 1;
    }
    auto s = openSession(c, OpenMode::ExistingOnly, quotes.front().number);
    if (!s)
        return 1;
    c.out() << "Bulk change on the demo quote: every line to an outside mount in Charcoal "
               "(a colour only the roller shade offers, so the other products keep theirs)."
            << Qt::endl;
    return runChange(c, *s, u"ShowChangeOptionValue", u"ChangeOptionValue",
                     {QStringLiteral("Mount|Color"), QStringLiteral("Outside|Charcoal")}, false);
}

// The compare window over lines of a quote, with the host's item dialogs; OK writes each
// line's chosen configuration in one transaction.
int runCompare(CommandContext &c)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        c.err() << "The compare tool needs a display (set DISPLAY)." << Qt::endl;
        return 2;
    }
    auto s = openSession(c);
    if (!s)
        return 1;
    Call(s->library, u"PreTerminate");
    QuoteWorkbench workbench(s->db);
    if (!workbench.isOpen()) {
        c.err() << workbench.error() << Qt::endl;
        return 1;
    }
    const QuoteWorkbench::Outcome outcome =
        workbench.compare(s->quote.id, s->selectedIDs.split(QLatin1Char('|')));
    (outcome.accepted ? c.out() : c.err()) << outcome.message << Qt::endl;
    return outcome.accepted ? 0 : 3;
}

} // namespace

void AddToolCommands(std::vector<Command> &commands)
{
    const QList<QCommandLineOption> shared{QuoteOption, LinesOption, GuiOption, JsonOption};
    commands.push_back({{QStringLiteral("review")},
                        QString(),
                        QStringLiteral("Review the lines of a quote for problems (--quote N "
                                       "[--lines 1,3|all] [--gui] [--json])."),
                        shared,
                        runReview});
    commands.push_back({{QStringLiteral("change-option")},
                        QString(),
                        QStringLiteral("Set options on lines of a quote (--quote N --set "
                                       "NAME=VALUE ... [--lines ...] [--apply])."),
                        shared + QList<QCommandLineOption>{SetOption, ApplyOption},
                        runChangeOption});
    commands.push_back(
        {{QStringLiteral("change-product")},
         QString(),
         QStringLiteral("Move lines to another product and style (--quote N "
                        "--product ID --style NAME [--set ...] [--apply])."),
         shared + QList<QCommandLineOption>{ProductOption, StyleOption, SetOption, ApplyOption},
         runChangeProduct});
    commands.push_back({{QStringLiteral("change-discount")},
                        QString(),
                        QStringLiteral("Change the customer or item discount of lines "
                                       "(--quote N --customer-discount V | --item-discount T)."),
                        shared + QList<QCommandLineOption>{CustomerDiscountOption,
                                                           ItemDiscountOption, ApplyOption},
                        runChangeDiscount});
    commands.push_back({{QStringLiteral("compare")},
                        QString(),
                        QStringLiteral("Compare lines of a quote with other products, styles and "
                                       "options in the compare window (--quote N [--lines ...] "
                                       "--gui); OK writes the chosen configurations."),
                        {QuoteOption, LinesOption, GuiOption},
                        runCompare});
    commands.push_back({{QStringLiteral("demo")},
                        QString(),
                        QStringLiteral("Create the demo company if missing and show a bulk "
                                       "change on its quote, without writing it back."),
                        {GuiOption, JsonOption},
                        runDemo});
}

} // namespace zeltpc5::host::app
