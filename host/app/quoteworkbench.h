// What the quote window does, without the window: the quotes of the company database, the
// lines of one quote as the window lists them, the component's tools run over selected
// lines (progress window, review window, then the accepted lines written back in one
// transaction), and the undo of the last change written.
#pragma once

#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/dialogs/itemdialogs.h"
#include "host/services/messages.h"

#include <zeltpc5/dispatch.h>

#include <QStringList>

#include <memory>
#include <vector>

namespace zeltpc5::host::app {

// A quote line as the window lists it.
struct QuoteLineRow
{
    QuoteLine line;
    QString productStyle;
    QString location;
    QString dimensions; // "W x H" as the item holds them
    double unitPrice = 0;
    double lineTotal = 0;
};

// The option names and values a bulk option change offers for the selected lines, from their
// products' files: every option a user can set, with the choices of list options.
struct OptionChoices
{
    QStringList names;
    QHash<QString, QStringList> values;
};

class QuoteWorkbench
{
public:
    // Opens the component over the database, with the host's item dialogs. Nothing usable
    // (isOpen false, the reason in error) when the component cannot be created.
    // messages: how the host's messages reach the user (null: message boxes).
    explicit QuoteWorkbench(std::shared_ptr<Database> db,
                            std::shared_ptr<MessagePresenter> messages = {});
    ~QuoteWorkbench();
    QuoteWorkbench(const QuoteWorkbench &) = delete;
    QuoteWorkbench &operator=(const QuoteWorkbench &) = delete;

    bool isOpen() const { return bool(m_library); }
    const QString &error() const { return m_error; }
    Database &database() { return *m_db; }
    const std::shared_ptr<Database> &sharedDatabase() const { return m_db; }
    const DispatchPtr &sharedCodeLibrary() const { return m_services; }

    std::vector<QuoteSummary> quotes() const;
    std::vector<QuoteLineRow> lines(int quoteID) const;
    OptionChoices optionChoices(const std::vector<QuoteLine> &selected) const;

    // How a tool run ended.
    struct Outcome
    {
        bool ran = false;      // the change ran to its end (not cancelled, no failure)
        bool accepted = false; // the user chose OK in the review window
        int written = 0;       // lines written back
        QString message;       // for the status bar
    };
    // The bulk changes over the selected lines of a quote. Each runs the component's
    // progress window, then its review window; OK writes the changed lines.
    Outcome changeOptionValues(int quoteID, const QStringList &uniqueIDs, const QStringList &names,
                               const QStringList &values);
    Outcome changeProductStyle(int quoteID, const QStringList &uniqueIDs, qint32 vendorID,
                               qint32 productID, const QString &style,
                               const QStringList &names = {}, const QStringList &values = {});
    Outcome changeDiscount(int quoteID, const QStringList &uniqueIDs, qint16 whatToChange,
                           const QString &value);
    // One line in the host's item editor; OK writes the edited, re-priced line.
    Outcome editItem(int quoteID, const QString &uniqueID);
    // The selected lines in the compare window; OK writes each line's chosen configuration.
    Outcome compare(int quoteID, const QStringList &uniqueIDs);
    // The item review with its results window; writes nothing.
    Outcome reviewItems(int quoteID, const QStringList &uniqueIDs);

    // Restores the lines of the last change written, as they were before it.
    bool canUndo() const { return !m_undo.empty(); }
    Outcome undo();

private:
    Outcome runChange(int quoteID, const QStringList &uniqueIDs, QStringView show,
                      const VariantList &arguments);
    // The change over the selected ("|"-joined) lines of an engine loaded with lines, its
    // review, and the accepted lines written.
    void runLoadedChange(const DispatchPtr &engine, const std::vector<QuoteLine> &lines,
                         const QString &selected, QStringView show, const VariantList &arguments,
                         Outcome &outcome);
    // A new engine over the quote's lines and the selected identifiers among those it holds.
    struct Loaded
    {
        std::vector<QuoteLine> lines; // as the engine holds them
        DispatchPtr engine;
        QString selected;     // "|"-joined
        QStringList withheld; // lines the component was not given, and why
    };
    // False, with the outcome's message set, when there is nothing to run on.
    bool loadSelected(int quoteID, const QStringList &ids, QStringView create,
                      const QString &selectFirst, Loaded &loaded, Outcome &outcome);
    // The lines whose product, style or documents the engine changed, written over the lines
    // as they were read, in one transaction; the engine is let go.
    void writeNewLines(const DispatchPtr &engine, const std::vector<QuoteLine> &lines,
                       Outcome &outcome);

    std::shared_ptr<Database> m_db;
    std::shared_ptr<ItemDialogContext> m_dialogContext;
    DispatchPtr m_services;
    DispatchPtr m_library;
    QString m_error;
    std::vector<QuoteLine> m_undo;    // the lines as they were before the last change written
    std::vector<QuoteLine> m_written; // and as that change wrote them
};

} // namespace zeltpc5::host::app
