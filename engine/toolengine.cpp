#include "engine/toolengine.h"

#include <zeltpc5/classregistry.h>

namespace zeltpc5 {

namespace {

ToolEngine &self(Dispatch &d)
{
    return static_cast<ToolEngine &>(d);
}

} // namespace

ToolEngine::ToolEngine(QString typeName, const MemberTable *table)
    : DispatchObject(std::move(typeName), table)
{}

void ToolEngine::AttachOwner(const Ref<Library> &owner)
{
    m_owner = owner;
    OpenProductEngine();
    m_lines.Clear();
}

HostServices ToolEngine::Host() const
{
    return m_owner ? m_owner->Host() : HostServices();
}

bool ToolEngine::OpenProductEngine()
{
    DispatchPtr engine;
    CreateObject(QStringLiteral("optrix5.Engine"), &engine);
    m_productEngine = ProductEngine(engine);
    if (!engine)
        return false;
    m_productEngine.Initialize();
    const HostServices host = Host();
    const Variant sid = host.SecuritySID();
    const Variant oid = host.SecurityOID();
    const Variant organization = host.SecurityOrganizationName();
    // Without a host (created before Initialize) the user stays unidentified.
    if (host.isValid())
        m_productEngine.IdentifyUser(sid, oid, organization);
    return true;
}

typelib::TableBuilder ToolEngine::SkeletonMembers(const typelib::InterfaceFacts &facts)
{
    typelib::TableBuilder b(facts);
    b.property(
         "CancelRequested",
         [](Dispatch &d, VariantList &, Variant &result) {
             result = MakeBool(self(d).CancelRequested());
             return Status();
         },
         [](Dispatch &d, VariantList &args, Variant &) {
             ArgReader a(args);
             const bool value = a.boolean(0);
             if (!a.ok())
                 return a.status();
             self(d).setCancelRequested(value);
             return Status();
         })
        .property("Owner",
                  [](Dispatch &d, VariantList &, Variant &result) {
                      result = MakeObject(self(d).Owner());
                      return Status();
                  })
        .method("PreTerminate", 0,
                [](Dispatch &d, VariantList &, Variant &) {
                    self(d).PreTerminate();
                    return Status();
                })
        .method("Clear", 0,
                [](Dispatch &d, VariantList &, Variant &) {
                    self(d).lines().Clear();
                    return Status();
                })
        .method("AddLine", 7,
                [](Dispatch &d, VariantList &args, Variant &) {
                    ArgReader a(args);
                    const qint16 line = a.int16(0);
                    const qint16 quantity = a.int16(1);
                    const qint32 productID = a.int32(2);
                    const QString style = a.text(3);
                    const QString itemXML = a.text(4);
                    const QString priceCostXML = a.text(5);
                    const QString uniqueID = a.text(6);
                    if (!a.ok())
                        return a.status();
                    return self(d).lines().AddLine(line, quantity, productID, style, itemXML,
                                                   priceCostXML, uniqueID);
                })
        .method("CountLines", 0,
                [](Dispatch &d, VariantList &, Variant &result) {
                    result = MakeInt16(self(d).lines().CountLines());
                    return Status();
                })
        .method("GetLineData", 2,
                [](Dispatch &d, VariantList &args, Variant &result) {
                    ArgReader a(args);
                    const qint16 index = a.int16(0);
                    const QString field = a.text(1);
                    if (!a.ok())
                        return a.status();
                    QString value;
                    const Status s = self(d).lines().GetLineData(index, field, &value);
                    if (s)
                        result = MakeString(value);
                    return s;
                })
        .method("CountChanges", 1,
                [](Dispatch &d, VariantList &args, Variant &result) {
                    ArgReader a(args);
                    const qint16 index = a.int16(0);
                    if (!a.ok())
                        return a.status();
                    qint16 count = 0;
                    const Status s = self(d).lines().CountChanges(index, &count);
                    if (s)
                        result = MakeInt16(count);
                    return s;
                })
        .method("GetChange", 2, [](Dispatch &d, VariantList &args, Variant &result) {
            ArgReader a(args);
            const qint16 index = a.int16(0);
            const qint16 changeIndex = a.int16(1);
            if (!a.ok())
                return a.status();
            QString text;
            const Status s = self(d).lines().GetChange(index, changeIndex, &text);
            if (s)
                result = MakeString(text);
            return s;
        });
    return b;
}

} // namespace zeltpc5
