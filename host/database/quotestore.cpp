#include "host/database/quotestore.h"

#include "host/database/database.h"

#include <QHash>

namespace zeltpc5::host {

namespace {

// Dates come back as text from SQLite and as timestamps from server databases.
QDateTime ToDateTime(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    QDateTime dt = QDateTime::fromString(v.toString(), Qt::ISODate);
    dt.setTimeSpec(Qt::UTC);
    return dt;
}

const QString SummarySelect =
    QStringLiteral("SELECT q.ID, q.QuoteNumber, c.CustomerName, q.QuoteDate, q.Description, "
                   "(SELECT COUNT(*) FROM QuoteLines l WHERE l.QuoteID = q.ID) "
                   "FROM Quotes q LEFT JOIN Customers c ON c.ID = q.CustomerID ");

QuoteSummary ToSummary(const QVariantList &row)
{
    return {row[0].toInt(),     row[1].toString(), row[2].toString(),
            ToDateTime(row[3]), row[4].toString(), row[5].toInt()};
}

} // namespace

std::vector<QuoteSummary> QuoteStore::quotes() const
{
    std::vector<QuoteSummary> result;
    for (const QVariantList &row :
         m_db.select(SummarySelect + QStringLiteral("ORDER BY q.QuoteNumber")).rows)
        result.push_back(ToSummary(row));
    return result;
}

std::optional<QuoteSummary> QuoteStore::quote(const QString &idOrNumber) const
{
    bool isNumber = false;
    const int id = idOrNumber.toInt(&isNumber);
    const ResultSet rs =
        isNumber ? m_db.select(SummarySelect + QStringLiteral("WHERE q.ID = ?"), {id})
                 : m_db.select(SummarySelect + QStringLiteral("WHERE q.QuoteNumber = ?"),
                               {idOrNumber.trimmed()});
    if (rs.rows.empty())
        return std::nullopt;
    return ToSummary(rs.rows.front());
}

std::vector<QuoteLine> QuoteStore::lines(int quoteID) const
{
    std::vector<QuoteLine> result;
    const ResultSet rs = m_db.select(
        QStringLiteral("SELECT l.Line, l.Quantity, l.ProductID, p.ProductName, l.Style, "
                       "l.ItemXML, l.PriceCostXML, l.UniqueID FROM QuoteLines l "
                       "LEFT JOIN Products p ON p.ID = l.ProductID "
                       "WHERE l.QuoteID = ? ORDER BY l.Line"),
        {quoteID});
    for (const QVariantList &row : rs.rows)
        result.push_back({row[0].toInt(), row[1].toInt(), row[2].toInt(), row[3].toString(),
                          row[4].toString(), row[5].toString(), row[6].toString(),
                          row[7].toString()});
    return result;
}

namespace {

const QString UpdateLineSql = QStringLiteral(
    "UPDATE QuoteLines SET ProductID = ?, Style = ?, ItemXML = ?, PriceCostXML = ? WHERE "
    "UniqueID = ?");

} // namespace

bool QuoteStore::updateLine(const QString &uniqueID, int productID, const QString &style,
                            const QString &itemXML, const QString &priceCostXML)
{
    Transaction transaction(m_db);
    const int changed =
        m_db.execute(UpdateLineSql, {productID, style, itemXML, priceCostXML, uniqueID});
    transaction.commit();
    return changed > 0;
}

int QuoteStore::updateLines(const std::vector<QuoteLine> &changed)
{
    Transaction transaction(m_db);
    const int found = writeLines(changed);
    transaction.commit();
    return found;
}

int QuoteStore::writeLines(const std::vector<QuoteLine> &changed)
{
    int found = 0;
    for (const QuoteLine &l : changed) {
        if (m_db.execute(UpdateLineSql,
                         {l.productID, l.style, l.itemXML, l.priceCostXML, l.uniqueID}) > 0)
            ++found;
    }
    return found;
}

int QuoteStore::updateLines(const std::vector<QuoteLine> &before,
                            const std::vector<QuoteLine> &changed)
{
    Transaction transaction(m_db);
    // On SQLite the transaction already holds the write lock. A server locks only the rows
    // read FOR UPDATE: without it, two writers could both find the lines unchanged and the
    // second would overwrite the first. With it, the second waits, then reads what the first
    // committed.
    const QString lock = m_db.settings().isSqlite() || m_db.dialect() == SqlDialect::TopClause
                             ? QString()
                             : QStringLiteral(" FOR UPDATE");
    QStringList moved;
    for (const QuoteLine &l : before) {
        const ResultSet now = m_db.select(
            QStringLiteral("SELECT ProductID, Style, ItemXML, PriceCostXML FROM QuoteLines "
                           "WHERE UniqueID = ?") +
                lock,
            {l.uniqueID});
        if (now.rows.empty())
            continue; // a line gone is reported by the count
        const QVariantList &row = now.rows.front();
        if (row[0].toInt() != l.productID || row[1].toString() != l.style ||
            row[2].toString() != l.itemXML || row[3].toString() != l.priceCostXML)
            moved << QString::number(l.line);
    }
    if (!moved.isEmpty()) {
        throw DatabaseError(
            QStringLiteral("Line(s) %1 changed since this run read them; nothing was written. "
                           "Run the change again.")
                .arg(moved.join(QStringLiteral(", "))));
    }
    const int found = writeLines(changed);
    transaction.commit();
    return found;
}

namespace {

// Enough of a long list for the user to find the lines; the rest are counted.
constexpr qsizetype ListedFaults = 10;

QString ListFaults(const QStringList &faults)
{
    QStringList shown = faults.mid(0, ListedFaults);
    if (faults.size() > ListedFaults)
        shown << QStringLiteral("and %1 more").arg(faults.size() - ListedFaults);
    return shown.join(QStringLiteral("; "));
}

// Why these lines cannot join the quote, whose lines so far are `existing`: the new lines'
// faults (a clash with an existing line counts against the new one), then UniqueIDs used by
// lines of other quotes. Empty when they can.
QString NewLineProblems(const Database &db, const std::vector<std::pair<int, QString>> &existing,
                        const std::vector<NewQuoteLine> &lines)
{
    std::vector<std::pair<int, QString>> all = existing;
    all.reserve(existing.size() + lines.size());
    for (const NewQuoteLine &l : lines)
        all.emplace_back(l.line, l.uniqueID);
    QStringList faults;
    for (const UniqueIDFault &f : FindUniqueIDFaults(all)) {
        if (f.index >= existing.size())
            faults << QStringLiteral("line %1: %2").arg(all[f.index].first).arg(f.reason);
    }
    if (!faults.isEmpty())
        return ListFaults(faults);

    // Write-backs find a line by its UniqueID alone, so it is unique across all quotes; the
    // schema says so too, but its message would not name the line. Asked in slices so that
    // a long quote costs a few statements, not one per line.
    constexpr std::size_t Slice = 200;
    QHash<QString, int> lineOf;
    for (const NewQuoteLine &l : lines)
        lineOf.insert(l.uniqueID, l.line);
    for (std::size_t from = 0; from < lines.size(); from += Slice) {
        const std::size_t to = std::min(lines.size(), from + Slice);
        QVariantList ids;
        QStringList marks;
        for (std::size_t i = from; i < to; ++i) {
            ids << lines[i].uniqueID;
            marks << QStringLiteral("?");
        }
        const ResultSet used = db.select(
            QStringLiteral("SELECT l.UniqueID, q.QuoteNumber, l.Line FROM QuoteLines l "
                           "LEFT JOIN Quotes q ON q.ID = l.QuoteID WHERE l.UniqueID IN (%1) "
                           "ORDER BY q.QuoteNumber, l.Line")
                .arg(marks.join(QStringLiteral(", "))),
            ids);
        for (const QVariantList &row : used.rows)
            faults << QStringLiteral("line %1: its UniqueID \"%2\" is already line %3 of quote %4")
                          .arg(QString::number(lineOf.value(row[0].toString())), row[0].toString(),
                               row[2].toString(), row[1].toString());
    }
    return ListFaults(faults);
}

void InsertLines(Database &db, int quoteID, const std::vector<NewQuoteLine> &lines)
{
    for (const NewQuoteLine &line : lines)
        db.execute(QStringLiteral("INSERT INTO QuoteLines (ID, QuoteID, Line, Quantity, "
                                  "ProductID, Style, ItemXML, PriceCostXML, UniqueID) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {line.id, quoteID, line.line, line.quantity, line.productID, line.style,
                    line.itemXML, line.priceCostXML, line.uniqueID});
}

} // namespace

std::vector<UniqueIDFault> FindUniqueIDFaults(const std::vector<std::pair<int, QString>> &lines)
{
    // The component finds a line under the lower-case form of its UniqueID in one place and
    // under the case-folded form in another: two lines clash when either form is shared.
    QHash<QString, std::vector<std::size_t>> byLower, byFolded;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString &id = lines[i].second;
        if (id.isEmpty() || id.contains(u'|'))
            continue;
        byLower[id.toLower()].push_back(i);
        byFolded[id.toCaseFolded()].push_back(i);
    }
    const auto otherIn = [](const std::vector<std::size_t> &group, std::size_t self) {
        return group.front() != self ? group.front() : group[1];
    };
    std::vector<UniqueIDFault> faults;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString &id = lines[i].second;
        if (id.isEmpty()) {
            faults.push_back({i, QStringLiteral("its UniqueID is empty")});
            continue;
        }
        if (id.contains(u'|')) {
            faults.push_back(
                {i, QStringLiteral("its UniqueID \"%1\" holds \"|\", which separates the "
                                   "UniqueIDs handed to the component")
                        .arg(id)});
            continue;
        }
        const std::vector<std::size_t> &lower = *byLower.constFind(id.toLower());
        const std::vector<std::size_t> &folded = *byFolded.constFind(id.toCaseFolded());
        if (lower.size() > 1 || folded.size() > 1) {
            const std::size_t other = lower.size() > 1 ? otherIn(lower, i) : otherIn(folded, i);
            faults.push_back({i, QStringLiteral("its UniqueID \"%1\" is also line %2's "
                                                "(UniqueIDs are compared ignoring case)")
                                     .arg(id, QString::number(lines[other].first))});
        }
    }
    return faults;
}

void InsertQuote(Database &db, const NewQuote &quote)
{
    const QString problems = NewLineProblems(db, {}, quote.lines);
    if (!problems.isEmpty())
        throw DatabaseError(QStringLiteral("Quote %1 was not stored: %2. Give each line a "
                                           "UniqueID of its own, without \"|\".")
                                .arg(quote.number, problems));
    db.execute(
        QStringLiteral("INSERT INTO Quotes (ID, QuoteNumber, CustomerID, QuoteDate, "
                       "Description) VALUES (?, ?, ?, ?, ?)"),
        {quote.id, quote.number, quote.customerID, DateValue(db, quote.date), quote.description});
    InsertLines(db, quote.id, quote.lines);
}

void QuoteStore::addQuote(const NewQuote &quote)
{
    Transaction transaction(m_db);
    InsertQuote(m_db, quote);
    transaction.commit();
}

void QuoteStore::addLines(int quoteID, const std::vector<NewQuoteLine> &lines)
{
    Transaction transaction(m_db);
    const std::optional<QuoteSummary> summary = quote(QString::number(quoteID));
    if (!summary)
        throw DatabaseError(QStringLiteral("There is no quote %1 to add lines to.").arg(quoteID));
    std::vector<std::pair<int, QString>> existing;
    for (const QVariantList &row :
         m_db.select(QStringLiteral("SELECT Line, UniqueID FROM QuoteLines WHERE QuoteID = ?"),
                     {quoteID})
             .rows)
        existing.emplace_back(row[0].toInt(), row[1].toString());
    const QString problems = NewLineProblems(m_db, existing, lines);
    if (!problems.isEmpty())
        throw DatabaseError(QStringLiteral("No lines were added to quote %1: %2. Give each line "
                                           "a UniqueID of its own, without \"|\".")
                                .arg(summary->number, problems));
    InsertLines(m_db, quoteID, lines);
    transaction.commit();
}

} // namespace zeltpc5::host
