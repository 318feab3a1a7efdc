// The readable texts that say what a change run did to a line.
#pragma once

#include "engine/hostservices.h"
#include "engine/linestore.h"
#include "engine/productengine.h"

namespace zeltpc5 {

// Compares the line's original and new state and appends one markup text per difference
// (product, style, options, price), then the product engine's errors and notices; keeps the
// line's option change and remove counters.
void DescribeLineChanges(LineStore &lines, int index, ProductEngine &engine,
                         const HostServices &host);

} // namespace zeltpc5
