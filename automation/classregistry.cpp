#include <zeltpc5/classregistry.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace zeltpc5 {

namespace {

// The interface a module's DllGetClassObject is asked for.
const char *const ClassFactoryIid = "{00000001-0000-0000-C000-000000000046}";

QString guidKey(const QString &root, const QUuid &id)
{
    return root + QLatin1Char('/') + id.toString(QUuid::WithoutBraces).toUpper();
}

Status cannotCreate(const QString &what, const QString &why = QString())
{
    QString text = QStringLiteral("ActiveX component can't create object: %1").arg(what);
    if (!why.isEmpty())
        text += QStringLiteral(" (%1)").arg(why);
    return Status::error(Error::CannotCreateObject, text);
}

std::unique_ptr<QSettings> openRegistry()
{
    const QString path = ClassRegistry::registryFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

// QSettings::remove takes the keys below along; those belong to whoever wrote them.
void removeKeepingKeysBelow(QSettings &s, const QString &key)
{
    s.beginGroup(key);
    QList<std::pair<QString, QVariant>> below;
    for (const QString &k : s.allKeys())
        below.append({k, s.value(k)});
    s.endGroup();
    s.remove(key);
    for (const auto &[k, v] : below)
        s.setValue(key + QLatin1Char('/') + k, v);
}

} // namespace

QString ClassKey(const QUuid &clsid)
{
    return guidKey(QStringLiteral("CLSID"), clsid);
}

QString InterfaceKey(const QUuid &iid)
{
    return guidKey(QStringLiteral("Interface"), iid);
}

QString TypeLibKey(const QUuid &libid)
{
    return guidKey(QStringLiteral("TypeLib"), libid);
}

QString ProgIdKey(const QString &progId)
{
    return QStringLiteral("ProgID/") + progId.toLower();
}

struct ClassRegistry::Private
{
    QHash<QString, ClassFactoryFunction> byProgId; // lower-cased ProgID
    QHash<QUuid, ClassFactoryFunction> byClsid;
    // Modules stay loaded once used: objects they made may still be alive anywhere.
    QHash<QString, QLibrary *> modules;

    QLibrary *module(const QString &path, QString *why)
    {
        if (auto *lib = modules.value(path))
            return lib;
        auto *lib = new QLibrary(path);
        if (!lib->load()) {
            *why = lib->errorString();
            delete lib;
            return nullptr;
        }
        modules.insert(path, lib);
        return lib;
    }
};

ClassRegistry::ClassRegistry() : d(std::make_unique<Private>()) {}

ClassRegistry::~ClassRegistry() = default;

ClassRegistry &ClassRegistry::instance()
{
    // Deliberately never destroyed: modules loaded through it must outlive every object.
    static ClassRegistry *registry = new ClassRegistry;
    return *registry;
}

QString ClassRegistry::registryFilePath()
{
    const QString overridden = qEnvironmentVariable("ZELTPC5_CLASS_REGISTRY");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/zeltpc5/classes.ini");
}

void ClassRegistry::registerClass(const QString &progId, const QUuid &clsid,
                                  ClassFactoryFunction factory)
{
    if (!progId.isEmpty())
        d->byProgId.insert(progId.toLower(), factory);
    if (!clsid.isNull())
        d->byClsid.insert(clsid, factory);
}

void ClassRegistry::unregisterClass(const QString &progId, const QUuid &clsid)
{
    if (!progId.isEmpty())
        d->byProgId.remove(progId.toLower());
    if (!clsid.isNull())
        d->byClsid.remove(clsid);
}

Status ClassRegistry::createObject(const QString &classNameOrClsid, DispatchPtr *object)
{
    if (!object)
        return Status::error(Error::InvalidProcedureCall);
    object->reset();
    const QString name = classNameOrClsid.trimmed();
    if (name.startsWith(QLatin1Char('{'))) {
        const QUuid clsid(name);
        if (clsid.isNull())
            return cannotCreate(name, QStringLiteral("not a class identifier"));
        return createObject(clsid, object);
    }
    if (name.isEmpty())
        return cannotCreate(name);

    const auto it = d->byProgId.constFind(name.toLower());
    if (it != d->byProgId.constEnd()) {
        *object = (*it)();
        return *object ? Status() : cannotCreate(name);
    }
    const QUuid clsid = RegisteredClsid(name);
    if (clsid.isNull())
        return cannotCreate(name, QStringLiteral("class not registered"));
    return createObject(clsid, object);
}

Status ClassRegistry::createObject(const QUuid &clsid, DispatchPtr *object)
{
    if (!object)
        return Status::error(Error::InvalidProcedureCall);
    object->reset();
    const QString what = clsid.toString();

    const auto it = d->byClsid.constFind(clsid);
    if (it != d->byClsid.constEnd()) {
        *object = (*it)();
        return *object ? Status() : cannotCreate(what);
    }

    const QString path = RegisteredModule(clsid);
    if (path.isEmpty())
        return cannotCreate(what, QStringLiteral("class not registered"));
    QString why;
    QLibrary *lib = d->module(path, &why);
    if (!lib)
        return cannotCreate(what, why);
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(lib->resolve("DllGetClassObject"));
    if (!getClassObject)
        return cannotCreate(what, QStringLiteral("%1 has no DllGetClassObject").arg(path));

    void *raw = nullptr;
    const QByteArray clsidText = what.toLatin1();
    const qint32 hr = getClassObject(clsidText.constData(), ClassFactoryIid, &raw);
    if (hr != HResult::Ok || !raw)
        return cannotCreate(what, QStringLiteral("class not available"));
    // The entry point handed us one reference; adopt it.
    Ref<ClassFactory> factory(static_cast<ClassFactory *>(raw));
    factory->Release();
    return factory->CreateInstance(object);
}

Status CreateObject(const QString &classNameOrClsid, DispatchPtr *object)
{
    return ClassRegistry::instance().createObject(classNameOrClsid, object);
}

bool WriteRegistryEntries(const QList<RegistryEntry> &entries)
{
    auto s = openRegistry();
    for (const auto &e : entries)
        s->setValue(e.key, e.value);
    s->sync();
    return s->status() == QSettings::NoError;
}

bool RemoveRegistryEntries(const QList<RegistryEntry> &entries)
{
    auto s = openRegistry();
    for (const auto &e : entries) {
        if (!s->contains(e.key))
            continue;
        if (e.removeOnlyIfUnchanged && s->value(e.key).toString() != e.value)
            continue;
        removeKeepingKeysBelow(*s, e.key);
    }
    s->sync();
    return s->status() == QSettings::NoError;
}

QList<RegistryEntry> ClassRegistrationEntries(const QString &progId, const QUuid &clsid,
                                              const QString &modulePath)
{
    const QString key = ClassKey(clsid);
    QList<RegistryEntry> entries{{key + QStringLiteral("/InprocServer32"), modulePath}};
    if (!progId.isEmpty()) {
        entries.append({key + QStringLiteral("/ProgID"), progId});
        // Another module may take the ProgID over later; its entry is then not ours to remove.
        entries.append({ProgIdKey(progId), clsid.toString(QUuid::WithBraces).toUpper(), true});
    }
    return entries;
}

bool WriteClassRegistration(const QString &progId, const QUuid &clsid, const QString &modulePath)
{
    if (clsid.isNull() || modulePath.isEmpty())
        return false;
    return WriteRegistryEntries(ClassRegistrationEntries(progId, clsid, modulePath));
}

bool RemoveClassRegistration(const QString &progId, const QUuid &clsid)
{
    if (clsid.isNull())
        return false;
    return RemoveRegistryEntries(ClassRegistrationEntries(progId, clsid, QString()));
}

QUuid RegisteredClsid(const QString &progId)
{
    return QUuid(openRegistry()->value(ProgIdKey(progId)).toString());
}

QString RegisteredModule(const QUuid &clsid)
{
    return openRegistry()->value(ClassKey(clsid) + QStringLiteral("/InprocServer32")).toString();
}

namespace {

Status callModuleEntry(const QString &modulePath, const char *entry)
{
    QLibrary lib(modulePath);
    if (!lib.load())
        return Status::error(Error::InvalidProcedureCall, lib.errorString());
    auto fn = reinterpret_cast<DllRegisterServerFunction>(lib.resolve(entry));
    if (!fn)
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("%1 has no %2").arg(modulePath, QLatin1String(entry)));
    const qint32 hr = fn();
    if (hr != HResult::Ok)
        return Status::error(
            Error::InvalidProcedureCall,
            QStringLiteral("%1 failed (0x%2)").arg(QLatin1String(entry)).arg(quint32(hr), 8, 16));
    // QLibrary reference counts loads; the module stays if the registry also holds it.
    return Status();
}

} // namespace

Status RegisterModule(const QString &modulePath)
{
    return callModuleEntry(modulePath, "DllRegisterServer");
}

Status UnregisterModule(const QString &modulePath)
{
    return callModuleEntry(modulePath, "DllUnregisterServer");
}

} // namespace zeltpc5
