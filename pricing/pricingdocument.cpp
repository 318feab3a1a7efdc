#include "pricing/pricingdocument.h"

#include "common/conversions.h"
#include "pricing/pricecostfields.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <libxml/tree.h>

#include <algorithm>
#include <bit>

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

QString SingleTexts::text(float value, const QLocale &locale)
{
    const quint32 bits = std::bit_cast<quint32>(value);
    if (const QString *kept = m_texts.find(bits, locale))
        return *kept;
    return m_texts.keep(bits, SingleToText(value, locale));
}

void SingleTexts::write(const QString &name, float value, const XmlNode &parent,
                        const QLocale &locale)
{
    SetXMLValue(name, text(value, locale), parent);
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
    // As GetXMLCurrency reads it.
    const QString text = GetXMLValue(field, m_element, QString());
    for (const auto &[read, value] : m_readAmounts) {
        if (read == text)
            return value.value_or(Currency());
    }
    const std::optional<Currency> value = Currency::fromString(text, m_locale);
    m_readAmounts.emplace_back(text, value);
    return value.value_or(Currency());
}

QString PriceCostSteps::money(Currency amount) const
{
    for (const auto &[value, text] : m_amountTexts) {
        if (value == amount)
            return text;
    }
    return m_amountTexts.emplace_back(amount, AmountText(amount, m_locale)).second;
}

float PriceCostSteps::rate(const QString &field) const
{
    return GetXMLSingle(field, m_element, 0.0f, m_locale);
}

bool PriceCostSteps::flag(const QString &field) const
{
    return GetXMLInteger(field, m_element, 0, m_locale) != 0;
}

XmlNode PriceCostSteps::writeAmount(const QString &field, Currency value) const
{
    // SetXMLCurrency's text.
    const auto known =
        std::find_if(m_writtenTexts.cbegin(), m_writtenTexts.cend(),
                     [value](const auto &written) { return written.first == value; });
    const QString &text = known != m_writtenTexts.cend()
                              ? known->second
                              : m_writtenTexts.emplace_back(value, value.toString(m_locale)).second;
    return SetXMLValue(field, text, m_element);
}

bool PriceCostSteps::write(const QString &field, std::optional<Currency> value) const
{
    if (!value)
        return false;
    writeAmount(field, *value);
    return true;
}

bool PriceCostSteps::write(const QString &field, std::optional<Currency> value,
                           const QString &templateText, const QVariantList &values) const
{
    if (!value)
        return false;
    // The element just written is the first of its name, the one SetExplain would find.
    if (const XmlNode child = writeAmount(field, *value))
        SetXMLAttribute(child, PriceCostData::Explain,
                        FormatTemplate(templateText, values, m_locale));
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
