// The quotes of the company database as the host program reads and writes them: the lines
// it hands to the component and the place where accepted results go back.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
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

// A quote line to be stored; identifiers are given by the writer.
struct NewQuoteLine
{
    int id;
    int line;
    int quantity;
    int productID;
    QString style;
    QString itemXML;
    QString priceCostXML;
    QString uniqueID;
};

struct NewQuote
{
    int id;
    QString number;
    int customerID;
    QDateTime date; // UTC
    QString description;
    std::vector<NewQuoteLine> lines;
};

// A line whose UniqueID cannot name that line, and that line alone, to the component.
struct UniqueIDFault
{
    std::size_t index; // into the list checked
    QString reason;    // "its UniqueID ... holds "|"", ready to follow "line N: "
};

// The component receives a run's UniqueIDs joined by "|" and finds each ignoring case. So a
// UniqueID must not be empty, must not hold "|", and must differ, ignoring case, from every
// other line's in the quote: otherwise selecting one line selects another, or none. The
// lines are given as (line number, UniqueID); every line of a clash is at fault.
std::vector<UniqueIDFault> FindUniqueIDFaults(const std::vector<std::pair<int, QString>> &lines);

// Stores a quote and its lines inside the caller's transaction. Throws DatabaseError naming
// the lines when a UniqueID is unusable (see FindUniqueIDFaults) or already used by a line of
// another quote, before anything is written.
void InsertQuote(Database &db, const NewQuote &quote);

class QuoteStore
{
public:
    explicit QuoteStore(Database &db) : m_db(db) {}

    std::vector<QuoteSummary> quotes() const;
    // A quote by its ID or its number ("Q-1001"); nothing when there is none.
    std::optional<QuoteSummary> quote(const QString &idOrNumber) const;
    std::vector<QuoteLine> lines(int quoteID) const;

    // A new quote with its lines, or new lines for an existing quote, in one transaction; all
    // or nothing. Throws DatabaseError naming the lines at fault: an unusable UniqueID, one
    // shared with another line of the quote (ignoring case) or with a line of another quote.
    void addQuote(const NewQuote &quote);
    void addLines(int quoteID, const std::vector<NewQuoteLine> &lines);

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
