// The node object a host's record reader receives, reached late-bound as a host reaches it.
#include "engine/xmlnodeobject.h"

#include <gtest/gtest.h>

using namespace zeltpc5;

namespace {

const QString Records =
    QStringLiteral("<Results><Record id=\"7\"><OptionName>Mount</OptionName>"
                   "<OptionValue>Inside &amp; Out</OptionValue></Record>"
                   "<Record id=\"8\"><OptionName>Valance</OptionName><OptionValue/></Record>"
                   "</Results>");

XmlDocument Parse(const QString &text)
{
    auto doc = XmlDocument::parse(text);
    EXPECT_TRUE(doc.has_value());
    return doc ? *doc : *XmlDocument::create(QStringLiteral("Empty"));
}

QString Read(const DispatchPtr &object, QStringView property)
{
    const CallResult r = Get(object, property);
    EXPECT_TRUE(r.ok()) << r.status.toString().toStdString();
    return ToText(r.value).value_or(QStringLiteral("(not text)"));
}

// A selection's answer, which must be an object reference (Nothing included).
DispatchPtr Select(const DispatchPtr &object, QStringView method, VariantList args)
{
    const CallResult r = Call(object, method, std::move(args));
    EXPECT_TRUE(r.ok()) << r.status.toString().toStdString();
    EXPECT_EQ(TypeOf(r.value), VariantType::Object);
    return ToObject(r.value).value_or(DispatchPtr());
}

DispatchPtr Select(const DispatchPtr &object, QStringView method, const QString &xpath)
{
    return Select(object, method, VariantList{xpath});
}

} // namespace

TEST(XmlNodeObject, readsNameTextAndXmlOfElementsAttributesAndTheDocument)
{
    const XmlDocument doc = Parse(Records);
    const XmlNode first = doc.selectSingleNode(QStringLiteral("Results/Record"));
    const DispatchPtr record = MakeXmlNodeObject(first);
    ASSERT_TRUE(record);
    EXPECT_EQ(Read(record, u"nodeName"), QStringLiteral("Record"));
    EXPECT_EQ(Read(record, u"text"), QStringLiteral("MountInside & Out"));
    EXPECT_EQ(Read(record, u"xml"),
              QStringLiteral("<Record id=\"7\"><OptionName>Mount</OptionName>"
                             "<OptionValue>Inside &amp; Out</OptionValue></Record>"));

    const DispatchPtr id = Select(record, u"selectSingleNode", QStringLiteral("@id"));
    ASSERT_TRUE(id);
    EXPECT_EQ(Read(id, u"nodeName"), QStringLiteral("id"));
    EXPECT_EQ(Read(id, u"text"), QStringLiteral("7"));
    EXPECT_EQ(Read(id, u"xml"), QStringLiteral("id=\"7\""));

    const DispatchPtr document = MakeXmlNodeObject(doc);
    EXPECT_EQ(Read(document, u"nodeName"), QStringLiteral("#document"));
    EXPECT_EQ(Read(document, u"xml"), doc.xml());

    // Read-only: a host cannot change the component's record through it.
    EXPECT_FALSE(Put(record, u"text", QStringLiteral("x")).ok());
    EXPECT_EQ(first.text(), QStringLiteral("MountInside & Out"));

    EXPECT_FALSE(MakeXmlNodeObject(XmlNode()));
}

TEST(XmlNodeObject, selectSingleNodeGivesTheFirstMatchOrNothing)
{
    const XmlDocument doc = Parse(Records);
    const DispatchPtr record =
        MakeXmlNodeObject(doc.selectSingleNode(QStringLiteral("Results/Record")));

    EXPECT_EQ(Read(Select(record, u"selectSingleNode", QStringLiteral("OptionName")), u"text"),
              QStringLiteral("Mount"));
    EXPECT_EQ(Read(Select(record, u"selectSingleNode", QStringLiteral("*")), u"nodeName"),
              QStringLiteral("OptionName"));
    EXPECT_EQ(
        Read(Select(record, u"selectSingleNode", QStringLiteral("../Record[@id = '8']/OptionName")),
             u"text"),
        QStringLiteral("Valance"));
    // Relative to the record: the root's name selects nothing from here.
    EXPECT_FALSE(Select(record, u"selectSingleNode", QStringLiteral("Results")));
    EXPECT_FALSE(Select(record, u"selectSingleNode", QStringLiteral("Missing")));
}

TEST(XmlNodeObject, selectNodesGivesAListWithLengthAndItem)
{
    const XmlDocument doc = Parse(Records);
    const DispatchPtr list =
        Select(MakeXmlNodeObject(doc), u"selectNodes", QStringLiteral("Results/Record"));
    ASSERT_TRUE(list);
    const Variant length = Get(list, u"length").value;
    EXPECT_EQ(TypeOf(length), VariantType::Int32);
    EXPECT_EQ(ToInt32(length), 2);

    EXPECT_EQ(Read(Select(list, u"item", {MakeInt32(0)}), u"xml"),
              doc.selectSingleNode(QStringLiteral("Results/Record")).xml());
    const DispatchPtr second = Select(list, u"item", {MakeInt16(1)});
    EXPECT_EQ(Read(Select(second, u"selectSingleNode", QStringLiteral("OptionName")), u"text"),
              QStringLiteral("Valance"));
    EXPECT_EQ(Read(Select(list, u"item", {QStringLiteral("1")}), u"xml"), Read(second, u"xml"));
    // Outside the list: Nothing, as a DOM node list answers.
    EXPECT_FALSE(Select(list, u"item", {MakeInt32(2)}));
    EXPECT_FALSE(Select(list, u"item", {MakeInt32(-1)}));
    EXPECT_EQ(Call(list, u"item", {QStringLiteral("first")}).status.number(), Error::TypeMismatch);

    const DispatchPtr empty =
        Select(MakeXmlNodeObject(doc), u"selectNodes", QStringLiteral("Results/Nothing"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(ToInt32(Get(empty, u"length").value), 0);
    EXPECT_FALSE(Select(empty, u"item", {MakeInt32(0)}));
}

TEST(XmlNodeObject, badExpressionsAnswerAnErrorAndLeaveTheObjectWorking)
{
    QString wide;
    for (int i = 0; i < 2000; ++i)
        wide += QStringLiteral("<e>%1</e>").arg(i);
    const XmlDocument doc = Parse(QStringLiteral("<Results><Record><OptionName>Mount</OptionName>"
                                                 "</Record>%1</Results>")
                                      .arg(wide));
    const DispatchPtr record =
        MakeXmlNodeObject(doc.selectSingleNode(QStringLiteral("Results/Record")));

    const QStringList bad = {
        QString(),
        QStringLiteral("OptionName["),
        QStringLiteral("//*[@"),
        QStringLiteral("count(*)"),
        QStringLiteral("'OptionName'"),
        QStringLiteral("OptionName = 'Mount'"),
        QStringLiteral("nosuch(.)"),
        QStringLiteral("zz:OptionName"),
        QStringLiteral("$name"),
        QStringLiteral("ms:string-compare(.)"),
        QStringLiteral("OptionName") + QChar(0) + QStringLiteral("x"),
        QString(100000, QLatin1Char('(')) + QStringLiteral("OptionName") +
            QString(100000, QLatin1Char(')')),
        QStringLiteral("OptionName") + QStringLiteral("[1").repeated(50000),
        QStringLiteral("-").repeated(100000) + QStringLiteral("1"),
        // Far more work than any selection needs: stopped by the operation limit.
        QStringLiteral("//e[count(//e[count(//e) > 0]) > 0]"),
    };
    for (const QString &xpath : bad) {
        const std::string shown = xpath.left(60).toStdString();
        for (QStringView method : {u"selectSingleNode", u"selectNodes"}) {
            const CallResult r = Call(record, method, {xpath});
            EXPECT_EQ(r.status.number(), Error::InvalidProcedureCall) << shown;
            EXPECT_EQ(TypeOf(r.value), VariantType::Empty) << shown;
        }
    }
    EXPECT_EQ(Call(record, u"selectNodes", {MakeNull()}).status.number(), Error::InvalidUseOfNull);
    EXPECT_EQ(Call(record, u"selectSingleNode").status.number(), Error::WrongArgumentCount);

    EXPECT_EQ(Read(Select(record, u"selectSingleNode", QStringLiteral("OptionName")), u"text"),
              QStringLiteral("Mount"));
}

TEST(XmlNodeObject, objectsKeepTheirDocumentAlive)
{
    DispatchPtr record;
    DispatchPtr list;
    {
        const XmlDocument doc = Parse(Records);
        record = MakeXmlNodeObject(doc.selectSingleNode(QStringLiteral("Results/Record")));
        list = Select(record, u"selectNodes", QStringLiteral("../Record"));
    }
    EXPECT_EQ(Read(Select(record, u"selectSingleNode", QStringLiteral("OptionValue")), u"text"),
              QStringLiteral("Inside & Out"));
    const DispatchPtr second = Select(list, u"item", {MakeInt32(1)});
    record.reset();
    list.reset();
    EXPECT_EQ(Read(Select(second, u"selectSingleNode", QStringLiteral("..")), u"nodeName"),
              QStringLiteral("Results"));
    EXPECT_EQ(Read(second, u"xml"),
              QStringLiteral("<Record id=\"8\"><OptionName>Valance</OptionName><OptionValue/>"
                             "</Record>"));
}
