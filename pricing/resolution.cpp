#include "pricing/resolution.h"

#include "common/conversions.h"
#include "pricing/additionalcharges.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <utility>

namespace zeltpc5 {

namespace {

namespace Sql {
const QString ProductVendor =
    QStringLiteral("SELECT TOP 1 VendorID FROM ProductVendors WHERE (ProductID = {0})");
const QString VendorMargin = QStringLiteral("SELECT Margin FROM Vendors WHERE ID = {0}");
const QString VendorMarginAD = QStringLiteral("SELECT MarginAD FROM Vendors WHERE ID = {0}");
} // namespace Sql

// The price margin source that takes the margins from the product's vendor.
constexpr qint32 VendorMarginSource = 1;

enum class Method : qint16 { Highest = 0, Lowest = 1, MostSpecific = 2 };

bool FlagOn(const XmlNode &element, const QString &flag, const QLocale &locale)
{
    return GetXMLInteger(flag, element, 0, locale) != 0;
}

DiscountLevel ChosenLevel(const XmlNode &element, DiscountFamily family, const QLocale &locale)
{
    const auto value = [&](DiscountLevel level) {
        return GetXMLSingle(LevelRateField(family, level, LevelRate::Discount), element, 0.0f,
                            locale);
    };
    const float product = value(DiscountLevel::Product);
    const float style = value(DiscountLevel::Style);
    const float option = value(DiscountLevel::Option);

    int level = ResolvedLevel::Product;
    switch (Method(GetXMLInteger(PriceCostData::DiscountMethod, element, 0, locale))) {
    case Method::Highest:
        level = PickHighestLevel(product, style, option);
        break;
    case Method::Lowest:
        level = PickLowestLevel(product, style, option);
        break;
    case Method::MostSpecific:
        level = option != 0.0f  ? ResolvedLevel::Option
                : style != 0.0f ? ResolvedLevel::Style
                                : ResolvedLevel::Product;
        break;
    }
    switch (level) {
    case ResolvedLevel::Style:
        return DiscountLevel::Style;
    case ResolvedLevel::Option:
        return DiscountLevel::Option;
    default:
        return DiscountLevel::Product;
    }
}

struct ResolvedField
{
    QLatin1StringView field;
    LevelRate rate;
    QLatin1StringView overrideFlag; // empty: always resolved
};

// Writes each result from the chosen level's percentage, in the order given.
void Resolve(const XmlNode &element, DiscountFamily family,
             std::initializer_list<ResolvedField> fields, SingleTexts &texts, const QLocale &locale)
{
    const DiscountLevel level = ChosenLevel(element, family, locale);
    for (const ResolvedField &f : fields) {
        if (!f.overrideFlag.isEmpty() && FlagOn(element, f.overrideFlag, locale))
            continue;
        const float percent =
            GetXMLSingle(LevelRateField(family, level, f.rate), element, 0.0f, locale);
        texts.write(f.field, percent / 100.0f, element, locale);
    }
}

std::optional<float> SingleFromText(const QString &text, const QLocale &locale)
{
    const auto number = ParseNumber(text, locale);
    return number ? ToSingle(*number) : std::nullopt;
}

void ApplyVendorMargins(const XmlNode &element, const HostServices &host, SingleTexts &texts,
                        const QLocale &locale)
{
    const qint32 productID = GetXMLLong(PriceCostData::ProductID, element, 0, locale);
    if (host.GetProductPriceMarginSource(productID) != VendorMarginSource)
        return;

    qint32 vendor = GetXMLLong(PriceCostData::VendorID, element, 0, locale);
    if (vendor < 1) {
        // The product ID goes in as the number read above, never as stored text.
        const QString records =
            host.ExecuteSelect(FormatTemplate(Sql::ProductVendor, {productID}, locale));
        const auto found = ParseNumber(
            host.GetFieldValue(records, QStringLiteral("VendorID"), QStringLiteral("0")), locale);
        vendor = found ? RoundToInt32(*found).value_or(0) : 0;
    }

    const auto margin = [&](const QString &statement, const QString &column, const QString &field,
                            const QString &overrideFlag) {
        if (FlagOn(element, overrideFlag, locale))
            return;
        const QString records = host.ExecuteSelect(host.BuildString(statement, {vendor}));
        if (records.isEmpty())
            return;
        if (const auto value =
                SingleFromText(host.GetFieldValue(records, column, QStringLiteral("0")), locale))
            texts.write(field, *value, element, locale);
    };
    margin(Sql::VendorMargin, QStringLiteral("Margin"), PriceCostData::PriceMargin,
           PriceCostData::PriceMarginOverride);
    margin(Sql::VendorMarginAD, QStringLiteral("MarginAD"), PriceCostData::PriceMarginAD,
           PriceCostData::PriceMarginADOverride);
}

int LevelOfBest(float best, float styleValue, float optionValue)
{
    if (best == optionValue)
        return ResolvedLevel::Option;
    if (best == styleValue)
        return ResolvedLevel::Style;
    return ResolvedLevel::Product;
}

} // namespace

int PickHighestLevel(float productValue, float styleValue, float optionValue)
{
    // -999 in a discount table marks a level that must win whatever its value.
    constexpr float Forced = -999.0f;
    float best = productValue;
    for (float candidate : {styleValue, optionValue}) {
        if (candidate != 0.0f && (candidate > best || candidate == Forced))
            best = candidate;
    }
    return LevelOfBest(best, styleValue, optionValue);
}

int PickLowestLevel(float productValue, float styleValue, float optionValue)
{
    float best = productValue;
    for (float candidate : {styleValue, optionValue}) {
        if (candidate != 0.0f && candidate < best)
            best = candidate;
    }
    return LevelOfBest(best, styleValue, optionValue);
}

namespace {

void ResolveCost(const XmlNode &priceCost, SingleTexts &texts, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    using namespace PriceCostData;
    Resolve(element, DiscountFamily::Cost,
            {{CostDiscount, LevelRate::Discount, CostDiscountOverride},
             {CostLowDiscount, LevelRate::DiscountLow, {}},
             {CostHighDiscount, LevelRate::DiscountHigh, {}},
             {CostDiscountAD, LevelRate::DiscountAD, CostDiscountADOverride}},
            texts, locale);
}

void ResolvePrice(const XmlNode &priceCost, const HostServices &host, SingleTexts &texts,
                  const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    using namespace PriceCostData;
    Resolve(element, DiscountFamily::Price,
            {{PriceDiscount, LevelRate::Discount, PriceDiscountOverride},
             {PriceDiscountAD, LevelRate::DiscountAD, PriceDiscountADOverride},
             {PriceLowDiscount, LevelRate::DiscountLow, {}},
             {PriceHighDiscount, LevelRate::DiscountHigh, {}},
             {PriceMargin, LevelRate::Margin, PriceMarginOverride},
             {PriceMarginAD, LevelRate::MarginAD, PriceMarginADOverride}},
            texts, locale);
    ApplyVendorMargins(element, host, texts, locale);
}

void ResolveCustomer(const XmlNode &priceCost, SingleTexts &texts, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element || FlagOn(element, PriceCostData::CustomerDiscountOverride, locale))
        return;
    using namespace PriceCostData;
    Resolve(element, DiscountFamily::Customer,
            {{CustomerDiscount, LevelRate::Discount, {}},
             {CustomerLowDiscount, LevelRate::DiscountLow, {}},
             {CustomerHighDiscount, LevelRate::DiscountHigh, {}},
             {CustomerDiscountAD, LevelRate::DiscountAD, {}}},
            texts, locale);
}

void ResolveAll(const XmlNode &priceCost, const HostServices &host, SingleTexts &texts,
                const QLocale &locale)
{
    ResolveCost(priceCost, texts, locale);
    ResolvePrice(priceCost, host, texts, locale);
    ResolveCustomer(priceCost, texts, locale);
}

} // namespace

void ResolveDiscounts(const XmlNode &priceCost, const HostServices &host, const QLocale &locale)
{
    SingleTexts texts;
    ResolveAll(priceCost, host, texts, locale);
}

void ResolveDiscounts(const XmlNode &priceCost, const HostServices &host, ChargeSession &run,
                      const QLocale &locale)
{
    ResolveAll(priceCost, host, run.singleTexts(), locale);
}

void ResolveCostDiscount(const XmlNode &priceCost, const QLocale &locale)
{
    SingleTexts texts;
    ResolveCost(priceCost, texts, locale);
}

void ResolvePriceDiscount(const XmlNode &priceCost, const HostServices &host, const QLocale &locale)
{
    SingleTexts texts;
    ResolvePrice(priceCost, host, texts, locale);
}

void ResolveCustomerDiscount(const XmlNode &priceCost, const QLocale &locale)
{
    SingleTexts texts;
    ResolveCustomer(priceCost, texts, locale);
}

} // namespace zeltpc5
