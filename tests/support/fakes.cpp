#include "support/fakes.h"

#include <zeltpc5/classregistry.h>

namespace zeltpc5::testing {

FakeHost::FakeHost()
{
    scl = ScriptedObject::create(QStringLiteral("SharedCodeLibrary"));
    security = scl->child(QStringLiteral("Security"), QStringLiteral("Security"));
    security->set(QStringLiteral("SID"), QStringLiteral("S-1-5-21"))
        .set(QStringLiteral("OID"), MakeInt32(42))
        .set(QStringLiteral("OrganizationName"), QStringLiteral("Harbor Blinds & Shades"));
    common = scl->child(QStringLiteral("Common"), QStringLiteral("Common"));
    options = scl->child(QStringLiteral("Options"), QStringLiteral("Options"));
    sql = scl->child(QStringLiteral("ZELTSQL"), QStringLiteral("ZELTSQL"));
    sql->settable(QStringLiteral("SessionCachingEnabled"), MakeBool(false));
    database = scl->child(QStringLiteral("Database"), QStringLiteral("Database"));
    connection = scl->child(QStringLiteral("CurrentCompanyConn"), QStringLiteral("Connection"));
}

Ref<ScriptedObject> MakeFakeProductEngine()
{
    auto e = ScriptedObject::create(QStringLiteral("optrix5.Engine"));
    for (const char *method : {"Initialize", "IdentifyUser", "InitForAccess", "InitForProcessing",
                               "SetOptionValue", "ProcessOptions"})
        e->set(QString::fromLatin1(method), Variant());
    e->set(QStringLiteral("UseProductFile"), MakeBool(false))
        .settable(QStringLiteral("AllOptionsInDescription"), MakeBool(true))
        .settable(QStringLiteral("RoundDown"), MakeInt32(0))
        .settable(QStringLiteral("DimensionDisplayFormat"), QString());
    return e;
}

ProductEngineRegistration::ProductEngineRegistration()
{
    ClassRegistry::instance().registerClass(QStringLiteral("optrix5.Engine"), QUuid(), [this] {
        auto e = MakeFakeProductEngine();
        m_created.push_back(e);
        return DispatchPtr(e);
    });
}

ProductEngineRegistration::~ProductEngineRegistration()
{
    ClassRegistry::instance().unregisterClass(QStringLiteral("optrix5.Engine"), QUuid());
}

} // namespace zeltpc5::testing
