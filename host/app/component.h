// The component as this host reaches it: by class name through the class registry, with
// the module registered from beside the program when it is not registered yet, and with
// the host's own engines registered in-process.
#pragma once

#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/services/sharedcodelibrary.h"

#include <zeltpc5/dispatch.h>

#include <QJsonArray>
#include <QTextStream>

#include <memory>
#include <vector>

namespace zeltpc5::host::app {

// A Library initialised with the service object over the database; nothing (and the reason
// in error) when the component cannot be created.
// The service object gets the options given (item dialogs, message presenter, ...).
DispatchPtr OpenComponent(std::shared_ptr<Database> db, QString *error,
                          ServiceOptions options = {});

// A fresh engine ("CreateReplaceEngine", ...) holding the quote lines.
DispatchPtr LoadEngine(const DispatchPtr &library, QStringView create,
                       const std::vector<QuoteLine> &lines);

// The "|"-joined UniqueIDs of the lines named by --lines ("1,3,5" or "all"); the numbers
// not found go to missing.
QString SelectUniqueIDs(const std::vector<QuoteLine> &lines, const QString &selection,
                        QStringList *missing);

// A markup text as plain text: the markup's tags removed, line breaks kept, entities decoded.
QString PlainText(const QString &markup);

// Why a changed line's new documents must not be written over the line (an empty or
// unreadable item or price/cost document); empty when they may.
QString UnwritableReason(const QuoteLine &changed);

// The unit price stored in a price/cost document, as text; empty when there is none.
QString UnitPriceOf(const QString &priceCostXml);

} // namespace zeltpc5::host::app
