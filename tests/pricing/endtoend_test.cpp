// Whole lines priced as a change run prices them: LoadDiscounts, ResolveDiscounts and
// CalculatePriceCost against a fake host. Every amount and explanation below was worked out
// by hand from the company tables of FillPricingCompany.
#include "pricing/amountlines.h"
#include "pricing/discounts.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "pricingfakes.h"
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

XmlDocument PriceLine(PricingHost &host, const EngineAmounts &amounts, const QString &fields,
                      const QString &item)
{
    XmlDocument doc = *LoadXMLDocument(QStringLiteral("<PriceCostData>") + fields +
                                       QStringLiteral("</PriceCostData>"));
    ProductEngine engine(MakePricingEngine(amounts));
    SqlSession session = host.session();
    LoadDiscounts(item, doc, host.services(), session);
    ResolveDiscounts(doc, host.services());
    CalculatePriceCost(engine, item, doc, host.services(), session);
    return doc;
}

QStringList Amounts(const XmlDocument &doc)
{
    return zeltpc5::testing::AmountLines(doc, zeltpc5::testing::NoRoundingMark::Flag);
}

QString Field(const XmlDocument &doc, const QString &name)
{
    return GetXMLValue(name, doc.documentElement());
}

// Compares with the checked-in document; ZELTPC5_REGENERATE_GOLDEN=1 rewrites it.
void ExpectGolden(const XmlDocument &doc, const QString &name)
{
    const QString path = QStringLiteral(ZELTPC5_PRICING_TEST_DATA "/") + name;
    QFile file(path);
    if (qEnvironmentVariableIntValue("ZELTPC5_REGENERATE_GOLDEN") == 1) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(doc.xml().toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(QString::fromUtf8(file.readAll()), doc.xml()) << "golden file " << path.toStdString();
}

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override { FillPricingCompany(host); }
    PricingHost host;
    FormulaEngineRegistration formulas{EvaluatePricingCriteria};
};

} // namespace

// Cost and price from the product, rounding up to 5, customer and percentage item discounts,
// cost charges (one with criteria) and a price charge with criteria.
TEST_F(EndToEnd, linePricedFromTheProductWithRounding)
{
    host.costSource = 1;
    host.priceSource = 2;
    const XmlDocument doc = PriceLine(
        host,
        {QStringLiteral("100"),
         QStringLiteral("10"),
         QStringLiteral("200"),
         QStringLiteral("20"),
         {{QStringLiteral("Base"), QStringLiteral("BASE"), QStringLiteral("180")},
          {QStringLiteral("Cordless lift"), QStringLiteral("LIFT"), QStringLiteral("20")}}},
        QStringLiteral("<ProductID>7</ProductID><Style>Standard</Style><CustomerID>3</CustomerID>"
                       "<CustomerTypeID>1</CustomerTypeID><ItemDiscount>10%</ItemDiscount>"
                       "<RoundedPriceTotal norounding=\"1\">0</RoundedPriceTotal>"),
        QStringLiteral("<ItemData/>"));

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscount")), QStringLiteral("0.4"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscount")), QStringLiteral("0.05"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscount")), QStringLiteral("0.1"));
    EXPECT_EQ(
        Amounts(doc).join('\n'),
        QStringList(
            {
                "BeforeDiscountCost=100 | Cost before discount of $100.00 directly from product",
                "CostDiscountAmount=40 | Cost before discount of $100.00 directly from product "
                "* the vendor discount of 0.4",
                "CostDiscountTotal=60 | Before discount cost of $100.00 - vendor discount "
                "amount of $40.00",
                "AfterDiscountCost=10 | Cost after discount of $10.00 directly from product",
                "AfterDiscountCostTotal=70 | Vendor discount total of $60.00 + net surcharge "
                "cost of $10.00",
                "CostDiscountAmountAD=1 | Cost after discount of $10.00 directly from product "
                "* the net surcharge discount of 0.1",
                "CostDiscountAmountADTotal=69 | Net surcharge cost total of $70.00 - Net "
                "surcharge discount of $1.00",
                "CostAdjustments=7.5 | Item cost adjustments 'FUEL ($3.00),HANDLING ($4.50)'",
                "CostAdjustmentsTotal=76.5 | Net surcharge discount total of $69.00 + item cost "
                "adjustments of $7.50",
                "OriginalUnitCost=76.5",
                "UnitCost=76.5 | The final cost is the same value as the item cost adjustments "
                "total",
                "BeforeDiscountPrice=200 | Price before discount of $200.00 directly from "
                "product",
                "PriceDiscountAmount=10 | Price before discount of $200.00 directly from "
                "product * the price discount of 0.05",
                "PriceDiscountAmountTotal=190 | Base retail price of $200.00 - price discount "
                "amount of $10.00",
                "AfterDiscountPrice=20 | Price after discount of $20.00 directly from product",
                "AfterDiscountPriceTotal=210 | Price discount total of $190.00 + net surcharge "
                "price of $20.00",
                "PriceDiscountAmountAD=2 | Price after discount of $20.00 directly from product "
                "* 0.1",
                "PriceDiscountAmountADTotal=212 | Net surcharge price total of $210.00 + net "
                "surcharge markup amount",
                "PriceAdjustments=10 | Item price adjustments 'CORD ($10.00)'",
                "PriceAdjustmentsTotal=222 | Net surcharge markup total of $212.00 + item price "
                "adjustments of $10.00",
                "RoundedPriceTotal=225 | Price adjustments total of $222.00 rounded to $225.00 "
                "using settings(Up to $5)",
                "ActualPrice=225",
                "CustomerDiscountPrice=22.5 | Rounded price total of $225.00 * customer "
                "discount of 0.1",
                "CustomerDiscountTotal=202.5 | Rounded price total of $225.00 - customer "
                "discount amount of $22.50",
                "ItemDiscountAmount=20.25 | Customer discount total of $202.50 * item discount "
                "of 0.1",
                "ItemDiscountAmountTotal=182.25 | Customer discount total of $202.50 - item "
                "discount amount $20.25",
                "OriginalUnitPrice=182.25",
                "UnitPrice=182.25",
            })
            .join('\n'));
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscount")), QStringLiteral("10.0%"));
    EXPECT_EQ(doc.selectNodes(QStringLiteral("/PriceCostData/PriceLines/PriceLine")).size(), 2);
    ExpectGolden(doc, QStringLiteral("line-from-product.xml"));
}

// Price by margin on the cost with the vendor's margins, most specific discounts, no
// rounding, a customer discount from an option row and a forced price.
TEST_F(EndToEnd, linePricedByMarginWithForcedPrice)
{
    host.costSource = 1;
    host.priceSource = 3;
    host.marginSource = 1;
    const XmlDocument doc = PriceLine(
        host,
        {QStringLiteral("120"),
         QStringLiteral("0"),
         QStringLiteral("300"),
         QStringLiteral("8"),
         {}},
        QStringLiteral("<ProductID>8</ProductID><Style>Cordless</Style><CustomerID>4</CustomerID>"
                       "<CustomerTypeID>4</CustomerTypeID><DiscountMethod>2</DiscountMethod>"
                       "<PriceOverride>1</PriceOverride><PriceOverrideTo>100</PriceOverrideTo>"
                       "<ItemDiscount/>"
                       "<PriceDiscountAmount Explain=\"stale\">4</PriceDiscountAmount>"),
        QStringLiteral("<ItemData><Options><Option><Name>Color</Name><Value>White</Value>"
                       "</Option></Options></ItemData>"));

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscount")), QStringLiteral("0.5"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountAD")), QStringLiteral("0.1"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMargin")), QStringLiteral("0.25"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMarginAD")), QStringLiteral("0.2"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscount")), QStringLiteral("0.05"));
    EXPECT_EQ(
        Amounts(doc).join('\n'),
        QStringList(
            {
                "BeforeDiscountCost=120 | Cost before discount of $120.00 directly from product",
                "CostDiscountAmount=60 | Cost before discount of $120.00 directly from product "
                "* the vendor discount of 0.5",
                "CostDiscountTotal=60 | Before discount cost of $120.00 - vendor discount "
                "amount of $60.00",
                "AfterDiscountCost=0 | Cost after discount of $0.00 directly from product",
                "AfterDiscountCostTotal=60 | Vendor discount total of $60.00 + net surcharge "
                "cost of $0.00",
                "CostDiscountAmountAD=0 | Cost after discount of $0.00 directly from product * "
                "the net surcharge discount of 0.1",
                "CostDiscountAmountADTotal=60 | Net surcharge cost total of $60.00 - Net "
                "surcharge discount of $0.00",
                "CostAdjustments=3.6 | Item cost adjustments 'FUEL ($3.60)'",
                "CostAdjustmentsTotal=63.6 | Net surcharge discount total of $60.00 + item cost "
                "adjustments of $3.60",
                "OriginalUnitCost=63.6",
                "UnitCost=63.6 | The final cost is the same value as the item cost adjustments "
                "total",
                "BeforeDiscountPrice=84.8 | Margin of 0.25 on cost of 63.6 (vendor discount "
                "total of 60 + item cost adjustments of 3.6",
                "PriceDiscountAmount=0",
                "PriceDiscountAmountTotal=84.8",
                "AfterDiscountPrice=8 | Price after discount of $8.00 directly from product",
                "AfterDiscountPriceTotal=92.8 | Base retail price of $84.80 + net surcharge "
                "price of $8.00",
                "PriceDiscountAmountAD=2 | Margin of 0.2 on cost of $8.00",
                "PriceDiscountAmountADTotal=94.8 | Net surcharge price total of $92.80 + net "
                "surcharge markup amount of $2.00",
                "PriceAdjustments=79.24 | Item price adjustments 'MOTOR ($75.00),CORD ($4.24)'",
                "PriceAdjustmentsTotal=174.04 | Net surcharge markup total of $94.80 + item "
                "price adjustments of $79.24",
                "RoundedPriceTotal=174.04 | Price adjustments total of $174.04 rounded to "
                "$174.04 using settings(No Rounding) [norounding]",
                "ActualPrice=174.04",
                "CustomerDiscountPrice=8.7 | Price adjustments total of $174.04 * customer "
                "discount of 0.05",
                "CustomerDiscountTotal=165.34 | Price adjustments total of $174.04 - customer "
                "discount amount of $8.70",
                "ItemDiscountAmount=65.34 | User entered item discount of $65.34",
                "ItemDiscountAmountTotal=100 | Customer discount total of $165.34 - item "
                "discount amount $65.34",
                "OriginalUnitPrice=100",
                "UnitPrice=100",
            })
            .join('\n'));
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscount")), QStringLiteral("$65.34"));
}

// Cost from the product's price and price from its cost, both overridden; lowest discounts;
// rounding to the nearest dollar; an amount entered as item discount.
TEST_F(EndToEnd, lineWithOverriddenBasesAndAmountDiscount)
{
    host.costSource = 2;
    host.priceSource = 1;
    const XmlDocument doc = PriceLine(
        host,
        {QStringLiteral("70"),
         QStringLiteral("5"),
         QStringLiteral("160"),
         QStringLiteral("12"),
         {}},
        QStringLiteral(
            "<ProductID>9</ProductID><Style>Kid's Choice</Style><CustomerID>3</CustomerID>"
            "<CustomerTypeID>2</CustomerTypeID><DiscountMethod>1</DiscountMethod>"
            "<BeforeDiscountCostOverride>1</BeforeDiscountCostOverride>"
            "<BeforeDiscountCost>150</BeforeDiscountCost>"
            "<BeforeDiscountPriceOverride>1</BeforeDiscountPriceOverride>"
            "<BeforeDiscountPrice>90</BeforeDiscountPrice>"
            "<ItemDiscount>$ 5</ItemDiscount>"),
        QStringLiteral("<ItemData/>"));

    EXPECT_EQ(
        Amounts(doc).join('\n'),
        QStringList(
            {
                "BeforeDiscountCost=150 | Overridden price before discount of $150.00 directly "
                "from product",
                "CostDiscountAmount=30 | Overridden price before discount of $150.00 directly "
                "from product * the vendor discount of 0.2",
                "CostDiscountTotal=120 | Before discount cost of $150.00 - vendor discount "
                "amount of $30.00",
                "AfterDiscountCost=12 | Price after discount of $12.00 directly from product",
                "AfterDiscountCostTotal=132 | Vendor discount total of $120.00 + net surcharge "
                "cost of $12.00",
                "CostDiscountAmountAD=0.6 | Price after discount of $12.00 directly from "
                "product * the net surcharge discount of 0.05",
                "CostDiscountAmountADTotal=131.4 | Net surcharge cost total of $132.00 - Net "
                "surcharge discount of $0.60",
                "CostAdjustments=4.5 | Item cost adjustments 'FUEL ($4.50)'",
                "CostAdjustmentsTotal=135.9 | Net surcharge discount total of $131.40 + item "
                "cost adjustments of $4.50",
                "OriginalUnitCost=135.9",
                "UnitCost=135.9 | The final cost is the same value as the item cost adjustments "
                "total",
                "BeforeDiscountPrice=90 | Cost before discount of $70.00 directly from product "
                "was overridden to $90.00",
                "PriceDiscountAmount=9 | Overridden cost before discount of $90.00 directly "
                "from product * the price discount of 0.1",
                "PriceDiscountAmountTotal=81 | Base retail price of $90.00 - price discount "
                "amount of $9.00",
                "AfterDiscountPrice=5 | Cost after discount of $5.00 directly from product",
                "AfterDiscountPriceTotal=86 | Price discount total of $81.00 + net surcharge "
                "price of $5.00",
                "PriceDiscountAmountAD=0 | Cost after discount of $5.00 directly from product "
                "* 0",
                "PriceDiscountAmountADTotal=86 | Net surcharge price total of $86.00 + net "
                "surcharge discount amount",
                "PriceAdjustments=4.5 | Item price adjustments 'CORD ($4.50)'",
                "PriceAdjustmentsTotal=90.5 | Net surcharge markup total of $86.00 + item price "
                "adjustments of $4.50",
                "RoundedPriceTotal=91 | Price adjustments total of $90.50 rounded to $91.00 "
                "using settings(To nearest $1)",
                "ActualPrice=91",
                "CustomerDiscountPrice=0 | Rounded price total of $91.00 * customer discount "
                "of 0",
                "CustomerDiscountTotal=91 | Rounded price total of $91.00 - customer discount "
                "amount of $0.00",
                "ItemDiscountAmount=5 | User entered item discount of $5.00",
                "ItemDiscountAmountTotal=86 | Customer discount total of $91.00 - item "
                "discount amount $5.00",
                "OriginalUnitPrice=86",
                "UnitPrice=86",
            })
            .join('\n'));
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscount")), QStringLiteral("$5.00"));
}
