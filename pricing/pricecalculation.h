// The price/cost calculation of one quote line: the cost chain, the cost charges, the price
// chain, the price charges and the unit price finishing, each amount with its explanation.
#pragma once

#include "common/currency.h"
#include "engine/hostservices.h"
#include "engine/productengine.h"
#include "pricing/additionalcharges.h"
#include "xml/xmldocument.h"

#include <QLocale>
#include <QString>

namespace zeltpc5 {

// Where a side's amounts come from (the host's GetProductCostSource / GetProductPriceSource).
namespace ProductSource {
inline constexpr qint32 FromCost = 1;  // the engine's cost amounts
inline constexpr qint32 FromPrice = 2; // the engine's price amounts
inline constexpr qint32 ByMargin = 3;  // price only: a margin on the calculated cost
} // namespace ProductSource

// Prices the line in its price/cost document (the document or its `PriceCostData` element)
// from the product engine, already processed for the line. A side whose source is unknown
// keeps its stored amounts; the charges and the unit price finishing always run. Never
// fails loudly: a step that cannot be computed writes nothing and the chain goes on with
// the stored value.
void CalculatePriceCost(ProductEngine &engine, const QString &itemXml, const XmlNode &priceCost,
                        const HostServices &host, SqlSession &session,
                        const QLocale &locale = QLocale());
// The same with the formula engine of a run over many lines.
void CalculatePriceCost(ProductEngine &engine, const QString &itemXml, const XmlNode &priceCost,
                        const HostServices &host, SqlSession &session, ChargeSession &chargeRun,
                        const QLocale &locale = QLocale());

// The value rounded to that many decimals (0 to 4), halves away from zero.
Currency RoundCurrency(Currency value, qint16 decimals);
float RoundSingle(Currency value, qint16 decimals);

} // namespace zeltpc5
