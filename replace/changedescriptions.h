// The readable texts that say what a change run did to a line.
#pragma once

#include "engine/hostservices.h"
#include "engine/linestore.h"
#include "engine/productengine.h"

#include <optional>

namespace zeltpc5 {

// Compares the line's original and new state and appends one markup text per difference
// (product, style, options, price), then the product engine's errors and notices; keeps the
// line's option change and remove counters.
void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host);
// The same over the line's documents as the run already holds them parsed (null when one
// does not parse); the original price is read from the line's text.
void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host, const XmlNode &originalItem,
                         const XmlNode &newItem, const XmlNode &newPriceCost);
// The same with the original item's options (OriginalItemOptions) taken before the new item
// was built over the original document; nothing when there is no original item.
void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host,
                         const std::optional<QList<XmlNode>> &originalOptions,
                         const XmlNode &newItem, const XmlNode &newPriceCost);
// The option elements of an item that the comparison reads. The handles stay valid, with
// their content, when the options are later replaced in the document.
QList<XmlNode> OriginalItemOptions(const XmlNode &item);

} // namespace zeltpc5
