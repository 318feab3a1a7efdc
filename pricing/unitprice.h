// The closing steps of the price/cost calculation: the customer type's rounding, the
// customer and item discounts, a forced price, the final unit price and the analytic price
// lines.
#pragma once

#include "common/currency.h"
#include "engine/hostservices.h"
#include "engine/productengine.h"
#include "pricing/localecache.h"
#include "xml/xmldocument.h"

#include <QHash>
#include <QLocale>
#include <QString>

namespace zeltpc5 {

class ChargeSession;

namespace RoundingDirection {
inline constexpr qint16 Up = 0;
inline constexpr qint16 Down = 1;
inline constexpr qint16 Nearest = 2;
} // namespace RoundingDirection

// A customer type's rounding as the host's `CustomerTypes` record set gives it.
struct RoundingRule
{
    QString records; // empty when the read failed
    qint16 on = 0;
    qint16 direction = 0;
    qint16 step = 0;
    QString description; // as DescribeRounding gives it
};

// The rounding rules a change run has read, by customer type. A company's settings do not
// change during a run, so each is read once; a failed read is not kept. Keep one per run
// (ChargeSession holds it), never longer.
class RoundingRules
{
public:
    RoundingRule rule(qint32 customerType, const HostServices &host, const QLocale &locale);

private:
    LocaleCache<qint32, RoundingRule> m_rules;
};

// From `PriceAdjustmentsTotal` to `UnitPrice` and the `PriceLines`, on the `PriceCostData`
// element. Run by CalculatePriceCost after the price charges.
void FinishUnitPrice(ProductEngine &engine, const XmlNode &priceCost, const HostServices &host,
                     const QLocale &locale = QLocale());
// The same for a line of a run over many lines, with the run's rounding rules.
void FinishUnitPrice(ProductEngine &engine, const XmlNode &priceCost, const HostServices &host,
                     ChargeSession &run, const QLocale &locale = QLocale());

// The value moved to a multiple of the step (whole currency units) in the direction; the
// value itself when rounding is off, the step is 0 or the direction unknown. Half-way goes
// up when rounding to nearest.
Currency RoundPrice(Currency value, qint16 roundingOn, qint16 direction, qint16 step);

// A short text naming the customer type's rounding rule, from the record set of the
// rounding query: "No Rounding", or "Up to $5" and the like (filled by the host).
QString DescribeRounding(const QString &records, const HostServices &host,
                         const QLocale &locale = QLocale());

} // namespace zeltpc5
