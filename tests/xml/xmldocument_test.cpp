// Parsing, serialising, node handles and selections.
#include "xml/xmlaccess.h"
#include "xml/xmldocument.h"

#include <gtest/gtest.h>

#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include <random>

using namespace zeltpc5;

namespace {

QString Nested(int depth)
{
    return QString(QStringLiteral("<a>")).repeated(depth) +
           QString(QStringLiteral("</a>")).repeated(depth);
}

} // namespace

TEST(xml_document_test, refusesTextThatIsNotOneWellFormedDocument)
{
    const QStringList rejected = {
        QString(),
        QStringLiteral("   "),
        QStringLiteral("plain text"),
        QStringLiteral("<ItemData>"),                     // truncated
        QStringLiteral("<ItemData><Options></ItemData>"), // malformed
        QStringLiteral("<a/><b/>"),                       // two roots
        QStringLiteral("<?xml version=\"1.0\"?>"),        // no root
        QStringLiteral("<a>&unknown;</a>"),               // undeclared entity
        QStringLiteral("<p:a/>"),                         // undeclared prefix
        QStringLiteral("<a x='1' x='2'/>"),               // repeated attribute
        QStringLiteral("<a>x") + QChar(0) + QStringLiteral("</a>"),
        QStringLiteral("<a>") + QChar(0xD800) + QStringLiteral("</a>"), // lone surrogate
        QStringLiteral("<a>") + QChar(0xDC00) + QStringLiteral("</a>"),
    };
    for (const QString &text : rejected)
        EXPECT_FALSE(LoadXMLDocument(text).has_value()) << text.toStdString();
}

TEST(xml_document_test, refusesBytesThatAreNotUtf8)
{
    EXPECT_FALSE(XmlDocument::parse(QByteArray("<a>\xC3\x28</a>")).has_value());
    EXPECT_FALSE(XmlDocument::parse(QByteArray("\xFF\xFE<\0a\0/\0>\0", 10)).has_value());
    EXPECT_FALSE(XmlDocument::parse(QByteArray("<a>\xED\xA0\x80</a>")).has_value());
    EXPECT_TRUE(XmlDocument::parse(QByteArray("<a>\xC3\xA9</a>")).has_value());
}

TEST(xml_document_test, readsTextAsUnicodeWhateverEncodingItDeclares)
{
    const auto doc = LoadXMLDocument(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\u00e9 \u20ac</a>"));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(QStringLiteral("Caf\u00e9 \u20ac"), doc->documentElement().text());
}

TEST(xml_document_test, refusesDocumentTypesAndNeverExpandsOrFetchesEntities)
{
    const QString laughs = QStringLiteral(
        "<!DOCTYPE lolz [<!ENTITY lol \"lol\">"
        "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
        "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
        "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
        "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
        "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
        "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
        "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">"
        "]><lolz>&lol9;</lolz>");
    EXPECT_FALSE(LoadXMLDocument(laughs).has_value());
    EXPECT_FALSE(
        LoadXMLDocument(QStringLiteral("<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                       "<a>&x;</a>"))
            .has_value());
    EXPECT_FALSE(
        LoadXMLDocument(QStringLiteral("<!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a/>"))
            .has_value());
    EXPECT_FALSE(LoadXMLDocument(QStringLiteral("<!DOCTYPE a><a/>")).has_value());
}

TEST(xml_document_test, boundsNestingAndSize)
{
    EXPECT_TRUE(LoadXMLDocument(Nested(200)).has_value());
    EXPECT_FALSE(LoadXMLDocument(Nested(100000)).has_value());

    const QString big =
        QStringLiteral("<a>") + QString(1000, QLatin1Char('x')) + QStringLiteral("</a>");
    EXPECT_TRUE(XmlDocument::parse(big, XmlParseLimits{2000}).has_value());
    EXPECT_FALSE(XmlDocument::parse(big, XmlParseLimits{1000}).has_value());
    // Counted in UTF-8 bytes, not in characters.
    const QString wide =
        QStringLiteral("<a>") + QString(600, QChar(0x20AC)) + QStringLiteral("</a>");
    EXPECT_FALSE(XmlDocument::parse(wide, XmlParseLimits{1000}).has_value());
    EXPECT_FALSE(LoadXMLDocument(QStringLiteral("<a>") +
                                 QString(9 * 1024 * 1024, QLatin1Char('x')) +
                                 QStringLiteral("</a>"))
                     .has_value());
}

TEST(xml_document_test, serialisesWithTheXmlDeclaration)
{
    auto doc = NewXMLDocument(QStringLiteral("ItemData"));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<ItemData/>\n"), doc->xml());

    SetXMLValue(QStringLiteral("Description"), QStringLiteral("A & B <\u00e9>"),
                doc->documentElement());
    SetXMLAttribute(doc->documentElement(), QStringLiteral("Note"), QStringLiteral("\"x\"\n"));
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<ItemData Note=\"&quot;x&quot;&#10;\">"
                             "<Description>A &amp; B &lt;\u00e9&gt;</Description></ItemData>\n"),
              doc->xml());

    // A document read without a declaration is written with one.
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<a>x</a>\n"),
              LoadXMLDocument(QStringLiteral("<a>x</a>"))->xml());

    // Attribute values outside ASCII: a read document (read as UTF-8) keeps them as they are,
    // whether or not its text declares an encoding; a created one writes references, as
    // libxml2 does for a document without an encoding.
    for (const QString &declaration :
         {QString(), QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")}) {
        EXPECT_EQ(
            QStringLiteral("<?xml version=\"1.0\"?>\n<a b=\"K\u00e4the\">\u00e9</a>\n"),
            LoadXMLDocument(declaration + QStringLiteral("<a b=\"K\u00e4the\">\u00e9</a>"))->xml());
    }
    const XmlNode root = NewXMLDocument(QStringLiteral("a"))->documentElement();
    SetXMLAttribute(root, QStringLiteral("b"), QStringLiteral("K\u00e4the"));
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<a b=\"K&#xE4;the\"/>\n"),
              root.ownerDocument().xml());
}

TEST(xml_document_test, roundTripsThroughItsOwnText)
{
    const QString text =
        QStringLiteral("<?xml version=\"1.0\"?>\n<PriceCostData><UnitPrice Explain="
                       "\"a&lt;b&#13;&#10;c\">12.5</UnitPrice><!-- kept --><Empty/>"
                       "<Blank> </Blank></PriceCostData>\n");
    const auto doc = LoadXMLDocument(text);
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(text, doc->xml());
    EXPECT_EQ(QStringLiteral(" "), GetXMLValue(QStringLiteral("Blank"), doc->documentElement()));
    EXPECT_EQ(QStringLiteral("a<b\r\nc"),
              GetXMLAttribute(FindChildNode(doc->documentElement(), QStringLiteral("UnitPrice")),
                              QStringLiteral("Explain")));
}

TEST(xml_document_test, dropsCharactersThatXmlCannotCarrySoTheTextAlwaysParsesAgain)
{
    auto doc = NewXMLDocument(QStringLiteral("R"));
    const XmlNode root = doc->documentElement();
    SetXMLValue(QStringLiteral("V"),
                QStringLiteral("a") + QChar(1) + QChar(0xFFFF) + QChar(0xDC00) +
                    QStringLiteral("b\t\U0001F600"),
                root);
    SetXMLAttribute(root, QStringLiteral("A"),
                    QStringLiteral("x") + QChar(0x1B) + QStringLiteral("y"));

    const auto again = LoadXMLDocument(doc->xml());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(QStringLiteral("ab\t\U0001F600"),
              GetXMLValue(QStringLiteral("V"), again->documentElement()));
    EXPECT_EQ(QStringLiteral("xy"), GetXMLAttribute(again->documentElement(), QStringLiteral("A")));
}

TEST(xml_document_test, keepsALeadingByteOrderMarkCharacterInsideText)
{
    // Found by fuzzing: the text of a value starting with U+FEFF lost that character.
    const QString text = QChar(0xFEFF) + QStringLiteral("x");
    auto doc = *NewXMLDocument(QStringLiteral("ItemData"));
    SetXMLValue(QStringLiteral("V"), text, doc.documentElement());
    EXPECT_EQ(text, GetXMLValue(QStringLiteral("V"), doc.documentElement()));
    EXPECT_EQ(text,
              GetXMLValue(QStringLiteral("V"), LoadXMLDocument(doc.xml())->documentElement()));
    EXPECT_EQ(1, doc.selectNodes(QStringLiteral("//V[ms:string-compare(., ") + XPathLiteral(text) +
                                 QStringLiteral(") = 0]"))
                     .size());
}

TEST(xml_document_test, refusesNamesThatWouldBreakTheDocument)
{
    auto doc = NewXMLDocument(QStringLiteral("R"));
    const XmlNode root = doc->documentElement();
    for (const QString &name : {QStringLiteral("a b"), QStringLiteral("<x>"), QStringLiteral("1a"),
                                QStringLiteral("p:x"), QString()})
        SetXMLValue(name, QStringLiteral("v"), root);
    SetXMLAttribute(root, QStringLiteral("xmlns"), QStringLiteral("urn:x"));
    SetXMLAttribute(root, QStringLiteral("xmlns:p"), QStringLiteral("urn:x"));
    SetXMLAttribute(root, QStringLiteral("a=\"1\" b"), QStringLiteral("v"));
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<R/>\n"), doc->xml());
    EXPECT_FALSE(NewXMLDocument(QStringLiteral("not a name")).has_value());
    // A document holds one root element.
    EXPECT_TRUE(AppendChildElement(QStringLiteral("Second"), *doc).isNull());
}

TEST(xml_document_test, nodeHandlesKeepTheirDocumentAlive)
{
    XmlNode option;
    {
        auto doc = LoadXMLDocument(
            QStringLiteral("<ItemData><Options><Option><Name>Width</Name></Option></Options>"
                           "</ItemData>"));
        option = doc->selectSingleNode(QStringLiteral("//Option"));
    }
    EXPECT_EQ(QStringLiteral("Width"), GetXMLValue(QStringLiteral("Name"), option));
    EXPECT_EQ(QStringLiteral("ItemData"), option.ownerDocument().documentElement().nodeName());
}

TEST(xml_document_test, handlesStayValidWhenTheirNodeLeavesTheTree)
{
    auto doc = LoadXMLDocument(
        QStringLiteral("<R><Messages><Message><Text>old</Text></Message></Messages></R>"));
    const XmlNode messages = FindChildNode(doc->documentElement(), QStringLiteral("Messages"));
    const XmlNode message = FindChildNode(messages, QStringLiteral("Message"));
    const XmlNode text = FindChildNode(message, QStringLiteral("Text"));

    EXPECT_TRUE(messages.removeChild(message));
    EXPECT_TRUE(FindChildNode(messages, QStringLiteral("Message")).isNull());
    EXPECT_EQ(QStringLiteral("old"), text.text());

    // Replacing an element's content by a text keeps the replaced children readable too.
    const XmlNode options = AppendChildElement(QStringLiteral("Options"), doc->documentElement());
    const XmlNode option = AppendChildElement(QStringLiteral("Option"), options);
    SetXMLValue(QStringLiteral("Name"), QStringLiteral("Width"), option);
    SetXMLValue(QStringLiteral("Options"), QStringLiteral("flat"), doc->documentElement());
    EXPECT_EQ(QStringLiteral("Width"), GetXMLValue(QStringLiteral("Name"), option));
    EXPECT_EQ(QStringLiteral("flat"),
              GetXMLValue(QStringLiteral("Options"), doc->documentElement()));
    EXPECT_FALSE(messages.removeChild(message));
}

TEST(xml_document_test, copiesNodesBetweenDocuments)
{
    auto source = LoadXMLDocument(QStringLiteral("<a><Option><Name>W</Name></Option></a>"));
    auto target = NewXMLDocument(QStringLiteral("b"));
    const XmlNode copy = target->documentElement().appendCopy(
        FindChildNode(source->documentElement(), QStringLiteral("Option")));
    source.reset();
    EXPECT_EQ(QStringLiteral("W"), GetXMLValue(QStringLiteral("Name"), copy));
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<b><Option><Name>W</Name></Option></b>\n"),
              target->xml());
}

TEST(xml_document_test, selectsWithXPathAndTheMsExtension)
{
    auto doc = LoadXMLDocument(QStringLiteral("<r><x>abc</x><x>ABC</x><x>abd</x><y a='1'/></r>"));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(
        2,
        doc->selectNodes(QStringLiteral("//x[ms:string-compare(., 'Abc', '', 'i') = '0']")).size());
    EXPECT_EQ(
        1,
        doc->selectNodes(QStringLiteral("//x[ms:string-compare(., 'ABC', '', 'u') = 0]")).size());
    EXPECT_EQ(2, doc->selectNodes(QStringLiteral("//x[ms:string-compare(., 'abd') < 0]")).size());
    EXPECT_EQ(QStringLiteral("1"), doc->selectSingleNode(QStringLiteral("//y/@a")).text());
    EXPECT_TRUE(doc->selectSingleNode(QStringLiteral("//x/text()")).isNull());
    EXPECT_EQ(QStringLiteral("abc"), doc->node().selectText(QStringLiteral("//x/text()")).value());

    // Bad expressions and wrong arities select nothing.
    for (const QString &bad :
         {QStringLiteral("//x["), QStringLiteral("//x[ms:string-compare(.)]"),
          QStringLiteral("//x[ms:string-compare(.,1,2,3,4)]"), QStringLiteral("//x[zz:f()]"),
          QStringLiteral("count(//x)"), QString()})
        EXPECT_TRUE(doc->selectSingleNode(bad).isNull()) << bad.toStdString();
}

TEST(xml_document_test, writesANodeAsTextThatParsesAlone)
{
    auto doc = LoadXMLDocument(QStringLiteral(
        "<Results><Record id=\"7\" note='say \"hi\"'><OptionName>A &amp; B \u00e9</OptionName>"
        "<Empty/></Record></Results>"));
    ASSERT_TRUE(doc.has_value());
    const XmlNode record = doc->selectSingleNode(QStringLiteral("Results/Record"));
    EXPECT_EQ(record.xml(),
              QStringLiteral("<Record id=\"7\" note=\"say &quot;hi&quot;\"><OptionName>A &amp; B "
                             "\u00e9</OptionName><Empty/></Record>"));
    EXPECT_EQ(record.selectSingleNode(QStringLiteral("@note")).xml(),
              QStringLiteral("note=\"say &quot;hi&quot;\""));
    EXPECT_EQ(doc->node().xml(), doc->xml());
    EXPECT_EQ(XmlNode().xml(), QString());

    // Declarations made on ancestors travel with the element, and the tree is left as it was.
    auto spaced = LoadXMLDocument(QStringLiteral(
        "<r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><p:Record p:id=\"1\"><p:A>1</p:A><B/></p:Record>"
        "</r>"));
    ASSERT_TRUE(spaced.has_value());
    const QString before = spaced->xml();
    const XmlNode element = spaced->documentElement().firstChildElement();
    const QString text = element.xml();
    EXPECT_TRUE(text.contains(QStringLiteral("xmlns:p=\"urn:p\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("xmlns=\"urn:d\""))) << text.toStdString();
    const auto alone = LoadXMLDocument(text);
    ASSERT_TRUE(alone.has_value()) << text.toStdString();
    EXPECT_EQ(alone->documentElement().nodeName(), QStringLiteral("p:Record"));
    EXPECT_EQ(alone->documentElement().text(), QStringLiteral("1"));
    EXPECT_EQ(spaced->xml(), before);

    // So does an element taken out of its tree.
    ASSERT_TRUE(spaced->documentElement().removeChild(element));
    EXPECT_TRUE(LoadXMLDocument(element.xml()).has_value()) << element.xml().toStdString();
}

TEST(xml_document_test, stringCompareOrdersLikeTheMsFunction)
{
    EXPECT_EQ(0, MsStringCompare(QStringLiteral("Width"), QStringLiteral("WIDTH"), {},
                                 QStringLiteral("i")));
    EXPECT_EQ(-1, MsStringCompare(QStringLiteral("a"), QStringLiteral("A")));
    EXPECT_EQ(1,
              MsStringCompare(QStringLiteral("a"), QStringLiteral("A"), {}, QStringLiteral("u")));
    EXPECT_EQ(1,
              MsStringCompare(QStringLiteral("b"), QStringLiteral("A"), {}, QStringLiteral("u")));
    EXPECT_EQ(-1, MsStringCompare(QStringLiteral("ab"), QStringLiteral("abc")));
    EXPECT_EQ(0, MsStringCompare(QStringLiteral("\u00c9t\u00e9"), QStringLiteral("\u00e9T\u00c9"),
                                 {}, QStringLiteral("i")));
}

// Reading one field without the tree must agree with parsing and reading it, refusals and
// namespaces included.
TEST(XmlDocument, readRootChildTextAgreesWithTheFullReading)
{
    const QStringList documents{
        QStringLiteral(
            "<PriceCostData><Cost>1</Cost><UnitPrice>144.48</UnitPrice></PriceCostData>"),
        QStringLiteral("<PriceCostData><UnitPrice>1</UnitPrice><UnitPrice>2</UnitPrice>"
                       "</PriceCostData>"),
        QStringLiteral("<PriceCostData><Lines><UnitPrice>9</UnitPrice></Lines></PriceCostData>"),
        QStringLiteral("<PriceCostData><UnitPrice>1<![CDATA[2]]>&amp;<b>3</b></UnitPrice>"
                       "</PriceCostData>"),
        QStringLiteral("<PriceCostData><UnitPrice/></PriceCostData>"),
        QStringLiteral("<PriceCostData xmlns='urn:x'><UnitPrice>5</UnitPrice></PriceCostData>"),
        QStringLiteral("<p:PriceCostData xmlns:p='urn:x'><UnitPrice>5</UnitPrice>"
                       "</p:PriceCostData>"),
        QStringLiteral("<Other><UnitPrice>5</UnitPrice></Other>"),
        QStringLiteral("<PriceCostData><UnitPrice>5</UnitPrice><Broken></PriceCostData>"),
        QStringLiteral("<!DOCTYPE PriceCostData [<!ENTITY e 'x'>]><PriceCostData><UnitPrice>&e;"
                       "</UnitPrice></PriceCostData>"),
        QString(),
        QStringLiteral("not xml"),
    };
    for (const QString &text : documents) {
        std::optional<QString> expected;
        if (const auto doc = XmlDocument::parse(text)) {
            const XmlNode root = FindChildNode(*doc, QStringLiteral("PriceCostData"));
            const XmlNode child =
                root.isNull() ? XmlNode() : FindChildNode(root, QStringLiteral("UnitPrice"));
            expected = child.isNull() || child.rawNode()->ns ? QString() : child.text();
        }
        EXPECT_EQ(XmlDocument::readRootChildText(text, "PriceCostData", "UnitPrice"), expected)
            << text.toStdString();
        EXPECT_EQ(XmlDocument::readRootChildText(text.toUtf8(), "PriceCostData", "UnitPrice"),
                  expected)
            << "as UTF-8: " << text.toStdString();
    }
}

TEST(XmlDocument, readElementFieldsAgreesWithTheSelection)
{
    const QStringList documents{
        QStringLiteral("<ItemData><Options><Option><Name>Width</Name><Value>36 1/2</Value>"
                       "</Option><Option><Value>Outside</Value><Name>Mount</Name><Name>x</Name>"
                       "</Option></Options><Messages/></ItemData>"),
        // The chain may start anywhere; a field is a direct child only; text is all of it.
        QStringLiteral("<Root><ItemData><Options><Option><Name>A<b>B</b></Name><x><Value>no"
                       "</Value></x></Option></Options></ItemData><Options><Option><Name>C"
                       "</Name></Option></Options></Root>"),
        QStringLiteral("<ItemData xmlns='urn:x'><Options><Option><Name>A</Name></Option>"
                       "</Options></ItemData>"),
        QStringLiteral("<ItemData><Options><Option><Name>A</Name></Option></Options>"),
        QStringLiteral("<ItemData><Options><Option><Name>&lt;Kid&apos;s&gt;</Name>"
                       "<Value><![CDATA[a&b]]></Value></Option></Options></ItemData>"),
    };
    for (const QString &text : documents) {
        std::optional<QList<QStringList>> expected;
        if (const auto doc = XmlDocument::parse(text)) {
            expected.emplace();
            for (const XmlNode &option :
                 doc->selectNodes(QStringLiteral("//ItemData/Options/Option"))) {
                QStringList fields;
                for (const QString &name : {QStringLiteral("Name"), QStringLiteral("Value")}) {
                    const XmlNode field = FindChildNode(option, name);
                    fields << (field.isNull() ? QString() : field.text());
                }
                expected->append(fields);
            }
        }
        EXPECT_EQ(XmlDocument::readElementFields(text, {"ItemData", "Options", "Option"},
                                                 {"Name", "Value"}),
                  expected)
            << text.toStdString();
    }
}

// Children are found by name through an index once a parent with many children is asked
// twice; every change to those children must show in the next lookup.
TEST(xml_document_test, findsChildrenByNameThroughEveryChange)
{
    QString text = QStringLiteral("<PriceCostData>");
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("<F%1>%1</F%1>").arg(i);
    text += QStringLiteral("<F7>second</F7><p:G xmlns:p=\"urn:x\">ns</p:G></PriceCostData>");
    const auto doc = XmlDocument::parse(text);
    ASSERT_TRUE(doc);
    const XmlNode root = doc->documentElement();
    const auto text_of = [&](const char *name) {
        return root.firstChildElement(QString::fromLatin1(name)).text();
    };
    for (int round = 0; round < 2; ++round) { // the second round reads through the index
        EXPECT_EQ(text_of("F0"), QStringLiteral("0"));
        EXPECT_EQ(text_of("F7"), QStringLiteral("7")) << "the first of two";
        EXPECT_EQ(text_of("F39"), QStringLiteral("39"));
        EXPECT_EQ(text_of("p:G"), QStringLiteral("ns"));
        EXPECT_TRUE(root.firstChildElement(QStringLiteral("G")).isNull());
        EXPECT_TRUE(root.firstChildElement(QStringLiteral("Missing")).isNull());
    }
    // A new child is found; a second one of a name does not hide the first.
    root.appendElement(QStringLiteral("New")).setText(QStringLiteral("n"));
    root.appendElement(QStringLiteral("F0")).setText(QStringLiteral("late"));
    EXPECT_EQ(text_of("New"), QStringLiteral("n"));
    EXPECT_EQ(text_of("F0"), QStringLiteral("0"));
    // Removing the first of two leaves the second.
    ASSERT_TRUE(root.removeChild(root.firstChildElement(QStringLiteral("F7"))));
    EXPECT_EQ(text_of("F7"), QStringLiteral("second"));
    EXPECT_EQ(text_of("F8"), QStringLiteral("8"));
    // A copy appended is found.
    root.appendCopy(doc->documentElement().firstChildElement(QStringLiteral("F1")));
    ASSERT_TRUE(root.removeChild(root.firstChildElement(QStringLiteral("F1"))));
    EXPECT_EQ(text_of("F1"), QStringLiteral("1"));
    // Text over the parent takes every child away.
    root.setText(QStringLiteral("gone"));
    EXPECT_TRUE(root.firstChildElement(QStringLiteral("F0")).isNull());
    EXPECT_TRUE(root.firstChildElement(QStringLiteral("New")).isNull());
    root.appendElement(QStringLiteral("F0")).setText(QStringLiteral("again"));
    EXPECT_EQ(text_of("F0"), QStringLiteral("again"));
}

TEST(xml_document_test, firstChildOrAppendFindsTheFirstOrAppendsOne)
{
    auto doc =
        XmlDocument::parse(QStringLiteral("<R xmlns:p='urn:p'><A>1</A><A>2</A><p:B>ns</p:B></R>"));
    ASSERT_TRUE(doc);
    const XmlNode root = doc->documentElement();
    EXPECT_EQ(root.firstChildElementOrAppend(QStringLiteral("A")).text(), QStringLiteral("1"));
    EXPECT_EQ(root.firstChildElementOrAppend(QStringLiteral("p:B")).text(), QStringLiteral("ns"));
    // Missing: appended once, then found.
    const XmlNode c = root.firstChildElementOrAppend(QStringLiteral("C"));
    ASSERT_FALSE(c.isNull());
    EXPECT_EQ(c, root.firstChildElementOrAppend(QStringLiteral("C")));
    EXPECT_EQ(root.childElements().size(), 4);
    // What appendElement refuses is refused, and nothing is added.
    for (const QString &name : {QString(), QStringLiteral("1x"), QStringLiteral("q:D"),
                                QStringLiteral("a b"), QStringLiteral("N\u0000")}) {
        EXPECT_TRUE(root.firstChildElementOrAppend(name).isNull()) << name.toStdString();
    }
    EXPECT_EQ(root.childElements().size(), 4);
    // The document has its root: no second one.
    EXPECT_EQ(doc->node().firstChildElementOrAppend(QStringLiteral("R")), root);
    EXPECT_TRUE(doc->node().firstChildElementOrAppend(QStringLiteral("S")).isNull());
    EXPECT_EQ(doc->xml(),
              XmlDocument::parse(QStringLiteral("<R xmlns:p='urn:p'><A>1</A><A>2</A><p:B>ns</p:B>"
                                                "<C/></R>"))
                  ->xml());
}

TEST(xml_document_test, aCloneSharesNothingAndSerialisesAsTheOriginal)
{
    const auto doc = XmlDocument::parse(
        QStringLiteral("<ItemData><Name>K\u00e4the \U0001F600</Name></ItemData>"));
    ASSERT_TRUE(doc);
    const auto copy = doc->clone();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->xml(), doc->xml());
    EXPECT_EQ(copy->xmlUtf8(), doc->xml().toUtf8());
    SetXMLValue(QStringLiteral("Name"), QStringLiteral("changed"), copy->documentElement());
    EXPECT_EQ(GetXMLValue(QStringLiteral("Name"), doc->documentElement()),
              QStringLiteral("K\u00e4the \U0001F600"));
    EXPECT_EQ(GetXMLValue(QStringLiteral("Name"), copy->documentElement()),
              QStringLiteral("changed"));
    // A leading U+FEFF in UTF-8 is text, not a byte order mark to drop.
    EXPECT_EQ(DocumentTextFromUtf8(QByteArray("\xEF\xBB\xBFx")), QStringLiteral("\uFEFFx"));
}

// Selections on several documents in turn each see their own document, "/" included, and a
// selection that fails leaves the next one unharmed.
TEST(XmlDocumentSelections, documentsTakeTurnsWithoutSeeingEachOther)
{
    const auto a = XmlDocument::parse(QStringLiteral("<A><x>1</x><x>2</x></A>"));
    const auto b = XmlDocument::parse(QStringLiteral("<B><x>3</x></B>"));
    ASSERT_TRUE(a && b);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(a->selectNodes(QStringLiteral("/A/x")).size(), 2);
        EXPECT_EQ(
            b->documentElement().firstChildElement().selectNodes(QStringLiteral("/*/x")).size(), 1);
        EXPECT_EQ(b->documentElement().selectText(QStringLiteral("/B/x")), QStringLiteral("3"));
        EXPECT_FALSE(a->node().trySelectNodes(QStringLiteral("/A/x[")));
        EXPECT_EQ(a->selectNodes(QStringLiteral("//x[ms:string-compare(., '2') = 0]")).size(), 1);
        EXPECT_EQ(a->documentElement()
                      .selectNodes(QStringLiteral("x[position() = last()]"))
                      .front()
                      .text(),
                  QStringLiteral("2"));
        EXPECT_TRUE(b->selectNodes(QStringLiteral("/A")).isEmpty());
    }
}

// Names are converted on the stack when they are ASCII and through Qt otherwise; both ways
// must find, create and refuse the same names, with or without the index.
TEST(xml_document_test, namesBehaveAlikeWhetherAsciiOrNot)
{
    auto doc = *NewXMLDocument(QStringLiteral("R"));
    const XmlNode root = doc.documentElement();
    const QStringList names = {QStringLiteral("Gr\u00f6\u00dfe"), QStringLiteral("\u540d\u524d"),
                               QStringLiteral("Width")};
    for (int i = 0; i < 20; ++i) // enough children for the index
        root.appendElement(QStringLiteral("F%1").arg(i));
    for (const QString &name : names)
        root.appendElement(name).setText(name);
    for (int round = 0; round < 2; ++round) {
        for (const QString &name : names)
            EXPECT_EQ(root.firstChildElement(name).text(), name) << name.toStdString();
        EXPECT_TRUE(root.firstChildElement(QStringLiteral("Gr\u00f6\u00dfe2")).isNull());
    }
    EXPECT_TRUE(doc.xml().contains(QStringLiteral("<Gr\u00f6\u00dfe>Gr\u00f6\u00dfe</")));

    // A NUL would cut the name short inside libxml2: such names find and make nothing.
    const QString cut = QStringLiteral("Width") + QChar(0) + QStringLiteral("x");
    EXPECT_TRUE(root.firstChildElement(cut).isNull());
    EXPECT_TRUE(root.childElements(cut).isEmpty());
    EXPECT_TRUE(doc.node().descendantElements(cut).isEmpty());
    EXPECT_TRUE(root.appendElement(cut).isNull());
    EXPECT_FALSE(NewXMLDocument(cut).has_value());
    EXPECT_TRUE(root.setAttribute(QStringLiteral("Width"), QStringLiteral("1")));
    EXPECT_FALSE(root.setAttribute(cut, QStringLiteral("2")));
    EXPECT_FALSE(root.attribute(cut).has_value());
    EXPECT_EQ(root.attribute(QStringLiteral("Width")), QStringLiteral("1"));
    // Long names and texts take the other way through the conversion.
    const QString longName = QString(300, QLatin1Char('N'));
    const QString longText =
        QString(150, QLatin1Char('t')) + QChar(0x1F) + QString(150, QChar(0xE9));
    root.appendElement(longName).setText(longText);
    EXPECT_EQ(root.firstChildElement(longName).text(), QString(longText).remove(QChar(0x1F)));
    EXPECT_TRUE(root.appendElement(longName + QChar(0)).isNull());
    // Non-ASCII names still pass the full name check.
    EXPECT_TRUE(root.appendElement(QStringLiteral("\u00e9t\u00e9")).isElement());
    EXPECT_TRUE(root.appendElement(QStringLiteral("\u00d7x")).isNull()); // not a name character
}

// Writing a field again reuses its text node, and short texts live inside the node: every
// length, on created and on parsed fields, must read, serialise, copy and clone as written.
TEST(xml_document_test, fieldsWrittenAgainHoldExactlyTheLastText)
{
    const QStringList texts = {QStringLiteral("1"),
                               QStringLiteral("fifteen chars.."),
                               QStringLiteral("sixteen chars..."),
                               QString(),
                               QStringLiteral("a much longer text than fits in a node & <more>"),
                               QStringLiteral("7"),
                               QStringLiteral("\u00e9t\u00e9"),
                               QStringLiteral("x") + QChar(1) + QStringLiteral("\ty")};
    auto doc = *LoadXMLDocument(QStringLiteral("<R><P>12</P><M>a<!--c-->b</M></R>"));
    const XmlNode root = doc.documentElement();
    const XmlNode created = root.appendElement(QStringLiteral("C"));
    const XmlNode parsed = root.firstChildElement(QStringLiteral("P"));
    for (const QString &text : texts) {
        QString kept = text;
        kept.remove(QChar(1)); // XML cannot carry it
        for (const XmlNode &field : {created, parsed}) {
            ASSERT_TRUE(field.setText(text));
            EXPECT_EQ(field.text(), kept);
        }
        const auto again = LoadXMLDocument(doc.xml());
        ASSERT_TRUE(again.has_value()) << doc.xml().toStdString();
        const auto copy = doc.clone();
        auto other = *NewXMLDocument(QStringLiteral("O"));
        const XmlNode appended = other.documentElement().appendCopy(created);
        for (const XmlDocument &d : {*again, *copy}) {
            EXPECT_EQ(GetXMLValue(QStringLiteral("C"), d.documentElement()), kept);
            EXPECT_EQ(GetXMLValue(QStringLiteral("P"), d.documentElement()), kept);
        }
        EXPECT_EQ(appended.text(), kept);
    }
    EXPECT_EQ(root.firstChildElement(QStringLiteral("C")).xml(), QStringLiteral("<C>x\ty</C>"));
    EXPECT_EQ(parsed.xml(), QStringLiteral("<P>x\ty</P>"));
    // Content other than one text is replaced as a whole.
    const XmlNode mixed = root.firstChildElement(QStringLiteral("M"));
    ASSERT_TRUE(mixed.setText(QStringLiteral("z")));
    EXPECT_EQ(mixed.xml(), QStringLiteral("<M>z</M>"));
    ASSERT_TRUE(mixed.setText(QString()));
    EXPECT_EQ(mixed.xml(), QStringLiteral("<M/>"));
}

namespace {

// The document as libxml2's own serialiser writes it, the way the document layer writes it.
QByteArray LibxmlText(const XmlDocument &doc)
{
    auto *tree = reinterpret_cast<xmlDoc *>(doc.node().rawNode());
    xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
    xmlOutputBufferWriteString(out, "<?xml version=\"1.0\"?>\n");
    for (xmlNode *node = tree->children; node != nullptr; node = node->next) {
        xmlNodeDumpOutput(out, tree, node, 0, 0, "UTF-8");
        xmlOutputBufferWrite(out, 1, "\n");
    }
    QByteArray text(reinterpret_cast<const char *>(xmlOutputBufferGetContent(out)),
                    qsizetype(xmlOutputBufferGetSize(out)));
    xmlOutputBufferClose(out);
    return text;
}

// Text with every ASCII character, markup and line breaks, and characters of one to four
// UTF-8 bytes.
QString AnyText(std::mt19937 &random, int length)
{
    static const QString pool = [] {
        QString all;
        for (char16_t c = 1; c < 0x80; ++c)
            all += QChar(c);
        return all + QStringLiteral("<>&\"'\r\n\t\u00e9\u00ff\u20ac\ufeff\U0001F600");
    }();
    QString text;
    for (int i = 0; i < length; ++i) {
        const QChar c = pool.at(qsizetype(random() % pool.size()));
        text += c;
        if (c.isHighSurrogate())
            text += pool.at(pool.size() - 1);
    }
    return text;
}

} // namespace

// Documents are written by the layer itself; the text must be libxml2's to the byte, or stored
// documents and change texts would differ from before.
TEST(xml_document_test, writesEveryDocumentAsLibxml2Would)
{
    QList<XmlDocument> docs;
    for (const char *text : {
             "<R/>",
             "<?pi first?><!--top--><R a=\"1\" b='x&quot;y'><!--c--><?p?><?q data?><E/>"
             "<T>a&lt;b&gt;c&amp;d&#13;e\"f'g\tz</T></R><!--after-->",
             "<r xmlns=\"urn:d\" xmlns:p='urn:p'><p:a p:x=\"1\" y=\"2\"><q:b xmlns:q=\"urn:q\"/>"
             "</p:a><c xml:lang=\"en\"/></r>",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><R A=\"\u00e9\u20ac\U0001F600\">"
             "\u00e9</R>",
             "<R A=\"\u00e9 &#10;&#13;&#9;&lt;&gt;&amp;&quot;\">x</R>",
         }) {
        const auto doc = LoadXMLDocument(QString::fromUtf8(text));
        ASSERT_TRUE(doc.has_value()) << text;
        docs << *doc;
    }
    // Namespace names holding quotes, which the parser refuses as URIs.
    for (const char *prefix : {"a", "b", "c"}) {
        const QByteArray href = QByteArray("urn:") + (*prefix == 'a'   ? "\"a\""
                                                      : *prefix == 'b' ? "'b'"
                                                                       : "\"'c'\"");
        ASSERT_NE(xmlNewNs(docs.last().documentElement().rawNode(),
                           reinterpret_cast<const xmlChar *>(href.constData()),
                           reinterpret_cast<const xmlChar *>(prefix)),
                  nullptr);
    }
    EXPECT_TRUE(docs.last().xmlUtf8().contains(
        "xmlns:a='urn:\"a\"' xmlns:b=\"urn:'b'\" xmlns:c=\"urn:&quot;'c'&quot;\""));
    std::mt19937 random(7);
    for (int d = 0; d < 20; ++d) {
        auto doc = *NewXMLDocument(QStringLiteral("R"));
        XmlNode parent = doc.documentElement();
        for (int i = 0; i < 30; ++i) {
            const XmlNode child = parent.appendElement(QStringLiteral("F%1").arg(random() % 8));
            if (random() % 3 == 0)
                child.setAttribute(QStringLiteral("A"), AnyText(random, int(random() % 12)));
            if (random() % 4 == 0)
                parent = child;
            else
                child.setText(AnyText(random, int(random() % 24)));
        }
        docs << doc;
        docs << *doc.clone();
        docs << *LoadXMLDocument(doc.xml());
    }
    for (const XmlDocument &doc : docs) {
        const QByteArray text = doc.xmlUtf8();
        EXPECT_EQ(text, LibxmlText(doc));
        // Callers keep these texts for a whole run: no spare capacity.
        EXPECT_EQ(text.capacity(), text.size());
    }
}

// Node kinds the component's documents never hold are written by libxml2 itself.
TEST(xml_document_test, leavesUnusualNodesToLibxml2)
{
    auto doc = *LoadXMLDocument(QStringLiteral("<R><A>x</A></R>"));
    xmlNode *a = doc.documentElement().firstChildElement(QStringLiteral("A")).rawNode();
    xmlAddChild(a, xmlNewCDataBlock(a->doc, reinterpret_cast<const xmlChar *>("]]>"), 3));
    xmlAddChild(a, xmlNewReference(a->doc, reinterpret_cast<const xmlChar *>("&e;")));
    EXPECT_EQ(doc.xmlUtf8(), LibxmlText(doc));
    EXPECT_TRUE(doc.xml().contains(QStringLiteral("<A>x<![CDATA[]]]]><![CDATA[>]]>&e;</A>")))
        << doc.xml().toStdString();
}

// Paths of plain names are answered by a walk of the tree instead of XPath; they must select
// what XPath selects. A predicate that keeps everything makes XPath answer the same path.
TEST(xml_document_test, plainPathsSelectWhatXPathSelects)
{
    const auto doc = LoadXMLDocument(QStringLiteral(
        "<Records><Record id='1'><Name>a</Name><Record><Name>b</Name></Record></Record>"
        "<x:Record xmlns:x='urn:x'><Name>ns</Name></x:Record><Record xmlns='urn:d'><Name>d"
        "</Name></Record><!--c--><Other><Record><Name>c</Name><div>v</div></Record></Other>"
        "<Records><Record><Name>e</Name></Record></Records><text>t</text></Records>"));
    ASSERT_TRUE(doc.has_value());
    const XmlNode root = doc->documentElement();
    const XmlNode other = root.firstChildElement(QStringLiteral("Other"));
    const XmlNode record = root.firstChildElement(QStringLiteral("Record"));
    const XmlNode attribute = doc->selectSingleNode(QStringLiteral("//Record/@id"));
    ASSERT_TRUE(attribute.isAttribute());
    for (const XmlNode &context : {doc->node(), root, other, record, attribute}) {
        for (const QString &path :
             {QStringLiteral("Record"), QStringLiteral("Records/Record"),
              QStringLiteral("Record/Name"), QStringLiteral("/Records/Record/Name"),
              QStringLiteral("//Record"), QStringLiteral("//Record/Name"),
              QStringLiteral("//Records/Record/Name"), QStringLiteral("//Record/Record/Name"),
              QStringLiteral("/Records"), QStringLiteral("//Name"), QStringLiteral("//Missing"),
              QStringLiteral("Record/div"), QStringLiteral("//text"),
              QStringLiteral("Other/Record/Name")}) {
            const QList<XmlNode> walked = context.selectNodes(path);
            EXPECT_EQ(walked, context.selectNodes(path + QStringLiteral("[1 = 1]")))
                << path.toStdString() << " from " << context.nodeName().toStdString();
            EXPECT_EQ(context.selectSingleNode(path), walked.value(0));
            EXPECT_EQ(context.selectText(path),
                      walked.isEmpty() ? std::nullopt : std::optional<QString>(walked[0].text()));
        }
    }
    EXPECT_EQ(doc->selectNodes(QStringLiteral("//Record/Name")).size(), 4);
    // A subtree out of the tree selects from its own nodes, and "//" from the document.
    const XmlNode inner = record.firstChildElement(QStringLiteral("Record"));
    ASSERT_TRUE(record.removeChild(inner));
    EXPECT_EQ(inner.selectNodes(QStringLiteral("Name")).size(), 1);
    EXPECT_EQ(inner.selectNodes(QStringLiteral("//Record/Name")),
              inner.selectNodes(QStringLiteral("//Record/Name[1 = 1]")));
}
