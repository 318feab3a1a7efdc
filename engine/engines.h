// The three tool engines. Hosts obtain them only from Library.
#pragma once

#include "engine/toolengine.h"

#include <QSet>

namespace zeltpc5 {

class ReplaceEngine : public ToolEngine
{
public:
    ReplaceEngine();

    // The identifiers chosen by the most recent change run ("|"-separated).
    const QString &SelectedIDs() const { return m_selectedIDs; }
    void setSelectedIDs(const QString &ids);
    // True when the identifier is one of the last run's identifiers, in any letter case.
    bool LineWasSelected(const QString &uniqueID) const;

private:
    QString m_selectedIDs;
    QSet<QString> m_selected; // case-folded, so that the host's per-line check stays linear
};

class CompareEngine : public ToolEngine
{
public:
    CompareEngine();
};

class ItemReviewEngine : public ToolEngine
{
public:
    ItemReviewEngine();
};

// Makes "zeltpc5.Library" creatable in this process (by ProgID and CLSID) without going
// through a registered module: for hosts that link the component directly, and for tests.
void RegisterComponentClasses();

} // namespace zeltpc5
