#include "engine/xmlnodeobject.h"

namespace zeltpc5 {

namespace {

class XmlNodeObject : public DispatchObject
{
public:
    explicit XmlNodeObject(XmlNode node);
    const XmlNode &node() const { return m_node; }

private:
    XmlNode m_node;
};

class XmlNodeListObject : public DispatchObject
{
public:
    explicit XmlNodeListObject(QList<XmlNode> nodes);
    const QList<XmlNode> &nodes() const { return m_nodes; }

private:
    QList<XmlNode> m_nodes;
};

const XmlNode &NodeOf(Dispatch &self)
{
    return static_cast<XmlNodeObject &>(self).node();
}

MemberTable::Handler NodeProperty(QString (XmlNode::*read)() const)
{
    return [read](Dispatch &self, VariantList &, Variant &result) {
        result = MakeString((NodeOf(self).*read)());
        return Status();
    };
}

// Runs the selection of the one expression argument and answers through `answer`.
MemberTable::Handler Selection(Variant (*answer)(QList<XmlNode> nodes))
{
    return [answer](Dispatch &self, VariantList &args, Variant &result) {
        ArgReader a(args);
        const QString xpath = a.text(0);
        if (!a.ok())
            return a.status();
        auto nodes = NodeOf(self).trySelectNodes(xpath);
        if (!nodes)
            return Status::error(Error::InvalidProcedureCall,
                                 QStringLiteral("The XPath expression is not valid."));
        result = answer(std::move(*nodes));
        return Status();
    };
}

Variant FirstNode(QList<XmlNode> nodes)
{
    return MakeObject(nodes.isEmpty() ? DispatchPtr() : MakeXmlNodeObject(nodes.constFirst()));
}

Variant NodeList(QList<XmlNode> nodes)
{
    return MakeObject(MakeRef<XmlNodeListObject>(std::move(nodes)));
}

const MemberTable &NodeTable()
{
    static const MemberTable table =
        MemberTable()
            .property(QStringLiteral("nodeName"), 1, NodeProperty(&XmlNode::nodeName))
            .property(QStringLiteral("text"), 2, NodeProperty(&XmlNode::text))
            .property(QStringLiteral("xml"), 3, NodeProperty(&XmlNode::xml))
            .method(QStringLiteral("selectSingleNode"), 4, 1, Selection(FirstNode))
            .method(QStringLiteral("selectNodes"), 5, 1, Selection(NodeList));
    return table;
}

const MemberTable &NodeListTable()
{
    static const MemberTable table =
        MemberTable()
            .property(QStringLiteral("length"), 1,
                      [](Dispatch &self, VariantList &, Variant &result) {
                          const auto &nodes = static_cast<XmlNodeListObject &>(self).nodes();
                          result = MakeInt32(qint32(nodes.size()));
                          return Status();
                      })
            .method(QStringLiteral("item"), 2, 1,
                    [](Dispatch &self, VariantList &args, Variant &result) {
                        ArgReader a(args);
                        const qint32 index = a.int32(0);
                        if (!a.ok())
                            return a.status();
                        const auto &nodes = static_cast<XmlNodeListObject &>(self).nodes();
                        result = MakeObject(index >= 0 && index < nodes.size()
                                                ? MakeXmlNodeObject(nodes.at(index))
                                                : DispatchPtr());
                        return Status();
                    });
    return table;
}

XmlNodeObject::XmlNodeObject(XmlNode node)
    : DispatchObject(QStringLiteral("XmlNode"), &NodeTable()), m_node(std::move(node))
{}

XmlNodeListObject::XmlNodeListObject(QList<XmlNode> nodes)
    : DispatchObject(QStringLiteral("XmlNodeList"), &NodeListTable()), m_nodes(std::move(nodes))
{}

} // namespace

DispatchPtr MakeXmlNodeObject(const XmlNode &node)
{
    if (node.isNull())
        return {};
    return MakeRef<XmlNodeObject>(node);
}

} // namespace zeltpc5
