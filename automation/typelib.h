// The identities hosts bind to: the type library, the classes, their interfaces and the
// dispatch identifier of every member. One table; the engines' member tables take their
// identifiers from here, so a host calling by identifier reaches the member it expects.
#pragma once

#include <zeltpc5/classregistry.h>
#include <zeltpc5/dispatch.h>

#include <QString>
#include <QUuid>

#include <span>

namespace zeltpc5::typelib {

enum class MemberKind { Method, PropertyGet, PropertyGetPut };

struct MemberFacts
{
    const char *name;
    DispId id;
    MemberKind kind;
};

struct InterfaceFacts
{
    const char *name;
    QUuid iid;
    std::span<const MemberFacts> members;
};

struct ClassFacts
{
    const char *name;
    QUuid clsid;
    bool creatable;
    const InterfaceFacts *defaultInterface;
    QString progId() const; // "zeltpc5.<name>"
};

struct LibraryFacts
{
    const char *name;       // "zeltpc5"
    const char *helpString; // "ZELT - Product Compare"
    QUuid guid;
    const char *fileName; // the original module's file name
    const char *internalName;
    const char *fileDescription;
    int versionMajor, versionMinor, versionBuild, versionRevision; // 5.0.0.80
    const char *versionText;                                       // "5.00.0080"
};

const LibraryFacts &Library();
const InterfaceFacts &LibraryInterface();
const InterfaceFacts &ReplaceEngineInterface();
const InterfaceFacts &CompareEngineInterface();
const InterfaceFacts &ItemReviewEngineInterface();
std::span<const ClassFacts> Classes();
// The class of that name ("Library", "ReplaceEngine", ...), or null.
const ClassFacts *FindClass(QStringView name);
const ClassFacts *FindClass(const QUuid &clsid);

// The type library's version as registration keys name it: major.minor in hexadecimal.
QString RegistrationVersion();
// What the module's DllRegisterServer writes for the module at modulePath and its
// DllUnregisterServer removes, as a type library's registration makes them: each class's
// CLSID with its name, type library and version, and for the creatable class alone its module
// and ProgID; each interface's IID with its name, the automation proxy and its type library;
// the type library's entry with its help string, name, flags and file.
QList<RegistryEntry> RegistrationEntries(const QString &modulePath);

// The reference page for host authors (docs/type-library.md) in Markdown, made from this
// table so that the page cannot drift from it.
QString TypeLibraryReference();

// Binds handlers to an interface's members by name. Every member of the interface must get
// its handlers and no handler may name a member the interface lacks; a mismatch is a
// programming error and aborts at the first creation of the class.
class TableBuilder
{
public:
    explicit TableBuilder(const InterfaceFacts &facts) : m_facts(facts) {}
    TableBuilder &method(const char *name, int minArgs, int maxArgs, MemberTable::Handler h);
    TableBuilder &method(const char *name, int argCount, MemberTable::Handler h)
    {
        return method(name, argCount, argCount, std::move(h));
    }
    TableBuilder &property(const char *name, MemberTable::Handler get,
                           MemberTable::Handler put = {});
    MemberTable build() const;

private:
    const MemberFacts &facts(const char *name, MemberKind kind) const;
    const InterfaceFacts &m_facts;
    MemberTable m_table;
};

} // namespace zeltpc5::typelib
