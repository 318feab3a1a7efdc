#include "pricing/pricecalculation.h"

#include "pricing/additionalcharges.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "pricing/unitprice.h"
#include "xml/xmlaccess.h"

#include <algorithm>

namespace zeltpc5 {

namespace {

using namespace PriceCostData;

// Explanation templates, letter for letter as users know them. Where a step has one form
// per source, the first is used when the amounts come from the product's cost and the second
// when they come from its price.
struct BySource
{
    QString fromCost;
    QString fromPrice;
    const QString &pick(qint32 source) const
    {
        return source == ProductSource::FromCost ? fromCost : fromPrice;
    }
};

namespace Text {
const BySource BeforeDiscount{QStringLiteral("Cost before discount of {0} directly from product"),
                              QStringLiteral("Price before discount of {0} directly from product")};
const BySource CostBeforeDiscountOverridden{
    QStringLiteral("Cost before discount of {0} directly from product was overridden to {1}"),
    QStringLiteral("Overridden price before discount of {0} directly from product")};
const BySource VendorDiscount{
    QStringLiteral(
        "Cost before discount of {0} directly from product * the vendor discount of {1}"),
    QStringLiteral(
        "Price before discount of {0} directly from product * the vendor discount of {1}")};
const BySource VendorDiscountOverridden{
    QStringLiteral("Overridden cost before discount of {0} * the vendor discount of {1}"),
    QStringLiteral("Overridden price before discount of {0} directly from product * the vendor "
                   "discount of {1}")};
const QString CostDiscountTotal =
    QStringLiteral("Before discount cost of {0} - vendor discount amount of {1}");
const BySource AfterDiscount{QStringLiteral("Cost after discount of {0} directly from product"),
                             QStringLiteral("Price after discount of {0} directly from product")};
const QString AfterDiscountCostTotal =
    QStringLiteral("Vendor discount total of {0} + net surcharge cost of {1}");
const BySource NetSurchargeDiscount{
    QStringLiteral(
        "Cost after discount of {0} directly from product * the net surcharge discount of {1}"),
    QStringLiteral(
        "Price after discount of {0} directly from product * the net surcharge discount of {1}")};
const QString CostDiscountAmountADTotal =
    QStringLiteral("Net surcharge cost total of {0} - Net surcharge discount of {1}");
const QString CostAdjustmentsMore = QStringLiteral("Item cost adjustments '{0}' and {1} more");
const QString CostAdjustments = QStringLiteral("Item cost adjustments '{0}'");
const QString CostAdjustmentsTotal =
    QStringLiteral("Net surcharge discount total of {0} + item cost adjustments of {1}");
const QString UnitCost =
    QStringLiteral("The final cost is the same value as the item cost adjustments total");

const BySource PriceBeforeDiscountOverridden{
    QStringLiteral("Cost before discount of {0} directly from product was overridden to {1}"),
    QStringLiteral("Price before discount of {0} directly from product overridden to {1}")};
const BySource PriceDiscount{
    QStringLiteral("Cost before discount of {0} directly from product * the price discount of {1}"),
    QStringLiteral(
        "Price before discount of {0} directly from product * the price discount of {1}")};
const BySource PriceDiscountOverridden{
    QStringLiteral(
        "Overridden cost before discount of {0} directly from product * the price discount of {1}"),
    QStringLiteral("Overridden price before discount of {0} directly from product * the price "
                   "discount of {1}")};
const QString PriceDiscountAmountTotal =
    QStringLiteral("Base retail price of {0} - price discount amount of {1}");
const QString AfterDiscountPriceTotal =
    QStringLiteral("Price discount total of {0} + net surcharge price of {1}");
const BySource PriceDiscountAD{
    QStringLiteral("Cost after discount of {0} directly from product * {1}"),
    QStringLiteral("Price after discount of {0} directly from product * {1}")};
const BySource PriceDiscountAmountADTotal{
    QStringLiteral("Net surcharge price total of {0} + net surcharge discount amount"),
    QStringLiteral("Net surcharge price total of {0} + net surcharge markup amount")};

const QString BaseRetailPriceOverridden = QStringLiteral("Overridden base retail price of {0}");
const QString BaseRetailPriceByMargin =
    QStringLiteral("Margin of {0} on cost of {1} (vendor discount total of {2} + item cost "
                   "adjustments of {3}");
const QString AfterDiscountPriceTotalByMargin =
    QStringLiteral("Base retail price of {0} + net surcharge price of {1}");
const QString MarkupByMargin = QStringLiteral("Margin of {0} on cost of {1}");
const QString PriceDiscountAmountADTotalByMargin =
    QStringLiteral("Net surcharge price total of {0} + net surcharge markup amount of {1}");

const QString PriceAdjustmentsMore = QStringLiteral("Item price adjustments '{0}' and {1} more");
const QString PriceAdjustments = QStringLiteral("Item price adjustments '{0}'");
const QString PriceAdjustmentsTotal =
    QStringLiteral("Net surcharge markup total of {0} + item price adjustments of {1}");
} // namespace Text

bool KnownSource(qint32 source)
{
    return source == ProductSource::FromCost || source == ProductSource::FromPrice;
}

// The engine's amounts; nothing when it does not deliver one, and the step that needs it
// then writes nothing (the chain goes on with the stored value).
std::optional<Currency> BeforeDiscountFromEngine(ProductEngine &engine, qint32 source)
{
    return source == ProductSource::FromCost ? engine.CostBeforeDiscount()
                                             : engine.PriceBeforeDiscount();
}

std::optional<Currency> AfterDiscountFromEngine(ProductEngine &engine, qint32 source)
{
    return source == ProductSource::FromCost ? engine.CostAfterDiscount()
                                             : engine.PriceAfterDiscount();
}

std::optional<Currency> Sum(Currency a, Currency b)
{
    return a.add(b);
}

std::optional<Currency> Difference(Currency a, Currency b)
{
    return a.subtract(b);
}

// The engine amount times a rate, in cents; nothing without the amount.
std::optional<Currency> Times(const std::optional<Currency> &amount, float rate)
{
    return amount ? Round2(amount->toDouble() * double(rate)) : std::nullopt;
}

// C1 to C7.
void CostSteps(ProductEngine &engine, qint32 source, const PriceCostSteps &s)
{
    const bool overridden = s.flag(BeforeDiscountCostOverride);
    const std::optional<Currency> b = BeforeDiscountFromEngine(engine, source);
    if (!overridden) {
        s.write(BeforeDiscountCost, b, Text::BeforeDiscount.pick(source), {s.money(b)});
    } else if (source != ProductSource::FromCost || b) {
        const QString stored = s.money(s.amount(BeforeDiscountCost));
        s.explain(BeforeDiscountCost, Text::CostBeforeDiscountOverridden.pick(source),
                  source == ProductSource::FromCost ? QVariantList{s.money(b), stored}
                                                    : QVariantList{stored});
    }

    const Currency basis = s.amount(BeforeDiscountCost);
    const float vendorDiscount = s.rate(CostDiscount);
    s.write(CostDiscountAmount, Round2(basis.toDouble() * double(vendorDiscount)),
            (overridden ? Text::VendorDiscountOverridden : Text::VendorDiscount).pick(source),
            {s.money(basis), s.number(vendorDiscount)});

    const Currency discount = s.amount(CostDiscountAmount);
    s.write(CostDiscountTotal, Difference(s.amount(BeforeDiscountCost), discount),
            Text::CostDiscountTotal, {s.money(s.amount(BeforeDiscountCost)), s.money(discount)});

    const std::optional<Currency> a = AfterDiscountFromEngine(engine, source);
    s.write(AfterDiscountCost, a, Text::AfterDiscount.pick(source), {s.money(a)});

    const Currency total = s.amount(CostDiscountTotal);
    const Currency surcharge = s.amount(AfterDiscountCost);
    s.write(AfterDiscountCostTotal, Sum(total, surcharge), Text::AfterDiscountCostTotal,
            {s.money(total), s.money(surcharge)});

    const std::optional<Currency> a2 = AfterDiscountFromEngine(engine, source);
    const float surchargeDiscount = s.rate(CostDiscountAD);
    s.write(CostDiscountAmountAD, Times(a2, surchargeDiscount),
            Text::NetSurchargeDiscount.pick(source), {s.money(a2), s.number(surchargeDiscount)});

    const Currency afterTotal = s.amount(AfterDiscountCostTotal);
    const Currency adDiscount = s.amount(CostDiscountAmountAD);
    s.write(CostDiscountAmountADTotal, Difference(afterTotal, adDiscount),
            Text::CostDiscountAmountADTotal, {s.money(afterTotal), s.money(adDiscount)});
}

// The applying charges of one type: their sum and how the explanation names them (the
// first three by code and amount, the rest counted).
struct ChargeSummary
{
    Currency sum;
    QString names;
    int named = 0;
    int further = 0;
};

ChargeSummary Summarise(const AdditionalChargeList &charges, qint16 type, const PriceCostSteps &s)
{
    constexpr int NamedCharges = 3;
    ChargeSummary summary;
    for (const AdditionalCharge &charge : charges) {
        if (!charge.Applies || charge.ChargeType != type)
            continue;
        summary.sum = summary.sum.add(charge.Amount).value_or(summary.sum);
        if (summary.named < NamedCharges) {
            if (!summary.names.isEmpty())
                summary.names += QLatin1Char(',');
            summary.names += charge.ChargeCode + QLatin1StringView(" (") + s.money(charge.Amount) +
                             QLatin1Char(')');
            ++summary.named;
        } else {
            ++summary.further;
        }
    }
    return summary;
}

void WriteAdjustments(const PriceCostSteps &s, const QString &field, const ChargeSummary &summary,
                      const QString &templateText, const QString &templateWithMore)
{
    s.write(field, summary.sum, summary.further > 0 ? templateWithMore : templateText,
            {summary.names, summary.further});
}

void CostChargeSteps(const AdditionalChargeList &charges, const PriceCostSteps &s)
{
    WriteAdjustments(s, CostAdjustments, Summarise(charges, ChargeType::Cost, s),
                     Text::CostAdjustments, Text::CostAdjustmentsMore);

    const Currency cost = s.amount(CostDiscountAmountADTotal);
    const Currency adjustments = s.amount(CostAdjustments);
    s.write(CostAdjustmentsTotal, Sum(cost, adjustments), Text::CostAdjustmentsTotal,
            {s.money(cost), s.money(adjustments)});

    const Currency unitCost = s.amount(CostAdjustmentsTotal);
    s.write(OriginalUnitCost, unitCost);
    s.write(UnitCost, unitCost, Text::UnitCost, {});
}

// P1 to P7 when the price comes from the product's cost or price.
void PriceStepsFromProduct(ProductEngine &engine, qint32 source, const PriceCostSteps &s)
{
    const bool overridden = s.flag(BeforeDiscountPriceOverride);
    const std::optional<Currency> b = BeforeDiscountFromEngine(engine, source);
    if (!overridden) {
        s.write(BeforeDiscountPrice, b, Text::BeforeDiscount.pick(source), {s.money(b)});
    } else if (b) {
        s.explain(BeforeDiscountPrice, Text::PriceBeforeDiscountOverridden.pick(source),
                  {s.money(b), s.money(s.amount(BeforeDiscountPrice))});
    }

    const Currency basis = s.amount(BeforeDiscountPrice);
    const float priceDiscount = s.rate(PriceDiscount);
    s.write(PriceDiscountAmount, Round2(basis.toDouble() * double(priceDiscount)),
            (overridden ? Text::PriceDiscountOverridden : Text::PriceDiscount).pick(source),
            {s.money(basis), s.number(priceDiscount)});

    const Currency discount = s.amount(PriceDiscountAmount);
    s.write(PriceDiscountAmountTotal, Difference(s.amount(BeforeDiscountPrice), discount),
            Text::PriceDiscountAmountTotal,
            {s.money(s.amount(BeforeDiscountPrice)), s.money(discount)});

    const std::optional<Currency> a = AfterDiscountFromEngine(engine, source);
    s.write(AfterDiscountPrice, a, Text::AfterDiscount.pick(source), {s.money(a)});

    const Currency total = s.amount(PriceDiscountAmountTotal);
    const Currency surcharge = s.amount(AfterDiscountPrice);
    s.write(AfterDiscountPriceTotal, Sum(total, surcharge), Text::AfterDiscountPriceTotal,
            {s.money(total), s.money(surcharge)});

    const std::optional<Currency> a2 = AfterDiscountFromEngine(engine, source);
    const float surchargeRate = s.rate(PriceDiscountAD);
    s.write(PriceDiscountAmountAD, Times(a2, surchargeRate), Text::PriceDiscountAD.pick(source),
            {s.money(a2), s.number(surchargeRate)});

    // The net surcharge amount is added: a positive rate raises the price.
    const Currency afterTotal = s.amount(AfterDiscountPriceTotal);
    const Currency adAmount = s.amount(PriceDiscountAmountAD);
    s.write(PriceDiscountAmountADTotal, Sum(afterTotal, adAmount),
            Text::PriceDiscountAmountADTotal.pick(source),
            {s.money(afterTotal), s.money(adAmount)});
}

// A margin m on cost c gives the selling price c / (1 - m); nothing for a margin of 1.
std::optional<Currency> PriceWithMargin(double cost, float margin)
{
    return Round2(cost / (1.0 - double(margin)));
}

// P1 to P7 when the price is a margin on the calculated cost.
void PriceStepsByMargin(ProductEngine &engine, const PriceCostSteps &s)
{
    if (s.flag(BeforeDiscountPriceOverride)) {
        s.explain(BeforeDiscountPrice, Text::BaseRetailPriceOverridden,
                  {s.money(s.amount(BeforeDiscountPrice))});
    } else {
        // The net surcharge part of the cost is priced on its own (P6), so the basis is the
        // vendor discount total with the cost charges.
        const Currency vendorTotal = s.amount(CostDiscountTotal);
        const Currency adjustments = s.amount(CostAdjustments);
        if (const auto basis = vendorTotal.add(adjustments)) {
            const float cost = float(basis->toDouble());
            const float margin = s.rate(PriceMargin);
            s.write(BeforeDiscountPrice, PriceWithMargin(double(cost), margin),
                    Text::BaseRetailPriceByMargin,
                    {s.number(margin), s.number(cost), vendorTotal.toString(s.locale()),
                     adjustments.toString(s.locale())});
        }
    }

    // No discount on a margin price; an explanation from an earlier calculation with another
    // source would describe a discount that no longer exists.
    s.write(PriceDiscountAmount, Currency());
    s.removeExplain(PriceDiscountAmount);
    s.write(PriceDiscountAmountTotal, s.amount(BeforeDiscountPrice));
    s.removeExplain(PriceDiscountAmountTotal);

    const std::optional<Currency> a = engine.PriceAfterDiscount();
    s.write(AfterDiscountPrice, a, Text::AfterDiscount.fromPrice, {s.money(a)});

    const Currency total = s.amount(PriceDiscountAmountTotal);
    const Currency surcharge = s.amount(AfterDiscountPrice);
    s.write(AfterDiscountPriceTotal, Sum(total, surcharge), Text::AfterDiscountPriceTotalByMargin,
            {s.money(total), s.money(surcharge)});

    const std::optional<Currency> pa = engine.PriceAfterDiscount();
    const float marginAD = s.rate(PriceMarginAD);
    s.write(PriceDiscountAmountAD,
            pa ? Round2(pa->toDouble() / (1.0 - double(marginAD)) - pa->toDouble()) : std::nullopt,
            Text::MarkupByMargin, {s.number(marginAD), s.money(pa)});

    const Currency afterTotal = s.amount(AfterDiscountPriceTotal);
    const Currency markup = s.amount(PriceDiscountAmountAD);
    s.write(PriceDiscountAmountADTotal, Sum(afterTotal, markup),
            Text::PriceDiscountAmountADTotalByMargin, {s.money(afterTotal), s.money(markup)});
}

void PriceChargeSteps(const AdditionalChargeList &charges, const PriceCostSteps &s)
{
    WriteAdjustments(s, PriceAdjustments, Summarise(charges, ChargeType::Price, s),
                     Text::PriceAdjustments, Text::PriceAdjustmentsMore);

    const Currency price = s.amount(PriceDiscountAmountADTotal);
    const Currency adjustments = s.amount(PriceAdjustments);
    s.write(PriceAdjustmentsTotal, Sum(price, adjustments), Text::PriceAdjustmentsTotal,
            {s.money(price), s.money(adjustments)});
}

} // namespace

Currency RoundCurrency(Currency value, qint16 decimals)
{
    // Currency holds four decimals: asking for more changes nothing.
    return value.rounded(std::clamp<int>(decimals, 0, 4), RoundingMode::HalfAwayFromZero);
}

float RoundSingle(Currency value, qint16 decimals)
{
    return float(RoundCurrency(value, decimals).toDouble());
}

void CalculatePriceCost(ProductEngine &engine, const QString &itemXml, const XmlNode &priceCost,
                        const HostServices &host, SqlSession &session, const QLocale &locale)
{
    ChargeSession chargeRun(host);
    CalculatePriceCost(engine, itemXml, priceCost, host, session, chargeRun, locale);
}

void CalculatePriceCost(ProductEngine &engine, const QString &itemXml, const XmlNode &priceCost,
                        const HostServices &host, SqlSession &session, ChargeSession &chargeRun,
                        const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    const XmlDocument document = element.ownerDocument();
    const PriceCostSteps steps(element, locale);
    const qint32 productID = GetXMLLong(ProductID, element, 0, locale);

    const qint32 costSource = host.GetProductCostSource(productID);
    if (KnownSource(costSource))
        CostSteps(engine, costSource, steps);

    AdditionalChargeList charges = chargeRun.charges(session, locale);
    EvaluateChargeCriteria(charges, itemXml, document, chargeRun);
    CalculateCostCharges(charges, document, locale);
    CostChargeSteps(charges, steps);

    const qint32 priceSource = host.GetProductPriceSource(productID);
    if (KnownSource(priceSource))
        PriceStepsFromProduct(engine, priceSource, steps);
    else if (priceSource == ProductSource::ByMargin)
        PriceStepsByMargin(engine, steps);

    CalculatePriceCharges(charges, document, locale);
    PriceChargeSteps(charges, steps);

    FinishUnitPrice(engine, element, host, chargeRun, locale);
}

} // namespace zeltpc5
