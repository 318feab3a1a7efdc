// Small pieces shared by the pricing steps: finding the `PriceCostData` element, attaching
// explanations, and the text forms that explanations use for amounts and rates.
#pragma once

#include "common/currency.h"
#include "pricing/localecache.h"
#include "xml/xmldocument.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QVariantList>

#include <optional>
#include <utility>
#include <vector>

namespace zeltpc5 {

// The `PriceCostData` element of a price/cost document. Accepts the document (or its node)
// or the element itself; a null node when there is none.
XmlNode PriceCostElement(const XmlNode &documentOrElement);

// Fills the template and sets it as the `Explain` attribute of the named child of the
// element. The child is not created: an amount that was never written gets no explanation.
void SetExplain(const XmlNode &element, const QString &fieldName, const QString &templateText,
                const QVariantList &values, const QLocale &locale);
// Removes an attribute from the named child (when both exist).
void RemoveChildAttribute(const XmlNode &element, const QString &fieldName,
                          const QString &attributeName);

// Amounts appear in explanations in the user's currency format, rates as plain numbers
// (a 40 % discount as 0.4).
QString AmountText(Currency amount, const QLocale &locale);
QString RateText(float rate, const QLocale &locale);

// The texts SetXMLSingle writes, each converted once: the rates of a run come back line
// after line. Keep one per run or per call, no longer than the locale it was filled under
// (a new locale empties it).
class SingleTexts
{
public:
    QString text(float value, const QLocale &locale);
    // SetXMLSingle with the text from here.
    void write(const QString &name, float value, const XmlNode &parent, const QLocale &locale);

private:
    LocaleCache<quint32, QString> m_texts; // by the value's bits
};

// A product of an amount and a rate as the calculation keeps it: computed in floating point,
// taken to currency (four decimals, halves to even), then to two decimals with halves away
// from zero. Nothing when the product is not a finite amount.
std::optional<Currency> Round2(double product);

// The calculation's view of one `PriceCostData` element: every step reads its operands back
// from the document (so an override flag keeps a stored value in the chain) and writes one
// amount with its explanation.
class PriceCostSteps
{
public:
    PriceCostSteps(XmlNode element, QLocale locale)
        : m_element(std::move(element)), m_locale(std::move(locale))
    {}

    const XmlNode &element() const { return m_element; }
    const QLocale &locale() const { return m_locale; }

    Currency amount(const QString &field) const;
    float rate(const QString &field) const;
    bool flag(const QString &field) const;

    // Writes the amount; without a value (a failed computation) nothing is written.
    bool write(const QString &field, std::optional<Currency> value) const;
    // Writes the amount and its explanation; nothing at all without a value.
    bool write(const QString &field, std::optional<Currency> value, const QString &templateText,
               const QVariantList &values) const;
    void explain(const QString &field, const QString &templateText,
                 const QVariantList &values) const;
    void removeExplain(const QString &field) const;

    QString money(Currency amount) const;
    // For explanations of steps that write nothing without the amount.
    QString money(const std::optional<Currency> &amount) const
    {
        return amount ? money(*amount) : QString();
    }
    QString number(float rate) const { return RateText(rate, m_locale); }

private:
    XmlNode writeAmount(const QString &field, Currency value) const;

    XmlNode m_element;
    QLocale m_locale;
    // Amounts repeat from step to step (the total one step writes is the next one's operand),
    // and converting them under the locale costs more than the rest of a step: each text is
    // converted once per line, whichever way.
    mutable std::vector<std::pair<QString, std::optional<Currency>>> m_readAmounts;
    mutable std::vector<std::pair<Currency, QString>> m_amountTexts;
    mutable std::vector<std::pair<Currency, QString>> m_writtenTexts;
};

} // namespace zeltpc5
