#include "host/services/buildstring.h"

namespace zeltpc5::host {

QString FillPlaceholders(QString templateText, const VariantList &values)
{
    constexpr int LastPlaceholder = 16;
    const int count = int(std::min<qsizetype>(values.size(), LastPlaceholder + 1));
    for (int i = 0; i < count; ++i) {
        const std::optional<QString> text = ToText(values[i]);
        if (!text)
            continue;
        templateText.replace(u'{' + QString::number(i) + u'}', *text);
    }
    return templateText;
}

} // namespace zeltpc5::host
