#include "common/stringlist.h"

namespace zeltpc5 {

QStringList EmptyStringList()
{
    return QStringList{QString()};
}

int StringListCount(const QStringList &list)
{
    if (list.isEmpty())
        return 0;
    return int(list.size()) - (list.last().isEmpty() ? 1 : 0);
}

void StringListAppend(const QString &text, QStringList &list)
{
    if (!list.isEmpty() && list.last().isEmpty())
        list.last() = text;
    else
        list.append(text);
}

int StringListIndexOf(const QString &value, const QStringList &list, CaseSensitivity cs)
{
    const Qt::CaseSensitivity qtCs =
        cs == CaseSensitivity::Insensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const int count = StringListCount(list);
    for (int i = 0; i < count; ++i) {
        if (list.at(i).compare(value, qtCs) == 0)
            return i;
    }
    return -1;
}

} // namespace zeltpc5
