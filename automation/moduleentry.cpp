// The four entry points of the component module, as a class registry expects them.
#include "automation/typelib.h"
#include "engine/engines.h"

#include <zeltpc5/classregistry.h>

#include <QFileInfo>

#include <dlfcn.h>

using namespace zeltpc5;

namespace {

int s_serverLocks = 0;

class LibraryFactory : public ClassFactory
{
public:
    Status CreateInstance(DispatchPtr *object) override
    {
        *object = DispatchPtr(Library::create());
        return Status();
    }
    void LockServer(bool lock) override { s_serverLocks += lock ? 1 : -1; }

private:
    ModuleObject m_counted;
};

QString modulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&modulePath), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

} // namespace

extern "C" Q_DECL_EXPORT qint32 DllGetClassObject(const char *clsid, const char *iid,
                                                  void **factory)
{
    if (!factory)
        return HResult::Pointer;
    *factory = nullptr;
    if (!clsid || !iid)
        return HResult::InvalidArgument;
    const auto *facts = typelib::FindClass(QUuid(QLatin1String(clsid)));
    // Only Library is creatable; the engines come from Library alone.
    if (!facts || !facts->creatable)
        return HResult::ClassNotAvailable;
    auto *f = new LibraryFactory;
    f->AddRef(); // the caller's reference
    *factory = static_cast<ClassFactory *>(f);
    return HResult::Ok;
}

extern "C" Q_DECL_EXPORT qint32 DllCanUnloadNow()
{
    return (ModuleObject::live() == 0 && s_serverLocks == 0) ? HResult::Ok : HResult::False;
}

extern "C" Q_DECL_EXPORT qint32 DllRegisterServer()
{
    const QString path = modulePath();
    if (path.isEmpty())
        return HResult::SelfRegClass;
    return WriteRegistryEntries(typelib::RegistrationEntries(path)) ? HResult::Ok
                                                                    : HResult::SelfRegClass;
}

extern "C" Q_DECL_EXPORT qint32 DllUnregisterServer()
{
    return RemoveRegistryEntries(typelib::RegistrationEntries(modulePath()))
               ? HResult::Ok
               : HResult::SelfRegClass;
}
