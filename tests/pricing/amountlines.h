// Every computed amount of a price/cost document, one per line: "Name=value | explanation",
// for comparing whole calculations in tests.
#pragma once

#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

#include <QStringList>

namespace zeltpc5::testing {

// How the rounding marker of RoundedPriceTotal shows in a line.
enum class NoRoundingMark {
    Hidden,
    Flag,  // " [norounding]"
    Value, // " [norounding=1]"
};

inline QStringList AmountLines(const XmlDocument &doc, NoRoundingMark mark)
{
    QStringList lines;
    for (const FieldDefinition &f : PriceCostFields()) {
        const XmlNode element = FindChildNode(doc.documentElement(), f.name);
        if (f.group != FieldGroup::Amount || !element)
            continue;
        QString line = f.name + QLatin1Char('=') + element.text();
        if (const auto explain = element.attribute(QStringLiteral("Explain")))
            line += QStringLiteral(" | ") + *explain;
        if (const auto flag = element.attribute(QStringLiteral("norounding"))) {
            if (mark == NoRoundingMark::Flag)
                line += QStringLiteral(" [norounding]");
            else if (mark == NoRoundingMark::Value)
                line += QStringLiteral(" [norounding=") + *flag + QLatin1Char(']');
        }
        lines << line;
    }
    return lines;
}

} // namespace zeltpc5::testing
