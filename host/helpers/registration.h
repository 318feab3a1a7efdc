// The reference host's engines and helper classes, made creatable by class name in this
// process: the product engine "optrix5.Engine", the formula engine "zeltfe5.Engine", and
// DateHelper and DimensionConverter by their class identifiers.
#pragma once

namespace zeltpc5::host {

// Safe to call more than once; a later call replaces the earlier factories.
void RegisterReferenceEngines();

} // namespace zeltpc5::host
