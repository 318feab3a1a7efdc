#include "xml/markup.h"

#include "xml/xmlaccess.h"

namespace zeltpc5::Markup {

QString TextBlockOpen(const QList<Attribute> &attributes)
{
    QString open = QStringLiteral("<TextBlock");
    for (const Attribute &attribute : attributes)
        open += QLatin1Char(' ') + attribute.name + QStringLiteral("='") +
                EscapeMarkup(attribute.value) + QLatin1Char('\'');
    return open + QLatin1Char('>');
}

QString TextBlock(const QString &content, const QList<Attribute> &attributes)
{
    return TextBlockOpen(attributes) + content + TextBlockClose;
}

QString Bold(const QString &content)
{
    return QStringLiteral("<Bold>") + content + QStringLiteral("</Bold>");
}

QString Underline(const QString &content)
{
    return QStringLiteral("<Underline>") + content + QStringLiteral("</Underline>");
}

} // namespace zeltpc5::Markup
