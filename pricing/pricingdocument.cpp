#include "pricing/pricingdocument.h"

#include "common/conversions.h"
#include "pricing/pricecostfields.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <libxml/tree.h>

namespace zeltpc5 {

XmlNode PriceCostElement(const XmlNode &documentOrElement)
{
    if (documentOrElement.isDocument())
        return FindChildNode(documentOrElement, PriceCostData::Root);
    if (documentOrElement.isElement() && documentOrElement.nodeName() == PriceCostData::Root)
        return documentOrElement;
    return {};
}

void SetExplain(const XmlNode &element, const QString &fieldName, const QString &templateText,
                const QVariantList &values, const QLocale &locale)
{
    const XmlNode child = GetChildElement(fieldName, element, false);
    if (child)
        SetXMLAttribute(child, PriceCostData::Explain,
                        FormatTemplate(templateText, values, locale));
}

void RemoveChildAttribute(const XmlNode &element, const QString &fieldName,
                          const QString &attributeName)
{
    // The document layer offers no attribute removal yet. Removing it here is safe because
    // no pricing step keeps a handle to an attribute node.
    const XmlNode child = GetChildElement(fieldName, element, false);
    if (child.isElement())
        xmlUnsetProp(child.rawNode(),
                     reinterpret_cast<const xmlChar *>(attributeName.toUtf8().constData()));
}

QString AmountText(Currency amount, const QLocale &locale)
{
    return FormatCurrency(amount, locale);
}

QString RateText(float rate, const QLocale &locale)
{
    return SingleToText(rate, locale);
}

std::optional<Currency> Round2(double product)
{
    const auto amount = Currency::fromDouble(product);
    if (!amount)
        return std::nullopt;
    return amount->rounded(2, RoundingMode::HalfAwayFromZero);
}

Currency PriceCostSteps::amount(const QString &field) const
{
    return GetXMLCurrency(field, m_element, Currency(), m_locale);
}

float PriceCostSteps::rate(const QString &field) const
{
    return GetXMLSingle(field, m_element, 0.0f, m_locale);
}

bool PriceCostSteps::flag(const QString &field) const
{
    return GetXMLInteger(field, m_element, 0, m_locale) != 0;
}

bool PriceCostSteps::write(const QString &field, std::optional<Currency> value) const
{
    if (!value)
        return false;
    SetXMLCurrency(field, *value, m_element, m_locale);
    return true;
}

bool PriceCostSteps::write(const QString &field, std::optional<Currency> value,
                           const QString &templateText, const QVariantList &values) const
{
    if (!write(field, value))
        return false;
    explain(field, templateText, values);
    return true;
}

void PriceCostSteps::explain(const QString &field, const QString &templateText,
                             const QVariantList &values) const
{
    SetExplain(m_element, field, templateText, values, m_locale);
}

void PriceCostSteps::removeExplain(const QString &field) const
{
    RemoveChildAttribute(m_element, field, PriceCostData::Explain);
}

} // namespace zeltpc5
