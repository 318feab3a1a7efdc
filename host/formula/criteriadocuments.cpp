#include "host/formula/criteriadocuments.h"

#include "host/helpers/dimensiontext.h"

#include <QLocale>
#include <QXmlStreamReader>

#include <pugixml.hpp>

#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace zeltpc5::host {

namespace {

enum class Kind { Options, PriceCost };

struct Entry
{
    QByteArray name; // UTF-8
    QByteArray value; // UTF-8; pugixml's values point into the parsed document
    // The name as QXmlStreamReader gave it, which may hold what UTF-8 cannot (a lone
    // surrogate); null for pugixml's names, which are exactly their UTF-8.
    QString wideName;
    bool asciiName = false;
};

bool IsAscii(QByteArrayView text)
{
    unsigned char bits = 0;
    for (const char c : text)
        bits |= static_cast<unsigned char>(c);
    return bits < 0x80;
}

bool IsAscii(QStringView text)
{
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

// Equal texts; the same shared text (the caller passing the text of the last line again) is
// told apart without comparing, as are texts of different lengths.
bool SameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

// Names are compared as QString::compare(Qt::CaseInsensitive) compares them: by the case
// folding of each UTF-16 unit. For two ASCII names that is ASCII case folding; a name outside
// ASCII can equal an ASCII one (the Kelvin sign folds to 'k'), so it is compared in full.
bool SameAsciiName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

const QByteArray *Find(const std::vector<Entry> &entries, QByteArrayView utf8Name)
{
    const bool asciiName = IsAscii(utf8Name);
    std::optional<QString> wideName;
    for (const Entry &e : entries) {
        if (asciiName && e.asciiName) {
            if (SameAsciiName(e.name, utf8Name))
                return &e.value;
            continue;
        }
        if (!wideName)
            wideName = QString::fromUtf8(utf8Name);
        const QString name = e.wideName.isNull() ? QString::fromUtf8(e.name) : e.wideName;
        if (name.compare(*wideName, Qt::CaseInsensitive) == 0)
            return &e.value;
    }
    return nullptr;
}

Entry StreamEntry(const QString &name, QByteArray value)
{
    return Entry{name.toUtf8(), std::move(value), name, IsAscii(QStringView(name))};
}

// --- QXmlStreamReader: the reference, and the reader of what pugixml might read otherwise.

void ReadOptionsWithStreamReader(const QString &text, std::vector<Entry> &entries)
{
    QXmlStreamReader xml(text);
    // The option elements sit at ItemData/Options/Option, wherever ItemData is.
    QStringList path;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (!path.isEmpty())
                path.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const bool isOption = name == u"Option" && path.size() >= 2 && path.last() == u"Options" &&
                              path.at(path.size() - 2) == u"ItemData";
        if (!isOption) {
            path << name;
            continue;
        }
        QString optionName;
        QByteArray value;
        bool named = false;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"Name" && !named) {
                optionName = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                named = true;
            } else if (xml.name() == u"Value" && value.isNull()) {
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8();
            } else {
                xml.skipCurrentElement();
            }
        }
        if (named)
            entries.push_back(StreamEntry(optionName, value.isNull() ? QByteArray("") : value));
    }
    // A document that does not parse has no options at all, not some of them.
    if (xml.hasError())
        entries.clear();
}

void ReadPriceCostWithStreamReader(const QString &text, std::vector<Entry> &entries)
{
    QXmlStreamReader xml(text);
    if (xml.readNextStartElement() && xml.name() == u"PriceCostData") {
        while (xml.readNextStartElement()) {
            const QString name = xml.name().toString();
            entries.push_back(StreamEntry(
                name, xml.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8()));
        }
    }
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError())
        entries.clear();
}

void ReadWithStreamReader(Kind kind, const QString &text, std::vector<Entry> &entries)
{
    if (kind == Kind::Options)
        ReadOptionsWithStreamReader(text, entries);
    else
        ReadPriceCostWithStreamReader(text, entries);
}

// --- pugixml, for the documents it reads exactly as QXmlStreamReader does.

// pugixml reads a document, or leaves it to QXmlStreamReader: one pugixml might read otherwise,
// and one it finds malformed (QXmlStreamReader takes a few things pugixml does not, such as
// some characters in attribute names; malformed documents are rare, and it is not worth
// telling which ones both readers reject).
enum class FastRead { Read, CannotTell };

// Whitespace text is kept (a value of spaces is a value); the predefined entities and character
// references are replaced, line ends normalized, as QXmlStreamReader does. Text and elements
// at the top are kept, so that what QXmlStreamReader rejects there can be seen. Nothing else:
// no DOCTYPE, processing instructions, comments or CDATA (the text has none of them here).
constexpr unsigned ParseOptions =
    pugi::parse_ws_pcdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_fragment;

// The XML declarations both readers take as they stand; QXmlStreamReader rejects some
// others (another version, one not at the start) that pugixml skips.
constexpr std::string_view Declarations[] = {
    R"(<?xml version="1.0"?>)",
    R"(<?xml version="1.0" encoding="UTF-8"?>)",
    R"(<?xml version="1.0" encoding="utf-8"?>)",
    R"(<?xml version="1.0" encoding="UTF-16"?>)",
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
    R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)",
    R"(<?xml version="1.0" standalone="yes"?>)",
    R"(<?xml version="1.0" standalone="no"?>)",
};

bool IsXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The length of the reference that starts at the '&' of text when it is one both readers
// replace alike (a predefined entity, or a character reference to an XML character); 0 for
// anything else (another entity, which only a DOCTYPE can declare, or what pugixml leaves as
// it stands where QXmlStreamReader fails).
std::size_t PlainReference(std::string_view text)
{
    for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
        if (text.starts_with(entity))
            return entity.size();
    }
    if (!text.starts_with("&#"))
        return 0;
    std::size_t i = 2;
    int base = 10;
    if (i < text.size() && text[i] == 'x') {
        base = 16;
        ++i;
    }
    const std::size_t digits = i;
    char32_t value = 0;
    // Seven digits reach past the last character in either base.
    while (i < text.size() && i - digits < 7) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0)
            break;
        value = value * char32_t(base) + char32_t(digit);
        ++i;
    }
    if (i == digits || i >= text.size() || text[i] != ';' || !IsXmlCharacter(value))
        return 0;
    return i + 1;
}

// What the text tells before it is parsed.
struct Scan
{
    // Nothing in it that the readers could read otherwise, as far as its characters tell.
    bool plain = false;
    // A '?' past the declaration: what a lone surrogate of the UTF-16 text became in UTF-8.
    bool questionMark = false;
    // A tag with more than one attribute, whose names may repeat.
    bool severalAttributes = false;
};

// Where the scan is: in text, in a tag (names, '=' and whitespace), in an attribute value.
enum class Place { Text, Tag, Value };

constexpr bool IsControl(int c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// The bytes the scan stops at, by place; it steps over all others.
constexpr std::array<std::array<bool, 256>, 3> Remarkable = [] {
    std::array<std::array<bool, 256>, 3> table{};
    for (int c = 0; c < 256; ++c) {
        table[int(Place::Text)][std::size_t(c)] =
            IsControl(c) || c == '<' || c == '&' || c == ']' || c == '?' || c == 0xEF;
        table[int(Place::Tag)][std::size_t(c)] = IsControl(c) || c >= 0x80 || c == '>' ||
                                                 c == '"' || c == '\'' || c == '=' || c == ':' ||
                                                 c == 'x';
        table[int(Place::Value)][std::size_t(c)] = IsControl(c) || c == '"' || c == '\'' ||
                                                   c == '<' || c == '&' || c == ']' || c == '?' ||
                                                   c == 0xEF;
    }
    return table;
}();

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsSpace(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return IsSpace(c); });
}

// Reads the text for what both readers read alike, as far as its characters tell: one of the
// declarations above or none; no DOCTYPE, comment, CDATA section or processing instruction;
// references of the kinds above only; no "]]>"; no character XML forbids; nothing but
// whitespace before the first tag and after the last; and in tags, names in ASCII without a
// namespace prefix (pugixml takes any byte above ASCII as part of a name, QXmlStreamReader
// only XML's name characters, and QXmlStreamReader resolves prefixes), no namespace
// declaration, and no '<' in an attribute value (QXmlStreamReader rejects it, pugixml does
// not). A text pugixml parses is read here as pugixml reads it: tags end at the '>' outside
// quotes.
Scan ScanText(const QByteArray &utf8)
{
    const std::string_view text(utf8.constData(), std::size_t(utf8.size()));
    Scan scan;
    if (text.starts_with("\xEF\xBB\xBF"))
        return scan;
    std::size_t i = 0;
    if (text.starts_with("<?")) {
        for (std::string_view declaration : Declarations) {
            if (text.starts_with(declaration)) {
                i = declaration.size();
                break;
            }
        }
        if (i == 0)
            return scan;
    }
    const std::size_t size = text.size();
    const std::size_t firstTag = text.find('<', i);
    const std::size_t lastTag = text.rfind('>');
    if (firstTag == std::string_view::npos || lastTag == std::string_view::npos ||
        !IsSpace(text.substr(i, firstTag - i)) || !IsSpace(text.substr(lastTag + 1)))
        return scan;
    Place place = Place::Text;
    const bool *remarkable = Remarkable[int(place)].data();
    char quote = 0;
    int attributes = 0;
    const auto *const start = reinterpret_cast<const unsigned char *>(text.data());
    const unsigned char *const end = start + size;
    const unsigned char *p = start + i;
    auto enter = [&](Place next) {
        place = next;
        remarkable = Remarkable[int(place)].data();
    };
    auto rest = [&] { return text.substr(std::size_t(p - start)); };
    for (;;) {
        // A QByteArray ends in '\0', which every place finds remarkable.
        while (!remarkable[*p])
            ++p;
        if (p == end)
            break;
        const unsigned char c = *p;
        if (IsControl(c))
            return scan;
        if (place == Place::Tag) {
            switch (c) {
            case '>':
                enter(Place::Text);
                break;
            case '"':
            case '\'':
                enter(Place::Value);
                quote = char(c);
                break;
            case '=':
                if (++attributes > 1)
                    scan.severalAttributes = true;
                break;
            case 'x':
                if (rest().starts_with("xmlns"))
                    return scan;
                break;
            default: // ':' and bytes past ASCII
                return scan;
            }
            ++p;
            continue;
        }
        switch (c) {
        case '<':
            if (place == Place::Value || p + 1 == end || p[1] == '!' || p[1] == '?')
                return scan;
            enter(Place::Tag);
            attributes = 0;
            ++p;
            break;
        case '"':
        case '\'':
            if (char(c) == quote)
                enter(Place::Tag);
            ++p;
            break;
        case '&': {
            const std::size_t length = PlainReference(rest());
            if (length == 0)
                return scan;
            p += length;
            break;
        }
        case ']':
            if (rest().starts_with("]]>"))
                return scan;
            ++p;
            break;
        case '?':
            scan.questionMark = true;
            ++p;
            break;
        default: // 0xEF
            if (rest().starts_with("\xEF\xBF\xBE") || rest().starts_with("\xEF\xBF\xBF"))
                return scan;
            ++p;
            break;
        }
    }
    scan.plain = place == Place::Text;
    return scan;
}

bool HasSurrogates(QStringView text)
{
    for (const QChar c : text) {
        if (c.isSurrogate())
            return true;
    }
    return false;
}

// The node after n in the document's order, below top; its children first unless not.
pugi::xml_node Following(pugi::xml_node n, pugi::xml_node top, bool intoChildren = true)
{
    if (intoChildren) {
        if (const pugi::xml_node child = n.first_child())
            return child;
    }
    while (n && n != top) {
        if (const pugi::xml_node sibling = n.next_sibling())
            return sibling;
        n = n.parent();
    }
    return {};
}

constexpr int MaximumAttributesCompared = 16;

// What the characters could not tell: one element at the top and only whitespace beside it
// (pugixml, reading a fragment, takes more), and no attribute twice in a tag.
FastRead CheckStructure(const pugi::xml_document &document, bool severalAttributes)
{
    int elements = 0;
    for (pugi::xml_node n = document.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element)
            ++elements;
        else if (n.type() != pugi::node_pcdata || !IsSpace(std::string_view(n.value())))
            return FastRead::CannotTell;
    }
    if (elements != 1)
        return FastRead::CannotTell;
    if (!severalAttributes)
        return FastRead::Read;
    for (pugi::xml_node n = document.first_child(); n; n = Following(n, document)) {
        int count = 0;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            if (++count > MaximumAttributesCompared)
                return FastRead::CannotTell;
            for (pugi::xml_attribute b = n.first_attribute(); b != a; b = b.next_attribute()) {
                if (std::strcmp(a.name(), b.name()) == 0)
                    return FastRead::CannotTell;
            }
        }
    }
    return FastRead::Read;
}

QByteArray Raw(const char *text)
{
    return QByteArray::fromRawData(text, qsizetype(std::strlen(text)));
}

// The text of an element and of every element in it, as readElementText with
// IncludeChildElements gives it; null when it has none.
QByteArray TextOf(pugi::xml_node element)
{
    const pugi::xml_node first = element.first_child();
    if (!first)
        return QByteArray();
    if (first.type() == pugi::node_pcdata && !first.next_sibling())
        return Raw(first.value());
    QByteArray text;
    for (pugi::xml_node n = first; n; n = Following(n, element)) {
        if (n.type() == pugi::node_pcdata)
            text.append(n.value());
    }
    return text;
}

bool Named(pugi::xml_node n, const char *name)
{
    return n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0;
}

void CollectOptions(const pugi::xml_document &document, std::vector<Entry> &entries)
{
    static const QByteArray none("");
    pugi::xml_node n = document.first_child();
    while (n) {
        const bool isOption = Named(n, "Option") && Named(n.parent(), "Options") &&
                              Named(n.parent().parent(), "ItemData");
        if (!isOption) {
            n = Following(n, document);
            continue;
        }
        // The first Name, and the first Value with text (one without reads as not there).
        Entry entry;
        bool named = false;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (!named && Named(c, "Name")) {
                entry.name = TextOf(c);
                named = true;
            } else if (entry.value.isEmpty() && Named(c, "Value")) {
                entry.value = TextOf(c);
            }
        }
        if (named) {
            if (entry.value.isEmpty())
                entry.value = none;
            entry.asciiName = IsAscii(entry.name);
            entries.push_back(std::move(entry));
        }
        // What an option holds is not searched for options.
        n = Following(n, document, false);
    }
}

void CollectFields(const pugi::xml_document &document, std::vector<Entry> &entries)
{
    const pugi::xml_node root = document.child("PriceCostData");
    for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            entries.push_back(Entry{Raw(c.name()), TextOf(c), QString(), true});
    }
}

FastRead ReadFast(Kind kind, const QString &text, const QByteArray &utf8,
                  pugi::xml_document &document, std::vector<Entry> &entries)
{
    const Scan scan = ScanText(utf8);
    if (!scan.plain || (scan.questionMark && HasSurrogates(text)))
        return FastRead::CannotTell;
    if (!document.load_buffer(utf8.constData(), std::size_t(utf8.size()), ParseOptions,
                              pugi::encoding_utf8))
        return FastRead::CannotTell;
    if (CheckStructure(document, scan.severalAttributes) != FastRead::Read)
        return FastRead::CannotTell;
    if (kind == Kind::Options)
        CollectOptions(document, entries);
    else
        CollectFields(document, entries);
    return FastRead::Read;
}

} // namespace

// One document: the text it was set to, and what was read from the text it was last read
// from. pugixml's values point into the parse, which is kept until the next read.
class CriteriaDocuments::Document
{
public:
    explicit Document(Kind kind) : m_kind(kind) {}

    void set(const QString &xml, const QByteArray &utf8)
    {
        if (m_readFrom && SameText(*m_readFrom, xml)) {
            m_read = true;
            m_text = QString();
            m_utf8 = QByteArray();
            return;
        }
        m_text = xml;
        m_utf8 = utf8;
        m_read = false;
    }

    bool unread() const { return !m_read; }

    const QByteArray *value(QByteArrayView utf8Name)
    {
        if (!m_read)
            read();
        return Find(m_entries, utf8Name);
    }

    void read()
    {
        m_read = true;
        m_readFrom = m_text;
        const QByteArray utf8 = m_utf8.isNull() ? m_text.toUtf8() : m_utf8;
        m_text = QString();
        m_utf8 = QByteArray();
        m_entries.clear();
        m_streamReaderUsed = false;
        switch (ReadFast(m_kind, *m_readFrom, utf8, m_parse, m_entries)) {
        case FastRead::Read:
            break;
        case FastRead::CannotTell:
            m_entries.clear();
            m_parse.reset();
            ReadWithStreamReader(m_kind, *m_readFrom, m_entries);
            m_streamReaderUsed = true;
            break;
        }
    }

    const std::vector<Entry> &entries() const { return m_entries; }
    bool streamReaderUsed() const { return m_streamReaderUsed; }

private:
    Kind m_kind;
    QString m_text;
    QByteArray m_utf8;
    // Nothing set reads as a document without entries.
    bool m_read = true;
    std::optional<QString> m_readFrom;
    pugi::xml_document m_parse;
    std::vector<Entry> m_entries;
    bool m_streamReaderUsed = false;
};

CriteriaDocuments::CriteriaDocuments()
    : m_options(std::make_unique<Document>(Kind::Options)),
      m_priceCost(std::make_unique<Document>(Kind::PriceCost))
{}

CriteriaDocuments::~CriteriaDocuments() = default;

// A caller evaluates every charge of a line with the same two documents, resetting the
// variables in between: what was read from a text is kept and used again for the same text.
void CriteriaDocuments::setOptionXml(const QString &xml, const QByteArray &utf8)
{
    m_options->set(xml, utf8);
}

void CriteriaDocuments::setPriceCostXml(const QString &xml, const QByteArray &utf8)
{
    m_priceCost->set(xml, utf8);
}

void CriteriaDocuments::clear()
{
    setOptionXml(QString());
    setPriceCostXml(QString());
}

const QByteArray *CriteriaDocuments::optionValue(QByteArrayView utf8Name)
{
    return m_options->value(utf8Name);
}

const QByteArray *CriteriaDocuments::priceCostValue(QByteArrayView utf8Name)
{
    return m_priceCost->value(utf8Name);
}

bool CriteriaDocuments::optionsUnread() const
{
    return m_options->unread();
}

bool CriteriaDocuments::priceCostUnread() const
{
    return m_priceCost->unread();
}

namespace {

std::vector<CriteriaEntry> ReadEntries(Kind kind, const QString &xml, CriteriaReader reader,
                                       bool *streamReaderUsed)
{
    std::vector<CriteriaEntry> result;
    auto copy = [&](const std::vector<Entry> &entries) {
        // Deep copies: pugixml's values live as long as its parse.
        for (const Entry &e : entries)
            result.push_back({QByteArray(e.name.constData(), e.name.size()),
                              QByteArray(e.value.constData(), e.value.size())});
    };
    if (reader == CriteriaReader::StreamReader) {
        std::vector<Entry> entries;
        ReadWithStreamReader(kind, xml, entries);
        copy(entries);
        if (streamReaderUsed)
            *streamReaderUsed = true;
        return result;
    }
    CriteriaDocuments::Document document(kind);
    document.set(xml, QByteArray());
    document.read();
    copy(document.entries());
    if (streamReaderUsed)
        *streamReaderUsed = document.streamReaderUsed();
    return result;
}

} // namespace

std::vector<CriteriaEntry> ReadCriteriaOptions(const QString &xml, CriteriaReader reader,
                                               bool *streamReaderUsed)
{
    return ReadEntries(Kind::Options, xml, reader, streamReaderUsed);
}

std::vector<CriteriaEntry> ReadCriteriaPriceCost(const QString &xml, CriteriaReader reader,
                                                 bool *streamReaderUsed)
{
    return ReadEntries(Kind::PriceCost, xml, reader, streamReaderUsed);
}

std::optional<double> CriteriaNumber(const QByteArray &text)
{
    const QString t = QString::fromUtf8(text).trimmed();
    if (const auto inches = ParseDimension(t))
        return inches;
    bool ok = false;
    double value = QLocale().toDouble(t, &ok);
    if (!ok)
        value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace zeltpc5::host
