#include "pricing/itemfields.h"

#include "xml/xmlaccess.h"

namespace zeltpc5 {

std::optional<XmlDocument> LoadItemXML(const QString &itemXml)
{
    return LoadXMLDocument(itemXml);
}

QString GetOptionValue(const XmlDocument &itemDocument, const QString &optionName)
{
    const XmlNode option =
        SelectOptionByName(itemDocument.documentElement(), optionName, OptionNameMatch::IgnoreCase);
    return GetXMLValue(OptionField::Value, option, QString());
}

QString GetItemOptionValue(const QString &optionName, const QString &itemXml)
{
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    return document ? GetOptionValue(*document, optionName) : QString();
}

QString SetItemValue(const QString &fieldName, const QString &value, const QString &itemXml)
{
    const std::optional<XmlDocument> document = LoadItemXML(itemXml);
    if (!document)
        return {};
    const XmlNode root = FindChildNode(*document, ItemData::Root);
    SetXMLValue(fieldName, value, root);
    return document->xml();
}

} // namespace zeltpc5
