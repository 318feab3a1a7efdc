#include "automation/typelib.h"

#include <QFileInfo>

namespace zeltpc5::typelib {

namespace {

// The automation marshaler: dual interfaces name it as their proxy, so a host in another
// apartment reaches them through the type library alone.
const QString AutomationProxyClsid = QStringLiteral("{00020424-0000-0000-C000-000000000046}");

QString braced(const QUuid &id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

} // namespace

QString RegistrationVersion()
{
    const auto &lib = Library();
    return QString::number(lib.versionMajor, 16) + QLatin1Char('.') +
           QString::number(lib.versionMinor, 16);
}

QList<RegistryEntry> RegistrationEntries(const QString &modulePath)
{
    const auto &lib = Library();
    const QString libid = braced(lib.guid);
    const QString version = RegistrationVersion();
    QList<RegistryEntry> entries;

    for (const auto &c : Classes()) {
        const QString key = ClassKey(c.clsid);
        entries.append({key, c.progId()});
        entries.append({key + QStringLiteral("/TypeLib"), libid});
        entries.append({key + QStringLiteral("/Version"), version});
        // The engines come from Library alone: without a module or a ProgID nothing outside
        // can create them, yet their CLSIDs are known to whoever reads the registry.
        if (c.creatable)
            entries.append(ClassRegistrationEntries(c.progId(), c.clsid, modulePath));
    }

    for (const auto &c : Classes()) {
        const InterfaceFacts &i = *c.defaultInterface;
        const QString key = InterfaceKey(i.iid);
        entries.append({key, QLatin1String(i.name)});
        entries.append({key + QStringLiteral("/ProxyStubClsid32"), AutomationProxyClsid});
        entries.append({key + QStringLiteral("/TypeLib"), libid});
        entries.append({key + QStringLiteral("/TypeLib/Version"), version});
    }

    const QString key = TypeLibKey(lib.guid) + QLatin1Char('/') + version;
    entries.append({key, QLatin1String(lib.helpString)});
    entries.append({key + QStringLiteral("/Name"), QLatin1String(lib.name)});
    entries.append({key + QStringLiteral("/FLAGS"), QStringLiteral("0")});
    // The type library lives inside the module, for the neutral language (0).
    entries.append({key + QStringLiteral("/0/linux"), modulePath});
    entries.append({key + QStringLiteral("/HELPDIR"), QFileInfo(modulePath).path()});
    return entries;
}

} // namespace zeltpc5::typelib
