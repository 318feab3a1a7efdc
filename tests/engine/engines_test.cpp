#include "engine/engines.h"

#include "support/fakes.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

class Engines : public ::testing::Test
{
protected:
    void SetUp() override
    {
        library = DispatchPtr(Library::create());
        ASSERT_TRUE(Call(library, u"Initialize", {MakeObject(host.scl)}).ok());
    }

    DispatchPtr engine(QStringView create)
    {
        return ToObject(Call(library, create).value).value_or(DispatchPtr());
    }

    static Status addLine(const DispatchPtr &e, const Variant &line, const QString &id)
    {
        return Call(e, u"AddLine",
                    {line, MakeInt16(1), MakeInt32(501), QStringLiteral("Cordless"),
                     QStringLiteral("<ItemData/>"), QStringLiteral("<PriceCostData/>"), id})
            .status;
    }

    FakeHost host;
    ProductEngineRegistration productEngines;
    DispatchPtr library;
};

} // namespace

TEST_F(Engines, eachCreateGivesAnIndependentEngineOwnedByItsLibrary)
{
    const DispatchPtr first = engine(u"CreateReplaceEngine");
    const DispatchPtr second = engine(u"CreateReplaceEngine");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);

    ASSERT_TRUE(addLine(first, MakeInt16(1), QStringLiteral("L1")).ok());
    EXPECT_EQ(ToInt16(Call(first, u"CountLines").value), 1);
    EXPECT_EQ(ToInt16(Call(second, u"CountLines").value), 0);

    EXPECT_EQ(ToObject(Get(first, u"Owner").value), library);
    EXPECT_EQ(ToObject(Get(engine(u"CreateCompareEngine"), u"Owner").value), library);
    EXPECT_EQ(ToObject(Get(library, u"SharedCodeLibrary").value), DispatchPtr(host.scl));
    // Each engine opened a session of its own.
    EXPECT_EQ(productEngines.created().size(), 3u);
}

TEST_F(Engines, theProductEngineIsOpenedAndToldWhoTheUserIs)
{
    const DispatchPtr e = engine(u"CreateItemReviewEngine");
    ASSERT_TRUE(e);
    ASSERT_EQ(productEngines.created().size(), 1u);
    EXPECT_EQ(productEngines.created()[0]->calls(),
              (QStringList{QStringLiteral("Initialize()"),
                           QStringLiteral("IdentifyUser(S-1-5-21, 42, Harbor Blinds & Shades)")}));
    EXPECT_EQ(host.security->calls(), (QStringList{QStringLiteral("SID()"), QStringLiteral("OID()"),
                                                   QStringLiteral("OrganizationName()")}));
}

TEST_F(Engines, anEngineWorksWithoutHostOrProductEngine)
{
    const DispatchPtr bare(Library::create());
    const auto early = ToObject(Call(bare, u"CreateReplaceEngine").value).value_or(DispatchPtr());
    ASSERT_TRUE(early);
    // No host yet: the product engine is opened but stays unidentified.
    EXPECT_EQ(productEngines.created().back()->calls(),
              QStringList{QStringLiteral("Initialize()")});

    ClassRegistry::instance().unregisterClass(QStringLiteral("optrix5.Engine"), QUuid());
    const DispatchPtr e = engine(u"CreateCompareEngine");
    ASSERT_TRUE(e);
    EXPECT_TRUE(addLine(e, MakeInt16(4), QStringLiteral("X")).ok());
    EXPECT_EQ(ToText(Call(e, u"GetLineData", {MakeInt16(0), QStringLiteral("uniqueid")}).value),
              QStringLiteral("X"));
}

TEST_F(Engines, errorsReachTheCallerAndChangeNothing)
{
    const DispatchPtr e = engine(u"CreateItemReviewEngine");
    ASSERT_TRUE(addLine(e, MakeInt16(1), QStringLiteral("A")).ok());

    EXPECT_EQ(addLine(e, MakeInt32(40000), QStringLiteral("B")).number(), Error::Overflow);
    EXPECT_EQ(addLine(e, QStringLiteral("two"), QStringLiteral("B")).number(), Error::TypeMismatch);
    EXPECT_EQ(Call(e, u"AddLine", {MakeInt16(2)}).status.number(), Error::WrongArgumentCount);
    EXPECT_EQ(ToInt16(Call(e, u"CountLines").value), 1);
    EXPECT_EQ(ToText(Call(e, u"GetLineData", {MakeInt16(0), QStringLiteral("uniqueid")}).value),
              QStringLiteral("A"));

    EXPECT_EQ(Call(e, u"GetLineData", {MakeInt16(-1), QStringLiteral("line")}).status.number(),
              Error::SubscriptOutOfRange);
    EXPECT_EQ(Call(e, u"CountChanges", {MakeInt16(3)}).status.number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(Call(e, u"GetChange", {MakeInt16(0), MakeInt16(2)}).status.number(),
              Error::SubscriptOutOfRange);
    EXPECT_EQ(ToText(Call(e, u"GetChange", {MakeInt16(0), MakeInt16(0)}).value), QString());
    EXPECT_EQ(Call(e, u"Frobnicate").status.number(), Error::MemberNotFound);
}

TEST_F(Engines, cancelRequestedIsKeptUntilTheHostResetsIt)
{
    const DispatchPtr e = engine(u"CreateReplaceEngine");
    EXPECT_EQ(ToBool(Get(e, u"CancelRequested").value), false);
    ASSERT_TRUE(Put(e, u"CancelRequested", MakeBool(true)).ok());
    ASSERT_TRUE(Call(e, u"Clear").ok());
    EXPECT_EQ(Get(e, u"CancelRequested").value.value<VariantBool>().value, -1);
    ASSERT_TRUE(Put(e, u"cancelrequested", MakeInt16(0)).ok());
    EXPECT_EQ(ToBool(Get(e, u"CancelRequested").value), false);
    EXPECT_EQ(Put(e, u"CancelRequested", QStringLiteral("maybe")).number(), Error::TypeMismatch);
}

TEST_F(Engines, lineWasSelectedMatchesWholeIdentifiersInAnyCase)
{
    auto replace = Library::create()->CreateReplaceEngine();
    const DispatchPtr e(replace);
    auto selected = [&](const QString &id) {
        return ToBool(Call(e, u"LineWasSelected", {id}).value).value_or(false);
    };
    EXPECT_FALSE(selected(QString()));
    replace->setSelectedIDs(QStringLiteral("112|300|Ab-7"));
    EXPECT_FALSE(selected(QStringLiteral("12")));
    EXPECT_FALSE(selected(QStringLiteral("11")));
    EXPECT_FALSE(selected(QString()));
    EXPECT_FALSE(selected(QStringLiteral("112|300")));
    EXPECT_TRUE(selected(QStringLiteral("112")));
    EXPECT_TRUE(selected(QStringLiteral("300")));
    EXPECT_TRUE(selected(QStringLiteral("aB-7")));
}

TEST_F(Engines, preTerminateLetsGoOfTheHost)
{
    const DispatchPtr e = engine(u"CreateReplaceEngine");
    ASSERT_TRUE(Call(e, u"PreTerminate").ok());
    EXPECT_EQ(ToObject(Get(e, u"Owner").value), DispatchPtr());
    // The line store stays usable.
    EXPECT_TRUE(addLine(e, MakeInt16(1), QStringLiteral("A")).ok());

    const int before = host.scl->refCount();
    ASSERT_TRUE(Call(library, u"PreTerminate").ok());
    EXPECT_EQ(host.scl->refCount(), before - 1);
    EXPECT_EQ(ToObject(Get(library, u"SharedCodeLibrary").value), DispatchPtr());
}
