// zeltpc5-host quote list / quote show N: the quotes and their lines, readably.
#include "host/app/command.h"

#include "host/database/quotestore.h"

#include <QLocale>
#include <QXmlStreamReader>

#include <optional>

namespace zeltpc5::host::app {

namespace {

struct ItemSummary
{
    QString roomLocation;
    QString description;
    QStringList messages; // "Error: ..." / "Notice: ..."
    bool readable = false;
};

// The parts of an item document a listing shows; a document that does not parse is
// reported as such rather than hidden.
ItemSummary SummariseItem(const QString &itemXML)
{
    ItemSummary s;
    QXmlStreamReader xml(itemXML);
    if (!xml.readNextStartElement() || xml.name() != u"ItemData")
        return s;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"Options") {
            while (xml.readNextStartElement()) {
                QString name, value;
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"Name")
                        name = xml.readElementText();
                    else if (xml.name() == u"Value")
                        value = xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
                if (name == u"Room Location")
                    s.roomLocation = value;
            }
        } else if (xml.name() == u"Messages") {
            while (xml.readNextStartElement()) {
                QString text, type;
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"Text")
                        text = xml.readElementText();
                    else if (xml.name() == u"Type")
                        type = xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
                s.messages << (type == u"1" ? QStringLiteral("Error: ")
                                            : QStringLiteral("Notice: ")) +
                                  text;
            }
        } else if (xml.name() == u"Description") {
            s.description = xml.readElementText();
        } else {
            xml.skipCurrentElement();
        }
    }
    s.readable = !xml.hasError();
    return s;
}

// A field of the price/cost document read as a number under the user's settings.
std::optional<double> PriceCostNumber(const QString &priceCostXML, QStringView field)
{
    QXmlStreamReader xml(priceCostXML);
    if (!xml.readNextStartElement())
        return std::nullopt;
    while (xml.readNextStartElement()) {
        if (xml.name() != field) {
            xml.skipCurrentElement();
            continue;
        }
        bool ok = false;
        const double value = QLocale().toDouble(xml.readElementText().trimmed(), &ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }
    return std::nullopt;
}

double QuoteTotal(const std::vector<QuoteLine> &lines)
{
    double total = 0;
    for (const QuoteLine &l : lines)
        total += l.quantity * PriceCostNumber(l.priceCostXML, u"UnitPrice").value_or(0.0);
    return total;
}

QString Money(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

int ListQuotes(CommandContext &c)
{
    const auto db = c.openDatabase(OpenMode::ExistingOnly);
    const QuoteStore store(*db);
    const auto quotes = store.quotes();
    if (quotes.empty()) {
        c.out() << "No quotes in " << db->settings().describe() << "." << Qt::endl;
        return 0;
    }
    c.out() << qSetFieldWidth(5) << Qt::right << "ID" << qSetFieldWidth(0) << "  "
            << qSetFieldWidth(10) << Qt::left << "Number" << qSetFieldWidth(0) << "  "
            << qSetFieldWidth(10) << "Date" << qSetFieldWidth(0) << "  " << qSetFieldWidth(22)
            << "Customer" << qSetFieldWidth(6) << Qt::right << "Lines" << qSetFieldWidth(12)
            << "Total" << qSetFieldWidth(0) << "  Description" << Qt::endl;
    for (const QuoteSummary &q : quotes) {
        const double total = QuoteTotal(store.lines(q.id));
        c.out() << qSetFieldWidth(5) << Qt::right << q.id << qSetFieldWidth(0) << "  "
                << qSetFieldWidth(10) << Qt::left << q.number << qSetFieldWidth(0) << "  "
                << qSetFieldWidth(10) << q.date.date().toString(Qt::ISODate) << qSetFieldWidth(0)
                << "  " << qSetFieldWidth(22) << q.customerName.left(21) << qSetFieldWidth(6)
                << Qt::right << q.lineCount << qSetFieldWidth(12) << Money(total)
                << qSetFieldWidth(0) << Qt::left << "  " << q.description << Qt::endl;
    }
    return 0;
}

int ShowQuote(CommandContext &c)
{
    if (c.arguments().size() != 1) {
        c.err() << "Usage: zeltpc5-host quote show N   (N: the quote's ID or number, see "
                   "\"quote list\")"
                << Qt::endl;
        return 2;
    }
    const auto db = c.openDatabase(OpenMode::ExistingOnly);
    const QuoteStore store(*db);
    const auto quote = store.quote(c.arguments().front());
    if (!quote) {
        c.err() << "There is no quote " << c.arguments().front() << " in "
                << db->settings().describe() << "." << Qt::endl;
        return 1;
    }
    const auto lines = store.lines(quote->id);
    c.out() << "Quote " << quote->number << " (ID " << quote->id << ") for " << quote->customerName
            << ", " << quote->date.date().toString(Qt::ISODate) << Qt::endl;
    if (!quote->description.isEmpty())
        c.out() << quote->description << Qt::endl;
    c.out() << lines.size() << " lines, total " << Money(QuoteTotal(lines)) << Qt::endl << Qt::endl;
    c.out() << qSetFieldWidth(4) << Qt::right << "Line" << qSetFieldWidth(5) << "Qty"
            << qSetFieldWidth(0) << "  " << qSetFieldWidth(36) << Qt::left << "Product / Style"
            << qSetFieldWidth(18) << "Room Location" << qSetFieldWidth(12) << Qt::right
            << "Unit price" << qSetFieldWidth(0) << Qt::endl;
    for (const QuoteLine &l : lines) {
        const ItemSummary item = SummariseItem(l.itemXML);
        const auto price = PriceCostNumber(l.priceCostXML, u"UnitPrice");
        c.out() << qSetFieldWidth(4) << Qt::right << l.line << qSetFieldWidth(5) << l.quantity
                << qSetFieldWidth(0) << "  " << qSetFieldWidth(36) << Qt::left
                << (l.productName.isEmpty() ? QStringLiteral("Product %1").arg(l.productID)
                                            : l.productName) +
                       QStringLiteral(" / ") + l.style
                << qSetFieldWidth(18)
                << (item.roomLocation.isEmpty() ? QStringLiteral("(none)") : item.roomLocation)
                << qSetFieldWidth(12) << Qt::right << (price ? Money(*price) : QStringLiteral("?"))
                << qSetFieldWidth(0) << Qt::left << Qt::endl;
        if (!item.readable)
            c.out() << "           (the item document cannot be read)" << Qt::endl;
        if (!item.description.isEmpty())
            c.out() << "           " << item.description << Qt::endl;
        for (const QString &m : item.messages)
            c.out() << "           " << m << Qt::endl;
        c.out() << "           UniqueID " << l.uniqueID << Qt::endl;
    }
    return 0;
}

} // namespace

void AddQuoteCommands(std::vector<Command> &commands)
{
    commands.push_back({{QStringLiteral("quote"), QStringLiteral("list")},
                        QString(),
                        QStringLiteral("List the quotes with their customers and totals."),
                        {},
                        ListQuotes});
    commands.push_back({{QStringLiteral("quote"), QStringLiteral("show")},
                        QStringLiteral("N"),
                        QStringLiteral("Show quote N (its ID or number) line by line."),
                        {},
                        ShowQuote});
}

} // namespace zeltpc5::host::app
