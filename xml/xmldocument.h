// Item documents over libxml2: a shared document and node handles that keep it alive.
//
// Every handle holds a share of its document, so a node never outlives the tree it points
// into. Handles refer to the document, elements and attributes only; nodes that leave the
// tree (removed children, element children replaced by a text) are kept until the document
// goes, so an older handle to them stays valid.
//
// Every document selects with XPath 1.0; the prefix `ms` is bound to
// "urn:schemas-microsoft-com:xslt" and `ms:string-compare` is available in every selection.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct _xmlNode;

namespace zeltpc5 {

namespace detail {
struct XmlDocumentData;
}

class XmlDocument;

// The namespace of the `ms:` extension functions.
inline constexpr char MsXsltNamespace[] = "urn:schemas-microsoft-com:xslt";

// A handle to a node of a document; a null handle stands for "nothing". Copies refer to the
// same node.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool isDocument() const;
    bool isElement() const;
    bool isAttribute() const;

    // The qualified name ("#document" for the document node); empty for a null handle.
    QString nodeName() const;
    // The concatenated text of the node and its descendants (an attribute's value).
    QString text() const;
    // The node as XML text: an element with its content, carrying the namespace declarations
    // it borrows from its ancestors so the text parses alone; an attribute as name="value";
    // the document as XmlDocument::xml(). Empty for a null handle.
    QString xml() const;
    // Replaces the content of an element or attribute by one text. Characters that XML 1.0
    // cannot carry are dropped, so the document always serialises to text that parses again.
    // False when the node cannot hold text.
    bool setText(const QString &text) const;

    XmlDocument ownerDocument() const;
    XmlNode parentNode() const;
    // Child elements in document order; with a name, only the elements of that qualified name.
    XmlNode firstChildElement(const QString &name = {}) const;
    XmlNode nextSiblingElement(const QString &name = {}) const;
    QList<XmlNode> childElements(const QString &name = {}) const;
    // Elements below this node in document order, with a name only those of that name.
    QList<XmlNode> descendantElements(const QString &name = {}) const;
    // The topmost ancestor: the document node, or the top of a subtree taken out of the tree.
    XmlNode treeRoot() const;
    // No namespace: what a bare name in an XPath step selects.
    bool hasNamespace() const;

    // A new empty element appended as the last child; null when the name is not a valid XML
    // name, when this node cannot have element children, or when it would give the document
    // a second root element.
    XmlNode appendElement(const QString &name) const;
    // firstChildElement(name), or appendElement(name) when there is no such child; the name
    // is read once for both.
    XmlNode firstChildElementOrAppend(const QString &name) const;
    // A deep copy of a node of any document appended as the last child (null on failure).
    XmlNode appendCopy(const XmlNode &source) const;
    // Takes an element child out of the tree; handles to it stay valid.
    bool removeChild(const XmlNode &child) const;

    std::optional<QString> attribute(const QString &name) const;
    // Sets or replaces an attribute of an element; false (and nothing changed) when the name
    // is not a valid XML name or the node is no element.
    bool setAttribute(const QString &name, const QString &value) const;

    // XPath 1.0 relative to this node. Selections yield elements, attributes and the document
    // node; other node kinds (text, comments) are skipped. An invalid expression selects
    // nothing.
    XmlNode selectSingleNode(const QString &xpath) const;
    QList<XmlNode> selectNodes(const QString &xpath) const;
    // As selectNodes, but nothing when the expression does not compile, its evaluation fails
    // or it gives no node set (a number, say): for callers that must tell a bad expression
    // from one that selects no node.
    std::optional<QList<XmlNode>> trySelectNodes(const QString &xpath) const;
    // The text of the first node an expression selects, whatever its kind; nothing when the
    // expression selects no node.
    std::optional<QString> selectText(const QString &xpath) const;

    // Same node of the same document.
    friend bool operator==(const XmlNode &a, const XmlNode &b) { return a.m_node == b.m_node; }

    // For code in this folder that talks to libxml2 directly: the node, and a handle to
    // another node of the same document.
    _xmlNode *rawNode() const { return m_node; }
    XmlNode handleFor(_xmlNode *node) const { return XmlNode(m_doc, node); }

private:
    friend class XmlDocument;
    friend struct detail::XmlDocumentData;
    XmlNode(std::shared_ptr<detail::XmlDocumentData> doc, _xmlNode *node);

    std::shared_ptr<detail::XmlDocumentData> m_doc;
    _xmlNode *m_node = nullptr;
};

// Input bounds for parsing. The nesting depth is bounded by libxml2's own limit.
struct XmlParseLimits
{
    qsizetype maxBytes = 8 * 1024 * 1024; // of UTF-8
};

// A parsed or created document. Copies share the document.
class XmlDocument
{
public:
    // A document with the `xml` declaration (version 1.0) and an empty root element; nothing
    // when the name is not a valid XML name.
    static std::optional<XmlDocument> create(const QString &rootName);
    // Nothing when the text is empty, too large, not well-formed, not valid UTF-16, or carries
    // a document type declaration. Never touches the network, never loads or expands entities.
    static std::optional<XmlDocument> parse(const QString &text, const XmlParseLimits &limits = {});
    static std::optional<XmlDocument> parse(const QByteArray &utf8,
                                            const XmlParseLimits &limits = {});
    // The text of the first element `childName` under the root element `rootName` (neither in
    // a namespace), as parse() and a read of that child would give it, but without building
    // the document: for lists that read one field of thousands of documents. Nothing when
    // parse() would refuse the text; the empty text when there is no such element.
    static std::optional<QString> readRootChildText(const QString &text, const char *rootName,
                                                    const char *childName,
                                                    const XmlParseLimits &limits = {});
    // The same over UTF-8 text.
    static std::optional<QString> readRootChildText(const QByteArray &utf8, const char *rootName,
                                                    const char *childName,
                                                    const XmlParseLimits &limits = {});
    // For every element that "//" followed by the path selects (names without namespace, in
    // document order), the texts of its first child element of each field name ("" when it
    // has none), again without building the document. Nothing when parse() would refuse the
    // text. An element selected inside another selected one is not read.
    static std::optional<QList<QStringList>> readElementFields(const QString &text,
                                                               const QList<QByteArray> &path,
                                                               const QList<QByteArray> &fields,
                                                               const XmlParseLimits &limits = {});

    // A deep copy that shares nothing with this document: for a step that changes a
    // document while another step still reads the original. Cheaper than parsing the text.
    std::optional<XmlDocument> clone() const;

    XmlNode node() const;
    // The document as a node, so procedures that take a parent accept the document itself.
    operator XmlNode() const { return node(); }
    XmlNode documentElement() const;

    // The document as text: `<?xml version="1.0"?>`, a line break, then the content.
    QString xml() const;
    // The same text as UTF-8.
    QByteArray xmlUtf8() const;
    // The same text handed to a function, for a caller that keeps a copy of its own: the view
    // lasts for the call only, and the function must not write a document meanwhile.
    void withXmlUtf8(const std::function<void(QByteArrayView)> &use) const;

    XmlNode selectSingleNode(const QString &xpath) const { return node().selectSingleNode(xpath); }
    QList<XmlNode> selectNodes(const QString &xpath) const { return node().selectNodes(xpath); }

private:
    friend class XmlNode;
    explicit XmlDocument(std::shared_ptr<detail::XmlDocumentData> d) : d(std::move(d)) {}
    std::shared_ptr<detail::XmlDocumentData> d;
};

// UTF-8 document text as a QString. Unlike QString::fromUtf8, a leading U+FEFF stays a
// character of the text rather than being dropped as a byte order mark.
QString DocumentTextFromUtf8(QByteArrayView utf8);

// The `ms:string-compare` rule: -1, 0 or 1. Option "i" ignores case; otherwise strings that
// differ only in case order lower case first, or upper case first with option "u". The
// language only affects ordering in some cultures and is accepted without effect.
int MsStringCompare(const QString &a, const QString &b, const QString &language = {},
                    const QString &options = {});

} // namespace zeltpc5
