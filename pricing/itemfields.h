// The item document (root `ItemData`): its field names and the procedures that open it and
// read or write single fields.
#pragma once

#include "xml/xmldocument.h"

#include <QLatin1StringView>
#include <QString>

#include <optional>

namespace zeltpc5 {

namespace ItemData {
inline constexpr QLatin1StringView Root{"ItemData"};
inline constexpr QLatin1StringView Options{"Options"};             // element
inline constexpr QLatin1StringView Option{"Option"};               // element, keyed by Name
inline constexpr QLatin1StringView Messages{"Messages"};           // element
inline constexpr QLatin1StringView Message{"Message"};             // element
inline constexpr QLatin1StringView Description{"Description"};     // text
inline constexpr QLatin1StringView Description2{"Description2"};   // text
inline constexpr QLatin1StringView DescriptionOE{"DescriptionOE"}; // text, TextBlock markup
} // namespace ItemData

// Children of `Options/Option`.
namespace OptionField {
inline constexpr QLatin1StringView Name{"Name"};                       // text
inline constexpr QLatin1StringView Value{"Value"};                     // text, display form
inline constexpr QLatin1StringView Sequence{"Sequence"};               // long
inline constexpr QLatin1StringView GroupName{"GroupName"};             // text
inline constexpr QLatin1StringView GroupSequence{"GroupSequence"};     // long
inline constexpr QLatin1StringView Type{"Type"};                       // long
inline constexpr QLatin1StringView IsDimension{"IsDimension"};         // long, non-zero = yes
inline constexpr QLatin1StringView ProcessIfHidden{"ProcessIfHidden"}; // long, non-zero = yes
inline constexpr QLatin1StringView DisplayFormat{"DisplayFormat"};     // text
inline constexpr QLatin1StringView Visible{"Visible"};                 // integer, non-zero = yes
} // namespace OptionField

// Children of `Messages/Message`.
namespace MessageField {
inline constexpr QLatin1StringView Text{"Text"}; // text
inline constexpr QLatin1StringView Type{"Type"}; // integer
inline constexpr qint16 Error = 1;
inline constexpr qint16 Notice = 2;
} // namespace MessageField

// The item text parsed; nothing when it is empty or does not parse.
std::optional<XmlDocument> LoadItemXML(const QString &itemXml);
// The `Value` of the first option whose name equals the given one ignoring case; empty when
// there is none.
QString GetOptionValue(const XmlDocument &itemDocument, const QString &optionName);
QString GetItemOptionValue(const QString &optionName, const QString &itemXml);
// The item text with the named child of `ItemData` set to the value; the empty text when the
// input is empty or does not parse. A document whose root is not `ItemData` comes back as it
// was.
QString SetItemValue(const QString &fieldName, const QString &value, const QString &itemXml);

} // namespace zeltpc5
