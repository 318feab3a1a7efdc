// The steps around driving the product engine through one quote line: preparing it with
// the product's dimension settings and the company's option defaults, choosing which
// stored options are replayed, and turning its state back into an item document.
#pragma once

#include "engine/hostservices.h"
#include "engine/productengine.h"
#include "xml/xmldocument.h"

namespace zeltpc5 {

// Sets RoundDown and DimensionDisplayFormat when the product overrides the defaults.
void ApplyProductDimensionSettings(qint32 productID, ProductEngine &engine, SqlSession &session);
// Company-wide defaults first, then the product's own; no ProcessOptions.
void ApplyOptionDefaults(qint32 productID, ProductEngine &engine, const HostServices &host);
// Options of type 6 and 7 never are; others when visible or processed although hidden.
bool IsProcessableOption(const XmlNode &option);
// The base item with its options and messages rebuilt from the engine and its descriptions
// written; the empty text when the base does not parse.
QString ReadBackItem(const QString &baseItemXml, ProductEngine &engine, const HostServices &host);
// The same on a base already parsed, rebuilt in place; false (and nothing changed) when it
// has no ItemData.
bool ReadBackItem(XmlDocument &item, ProductEngine &engine, const HostServices &host);

} // namespace zeltpc5
