#include "support/scriptedobject.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

#include <QLibrary>
#include <QSettings>
#include <QTemporaryDir>

using namespace zeltpc5;
using zeltpc5::testing::ScriptedObject;

namespace {

const QString LibraryClsid = QStringLiteral("{AC3E2516-BAC2-43B1-B819-7CEE63E30E99}");
const QString ReplaceEngineClsid = QStringLiteral("{F7C82FA3-9270-4633-8226-DF8F2794F1F5}");
const QString LibId = QStringLiteral("{6808E852-2A56-4048-A174-7C5B87CE9BAB}");

// Points the class registry at a file of the test's own.
class ClassRegistryFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = qgetenv("ZELTPC5_CLASS_REGISTRY");
        path = dir.filePath(QStringLiteral("classes.ini"));
        qputenv("ZELTPC5_CLASS_REGISTRY", path.toLocal8Bit());
    }
    void TearDown() override { qputenv("ZELTPC5_CLASS_REGISTRY", saved); }

    // Every key of the store with its value, as "key=value" in key order.
    QStringList contents() const
    {
        QSettings s(path, QSettings::IniFormat);
        QStringList all;
        for (const QString &key : s.allKeys())
            all.append(key + QLatin1Char('=') + s.value(key).toString());
        all.sort();
        return all;
    }

    // The value of one key, or "-" when the store has no such key.
    QString stored(const QString &key) const
    {
        return QSettings(path, QSettings::IniFormat).value(key, QStringLiteral("-")).toString();
    }

    QTemporaryDir dir;
    QByteArray saved;
    QString path;
    const QString module = QStringLiteral(ZELTPC5_MODULE_PATH);
};

} // namespace

TEST_F(ClassRegistryFile, registrationWritesTheTypeLibraryBesideLibrary)
{
    ASSERT_TRUE(RegisterModule(module).ok());
    EXPECT_EQ(RegisteredClsid(QStringLiteral("ZELTPC5.library")), QUuid(LibraryClsid));
    EXPECT_EQ(RegisteredModule(QUuid(LibraryClsid)), module);

    const QString classKey = QStringLiteral("CLSID/AC3E2516-BAC2-43B1-B819-7CEE63E30E99");
    EXPECT_EQ(stored(classKey), QStringLiteral("zeltpc5.Library"));
    EXPECT_EQ(stored(classKey + QStringLiteral("/ProgID")), QStringLiteral("zeltpc5.Library"));
    EXPECT_EQ(stored(classKey + QStringLiteral("/TypeLib")), LibId);
    EXPECT_EQ(stored(classKey + QStringLiteral("/Version")), QStringLiteral("5.0"));

    // The engines are known by CLSID, but with no module and no ProgID nothing creates them.
    const std::vector<std::pair<QString, QString>> engines{
        {QStringLiteral("ReplaceEngine"), QStringLiteral("F7C82FA3-9270-4633-8226-DF8F2794F1F5")},
        {QStringLiteral("CompareEngine"), QStringLiteral("105F3576-C94E-4969-9B3E-8D67F84FED5B")},
        {QStringLiteral("ItemReviewEngine"),
         QStringLiteral("0F666C4D-19B2-475D-800B-454E06036FF5")},
    };
    for (const auto &[name, clsid] : engines) {
        const QString key = QStringLiteral("CLSID/") + clsid;
        EXPECT_EQ(stored(key), QStringLiteral("zeltpc5.") + name);
        EXPECT_EQ(stored(key + QStringLiteral("/TypeLib")), LibId);
        EXPECT_EQ(stored(key + QStringLiteral("/InprocServer32")), QStringLiteral("-"))
            << name.toStdString();
        EXPECT_EQ(stored(key + QStringLiteral("/ProgID")), QStringLiteral("-"))
            << name.toStdString();
        EXPECT_TRUE(RegisteredClsid(QStringLiteral("zeltpc5.") + name).isNull())
            << name.toStdString();
    }

    const std::vector<std::pair<QString, QString>> interfaces{
        {QStringLiteral("_Library"), QStringLiteral("648405CB-3DB3-4EEB-99FC-88917C33A4EB")},
        {QStringLiteral("_ReplaceEngine"), QStringLiteral("215FE00C-27D7-4050-BAE8-9071623A4703")},
        {QStringLiteral("_CompareEngine"), QStringLiteral("37B7059E-AB24-4A5A-B976-9032E19230AB")},
        {QStringLiteral("_ItemReviewEngine"),
         QStringLiteral("49C2E942-DE9B-4407-92FC-FB64F128B8E6")},
    };
    for (const auto &[name, iid] : interfaces) {
        const QString key = QStringLiteral("Interface/") + iid;
        EXPECT_EQ(stored(key), name);
        EXPECT_EQ(stored(key + QStringLiteral("/ProxyStubClsid32")),
                  QStringLiteral("{00020424-0000-0000-C000-000000000046}"));
        EXPECT_EQ(stored(key + QStringLiteral("/TypeLib")), LibId);
        EXPECT_EQ(stored(key + QStringLiteral("/TypeLib/Version")), QStringLiteral("5.0"));
    }

    const QString libKey = QStringLiteral("TypeLib/6808E852-2A56-4048-A174-7C5B87CE9BAB/5.0");
    EXPECT_EQ(stored(libKey), QStringLiteral("ZELT - Product Compare"));
    EXPECT_EQ(stored(libKey + QStringLiteral("/Name")), QStringLiteral("zeltpc5"));
    EXPECT_EQ(stored(libKey + QStringLiteral("/0/linux")), module);

    // Nothing else: 4 classes with name, type library and version, Library's module and two
    // ProgID entries, 4 interfaces with 4 entries each, the type library's 5.
    EXPECT_EQ(contents().size(), 4 * 3 + 3 + 4 * 4 + 5);
    UnregisterModule(module);
}

TEST_F(ClassRegistryFile, unregistrationRemovesExactlyWhatRegistrationWrote)
{
    // Entries of others, some below keys the module writes.
    ASSERT_TRUE(WriteClassRegistration(QStringLiteral("Other.Thing"), QUuid::createUuid(),
                                       QStringLiteral("/opt/other.so")));
    ASSERT_TRUE(WriteRegistryEntries({
        {QStringLiteral("CLSID/AC3E2516-BAC2-43B1-B819-7CEE63E30E99/Implemented Categories"),
         QStringLiteral("added by a tool")},
        {QStringLiteral("Interface/215FE00C-27D7-4050-BAE8-9071623A4703/NumMethods"),
         QStringLiteral("21")},
        {QStringLiteral("TypeLib/6808E852-2A56-4048-A174-7C5B87CE9BAB/4.0"),
         QStringLiteral("an older version")},
    }));
    const auto before = contents();

    // Nothing to remove yet: the store stays as it is.
    ASSERT_TRUE(UnregisterModule(module).ok());
    EXPECT_EQ(contents(), before);

    ASSERT_TRUE(RegisterModule(module).ok());
    ASSERT_TRUE(RegisterModule(module).ok());
    EXPECT_GT(contents().size(), before.size());
    ASSERT_TRUE(UnregisterModule(module).ok());
    EXPECT_EQ(contents(), before);
    EXPECT_TRUE(RegisteredClsid(QStringLiteral("zeltpc5.Library")).isNull());
}

TEST_F(ClassRegistryFile, unregistrationLeavesAProgIdAnotherModuleTookOver)
{
    ASSERT_TRUE(RegisterModule(module).ok());
    const QUuid other = QUuid::createUuid();
    ASSERT_TRUE(WriteClassRegistration(QStringLiteral("zeltpc5.Library"), other,
                                       QStringLiteral("/opt/other.so")));

    ASSERT_TRUE(UnregisterModule(module).ok());
    EXPECT_EQ(RegisteredClsid(QStringLiteral("zeltpc5.Library")), other);
    EXPECT_EQ(RegisteredModule(other), QStringLiteral("/opt/other.so"));
    EXPECT_TRUE(RegisteredModule(QUuid(LibraryClsid)).isEmpty());
}

TEST_F(ClassRegistryFile, creatingLibraryByProgIdLoadsTheRegisteredModule)
{
    ASSERT_TRUE(RegisterModule(module).ok());

    DispatchPtr library;
    ASSERT_TRUE(CreateObject(QStringLiteral("zeltpc5.Library"), &library).ok());
    ASSERT_TRUE(library);
    EXPECT_EQ(library->TypeName(), QStringLiteral("Library"));
    auto engine = ToObject(Call(library, u"CreateItemReviewEngine").value);
    ASSERT_TRUE(engine && *engine);
    EXPECT_EQ((*engine)->TypeName(), QStringLiteral("ItemReviewEngine"));

    DispatchPtr byClsid;
    ASSERT_TRUE(CreateObject(LibraryClsid, &byClsid).ok());
    EXPECT_NE(byClsid, library); // every creation is a new object

    QLibrary lib(module);
    ASSERT_TRUE(lib.load());
    auto canUnload = reinterpret_cast<DllCanUnloadNowFunction>(lib.resolve("DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), HResult::False);
    library.reset();
    byClsid.reset();
    EXPECT_EQ(canUnload(), HResult::False); // the engine still holds its Library
    engine->reset();
    EXPECT_EQ(canUnload(), HResult::Ok);
    UnregisterModule(module);
}

TEST_F(ClassRegistryFile, enginesCannotBeCreatedFromOutside)
{
    ASSERT_TRUE(RegisterModule(module).ok());
    DispatchPtr obj;
    EXPECT_EQ(CreateObject(QStringLiteral("zeltpc5.ReplaceEngine"), &obj).number(),
              Error::CannotCreateObject);
    EXPECT_EQ(CreateObject(ReplaceEngineClsid, &obj).number(), Error::CannotCreateObject);
    EXPECT_FALSE(obj);

    // Even a client that writes its own registry entry gets no engine from the module.
    ASSERT_TRUE(WriteClassRegistration(QStringLiteral("zeltpc5.ReplaceEngine"),
                                       QUuid(ReplaceEngineClsid), module));
    EXPECT_EQ(CreateObject(QStringLiteral("zeltpc5.ReplaceEngine"), &obj).number(),
              Error::CannotCreateObject);
    QLibrary lib(module);
    ASSERT_TRUE(lib.load());
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(lib.resolve("DllGetClassObject"));
    void *factory = reinterpret_cast<void *>(1);
    EXPECT_EQ(getClassObject(ReplaceEngineClsid.toLatin1().constData(),
                             "{00000001-0000-0000-C000-000000000046}", &factory),
              HResult::ClassNotAvailable);
    EXPECT_EQ(factory, nullptr);
    UnregisterModule(module);
}

TEST_F(ClassRegistryFile, hostsSupplyTheirOwnClasses)
{
    const QUuid clsid = QUuid::createUuid();
    auto engine = ScriptedObject::create(QStringLiteral("Engine"));
    ClassRegistry::instance().registerClass(QStringLiteral("Test.Engine"), clsid,
                                            [engine] { return DispatchPtr(engine); });
    DispatchPtr byName, byId;
    EXPECT_TRUE(CreateObject(QStringLiteral("test.ENGINE"), &byName).ok());
    EXPECT_TRUE(ClassRegistry::instance().createObject(clsid, &byId).ok());
    EXPECT_EQ(byName, DispatchPtr(engine));
    EXPECT_EQ(byId, DispatchPtr(engine));

    ClassRegistry::instance().unregisterClass(QStringLiteral("Test.Engine"), clsid);
    EXPECT_EQ(CreateObject(QStringLiteral("Test.Engine"), &byName).number(),
              Error::CannotCreateObject);
    EXPECT_EQ(CreateObject(QStringLiteral("{not-a-guid}"), &byName).number(),
              Error::CannotCreateObject);
}

TEST_F(ClassRegistryFile, aBrokenModuleEntryFailsCleanly)
{
    const QUuid clsid = QUuid::createUuid();
    ASSERT_TRUE(WriteClassRegistration(QStringLiteral("Broken.Thing"), clsid,
                                       dir.filePath(QStringLiteral("missing.so"))));
    DispatchPtr obj;
    const Status s = CreateObject(QStringLiteral("Broken.Thing"), &obj);
    EXPECT_EQ(s.number(), Error::CannotCreateObject);
    EXPECT_FALSE(obj);
    EXPECT_FALSE(RegisterModule(dir.filePath(QStringLiteral("missing.so"))).ok());
}
