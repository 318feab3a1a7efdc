#include "host/database/quotestore.h"

#include "host/database/database.h"

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
    QStringList moved;
    for (const QuoteLine &l : before) {
        const ResultSet now = m_db.select(
            QStringLiteral("SELECT ProductID, Style, ItemXML, PriceCostXML FROM QuoteLines "
                           "WHERE UniqueID = ?"),
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

} // namespace zeltpc5::host
