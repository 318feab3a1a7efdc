#include "engine/hostservices.h"
#include "engine/productengine.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

TEST(HostServices, membersReachTheirPathsWithTheirArguments)
{
    FakeHost fake;
    fake.common->set(QStringLiteral("GetProductNameFromID"), QStringLiteral("Roller Shade"))
        .set(QStringLiteral("GetProductFileFromID2"), QStringLiteral("roller.xml"))
        .set(QStringLiteral("GetProductPriceSource"), QStringLiteral("2"))
        .set(QStringLiteral("GetProductCostSource"), MakeInt16(1))
        .set(QStringLiteral("GetProductPriceMarginSource"), MakeInt32(3))
        .set(QStringLiteral("GetVendorIDFromProductID"), MakeInt32(17))
        .set(QStringLiteral("GetVendorName"), QStringLiteral("Northwind Mills"))
        .set(QStringLiteral("ExecuteSelect"), QStringLiteral("<Results/>"))
        .set(QStringLiteral("GetFieldValue"), QStringLiteral("0.25"))
        .set(QStringLiteral("GetFieldValue2"), QStringLiteral("Bottom Rail"))
        .on(QStringLiteral("BuildString"), [](VariantList &args) {
            QString t = ToText(args[0]).value_or(QString());
            for (int i = 1; i < args.size(); ++i)
                t.replace(QStringLiteral("{%1}").arg(i - 1), ToText(args[i]).value_or(QString()));
            return Variant(t);
        });
    fake.options->set(QStringLiteral("GetCompanyOption"), QStringLiteral(", "));
    fake.database->set(QStringLiteral("ExecuteRead"), QStringLiteral("<Records/>"));

    const HostServices host(fake.scl);
    EXPECT_EQ(host.SecuritySID(), Variant(QStringLiteral("S-1-5-21")));
    EXPECT_EQ(ToInt32(host.SecurityOID()), 42);
    EXPECT_EQ(host.GetProductNameFromID(12), QStringLiteral("Roller Shade"));
    EXPECT_EQ(host.GetProductFileFromID2(12), QStringLiteral("roller.xml"));
    EXPECT_EQ(host.GetProductPriceSource(12), 2);
    EXPECT_EQ(host.GetProductCostSource(12), 1);
    EXPECT_EQ(host.GetProductPriceMarginSource(12), 3);
    EXPECT_EQ(host.GetVendorIDFromProductID(12), QStringLiteral("17"));
    EXPECT_EQ(host.GetVendorName(QStringLiteral("17")), QStringLiteral("Northwind Mills"));
    EXPECT_EQ(host.ExecuteSelect(QStringLiteral("SELECT 1")), QStringLiteral("<Results/>"));
    EXPECT_EQ(host.GetFieldValue(QStringLiteral("<Results/>"), QStringLiteral("Margin"),
                                 QStringLiteral("0")),
              QStringLiteral("0.25"));
    const auto record = XmlDocument::parse(QStringLiteral("<Record/>"));
    ASSERT_TRUE(record);
    EXPECT_EQ(host.GetFieldValue2(record->documentElement(), QStringLiteral("OptionName")),
              QStringLiteral("Bottom Rail"));
    EXPECT_EQ(host.BuildString(QStringLiteral("{0} to {1}"), {MakeInt16(3), QStringLiteral("4")}),
              QStringLiteral("3 to 4"));
    EXPECT_EQ(host.GetCompanyOption(QStringLiteral("OrderEntry"), QStringLiteral("OptionDelimiter"),
                                    QStringLiteral(",")),
              QStringLiteral(", "));
    EXPECT_EQ(host.DatabaseExecuteRead(QStringLiteral("SELECT 2")), QStringLiteral("<Records/>"));

    EXPECT_EQ(fake.common->calls().at(0), QStringLiteral("GetProductNameFromID(12)"));
    EXPECT_TRUE(
        fake.common->calls().contains(QStringLiteral("GetFieldValue(<Results/>, Margin, 0)")));
    // The record goes as a node object, not as its text.
    EXPECT_TRUE(
        fake.common->calls().contains(QStringLiteral("GetFieldValue2(XmlNode, OptionName)")));
    EXPECT_EQ(fake.options->calls(),
              QStringList{QStringLiteral("GetCompanyOption(OrderEntry, OptionDelimiter, ,)")});
}

TEST(HostServices, sqlSessionAndConnection)
{
    FakeHost fake;
    // A record set may come back as an object with an xml property, or as text.
    auto doc = ScriptedObject::create(QStringLiteral("DOMDocument"));
    doc->set(QStringLiteral("xml"),
             QStringLiteral("<Records><Record><ID>4</ID></Record></Records>"));
    fake.sql->set(QStringLiteral("ExecuteRead"), MakeObject(doc))
        .set(QStringLiteral("ExecuteScaler"), QStringLiteral("9"))
        .set(QStringLiteral("PreTerminate"), Variant());
    fake.connection->set(QStringLiteral("Close"), Variant());

    const HostServices host(fake.scl);
    SqlSession session = host.ZELTSQL();
    ASSERT_TRUE(session.isValid());
    session.setSessionCachingEnabled(true);
    EXPECT_EQ(session.ExecuteRead(QStringLiteral("SELECT ID FROM DiscountGroups")),
              QStringLiteral("<Records><Record><ID>4</ID></Record></Records>"));
    EXPECT_EQ(session.ExecuteScaler(QStringLiteral("SELECT 9"), QString(), QStringLiteral("0")), 9);
    session.PreTerminate();
    EXPECT_EQ(ToBool(fake.sql->value(QStringLiteral("SessionCachingEnabled"))), true);
    EXPECT_EQ(fake.sql->calls().last(), QStringLiteral("PreTerminate()"));

    CompanyConnection conn = host.CurrentCompanyConn();
    ASSERT_TRUE(conn.isValid());
    conn.Close();
    EXPECT_EQ(fake.connection->calls(), QStringList{QStringLiteral("Close()")});
}

TEST(HostServices, dialogsWriteTheChoiceBackOnlyWhenConfirmed)
{
    FakeHost fake;
    bool confirm = false;
    fake.scl->on(QStringLiteral("ShowSelectProductStyle"), [&](VariantList &args) {
        args[1] = MakeInt32(77);
        args[2] = QStringLiteral("Top Down");
        return MakeBool(confirm);
    });
    fake.scl->on(QStringLiteral("ShowEditProductItem"), [&](VariantList &args) {
        args[2] = QStringLiteral("<ItemData><Changed/></ItemData>");
        return MakeBool(confirm);
    });
    const HostServices host(fake.scl);

    qint32 vendor = 1, product = 5;
    QString style = QStringLiteral("Standard");
    EXPECT_FALSE(host.ShowSelectProductStyle(vendor, product, style, false));
    EXPECT_EQ(product, 5);
    confirm = true;
    EXPECT_TRUE(host.ShowSelectProductStyle(vendor, product, style, true));
    EXPECT_EQ(product, 77);
    EXPECT_EQ(style, QStringLiteral("Top Down"));

    QString item = QStringLiteral("<ItemData/>"), price = QStringLiteral("<PriceCostData/>");
    EXPECT_TRUE(host.ShowEditProductItem(product, style, item, price, 54));
    EXPECT_EQ(item, QStringLiteral("<ItemData><Changed/></ItemData>"));
    EXPECT_EQ(fake.scl->calls().last(),
              QStringLiteral("ShowEditProductItem(77, Top Down, <ItemData/>, <PriceCostData/>, "
                             "Nothing, 54)"));
}

TEST(HostServices, missingMembersAndHostsReadAsEmpty)
{
    FakeHost fake; // nothing scripted on Common
    const HostServices host(fake.scl);
    EXPECT_EQ(host.GetProductNameFromID(1), QString());
    EXPECT_EQ(host.GetProductPriceSource(1), 0);
    EXPECT_EQ(host.ExecuteSelect(QStringLiteral("SELECT 1")), QString());
    qint32 v = 0, p = 0;
    QString s;
    EXPECT_FALSE(host.ShowSelectProductStyle(v, p, s, false));

    const HostServices none;
    EXPECT_FALSE(none.ZELTSQL().isValid());
    EXPECT_EQ(none.SecuritySID(), Variant());
    EXPECT_EQ(none.GetCompanyOption(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")),
              std::nullopt);
    none.ShowMessageStyle1(QStringLiteral("Notice"), QStringLiteral("text"));
    SqlSession().PreTerminate();
    EXPECT_EQ(SqlSession().ExecuteScaler(QStringLiteral("x"), {}, {}), 0);
}

TEST(ProductEngine, callsAndReadBack)
{
    auto fake = MakeFakeProductEngine();
    fake->set(QStringLiteral("UseProductFile"), MakeBool(true))
        .set(QStringLiteral("GetOptionCount"), MakeInt16(2))
        .on(QStringLiteral("GetOptionDataEx"),
            [](VariantList &args) {
                return Variant(QStringLiteral("opt%1.%2")
                                   .arg(ToInt32(args[0]).value_or(-1))
                                   .arg(ToText(args[1]).value_or(QString())));
            })
        .set(QStringLiteral("ErrorCount"), MakeInt32(1))
        .set(QStringLiteral("Error"), QStringLiteral("Width exceeds 96 inches"))
        .set(QStringLiteral("PriceBeforeDiscount"), MakeCurrency({1234500}))
        .set(QStringLiteral("CostAfterDiscount"), MakeDouble(61.725))
        .set(QStringLiteral("PriceLineAnalyticValue"), QStringLiteral("12.5"));

    ProductEngine engine(fake);
    EXPECT_TRUE(engine.UseProductFile(QStringLiteral("roller.xml")));
    engine.InitForAccess();
    engine.setAllOptionsInDescription(false);
    engine.InitForProcessing(QStringLiteral("Cordless"));
    engine.setRoundDown(1);
    engine.setDimensionDisplayFormat(QStringLiteral("Fraction"));
    engine.SetOptionValue(QStringLiteral("Width"), QStringLiteral("36 1/2"));
    EXPECT_EQ(engine.GetOptionCount(), 2);
    EXPECT_EQ(ToText(engine.GetOptionDataEx(1, QStringLiteral("Name"))),
              QStringLiteral("opt1.Name"));
    EXPECT_EQ(engine.ErrorCount(), 1);
    EXPECT_EQ(engine.Error(0), QStringLiteral("Width exceeds 96 inches"));
    EXPECT_EQ(engine.PriceBeforeDiscount(), Currency::fromScaled(1234500));
    EXPECT_EQ(engine.CostAfterDiscount(), Currency::fromScaled(617250));
    EXPECT_EQ(engine.PriceLineAnalyticValue(0), Currency::fromScaled(125000));
    // Members the fake lacks read as zero or empty; an amount it lacks or cannot give as
    // money is no amount at all, not 0.
    EXPECT_EQ(engine.NoticeCount(), 0);
    EXPECT_EQ(engine.PriceLineAnalyticName(0), QString());
    EXPECT_EQ(engine.CostBeforeDiscount(), std::nullopt);
    fake->set(QStringLiteral("PriceAfterDiscount"), QStringLiteral("n/a"));
    EXPECT_EQ(engine.PriceAfterDiscount(), std::nullopt);
    fake->set(QStringLiteral("PriceAfterDiscount"), MakeInt16(0));
    EXPECT_EQ(engine.PriceAfterDiscount(), Currency());

    EXPECT_EQ(fake->calls().mid(0, 4),
              (QStringList{QStringLiteral("UseProductFile(roller.xml, True)"),
                           QStringLiteral("InitForAccess()"),
                           QStringLiteral("AllOptionsInDescription=False"),
                           QStringLiteral("InitForProcessing(Cordless)")}));
    EXPECT_TRUE(fake->calls().contains(QStringLiteral("RoundDown=1")));
    EXPECT_TRUE(fake->calls().contains(QStringLiteral("SetOptionValue(Width, 36 1/2)")));

    ProductEngine none;
    EXPECT_FALSE(none.UseProductFile(QStringLiteral("roller.xml")));
    EXPECT_EQ(none.GetOptionCount(), 0);
    EXPECT_EQ(none.PriceAfterDiscount(), std::nullopt);
    EXPECT_EQ(none.PriceLineAnalyticCount(), std::nullopt);
}

TEST(HostServices, aRunReadsEachStatementOnce)
{
    FakeHost fake;
    QString answer = QStringLiteral("<Records><Record><ID>1</ID></Record></Records>");
    fake.sql->on(QStringLiteral("ExecuteRead"), [&](VariantList &) { return Variant(answer); });
    fake.common->on(QStringLiteral("ExecuteSelect"),
                    [&](VariantList &) { return Variant(answer); });
    HostServices host(fake.scl);

    SqlSession plain = host.ZELTSQL();
    plain.ExecuteReadDocument(QStringLiteral("SELECT 1"));
    plain.ExecuteReadDocument(QStringLiteral("SELECT 1"));
    EXPECT_EQ(fake.sql->calls().filter(QStringLiteral("ExecuteRead")).size(), 2);

    fake.sql->clearCalls();
    SqlSession cached = host.ZELTSQL();
    cached.setSessionCachingEnabled(true);
    const auto first = cached.ExecuteReadDocument(QStringLiteral("SELECT 1"));
    const auto again = cached.ExecuteReadDocument(QStringLiteral("SELECT 1"));
    ASSERT_TRUE(first && again);
    EXPECT_EQ(again->documentElement().nodeName(), QStringLiteral("Records"));
    cached.ExecuteReadDocument(QStringLiteral("SELECT 2"));
    EXPECT_EQ(fake.sql->calls().filter(QStringLiteral("ExecuteRead")).size(), 2);

    // A failed read is tried again.
    answer.clear();
    EXPECT_FALSE(cached.ExecuteReadDocument(QStringLiteral("SELECT 3")));
    answer = QStringLiteral("<Records/>");
    EXPECT_TRUE(cached.ExecuteReadDocument(QStringLiteral("SELECT 3")));

    host.ExecuteSelect(QStringLiteral("SELECT a"));
    host.ExecuteSelect(QStringLiteral("SELECT a"));
    EXPECT_EQ(fake.common->calls().size(), 2);
    host.cacheReads();
    host.ExecuteSelect(QStringLiteral("SELECT a"));
    host.ExecuteSelect(QStringLiteral("SELECT a"));
    host.ExecuteSelect(QStringLiteral("SELECT b"));
    EXPECT_EQ(fake.common->calls().size(), 4);
}

// During a run the product facts, record fields and company options are asked once per
// question; a question the host could not answer is asked again.
TEST(HostServices, aRunAsksEachProductFactOnce)
{
    FakeHost fake;
    int sources = 0;
    fake.common->on(QStringLiteral("GetProductCostSource"), [&](VariantList &args) {
        ++sources;
        return ToInt32(args[0]).value_or(0) == 3 ? Variant() : MakeInt32(2);
    });
    fake.common->on(QStringLiteral("GetFieldValue"), [&](VariantList &args) {
        return Variant(ToText(args[1]).value_or(QString()));
    });
    HostServices host(fake.scl);
    EXPECT_EQ(host.GetProductCostSource(1), 2);
    EXPECT_EQ(host.GetProductCostSource(1), 2);
    EXPECT_EQ(sources, 2) << "without a run every call goes to the host";

    host.cacheReads();
    sources = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.GetProductCostSource(1), 2);
        EXPECT_EQ(host.GetProductCostSource(2), 2);
        EXPECT_EQ(host.GetProductCostSource(3), 0);
    }
    EXPECT_EQ(sources, 2 + 3);
    // Arguments of other types or values are other questions.
    EXPECT_EQ(host.GetFieldValue(QStringLiteral("<R/>"), QStringLiteral("A"), QStringLiteral("0")),
              QStringLiteral("A"));
    EXPECT_EQ(host.GetFieldValue(QStringLiteral("<R/>"), QStringLiteral("B"), QStringLiteral("0")),
              QStringLiteral("B"));
}

// A value derived from a run's reads is made once per key and kind while the run lasts; a
// value that could not be made is tried again.
TEST(HostServices, aRunKeepsDerivedValues)
{
    FakeHost fake;
    HostServices host(fake.scl);
    int made = 0;
    std::optional<int> next = 7;
    const std::function<std::optional<int>()> make = [&] {
        ++made;
        return next;
    };
    EXPECT_EQ(host.cachedValue<int>(QStringLiteral("k"), make), 7);
    EXPECT_EQ(host.cachedValue<int>(QStringLiteral("k"), make), 7);
    EXPECT_EQ(made, 2) << "without a run nothing is kept";

    host.cacheReads();
    HostServices copy = host;
    made = 0;
    next.reset();
    EXPECT_FALSE(host.cachedValue<int>(QStringLiteral("k"), make));
    next = 8;
    EXPECT_EQ(host.cachedValue<int>(QStringLiteral("k"), make), 8);
    next = 9;
    EXPECT_EQ(copy.cachedValue<int>(QStringLiteral("k"), make), 8) << "copies share the run";
    EXPECT_EQ(host.cachedValue<int>(QStringLiteral("other"), make), 9);
    // The same key asked for another kind of value is made, not mistaken for the kept one.
    EXPECT_EQ(host.cachedValue<QString>(QStringLiteral("k"),
                                        [] { return std::optional<QString>(QStringLiteral("t")); }),
              QStringLiteral("t"));
    EXPECT_EQ(made, 3);
}
