// The walked paths give what XPath gives for the same path, on documents shaped to trip a walk.
#include "xml/childpath.h"

#include <gtest/gtest.h>

using namespace zeltpc5;

namespace {

XmlDocument Load(const char *text)
{
    auto doc = XmlDocument::parse(QString::fromUtf8(text));
    EXPECT_TRUE(doc.has_value()) << text;
    return doc ? *doc : *XmlDocument::create(QStringLiteral("Failed"));
}

QStringList Texts(const QList<XmlNode> &nodes)
{
    QStringList texts;
    for (const XmlNode &n : nodes)
        texts << n.nodeName() + QLatin1Char('=') + n.text();
    return texts;
}

} // namespace

TEST(child_path_test, selectsWhatXPathSelects)
{
    const char *const documents[] = {
        "<ItemData><Options><Option>1</Option><x/><Option>2</Option></Options>"
        "<Options><Option>3</Option></Options></ItemData>",
        // Names in a namespace, prefixed or by default, are not plain names.
        "<ItemData xmlns:p='urn:p'><Options><p:Option>1</p:Option><Option>2</Option>"
        "<Option xmlns='urn:q'>3</Option></Options><p:Options><Option>4</Option></p:Options>"
        "</ItemData>",
        "<ItemData xmlns='urn:q'><Options><Option>1</Option></Options></ItemData>",
        // Another ItemData deeper down, inside an option and beside it: document order.
        "<Q><ItemData><Options><Option>1<ItemData><Options><Option>2</Option></Options>"
        "</ItemData></Option><Option>3</Option></Options></ItemData>"
        "<ItemData><Options><Option>4</Option></Options></ItemData></Q>",
        "<Q><R><ItemData><Options><Option>1</Option></Options></ItemData></R></Q>",
        "<ItemData/>",
        "<option><Options><Option>1</Option></Options></option>",
    };
    for (const char *text : documents) {
        const XmlDocument doc = Load(text);
        const XmlNode root = doc.documentElement();
        EXPECT_EQ(Texts(doc.selectNodes(QStringLiteral("//ItemData/Options/Option"))),
                  Texts(SelectDescendantPath(doc, {"ItemData", "Options", "Option"})))
            << text;
        // "//" starts at the document wherever the selection starts.
        const XmlNode inner = root.firstChildElement();
        EXPECT_EQ(
            Texts(doc.selectNodes(QStringLiteral("//ItemData/Options/Option"))),
            Texts(SelectDescendantPath(inner ? inner : root, {"ItemData", "Options", "Option"})))
            << text;
        EXPECT_EQ(Texts(doc.selectNodes(QStringLiteral("/ItemData/Options/Option"))),
                  Texts(SelectChildPath(doc, {"ItemData", "Options", "Option"})))
            << text;
        EXPECT_EQ(Texts(root.selectNodes(QStringLiteral("Options/Option"))),
                  Texts(SelectChildPath(root, {"Options", "Option"})))
            << text;
        EXPECT_EQ(Texts(doc.selectNodes(QStringLiteral("//ItemData"))),
                  Texts(SelectDescendantPath(doc, {"ItemData"})))
            << text;
    }
    EXPECT_TRUE(SelectChildPath(XmlNode(), {"a"}).isEmpty());
    EXPECT_TRUE(SelectDescendantPath(XmlNode(), {"a"}).isEmpty());
}
