// Finding, reading and writing fields; the text helpers.
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

#include <random>

using namespace zeltpc5;

namespace {

const QLocale German(QLocale::German, QLocale::Germany);

XmlDocument Load(const QString &text)
{
    auto doc = LoadXMLDocument(text);
    EXPECT_TRUE(doc.has_value()) << text.toStdString();
    return doc ? *doc : *NewXMLDocument(QStringLiteral("Failed"));
}

XmlNode Root(const QString &content)
{
    return Load(QStringLiteral("<R>") + content + QStringLiteral("</R>")).documentElement();
}

} // namespace

TEST(xml_access_test, findsAndCreatesChildrenByExactName)
{
    auto doc = Load(QStringLiteral("<R><a>1</a><A>2</A><a>3</a></R>"));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(QStringLiteral("1"), FindChildNode(root, QStringLiteral("a")).text());
    EXPECT_EQ(QStringLiteral("2"), FindChildNode(root, QStringLiteral("A")).text());
    EXPECT_TRUE(FindChildNode(root, QStringLiteral("b")).isNull());
    EXPECT_TRUE(FindChildNode(XmlNode(), QStringLiteral("a")).isNull());
    EXPECT_TRUE(FindChildNode(root, QStringLiteral("a") + QChar(0) + QStringLiteral("b")).isNull());
    EXPECT_EQ(QStringLiteral("R"), FindChildNode(doc, QStringLiteral("R")).nodeName());

    EXPECT_TRUE(GetChildElement(QStringLiteral("b"), root, false).isNull());
    const XmlNode created = GetChildElement(QStringLiteral("b"), root, true);
    EXPECT_EQ(created, GetChildElement(QStringLiteral("b"), root, true));
    EXPECT_EQ(created, root.childElements().last());
    EXPECT_TRUE(AppendChildElement(QStringLiteral("b"), XmlNode()).isNull());
}

TEST(xml_access_test, findsOrCreatesKeyedElements)
{
    auto doc = Load(QStringLiteral("<R><Options><Option><Name>Width</Name></Option>"
                                   "<Other><Name>Mount</Name></Other><Option><ID>7</ID></Option>"
                                   "<Option/></Options></R>"));
    const XmlNode options = FindChildNode(doc.documentElement(), QStringLiteral("Options"));

    EXPECT_EQ(QStringLiteral("Other"),
              GetOptionElement(QStringLiteral("Mount"), QStringLiteral("Option"), options, false)
                  .nodeName());
    EXPECT_TRUE(GetOptionElement(QStringLiteral("width"), QStringLiteral("Option"), options, false)
                    .isNull());
    EXPECT_TRUE(GetOptionElement(QString(), QStringLiteral("Option"), options, false).isNull());
    EXPECT_TRUE(GetOptionElement(QStringLiteral("Mount") + QChar(0), QStringLiteral("Option"),
                                 options, false)
                    .isNull());
    EXPECT_EQ(QStringLiteral("7"),
              GetXMLValue(QStringLiteral("ID"),
                          GetIDElement(QStringLiteral("7"), QStringLiteral("X"), options, false)));

    const XmlNode line =
        GetOptionElement(QStringLiteral("Line\r\n2"), QStringLiteral("Option"), options, true);
    EXPECT_EQ(QStringLiteral("Line&#13;&#10;2"),
              FindChildNode(line, QStringLiteral("Name")).text());
    EXPECT_EQ(line, GetOptionElement(QStringLiteral("Line\r\n2"), QStringLiteral("Option"), options,
                                     false));

    const int before = options.childElements().size();
    const XmlNode duplicate =
        GetOptionElement(QStringLiteral("Width"), QStringLiteral("Option"), options, true, true);
    EXPECT_EQ(before + 1, options.childElements().size());
    EXPECT_EQ(QStringLiteral("Width"), GetXMLValue(QStringLiteral("Name"), duplicate));
    EXPECT_TRUE(
        GetOptionElement(QStringLiteral("x"), QStringLiteral("Option"), XmlNode(), true).isNull());
}

TEST(xml_access_test, readsTextWithDefaults)
{
    const XmlNode root = Root(QStringLiteral("<Name>Width</Name><Empty/><Nested><Name>Deep</Name>"
                                             "</Nested><Lines>a&amp;#13;&amp;#10;b</Lines>"));
    EXPECT_EQ(QStringLiteral("Width"),
              GetXMLValue(QStringLiteral("Name"), root, QStringLiteral("d")));
    EXPECT_EQ(QStringLiteral("d"), GetXMLValue(QStringLiteral("Empty"), root, QStringLiteral("d")));
    EXPECT_EQ(QStringLiteral("d"),
              GetXMLValue(QStringLiteral("Missing"), root, QStringLiteral("d")));
    EXPECT_EQ(QStringLiteral("d"),
              GetXMLValue(QStringLiteral("Name"), XmlNode(), QStringLiteral("d")));
    EXPECT_EQ(QStringLiteral("d"), GetXMLValue(QStringLiteral("Name["), root, QStringLiteral("d")));
    EXPECT_EQ(QStringLiteral("Deep"), GetXMLValue(QStringLiteral("Nested/Name"), root));
    EXPECT_EQ(QStringLiteral("a\r\nb"), GetXMLValue(QStringLiteral("Lines"), root));
}

TEST(xml_access_test, readsNumbersUnderTheLocaleAndFallsBackToTheDefault)
{
    const XmlNode root = Root(QStringLiteral(
        "<Seven>7</Seven><Word>abc</Word><Half>2.5</Half><OddHalf>3.5</OddHalf><Big>70000</Big>"
        "<Grouped>1,234.5</Grouped><Comma>1,5</Comma><Huge>1e300</Huge><Price>125.50</Price>"
        "<Blank>  </Blank>"));
    EXPECT_EQ(7, GetXMLInteger(QStringLiteral("Seven"), root, 9));
    EXPECT_EQ(9, GetXMLInteger(QStringLiteral("Word"), root, 9));
    EXPECT_EQ(9, GetXMLInteger(QStringLiteral("Missing"), root, 9));
    EXPECT_EQ(9, GetXMLInteger(QStringLiteral("Blank"), root, 9));
    EXPECT_EQ(2, GetXMLInteger(QStringLiteral("Half"), root, 9));
    EXPECT_EQ(4, GetXMLLong(QStringLiteral("OddHalf"), root, 9));
    EXPECT_EQ(9, GetXMLInteger(QStringLiteral("Big"), root, 9));
    EXPECT_EQ(70000, GetXMLLong(QStringLiteral("Big"), root, 9));
    EXPECT_EQ(9, GetXMLLong(QStringLiteral("Huge"), root, 9));
    EXPECT_EQ(9.0f, GetXMLSingle(QStringLiteral("Huge"), root, 9.0f));
    EXPECT_EQ(1234.5f, GetXMLSingle(QStringLiteral("Grouped"), root));
    EXPECT_EQ(Currency::fromScaled(1255000), GetXMLCurrency(QStringLiteral("Price"), root));
    EXPECT_EQ(Currency::fromUnits(3),
              GetXMLCurrency(QStringLiteral("Word"), root, Currency::fromUnits(3)));

    // A comma-decimal locale reads "1,5" and refuses "125.50".
    EXPECT_EQ(1.5f, GetXMLSingle(QStringLiteral("Comma"), root, 0.0f, German));
    EXPECT_EQ(Currency::fromUnits(3),
              GetXMLCurrency(QStringLiteral("Price"), root, Currency::fromUnits(3), German));
    EXPECT_EQ(-1, GetXMLLong(QStringLiteral("Comma"), root, -1));
}

TEST(xml_access_test, readsBooleanWords)
{
    const XmlNode root = Root(QStringLiteral(
        "<Yes>Yes</Yes><No>no</No><True>TRUE</True><False>False</False><One>1</One>"
        "<MinusOne>-1</MinusOne><Zero>0</Zero><Maybe>maybe</Maybe><Two>2</Two><Empty/>"));
    for (const bool def : {false, true}) {
        EXPECT_EQ(true, GetXMLBoolean(QStringLiteral("Yes"), root, def));
        EXPECT_EQ(false, GetXMLBoolean(QStringLiteral("No"), root, def));
        EXPECT_EQ(true, GetXMLBoolean(QStringLiteral("True"), root, def));
        EXPECT_EQ(false, GetXMLBoolean(QStringLiteral("False"), root, def));
        EXPECT_EQ(true, GetXMLBoolean(QStringLiteral("One"), root, def));
        EXPECT_EQ(true, GetXMLBoolean(QStringLiteral("MinusOne"), root, def));
        EXPECT_EQ(false, GetXMLBoolean(QStringLiteral("Zero"), root, def));
        EXPECT_EQ(def, GetXMLBoolean(QStringLiteral("Maybe"), root, def));
        EXPECT_EQ(def, GetXMLBoolean(QStringLiteral("Two"), root, def));
        EXPECT_EQ(def, GetXMLBoolean(QStringLiteral("Empty"), root, def));
        EXPECT_EQ(def, GetXMLBoolean(QStringLiteral("Missing"), root, def));
    }
}

TEST(xml_access_test, writesTheFirstChildOrAppendsOne)
{
    auto doc = Load(QStringLiteral("<R><V>1</V><V>2</V></R>"));
    const XmlNode root = doc.documentElement();
    SetXMLValue(QStringLiteral("V"), QStringLiteral("x"), root);
    SetXMLValue(QStringLiteral("W"), QStringLiteral("y"), root);
    SetXMLValue(QStringLiteral("W"), QString(), root);
    SetXMLValue(QStringLiteral("Z"), QStringLiteral("z"), XmlNode());
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<R><V>x</V><V>2</V><W/></R>\n"), doc.xml());
}

TEST(xml_access_test, writesNumbersInTheStandardFormOfTheLocale)
{
    auto doc = *NewXMLDocument(QStringLiteral("R"));
    const XmlNode root = doc.documentElement();
    SetXMLLong(QStringLiteral("L"), -123456, root);
    SetXMLInteger(QStringLiteral("I"), 7, root);
    SetXMLSingle(QStringLiteral("S"), 0.1f, root);
    SetXMLCurrency(QStringLiteral("C"), Currency::fromScaled(1255000), root);
    EXPECT_EQ(QStringLiteral("-123456"), GetXMLValue(QStringLiteral("L"), root));
    EXPECT_EQ(QStringLiteral("7"), GetXMLValue(QStringLiteral("I"), root));
    EXPECT_EQ(QStringLiteral("0.1"), GetXMLValue(QStringLiteral("S"), root));
    EXPECT_EQ(QStringLiteral("125.5"), GetXMLValue(QStringLiteral("C"), root));

    SetXMLSingle(QStringLiteral("S"), 12.75f, root, German);
    SetXMLCurrency(QStringLiteral("C"), Currency::fromScaled(-5), root, German);
    EXPECT_EQ(QStringLiteral("12,75"), GetXMLValue(QStringLiteral("S"), root));
    EXPECT_EQ(QStringLiteral("-0,0005"), GetXMLValue(QStringLiteral("C"), root));
    EXPECT_EQ(12.75f, GetXMLSingle(QStringLiteral("S"), root, 0.0f, German));

    // Every single reads back as itself.
    for (const float value : {0.3f, 1.0f / 3.0f, 16777217.0f, 1e-7f, 3.4e38f, -2.5f}) {
        SetXMLSingle(QStringLiteral("S"), value, root);
        EXPECT_EQ(value, GetXMLSingle(QStringLiteral("S"), root)) << value;
    }
}

TEST(xml_access_test, lineBreaksRoundTripExactlyThroughTheDocumentText)
{
    const QStringList texts = {QStringLiteral("a\r\nb"), QStringLiteral("\r"),
                               QStringLiteral("\n\n"), QStringLiteral("x\ry\nz\r\n"),
                               QStringLiteral("plain & <b>")};
    for (const QString &text : texts) {
        auto doc = *NewXMLDocument(QStringLiteral("R"));
        SetXMLValue(QStringLiteral("V"), text, doc.documentElement());
        const auto again = LoadXMLDocument(doc.xml());
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(text, GetXMLValue(QStringLiteral("V"), again->documentElement()));
    }
    auto doc = *NewXMLDocument(QStringLiteral("R"));
    SetXMLValue(QStringLiteral("V"), QStringLiteral("a\r\nb"), doc.documentElement());
    EXPECT_TRUE(doc.xml().contains(QStringLiteral("<V>a&amp;#13;&amp;#10;b</V>")));
    EXPECT_EQ(QStringLiteral("&#13;&#10;&#13;"), EncodeLineBreaks(QStringLiteral("\r\n\r")));
    EXPECT_EQ(QStringLiteral("\r\n&#9;"), DecodeLineBreaks(QStringLiteral("&#13;&#10;&#9;")));
}

TEST(xml_access_test, attributesReadBackOrGiveTheDefault)
{
    auto doc = *NewXMLDocument(QStringLiteral("R"));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(QStringLiteral("d"),
              GetXMLAttribute(root, QStringLiteral("Explain"), QStringLiteral("d")));
    SetXMLAttribute(root, QStringLiteral("Explain"), QStringLiteral("first"));
    SetXMLAttribute(root, QStringLiteral("Explain"), QStringLiteral("it's \"x\" & <y>"));
    EXPECT_EQ(QStringLiteral("it's \"x\" & <y>"), GetXMLAttribute(root, QStringLiteral("Explain")));
    EXPECT_EQ(QStringLiteral("d"),
              GetXMLAttribute(XmlNode(), QStringLiteral("Explain"), QStringLiteral("d")));
    SetXMLAttribute(XmlNode(), QStringLiteral("Explain"), QStringLiteral("x"));
    const auto again = LoadXMLDocument(doc.xml());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(QStringLiteral("it's \"x\" & <y>"),
              GetXMLAttribute(again->documentElement(), QStringLiteral("Explain")));
}

TEST(xml_access_test, xpathLiteralFollowsTheQuoteRules)
{
    EXPECT_EQ(QStringLiteral("''"), XPathLiteral(QString()));
    EXPECT_EQ(QStringLiteral("'Width \"in\"'"), XPathLiteral(QStringLiteral("Width \"in\"")));
    EXPECT_EQ(QStringLiteral("\"Kid's Choice\""), XPathLiteral(QStringLiteral("Kid's Choice")));
    EXPECT_EQ(QStringLiteral("concat(\"a'\",'b\"','c')"), XPathLiteral(QStringLiteral("a'b\"c")));
    EXPECT_EQ(QStringLiteral("concat('\"',\"'\")"), XPathLiteral(QStringLiteral("\"'")));
}

TEST(xml_access_test, xpathLiteralSelectsExactlyTheNodeHoldingTheText)
{
    // Texts built from quote characters, markup and XPath syntax select their own node and no
    // other, both as a plain comparison and inside the option selection.
    const QString alphabet = QStringLiteral("'\"<>&][()=/@*,|:. a\u00e9Zx\r\n\t");
    std::mt19937 random(20240501);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = int(random() % 12);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random() % alphabet.size());

        auto doc = *NewXMLDocument(QStringLiteral("ItemData"));
        const XmlNode options =
            AppendChildElement(QStringLiteral("Options"), doc.documentElement());
        for (const QString &name : {text + QLatin1Char('x'), QStringLiteral("x") + text, text,
                                    text.toUpper() + QLatin1Char('\''), QString()}) {
            XmlNode option = AppendChildElement(QStringLiteral("Option"), options);
            AppendChildElement(QStringLiteral("Name"), option).setText(name);
        }
        const XmlNode target = options.childElements().at(2);

        const QList<XmlNode> plain = doc.selectNodes(QStringLiteral("//Option[Name = ") +
                                                     XPathLiteral(text) + QLatin1Char(']'));
        ASSERT_EQ(text.isEmpty() ? 2 : 1, plain.size()) << text.toStdString();
        EXPECT_EQ(target, plain.first());

        // The tree walk selects what the expression selects, in both matching modes.
        for (const OptionNameMatch match :
             {OptionNameMatch::CaseSensitive, OptionNameMatch::IgnoreCase}) {
            const XmlNode byName = doc.selectSingleNode(OptionSelectionXPath(text, match));
            EXPECT_EQ(byName, SelectOptionByName(options, text, match)) << text.toStdString();
            EXPECT_EQ(byName, SelectOptionByName(options.childElements(), text, match))
                << text.toStdString();
            if (match == OptionNameMatch::CaseSensitive) {
                EXPECT_EQ(target, byName) << text.toStdString();
            }
        }
    }
}

TEST(xml_access_test, optionWalkSelectsWhatTheExpressionSelectsOnOddShapes)
{
    auto doc = Load(QStringLiteral(
        "<Quote><Option><Name>a</Name></Option>"
        "<ItemData><Options><Option><Name>b</Name><Name>a</Name></Option>"
        "<Option><Name xmlns='urn:x'>a</Name><Name>c</Name></Option>"
        "<Option xmlns='urn:x'><Name>a</Name></Option>"
        "<Option><Extra><ItemData><Options><Option><Name>A</Name></Option></Options></ItemData>"
        "</Extra><Name>nested</Name></Option>"
        "<Option/><Option><Name>a<b>x</b></Name></Option></Options>"
        "<Other><Option><Name>a</Name></Option></Other></ItemData></Quote>"));
    const XmlNode deep = doc.selectSingleNode(QStringLiteral("//Extra"));
    const QList<XmlNode> selected = doc.selectNodes(QStringLiteral("//ItemData/Options/Option"));
    for (const QString &name :
         {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c"),
          QStringLiteral("nested"), QString(), QStringLiteral("ax"), QStringLiteral("none")}) {
        for (const OptionNameMatch match :
             {OptionNameMatch::CaseSensitive, OptionNameMatch::IgnoreCase}) {
            const XmlNode expected = doc.selectSingleNode(OptionSelectionXPath(name, match));
            EXPECT_EQ(expected, SelectOptionByName(doc, name, match)) << name.toStdString();
            EXPECT_EQ(expected, SelectOptionByName(deep, name, match)) << name.toStdString();
            EXPECT_EQ(expected, SelectOptionByName(selected, name, match)) << name.toStdString();
        }
    }
    // Only Options/Option under ItemData count, namespaced names are skipped, the first Name
    // decides, and document order runs through the nested item.
    EXPECT_TRUE(
        SelectOptionByName(doc, QStringLiteral("a"), OptionNameMatch::CaseSensitive).isNull());
    EXPECT_EQ(QStringLiteral("Extra"),
              SelectOptionByName(doc, QStringLiteral("a"), OptionNameMatch::IgnoreCase)
                  .parentNode()
                  .parentNode()
                  .parentNode()
                  .nodeName());
    EXPECT_EQ(QStringLiteral("c"),
              GetXMLValue(QStringLiteral("Name"), SelectOptionByName(doc, QStringLiteral("C"),
                                                                     OptionNameMatch::IgnoreCase)));
}

TEST(xml_access_test, escapesMarkup)
{
    EXPECT_EQ(QStringLiteral("a&lt;b &amp; &quot;c&quot;"),
              EscapeMarkup(QStringLiteral("a<b & \"c\"")));
    EXPECT_EQ(QStringLiteral("it&apos;s &gt; &amp;amp;"),
              EscapeMarkup(QStringLiteral("it's > &amp;")));
    EXPECT_EQ(QStringLiteral("a<LineBreak/>b\rc\nd"), EscapeMarkup(QStringLiteral("a\r\nb\rc\nd")));
}

TEST(xml_access_test, parsesIsoDateAndTime)
{
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    EXPECT_EQ(QDateTime(QDate(2016, 3, 4), QTime(10, 20, 30)),
              ParseXMLDate(QStringLiteral("2016-03-04T10:20:30"), fallback));
    EXPECT_EQ(QDateTime(QDate(2016, 12, 31), QTime(7, 5)),
              ParseXMLDate(QStringLiteral("2016-12-31T7:05"), fallback));
    for (const QString &bad :
         {QStringLiteral("2016-03-04"), QString(), QStringLiteral("garbage"),
          QStringLiteral("2016-02-30T00:00:00"), QStringLiteral("2016-03-04T25:00:00"),
          QStringLiteral("2016-03-04T10:20:30Z"), QStringLiteral("2016-03-04T10:20:30.5"),
          QStringLiteral("16-03-04T10:20:30"), QStringLiteral("2016-03-04T10:20:30T1"),
          QStringLiteral("2016-3-+4T10:20:30"), QStringLiteral("2016/03/04T10:20:30")})
        EXPECT_EQ(fallback, ParseXMLDate(bad, fallback)) << bad.toStdString();

    const XmlNode root = Root(QStringLiteral("<D>2016-03-04T10:20:30</D>"));
    EXPECT_EQ(QDateTime(QDate(2016, 3, 4), QTime(10, 20, 30)),
              GetXMLDate(QStringLiteral("D"), root));
    EXPECT_EQ(fallback, GetXMLDate(QStringLiteral("Missing"), root, fallback));
}

TEST(xml_access_test, readsIsoDateTheSameUnderADayMonthYearLocale)
{
    // Reading the fields through the locale's date order would give 3 April here.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QDateTime parsed = ParseXMLDate(QStringLiteral("2016-03-04T10:20:30"));
    QLocale::setDefault(saved);
    EXPECT_EQ(QDateTime(QDate(2016, 3, 4), QTime(10, 20, 30)), parsed);
}
