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

    QTemporaryDir dir;
    QByteArray saved;
    QString path;
    const QString module = QStringLiteral(ZELTPC5_MODULE_PATH);
};

} // namespace

TEST_F(ClassRegistryFile, registrationRoundTripTouchesOnlyItsOwnEntries)
{
    ASSERT_TRUE(WriteClassRegistration(QStringLiteral("Other.Thing"), QUuid::createUuid(),
                                       QStringLiteral("/opt/other.so")));
    const QStringList before = QSettings(path, QSettings::IniFormat).allKeys();

    ASSERT_TRUE(RegisterModule(module).ok());
    EXPECT_EQ(RegisteredClsid(QStringLiteral("ZELTPC5.library")), QUuid(LibraryClsid));
    EXPECT_EQ(RegisteredModule(QUuid(LibraryClsid)), module);
    // The engines are not creatable, so nothing registers them.
    EXPECT_TRUE(RegisteredClsid(QStringLiteral("zeltpc5.ReplaceEngine")).isNull());

    ASSERT_TRUE(UnregisterModule(module).ok());
    EXPECT_TRUE(RegisteredClsid(QStringLiteral("zeltpc5.Library")).isNull());
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).allKeys(), before);
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
