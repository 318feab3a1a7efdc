// The documents the charge criteria read: pugixml reads what it reads exactly as
// QXmlStreamReader does, and leaves everything else to QXmlStreamReader, so that every document
// gives the options and fields it always gave.
#include "host/formula/criteriadocuments.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

using namespace zeltpc5::host;

namespace {

using Entries = std::vector<CriteriaEntry>;

std::string Show(const Entries &entries)
{
    std::string text;
    for (const CriteriaEntry &e : entries)
        text.append("[")
            .append(e.name.toStdString())
            .append("]=[")
            .append(e.value.toStdString())
            .append("] ");
    return text;
}

// Both readers read the document alike; whether QXmlStreamReader read it.
bool ReadAlike(const QString &xml)
{
    bool options = false;
    bool fields = false;
    const Entries fastOptions = ReadCriteriaOptions(xml, CriteriaReader::Fast, &options);
    const Entries fastFields = ReadCriteriaPriceCost(xml, CriteriaReader::Fast, &fields);
    EXPECT_EQ(Show(fastOptions), Show(ReadCriteriaOptions(xml, CriteriaReader::StreamReader)));
    EXPECT_EQ(Show(fastFields), Show(ReadCriteriaPriceCost(xml, CriteriaReader::StreamReader)));
    EXPECT_EQ(options, fields);
    return options;
}

Entries Options(const QString &xml)
{
    return ReadCriteriaOptions(xml, CriteriaReader::Fast);
}

Entries Fields(const QString &xml)
{
    return ReadCriteriaPriceCost(xml, CriteriaReader::Fast);
}

const QString Item = QStringLiteral(
    "<?xml version=\"1.0\"?>\n<ItemData><Options>"
    "<Option><Name>Width</Name><Value>36 1/2</Value><Type>1</Type></Option>"
    "<Option><Name>Room Location</Name><Value>Kid's \"Den\" &amp; Study &#x2014; &#13;</Value>"
    "</Option>"
    "<Option><Name>Motor Type</Name><Value>RF Motor</Value></Option>"
    "<Option><Name>motor type</Name><Value>shadowed</Value></Option>"
    "<Option><Value>no name</Value></Option>"
    "<Option><Name>Empty</Name><Value></Value><Value>second</Value></Option>"
    "<Option><Name>Spaces</Name><Value>  </Value><Value>second</Value></Option>"
    "<Option><Name>Mixed</Name><Value>a<b>b</b>c</Value><Name>ignored</Name></Option>"
    "<Option><Name>Nested</Name><Options><Option><Name>Inner</Name></Option></Options></Option>"
    "</Options><Description>Roller &lt;Shade&gt;</Description>"
    "<Nested><ItemData><Options><Option><Name>Deep</Name><Value>yes</Value></Option>"
    "</Options></ItemData></Nested></ItemData>\n");

} // namespace

TEST(CriteriaDocuments, theFastReaderReadsOptionsAsTheStreamReaderDoes)
{
    EXPECT_FALSE(ReadAlike(Item));
    EXPECT_EQ(Show(Options(Item)),
              "[Width]=[36 1/2] [Room Location]=[Kid's \"Den\" & Study \xe2\x80\x94 \r] "
              "[Motor Type]=[RF Motor] [motor type]=[shadowed] [Empty]=[second] "
              "[Spaces]=[  ] [Mixed]=[abc] [Nested]=[] [Deep]=[yes] ");
}

TEST(CriteriaDocuments, theFastReaderReadsFieldsAsTheStreamReaderDoes)
{
    const QString priceCost = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<PriceCostData><ProductID>1</ProductID>"
        "<Style>Cord\r\nless</Style><Empty/><UnitPrice Explain=\"$1 &gt; 0 &amp; 'x'\">1,234.50"
        "</UnitPrice><Group><A>1</A> and <B>2</B></Group><Style>second</Style></PriceCostData>");
    EXPECT_FALSE(ReadAlike(priceCost));
    EXPECT_EQ(Show(Fields(priceCost)),
              "[ProductID]=[1] [Style]=[Cord\nless] [Empty]=[] "
              "[UnitPrice]=[1,234.50] [Group]=[1 and 2] [Style]=[second] ");
    // Another document element has no fields.
    EXPECT_FALSE(ReadAlike(Item));
    EXPECT_TRUE(Fields(Item).empty());

    // The document the end-to-end pricing test leaves, explanations and all.
    QFile file(QStringLiteral(ZELTPC5_TEST_DATA_DIR "/pricing/line-from-product.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString priced = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(ReadAlike(priced));
    EXPECT_GT(Fields(priced).size(), 50u);
}

// Whatever pugixml could read otherwise goes to QXmlStreamReader, which gives what it always
// gave; a malformed document has no options or fields at all.
TEST(CriteriaDocuments, documentsPugixmlCouldReadOtherwiseGoToTheStreamReader)
{
    const char *const documents[] = {
        // markup pugixml is not given: comments, CDATA, processing instructions, DOCTYPE
        "<PriceCostData><Style>a<!-- c -->b</Style></PriceCostData>",
        "<PriceCostData><Style><![CDATA[<b>]]></Style></PriceCostData>",
        "<PriceCostData><Style>a<?pi x?>b</Style></PriceCostData>",
        "<?xml version=\"1.1\"?><PriceCostData><Style>x</Style></PriceCostData>",
        "<?xml version='1.0'?><PriceCostData><Style>x</Style></PriceCostData>",
        " <?xml version=\"1.0\"?><PriceCostData><Style>x</Style></PriceCostData>",
        // references: undeclared entities, character references to no character, uppercase X
        "<PriceCostData><Style>&e;</Style></PriceCostData>",
        "<PriceCostData><Style>&#0;</Style></PriceCostData>",
        "<PriceCostData><Style>&#xD800;</Style></PriceCostData>",
        "<PriceCostData><Style>&#X41;</Style></PriceCostData>",
        "<PriceCostData><Style>&#12345678;</Style></PriceCostData>",
        "<PriceCostData><Style>& x</Style></PriceCostData>",
        // characters XML forbids, and "]]>"
        "<PriceCostData><Style>a\x01</Style></PriceCostData>",
        "<PriceCostData><Style>\xef\xbf\xbe</Style></PriceCostData>",
        "<PriceCostData><Style>a]]>b</Style></PriceCostData>",
        // names outside ASCII, namespaces
        "<PriceCostData><St\xc3\xbfle>x</St\xc3\xbfle></PriceCostData>",
        "<PriceCostData><p:Style>x</p:Style></PriceCostData>",
        "<PriceCostData xmlns:p=\"u\"><p:Style>x</p:Style></PriceCostData>",
        "<PriceCostData xmlns=\"u\"><Style>x</Style></PriceCostData>",
        // attributes pugixml takes and QXmlStreamReader does not, or the other way round
        "<PriceCostData><Style a=\"1\" a=\"2\">x</Style></PriceCostData>",
        "<PriceCostData><Style a=\"<\">x</Style></PriceCostData>",
        "<PriceCostData><Style a`=\"1\">x</Style></PriceCostData>",
        "<PriceCostData><Style a='1'b='2'>x</Style></PriceCostData>",
        // text, or another element, beside the document element
        "<PriceCostData><Style>x</Style></PriceCostData>garbage",
        "&#32;<PriceCostData><Style>x</Style></PriceCostData>",
        "<PriceCostData><Style>x</Style></PriceCostData>&#13;",
        "<PriceCostData><Style>x</Style></PriceCostData><Other/>",
        "",
        "   ",
        "<PriceCostData><Style>x</Style>",
        "<PriceCostData><Style>x</style></PriceCostData>",
    };
    for (const char *document : documents) {
        SCOPED_TRACE(document);
        EXPECT_TRUE(ReadAlike(QString::fromUtf8(document)));
    }
    // A byte order mark (QString::fromUtf8 would drop it).
    EXPECT_TRUE(ReadAlike(QStringLiteral("\uFEFF<PriceCostData><Style>x</Style></PriceCostData>")));
    // A lone surrogate, which UTF-8 cannot hold.
    QString lone = QStringLiteral("<PriceCostData><Style>?");
    lone.append(QChar(0xD800));
    lone.append(QStringLiteral("</Style></PriceCostData>"));
    EXPECT_TRUE(ReadAlike(lone));
    EXPECT_EQ(Show(Fields(lone)), "[Style]=[??] ");
    // A '?' alone is nothing to worry about.
    EXPECT_FALSE(ReadAlike(QStringLiteral("<PriceCostData><Style>?</Style></PriceCostData>")));
}

// Each character in each place where the readers could differ: in text, in attribute values,
// in names, between attributes, in end tags, beside the document element, as a character
// reference. (A run over every UTF-16 code unit in these places found no difference; this is
// a sample of it that runs quickly.)
TEST(CriteriaDocuments, everyCharacterReadsAlikeWherever)
{
    const char *const places[] = {
        "<PriceCostData><Style>a%1b</Style></PriceCostData>",
        "<PriceCostData><Style x=\"a%1b\">v</Style></PriceCostData>",
        "<PriceCostData><Style x='a%1b'>v</Style></PriceCostData>",
        "<PriceCostData><St%1yle>v</St%1yle></PriceCostData>",
        "<PriceCostData><Style%1>v</Style></PriceCostData>",
        "<PriceCostData><Style a=\"1\"%1>v</Style></PriceCostData>",
        "<PriceCostData><Style a=\"1\" %1=\"2\">v</Style></PriceCostData>",
        "<PriceCostData><Style a=%1\"1\">v</Style></PriceCostData>",
        "<PriceCostData><Style>v</Style%1></PriceCostData>",
        "<PriceCostData><%1Style>v</%1Style></PriceCostData>",
        "%1<PriceCostData><Style>v</Style></PriceCostData>",
        "<PriceCostData><Style>v</Style></PriceCostData>%1",
        "<?xml version=\"1.0\"?>%1<PriceCostData><Style>v</Style></PriceCostData>",
        "<PriceCostData><Style/%1></PriceCostData>",
        ("<ItemData><Options><Option><Name>N%1</Name><Value>%1</Value></Option></Options></"
         "ItemData>"),
    };
    std::vector<char16_t> units;
    for (char16_t u = 1; u < 0x180; ++u)
        units.push_back(u);
    for (char16_t u : {0x2028, 0x212A, 0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFDD0,
                       0xFEFF, 0xFFFD, 0xFFFE, 0xFFFF})
        units.push_back(u);
    int fast = 0;
    for (const char *place : places) {
        for (const char16_t u : units) {
            const QString xml = QString::fromLatin1(place).replace(QStringLiteral("%1"), QChar(u));
            SCOPED_TRACE(xml.toStdString());
            fast += ReadAlike(xml) ? 0 : 1;
        }
        for (const char *reference :
             {"9", "10", "13", "31", "32", "55295", "55296", "57344", "65533", "65534", "65536",
              "1114111", "1114112", "x1F600", "xD800", "X41", "x", "", "0065"}) {
            const QString xml = QString::fromLatin1(place).replace(
                QStringLiteral("%1"), QStringLiteral("&#%1;").arg(QLatin1String(reference)));
            SCOPED_TRACE(xml.toStdString());
            fast += ReadAlike(xml) ? 0 : 1;
        }
    }
    // Most of them plain enough for pugixml.
    EXPECT_GT(fast, 1000);
}

// pugixml is never given a DOCTYPE (it would skip it, and leave the references to what it
// declares as they stand); QXmlStreamReader reads such a document as it always did: it
// expands internal entities up to its own limit, fetches nothing from outside, and rejects a
// document whose entities expand past that limit.
TEST(CriteriaDocuments, doctypesAndEntitiesAreReadAsTheyAlwaysWere)
{
    const QString internal =
        QStringLiteral("<!DOCTYPE x [<!ENTITY e \"Cordless\">]><PriceCostData><Style>&e;</Style>"
                       "</PriceCostData>");
    EXPECT_TRUE(ReadAlike(internal));
    EXPECT_EQ(Show(Fields(internal)), "[Style]=[Cordless] ");

    for (const char *outside :
         {"SYSTEM \"file:///etc/hostname\"", "SYSTEM \"http://127.0.0.1:9/entity\"",
          "PUBLIC \"-//x//y\" \"file:///etc/passwd\""}) {
        SCOPED_TRACE(outside);
        const QString external = QStringLiteral("<!DOCTYPE x [<!ENTITY e %1>]><PriceCostData>"
                                                "<Style>&e;</Style></PriceCostData>")
                                     .arg(QString::fromLatin1(outside));
        EXPECT_TRUE(ReadAlike(external));
        EXPECT_EQ(Show(Fields(external)), "[Style]=[] ");
    }
    const QString parameter = QStringLiteral(
        "<!DOCTYPE x [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><PriceCostData>"
        "<Style>x</Style></PriceCostData>");
    EXPECT_TRUE(ReadAlike(parameter));
    EXPECT_EQ(Show(Fields(parameter)), "[Style]=[x] ");

    QString laughs = QStringLiteral("<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\">");
    for (char level = 'b'; level <= 'j'; ++level)
        laughs += QStringLiteral("<!ENTITY %1 \"%2\">")
                      .arg(QChar::fromLatin1(level))
                      .arg(QStringLiteral("&%1;").arg(QChar::fromLatin1(level - 1)).repeated(10));
    laughs += QStringLiteral("]><PriceCostData><Style>&j;</Style></PriceCostData>");
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(ReadAlike(laughs));
    EXPECT_TRUE(Fields(laughs).empty());
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(CriteriaDocuments, namesAreFoundWithoutRegardToCaseAndTheFirstWins)
{
    CriteriaDocuments documents;
    documents.setOptionXml(Item);
    ASSERT_NE(documents.optionValue("MOTOR TYPE"), nullptr);
    EXPECT_EQ(*documents.optionValue("MOTOR TYPE"), "RF Motor");
    EXPECT_EQ(*documents.optionValue("width"), "36 1/2");
    EXPECT_EQ(documents.optionValue("Widt"), nullptr);
    EXPECT_EQ(documents.optionValue("Motor Type "), nullptr);

    // Outside ASCII, names compare as QString compares them without regard to case: the
    // Kelvin sign is a 'k', 'ß' no "ss".
    documents.setOptionXml(QStringLiteral(
        "<ItemData><Options><Option><Name>Gr\u00d6\u00dfe</Name><Value>1</Value></Option>"
        "<Option><Name>Kind</Name><Value>2</Value></Option>"
        "<Option><Name>\u212aelvin</Name><Value>3</Value></Option></Options></ItemData>"));
    ASSERT_NE(documents.optionValue("gr\xc3\xb6\xc3\x9f"
                                    "e"),
              nullptr);
    EXPECT_EQ(*documents.optionValue("gr\xc3\xb6\xc3\x9f"
                                     "e"),
              "1");
    EXPECT_EQ(documents.optionValue("grosse"), nullptr);
    ASSERT_NE(documents.optionValue("\xe2\x84\xaaind"), nullptr);
    EXPECT_EQ(*documents.optionValue("\xe2\x84\xaaind"), "2");
    ASSERT_NE(documents.optionValue("kelvin"), nullptr);
    EXPECT_EQ(*documents.optionValue("kelvin"), "3");
    // A name that is no UTF-8 finds nothing, and breaks nothing.
    EXPECT_EQ(documents.optionValue("\xff\xfe"), nullptr);
}

TEST(CriteriaDocuments, aTextIsReadOnceWhateverItIsSetToInBetween)
{
    CriteriaDocuments documents;
    const QString other = QStringLiteral("<ItemData><Options/></ItemData>");
    documents.setOptionXml(Item);
    EXPECT_TRUE(documents.optionsUnread());
    EXPECT_NE(documents.optionValue("Width"), nullptr);
    EXPECT_FALSE(documents.optionsUnread());
    // A reset between charges, then the same text (shared, or an equal copy): nothing to read.
    documents.clear();
    documents.setOptionXml(Item);
    EXPECT_FALSE(documents.optionsUnread());
    documents.setOptionXml(QString(Item.constData(), Item.size()));
    EXPECT_FALSE(documents.optionsUnread());
    // Another text is read on the next lookup, and not before.
    documents.setOptionXml(other);
    EXPECT_TRUE(documents.optionsUnread());
    EXPECT_EQ(documents.optionValue("Width"), nullptr);
    documents.setOptionXml(Item, Item.toUtf8());
    EXPECT_TRUE(documents.optionsUnread());
    EXPECT_EQ(*documents.optionValue("Width"), "36 1/2");
    // Nothing set reads as a document without options.
    CriteriaDocuments empty;
    EXPECT_FALSE(empty.optionsUnread());
    EXPECT_EQ(empty.optionValue("Width"), nullptr);
}
