#include "xml/xmlaccess.h"

#include "common/conversions.h"

#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

namespace zeltpc5 {

namespace {

const xmlChar *Xml(const QByteArray &text)
{
    return reinterpret_cast<const xmlChar *>(text.constData());
}

// A path made only of name characters selects a child element by name; it is answered by a
// scan of the children instead of compiling an expression.
bool IsSimpleChildName(const QString &path)
{
    if (path.isEmpty())
        return false;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
        const bool other = (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other))
            return false;
    }
    return true;
}

std::optional<QString> SelectedText(const QString &path, const XmlNode &node)
{
    if (node.isNull())
        return std::nullopt;
    if (IsSimpleChildName(path) && !node.isAttribute()) {
        const XmlNode child = node.firstChildElement(path);
        if (child.isNull())
            return std::nullopt;
        // An element in a default namespace is not what the bare name selects in XPath.
        if (child.rawNode()->ns == nullptr)
            return child.text();
    }
    return node.selectText(path);
}

QString NumberText(const QString &path, const XmlNode &node)
{
    return GetXMLValue(path, node, QString());
}

// Whether an element's text decodes to the key. A key without line breaks or "&#1" equals the
// decoded text exactly when it equals the stored text, so most keys compare as bytes.
bool KeyTextEquals(const XmlNode &keyNode, const QString &key, const QByteArray &plainKey)
{
    if (plainKey.isNull())
        return DecodeLineBreaks(keyNode.text()) == key;
    const xmlNode *node = keyNode.rawNode();
    const xmlNode *child = node->children;
    if (child == nullptr)
        return plainKey.isEmpty();
    if (child->next == nullptr && child->type == XML_TEXT_NODE)
        return QByteArrayView(reinterpret_cast<const char *>(child->content)) == plainKey;
    return keyNode.text() == key;
}

XmlNode GetKeyedElement(const QString &keyName, const QString &key, const QString &elementName,
                        const XmlNode &parent, bool create, bool skipSearch)
{
    if (parent.isNull())
        return {};
    if (!skipSearch) {
        const bool plain = !key.contains(QLatin1Char('\r')) && !key.contains(QLatin1Char('\n')) &&
                           !key.contains(QLatin1String("&#1"));
        const QByteArray plainKey = plain ? key.toUtf8() : QByteArray();
        for (XmlNode child = parent.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            const XmlNode keyNode = child.firstChildElement(keyName);
            if (!keyNode.isNull() && KeyTextEquals(keyNode, key, plainKey))
                return child;
        }
    }
    if (!create)
        return {};
    XmlNode element = parent.appendElement(elementName);
    if (!element.isNull())
        SetXMLValue(keyName, key, element);
    return element;
}

} // namespace

std::optional<XmlDocument> NewXMLDocument(const QString &rootName)
{
    return XmlDocument::create(rootName);
}

std::optional<XmlDocument> LoadXMLDocument(const QString &xmlText)
{
    return XmlDocument::parse(xmlText);
}

XmlNode FindChildNode(const XmlNode &parent, const QString &nodeName)
{
    if (nodeName.isEmpty())
        return {};
    return parent.firstChildElement(nodeName);
}

XmlNode AppendChildElement(const QString &elementName, const XmlNode &parent)
{
    return parent.appendElement(elementName);
}

XmlNode GetChildElement(const QString &elementName, const XmlNode &parent, bool create)
{
    XmlNode child = FindChildNode(parent, elementName);
    if (child.isNull() && create)
        child = parent.appendElement(elementName);
    return child;
}

XmlNode GetOptionElement(const QString &key, const QString &elementName, const XmlNode &parent,
                         bool create, bool skipSearch)
{
    return GetKeyedElement(QStringLiteral("Name"), key, elementName, parent, create, skipSearch);
}

XmlNode GetIDElement(const QString &key, const QString &elementName, const XmlNode &parent,
                     bool create, bool skipSearch)
{
    return GetKeyedElement(QStringLiteral("ID"), key, elementName, parent, create, skipSearch);
}

QString GetXMLValue(const QString &path, const XmlNode &node, const QString &defaultValue)
{
    const std::optional<QString> text = SelectedText(path, node);
    if (!text || text->isEmpty())
        return defaultValue;
    return DecodeLineBreaks(*text);
}

qint32 GetXMLLong(const QString &path, const XmlNode &node, qint32 defaultValue,
                  const QLocale &locale)
{
    const std::optional<double> number = ParseNumber(NumberText(path, node), locale);
    if (!number)
        return defaultValue;
    return RoundToInt32(*number).value_or(defaultValue);
}

qint16 GetXMLInteger(const QString &path, const XmlNode &node, qint16 defaultValue,
                     const QLocale &locale)
{
    const std::optional<double> number = ParseNumber(NumberText(path, node), locale);
    if (!number)
        return defaultValue;
    return RoundToInt16(*number).value_or(defaultValue);
}

float GetXMLSingle(const QString &path, const XmlNode &node, float defaultValue,
                   const QLocale &locale)
{
    const std::optional<double> number = ParseNumber(NumberText(path, node), locale);
    if (!number)
        return defaultValue;
    return ToSingle(*number).value_or(defaultValue);
}

Currency GetXMLCurrency(const QString &path, const XmlNode &node, Currency defaultValue,
                        const QLocale &locale)
{
    return Currency::fromString(NumberText(path, node), locale).value_or(defaultValue);
}

bool GetXMLBoolean(const QString &path, const XmlNode &node, bool defaultValue)
{
    const QString text = GetXMLValue(path, node, QString()).toLower();
    if (text.isEmpty())
        return defaultValue;
    if (text == u"true" || text == u"yes" || text == u"1" || text == u"-1")
        return true;
    if (text == u"false" || text == u"no" || text == u"0")
        return false;
    return defaultValue;
}

QDateTime GetXMLDate(const QString &path, const XmlNode &node, const QDateTime &defaultValue)
{
    return ParseXMLDate(GetXMLValue(path, node, QString()), defaultValue);
}

XmlNode SetXMLValue(const QString &name, const QString &value, const XmlNode &parent)
{
    if (parent.isNull())
        return {};
    const XmlNode child = parent.firstChildElementOrAppend(name);
    child.setText(EncodeLineBreaks(value));
    return child;
}

void SetXMLLong(const QString &name, qint32 value, const XmlNode &parent, const QLocale &locale)
{
    SetXMLValue(name, NumberToText(double(value), locale), parent);
}

void SetXMLInteger(const QString &name, qint16 value, const XmlNode &parent, const QLocale &locale)
{
    SetXMLValue(name, NumberToText(double(value), locale), parent);
}

void SetXMLSingle(const QString &name, float value, const XmlNode &parent, const QLocale &locale)
{
    SetXMLValue(name, SingleToText(value, locale), parent);
}

void SetXMLCurrency(const QString &name, Currency value, const XmlNode &parent,
                    const QLocale &locale)
{
    SetXMLValue(name, value.toString(locale), parent);
}

void SetXMLAttribute(const XmlNode &node, const QString &attributeName, const QString &value)
{
    node.setAttribute(attributeName, value);
}

QString GetXMLAttribute(const XmlNode &node, const QString &attributeName,
                        const QString &defaultValue)
{
    return node.attribute(attributeName).value_or(defaultValue);
}

QString XPathLiteral(const QString &text)
{
    const QChar apostrophe = QLatin1Char('\'');
    const QChar quote = QLatin1Char('"');
    if (text.isEmpty())
        return QStringLiteral("''");
    if (!text.contains(apostrophe))
        return apostrophe + text + apostrophe;
    if (!text.contains(quote))
        return quote + text + quote;
    // Both quote characters: concatenate runs, each closed by the quote character it holds
    // and wrapped in the other one.
    QString parts;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != apostrophe && c != quote)
            continue;
        const QChar wrap = c == apostrophe ? quote : apostrophe;
        parts += wrap + text.mid(runStart, i - runStart + 1) + wrap + QLatin1Char(',');
        runStart = i + 1;
    }
    if (runStart < text.size())
        parts += apostrophe + text.mid(runStart) + apostrophe + QLatin1Char(',');
    parts.chop(1);
    return QStringLiteral("concat(") + parts + QLatin1Char(')');
}

QString EscapeMarkup(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    escaped.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    escaped.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    escaped.replace(QStringLiteral("\r\n"), QStringLiteral("<LineBreak/>"));
    return escaped;
}

QString EncodeLineBreaks(const QString &text)
{
    // One pass over what is usually a short value, rather than one search per character.
    if (std::none_of(text.cbegin(), text.cend(),
                     [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }))
        return text;
    QString encoded = text;
    encoded.replace(QLatin1Char('\r'), QStringLiteral("&#13;"));
    encoded.replace(QLatin1Char('\n'), QStringLiteral("&#10;"));
    return encoded;
}

QString DecodeLineBreaks(const QString &text)
{
    // Most texts hold no '&', which is found faster than the whole entity.
    if (!text.contains(QLatin1Char('&')) || !text.contains(QLatin1String("&#1")))
        return text;
    QString decoded = text;
    decoded.replace(QStringLiteral("&#13;"), QStringLiteral("\r"));
    decoded.replace(QStringLiteral("&#10;"), QStringLiteral("\n"));
    return decoded;
}

namespace {

// A field of one or two digits (or exactly four for a year), as a number; -1 otherwise.
int DigitField(QStringView text, qsizetype minDigits, qsizetype maxDigits)
{
    if (text.size() < minDigits || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QDateTime ParseXMLDate(const QString &text, const QDateTime &defaultValue)
{
    // The fields are taken by position, not through the regional date order: reading
    // month/day/year text under a day/month/year locale would swap day and month.
    const QStringList halves = text.split(QLatin1Char('T'));
    if (halves.size() != 2)
        return defaultValue;
    const QStringList date = halves.at(0).split(QLatin1Char('-'));
    const QStringList time = halves.at(1).split(QLatin1Char(':'));
    if (date.size() != 3 || time.size() < 2 || time.size() > 3)
        return defaultValue;
    const int year = DigitField(date.at(0), 4, 4);
    const int month = DigitField(date.at(1), 1, 2);
    const int day = DigitField(date.at(2), 1, 2);
    const int hour = DigitField(time.at(0), 1, 2);
    const int minute = DigitField(time.at(1), 1, 2);
    const int second = time.size() == 3 ? DigitField(time.at(2), 1, 2) : 0;
    if (year < 100 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return defaultValue;
    const QDate d(year, month, day);
    const QTime t(hour, minute, second);
    if (!d.isValid() || !t.isValid())
        return defaultValue;
    const QDateTime result(d, t);
    return result.isValid() ? result : defaultValue;
}

QString SingleToText(float value, const QLocale &locale)
{
    // The shortest digits that read back as this single, so 0.1f is written "0.1" and not
    // the digits of its exact binary value.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double shortest = value;
    if (written.ec == std::errc())
        std::from_chars(buffer, written.ptr, shortest);
    return NumberToText(shortest, locale);
}

QString OptionSelectionXPath(const QString &optionName, OptionNameMatch match)
{
    return QStringLiteral("//ItemData/Options/Option[ms:string-compare(Name,") +
           XPathLiteral(optionName) +
           (match == OptionNameMatch::IgnoreCase ? QStringLiteral(",'','i') = '0']")
                                                 : QStringLiteral(",'','u') = '0']"));
}

} // namespace zeltpc5

namespace zeltpc5 {

namespace {

bool IsPlainElement(const xmlNode *node, const char *name)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0;
}

bool IsAscii(const char *text)
{
    for (; *text != 0; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

// The name an option is looked up by, and the comparison of an option's Name with it: the
// first such Name child's text, or empty without one.
class WantedOptionName
{
public:
    WantedOptionName(const QString &optionName, OptionNameMatch match)
        : m_name(optionName), m_wanted(optionName.toUtf8()),
          m_ignoreCase(match == OptionNameMatch::IgnoreCase),
          // A name holding NUL never equals a document text; it takes the slow path to say so.
          m_ascii(!m_wanted.contains('\0') && IsAscii(m_wanted.constData()))
    {}

    bool matches(const XmlNode &context, const xmlNode *option) const
    {
        const xmlNode *name = option->children;
        while (name != nullptr && !IsPlainElement(name, "Name"))
            name = name->next;
        const xmlNode *text = name ? name->children : nullptr;
        if (name == nullptr || text == nullptr)
            return m_wanted.isEmpty();
        if (text->next == nullptr && text->type == XML_TEXT_NODE && m_ascii &&
            IsAscii(reinterpret_cast<const char *>(text->content))) {
            // ASCII both sides: the comparison rule reduces to a byte comparison.
            const auto *content = reinterpret_cast<const char *>(text->content);
            return (m_ignoreCase ? xmlStrcasecmp(text->content, Xml(m_wanted))
                                 : std::strcmp(content, m_wanted.constData())) == 0;
        }
        return MsStringCompare(context.handleFor(const_cast<xmlNode *>(name)).text(), m_name,
                               QString(),
                               m_ignoreCase ? QStringLiteral("i") : QStringLiteral("u")) == 0;
    }

private:
    const QString &m_name;
    QByteArray m_wanted;
    bool m_ignoreCase;
    bool m_ascii;
};

} // namespace

XmlNode SelectOptionByName(const XmlNode &context, const QString &optionName, OptionNameMatch match)
{
    const WantedOptionName wanted(optionName, match);
    // "//" starts at the root of the context's tree; bare names select elements without a
    // namespace.
    const XmlNode top = context.treeRoot();
    for (xmlNode *node = top.rawNode(); node != nullptr;) {
        if (IsPlainElement(node, "Option") && IsPlainElement(node->parent, "Options") &&
            IsPlainElement(node->parent->parent, "ItemData") && wanted.matches(context, node))
            return context.handleFor(node);
        // Pre-order walk over elements, without recursion.
        if (node->children != nullptr &&
            (node->type == XML_ELEMENT_NODE || node == top.rawNode())) {
            node = node->children;
            continue;
        }
        while (node != top.rawNode() && node->next == nullptr)
            node = node->parent;
        node = node == top.rawNode() ? nullptr : node->next;
    }
    return {};
}

XmlNode SelectOptionByName(const QList<XmlNode> &options, const QString &optionName,
                           OptionNameMatch match)
{
    const WantedOptionName wanted(optionName, match);
    for (const XmlNode &option : options) {
        if (option.rawNode() != nullptr && wanted.matches(option, option.rawNode()))
            return option;
    }
    return {};
}

} // namespace zeltpc5
