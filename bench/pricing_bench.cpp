// Pricing one quote line as a change run does: LoadDiscounts, ResolveDiscounts and
// CalculatePriceCost on a freshly parsed price/cost document, alone and as one of the lines
// of a run. The host is the scripted fake of the pricing tests (its late-bound calls are
// part of the figure).
#include "pricing/additionalcharges.h"
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

// The locale every amount is written in, set before anything else is made.
struct UnitedStatesLocale
{
    UnitedStatesLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

// The scripted company and product of both figures.
struct Setup
{
    explicit Setup(qint32 priceSource)
        : formulas(EvaluatePricingCriteria),
          engine(MakePricingEngine(
              {QStringLiteral("120"),
               QStringLiteral("10"),
               QStringLiteral("200"),
               QStringLiteral("8"),
               {{QStringLiteral("Base"), QStringLiteral("BASE"), QStringLiteral("180")}}}))
    {
        FillPricingCompany(host);
        host.costSource = 1;
        host.priceSource = priceSource;
        host.marginSource = priceSource == 3 ? 1 : 0;
    }

    UnitedStatesLocale locale;
    PricingHost host;
    FormulaEngineRegistration formulas;
    ProductEngine engine;
};

QString PriceCostText(const QString &fields)
{
    return QStringLiteral("<?xml version=\"1.0\"?><PriceCostData>") + fields +
           QStringLiteral("</PriceCostData>");
}

void BM_PriceOneLine(benchmark::State &state, qint32 priceSource, const QString &fields)
{
    Setup setup(priceSource);
    const HostServices services = setup.host.services();
    SqlSession session = setup.host.session();
    const QString priceCost = PriceCostText(fields);
    for (auto _ : state) {
        auto doc = LoadXMLDocument(priceCost);
        LoadDiscounts(Item, *doc, services, session);
        ResolveDiscounts(*doc, services);
        CalculatePriceCost(setup.engine, Item, *doc, services, session);
        benchmark::DoNotOptimize(doc->xml());
        setup.host.statements.clear();
    }
}

// One line after another in a change run: the run's ChargeSession keeps what the lines share
// (discount levels, rounding, charges, rate texts), as the bulk changes use it.
void BM_PriceLinesOfARun(benchmark::State &state, qint32 priceSource, const QString &fields)
{
    Setup setup(priceSource);
    const HostServices services = setup.host.services();
    SqlSession session = setup.host.session();
    session.setSessionCachingEnabled(true);
    ChargeSession run(services);
    const QString priceCost = PriceCostText(fields);
    const auto item = LoadXMLDocument(Item);
    for (auto _ : state) {
        auto doc = LoadXMLDocument(priceCost);
        LoadDiscounts(*item, *doc, services, session, run);
        ResolveDiscounts(*doc, services, run);
        CalculatePriceCost(setup.engine, Item, *doc, services, session, run);
        benchmark::DoNotOptimize(doc->xml());
        setup.host.statements.clear();
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
BENCHMARK_CAPTURE(BM_PriceLinesOfARun, fromProductWithRounding, 2,
                  QStringLiteral("<ProductID>7</ProductID><Style>Standard</Style>"
                                 "<CustomerID>3</CustomerID><CustomerTypeID>1</CustomerTypeID>"
                                 "<ItemDiscount>10%</ItemDiscount>"))
    ->Unit(benchmark::kMicrosecond);
