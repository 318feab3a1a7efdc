// Whole documents read quickly with pugixml, refusing every document that one of their
// readers downstream refuses.
//
// The host's documents are read again by the component's parser (libxml2, namespace-aware,
// no document type at all, no lone surrogates) and by the host's own QXmlStreamReader
// readers. pugixml checks far less than either: it takes undeclared entities, unbound
// namespace prefixes, control characters, a second root element, text beside the root, "--"
// in comments, misplaced XML declarations and duplicate attributes. A read here runs pugixml
// without building more than the tree (no entity expansion, no whitespace conversion,
// nothing fetched) and then refuses what pugixml let through:
//   - characters XML cannot carry (controls, U+FFFE, U+FFFF, lone surrogates);
//   - anything but one root element with comments, processing instructions and blank text
//     around it; an XML declaration anywhere but at the very start, or one that is not
//     version 1.0 with an optional encoding and standalone in that order;
//   - any document type declaration, whatever it holds: the component refuses them all, and
//     the entities one declares would read differently in each reader (QXmlStreamReader
//     expands them, libxml2 here keeps them as references);
//   - references other than the five predefined entities and character references to
//     characters XML can carry; "<" in attribute values; "]]>" in text; "--" in comments;
//   - names with more than one colon or nothing on one side of it, prefixes bound nowhere,
//     "xmlns" misused, the XML namespaces rebound, attributes given twice (by name or by
//     namespace), names outside ASCII that XML 1.0 does not allow;
//   - what the readers' limits refuse: names of more than 4096 UTF-16 units
//     (QXmlStreamReader), elements nested more than 257 deep (libxml2), more than 8 MiB of
//     UTF-8 (the component).
// The few documents these checks cannot settle alone also go to the readers themselves: one
// with namespaces to libxml2 (a namespace name must be a URI reference to it), one with
// element names or instruction targets outside ASCII to QXmlStreamReader (it follows an
// older, narrower edition of the name rules).
// Whatever is accepted here, both readers read to the end with the same meaning.
#pragma once

#include <pugixml.hpp>

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>

namespace zeltpc5::host {

class StrictXmlDocument
{
public:
    enum class BlankText {
        Dropped, // text between elements that is only blanks makes no node (a check alone)
        Kept,    // every text node is kept, for reading element text as other readers do
    };

    StrictXmlDocument() = default;
    StrictXmlDocument(const StrictXmlDocument &) = delete;
    StrictXmlDocument &operator=(const StrictXmlDocument &) = delete;

    // Reads text; false (and nothing held) when it is not a document every reader takes.
    bool read(QStringView text, BlankText blanks = BlankText::Dropped);

    // The root element; null unless the last read succeeded.
    pugi::xml_node root() const { return m_root; }

    // The text an element holds, its descendants' included, references decoded and line
    // ends normalised, as QXmlStreamReader::readElementText(IncludeChildElements) reads it.
    static QString elementText(pugi::xml_node element);
    // An attribute's value with references decoded; nothing when the element has no attribute
    // of that qualified name.
    static std::optional<QString> attributeValue(pugi::xml_node element, const char *name);
    // The name without its prefix.
    static std::string_view localName(pugi::xml_node node);

private:
    QByteArray m_utf8; // parsed in place: the tree points into it
    pugi::xml_document m_doc;
    pugi::xml_node m_root;
};

// True when text is a document every reader of the host's documents takes (see above).
bool IsWellFormedXml(QStringView text);

} // namespace zeltpc5::host
