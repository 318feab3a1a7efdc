// A parsed node handed to a host as a dispatch object, shaped like the DOM node a host's
// record reader expects, so a host written against the node contract works unchanged:
//
//   xml                      (get)    the node as XML text (an element with its content)
//   text                     (get)    the text of the node and its descendants
//   nodeName                 (get)    the qualified name ("#document" for a document)
//   selectSingleNode(xpath)  (method) the first node selected, or Nothing
//   selectNodes(xpath)       (method) a node list: length (get), item(index) (method,
//                                     Nothing outside 0 .. length - 1)
//
// Selections are relative to the node and select elements, attributes and the document; an
// expression that is not valid XPath, fails or gives no node set answers "Invalid procedure
// call" rather than an empty selection, so a host can tell its own mistake from no match.
// Every object holds a share of its document, which lives as long as any of them.
#pragma once

#include "xml/xmldocument.h"

#include <zeltpc5/dispatch.h>

namespace zeltpc5 {

// Nothing for a null node.
DispatchPtr MakeXmlNodeObject(const XmlNode &node);

} // namespace zeltpc5
