#include "engine/engines.h"

#include <zeltpc5/classregistry.h>

namespace zeltpc5 {

namespace {

const MemberTable &replaceTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::ReplaceEngineInterface())
            .method("LineWasSelected", 1,
                    [](Dispatch &d, VariantList &args, Variant &result) {
                        ArgReader a(args);
                        const QString id = a.text(0);
                        if (!a.ok())
                            return a.status();
                        result = MakeBool(static_cast<ReplaceEngine &>(d).LineWasSelected(id));
                        return Status();
                    })
            .build();
    return table;
}

const MemberTable &compareTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::CompareEngineInterface()).build();
    return table;
}

const MemberTable &reviewTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::ItemReviewEngineInterface()).build();
    return table;
}

} // namespace

ReplaceEngine::ReplaceEngine() : ToolEngine(QStringLiteral("ReplaceEngine"), &replaceTable()) {}

void ReplaceEngine::setSelectedIDs(const QString &ids)
{
    m_selectedIDs = ids;
    m_selected.clear();
    for (const QString &id : ids.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        m_selected.insert(id.toCaseFolded());
}

bool ReplaceEngine::LineWasSelected(const QString &uniqueID) const
{
    // Whole identifiers only: a plain substring test would report line 12 as selected
    // when only 112 was.
    return !uniqueID.isEmpty() && m_selected.contains(uniqueID.toCaseFolded());
}

CompareEngine::CompareEngine() : ToolEngine(QStringLiteral("CompareEngine"), &compareTable()) {}

ItemReviewEngine::ItemReviewEngine()
    : ToolEngine(QStringLiteral("ItemReviewEngine"), &reviewTable())
{}

void RegisterComponentClasses()
{
    const auto *library = typelib::FindClass(u"Library");
    ClassRegistry::instance().registerClass(library->progId(), library->clsid,
                                            [] { return DispatchPtr(Library::create()); });
}

} // namespace zeltpc5
