// The three tool engines. Hosts obtain them only from Library.
#pragma once

#include "engine/toolengine.h"

#include "common/progress.h"

#include <QSet>

#include <functional>

namespace zeltpc5 {

struct ChangeRun;
struct ProgressWindowTexts;

class ReplaceEngine : public ToolEngine
{
public:
    ReplaceEngine();

    // The bulk changes. The Show forms run inside their progress window (directly when the
    // host has no windows); every form returns true unless the run ended cancelled.
    bool ShowChangeOptionValue(const QString &optionNames, const QString &newOptionValues,
                               const QString &uniqueIDsToChange);
    bool ChangeOptionValue(const QString &optionNames, const QString &newOptionValues,
                           const QString &uniqueIDsToChange);
    bool ShowChangeProductStyle(qint32 vendorID, qint32 productID, const QString &style,
                                const QString &uniqueIDsToChange);
    bool ChangeProductStyle(qint32 vendorID, qint32 productID, const QString &style,
                            const QString &uniqueIDsToChange);
    bool ShowChangeProductStyleAndOptions(qint32 vendorID, qint32 productID, const QString &style,
                                          const QString &optionNames,
                                          const QString &newOptionValues,
                                          const QString &uniqueIDsToChange);
    bool ChangeProductStyleAndOptions(qint32 vendorID, qint32 productID, const QString &style,
                                      const QString &optionNames, const QString &newOptionValues,
                                      const QString &uniqueIDsToChange);
    bool ShowChangeDiscount(qint16 whatToChange, const QString &newValue,
                            const QString &uniqueIDsToChange);
    bool ChangeDiscount(qint16 whatToChange, const QString &newValue,
                        const QString &uniqueIDsToChange);

    // Shows the lines and their changes in the review window; true only when the user
    // accepted with OK. Changes nothing in the engine. A host without windows gets false.
    bool ShowReplaceReview();

    // The identifiers chosen by the most recent change run ("|"-separated).
    const QString &SelectedIDs() const { return m_selectedIDs; }
    void setSelectedIDs(const QString &ids);
    // True when the identifier is one of the last run's identifiers, in any letter case.
    bool LineWasSelected(const QString &uniqueID) const;

private:
    using Worker = std::function<void(ChangeRun &, Progress *)>;
    // Records the run's identifiers, then runs the worker in the window (texts given) or
    // directly (no texts).
    bool runChange(const QString &uniqueIDsToChange, const ProgressWindowTexts *window,
                   const Worker &worker);

    QString m_selectedIDs;
    QSet<QString> m_selected; // case-folded, so that the host's per-line check stays linear
};

class CompareEngine : public ToolEngine
{
public:
    CompareEngine();

    // Shows the compare window over the lines; true only after OK, when every line's New*
    // fields hold the configuration the user chose. A host without windows gets false.
    bool ShowProductCompare();
    // The compare window's way back into the lines: "newproductid", "newstyle",
    // "newitemxml" or "newpricecostxml" (any case) of one line. Anything else, an index
    // outside the lines, or a product that is not a number changes nothing.
    void SetLineData(qint16 index, const QString &fieldName, const QString &value);
};

class ItemReviewEngine : public ToolEngine
{
public:
    ItemReviewEngine();

    // Reviews the lines named by the "|"-separated identifiers inside the progress window
    // (directly when the host has no windows); true unless the review ended cancelled.
    bool ShowReviewItems(const QString &uniqueIDs);
    // The same review without a window; true unless it ended cancelled.
    bool ReviewItems(const QString &uniqueIDs);
    // Shows the lines with their review results and a summary; the window only reads the
    // engine and offers nothing to accept, so the result is false (also without windows).
    bool ShowReviewResults();
};

// Makes "zeltpc5.Library" creatable in this process (by ProgID and CLSID) without going
// through a registered module: for hosts that link the component directly, and for tests.
void RegisterComponentClasses();

} // namespace zeltpc5
