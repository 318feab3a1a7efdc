// The quotes of the company database as the host program reads and writes them: the lines
// it hands to the component and the place where accepted results go back.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace zeltpc5::host {

class Database;

struct QuoteSummary
{
    int id = 0;
    QString number;
    QString customerName;
    QDateTime date;
    QString description;
    int lineCount = 0;
};

struct QuoteLine
{
    int line = 0;
    int quantity = 0;
    int productID = 0;
    QString productName;
    QString style;
    QString itemXML;
    QString priceCostXML;
    QString uniqueID;
};

class QuoteStore
{
public:
    explicit QuoteStore(Database &db) : m_db(db) {}

    std::vector<QuoteSummary> quotes() const;
    // A quote by its ID or its number ("Q-1001"); nothing when there is none.
    std::optional<QuoteSummary> quote(const QString &idOrNumber) const;
    std::vector<QuoteLine> lines(int quoteID) const;

    // Writes a changed line back, found by its UniqueID, in one transaction. False when no
    // line has that UniqueID. Throws DatabaseError when the write fails.
    bool updateLine(const QString &uniqueID, int productID, const QString &style,
                    const QString &itemXML, const QString &priceCostXML);

    // Writes several changed lines back, all or nothing, in one transaction. Returns how many
    // lines were found by their UniqueID. Throws DatabaseError when a write fails.
    int updateLines(const std::vector<QuoteLine> &changed);
    // The same, but only over the lines as a run read them (before, matched by UniqueID): when
    // any of them changed in the meantime (another user, another run), nothing is written and
    // DatabaseError names those lines and asks for the run to be repeated.
    int updateLines(const std::vector<QuoteLine> &before, const std::vector<QuoteLine> &changed);

private:
    // The updates themselves, inside the caller's transaction; how many lines were found.
    int writeLines(const std::vector<QuoteLine> &changed);
    Database &m_db;
};

} // namespace zeltpc5::host
