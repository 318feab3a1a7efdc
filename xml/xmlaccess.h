// The procedures through which all code reads and writes item documents.
//
// None of them fails loudly: readers return their default, writers on a missing parent do
// nothing. A missing node is a null XmlNode; a missing document is an empty optional.
// Numbers and dates in element text follow the regional settings passed in (the user's by
// default).
#pragma once

#include "common/currency.h"
#include "xml/xmldocument.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace zeltpc5 {

// ---- Documents

// A document with the `xml` declaration and an empty root element of that name.
std::optional<XmlDocument> NewXMLDocument(const QString &rootName);
// The parsed document; nothing when the text is empty or does not parse (see XmlDocument).
std::optional<XmlDocument> LoadXMLDocument(const QString &xmlText);

// ---- Finding and creating elements (names compare exactly, case-sensitive)

XmlNode FindChildNode(const XmlNode &parent, const QString &nodeName);
XmlNode AppendChildElement(const QString &elementName, const XmlNode &parent);
// The first child of that name; if none and create is set, a new last child.
XmlNode GetChildElement(const QString &elementName, const XmlNode &parent, bool create);
// The first child (of any name) whose `Name` child holds the key; if none and create is set,
// a new element of elementName with a `Name` child holding the key. skipSearch goes straight
// to creating.
XmlNode GetOptionElement(const QString &key, const QString &elementName, const XmlNode &parent,
                         bool create, bool skipSearch = false);
// As GetOptionElement, keyed on the child `ID`.
XmlNode GetIDElement(const QString &key, const QString &elementName, const XmlNode &parent,
                     bool create, bool skipSearch = false);

// ---- Reading values: path is an XPath expression relative to the node, usually a child name

// The selected node's text with encoded line breaks decoded; the default when the node is
// null, the path selects nothing or the text is empty.
QString GetXMLValue(const QString &path, const XmlNode &node, const QString &defaultValue = {});
// Numeric readers: the default when the text is empty, not numeric under the locale, or out
// of the type's range. Integers round halves to even.
qint32 GetXMLLong(const QString &path, const XmlNode &node, qint32 defaultValue = 0,
                  const QLocale &locale = QLocale());
qint16 GetXMLInteger(const QString &path, const XmlNode &node, qint16 defaultValue = 0,
                     const QLocale &locale = QLocale());
float GetXMLSingle(const QString &path, const XmlNode &node, float defaultValue = 0.0f,
                   const QLocale &locale = QLocale());
Currency GetXMLCurrency(const QString &path, const XmlNode &node,
                        Currency defaultValue = Currency(), const QLocale &locale = QLocale());
// "true"/"yes"/"1"/"-1" read as true and "false"/"no"/"0" as false, in any case; any other
// text, or none, gives the default.
bool GetXMLBoolean(const QString &path, const XmlNode &node, bool defaultValue = false);
// The text read by ParseXMLDate.
QDateTime GetXMLDate(const QString &path, const XmlNode &node,
                     const QDateTime &defaultValue = QDateTime());

// ---- Writing values: name is a plain child element name

// The first child of that name gets the text (line breaks encoded); without one, a new child
// is appended. Nothing happens when the parent is null or the name is not a valid name.
// Gives the element written (null when none was).
XmlNode SetXMLValue(const QString &name, const QString &value, const XmlNode &parent);
void SetXMLLong(const QString &name, qint32 value, const XmlNode &parent,
                const QLocale &locale = QLocale());
void SetXMLInteger(const QString &name, qint16 value, const XmlNode &parent,
                   const QLocale &locale = QLocale());
void SetXMLSingle(const QString &name, float value, const XmlNode &parent,
                  const QLocale &locale = QLocale());
void SetXMLCurrency(const QString &name, Currency value, const XmlNode &parent,
                    const QLocale &locale = QLocale());

// Sets or replaces the attribute; on failure the node keeps its previous state.
void SetXMLAttribute(const XmlNode &node, const QString &attributeName, const QString &value);
QString GetXMLAttribute(const XmlNode &node, const QString &attributeName,
                        const QString &defaultValue = {});

// ---- Text helpers

// An XPath expression whose value is exactly the text, whatever quote characters it holds.
QString XPathLiteral(const QString &text);
// The text made safe inside TextBlock markup: & < > ' " escaped, CR LF as <LineBreak/>.
QString EscapeMarkup(const QString &text);
// CR as "&#13;" and LF as "&#10;" (as plain text), and back.
QString EncodeLineBreaks(const QString &text);
QString DecodeLineBreaks(const QString &text);
// "year-month-dayThh:mm:ss" (or "...Thh:mm") as a local date and time; the default for
// anything else, including a date without its time part.
QDateTime ParseXMLDate(const QString &text, const QDateTime &defaultValue = QDateTime());

// The number forms written by the typed writers: the standard conversion under the locale.
// A single is written with the fewest digits that read back as the same single.
QString SingleToText(float value, const QLocale &locale = QLocale());

// ---- Selecting an option by its name

enum class OptionNameMatch {
    CaseSensitive, // ms:string-compare with options 'u'
    IgnoreCase,    // ms:string-compare with options 'i'
};
// "//ItemData/Options/Option[ms:string-compare(Name,<literal>,'',<options>) = '0']".
QString OptionSelectionXPath(const QString &optionName, OptionNameMatch match);
// The first node that expression selects from any node of the document, found by a walk of
// the tree instead of compiling and running the expression (a tenth of the time).
XmlNode SelectOptionByName(const XmlNode &context, const QString &optionName,
                           OptionNameMatch match);
// The same among options already selected with "//ItemData/Options/Option" (in the
// document's order), for a caller that looks up many names in one document.
XmlNode SelectOptionByName(const QList<XmlNode> &options, const QString &optionName,
                           OptionNameMatch match);

} // namespace zeltpc5
