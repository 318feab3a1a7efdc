#include "replace/readback.h"

#include "support/fakes.h"
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

struct EngineOption
{
    QString name, value, group;
    qint32 type;
    bool visible;
};

// A product engine reporting the given options, errors and notices.
Ref<ScriptedObject> engineWith(const QList<EngineOption> &options, const QStringList &errors = {},
                               const QStringList &notices = {})
{
    auto e = MakeFakeProductEngine();
    e->set(QStringLiteral("GetOptionCount"), MakeInt32(qint32(options.size())))
        .on(QStringLiteral("GetOptionDataEx"),
            [options](VariantList &args) -> Variant {
                const auto &o = options.at(ToInt32(args[0]).value_or(0));
                const QString field = ToText(args[1]).value_or(QString());
                if (field == QLatin1String("Name"))
                    return o.name;
                if (field == QLatin1String("FormattedValue"))
                    return o.value;
                if (field == QLatin1String("GroupName"))
                    return o.group;
                if (field == QLatin1String("Type"))
                    return MakeInt16(qint16(o.type));
                if (field == QLatin1String("Sequence"))
                    return MakeInt32(qint32(options.indexOf(o) + 1) * 10);
                if (field == QLatin1String("Visible"))
                    return MakeBool(o.visible);
                return Variant(); // a field the engine cannot give
            })
        .set(QStringLiteral("ErrorCount"), MakeInt32(qint32(errors.size())))
        .on(QStringLiteral("Error"),
            [errors](VariantList &a) { return Variant(errors.at(ToInt32(a[0]).value_or(0))); })
        .set(QStringLiteral("NoticeCount"), MakeInt32(qint32(notices.size())))
        .on(QStringLiteral("Notice"),
            [notices](VariantList &a) { return Variant(notices.at(ToInt32(a[0]).value_or(0))); });
    return e;
}

bool operator==(const EngineOption &a, const EngineOption &b)
{
    return a.name == b.name;
}

QStringList childNames(const XmlNode &node)
{
    QStringList names;
    for (const XmlNode &c : node.childElements())
        names << c.nodeName();
    return names;
}

} // namespace

TEST(ReadBackItem, rebuildsOptionsAndMessagesAtTheEnd)
{
    FakeHost host;
    auto fake = engineWith(
        {{QStringLiteral("Width"), QStringLiteral("36 1/2"), QStringLiteral("Size"), 1, true},
         {QStringLiteral("Chain Length"), QStringLiteral("48"), QStringLiteral("Controls"), 6,
          false}},
        {QStringLiteral("Too wide"), QStringLiteral("Too tall")}, {QStringLiteral("Ships later")});
    ProductEngine engine(fake);
    const QString base = QStringLiteral(
        "<?xml version=\"1.0\"?><ItemData><Before>1</Before><Options><Option><Name>Old</Name>"
        "</Option></Options><Messages><Message><Text>stale</Text></Message></Messages>"
        "<After>2</After><Description>old</Description></ItemData>");

    const QString result = ReadBackItem(base, engine, HostServices(host.scl));
    const auto doc = LoadXMLDocument(result);
    ASSERT_TRUE(doc);
    const XmlNode itemData = doc->documentElement();
    EXPECT_EQ(childNames(itemData),
              (QStringList{QStringLiteral("Before"), QStringLiteral("After"),
                           QStringLiteral("Description"), QStringLiteral("Options"),
                           QStringLiteral("Messages"), QStringLiteral("Description2"),
                           QStringLiteral("DescriptionOE")}));

    const auto options = doc->selectNodes(QStringLiteral("/ItemData/Options/Option"));
    ASSERT_EQ(options.size(), 2);
    EXPECT_EQ(childNames(options[0]),
              (QStringList{QStringLiteral("Name"), QStringLiteral("Sequence"),
                           QStringLiteral("Value"), QStringLiteral("GroupName"),
                           QStringLiteral("Type"), QStringLiteral("GroupSequence"),
                           QStringLiteral("IsDimension"), QStringLiteral("ProcessIfHidden"),
                           QStringLiteral("DisplayFormat"), QStringLiteral("Visible")}));
    EXPECT_EQ(GetXMLValue(QStringLiteral("Value"), options[0]), QStringLiteral("36 1/2"));
    EXPECT_EQ(GetXMLValue(QStringLiteral("Sequence"), options[1]), QStringLiteral("20"));
    EXPECT_EQ(GetXMLValue(QStringLiteral("Visible"), options[0]), QStringLiteral("-1"));
    EXPECT_EQ(GetXMLValue(QStringLiteral("Visible"), options[1]), QStringLiteral("0"));
    EXPECT_EQ(GetXMLValue(QStringLiteral("IsDimension"), options[0]), QStringLiteral("0"));

    const auto messages = doc->selectNodes(QStringLiteral("/ItemData/Messages/Message"));
    ASSERT_EQ(messages.size(), 3);
    QStringList seen;
    for (const XmlNode &m : messages)
        seen << GetXMLValue(QStringLiteral("ID"), m) + QLatin1Char(':') +
                    GetXMLValue(QStringLiteral("Type"), m) + QLatin1Char(':') +
                    GetXMLValue(QStringLiteral("Text"), m);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("0:1:Too wide"), QStringLiteral("1:1:Too tall"),
                                 QStringLiteral("2:2:Ships later")}));
}

// An option name the engine repeats writes one option; a name the document cannot store as
// given is found again only by the name it was stored as.
TEST(ReadBackItem, optionsAreFoundByTheNameTheyWereStoredUnder)
{
    FakeHost host;
    const QString unstorable = QStringLiteral("A") + QChar(1) + QStringLiteral("B");
    ProductEngine engine(engineWith({{QStringLiteral("Width"), QStringLiteral("1"), {}, 1, true},
                                     {QStringLiteral("Width"), QStringLiteral("2"), {}, 1, true},
                                     {unstorable, QStringLiteral("3"), {}, 1, true},
                                     {unstorable, QStringLiteral("4"), {}, 1, true},
                                     {QStringLiteral("AB"), QStringLiteral("5"), {}, 1, true}}));
    const auto doc = LoadXMLDocument(
        ReadBackItem(QStringLiteral("<ItemData/>"), engine, HostServices(host.scl)));
    ASSERT_TRUE(doc);
    QStringList seen;
    for (const XmlNode &o : doc->selectNodes(QStringLiteral("/ItemData/Options/Option")))
        seen << GetXMLValue(QStringLiteral("Name"), o) + QLatin1Char('=') +
                    GetXMLValue(QStringLiteral("Value"), o);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Width=2"), QStringLiteral("AB=5"),
                                 QStringLiteral("AB=4")}));
}

TEST(ReadBackItem, anEngineWithoutOptionsAndABrokenBase)
{
    FakeHost host;
    ProductEngine engine(engineWith({}));
    const auto doc = LoadXMLDocument(
        ReadBackItem(QStringLiteral("<ItemData/>"), engine, HostServices(host.scl)));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->selectNodes(QStringLiteral("/ItemData/Options")).size(), 1);
    EXPECT_EQ(doc->selectNodes(QStringLiteral("/ItemData/Options/*")).size(), 0);
    EXPECT_EQ(ReadBackItem(QStringLiteral("<ItemData>"), engine, HostServices(host.scl)),
              QString());
    EXPECT_EQ(ReadBackItem(QString(), engine, HostServices(host.scl)), QString());
}

TEST(ApplyProductSettings, dimensionSettingsOnlyWhenTheProductOverrides)
{
    FakeHost host;
    QString answer;
    host.sql->on(QStringLiteral("ExecuteRead"), [&](VariantList &) { return Variant(answer); });
    auto fake = MakeFakeProductEngine();
    ProductEngine engine(fake);
    SqlSession session = HostServices(host.scl).ZELTSQL();

    answer = QStringLiteral("<Records><Record><OverrideProductSettings>0</OverrideProductSettings>"
                            "<FractionRounding>2</FractionRounding><DimensionDisplayFormat>Decimal"
                            "</DimensionDisplayFormat></Record></Records>");
    ApplyProductDimensionSettings(7, engine, session);
    EXPECT_FALSE(fake->calls().join(QLatin1Char(' ')).contains(QStringLiteral("RoundDown")));
    EXPECT_EQ(host.sql->calls().last(),
              QStringLiteral("ExecuteRead(SELECT OverrideProductSettings,FractionRounding,"
                             "DimensionDisplayFormat FROM Products WHERE ID = 7)"));

    // Rounding 1 and 2 are the engine's RoundDown off and on; any other value leaves the
    // engine's own rounding alone.
    const std::pair<int, QStringList> roundings[] = {{1, {QStringLiteral("RoundDown=0")}},
                                                     {2, {QStringLiteral("RoundDown=1")}},
                                                     {0, {}},
                                                     {3, {}},
                                                     {-1, {}}};
    for (const auto &[rounding, roundDown] : roundings) {
        SCOPED_TRACE(rounding);
        answer = QStringLiteral("<Records><Record><OverrideProductSettings>True"
                                "</OverrideProductSettings><FractionRounding>%1</FractionRounding>"
                                "<DimensionDisplayFormat>Decimal</DimensionDisplayFormat></Record>"
                                "</Records>")
                     .arg(rounding);
        fake->clearCalls();
        ApplyProductDimensionSettings(7, engine, session);
        EXPECT_EQ(fake->calls(),
                  roundDown + QStringList{QStringLiteral("DimensionDisplayFormat=Decimal")});
    }
}

TEST(ApplyProductSettings, productDefaultsComeAfterCompanyDefaults)
{
    const QString inside = QStringLiteral(
        "<Record><OptionName>Mount</OptionName><OptionValue>Inside</OptionValue></Record>");
    const QString valance = QStringLiteral("<Record><OptionName>Valance</OptionName>"
                                           "<OptionValue>3\" &amp; up</OptionValue></Record>");
    const QString outside = QStringLiteral(
        "<Record><OptionName>Mount</OptionName><OptionValue>Outside</OptionValue></Record>");
    QStringList recordsSeen;
    FakeHost host;
    host.common
        ->on(QStringLiteral("ExecuteSelect"),
             [&](VariantList &args) {
                 const bool company =
                     ToText(args[0]).value_or(QString()).endsWith(QStringLiteral("IS NULL"));
                 return Variant(QStringLiteral("<Results>") +
                                (company ? inside + valance : outside) +
                                QStringLiteral("</Results>"));
             })
        .on(QStringLiteral("GetFieldValue2"), [&recordsSeen](VariantList &args) {
            // A host's reader gets the record node: it may read its XML or walk it.
            const DispatchPtr record = ToObject(args[0]).value_or(DispatchPtr());
            recordsSeen << ToText(Get(record, u"xml").value).value_or(QStringLiteral("(none)"));
            const DispatchPtr field = ToObject(Call(record, u"selectSingleNode", {args[1]}).value)
                                          .value_or(DispatchPtr());
            return Get(field, u"text").value;
        });
    auto fake = MakeFakeProductEngine();
    ProductEngine engine(fake);
    ApplyOptionDefaults(3, engine, HostServices(host.scl));
    EXPECT_EQ(fake->calls(), (QStringList{QStringLiteral("SetOptionValue(Mount, Inside)"),
                                          QStringLiteral("SetOptionValue(Valance, 3\" & up)"),
                                          QStringLiteral("SetOptionValue(Mount, Outside)")}));
    EXPECT_EQ(recordsSeen, (QStringList{inside, inside, valance, valance, outside, outside}));
    EXPECT_EQ(host.common->calls().at(0),
              QStringLiteral("ExecuteSelect(SELECT OptionName, OptionValue FROM OptionDefaults "
                             "WHERE ProductID IS NULL)"));
    EXPECT_TRUE(host.common->calls().contains(QStringLiteral(
        "ExecuteSelect(SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID = 3)")));
}

TEST(IsProcessableOption, typesVisibilityAndHiddenProcessing)
{
    const auto doc = LoadXMLDocument(QStringLiteral(
        "<ItemData><Options>"
        "<Option><Type>7</Type><Visible>-1</Visible></Option>"
        "<Option><Type>6</Type><ProcessIfHidden>1</ProcessIfHidden></Option>"
        "<Option><Type>4</Type><Visible>0</Visible><ProcessIfHidden>1</ProcessIfHidden></Option>"
        "<Option><Type>4</Type><Visible>-1</Visible></Option>"
        "<Option><Type>4</Type><Visible>0</Visible></Option>"
        "</Options></ItemData>"));
    ASSERT_TRUE(doc);
    QList<bool> processable;
    for (const XmlNode &o : doc->selectNodes(QStringLiteral("//Option")))
        processable << IsProcessableOption(o);
    EXPECT_EQ(processable, (QList<bool>{false, false, true, true, false}));
}
