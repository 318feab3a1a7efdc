// The few fixed paths the change run selects on every line, walked instead of compiled and
// evaluated as XPath each time. Each gives exactly the nodes, in the order, selectNodes gives
// for the same path.
#pragma once

#include "xml/xmldocument.h"

#include <initializer_list>

namespace zeltpc5 {

// What from.selectNodes("a/b/c") gives for steps {"a", "b", "c"}: every step a child step
// whose name is a plain name (no prefix), matching elements without a namespace.
QList<XmlNode> SelectChildPath(const XmlNode &from, std::initializer_list<const char *> steps);

// What from.selectNodes("//a/b/c") gives: the child path below every element named like the
// first step, anywhere in the document.
QList<XmlNode> SelectDescendantPath(const XmlNode &from, std::initializer_list<const char *> steps);

} // namespace zeltpc5
