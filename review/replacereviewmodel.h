// The rows of the bulk change review: every line of the engine with its status, old and
// new unit price and its change texts; whether any change reports an error; and the
// messages the user sees after the list is filled. Plain C++: the window only shows it.
#pragma once

#include "engine/hostservices.h"
#include "engine/linestore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace zeltpc5 {

// A price as the lists show it: the user's currency format.
QString ReviewPriceText(float price);

// What the review reads of a ReplaceEngine: its lines, which lines the run selected, and the
// host's services.
struct ReplaceReviewSource
{
    const LineStore *lines = nullptr;
    std::function<bool(const QString &uniqueID)> lineWasSelected;
    HostServices host;
};

struct ReplaceReviewRow
{
    // Status icons.
    static constexpr int Unaffected = 0;  // the line was not selected
    static constexpr int Changed = 100;   // selected, something changed
    static constexpr int Unchanged = 101; // selected, nothing changed

    int icon = Unaffected;
    qint32 line = 0;
    qint32 quantity = 0;
    QString details; // "product / style" of the new configuration
    float oldPrice = 0;
    QString oldPriceText;
    float newPrice = 0;
    QString newPriceText;
    bool newPriceDiffers = false; // shown in green
    QStringList changes;          // markup texts, one child row each
};

class ReplaceReviewModel
{
public:
    // Reads every line of the source.
    void Fill(const ReplaceReviewSource &source);

    const std::vector<ReplaceReviewRow> &rows() const { return m_rows; }
    // True when some change text, its markup tags removed, holds "Error:" (exact case).
    bool HasErrors() const { return m_hasErrors; }

    // Whether a row is shown: unaffected rows only when the user asks for them.
    static bool IsShown(const ReplaceReviewRow &row, bool showUnaffected)
    {
        return row.icon != ReplaceReviewRow::Unaffected || showUnaffected;
    }

    // The notice about applying, then, when some change failed, the error message.
    void ShowMessages(const HostServices &host) const;

private:
    std::vector<ReplaceReviewRow> m_rows;
    bool m_hasErrors = false;
};

} // namespace zeltpc5
