// Pricing one quote line as a change run does: LoadDiscounts, ResolveDiscounts and
// CalculatePriceCost on a freshly parsed price/cost document. The host is the scripted fake
// of the pricing tests (its late-bound calls are part of the figure).
#include "pricing/discounts.h"
#include "pricing/pricecalculation.h"
#include "pricing/resolution.h"
#include "tests/pricing/pricingfakes.h"
#include "xml/xmlaccess.h"

#include <benchmark/benchmark.h>

#include <QLocale>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

const QString Item = QStringLiteral(
    "<?xml version=\"1.0\"?><ItemData><Options><Option><Name>Color</Name><Value>White</Value>"
    "</Option><Option><Name>Width</Name><Value>36 1/2</Value></Option></Options></ItemData>");

void BM_PriceOneLine(benchmark::State &state, qint32 priceSource, const QString &fields)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    PricingHost host;
    FillPricingCompany(host);
    host.costSource = 1;
    host.priceSource = priceSource;
    host.marginSource = priceSource == 3 ? 1 : 0;
    FormulaEngineRegistration formulas(EvaluatePricingCriteria);
    ProductEngine engine(MakePricingEngine(
        {QStringLiteral("120"),
         QStringLiteral("10"),
         QStringLiteral("200"),
         QStringLiteral("8"),
         {{QStringLiteral("Base"), QStringLiteral("BASE"), QStringLiteral("180")}}}));
    const HostServices services = host.services();
    SqlSession session = host.session();
    const QString priceCost = QStringLiteral("<?xml version=\"1.0\"?><PriceCostData>") + fields +
                              QStringLiteral("</PriceCostData>");
    for (auto _ : state) {
        auto doc = LoadXMLDocument(priceCost);
        LoadDiscounts(Item, *doc, services, session);
        ResolveDiscounts(*doc, services);
        CalculatePriceCost(engine, Item, *doc, services, session);
        benchmark::DoNotOptimize(doc->xml());
        host.statements.clear();
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_PriceOneLine, fromProductWithRounding, 2,
                  QStringLiteral("<ProductID>7</ProductID><Style>Standard</Style>"
                                 "<CustomerID>3</CustomerID><CustomerTypeID>1</CustomerTypeID>"
                                 "<ItemDiscount>10%</ItemDiscount>"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(
    BM_PriceOneLine, byMarginWithForcedPrice, 3,
    QStringLiteral("<ProductID>8</ProductID><Style>Cordless</Style>"
                   "<CustomerID>4</CustomerID><CustomerTypeID>4</CustomerTypeID>"
                   "<DiscountMethod>2</DiscountMethod><PriceOverride>1</PriceOverride>"
                   "<PriceOverrideTo>100</PriceOverrideTo>"))
    ->Unit(benchmark::kMicrosecond);
