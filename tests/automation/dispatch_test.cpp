#include "support/scriptedobject.h"

#include <zeltpc5/dispatch.h>

#include <gtest/gtest.h>

using namespace zeltpc5;
using zeltpc5::testing::ScriptedObject;

namespace {

// A small class written the way a host writes its own objects.
class Tally : public DispatchObject
{
public:
    explicit Tally(bool *destroyed)
        : DispatchObject(QStringLiteral("Tally"), &table()), m_destroyed(destroyed)
    {}
    ~Tally() override { *m_destroyed = true; }

    static const MemberTable &table()
    {
        static const MemberTable t = [] {
            MemberTable t;
            t.property(
                QStringLiteral("Total"), 0x68030000,
                [](Dispatch &d, VariantList &, Variant &r) {
                    r = MakeInt32(static_cast<Tally &>(d).total);
                    return Status();
                },
                [](Dispatch &d, VariantList &args, Variant &) {
                    ArgReader a(args);
                    const qint32 v = a.int32(0);
                    if (a.ok())
                        static_cast<Tally &>(d).total = v;
                    return a.status();
                });
            t.method(QStringLiteral("Add"), 0x60030001, 1, 2,
                     [](Dispatch &d, VariantList &args, Variant &r) {
                         ArgReader a(args);
                         const qint16 x = a.int16(0);
                         const qint16 times = a.count() > 1 ? a.int16(1) : qint16(1);
                         if (!a.ok())
                             return a.status();
                         auto &self = static_cast<Tally &>(d);
                         self.total += x * times;
                         r = MakeInt32(self.total);
                         return Status();
                     });
            // Writes its answer back into the argument, as the host's dialogs do.
            t.method(QStringLiteral("Double"), 0x60030002, 1,
                     [](Dispatch &, VariantList &args, Variant &r) {
                         ArgReader a(args);
                         const qint32 v = a.int32(0);
                         if (!a.ok())
                             return a.status();
                         args[0] = MakeInt32(v * 2);
                         r = MakeBool(true);
                         return Status();
                     });
            return t;
        }();
        return t;
    }

    qint32 total = 0;

private:
    bool *m_destroyed;
};

} // namespace

TEST(Dispatch, callsByNameAndByIdentifierReachTheSameMember)
{
    bool destroyed = false;
    DispatchPtr tally(new Tally(&destroyed));

    VariantList args{MakeInt16(5)};
    Variant r;
    ASSERT_TRUE(CallByName(tally, u"add", CallType::Method, args, &r).ok());
    EXPECT_EQ(ToInt32(r), 5);
    ASSERT_EQ(tally->GetIDOfName(u"ADD"), 0x60030001);
    args = {MakeInt16(2), MakeInt16(3)};
    ASSERT_TRUE(CallById(tally, 0x60030001, CallType::Method, args, &r).ok());
    EXPECT_EQ(ToInt32(r), 11);

    ASSERT_TRUE(Put(tally, u"Total", MakeString(QStringLiteral("40"))).ok());
    EXPECT_EQ(ToInt32(Get(tally, u"total").value), 40);
    VariantList none;
    ASSERT_TRUE(CallById(tally, 0x68030000, CallType::Get, none, &r).ok());
    EXPECT_EQ(ToInt32(r), 40);
}

TEST(Dispatch, argumentsTravelByReference)
{
    bool destroyed = false;
    DispatchPtr tally(new Tally(&destroyed));
    VariantList args{MakeInt32(21)};
    Variant r;
    ASSERT_TRUE(CallByName(tally, u"Double", CallType::Method, args, &r).ok());
    EXPECT_EQ(ToInt32(args[0]), 42);
    EXPECT_EQ(ToBool(r), true);
}

TEST(Dispatch, badCallsFailWithAnErrorAndChangeNothing)
{
    bool destroyed = false;
    DispatchPtr tally(new Tally(&destroyed));
    auto *raw = static_cast<Tally *>(tally.get());
    raw->total = 7;

    EXPECT_EQ(Call(tally, u"Subtract", {MakeInt16(1)}).status.number(), Error::MemberNotFound);
    EXPECT_EQ(Call(tally, u"Add").status.number(), Error::WrongArgumentCount);
    EXPECT_EQ(Call(tally, u"Add", {MakeInt16(1), MakeInt16(1), MakeInt16(1)}).status.number(),
              Error::WrongArgumentCount);
    EXPECT_EQ(Call(tally, u"Add", {MakeString(QStringLiteral("many"))}).status.number(),
              Error::TypeMismatch);
    EXPECT_EQ(Call(tally, u"Add", {MakeInt32(40000)}).status.number(), Error::Overflow);
    EXPECT_EQ(Put(tally, u"Add", MakeInt16(1)).number(), Error::WrongArgumentCount);
    VariantList none;
    EXPECT_EQ(CallById(tally, 0x60039999, CallType::Method, none).number(), Error::MemberNotFound);
    EXPECT_EQ(Call(DispatchPtr(), u"Add", {MakeInt16(1)}).status.number(), Error::ObjectNotSet);
    EXPECT_EQ(raw->total, 7);
}

TEST(Dispatch, anObjectLivesWhileAnyoneHoldsIt)
{
    bool destroyed = false;
    DispatchPtr first(new Tally(&destroyed));
    EXPECT_EQ(first->refCount(), 1);
    {
        Variant held = MakeObject(first); // a reference inside a variant counts too
        DispatchPtr second = first;
        EXPECT_EQ(first->refCount(), 3);
        first.reset();
        EXPECT_FALSE(destroyed);
        EXPECT_EQ(second->refCount(), 2);
    }
    EXPECT_TRUE(destroyed);
}

TEST(Dispatch, scriptedObjectsRecordTheirCalls)
{
    auto obj = ScriptedObject::create(QStringLiteral("Helper"));
    obj->set(QStringLiteral("Name"), QStringLiteral("roller"));
    EXPECT_EQ(ToText(Call(DispatchPtr(obj), u"name", {MakeInt16(3)}).value),
              QStringLiteral("roller"));
    EXPECT_EQ(obj->calls(), QStringList{QStringLiteral("Name(3)")});
}
