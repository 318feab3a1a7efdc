#include "automation/typelib.h"

#include <array>

namespace zeltpc5::typelib {

namespace {

using K = MemberKind;

// Properties take 0x6803xxxx and methods 0x6003xxxx, numbered in declaration order; a
// property's get and put share one identifier.
constexpr std::array LibraryMembers{
    MemberFacts{"SharedCodeLibrary", 0x68030000, K::PropertyGet},
    MemberFacts{"Initialize", 0x60030001, K::Method},
    MemberFacts{"PreTerminate", 0x60030002, K::Method},
    MemberFacts{"CreateReplaceEngine", 0x60030003, K::Method},
    MemberFacts{"CreateItemReviewEngine", 0x60030004, K::Method},
    MemberFacts{"CreateCompareEngine", 0x60030005, K::Method},
};

// The tool operations of each engine join these lists as they are built, with the
// identifiers their interfaces reserve for them.
constexpr std::array ReplaceEngineMembers{
    MemberFacts{"CancelRequested", 0x68030000, K::PropertyGetPut},
    MemberFacts{"Owner", 0x68030001, K::PropertyGet},
    MemberFacts{"PreTerminate", 0x60030004, K::Method},
    MemberFacts{"ShowReplaceReview", 0x60030005, K::Method},
    MemberFacts{"Clear", 0x60030006, K::Method},
    MemberFacts{"AddLine", 0x60030007, K::Method},
    MemberFacts{"CountLines", 0x60030008, K::Method},
    MemberFacts{"GetLineData", 0x60030009, K::Method},
    MemberFacts{"LineWasSelected", 0x6003000A, K::Method},
    MemberFacts{"CountChanges", 0x6003000B, K::Method},
    MemberFacts{"GetChange", 0x6003000C, K::Method},
    MemberFacts{"ShowChangeOptionValue", 0x6003000D, K::Method},
    MemberFacts{"ChangeOptionValue", 0x6003000E, K::Method},
    MemberFacts{"ShowChangeProductStyle", 0x6003000F, K::Method},
    MemberFacts{"ChangeProductStyle", 0x60030010, K::Method},
    MemberFacts{"ShowChangeProductStyleAndOptions", 0x60030011, K::Method},
    MemberFacts{"ChangeProductStyleAndOptions", 0x60030012, K::Method},
    MemberFacts{"ShowChangeDiscount", 0x60030013, K::Method},
    MemberFacts{"ChangeDiscount", 0x60030014, K::Method},
};

constexpr std::array CompareEngineMembers{
    MemberFacts{"CancelRequested", 0x68030000, K::PropertyGetPut},
    MemberFacts{"Owner", 0x68030001, K::PropertyGet},
    MemberFacts{"PreTerminate", 0x60030004, K::Method},
    MemberFacts{"ShowProductCompare", 0x60030005, K::Method},
    MemberFacts{"Clear", 0x60030006, K::Method},
    MemberFacts{"AddLine", 0x60030007, K::Method},
    MemberFacts{"CountLines", 0x60030008, K::Method},
    // 0x60030009 is not used by this interface.
    MemberFacts{"GetLineData", 0x6003000A, K::Method},
    MemberFacts{"CountChanges", 0x6003000B, K::Method},
    MemberFacts{"GetChange", 0x6003000C, K::Method},
};

constexpr std::array ItemReviewEngineMembers{
    MemberFacts{"CancelRequested", 0x68030000, K::PropertyGetPut},
    MemberFacts{"Owner", 0x68030001, K::PropertyGet},
    MemberFacts{"PreTerminate", 0x60030004, K::Method},
    MemberFacts{"ShowReviewResults", 0x60030005, K::Method},
    MemberFacts{"Clear", 0x60030006, K::Method},
    MemberFacts{"AddLine", 0x60030007, K::Method},
    MemberFacts{"CountLines", 0x60030008, K::Method},
    MemberFacts{"GetLineData", 0x60030009, K::Method},
    MemberFacts{"CountChanges", 0x6003000A, K::Method},
    MemberFacts{"GetChange", 0x6003000B, K::Method},
    MemberFacts{"ShowReviewItems", 0x6003000C, K::Method},
    MemberFacts{"ReviewItems", 0x6003000D, K::Method},
};

const InterfaceFacts LibraryIf{"_Library", QUuid("{648405CB-3DB3-4EEB-99FC-88917C33A4EB}"),
                               LibraryMembers};
const InterfaceFacts ReplaceIf{"_ReplaceEngine", QUuid("{215FE00C-27D7-4050-BAE8-9071623A4703}"),
                               ReplaceEngineMembers};
const InterfaceFacts CompareIf{"_CompareEngine", QUuid("{37B7059E-AB24-4A5A-B976-9032E19230AB}"),
                               CompareEngineMembers};
const InterfaceFacts ReviewIf{"_ItemReviewEngine", QUuid("{49C2E942-DE9B-4407-92FC-FB64F128B8E6}"),
                              ItemReviewEngineMembers};

const std::array ClassList{
    ClassFacts{"Library", QUuid("{AC3E2516-BAC2-43B1-B819-7CEE63E30E99}"), true, &LibraryIf},
    ClassFacts{"ReplaceEngine", QUuid("{F7C82FA3-9270-4633-8226-DF8F2794F1F5}"), false, &ReplaceIf},
    ClassFacts{"CompareEngine", QUuid("{105F3576-C94E-4969-9B3E-8D67F84FED5B}"), false, &CompareIf},
    ClassFacts{"ItemReviewEngine", QUuid("{0F666C4D-19B2-475D-800B-454E06036FF5}"), false,
               &ReviewIf},
};

const LibraryFacts TheLibrary{"zeltpc5",
                              "ZELT - Product Compare",
                              QUuid("{6808E852-2A56-4048-A174-7C5B87CE9BAB}"),
                              "zeltpc5.dll",
                              "zeltpc5",
                              "ZELT - Product Compare",
                              5,
                              0,
                              0,
                              80,
                              "5.00.0080"};

} // namespace

QString ClassFacts::progId() const
{
    return QLatin1String(Library().name) + QLatin1Char('.') + QLatin1String(name);
}

const LibraryFacts &Library()
{
    return TheLibrary;
}
const InterfaceFacts &LibraryInterface()
{
    return LibraryIf;
}
const InterfaceFacts &ReplaceEngineInterface()
{
    return ReplaceIf;
}
const InterfaceFacts &CompareEngineInterface()
{
    return CompareIf;
}
const InterfaceFacts &ItemReviewEngineInterface()
{
    return ReviewIf;
}
std::span<const ClassFacts> Classes()
{
    return ClassList;
}

const ClassFacts *FindClass(QStringView name)
{
    for (const auto &c : ClassList) {
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

const ClassFacts *FindClass(const QUuid &clsid)
{
    for (const auto &c : ClassList) {
        if (c.clsid == clsid)
            return &c;
    }
    return nullptr;
}

const MemberFacts &TableBuilder::facts(const char *name, MemberKind kind) const
{
    for (const auto &m : m_facts.members) {
        if (qstrcmp(m.name, name) == 0) {
            const bool isProperty = m.kind != MemberKind::Method;
            if (isProperty != (kind != MemberKind::Method))
                qFatal("%s.%s is bound with the wrong kind", m_facts.name, name);
            return m;
        }
    }
    qFatal("%s has no member %s", m_facts.name, name);
}

TableBuilder &TableBuilder::method(const char *name, int minArgs, int maxArgs,
                                   MemberTable::Handler h)
{
    const auto &f = facts(name, MemberKind::Method);
    m_table.method(QLatin1String(f.name), f.id, minArgs, maxArgs, std::move(h));
    return *this;
}

TableBuilder &TableBuilder::property(const char *name, MemberTable::Handler get,
                                     MemberTable::Handler put)
{
    const auto &f = facts(name, MemberKind::PropertyGet);
    if ((f.kind == MemberKind::PropertyGetPut) != bool(put))
        qFatal("%s.%s: the put half does not match the interface", m_facts.name, name);
    m_table.property(QLatin1String(f.name), f.id, std::move(get), std::move(put));
    return *this;
}

MemberTable TableBuilder::build() const
{
    for (const auto &m : m_facts.members) {
        if (!m_table.idOf(QString::fromLatin1(m.name)))
            qFatal("%s.%s has no handler", m_facts.name, m.name);
    }
    return m_table;
}

} // namespace zeltpc5::typelib
