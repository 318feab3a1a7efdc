#include "xml/childpath.h"

#include <libxml/tree.h>

#include <cstring>

namespace zeltpc5 {

namespace {

bool IsStep(const xmlNode *node, const char *name)
{
    return node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0;
}

// Nested walks over child steps keep document order: the subtrees of siblings do not
// overlap and come in order.
void Walk(const XmlNode &handle, xmlNode *node, const char *const *step, const char *const *end,
          QList<XmlNode> &out)
{
    for (xmlNode *child = node->children; child != nullptr; child = child->next) {
        if (!IsStep(child, *step))
            continue;
        if (step + 1 == end)
            out.append(handle.handleFor(child));
        else
            Walk(handle, child, step + 1, end, out);
    }
}

bool CanHoldElements(const xmlNode *node)
{
    return node != nullptr && (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE);
}

QString XPathOf(std::initializer_list<const char *> steps)
{
    QString path = QStringLiteral("/");
    for (const char *step : steps)
        path += QLatin1Char('/') + QLatin1StringView(step);
    return path;
}

} // namespace

QList<XmlNode> SelectChildPath(const XmlNode &from, std::initializer_list<const char *> steps)
{
    QList<XmlNode> out;
    if (steps.size() > 0 && CanHoldElements(from.rawNode()))
        Walk(from, from.rawNode(), steps.begin(), steps.end(), out);
    return out;
}

QList<XmlNode> SelectDescendantPath(const XmlNode &from, std::initializer_list<const char *> steps)
{
    if (from.isNull() || steps.size() == 0)
        return {};
    // "//" starts at the document, whatever node the selection starts from.
    const XmlNode document = from.ownerDocument().node();
    const QList<XmlNode> tops = document.descendantElements(QString::fromLatin1(*steps.begin()));
    QList<XmlNode> found;
    for (const XmlNode &top : tops) {
        if (!top.hasNamespace()) {
            // One may lie inside another, and XPath gives the union in document order.
            if (!found.isEmpty())
                return from.selectNodes(XPathOf(steps));
            found.append(top);
        }
    }
    QList<XmlNode> out;
    if (found.isEmpty())
        return out;
    if (steps.size() == 1)
        return found;
    Walk(from, found.front().rawNode(), steps.begin() + 1, steps.end(), out);
    return out;
}

} // namespace zeltpc5
