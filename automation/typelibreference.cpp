#include "automation/typelib.h"

namespace zeltpc5::typelib {

namespace {

QString code(const QString &text)
{
    return QLatin1Char('`') + text + QLatin1Char('`');
}

QString code(const char *text)
{
    return code(QLatin1String(text));
}

QString braced(const QUuid &id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

QString kindText(MemberKind kind)
{
    switch (kind) {
    case MemberKind::Method:
        return QStringLiteral("method");
    case MemberKind::PropertyGet:
        return QStringLiteral("property, get");
    case MemberKind::PropertyGetPut:
        return QStringLiteral("property, get and put");
    }
    return QString();
}

QString dispIdText(DispId id)
{
    const QString hex = QString::number(quint32(id), 16).toUpper().rightJustified(8, u'0');
    return code(QStringLiteral("0x") + hex) + QStringLiteral(" (%1)").arg(id);
}

QString row(const QStringList &cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

void library(QString &out)
{
    const auto &lib = Library();
    out += QStringLiteral("## Library\n\n");
    out += row({QStringLiteral("item"), QStringLiteral("value")});
    out += row({QStringLiteral("---"), QStringLiteral("---")});
    out += row({QStringLiteral("name"), code(lib.name)});
    out += row({QStringLiteral("help string"), QLatin1String(lib.helpString)});
    out += row({QStringLiteral("LIBID"), code(braced(lib.guid))});
    out += row({QStringLiteral("version"), code(RegistrationVersion())});
    out += row({QStringLiteral("file version"), QStringLiteral("%1.%2.%3.%4 (%5)")
                                                    .arg(lib.versionMajor)
                                                    .arg(lib.versionMinor)
                                                    .arg(lib.versionBuild)
                                                    .arg(lib.versionRevision)
                                                    .arg(code(lib.versionText))});
    out += row({QStringLiteral("internal name"), code(lib.internalName)});
    out += row({QStringLiteral("file name"), code(lib.fileName)});
    out += row({QStringLiteral("file description"), QLatin1String(lib.fileDescription)});
    out += QLatin1Char('\n');
}

void classes(QString &out)
{
    out += QStringLiteral("## Classes\n\n");
    out += QStringLiteral("A host creates `Library` by its ProgID or CLSID and obtains the engines "
                          "from it; an engine cannot be created by a client.\n\n");
    out += row({QStringLiteral("class"), QStringLiteral("CLSID"), QStringLiteral("creatable"),
                QStringLiteral("ProgID"), QStringLiteral("default interface")});
    out += row({QStringLiteral("---"), QStringLiteral("---"), QStringLiteral("---"),
                QStringLiteral("---"), QStringLiteral("---")});
    for (const auto &c : Classes()) {
        out += row({code(c.name), code(braced(c.clsid)),
                    c.creatable ? QStringLiteral("yes") : QStringLiteral("no"),
                    c.creatable ? code(c.progId()) : QStringLiteral("none"),
                    code(c.defaultInterface->name)});
    }
    out += QLatin1Char('\n');
}

void interfaces(QString &out)
{
    out += QStringLiteral("## Interfaces\n\n");
    out += QStringLiteral(
        "Every interface is a dual dispatch interface. Properties take `0x6803xxxx` and methods "
        "`0x6003xxxx`, numbered in declaration order; the get and put of one property share "
        "one identifier. Members are called by name or by identifier; every argument travels "
        "by reference and the result comes back as the last out-parameter.\n\n");
    for (const auto &c : Classes()) {
        const InterfaceFacts &i = *c.defaultInterface;
        out += QStringLiteral("### %1\n\n").arg(code(i.name));
        out += QStringLiteral("IID %1, the default interface of %2.\n\n")
                   .arg(code(braced(i.iid)), code(c.name));
        out += row({QStringLiteral("member"), QStringLiteral("kind"),
                    QStringLiteral("dispatch identifier")});
        out += row({QStringLiteral("---"), QStringLiteral("---"), QStringLiteral("---")});
        for (const auto &m : i.members)
            out += row({code(m.name), kindText(m.kind), dispIdText(m.id)});
        out += QLatin1Char('\n');
    }
}

void registration(QString &out)
{
    const QString module = QStringLiteral("<dir>/zeltpc5.so");
    out += QStringLiteral("## Registration\n\n");
    out +=
        QStringLiteral(
            "`DllRegisterServer` of the module at `%1` writes these keys into the per-user class "
            "registry file (`~/.config/zeltpc5/classes.ini`, or the file `ZELTPC5_CLASS_REGISTRY` "
            "names), laid out as under `HKEY_CLASSES_ROOT`; a key may hold a value and have keys "
            "below it. `DllUnregisterServer` removes exactly these keys and leaves every other "
            "one, also keys that others wrote below them; the ProgID goes only while it still "
            "names "
            "the CLSID of `Library`.\n\n")
            .arg(module);
    out += row({QStringLiteral("key"), QStringLiteral("value")});
    out += row({QStringLiteral("---"), QStringLiteral("---")});
    for (const auto &e : RegistrationEntries(module))
        out += row({code(e.key), code(e.value)});
}

} // namespace

QString TypeLibraryReference()
{
    QString out = QStringLiteral("# Type library\n\n");
    out += QStringLiteral(
        "The identities a host binds to. This page is made from the type library table "
        "(`automation/typelib.cpp`) by `TypeLibraryReference()`, and the automation tests "
        "fail when the two differ; after changing the table, rewrite the page with\n"
        "`ZELTPC5_REGENERATE_GOLDEN=1 build/tests/automation/automation_tests "
        "--gtest_filter='TypeLibraryReference.*'` and review its diff.\n\n");
    library(out);
    classes(out);
    interfaces(out);
    registration(out);
    return out;
}

} // namespace zeltpc5::typelib
