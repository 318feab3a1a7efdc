#include "xml/xmldocument.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeltpc5 {

namespace {

// Namespace-aware and tolerant of nothing: no network, no entity substitution, no DTD
// loading, the declared encoding ignored (the bytes are always UTF-8 here). Blank text
// between elements is dropped; blank text inside a leaf element is kept.
constexpr int ParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                             XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA | XML_PARSE_IGNORE_ENC |
                             XML_PARSE_COMPACT;

// Bounds the work of one selection; far above anything the component's selections need.
constexpr unsigned long XPathOperationLimit = 10'000'000;

const xmlChar *Xml(const char *text)
{
    return reinterpret_cast<const xmlChar *>(text);
}
// QString::fromUtf8 drops a leading U+FEFF as a byte order mark; inside a document it is a
// character of the text and must survive.
QString FromUtf8(const char *data, qsizetype size)
{
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(QByteArrayView(data, size));
    }
    return QString::fromUtf8(data, size);
}

QString FromXml(const xmlChar *text)
{
    const auto *data = reinterpret_cast<const char *>(text);
    return FromUtf8(data, qsizetype(std::strlen(data)));
}

void EnsureLibxmlInitialised()
{
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
}

void QuietError(void *, xmlErrorPtr) {}
void QuietGenericError(void *, const char *, ...) {}

// Some libxml2 paths report through the thread's generic handler only; keep them off stderr
// for the duration of one call and leave the handler as it was.
class QuietGenericErrors
{
public:
    QuietGenericErrors() : m_handler(xmlGenericError), m_context(xmlGenericErrorContext)
    {
        xmlSetGenericErrorFunc(nullptr, QuietGenericError);
    }
    ~QuietGenericErrors() { xmlSetGenericErrorFunc(m_context, m_handler); }
    QuietGenericErrors(const QuietGenericErrors &) = delete;
    QuietGenericErrors &operator=(const QuietGenericErrors &) = delete;

private:
    xmlGenericErrorFunc m_handler;
    void *m_context;
};

// Documents from the host never carry a document type; refusing one outright rules out
// entity declarations and the expansion attacks that come with them.
void RejectDocumentType(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
{
    auto *ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
}

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The text without the characters an XML 1.0 document cannot carry (controls, lone
// surrogates, U+FFFE and U+FFFF), as UTF-8.
QByteArray XmlSafeUtf8(QStringView text)
{
    bool clean = true;
    for (qsizetype i = 0; i < text.size() && clean; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        clean = !c.isSurrogate() && IsXmlChar(c.unicode());
    }
    if (clean)
        return text.toUtf8();
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            kept.append(c);
            kept.append(text.at(++i));
        } else if (!c.isSurrogate() && IsXmlChar(c.unicode())) {
            kept.append(c);
        }
    }
    return kept.toUtf8();
}

// UTF-8 of a name or a short text, NUL-terminated, without a heap allocation for the usual
// ASCII text of a field: documents are read and written field by field, and converting each
// name through a QByteArray was a good part of a field's cost.
class Utf8Buffer
{
public:
    enum Kind { Name, SafeText };

    // A Name is converted as it is; a SafeText loses what XmlSafeUtf8 drops.
    Utf8Buffer(QStringView text, Kind kind)
    {
        const qsizetype size = text.size();
        if (size >= qsizetype(sizeof m_stack)) {
            slowPath(text, kind);
            return;
        }
        // One pass without branches copies the low bytes and notes whether every unit was
        // ASCII and whether any was a control.
        const char16_t *in = text.utf16();
        char16_t all = 0;
        char16_t least = 0xFFFF;
        for (qsizetype i = 0; i < size; ++i) {
            all |= in[i];
            least = std::min(least, in[i]);
            m_stack[i] = char(in[i]);
        }
        if (all >= 0x80) {
            slowPath(text, kind);
            return;
        }
        m_stack[size] = '\0';
        m_data = m_stack;
        m_size = size;
        if (least >= 0x20)
            return;
        if (kind == Name) {
            m_hasNul = std::memchr(m_stack, 0, size_t(size)) != nullptr;
            return;
        }
        // The only ASCII characters XML cannot carry are the controls other than tab, line
        // feed and carriage return.
        char *out = m_stack;
        for (qsizetype i = 0; i < size; ++i) {
            const char c = m_stack[i];
            if (c >= 0x20 || c == 0x9 || c == 0xA || c == 0xD)
                *out++ = c;
        }
        *out = '\0';
        m_size = out - m_stack;
    }
    Utf8Buffer(const Utf8Buffer &) = delete;
    Utf8Buffer &operator=(const Utf8Buffer &) = delete;

    const char *data() const { return m_data; }
    const xmlChar *xml() const { return reinterpret_cast<const xmlChar *>(m_data); }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QByteArrayView view() const { return QByteArrayView(m_data, m_size); }
    // libxml2 reads names as C strings; a NUL inside would silently cut them short.
    bool hasNul() const { return m_hasNul; }

private:
    void slowPath(QStringView text, Kind kind)
    {
        m_heap = kind == SafeText ? XmlSafeUtf8(text) : text.toUtf8();
        m_data = m_heap.constData(); // NUL-terminated, as every QByteArray
        m_size = m_heap.size();
        m_hasNul = m_heap.contains('\0');
    }

    const char *m_data = nullptr;
    qsizetype m_size = 0;
    bool m_hasNul = false;
    QByteArray m_heap;
    char m_stack[256];
};

constexpr std::array<bool, 256> AsciiTable(bool (*member)(char))
{
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x80; ++c)
        table[size_t(c)] = member(char(c));
    return table;
}

// The ASCII characters that start a name and that continue one.
constexpr std::array<bool, 256> NameStart =
    AsciiTable([](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; });
constexpr std::array<bool, 256> NameChar = AsciiTable([](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
});

// Element and attribute names the component creates carry no prefix: a prefix would need a
// declaration, and "xmlns" would turn an attribute into one.
bool IsPlainName(const Utf8Buffer &name)
{
    if (name.isEmpty() || name.hasNul() || name.view().startsWith("xmlns"))
        return false;
    // The ASCII names of the component's documents need no call into libxml2; the rule is
    // the one libxml2 checks first, anything else is left to it.
    const auto *c = reinterpret_cast<const unsigned char *>(name.data());
    bool ascii = NameStart[*c];
    for (++c; ascii && *c != 0; ++c)
        ascii = NameChar[*c];
    return ascii || xmlValidateNCName(name.xml(), 0) == 0;
}

bool HasPrefix(const xmlNode *node)
{
    return node->ns != nullptr && node->ns->prefix != nullptr;
}

// Whether the node's qualified name is the NUL-terminated name of that length.
bool QualifiedNameEquals(const xmlNode *node, const char *name, qsizetype size)
{
    const auto *local = reinterpret_cast<const char *>(node->name);
    if (!HasPrefix(node))
        return local[0] == name[0] && std::strcmp(local, name) == 0;
    const auto *prefix = reinterpret_cast<const char *>(node->ns->prefix);
    const size_t prefixSize = std::strlen(prefix);
    return prefixSize < size_t(size) && name[prefixSize] == ':' &&
           std::memcmp(prefix, name, prefixSize) == 0 &&
           std::strcmp(local, name + prefixSize + 1) == 0;
}

// The element from this node on, among it and its next siblings, of that name (any element
// when the name is empty); null when there is none.
xmlNode *NextElement(xmlNode *node, const Utf8Buffer &name)
{
    if (name.hasNul())
        return nullptr;
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE &&
            (name.isEmpty() || QualifiedNameEquals(node, name.data(), name.size())))
            return node;
    }
    return nullptr;
}

xmlNode *NextElement(xmlNode *node)
{
    while (node != nullptr && node->type != XML_ELEMENT_NODE)
        node = node->next;
    return node;
}

bool CanHoldElements(const xmlNode *node)
{
    return node != nullptr && (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE);
}

bool IsHandleKind(const xmlNode *node)
{
    return node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE ||
           node->type == XML_DOCUMENT_NODE;
}

QString NodeText(const xmlNode *node)
{
    if (node->type == XML_NAMESPACE_DECL)
        return FromXml(reinterpret_cast<const xmlNs *>(node)->href);
    // The common case, an element holding one text, needs no copy through libxml2.
    const xmlNode *child = node->children;
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && child != nullptr &&
        child->next == nullptr && child->type == XML_TEXT_NODE)
        return FromXml(child->content);
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && child == nullptr)
        return {};
    xmlChar *content = xmlNodeGetContent(node);
    const QString text = content ? FromXml(content) : QString();
    xmlFree(content);
    return text;
}

// The node as UTF-8, or with siblings the node and every sibling after it, each followed by a
// line break, after the given start.
QByteArray DumpNodesUtf8(xmlDoc *doc, xmlNode *node, bool siblings, const char *start = "")
{
    // No encoder on the buffer: the tree is UTF-8 already, and "UTF-8" below keeps non-ASCII
    // characters as they are instead of writing character references.
    xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
    if (out == nullptr)
        return {};
    xmlOutputBufferWriteString(out, start);
    for (; node != nullptr; node = siblings ? node->next : nullptr) {
        xmlNodeDumpOutput(out, doc, node, 0, 0, "UTF-8");
        if (siblings)
            xmlOutputBufferWrite(out, 1, "\n");
    }
    QByteArray text;
    if (out->error == 0)
        text = QByteArray(reinterpret_cast<const char *>(xmlOutputBufferGetContent(out)),
                          qsizetype(xmlOutputBufferGetSize(out)));
    xmlOutputBufferClose(out);
    return text;
}

constexpr std::array<bool, 256> ByteTable(const char *specials, bool high)
{
    std::array<bool, 256> table{};
    table[0] = true;
    for (const char *c = specials; *c != '\0'; ++c)
        table[static_cast<unsigned char>(*c)] = true;
    for (int c = 0x80; c < 0x100; ++c)
        table[size_t(c)] = high;
    return table;
}

// The bytes text and attribute values escape (and the NUL that ends them); attributes
// of a document without a declared encoding carry non-ASCII characters as references.
constexpr std::array<bool, 256> TextSpecial = ByteTable("<>&\r", false);
constexpr std::array<bool, 256> AttributeSpecial = ByteTable("<>&\r\n\t\"", false);
constexpr std::array<bool, 256> AttributeSpecialHigh = ByteTable("<>&\r\n\t\"", true);

// Writes a document as xmlNodeDumpOutput does without formatting and with UTF-8 kept as it
// is, byte for byte, but straight into one buffer: libxml2 passes every name, attribute and
// text through its output buffer functions, which made writing a document cost about as
// much as parsing it. Node kinds the component's documents never hold (entity references,
// CDATA sections, unescaped text, a document type) are left to libxml2: write() says false.
class DocumentWriter
{
public:
    explicit DocumentWriter(const xmlDoc *doc) : m_doc(doc), m_bytes(Scratch()) {}
    ~DocumentWriter()
    {
        // A rare large document does not keep its room for the thread's life.
        constexpr qsizetype KeptRoom = 1024 * 1024;
        if (m_bytes.size() > KeptRoom)
            m_bytes = QByteArray();
    }
    DocumentWriter(const DocumentWriter &) = delete;
    DocumentWriter &operator=(const DocumentWriter &) = delete;

    bool write(const char *start)
    {
        if (m_doc->intSubset != nullptr || m_doc->extSubset != nullptr)
            return false;
        append(start, std::strlen(start));
        for (const xmlNode *node = m_doc->children; node != nullptr; node = node->next) {
            if (!writeTree(node))
                return false;
            append('\n');
        }
        return true;
    }
    // The text in a block of its own size: callers keep documents' texts for whole runs, and
    // a buffer shrunk in place would leave its spare room as a gap between them.
    QByteArrayView view() const { return QByteArrayView(m_bytes.constData(), m_size); }

private:
    char *room(size_t size)
    {
        if (m_size + qsizetype(size) > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + qsizetype(size) + 4096));
        return m_bytes.data() + m_size;
    }
    void append(const char *data, size_t size)
    {
        std::memcpy(room(size), data, size);
        m_size += qsizetype(size);
    }
    void append(char c)
    {
        *room(1) = c;
        ++m_size;
    }
    void append(const xmlChar *text)
    {
        const auto *data = reinterpret_cast<const char *>(text);
        append(data, std::strlen(data));
    }
    void appendName(const xmlNode *node)
    {
        if (node->ns != nullptr && node->ns->prefix != nullptr) {
            append(node->ns->prefix);
            append(':');
        }
        append(node->name);
    }

    // Copies the text up to its NUL; escape() writes each byte the table marks and returns
    // the last byte it consumed.
    template <typename Escape>
    void appendEscaped(const xmlChar *text, const std::array<bool, 256> &special, Escape escape)
    {
        const xmlChar *run = text;
        for (const xmlChar *c = text;; ++c) {
            if (!special[*c])
                continue;
            append(reinterpret_cast<const char *>(run), size_t(c - run));
            if (*c == 0)
                return;
            c = escape(c);
            run = c + 1;
        }
    }
    // The reference libxml2 writes for a character its tables mark; false for any other.
    bool appendReference(xmlChar c)
    {
        switch (c) {
        case '<':
            append("&lt;", 4);
            return true;
        case '>':
            append("&gt;", 4);
            return true;
        case '&':
            append("&amp;", 5);
            return true;
        case '\r':
            append("&#13;", 5);
            return true;
        case '\n':
            append("&#10;", 5);
            return true;
        case '\t':
            append("&#9;", 4);
            return true;
        case '"':
            append("&quot;", 6);
            return true;
        default:
            return false;
        }
    }
    void appendText(const xmlChar *text)
    {
        // Text marks only <, >, & and carriage return.
        appendEscaped(text, TextSpecial, [this](const xmlChar *c) {
            appendReference(*c);
            return c;
        });
    }
    void appendCharRef(int value)
    {
        char text[16];
        const int size = std::snprintf(text, sizeof text, "&#x%X;", unsigned(value));
        append(text, size_t(size));
    }
    // As xmlBufAttrSerializeTxtContent, which looks at the attribute's own document.
    void appendAttributeText(const xmlChar *text, const xmlDoc *owner)
    {
        const auto &special = owner == nullptr || owner->encoding == nullptr ? AttributeSpecialHigh
                                                                             : AttributeSpecial;
        appendEscaped(text, special, [this](const xmlChar *c) {
            if (appendReference(*c))
                return c;
            // A byte of a multi-byte character, written as a character reference.
            if (c[1] == 0) { // libxml2 leaves a last byte as it is
                append(reinterpret_cast<const char *>(c), 1);
                return c;
            }
            int value = 0;
            int length = 1;
            if (*c < 0xC0) {
                length = 1;
            } else if (*c < 0xE0) {
                value = ((c[0] & 0x1F) << 6) | (c[1] & 0x3F);
                length = 2;
            } else if (*c < 0xF0 && c[2] != 0) {
                value = ((c[0] & 0x0F) << 12) | ((c[1] & 0x3F) << 6) | (c[2] & 0x3F);
                length = 3;
            } else if (*c < 0xF8 && c[2] != 0 && c[3] != 0) {
                value = ((c[0] & 0x07) << 18) | ((c[1] & 0x3F) << 12) | ((c[2] & 0x3F) << 6) |
                        (c[3] & 0x3F);
                length = 4;
            }
            if (length == 1 || !IsXmlChar(char32_t(value))) {
                appendCharRef(*c);
                return c;
            }
            appendCharRef(value);
            return c + length - 1;
        });
    }
    // As xmlBufWriteQuotedString.
    void appendQuoted(const xmlChar *text)
    {
        const auto *data = reinterpret_cast<const char *>(text);
        if (std::strchr(data, '"') == nullptr) {
            append('"');
            append(text);
            append('"');
        } else if (std::strchr(data, '\'') == nullptr) {
            append('\'');
            append(text);
            append('\'');
        } else {
            append('"');
            for (const char *c = data; *c != '\0'; ++c) {
                if (*c == '"')
                    append("&quot;", 6);
                else
                    append(*c);
            }
            append('"');
        }
    }
    bool appendStartTag(const xmlNode *element)
    {
        append('<');
        appendName(element);
        for (const xmlNs *ns = element->nsDef; ns != nullptr; ns = ns->next) {
            if (ns->type != XML_LOCAL_NAMESPACE || ns->href == nullptr ||
                xmlStrEqual(ns->prefix, Xml("xml")))
                continue;
            if (ns->prefix != nullptr) {
                append(" xmlns:", 7);
                append(ns->prefix);
            } else {
                append(" xmlns", 6);
            }
            append('=');
            appendQuoted(ns->href);
        }
        for (const xmlAttr *attribute = element->properties; attribute != nullptr;
             attribute = attribute->next) {
            append(' ');
            appendName(reinterpret_cast<const xmlNode *>(attribute));
            append("=\"", 2);
            for (const xmlNode *part = attribute->children; part != nullptr; part = part->next) {
                if (part->type != XML_TEXT_NODE)
                    return false;
                if (part->content != nullptr)
                    appendAttributeText(part->content, attribute->doc);
            }
            append('"');
        }
        return true;
    }
    // One node and what it holds, in document order without recursion.
    bool writeTree(const xmlNode *top)
    {
        const xmlNode *node = top;
        while (true) {
            switch (node->type) {
            case XML_ELEMENT_NODE:
                if (!appendStartTag(node))
                    return false;
                if (node->children == nullptr) {
                    append("/>", 2);
                    break;
                }
                append('>');
                node = node->children;
                continue;
            case XML_TEXT_NODE:
                if (node->name != xmlStringText)
                    return false;
                if (node->content != nullptr)
                    appendText(node->content);
                break;
            case XML_COMMENT_NODE:
                if (node->content != nullptr) {
                    append("<!--", 4);
                    append(node->content);
                    append("-->", 3);
                }
                break;
            case XML_PI_NODE:
                append("<?", 2);
                append(node->name);
                if (node->content != nullptr) {
                    append(' ');
                    append(node->content);
                }
                append("?>", 2);
                break;
            default:
                return false;
            }
            // On to the next node, closing the elements left on the way up.
            while (node != top && node->next == nullptr) {
                node = node->parent;
                append("</", 2);
                appendName(node);
                append('>');
            }
            if (node == top)
                return true;
            node = node->next;
        }
    }

    const xmlDoc *m_doc;
    // The thread's buffer, grown to the largest document written and reused for the next.
    static QByteArray &Scratch()
    {
        thread_local QByteArray bytes;
        return bytes;
    }
    QByteArray &m_bytes;
    qsizetype m_size = 0;
};

QString DumpNodes(xmlDoc *doc, xmlNode *node, bool siblings)
{
    const QByteArray utf8 = DumpNodesUtf8(doc, node, siblings);
    return FromUtf8(utf8.constData(), utf8.size());
}

// Replaces the content of a text node. A short text is kept inside the node, where the
// parser keeps short texts under XML_PARSE_COMPACT and where libxml2 knows to find it when
// it changes or frees the node: most fields hold a number, and this spares them an
// allocation each.
void SetTextContent(xmlNode *textNode, const Utf8Buffer &utf8)
{
    static_assert(offsetof(xmlNode, nsDef) == offsetof(xmlNode, properties) + sizeof(void *));
    constexpr qsizetype Inline = qsizetype(2 * sizeof(void *)); // properties and nsDef
    if (utf8.size() >= Inline) {
        xmlNodeSetContentLen(textNode, utf8.xml(), int(utf8.size()));
        return;
    }
    xmlNodeSetContent(textNode, nullptr); // frees the old text wherever it is kept
    auto *storage = reinterpret_cast<xmlChar *>(&textNode->properties);
    std::memcpy(storage, utf8.data(), size_t(utf8.size()) + 1);
    textNode->content = storage;
}

// Whether an element written alone might use a namespace declared outside it: an ancestor
// declares one, or the element was taken out of its tree.
bool BorrowsNamespaces(const xmlNode *element)
{
    if (element->parent == nullptr)
        return true;
    for (const xmlNode *n = element->parent; n != nullptr && n->type == XML_ELEMENT_NODE;
         n = n->parent) {
        if (n->nsDef != nullptr)
            return true;
    }
    return false;
}

} // namespace

namespace detail {

// A view of a name, as the child index keys it. Hashed by the standard library, which reads
// the name's bytes only (Qt's hash of a short view may read around it, which memory checkers
// report as reads outside the block).
struct NameKey
{
    std::string_view name;
    friend bool operator==(NameKey a, NameKey b) { return a.name == b.name; }
    friend size_t qHash(NameKey key, size_t seed)
    {
        return std::hash<std::string_view>()(key.name) ^ seed;
    }
};

struct XmlDocumentData
{
    explicit XmlDocumentData(xmlDocPtr d) : doc(d) {}
    ~XmlDocumentData()
    {
        for (xmlNode *node : detached)
            xmlFreeNode(node);
        xmlFreeDoc(doc);
    }
    XmlDocumentData(const XmlDocumentData &) = delete;
    XmlDocumentData &operator=(const XmlDocumentData &) = delete;

    // Takes a node out of the tree but keeps it, since handles may still point into it.
    void detach(xmlNode *node)
    {
        childrenChanged(node->parent);
        xmlUnlinkNode(node);
        detached.push_back(node);
    }

    // The first element child of that qualified name. Documents are read and written field
    // by field, and a price/cost document holds a few hundred fields: scanning them for every
    // field was most of the cost of a line. So the children of a parent asked twice in a row
    // are indexed by name, until they change. Element nodes are never freed while the
    // document lives (see detach), so the pointers kept here stay valid, and so do their
    // names, which the index keys view.
    xmlNode *findChild(xmlNode *parent, const Utf8Buffer &name);
    void childrenChanged(const xmlNode *parent)
    {
        if (parent == indexed) {
            indexed = nullptr;
            byName.clear();
        }
        if (parent == fewChildren)
            fewChildren = nullptr;
    }
    void childAppended(const xmlNode *parent, xmlNode *child)
    {
        if (parent == indexed)
            keepFirst(child);
        if (parent == fewChildren)
            fewChildren = nullptr;
    }
    // Prefixed children stay out of the index: names with a prefix are looked up by a scan.
    void keepFirst(xmlNode *child)
    {
        if (HasPrefix(child))
            return;
        xmlNode *&first = byName[NameKey{reinterpret_cast<const char *>(child->name)}];
        if (first == nullptr)
            first = child;
    }

    // The result of an expression evaluated at a node; null when it does not compile or fails.
    xmlXPathObjectPtr evaluate(xmlNode *node, const QString &expression);

    xmlDocPtr doc;
    std::vector<xmlNode *> detached;

    const xmlNode *lastParent = nullptr;
    const xmlNode *indexed = nullptr;
    QHash<NameKey, xmlNode *> byName;     // of `indexed`, keyed by the nodes' own names
    const xmlNode *fewChildren = nullptr; // asked twice, but too few children to index
};

xmlNode *XmlDocumentData::findChild(xmlNode *parent, const Utf8Buffer &name)
{
    // Below this many element children a scan costs no more than a lookup.
    constexpr int IndexFrom = 16;
    const auto lookUp = [&]() -> xmlNode * {
        if (name.hasNul() || std::memchr(name.data(), ':', size_t(name.size())) != nullptr)
            return NextElement(parent->children, name);
        const auto it =
            byName.constFind(NameKey{std::string_view(name.data(), size_t(name.size()))});
        return it == byName.constEnd() ? nullptr : *it;
    };
    if (parent == indexed)
        return lookUp();
    const bool again = parent == lastParent;
    lastParent = parent;
    if (!again || parent == fewChildren)
        return NextElement(parent->children, name);
    int elements = 0;
    for (const xmlNode *child = parent->children; child != nullptr; child = child->next)
        elements += child->type == XML_ELEMENT_NODE;
    if (elements < IndexFrom) {
        fewChildren = parent;
        return NextElement(parent->children, name);
    }
    indexed = parent;
    byName.clear();
    byName.reserve(elements);
    for (xmlNode *child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            keepFirst(child);
    }
    return lookUp();
}

} // namespace detail

namespace {

void StringCompareFunction(xmlXPathParserContextPtr ctxt, int nargs)
{
    if (nargs < 2 || nargs > 4) {
        xmlXPathErr(ctxt, XPATH_INVALID_ARITY);
        return;
    }
    QString arguments[4];
    for (int i = nargs - 1; i >= 0; --i) {
        xmlChar *value = xmlXPathPopString(ctxt);
        if (value != nullptr)
            arguments[i] = FromXml(value);
        xmlFree(value);
    }
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    xmlXPathReturnNumber(ctxt,
                         MsStringCompare(arguments[0], arguments[1], arguments[2], arguments[3]));
}

xmlXPathContextPtr NewContext()
{
    xmlXPathContextPtr xpath = xmlXPathNewContext(nullptr);
    if (xpath == nullptr)
        return nullptr;
    xpath->error = QuietError;
    xpath->opLimit = XPathOperationLimit;
    xmlXPathRegisterNs(xpath, Xml("ms"), Xml(MsXsltNamespace));
    xmlXPathRegisterFuncNS(xpath, Xml("string-compare"), Xml(MsXsltNamespace),
                           StringCompareFunction);
    return xpath;
}

// One context per thread serves every document: a context holds two hash tables of its own,
// and a long run keeps many documents alive at once.
xmlXPathContextPtr SharedContext()
{
    thread_local const std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> context(
        NewContext(), xmlXPathFreeContext);
    return context.get();
}

// A location path of plain names, from the context node, from the root ("/") or from
// anywhere in the document ("//"): "Records/Record", "//ItemData/Options/Option". Such paths
// are most of the component's selections, and a walk of the tree answers them for a small
// part of what compiling and running the expression costs.
class SimplePath
{
public:
    enum Start { Context, Root, Anywhere };

    // False when the expression is anything else (then XPath answers it).
    bool read(const Utf8Buffer &expression)
    {
        std::string_view rest(expression.data(), size_t(expression.size()));
        m_start = Context;
        if (rest.substr(0, 2) == "//") {
            m_start = Anywhere;
            rest.remove_prefix(2);
        } else if (rest.substr(0, 1) == "/") {
            m_start = Root;
            rest.remove_prefix(1);
        }
        while (true) {
            const size_t end = std::min(rest.find('/'), rest.size());
            const std::string_view step = rest.substr(0, end);
            if (!IsStepName(step) || m_size == MaxSteps)
                return false;
            m_steps[m_size++] = step;
            if (end == rest.size())
                return true;
            rest.remove_prefix(end + 1);
        }
    }

    // The selected elements in document order.
    void select(xmlNode *context, xmlDoc *doc, xmlNodeSet *found) const
    {
        if (m_start == Context)
            collect(context, 0, found);
        else if (m_start == Root)
            collect(reinterpret_cast<xmlNode *>(doc), 0, found);
        else
            collectAnywhere(reinterpret_cast<xmlNode *>(doc), found);
    }

private:
    static constexpr size_t MaxSteps = 8;

    // A name an XPath name test reads as such: no prefix, and none of the words that can
    // also be operators or node types.
    static bool IsStepName(std::string_view step)
    {
        if (step.empty() || !NameStart[static_cast<unsigned char>(step[0])])
            return false;
        for (const char c : step) {
            if (!NameChar[static_cast<unsigned char>(c)])
                return false;
        }
        for (const std::string_view word :
             {"and", "or", "div", "mod", "node", "text", "comment", "processing-instruction"}) {
            if (step == word)
                return false;
        }
        return true;
    }
    // What the name test selects: an element of that name in no namespace.
    static bool Matches(const xmlNode *node, std::string_view step)
    {
        if (node->type != XML_ELEMENT_NODE || node->ns != nullptr)
            return false;
        const auto *name = reinterpret_cast<const char *>(node->name);
        return std::strncmp(name, step.data(), step.size()) == 0 && name[step.size()] == '\0';
    }

    void collect(xmlNode *parent, size_t step, xmlNodeSet *found) const
    {
        for (xmlNode *child = parent->children; child != nullptr; child = child->next) {
            if (!Matches(child, m_steps[step]))
                continue;
            if (step + 1 == m_size)
                xmlXPathNodeSetAddUnique(found, child);
            else
                collect(child, step + 1, found);
        }
    }
    // Every element that ends the path, found by a walk in document order and kept when its
    // ancestors spell the rest of the path.
    void collectAnywhere(xmlNode *top, xmlNodeSet *found) const
    {
        for (xmlNode *node = top->children; node != nullptr && node != top;) {
            if (node->type == XML_ELEMENT_NODE) {
                if (Matches(node, m_steps[m_size - 1]) && AncestorsMatch(node))
                    xmlXPathNodeSetAddUnique(found, node);
                if (node->children != nullptr) {
                    node = node->children;
                    continue;
                }
            }
            while (node != top && node->next == nullptr)
                node = node->parent;
            if (node != top)
                node = node->next;
        }
    }
    bool AncestorsMatch(const xmlNode *node) const
    {
        for (size_t step = m_size - 1; step > 0; --step) {
            node = node->parent;
            if (node == nullptr || !Matches(node, m_steps[step - 1]))
                return false;
        }
        return true;
    }

    Start m_start = Context;
    std::array<std::string_view, MaxSteps> m_steps;
    size_t m_size = 0;
};

} // namespace

xmlXPathObjectPtr detail::XmlDocumentData::evaluate(xmlNode *node, const QString &expression)
{
    const Utf8Buffer text(expression, Utf8Buffer::Name);
    xmlXPathContextPtr ctx = SharedContext();
    // libxml2 reads the expression as a C string: an embedded NUL would cut it short.
    if (ctx == nullptr || text.isEmpty() || text.hasNul())
        return nullptr;
    SimplePath path;
    if (node->type != XML_ATTRIBUTE_NODE && path.read(text)) {
        xmlXPathObjectPtr result = xmlXPathNewNodeSet(nullptr);
        if (result != nullptr && result->nodesetval != nullptr)
            path.select(node, doc, result->nodesetval);
        return result;
    }
    const QuietGenericErrors quiet;
    ctx->doc = doc;
    ctx->node = node;
    ctx->contextSize = -1;
    ctx->proximityPosition = -1;
    ctx->opCount = 0;
    xmlXPathCompExprPtr compiled = xmlXPathCtxtCompile(ctx, text.xml());
    if (compiled == nullptr)
        return nullptr;
    ctx->opCount = 0;
    xmlXPathObjectPtr result = xmlXPathCompiledEval(compiled, ctx);
    xmlXPathFreeCompExpr(compiled);
    if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr)
        xmlXPathNodeSetSort(result->nodesetval);
    return result;
}

// ---- XmlNode

XmlNode::XmlNode(std::shared_ptr<detail::XmlDocumentData> doc, _xmlNode *node)
    : m_doc(node ? std::move(doc) : nullptr), m_node(node)
{}

bool XmlNode::isDocument() const
{
    return m_node && m_node->type == XML_DOCUMENT_NODE;
}
bool XmlNode::isElement() const
{
    return m_node && m_node->type == XML_ELEMENT_NODE;
}
bool XmlNode::isAttribute() const
{
    return m_node && m_node->type == XML_ATTRIBUTE_NODE;
}

QString XmlNode::nodeName() const
{
    if (m_node == nullptr)
        return {};
    if (m_node->type == XML_DOCUMENT_NODE)
        return QStringLiteral("#document");
    const QString local = FromXml(m_node->name);
    if (m_node->ns != nullptr && m_node->ns->prefix != nullptr)
        return FromXml(m_node->ns->prefix) + QLatin1Char(':') + local;
    return local;
}

QString XmlNode::text() const
{
    return m_node ? NodeText(m_node) : QString();
}

bool XmlNode::setText(const QString &text) const
{
    if (m_node == nullptr)
        return false;
    const Utf8Buffer utf8(text, Utf8Buffer::SafeText);
    if (m_node->type == XML_ATTRIBUTE_NODE) {
        // Through the owner, which keeps the attribute node and replaces only its value.
        auto *attribute = reinterpret_cast<xmlAttr *>(m_node);
        return attribute->parent != nullptr && xmlSetNsProp(attribute->parent, attribute->ns,
                                                            attribute->name, utf8.xml()) != nullptr;
    }
    if (m_node->type != XML_ELEMENT_NODE)
        return false;
    xmlNode *only = m_node->children;
    if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE &&
        only->name == xmlStringText) {
        // A field written again: its one text node takes the new text.
        if (utf8.isEmpty()) {
            xmlUnlinkNode(only);
            xmlFreeNode(only);
        } else {
            SetTextContent(only, utf8);
        }
        return true;
    }
    xmlNode *text_node = nullptr;
    if (!utf8.isEmpty()) {
        text_node = xmlNewDocTextLen(m_doc->doc, nullptr, 0);
        if (text_node == nullptr)
            return false;
        SetTextContent(text_node, utf8);
    }
    for (xmlNode *child = m_node->children; child != nullptr;) {
        xmlNode *next = child->next;
        if (child->type == XML_ELEMENT_NODE) {
            m_doc->detach(child);
        } else {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        child = next;
    }
    m_doc->childrenChanged(m_node);
    if (text_node != nullptr)
        xmlAddChild(m_node, text_node);
    return true;
}

XmlDocument XmlNode::ownerDocument() const
{
    return XmlDocument(m_doc);
}

XmlNode XmlNode::parentNode() const
{
    if (m_node == nullptr || m_node->parent == nullptr)
        return {};
    return XmlNode(m_doc, m_node->parent);
}

XmlNode XmlNode::firstChildElement(const QString &name) const
{
    if (!CanHoldElements(m_node))
        return {};
    if (name.isEmpty())
        return XmlNode(m_doc, NextElement(m_node->children));
    return XmlNode(m_doc, m_doc->findChild(m_node, Utf8Buffer(name, Utf8Buffer::Name)));
}

XmlNode XmlNode::nextSiblingElement(const QString &name) const
{
    if (m_node == nullptr || m_node->type != XML_ELEMENT_NODE)
        return {};
    return XmlNode(m_doc, NextElement(m_node->next, Utf8Buffer(name, Utf8Buffer::Name)));
}

QList<XmlNode> XmlNode::childElements(const QString &name) const
{
    QList<XmlNode> elements;
    if (!CanHoldElements(m_node))
        return elements;
    const Utf8Buffer utf8(name, Utf8Buffer::Name);
    for (xmlNode *child = NextElement(m_node->children, utf8); child != nullptr;
         child = NextElement(child->next, utf8))
        elements.append(XmlNode(m_doc, child));
    return elements;
}

QList<XmlNode> XmlNode::descendantElements(const QString &name) const
{
    QList<XmlNode> elements;
    if (!CanHoldElements(m_node))
        return elements;
    const Utf8Buffer utf8(name, Utf8Buffer::Name);
    if (utf8.hasNul())
        return elements;
    // Iterative pre-order walk: document order, and no recursion on deep trees.
    xmlNode *node = m_node->children;
    while (node != nullptr && node != m_node) {
        if (node->type == XML_ELEMENT_NODE) {
            if (utf8.isEmpty() || QualifiedNameEquals(node, utf8.data(), utf8.size()))
                elements.append(XmlNode(m_doc, node));
            if (node->children != nullptr) {
                node = node->children;
                continue;
            }
        }
        while (node != m_node && node->next == nullptr)
            node = node->parent;
        if (node != m_node)
            node = node->next;
    }
    return elements;
}

XmlNode XmlNode::treeRoot() const
{
    if (m_node == nullptr)
        return {};
    xmlNode *top = m_node->type == XML_ATTRIBUTE_NODE ? m_node->parent : m_node;
    while (top != nullptr && top->parent != nullptr)
        top = top->parent;
    return XmlNode(m_doc, top ? top : m_node);
}

bool XmlNode::hasNamespace() const
{
    return m_node != nullptr && m_node->ns != nullptr;
}

namespace {

// appendElement, the name read.
xmlNode *AppendElement(detail::XmlDocumentData &doc, xmlNode *parent, const Utf8Buffer &name)
{
    if (!IsPlainName(name))
        return nullptr;
    if (parent->type == XML_DOCUMENT_NODE && xmlDocGetRootElement(doc.doc) != nullptr)
        return nullptr;
    xmlNode *element = xmlNewDocNode(doc.doc, nullptr, name.xml(), nullptr);
    if (element == nullptr)
        return nullptr;
    if (xmlAddChild(parent, element) == nullptr) {
        xmlFreeNode(element);
        return nullptr;
    }
    doc.childAppended(parent, element);
    return element;
}

} // namespace

XmlNode XmlNode::appendElement(const QString &name) const
{
    if (!CanHoldElements(m_node))
        return {};
    return XmlNode(m_doc, AppendElement(*m_doc, m_node, Utf8Buffer(name, Utf8Buffer::Name)));
}

XmlNode XmlNode::firstChildElementOrAppend(const QString &name) const
{
    if (!CanHoldElements(m_node) || name.isEmpty())
        return {};
    const Utf8Buffer utf8(name, Utf8Buffer::Name);
    if (xmlNode *child = m_doc->findChild(m_node, utf8))
        return XmlNode(m_doc, child);
    return XmlNode(m_doc, AppendElement(*m_doc, m_node, utf8));
}

XmlNode XmlNode::appendCopy(const XmlNode &source) const
{
    if (!CanHoldElements(m_node) || !source.isElement())
        return {};
    if (m_node->type == XML_DOCUMENT_NODE && xmlDocGetRootElement(m_doc->doc) != nullptr)
        return {};
    xmlNode *copy = xmlDocCopyNode(source.m_node, m_doc->doc, 1);
    if (copy == nullptr)
        return {};
    if (xmlAddChild(m_node, copy) == nullptr) {
        xmlFreeNode(copy);
        return {};
    }
    // A copy from another document may use namespaces declared above the source.
    xmlReconciliateNs(m_doc->doc, copy);
    m_doc->childrenChanged(m_node);
    return XmlNode(m_doc, copy);
}

bool XmlNode::removeChild(const XmlNode &child) const
{
    if (m_node == nullptr || !child.isElement() || child.m_node->parent != m_node ||
        child.m_doc != m_doc)
        return false;
    m_doc->detach(child.m_node);
    return true;
}

std::optional<QString> XmlNode::attribute(const QString &name) const
{
    if (!isElement())
        return std::nullopt;
    const Utf8Buffer utf8(name, Utf8Buffer::Name);
    if (utf8.hasNul())
        return std::nullopt;
    xmlAttr *attribute = xmlHasNsProp(m_node, utf8.xml(), nullptr);
    if (attribute == nullptr || attribute->type != XML_ATTRIBUTE_NODE)
        return std::nullopt;
    return NodeText(reinterpret_cast<xmlNode *>(attribute));
}

bool XmlNode::setAttribute(const QString &name, const QString &value) const
{
    if (!isElement())
        return false;
    const Utf8Buffer utf8(name, Utf8Buffer::Name);
    if (!IsPlainName(utf8))
        return false;
    return xmlSetNsProp(m_node, nullptr, utf8.xml(),
                        Utf8Buffer(value, Utf8Buffer::SafeText).xml()) != nullptr;
}

XmlNode XmlNode::selectSingleNode(const QString &xpath) const
{
    if (m_node == nullptr)
        return {};
    xmlXPathObjectPtr result = m_doc->evaluate(m_node, xpath);
    XmlNode found;
    if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr) {
        const xmlNodeSet *set = result->nodesetval;
        for (int i = 0; i < set->nodeNr && found.isNull(); ++i) {
            if (IsHandleKind(set->nodeTab[i]))
                found = XmlNode(m_doc, set->nodeTab[i]);
        }
    }
    xmlXPathFreeObject(result);
    return found;
}

QList<XmlNode> XmlNode::selectNodes(const QString &xpath) const
{
    return trySelectNodes(xpath).value_or(QList<XmlNode>());
}

std::optional<QList<XmlNode>> XmlNode::trySelectNodes(const QString &xpath) const
{
    if (m_node == nullptr)
        return std::nullopt;
    xmlXPathObjectPtr result = m_doc->evaluate(m_node, xpath);
    if (result == nullptr || result->type != XPATH_NODESET) {
        xmlXPathFreeObject(result);
        return std::nullopt;
    }
    QList<XmlNode> nodes;
    // An empty node set may come without its set.
    if (const xmlNodeSet *set = result->nodesetval) {
        for (int i = 0; i < set->nodeNr; ++i) {
            if (IsHandleKind(set->nodeTab[i]))
                nodes.append(XmlNode(m_doc, set->nodeTab[i]));
        }
    }
    xmlXPathFreeObject(result);
    return nodes;
}

std::optional<QString> XmlNode::selectText(const QString &xpath) const
{
    if (m_node == nullptr)
        return std::nullopt;
    xmlXPathObjectPtr result = m_doc->evaluate(m_node, xpath);
    std::optional<QString> text;
    if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr &&
        result->nodesetval->nodeNr > 0)
        text = NodeText(result->nodesetval->nodeTab[0]);
    xmlXPathFreeObject(result);
    return text;
}

QString XmlNode::xml() const
{
    if (m_node == nullptr)
        return {};
    if (m_node->type == XML_DOCUMENT_NODE)
        return ownerDocument().xml();
    if (m_node->type == XML_ATTRIBUTE_NODE) {
        // libxml2 writes an attribute as it stands in its element, after a space.
        const QString text = DumpNodes(m_doc->doc, m_node, false);
        return text.startsWith(QLatin1Char(' ')) ? text.mid(1) : text;
    }
    if (!BorrowsNamespaces(m_node))
        return DumpNodes(m_doc->doc, m_node, false);
    // A copy standing alone declares on itself every namespace it takes from outside.
    xmlNode *copy = xmlDocCopyNode(m_node, m_doc->doc, 1);
    if (copy == nullptr)
        return {};
    const QString text = DumpNodes(m_doc->doc, copy, false);
    xmlFreeNode(copy);
    return text;
}

namespace {

// A document's text as UTF-8 for the parser. Lone surrogates have no UTF-8 form, and
// converting would silently change the text: nothing then. One pass both converts and finds
// them.
std::optional<QByteArray> DocumentUtf8(const QString &text)
{
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QByteArray utf8 = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return utf8;
}

} // namespace

// ---- XmlDocument

std::optional<XmlDocument> XmlDocument::create(const QString &rootName)
{
    const Utf8Buffer name(rootName, Utf8Buffer::Name);
    if (!IsPlainName(name))
        return std::nullopt;
    EnsureLibxmlInitialised();
    xmlDocPtr doc = xmlNewDoc(Xml("1.0"));
    if (doc == nullptr)
        return std::nullopt;
    auto data = std::make_shared<detail::XmlDocumentData>(doc);
    xmlNode *root = xmlNewDocNode(doc, nullptr, name.xml(), nullptr);
    if (root == nullptr)
        return std::nullopt;
    xmlDocSetRootElement(doc, root);
    return XmlDocument(std::move(data));
}

std::optional<XmlDocument> XmlDocument::parse(const QString &text, const XmlParseLimits &limits)
{
    if (text.isEmpty() || text.size() > limits.maxBytes)
        return std::nullopt;
    const std::optional<QByteArray> utf8 = DocumentUtf8(text);
    if (!utf8)
        return std::nullopt;
    return parse(*utf8, limits);
}

std::optional<XmlDocument> XmlDocument::parse(const QByteArray &utf8, const XmlParseLimits &limits)
{
    if (utf8.isEmpty() || utf8.size() > limits.maxBytes || utf8.size() > INT_MAX)
        return std::nullopt;
    EnsureLibxmlInitialised();
    const QuietGenericErrors quiet;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (ctxt == nullptr)
        return std::nullopt;
    ctxt->sax->internalSubset = RejectDocumentType;
    ctxt->sax->serror = QuietError;
    xmlDocPtr doc =
        xmlCtxtReadMemory(ctxt, utf8.constData(), int(utf8.size()), nullptr, "UTF-8", ParseOptions);
    const bool accepted = doc != nullptr && ctxt->wellFormed && ctxt->nsWellFormed &&
                          doc->intSubset == nullptr && doc->extSubset == nullptr &&
                          xmlDocGetRootElement(doc) != nullptr;
    xmlFreeParserCtxt(ctxt);
    if (!accepted) {
        xmlFreeDoc(doc);
        return std::nullopt;
    }
    return XmlDocument(std::make_shared<detail::XmlDocumentData>(doc));
}

std::optional<XmlDocument> XmlDocument::clone() const
{
    xmlDocPtr copy = xmlCopyDoc(d->doc, 1);
    if (copy == nullptr)
        return std::nullopt;
    return XmlDocument(std::make_shared<detail::XmlDocumentData>(copy));
}

namespace {

// A reading of a document without building it: the parser reports elements and text to the
// scan, which keeps what it wants. The parser checks everything it checks for parse().
class ElementScan
{
public:
    virtual ~ElementScan() = default;
    // depth: 0 for the root element.
    virtual void start(const char *name, bool prefixed, bool inNamespace, int depth) = 0;
    virtual void end(int depth) = 0;
    virtual void characters(const char *text, int length) = 0;

    int depth = 0;
    bool sawRoot = false;
};

ElementScan &scanOf(void *ctx)
{
    return *static_cast<ElementScan *>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

void ScanStartElement(void *ctx, const xmlChar *localname, const xmlChar *prefix,
                      const xmlChar *uri, int, const xmlChar **, int, int, const xmlChar **)
{
    ElementScan &scan = scanOf(ctx);
    scan.sawRoot = true;
    scan.start(reinterpret_cast<const char *>(localname), prefix != nullptr, uri != nullptr,
               scan.depth);
    ++scan.depth;
}

void ScanEndElement(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
{
    ElementScan &scan = scanOf(ctx);
    --scan.depth;
    scan.end(scan.depth);
}

void ScanCharacters(void *ctx, const xmlChar *text, int length)
{
    scanOf(ctx).characters(reinterpret_cast<const char *>(text), length);
}

// Runs the scan over the text; false when parse() would refuse the text.
bool RunScan(const QByteArray &utf8, const XmlParseLimits &limits, ElementScan &scan)
{
    if (utf8.isEmpty() || utf8.size() > limits.maxBytes || utf8.size() > INT_MAX)
        return false;
    // A NUL is never part of a document; without one, UTF-8 bytes cannot pass for any other
    // encoding, so the parser may read them as they are instead of converting them.
    if (utf8.contains('\0'))
        return false;
    EnsureLibxmlInitialised();
    const QuietGenericErrors quiet;
    // One parser for the many documents of a list; it starts afresh before its names pile up
    // (each document's element names stay in its dictionary).
    struct FreeContext
    {
        void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
    };
    thread_local std::unique_ptr<xmlParserCtxt, FreeContext> reused;
    if (reused && reused->dict && xmlDictSize(reused->dict) > 4096)
        reused.reset();
    if (!reused)
        reused.reset(xmlNewParserCtxt());
    xmlParserCtxtPtr ctxt = reused.get();
    if (ctxt == nullptr)
        return false;
    ctxt->_private = &scan;
    ctxt->sax->internalSubset = RejectDocumentType;
    ctxt->sax->serror = QuietError;
    ctxt->sax->startElementNs = ScanStartElement;
    ctxt->sax->endElementNs = ScanEndElement;
    ctxt->sax->characters = ScanCharacters;
    ctxt->sax->cdataBlock = ScanCharacters;
    ctxt->sax->reference = nullptr;
    ctxt->sax->comment = nullptr;
    ctxt->sax->processingInstruction = nullptr;
    xmlDocPtr doc =
        xmlCtxtReadMemory(ctxt, utf8.constData(), int(utf8.size()), nullptr, nullptr, ParseOptions);
    const bool accepted = doc != nullptr && ctxt->wellFormed && ctxt->nsWellFormed &&
                          doc->intSubset == nullptr && doc->extSubset == nullptr && scan.sawRoot;
    xmlFreeDoc(doc);
    ctxt->myDoc = nullptr;
    ctxt->_private = nullptr;
    return accepted;
}

bool RunScan(const QString &text, const XmlParseLimits &limits, ElementScan &scan)
{
    // The same refusals as parse(), so that a list shows what the full reading would. One
    // pass both converts and finds lone surrogates.
    if (text.isEmpty() || text.size() > limits.maxBytes)
        return false;
    const std::optional<QByteArray> utf8 = DocumentUtf8(text);
    return utf8 && RunScan(*utf8, limits, scan);
}

// The first child of that name under the root of that name.
class RootChildScan : public ElementScan
{
public:
    RootChildScan(const char *rootName, const char *childName)
        : m_rootName(rootName), m_childName(childName)
    {}
    void start(const char *name, bool prefixed, bool inNamespace, int depth) override
    {
        if (depth == 0)
            m_rootMatches = !prefixed && std::strcmp(name, m_rootName) == 0;
        else if (depth == 1 && m_rootMatches && !m_childDone && !inNamespace &&
                 std::strcmp(name, m_childName) == 0)
            m_inChild = true;
    }
    void end(int depth) override
    {
        if (m_inChild && depth == 1) {
            m_inChild = false;
            m_childDone = true;
        }
    }
    void characters(const char *text, int length) override
    {
        if (m_inChild)
            m_text.append(text, length);
    }
    QString text() const { return FromUtf8(m_text.constData(), m_text.size()); }

private:
    const char *m_rootName;
    const char *m_childName;
    bool m_rootMatches = false;
    bool m_inChild = false;
    bool m_childDone = false;
    QByteArray m_text;
};

// The fields of every element at the end of a chain of element names, wherever the chain
// starts: what "//A/B/C" selects in a document without namespaces.
class ElementFieldsScan : public ElementScan
{
public:
    ElementFieldsScan(const QList<QByteArray> &path, const QList<QByteArray> &fields)
        : m_path(path), m_fields(fields)
    {}
    void start(const char *name, bool, bool inNamespace, int depth) override
    {
        // The parser keeps element names in its dictionary for the whole document.
        m_open.resize(size_t(depth));
        m_open.push_back(inNamespace ? nullptr : name);
        if (m_record >= 0) {
            if (depth == m_record + 1 && m_field < 0 && !inNamespace) {
                for (qsizetype f = 0; f < m_fields.size(); ++f) {
                    if (!m_seen[size_t(f)] && std::strcmp(m_fields[f].constData(), name) == 0) {
                        m_field = int(f);
                        m_seen[size_t(f)] = true;
                        break;
                    }
                }
            }
            return;
        }
        if (depth + 1 < m_path.size())
            return;
        for (qsizetype i = 0; i < m_path.size(); ++i) {
            const char *open = m_open[size_t(depth + 1 - m_path.size() + i)];
            if (open == nullptr || std::strcmp(m_path[i].constData(), open) != 0)
                return;
        }
        m_record = depth;
        m_seen.assign(size_t(m_fields.size()), false);
        // One slot per field of this record, all records in one vector.
        m_base = m_values.size();
        m_values.resize(m_base + size_t(m_fields.size()));
    }
    void end(int depth) override
    {
        if (m_field >= 0 && depth == m_record + 1)
            m_field = -1;
        else if (depth == m_record)
            m_record = -1;
    }
    void characters(const char *text, int length) override
    {
        if (m_field >= 0)
            m_values[m_base + size_t(m_field)].append(text, size_t(length));
    }
    QList<QStringList> records() const
    {
        QList<QStringList> result;
        const size_t width = size_t(m_fields.size());
        if (width == 0)
            return result;
        result.reserve(qsizetype(m_values.size() / width));
        for (size_t r = 0; r < m_values.size(); r += width) {
            QStringList texts;
            texts.reserve(qsizetype(width));
            for (size_t f = 0; f < width; ++f)
                texts << FromUtf8(m_values[r + f].data(), qsizetype(m_values[r + f].size()));
            result << texts;
        }
        return result;
    }

private:
    QList<QByteArray> m_path;
    QList<QByteArray> m_fields;
    std::vector<const char *> m_open; // the open elements' names, null when in a namespace
    int m_record = -1;                // depth of the element being read, or -1
    int m_field = -1;                 // the field being read, or -1
    size_t m_base = 0;                // the first slot of the record being read
    std::vector<bool> m_seen;
    std::vector<std::string> m_values;
};

} // namespace

std::optional<QString> XmlDocument::readRootChildText(const QString &text, const char *rootName,
                                                      const char *childName,
                                                      const XmlParseLimits &limits)
{
    RootChildScan scan(rootName, childName);
    if (!RunScan(text, limits, scan))
        return std::nullopt;
    return scan.text();
}

std::optional<QString> XmlDocument::readRootChildText(const QByteArray &utf8, const char *rootName,
                                                      const char *childName,
                                                      const XmlParseLimits &limits)
{
    RootChildScan scan(rootName, childName);
    if (!RunScan(utf8, limits, scan))
        return std::nullopt;
    return scan.text();
}

std::optional<QList<QStringList>> XmlDocument::readElementFields(const QString &text,
                                                                 const QList<QByteArray> &path,
                                                                 const QList<QByteArray> &fields,
                                                                 const XmlParseLimits &limits)
{
    if (path.isEmpty())
        return std::nullopt;
    ElementFieldsScan scan(path, fields);
    if (!RunScan(text, limits, scan))
        return std::nullopt;
    return scan.records();
}

XmlNode XmlDocument::node() const
{
    return XmlNode(d, reinterpret_cast<xmlNode *>(d->doc));
}

XmlNode XmlDocument::documentElement() const
{
    return XmlNode(d, xmlDocGetRootElement(d->doc));
}

QString XmlDocument::xml() const
{
    return DocumentTextFromUtf8(xmlUtf8());
}

QByteArray XmlDocument::xmlUtf8() const
{
    QByteArray text;
    withXmlUtf8([&text](QByteArrayView utf8) { text = utf8.toByteArray(); });
    return text;
}

void XmlDocument::withXmlUtf8(const std::function<void(QByteArrayView)> &use) const
{
    // The declaration is written here rather than by libxml2, which would name the encoding:
    // the text travels as UTF-16, so naming UTF-8 would be wrong once it is stored.
    const char *declaration = "<?xml version=\"1.0\"?>\n";
    DocumentWriter writer(d->doc);
    if (writer.write(declaration)) {
        use(writer.view());
        return;
    }
    use(DumpNodesUtf8(d->doc, d->doc->children, true, declaration));
}

QString DocumentTextFromUtf8(QByteArrayView utf8)
{
    return FromUtf8(utf8.data(), utf8.size());
}

// ---- ms:string-compare

namespace {

template <typename Char>
int Sign(Char a, Char b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

int MsStringCompare(const QString &a, const QString &b, const QString &, const QString &options)
{
    const bool ignoreCase = options.contains(QLatin1Char('i'), Qt::CaseInsensitive);
    const bool upperFirst = options.contains(QLatin1Char('u'), Qt::CaseInsensitive);
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0 ? -1 : 1;
    if (ignoreCase)
        return 0;
    // Equal but for case: the first letter that differs decides.
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i) {
        const QChar x = a.at(i);
        const QChar y = b.at(i);
        if (x == y)
            continue;
        if (x.isUpper() != y.isUpper())
            return (x.isUpper() == upperFirst) ? -1 : 1;
        return Sign(x.unicode(), y.unicode());
    }
    return Sign(a.size(), b.size());
}

} // namespace zeltpc5
