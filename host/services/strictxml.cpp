#include "host/services/strictxml.h"

#include <libxml/parser.h>

#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zeltpc5::host {

namespace {

constexpr std::string_view XmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view XmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// The limits of the readers downstream: QXmlStreamReader takes names of at most 4096 UTF-16
// units; libxml2 (without its "huge" option) elements nested at most 257 deep; the component
// documents of at most 8 MiB of UTF-8.
constexpr std::size_t MaxNameUnits = 4096;
constexpr std::size_t MaxDepth = 257;
constexpr qsizetype MaxDocumentBytes = 8 * 1024 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Every unit is part of a character XML can carry: no controls but tab and line ends, no
// U+FFFE or U+FFFF, no surrogate without its partner (it has no UTF-8 form). Nearly all text
// lies in U+0020..U+D7FF: a block of it is passed with one test per unit that the compiler
// can run many at a time; only a block holding something else is looked at closely.
bool HasOnlyXmlCharacters(QStringView text)
{
    const char16_t *const units = text.utf16();
    const qsizetype size = text.size();
    constexpr qsizetype Block = 64;
    qsizetype i = 0;
    for (;;) {
        for (; i + Block <= size; i += Block) {
            unsigned other = 0;
            for (qsizetype k = 0; k < Block; ++k)
                other |= unsigned(char16_t(units[i + k] - 0x20) >= char16_t(0xD800 - 0x20));
            if (other)
                break;
        }
        if (i >= size)
            return true;
        const qsizetype blockEnd = std::min(size, i + Block);
        for (; i < blockEnd; ++i) {
            const char16_t c = units[i];
            if (c >= 0x20 && c < 0xD800)
                continue;
            if (c < 0x20) {
                if (c == 0x9 || c == 0xA || c == 0xD)
                    continue;
                return false;
            }
            if (c <= 0xDBFF) {
                if (i + 1 < size && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                    ++i; // the pair may end past the block; the next block starts after it
                    continue;
                }
                return false;
            }
            if (c <= 0xDFFF || c == 0xFFFE || c == 0xFFFF)
                return false;
        }
    }
}

// The names of XML 1.0 (fifth edition), which libxml2 follows.
bool IsNameStartChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c)
{
    return IsNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The next character of valid UTF-8 (the text came from a QString).
char32_t NextChar(const char *&p)
{
    const auto b = static_cast<unsigned char>(*p++);
    if (b < 0x80)
        return b;
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> extra);
    for (int i = 0; i < extra; ++i)
        c = (c << 6) | (static_cast<unsigned char>(*p++) & 0x3F);
    return c;
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A name without a colon; nonAscii is set when it holds a character outside ASCII.
bool IsNCName(std::string_view name, bool &nonAscii, std::size_t &units)
{
    if (name.empty())
        return false;
    const char *p = name.data();
    const char *const end = p + name.size();
    const char32_t first = NextChar(p);
    if (!IsNameStartChar(first))
        return false;
    nonAscii |= first >= 0x80;
    units += first >= 0x10000 ? 2 : 1;
    while (p < end) {
        const char32_t c = NextChar(p);
        if (c == ':' || !IsNameChar(c))
            return false;
        nonAscii |= c >= 0x80;
        units += c >= 0x10000 ? 2 : 1;
    }
    return true;
}

bool IsNCName(std::string_view name, bool &nonAscii)
{
    std::size_t units = 0;
    return IsNCName(name, nonAscii, units) && units <= MaxNameUnits;
}

bool StartsAsName(std::string_view name)
{
    return !name.empty() && !(name.front() >= '0' && name.front() <= '9') && name.front() != '-' &&
           name.front() != '.';
}

// A name as pugixml took it (NUL-terminated): a prefix and a colon or none, then a local
// name, each of the two a name without a colon. pugixml has already held each ASCII byte of
// a name to the name characters and its first byte to the start characters (":" among
// them), so an ASCII name needs only its colon and the first character of the prefix and of
// the local name looked at. A name with other characters is checked whole, and nonAscii is
// set.
bool IsQName(const char *name, std::string_view &prefix, std::string_view &local, bool &nonAscii)
{
    const char *colon = nullptr;
    bool high = false;
    const char *p = name;
    for (; *p; ++p) {
        high |= (*p & 0x80) != 0;
        if (*p == ':') {
            if (colon)
                return false;
            colon = p;
        }
    }
    const std::string_view whole(name, std::size_t(p - name));
    if (colon) {
        prefix = whole.substr(0, std::size_t(colon - name));
        local = whole.substr(std::size_t(colon - name) + 1);
    } else {
        prefix = {};
        local = whole;
    }
    if (!high)
        return whole.size() <= MaxNameUnits && StartsAsName(local) &&
               (!colon || StartsAsName(prefix));
    nonAscii = true;
    std::size_t units = colon ? 1 : 0;
    return (!colon || IsNCName(prefix, nonAscii, units)) && IsNCName(local, nonAscii, units) &&
           units <= MaxNameUnits;
}

// A reference at p ("&...;"): the character it stands for and the end of its text. Only the
// five predefined entities (no document type may declare others) and references to
// characters XML can carry.
struct Reference
{
    char32_t c;
    const char *end;
};

std::optional<Reference> ReadReference(const char *p) // NUL-terminated
{
    ++p; // "&"
    if (*p == '#') {
        ++p;
        const bool hex = *p == 'x';
        if (hex)
            ++p;
        const char *const digits = p;
        char32_t value = 0;
        for (; *p && *p != ';'; ++p) {
            int d;
            if (*p >= '0' && *p <= '9')
                d = *p - '0';
            else if (hex && *p >= 'a' && *p <= 'f')
                d = *p - 'a' + 10;
            else if (hex && *p >= 'A' && *p <= 'F')
                d = *p - 'A' + 10;
            else
                return std::nullopt;
            value = value * (hex ? 16 : 10) + char32_t(d);
            if (value > 0x10FFFF)
                return std::nullopt;
        }
        if (p == digits || !*p || !IsXmlChar(value))
            return std::nullopt;
        return Reference{value, p + 1};
    }
    static constexpr std::pair<std::string_view, char> Entities[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};
    for (const auto &[name, c] : Entities) {
        if (std::strncmp(p, name.data(), name.size()) == 0)
            return Reference{char32_t(c), p + name.size()};
    }
    return std::nullopt;
}

// Text or an attribute value as pugixml left it (raw, NUL-terminated): every reference one
// every reader takes; no "]]>" in text, no "<" in an attribute value.
bool IsReadableText(const char *raw, bool attribute)
{
    const char *const stops = attribute ? "&<" : "&]";
    for (const char *p = std::strpbrk(raw, stops); p; p = std::strpbrk(p, stops)) {
        if (*p == '<')
            return false;
        if (*p == ']') {
            if (p[1] == ']' && p[2] == '>')
                return false;
            ++p;
            continue;
        }
        const auto reference = ReadReference(p);
        if (!reference)
            return false;
        p = reference->end;
    }
    return true;
}

// Raw text (NUL-terminated) decoded as a reader gives it: line ends ("\r\n", "\r") read as
// "\n"; references replaced (text and attribute values); in attribute values each blank is a
// space.
void AppendDecoded(std::string &out, const char *p, bool references, bool attribute)
{
    for (;;) {
        const char *stop = p;
        while (*stop && *stop != '\r' && !(references && *stop == '&') &&
               !(attribute && (*stop == '\n' || *stop == '\t')))
            ++stop;
        out.append(p, std::size_t(stop - p));
        if (!*stop)
            return;
        if (*stop == '&') {
            const auto reference = ReadReference(stop);
            if (!reference) { // not reached for a checked document; kept as it stands
                out += '&';
                p = stop + 1;
                continue;
            }
            AppendUtf8(out, reference->c);
            p = reference->end;
            continue;
        }
        if (*stop == '\r' && stop[1] == '\n')
            ++stop;
        out += attribute ? ' ' : '\n';
        p = stop + 1;
    }
}

std::string Decoded(const char *raw, bool references, bool attribute)
{
    std::string out;
    AppendDecoded(out, raw, references, attribute);
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// An XML declaration at the start, as both readers take it: version 1.0, then optionally an
// encoding name and standalone yes or no, in that order. bytes start with "<?xml".
bool IsReadableDeclaration(std::string_view bytes)
{
    std::size_t i = 5;
    const auto blanks = [&] {
        const std::size_t from = i;
        while (i < bytes.size() && IsBlank(bytes[i]))
            ++i;
        return i > from;
    };
    const auto literal = [&](std::string_view text) {
        if (bytes.substr(i, text.size()) != text)
            return false;
        i += text.size();
        return true;
    };
    // name = "value", the value checked by valid().
    const auto pseudoAttribute = [&](std::string_view name, auto valid) {
        const std::size_t start = i;
        if (!literal(name)) {
            i = start;
            return false;
        }
        blanks();
        if (!literal("="))
            return false;
        blanks();
        if (i >= bytes.size() || (bytes[i] != '\'' && bytes[i] != '"'))
            return false;
        const char quote = bytes[i++];
        const std::size_t close = bytes.find(quote, i);
        if (close == std::string_view::npos || !valid(bytes.substr(i, close - i)))
            return false;
        i = close + 1;
        return true;
    };
    const auto isEncodingName = [](std::string_view name) {
        const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
        return !name.empty() && letter(name.front()) &&
               std::all_of(name.begin(), name.end(), [&](char c) {
                   return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
               });
    };
    if (!blanks() || !pseudoAttribute("version", [](std::string_view v) { return v == "1.0"; }))
        return false;
    bool blank = blanks();
    if (blank && pseudoAttribute("encoding", isEncodingName))
        blank = blanks();
    if (blank &&
        pseudoAttribute("standalone", [](std::string_view v) { return v == "yes" || v == "no"; }))
        blanks();
    return literal("?>");
}

// The checks pugixml leaves out, over the tree it built. The elements below the root are
// visited by pugixml's own walk, which costs far fewer calls into the library than stepping
// from node to node.
class Checker : private pugi::xml_tree_walker
{
public:
    bool document(const pugi::xml_document &doc, bool startsWithDeclaration, pugi::xml_node &root);
    // Some element name or target holds characters outside ASCII.
    bool nonAsciiNames() const { return m_nonAsciiNames; }
    // Some name has a prefix, or some element declares a namespace.
    bool namespaces() const { return m_namespaces; }

private:
    struct Binding
    {
        std::string_view prefix;
        std::string_view uri;
    };
    bool subtree(pugi::xml_node element);
    bool for_each(pugi::xml_node &node) override;
    bool enter(pugi::xml_node element);
    void leave();
    bool leaf(pugi::xml_node node);
    bool comment(pugi::xml_node node) const;
    bool instruction(pugi::xml_node node);
    std::optional<std::string_view> uriOf(std::string_view prefix) const;
    std::string_view keep(std::string text);

    std::vector<Binding> m_bindings;
    std::vector<std::size_t> m_scopes; // m_bindings.size() as each open element began
    std::deque<std::string> m_decoded; // namespace names that held references (stay put)
    std::vector<std::string_view> m_names;
    std::vector<std::pair<std::string_view, std::string_view>> m_expanded;
    bool m_nonAsciiNames = false;
    bool m_namespaces = false;
};

bool Checker::document(const pugi::xml_document &doc, bool startsWithDeclaration,
                       pugi::xml_node &root)
{
    bool first = true;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling(), first = false) {
        switch (n.type()) {
        case pugi::node_declaration:
            if (!first || !startsWithDeclaration)
                return false;
            break;
        case pugi::node_element:
            if (root || !subtree(n))
                return false;
            root = n;
            break;
        case pugi::node_pcdata: {
            for (const char *p = n.value(); *p; ++p) {
                if (!IsBlank(*p))
                    return false;
            }
            break;
        }
        case pugi::node_comment:
            if (!comment(n))
                return false;
            break;
        case pugi::node_pi:
            if (!instruction(n))
                return false;
            break;
        default: // a document type, or CDATA beside the root
            return false;
        }
    }
    return bool(root);
}

bool Checker::subtree(pugi::xml_node top)
{
    if (!enter(top) || !top.traverse(*this))
        return false;
    while (!m_scopes.empty())
        leave();
    return true;
}

bool Checker::for_each(pugi::xml_node &node)
{
    // The elements open around a node at depth d are the root and d others: those deeper
    // have ended.
    while (m_scopes.size() > std::size_t(depth()) + 1)
        leave();
    return node.type() == pugi::node_element ? enter(node) : leaf(node);
}

std::optional<std::string_view> Checker::uriOf(std::string_view prefix) const
{
    if (prefix == "xml")
        return XmlNamespace;
    for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
        if (it->prefix == prefix)
            return it->uri;
    }
    return std::nullopt;
}

std::string_view Checker::keep(std::string text)
{
    m_decoded.push_back(std::move(text));
    return m_decoded.back();
}

bool Checker::enter(pugi::xml_node element)
{
    m_scopes.push_back(m_bindings.size());
    if (m_scopes.size() > MaxDepth)
        return false;
    bool nonAscii = false;
    const pugi::xml_attribute attributes = element.first_attribute();
    // The element's own declarations first: they apply to its name and attributes.
    for (pugi::xml_attribute a = attributes; a; a = a.next_attribute()) {
        const char *const n = a.name();
        if (std::strncmp(n, "xmlns", 5) != 0 || (n[5] != 0 && n[5] != ':'))
            continue;
        const std::string_view name(n);
        m_namespaces = true;
        const char *const raw = a.value();
        if (!IsReadableText(raw, true))
            return false;
        const std::string_view uri =
            std::strchr(raw, '&') ? keep(Decoded(raw, true, true)) : std::string_view(raw);
        if (uri == XmlnsNamespace)
            return false;
        if (name.size() == 5) { // the default namespace: names without a prefix need no lookup
            if (uri == XmlNamespace)
                return false;
            continue;
        }
        const std::string_view prefix = name.substr(6);
        bool ignored = false;
        if (!StartsAsName(prefix) || !IsNCName(prefix, ignored) || prefix == "xmlns")
            return false;
        if (prefix == "xml") {
            if (uri != XmlNamespace)
                return false;
            continue;
        }
        if (uri.empty() || uri == XmlNamespace)
            return false;
        m_bindings.push_back({prefix, uri});
    }
    std::string_view prefix, local;
    if (!IsQName(element.name(), prefix, local, nonAscii) || prefix == "xmlns" ||
        (!prefix.empty() && !uriOf(prefix)))
        return false;
    m_nonAsciiNames |= nonAscii;
    m_namespaces |= !prefix.empty();

    if (!attributes)
        return true;
    m_names.clear();
    m_expanded.clear();
    for (pugi::xml_attribute a = attributes; a; a = a.next_attribute()) {
        const char *const name = a.name();
        bool ignored = false;
        if (!IsQName(name, prefix, local, ignored))
            return false;
        const bool declaration = prefix == "xmlns" || (prefix.empty() && local == "xmlns");
        if (!declaration) { // a declaration's value was checked above
            if (!prefix.empty()) {
                m_namespaces = true;
                const auto uri = uriOf(prefix);
                if (!uri)
                    return false;
                m_expanded.emplace_back(*uri, local);
            }
            if (!IsReadableText(a.value(), true))
                return false;
        }
        m_names.emplace_back(name);
    }
    // Each attribute once, by name and by namespace and local name.
    const auto distinct = [](auto &items) {
        if (items.size() < 2)
            return true;
        std::sort(items.begin(), items.end());
        return std::adjacent_find(items.begin(), items.end()) == items.end();
    };
    return distinct(m_names) && distinct(m_expanded);
}

void Checker::leave()
{
    m_bindings.resize(m_scopes.back());
    m_scopes.pop_back();
}

bool Checker::comment(pugi::xml_node node) const
{
    const std::string_view text = node.value();
    return text.find("--") == std::string_view::npos && !text.ends_with('-');
}

bool Checker::instruction(pugi::xml_node node)
{
    const std::string_view target = node.name();
    bool nonAscii = false;
    if (!StartsAsName(target) || !IsNCName(target, nonAscii) ||
        EqualsIgnoringAsciiCase(target, "xml"))
        return false;
    m_nonAsciiNames |= nonAscii;
    return true;
}

bool Checker::leaf(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_pcdata:
        return IsReadableText(node.value(), false);
    case pugi::node_cdata:
        return true;
    case pugi::node_comment:
        return comment(node);
    case pugi::node_pi:
        return instruction(node);
    default:
        return false;
    }
}

void QuietError(void *, xmlErrorPtr) {}

// Whether libxml2 reads the text as a namespace-well-formed document. Namespace names must
// also be URI references to it, by its own reading of them.
bool LibxmlReads(const QByteArray &utf8)
{
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
    if (utf8.size() > INT_MAX)
        return false;
    const std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> parser(xmlNewParserCtxt(),
                                                                              xmlFreeParserCtxt);
    if (!parser)
        return false;
    parser->sax->serror = QuietError;
    const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlCtxtReadMemory(parser.get(), utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                              XML_PARSE_IGNORE_ENC),
        xmlFreeDoc);
    return doc && parser->wellFormed && parser->nsWellFormed;
}

} // namespace

bool StrictXmlDocument::read(QStringView text, BlankText blanks)
{
    m_root = pugi::xml_node();
    m_doc.reset();
    m_utf8.clear();
    if (text.isEmpty() || !HasOnlyXmlCharacters(text))
        return false;
    m_utf8 = text.toUtf8();
    if (m_utf8.size() > MaxDocumentBytes)
        return false;
    // A byte order mark is not part of the document. pugixml would pass over another one too,
    // but there it is a character before the root element.
    std::size_t start = 0;
    if (m_utf8.startsWith("\xEF\xBB\xBF"))
        start = 3;
    const std::string_view bytes(m_utf8.constData() + start, std::size_t(m_utf8.size()) - start);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return false;
    const bool declared =
        bytes.starts_with("<?xml") && (bytes.size() == 5 || IsBlank(bytes[5]) || bytes[5] == '?');
    if (declared && !IsReadableDeclaration(bytes))
        return false;
    // Nothing converted, expanded or fetched: the checks below see the text as it stands.
    unsigned options = pugi::parse_fragment | pugi::parse_pi | pugi::parse_declaration |
                       pugi::parse_doctype | pugi::parse_comments | pugi::parse_cdata;
    if (blanks == BlankText::Kept)
        options |= pugi::parse_ws_pcdata;
    // The terminating NUL is given too: pugixml reads the last byte of an in-place buffer
    // only as the end of the document.
    const pugi::xml_parse_result parsed = m_doc.load_buffer_inplace(
        m_utf8.data() + start, bytes.size() + 1, options, pugi::encoding_utf8);
    Checker checker;
    pugi::xml_node root;
    bool accepted = parsed && checker.document(m_doc, declared, root);
    // The rare documents whose names the checks above cannot settle alone go to the readers
    // themselves: namespace names must be URI references to libxml2, and QXmlStreamReader
    // takes fewer characters in element names than XML 1.0 now allows.
    if (accepted && checker.namespaces())
        accepted = LibxmlReads(text.toUtf8());
    if (accepted && checker.nonAsciiNames()) {
        QXmlStreamReader reader(text.toString());
        while (!reader.atEnd())
            reader.readNext();
        accepted = !reader.hasError();
    }
    if (!accepted) {
        m_doc.reset();
        m_utf8.clear();
        return false;
    }
    m_root = root;
    return true;
}

QString StrictXmlDocument::elementText(pugi::xml_node element)
{
    std::string text;
    pugi::xml_node parent = element;
    pugi::xml_node n = element.first_child();
    for (;;) {
        if (!n) {
            if (parent == element)
                break;
            n = parent.next_sibling();
            parent = parent.parent();
            continue;
        }
        switch (n.type()) {
        case pugi::node_element:
            parent = n;
            n = n.first_child();
            continue;
        case pugi::node_pcdata:
            AppendDecoded(text, n.value(), true, false);
            break;
        case pugi::node_cdata:
            AppendDecoded(text, n.value(), false, false);
            break;
        default:
            break;
        }
        n = n.next_sibling();
    }
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<QString> StrictXmlDocument::attributeValue(pugi::xml_node element, const char *name)
{
    const pugi::xml_attribute a = element.attribute(name);
    if (!a)
        return std::nullopt;
    const std::string value = Decoded(a.value(), true, true);
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

std::string_view StrictXmlDocument::localName(pugi::xml_node node)
{
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool IsWellFormedXml(QStringView text)
{
    StrictXmlDocument doc;
    return doc.read(text);
}

} // namespace zeltpc5::host
