// Creating objects by class name (ProgID, "project.Class") or class identifier (CLSID).
//
// Classes come from two places: factories registered in this process (a host supplies its
// product engine, formula engine and helper classes this way), and modules registered in
// the per-user class registry file, loaded on first use through their DllGetClassObject.
// The file is ~/.config/zeltpc5/classes.ini unless ZELTPC5_CLASS_REGISTRY names another.
#pragma once

#include <zeltpc5/dispatch.h>

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>

namespace zeltpc5 {

using ClassFactoryFunction = std::function<DispatchPtr()>;

// The class factory a module hands out from DllGetClassObject.
class ClassFactory : public RefCounted
{
public:
    virtual Status CreateInstance(DispatchPtr *object) = 0;
    // Keeps the module loaded while locked.
    virtual void LockServer(bool lock) = 0;
};

// Result codes of the module entry points.
namespace HResult {
inline constexpr qint32 Ok = 0;
inline constexpr qint32 False = 1;
inline constexpr qint32 InvalidArgument = qint32(0x80070057);
inline constexpr qint32 Pointer = qint32(0x80004003);
inline constexpr qint32 Fail = qint32(0x80004005);
inline constexpr qint32 ClassNotAvailable = qint32(0x80040111);
inline constexpr qint32 SelfRegClass = qint32(0x80040201);
} // namespace HResult

// The four entry points of a module, resolved by name. GUIDs are passed as text
// ("{xxxxxxxx-...}"); the factory comes back as a ClassFactory* holding one reference.
extern "C" {
using DllGetClassObjectFunction = qint32 (*)(const char *clsid, const char *iid, void **factory);
using DllCanUnloadNowFunction = qint32 (*)();
using DllRegisterServerFunction = qint32 (*)();
using DllUnregisterServerFunction = qint32 (*)();
}

class ClassRegistry
{
public:
    static ClassRegistry &instance();

    // Registers a factory in this process under a ProgID, a CLSID or both (either may be
    // empty). A later registration of the same name replaces the earlier one.
    void registerClass(const QString &progId, const QUuid &clsid, ClassFactoryFunction factory);
    void unregisterClass(const QString &progId, const QUuid &clsid);

    // Creates by ProgID, or by CLSID when the text is a braced GUID. Fails with 429
    // ("ActiveX component can't create object") when no factory or module makes the class.
    Status createObject(const QString &classNameOrClsid, DispatchPtr *object);
    Status createObject(const QUuid &clsid, DispatchPtr *object);

    // The class registry file in use.
    static QString registryFilePath();

    ClassRegistry(const ClassRegistry &) = delete;
    ClassRegistry &operator=(const ClassRegistry &) = delete;

private:
    ClassRegistry();
    ~ClassRegistry();
    struct Private;
    std::unique_ptr<Private> d;
};

// Shorthand for ClassRegistry::instance().createObject.
Status CreateObject(const QString &classNameOrClsid, DispatchPtr *object);

// One value of the class registry file. Keys are laid out as under HKEY_CLASSES_ROOT:
// "CLSID/<guid>/...", "Interface/<guid>/...", "TypeLib/<guid>/...", "ProgID/<name>"; a key may
// hold a value and have keys below it, as a registry key holds its default value.
struct RegistryEntry
{
    QString key;
    QString value;
    // A name another module may take over (a ProgID): removed only while it still holds value.
    bool removeOnlyIfUnchanged = false;
};

// The keys of one class, interface, type library or ProgID. GUIDs are written without braces,
// in capitals; ProgIDs compare without regard to case, so their keys are lower-cased.
QString ClassKey(const QUuid &clsid);
QString InterfaceKey(const QUuid &iid);
QString TypeLibKey(const QUuid &libid);
QString ProgIdKey(const QString &progId);

// What a module's DllRegisterServer and DllUnregisterServer write and remove. Removing takes
// away exactly the listed keys: keys below them and every other key stay.
bool WriteRegistryEntries(const QList<RegistryEntry> &entries);
bool RemoveRegistryEntries(const QList<RegistryEntry> &entries);

// The entries that make a class creatable from a module: ProgID -> CLSID and CLSID -> module
// path (and ProgID, when given). Removing takes away exactly those entries.
QList<RegistryEntry> ClassRegistrationEntries(const QString &progId, const QUuid &clsid,
                                              const QString &modulePath);
bool WriteClassRegistration(const QString &progId, const QUuid &clsid, const QString &modulePath);
bool RemoveClassRegistration(const QString &progId, const QUuid &clsid);
// The CLSID registered for a ProgID and the module registered for a CLSID (empty if none).
QUuid RegisteredClsid(const QString &progId);
QString RegisteredModule(const QUuid &clsid);

// What a registration tool does: loads the module and calls its DllRegisterServer or
// DllUnregisterServer. Fails when the module cannot be loaded or the call reports failure.
Status RegisterModule(const QString &modulePath);
Status UnregisterModule(const QString &modulePath);

} // namespace zeltpc5
