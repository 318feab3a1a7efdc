// The component as this host reaches it: by class name through the class registry, with
// the module registered from beside the program when it is not registered yet, and with
// the host's own engines registered in-process.
#pragma once

#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/services/sharedcodelibrary.h"

#include <zeltpc5/dispatch.h>

#include <QJsonArray>
#include <QSet>
#include <QTextStream>

#include <memory>
#include <vector>

namespace zeltpc5::host::app {

// A Library initialised with the service object over the database; nothing (and the reason
// in error) when the component cannot be created.
// The service object gets the options given (item dialogs, message presenter, ...).
DispatchPtr OpenComponent(std::shared_ptr<Database> db, QString *error,
                          ServiceOptions options = {});

// A fresh engine ("CreateReplaceEngine", ...) holding the quote lines. A line whose UniqueID
// cannot name it alone (empty, holding "|", shared within the quote ignoring case; see
// FindUniqueIDFaults) is not handed over: the component would take it for another line. Such
// lines are removed from lines, which so stays the engine's list index for index, and
// "line N: reason" goes to withheld.
DispatchPtr LoadEngine(const DispatchPtr &library, QStringView create,
                       std::vector<QuoteLine> &lines, QStringList *withheld = nullptr);

// The "|"-joined UniqueIDs of the lines named by --lines ("1,3,5" or "all"); the numbers
// not found go to missing. A line whose UniqueID cannot name it alone is never selected:
// "line N: reason" goes to withheld.
QString SelectUniqueIDs(const std::vector<QuoteLine> &lines, const QString &selection,
                        QStringList *missing, QStringList *withheld);

// The "|"-joined UniqueIDs among ids (in their order) that are lines' UniqueIDs, for lines
// as LoadEngine left them: an identifier the engine was not given is not passed on.
QString JoinLoadedUniqueIDs(const std::vector<QuoteLine> &loaded, const QStringList &ids);

// A markup text as plain text: the markup's tags removed, line breaks kept, entities decoded.
QString PlainText(const QString &markup);

// Why a changed line's new documents must not be written over the line (an empty or
// unreadable item or price/cost document); empty when they may. A document is readable when
// every reader of the line's documents takes it whole: the component's parser and the host's
// own (see IsWellFormedXml). So a document type declaration is refused too, as the component
// refuses it when the line is next loaded.
QString UnwritableReason(const QuoteLine &changed);

// A changed line's new price/cost document read once: its unit price as UnitPriceOf gives it,
// and whether UnwritableReason finds it readable.
struct PriceCostReading
{
    QString unitPrice;
    bool readable = false;
};
PriceCostReading ReadPriceCost(const QString &priceCostXml);
// UnwritableReason for a line whose price/cost document was judged by ReadPriceCost.
QString UnwritableReason(const QuoteLine &changed, bool priceCostReadable);

// The unit price stored in a price/cost document, as text; empty when there is none.
QString UnitPriceOf(const QString &priceCostXml);

// UniqueIDs matched as the component matches them, ignoring case: one hash look-up each, so
// that going through many lines stays linear in their number.
class UniqueIDSet
{
public:
    explicit UniqueIDSet(const QStringList &ids);
    bool contains(const QString &id) const;

private:
    QSet<QString> m_folded;
};

// The lines as a run read them, for the changed lines in their order: the first line of read
// whose UniqueID matches ignoring case; a changed line that was not read has none.
std::vector<QuoteLine> LinesAsRead(const std::vector<QuoteLine> &read,
                                   const std::vector<QuoteLine> &changed);

} // namespace zeltpc5::host::app
