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

QString progIdKey(const QString &progId)
{
    // ProgIDs compare without regard to case.
    return QStringLiteral("ProgID/") + progId.toLower();
}

QString clsidGroup(const QUuid &clsid)
{
    return QStringLiteral("CLSID/") + clsid.toString(QUuid::WithoutBraces).toUpper();
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

} // namespace

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

bool WriteClassRegistration(const QString &progId, const QUuid &clsid, const QString &modulePath)
{
    if (clsid.isNull() || modulePath.isEmpty())
        return false;
    auto s = openRegistry();
    const QString group = clsidGroup(clsid);
    s->setValue(group + QStringLiteral("/InprocServer32"), modulePath);
    if (!progId.isEmpty()) {
        s->setValue(group + QStringLiteral("/ProgID"), progId);
        s->setValue(progIdKey(progId), clsid.toString(QUuid::WithBraces).toUpper());
    }
    s->sync();
    return s->status() == QSettings::NoError;
}

bool RemoveClassRegistration(const QString &progId, const QUuid &clsid)
{
    auto s = openRegistry();
    // Another module may have taken the ProgID since; leave its entry alone.
    if (!progId.isEmpty() && QUuid(s->value(progIdKey(progId)).toString()) == clsid)
        s->remove(progIdKey(progId));
    if (!clsid.isNull())
        s->remove(clsidGroup(clsid));
    s->sync();
    return s->status() == QSettings::NoError;
}

QUuid RegisteredClsid(const QString &progId)
{
    return QUuid(openRegistry()->value(progIdKey(progId)).toString());
}

QString RegisteredModule(const QUuid &clsid)
{
    return openRegistry()->value(clsidGroup(clsid) + QStringLiteral("/InprocServer32")).toString();
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
