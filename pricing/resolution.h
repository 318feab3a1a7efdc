// Discount method resolution: per family, the level (product, style or option) that applies
// under the line's `DiscountMethod`, turned into the fractions the calculation uses.
#pragma once

#include "engine/hostservices.h"
#include "xml/xmldocument.h"

#include <QLocale>

namespace zeltpc5 {

class ChargeSession;

// Levels as PickHighestLevel and PickLowestLevel return them.
namespace ResolvedLevel {
inline constexpr int Product = 0;
inline constexpr int Style = 1;
inline constexpr int Option = 2;
} // namespace ResolvedLevel

// Runs ResolveCostDiscount, ResolvePriceDiscount and ResolveCustomerDiscount, in this order,
// on the price/cost document (or its `PriceCostData` element). Rates whose override flag is
// on keep their stored value.
void ResolveDiscounts(const XmlNode &priceCost, const HostServices &host,
                      const QLocale &locale = QLocale());
// The same for a line of a run over many lines, with the run's texts of the rates.
void ResolveDiscounts(const XmlNode &priceCost, const HostServices &host, ChargeSession &run,
                      const QLocale &locale = QLocale());
void ResolveCostDiscount(const XmlNode &priceCost, const QLocale &locale = QLocale());
// The price rates, then, for products whose price margin source is 1, the vendor's margins
// (used as stored, already fractions).
void ResolvePriceDiscount(const XmlNode &priceCost, const HostServices &host,
                          const QLocale &locale = QLocale());
void ResolveCustomerDiscount(const XmlNode &priceCost, const QLocale &locale = QLocale());

// The level with the highest discount; equal values go to the more specific level, a 0 never
// replaces and -999 always replaces.
int PickHighestLevel(float productValue, float styleValue, float optionValue);
// The level with the lowest non-zero discount; equal values go to the more specific level.
int PickLowestLevel(float productValue, float styleValue, float optionValue);

} // namespace zeltpc5
