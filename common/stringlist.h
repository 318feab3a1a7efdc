// Text lists with the empty-last-element rule: a list whose last element is the empty
// text counts as holding one element fewer. A fresh list is one empty element.
#pragma once

#include <QStringList>

namespace zeltpc5 {

enum class CaseSensitivity { Sensitive, Insensitive };

// A list holding nothing: one empty element.
QStringList EmptyStringList();
// The number of elements, not counting an empty last element.
int StringListCount(const QStringList &list);
// The first text goes into element 0 (replacing the empty element), each further text
// into a new last element. An empty text is appended as it is and so ends the list.
void StringListAppend(const QString &text, QStringList &list);
// The index of the first element equal to value (within the counted elements), or -1.
int StringListIndexOf(const QString &value, const QStringList &list,
                      CaseSensitivity cs = CaseSensitivity::Sensitive);

} // namespace zeltpc5
