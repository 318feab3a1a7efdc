// Documents read whole with pugixml: what is taken, what is refused, and that a field read
// from the tree is the field the streaming reader reads.
#include "host/services/recordsxml.h"
#include "host/services/strictxml.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include <random>

using namespace zeltpc5::host;

namespace {

bool StreamReadsToTheEnd(const QString &text)
{
    QXmlStreamReader reader(text);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

QString WithChar(const char *before, char16_t c, const char *after)
{
    return QString::fromUtf8(before) + QChar(c) + QString::fromUtf8(after);
}

QString Nested(int depth)
{
    return QStringLiteral("<a>").repeated(depth) + QStringLiteral("</a>").repeated(depth);
}

// Documents grown from a few sound ones by inserting, deleting and copying pieces, the pieces
// chosen among the constructs where readers differ. The same documents on every run.
class Mutations
{
public:
    explicit Mutations(QStringList seeds) : m_seeds(std::move(seeds)) {}

    QString next()
    {
        QString s = m_seeds[qsizetype(m_random() % m_seeds.size())];
        const int edits = 1 + int(m_random() % 3);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(m_random() % quint32(s.size() + 1));
            switch (m_random() % 4) {
            case 0:
            case 1:
                s.insert(at, Pieces[m_random() % std::size(Pieces)]);
                break;
            case 2:
                s.remove(at, 1 + qsizetype(m_random() % 4));
                break;
            default:
                s.insert(at, s.mid(qsizetype(m_random() % quint32(s.size() + 1)),
                                   qsizetype(m_random() % 20)));
                break;
            }
        }
        return s;
    }

private:
    static constexpr const char16_t *Pieces[] = {
        u"<",
        u">",
        u"&",
        u";",
        u"#",
        u"x",
        u":",
        u"'",
        u"\"",
        u"=",
        u"/",
        u"!",
        u"?",
        u"-",
        u"]]>",
        u"&#13;",
        u"&#10;",
        u"&amp;",
        u"&#x41;",
        u"&lt;",
        u"&foo;",
        u"&#0;",
        u"\r",
        u"\n",
        u"\r\n",
        u" ",
        u"\u00e9",
        u"\u00d7",
        u"\u0132",
        u"\u212a",
        u"\ufeff",
        u"\u0001",
        u"\ufffe",
        u"xmlns",
        u" xmlns:p='u'",
        u" p:q='1'",
        u" null='true'",
        u"<!-- c -->",
        u"<?pi x?>",
        u"<![CDATA[",
        u"<?xml version='1.0'?>",
        u"<!DOCTYPE a>",
        u"<A>na</A>",
        u"<a>nb</a>",
        u"</Record>",
    };
    QStringList m_seeds;
    std::mt19937 m_random{20241208};
};

const QStringList Seeds{
    QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<PriceCostData><ProductID>1"
                   "</ProductID><Style>Standard</Style><ItemDiscount></ItemDiscount><UnitCost>"
                   "79.46</UnitCost><UnitPrice>144.48</UnitPrice></PriceCostData>"),
    QStringLiteral("<Records><Record><A>1</A><a>2</a><B null='true'>x</B><C>x&#13;&#10;y"
                   "&amp;#13;z</C><D><![CDATA[a\r\nb]]>t<E>u</E>&lt;</D><F>  </F><G>a\r\nb\rc</G>"
                   "</Record></Records>"),
    QStringLiteral("<Record xmlns:p='urn:p'><p:A>1</p:A><x>2</x><Y null='tru&#101;'>3</Y>"
                   "<Z null='true '>4</Z><!-- note --><?keep this?></Record>"),
    QStringLiteral("<ItemData><Options><Option><Name>Mount</Name><Value>Inside</Value></Option>"
                   "<Option><Name>Room &amp; Hall</Name><Value>&#x1F600;\u00e9</Value></Option>"
                   "</Options></ItemData>"),
};

} // namespace

TEST(StrictXml, shouldTakeWhatEveryReaderReadsWhole)
{
    const QString taken[] = {
        QStringLiteral("<a/>"),
        QStringLiteral("<?xml version='1.0' encoding='latin1' standalone='no'?>\n<a/>\n"),
        QStringLiteral("\ufeff<a>x</a>"),
        QStringLiteral("<!-- before --><?pi data?>\n<a b=\"1\" c='&lt;&#x41;&#65;'>t<![CDATA[<x>]]>"
                       "</a><!-- after -->"),
        QStringLiteral("<a>&#x1F600; \U0001F600 \u00e9 &#xD;</a>"),
        QStringLiteral("<p:a xmlns:p='urn:x' xml:lang='en'><p:b p:c='1' c='2'/></p:a>"),
        QStringLiteral("<\u00e9l\u00e8ve \u00e9=\"1\"/>"),
        QStringLiteral("<a>]]&gt; > ]] ]></a>"),
        Nested(257),
        // A surrogate pair across the 64-unit blocks the character check goes by.
        QStringLiteral("<a>%1\U0001F600</a>").arg(QString(60, u'x')),
        QStringLiteral("<a %1='1'/>").arg(QString(4096, u'n')),
    };
    for (const QString &text : taken) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(IsWellFormedXml(text));
        EXPECT_TRUE(StreamReadsToTheEnd(text));
    }
}

TEST(StrictXml, shouldRefuseWhatAnyReaderRefuses)
{
    const struct
    {
        const char *why;
        QString text;
    } refused[] = {
        {"empty", QString()},
        {"only blanks", QStringLiteral(" \n\t")},
        {"no element", QStringLiteral("<!-- only a comment -->")},
        {"truncated", QStringLiteral("<a><b>text</b")},
        {"end tag of another element", QStringLiteral("<a><b></a></b>")},
        {"a second root", QStringLiteral("<a/><b/>")},
        {"text before the root", QStringLiteral("junk<a/>")},
        {"text after the root", QStringLiteral("<a/>>")},
        {"undeclared entity", QStringLiteral("<a>&nbsp;</a>")},
        {"bare ampersand", QStringLiteral("<a>salt & pepper</a>")},
        {"reference to NUL", QStringLiteral("<a>&#0;</a>")},
        {"reference to a surrogate", QStringLiteral("<a>&#xD800;</a>")},
        {"reference beyond Unicode", QStringLiteral("<a>&#x110000;</a>")},
        {"upper-case X in a reference", QStringLiteral("<a>&#X41;</a>")},
        {"document type with an entity",
         QStringLiteral("<!DOCTYPE a [<!ENTITY e 'expanded'>]><a>&e;</a>")},
        {"document type naming a file",
         QStringLiteral("<!DOCTYPE a SYSTEM 'file:///etc/passwd'><a/>")},
        {"control character", WithChar("<a>", 0x1, "</a>")},
        {"control character after many plain ones",
         QStringLiteral("<a>%1").arg(QString(200, u'x')) + QChar(0x1F) + QStringLiteral("</a>")},
        {"NUL after the root", WithChar("<a/>", 0x0, "")},
        {"U+FFFE", WithChar("<a>", 0xFFFE, "</a>")},
        {"lone surrogate", WithChar("<a>", 0xD800, "</a>")},
        {"two byte order marks", QStringLiteral("\ufeff\ufeff<a/>")},
        {"]]> in text", QStringLiteral("<a>]]></a>")},
        {"< in an attribute", QStringLiteral("<a b='<'/>")},
        {"-- in a comment", QStringLiteral("<!-- a -- b --><a/>")},
        {"comment ending in -", QStringLiteral("<a><!-- a ---></a>")},
        {"declaration after blanks", QStringLiteral(" <?xml version='1.0'?><a/>")},
        {"declaration after the root", QStringLiteral("<a/><?xml version='1.0'?>")},
        {"declaration of XML 1.1", QStringLiteral("<?xml version='1.1'?><a/>")},
        {"declaration out of order",
         QStringLiteral("<?xml version='1.0' standalone='yes' encoding='utf-8'?><a/>")},
        {"declaration without version", QStringLiteral("<?xml encoding='utf-8'?><a/>")},
        {"instruction named xml", QStringLiteral("<a><?XmL data?></a>")},
        {"unbound element prefix", QStringLiteral("<p:a/>")},
        {"unbound attribute prefix", QStringLiteral("<a p:b='1'/>")},
        {"prefix out of scope", QStringLiteral("<a><p:b xmlns:p='u'/><p:c/></a>")},
        {"prefix bound to nothing", QStringLiteral("<a xmlns:p=''/>")},
        {"xmlns as a prefix", QStringLiteral("<a xmlns:xmlns='u'/>")},
        {"xml prefix rebound", QStringLiteral("<a xmlns:xml='u'/>")},
        {"namespace name that is no URI", QStringLiteral("<a xmlns:p='u v'/>")},
        {"two colons", QStringLiteral("<a:b:c xmlns:a='u'/>")},
        {"digit after the colon", QStringLiteral("<a xmlns:p='u' p:1='x'/>")},
        {"attribute given twice", QStringLiteral("<a b='1' b='2'/>")},
        {"attribute given twice by namespace",
         QStringLiteral("<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>")},
        {"element name QXmlStreamReader refuses", QStringLiteral("<a\u0132/>")},
        {"attribute name XML does not allow", QStringLiteral("<a b\u00d7c='1'/>")},
        // The readers' limits: libxml2's depth, QXmlStreamReader's names, the component's size.
        {"elements nested 258 deep", Nested(258)},
        {"a name of 4097 characters", QStringLiteral("<a %1='1'/>").arg(QString(4097, u'n'))},
        {"more than 8 MiB", QStringLiteral("<a>%1</a>").arg(QString(8 * 1024 * 1024, u'x'))},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(IsWellFormedXml(c.text));
        StrictXmlDocument doc;
        EXPECT_FALSE(doc.read(c.text, StrictXmlDocument::BlankText::Kept));
        EXPECT_FALSE(doc.root());
    }
}

// The fast read must never take a document the streaming reader stops in: the host's readers
// would then read it differently.
TEST(StrictXml, shouldTakeOnlyDocumentsQXmlStreamReaderReadsToTheEnd)
{
    Mutations mutations(Seeds);
    int taken = 0;
    for (int i = 0; i < 4000; ++i) {
        const QString text = mutations.next();
        if (!IsWellFormedXml(text))
            continue;
        ++taken;
        ASSERT_TRUE(StreamReadsToTheEnd(text)) << text.toStdString();
    }
    EXPECT_GT(taken, 200); // the mutations leave enough documents whole to mean something
}

// A field read from a document taken whole is the field the streaming reader gives. A fault
// after the root element sends the same document the streaming way, which stops only after
// the root element, so both answers can be compared.
TEST(StrictXml, shouldReadFieldsAsTheStreamingReaderDoes)
{
    const QString fault = QStringLiteral("<!-- - -- -->");
    const auto compare = [&](const QString &text, const QString &field) {
        SCOPED_TRACE(field.toStdString());
        EXPECT_EQ(RecordField(text, field), RecordField(text + fault, field));
        EXPECT_EQ(FirstRecordField(text, field), FirstRecordField(text + fault, field));
    };
    const QStringList fields{
        QStringLiteral("UnitPrice"), QStringLiteral("unitprice"), QStringLiteral("A"),
        QStringLiteral("a"),         QStringLiteral("B"),         QStringLiteral("C"),
        QStringLiteral("D"),         QStringLiteral("F"),         QStringLiteral("G"),
        QStringLiteral("Y"),         QStringLiteral("Z"),         QStringLiteral("\u212a"),
        QStringLiteral("Record"),    QStringLiteral("Missing")};
    Mutations mutations(Seeds);
    int taken = 0;
    for (int i = 0; i < 1500; ++i) {
        const QString text = mutations.next();
        if (!IsWellFormedXml(text))
            continue;
        ++taken;
        SCOPED_TRACE(text.toStdString());
        for (const QString &field : fields)
            compare(text, field);
    }
    EXPECT_GT(taken, 100);

    // The readings the comparison rests on, spelled out.
    const QString record = Seeds[1];
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("B")), std::nullopt);
    EXPECT_EQ(RecordField(record, QStringLiteral("A")), std::nullopt) << "not the root's child";
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("C")), QStringLiteral("x\r\ny\rz"));
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("d")), QStringLiteral("a\nbtu<"));
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("F")), QStringLiteral("  "));
    EXPECT_EQ(FirstRecordField(record, QStringLiteral("G")), QStringLiteral("a\nb\nc"));
    EXPECT_EQ(RecordField(Seeds[2], QStringLiteral("a")), QStringLiteral("1"));
    EXPECT_EQ(RecordField(Seeds[2], QStringLiteral("Y")), std::nullopt);
    EXPECT_EQ(RecordField(Seeds[2], QStringLiteral("Z")), QStringLiteral("4"));
}
