// The price/cost calculation and its finishing steps, step by step and for whole lines.
#include "pricing/additionalcharges.h"
#include "pricing/amountlines.h"
#include "pricing/discounts.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "pricing/unitprice.h"
#include "pricingfakes.h"
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

XmlDocument PriceCost(const QString &children)
{
    return *LoadXMLDocument(QStringLiteral("<PriceCostData>") + children +
                            QStringLiteral("</PriceCostData>"));
}

// Every computed amount present, one per line: "Name=value | explanation".
QStringList Amounts(const XmlDocument &doc)
{
    return zeltpc5::testing::AmountLines(doc, zeltpc5::testing::NoRoundingMark::Value);
}

QString Field(const XmlDocument &doc, const QString &name)
{
    return GetXMLValue(name, doc.documentElement());
}

// The seven steps of one side's chain, from its first amount: C1 to C7 or P1 to P7.
QStringList Chain(const XmlDocument &doc, const QString &first)
{
    const QStringList amounts = Amounts(doc);
    for (qsizetype i = 0; i < amounts.size(); ++i) {
        if (amounts[i].startsWith(first + QLatin1Char('=')))
            return amounts.mid(i, 7);
    }
    return {};
}

QString Explain(const XmlDocument &doc, const QString &name)
{
    return GetXMLAttribute(FindChildNode(doc.documentElement(), name), QStringLiteral("Explain"),
                           QStringLiteral("(none)"));
}

void Calculate(PricingHost &host, const EngineAmounts &amounts, XmlDocument &doc,
               const QString &item = QStringLiteral("<ItemData/>"))
{
    ProductEngine engine(MakePricingEngine(amounts));
    SqlSession session = host.session();
    CalculatePriceCost(engine, item, doc, host.services(), session);
}

const QString ChargesSql = QStringLiteral(
    "SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND (ChargeType = 4 OR ChargeType = 256)");

Row FixedCharge(int id, int type, const QString &code, const QString &value)
{
    return {{QStringLiteral("ID"), QString::number(id)},
            {QStringLiteral("ChargeType"), QString::number(type)},
            {QStringLiteral("ChargeCode"), code},
            {QStringLiteral("ChargeMethod"), QStringLiteral("1")},
            {QStringLiteral("Value"), value}};
}

QString RoundingSql(int customerType)
{
    return QStringLiteral("SELECT RoundUnitPrice, RoundUnitPriceTo, RoundUnitPriceDirection FROM "
                          "CustomerTypes WHERE ID = %1")
        .arg(customerType);
}

QString Rounding(int on, int to, int direction)
{
    return RecordsXml(QStringLiteral("Results"),
                      {{{QStringLiteral("RoundUnitPrice"), QString::number(on)},
                        {QStringLiteral("RoundUnitPriceTo"), QString::number(to)},
                        {QStringLiteral("RoundUnitPriceDirection"), QString::number(direction)}}});
}

} // namespace

TEST(CalculatePriceCost, buildsTheCostChainFromTheProduct)
{
    PricingHost host;
    host.priceSource = 0;
    const EngineAmounts engine{QStringLiteral("100"), QStringLiteral("10"), {}, {}, {}};
    XmlDocument doc = PriceCost(QStringLiteral("<CostDiscount>0.4</CostDiscount>"
                                               "<CostDiscountAD>0.1</CostDiscountAD>"));
    Calculate(host, engine, doc);
    EXPECT_EQ(Amounts(doc).mid(0, 7),
              (QStringList{
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
                  "surcharge discount of $1.00"}));

    XmlDocument overridden = PriceCost(
        QStringLiteral("<CostDiscount>0.4</CostDiscount><BeforeDiscountCostOverride>1"
                       "</BeforeDiscountCostOverride><BeforeDiscountCost>80</BeforeDiscountCost>"));
    Calculate(host, engine, overridden);
    EXPECT_EQ(Field(overridden, QStringLiteral("CostDiscountAmount")), QStringLiteral("32"));
    EXPECT_EQ(Field(overridden, QStringLiteral("CostDiscountTotal")), QStringLiteral("48"));
    EXPECT_EQ(Explain(overridden, QStringLiteral("BeforeDiscountCost")),
              QStringLiteral("Cost before discount of $100.00 directly from product was "
                             "overridden to $80.00"));
    EXPECT_EQ(Explain(overridden, QStringLiteral("CostDiscountAmount")),
              QStringLiteral("Overridden cost before discount of $80.00 * the vendor discount "
                             "of 0.4"));

    // An unknown cost source leaves the cost chain as stored; the charges still run.
    host.costSource = 7;
    XmlDocument unknown =
        PriceCost(QStringLiteral("<BeforeDiscountCost Explain=\"old\">5"
                                 "</BeforeDiscountCost><CostDiscountAmountADTotal>"
                                 "9</CostDiscountAmountADTotal>"));
    Calculate(host, engine, unknown);
    EXPECT_EQ(Explain(unknown, QStringLiteral("BeforeDiscountCost")), QStringLiteral("old"));
    EXPECT_EQ(Field(unknown, QStringLiteral("UnitCost")), QStringLiteral("9"));
}

// Each source explains its steps in its own words, and an override changes them.
TEST(CalculatePriceCost, explainsTheChainsBySourceAndOverride)
{
    PricingHost host;
    const EngineAmounts engine{QStringLiteral("100"),
                               QStringLiteral("10"),
                               QStringLiteral("200"),
                               QStringLiteral("20"),
                               {}};

    // The cost from the product's price.
    host.costSource = 2;
    host.priceSource = 0;
    XmlDocument costFromPrice = PriceCost(QStringLiteral("<CostDiscount>0.4</CostDiscount>"
                                                         "<CostDiscountAD>0.1</CostDiscountAD>"));
    Calculate(host, engine, costFromPrice);
    EXPECT_EQ(Chain(costFromPrice, QStringLiteral("BeforeDiscountCost")),
              (QStringList{
                  "BeforeDiscountCost=200 | Price before discount of $200.00 directly from product",
                  "CostDiscountAmount=80 | Price before discount of $200.00 directly from product "
                  "* the vendor discount of 0.4",
                  "CostDiscountTotal=120 | Before discount cost of $200.00 - vendor discount "
                  "amount of $80.00",
                  "AfterDiscountCost=20 | Price after discount of $20.00 directly from product",
                  "AfterDiscountCostTotal=140 | Vendor discount total of $120.00 + net surcharge "
                  "cost of $20.00",
                  "CostDiscountAmountAD=2 | Price after discount of $20.00 directly from product "
                  "* the net surcharge discount of 0.1",
                  "CostDiscountAmountADTotal=138 | Net surcharge cost total of $140.00 - Net "
                  "surcharge discount of $2.00"}));

    // The price from the product's cost.
    host.costSource = 0;
    host.priceSource = 1;
    XmlDocument priceFromCost = PriceCost(QStringLiteral("<PriceDiscount>0.1</PriceDiscount>"
                                                         "<PriceDiscountAD>0.5</PriceDiscountAD>"));
    Calculate(host, engine, priceFromCost);
    EXPECT_EQ(Chain(priceFromCost, QStringLiteral("BeforeDiscountPrice")),
              (QStringList{
                  "BeforeDiscountPrice=100 | Cost before discount of $100.00 directly from product",
                  "PriceDiscountAmount=10 | Cost before discount of $100.00 directly from product "
                  "* the price discount of 0.1",
                  "PriceDiscountAmountTotal=90 | Base retail price of $100.00 - price discount "
                  "amount of $10.00",
                  "AfterDiscountPrice=10 | Cost after discount of $10.00 directly from product",
                  "AfterDiscountPriceTotal=100 | Price discount total of $90.00 + net surcharge "
                  "price of $10.00",
                  "PriceDiscountAmountAD=5 | Cost after discount of $10.00 directly from product "
                  "* 0.5",
                  "PriceDiscountAmountADTotal=105 | Net surcharge price total of $100.00 + net "
                  "surcharge discount amount"}));

    // The price from the product's cost, its base overridden.
    const QString overriddenPrice = QStringLiteral(
        "<PriceDiscount>0.1</PriceDiscount><PriceDiscountAD>0.5</PriceDiscountAD>"
        "<PriceMarginAD>0.2</PriceMarginAD><BeforeDiscountPriceOverride>1"
        "</BeforeDiscountPriceOverride><BeforeDiscountPrice>150</BeforeDiscountPrice>");
    XmlDocument costOverridden = PriceCost(overriddenPrice);
    Calculate(host, engine, costOverridden);
    EXPECT_EQ(Chain(costOverridden, QStringLiteral("BeforeDiscountPrice")).mid(0, 2),
              (QStringList{"BeforeDiscountPrice=150 | Cost before discount of $100.00 directly "
                           "from product was overridden to $150.00",
                           "PriceDiscountAmount=15 | Overridden cost before discount of $150.00 "
                           "directly from product * the price discount of 0.1"}));

    // The price from the product's price, its base overridden.
    host.priceSource = 2;
    XmlDocument priceOverridden = PriceCost(overriddenPrice);
    Calculate(host, engine, priceOverridden);
    EXPECT_EQ(Chain(priceOverridden, QStringLiteral("BeforeDiscountPrice")),
              (QStringList{
                  "BeforeDiscountPrice=150 | Price before discount of $200.00 directly from "
                  "product overridden to $150.00",
                  "PriceDiscountAmount=15 | Overridden price before discount of $150.00 directly "
                  "from product * the price discount of 0.1",
                  "PriceDiscountAmountTotal=135 | Base retail price of $150.00 - price discount "
                  "amount of $15.00",
                  "AfterDiscountPrice=20 | Price after discount of $20.00 directly from product",
                  "AfterDiscountPriceTotal=155 | Price discount total of $135.00 + net surcharge "
                  "price of $20.00",
                  "PriceDiscountAmountAD=10 | Price after discount of $20.00 directly from "
                  "product * 0.5",
                  "PriceDiscountAmountADTotal=165 | Net surcharge price total of $155.00 + net "
                  "surcharge markup amount"}));

    // A margin price whose base retail price is overridden keeps it.
    host.priceSource = 3;
    XmlDocument marginOverridden = PriceCost(overriddenPrice);
    Calculate(host, engine, marginOverridden);
    EXPECT_EQ(
        Chain(marginOverridden, QStringLiteral("BeforeDiscountPrice")),
        (QStringList{"BeforeDiscountPrice=150 | Overridden base retail price of $150.00",
                     "PriceDiscountAmount=0", "PriceDiscountAmountTotal=150",
                     "AfterDiscountPrice=20 | Price after discount of $20.00 directly from product",
                     "AfterDiscountPriceTotal=170 | Base retail price of $150.00 + net surcharge "
                     "price of $20.00",
                     "PriceDiscountAmountAD=5 | Margin of 0.2 on cost of $20.00",
                     "PriceDiscountAmountADTotal=175 | Net surcharge price total of $170.00 + net "
                     "surcharge markup amount of $5.00"}));
}

TEST(RoundCurrency, roundsHalvesAwayFromZero)
{
    EXPECT_EQ(RoundCurrency(Currency::fromScaled(23450), 2), Currency::fromScaled(23500));
    EXPECT_EQ(RoundCurrency(Currency::fromScaled(-23450), 2), Currency::fromScaled(-23500));
    EXPECT_EQ(RoundCurrency(Currency::fromScaled(25000), 0), Currency::fromUnits(3));
    EXPECT_EQ(RoundCurrency(Currency::fromScaled(12345), 6), Currency::fromScaled(12345));
    EXPECT_FLOAT_EQ(RoundSingle(Currency::fromScaled(1235), 4), 0.1235f);
}

TEST(CalculatePriceCost, pricesByMarginOnTheCalculatedCost)
{
    PricingHost host;
    host.costSource = 0;
    host.priceSource = 3;
    host.reads[ChargesSql] =
        RecordsXml(QStringLiteral("Records"),
                   {FixedCharge(1, 256, QStringLiteral("A"), QStringLiteral("15"))});
    const EngineAmounts engine{{}, {}, {}, QStringLiteral("8"), {}};
    // Explanations from an earlier calculation with another source.
    XmlDocument doc = PriceCost(
        QStringLiteral("<CostDiscountTotal>60</CostDiscountTotal><PriceMargin>0.25</PriceMargin>"
                       "<PriceMarginAD>0.2</PriceMarginAD>"
                       "<PriceDiscountAmount Explain=\"stale\">7</PriceDiscountAmount>"
                       "<PriceDiscountAmountTotal Explain=\"stale\">1</PriceDiscountAmountTotal>"));
    Calculate(host, engine, doc);
    const QStringList amounts = Amounts(doc);
    for (const QString &expected : QStringList{
             "BeforeDiscountPrice=100 | Margin of 0.25 on cost of 75 (vendor discount total of "
             "60 + item cost adjustments of 15",
             "PriceDiscountAmount=0", "PriceDiscountAmountTotal=100",
             "AfterDiscountPrice=8 | Price after discount of $8.00 directly from product",
             "AfterDiscountPriceTotal=108 | Base retail price of $100.00 + net surcharge price "
             "of $8.00",
             "PriceDiscountAmountAD=2 | Margin of 0.2 on cost of $8.00",
             "PriceDiscountAmountADTotal=110 | Net surcharge price total of $108.00 + net "
             "surcharge markup amount of $2.00"})
        EXPECT_TRUE(amounts.contains(expected)) << expected.toStdString() << "\n"
                                                << amounts.join('\n').toStdString();

    // A margin of 1 cannot be priced: the stored base retail price stays.
    XmlDocument whole = PriceCost(QStringLiteral("<PriceMargin>1</PriceMargin>"
                                                 "<BeforeDiscountPrice>42</BeforeDiscountPrice>"));
    Calculate(host, engine, whole);
    EXPECT_EQ(Field(whole, QStringLiteral("BeforeDiscountPrice")), QStringLiteral("42"));
    EXPECT_EQ(Field(whole, QStringLiteral("PriceDiscountAmountTotal")), QStringLiteral("42"));
}

// Source 3 writes no explanation for P2 and P3, so an earlier one must not survive.
TEST(CalculatePriceCost, shouldRemoveStaleExplanationsInPriceSourceThree)
{
    PricingHost host;
    host.priceSource = 3;
    XmlDocument doc = PriceCost(QStringLiteral(
        "<PriceDiscountAmount Explain=\"Price before discount of $9.00\">1</PriceDiscountAmount>"
        "<PriceDiscountAmountTotal Explain=\"Base retail price\">8</PriceDiscountAmountTotal>"));
    Calculate(host, {}, doc);
    EXPECT_EQ(Explain(doc, QStringLiteral("PriceDiscountAmount")), QStringLiteral("(none)"));
    EXPECT_EQ(Explain(doc, QStringLiteral("PriceDiscountAmountTotal")), QStringLiteral("(none)"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscountAmount")), QStringLiteral("0"));
}

TEST(CalculatePriceCost, namesTheFirstThreeChargesAndCountsTheRest)
{
    PricingHost host;
    host.costSource = 0;
    host.priceSource = 0;
    XmlDocument none = PriceCost(QString());
    Calculate(host, {}, none);
    EXPECT_EQ(Explain(none, QStringLiteral("CostAdjustments")),
              QStringLiteral("Item cost adjustments ''"));
    EXPECT_EQ(Explain(none, QStringLiteral("PriceAdjustments")),
              QStringLiteral("Item price adjustments ''"));

    host.reads[ChargesSql] = RecordsXml(
        QStringLiteral("Records"), {FixedCharge(1, 256, QStringLiteral("A"), QStringLiteral("1")),
                                    FixedCharge(2, 4, QStringLiteral("P"), QStringLiteral("2.5")),
                                    FixedCharge(3, 256, QStringLiteral("B"), QStringLiteral("1")),
                                    FixedCharge(4, 256, QStringLiteral("C"), QStringLiteral("1")),
                                    FixedCharge(5, 256, QStringLiteral("D"), QStringLiteral("1"))});
    XmlDocument four = PriceCost(QStringLiteral("<CostDiscountAmountADTotal>10"
                                                "</CostDiscountAmountADTotal>"));
    Calculate(host, {}, four);
    const QStringList amounts = Amounts(four);
    EXPECT_TRUE(amounts.contains(QStringLiteral(
        "CostAdjustments=4 | Item cost adjustments 'A ($1.00),B ($1.00),C ($1.00)' and 1 more")))
        << amounts.join('\n').toStdString();
    EXPECT_TRUE(amounts.contains(QStringLiteral(
        "CostAdjustmentsTotal=14 | Net surcharge discount total of $10.00 + item cost "
        "adjustments of $4.00")));
    EXPECT_TRUE(amounts.contains(QStringLiteral(
        "UnitCost=14 | The final cost is the same value as the item cost adjustments total")));
    EXPECT_TRUE(amounts.contains(QStringLiteral("OriginalUnitCost=14")));
    EXPECT_TRUE(amounts.contains(
        QStringLiteral("PriceAdjustments=2.5 | Item price adjustments 'P ($2.50)'")));

    // Price charges beyond the third are counted, and only the applying ones.
    host.reads[ChargesSql] = RecordsXml(
        QStringLiteral("Records"), {FixedCharge(1, 4, QStringLiteral("P1"), QStringLiteral("1")),
                                    FixedCharge(2, 256, QStringLiteral("C"), QStringLiteral("9")),
                                    FixedCharge(3, 4, QStringLiteral("P2"), QStringLiteral("2")),
                                    FixedCharge(4, 4, QStringLiteral("P3"), QStringLiteral("3")),
                                    FixedCharge(5, 4, QStringLiteral("P4"), QStringLiteral("4")),
                                    FixedCharge(6, 4, QStringLiteral("P5"), QStringLiteral("5"))});
    XmlDocument five = PriceCost(QStringLiteral("<PriceDiscountAmountADTotal>100"
                                                "</PriceDiscountAmountADTotal>"));
    host.priceSource = 0;
    Calculate(host, {}, five);
    EXPECT_EQ(Chain(five, QStringLiteral("PriceAdjustments")).mid(0, 2),
              (QStringList{"PriceAdjustments=15 | Item price adjustments 'P1 ($1.00),P2 "
                           "($2.00),P3 ($3.00)' and 2 more",
                           "PriceAdjustmentsTotal=115 | Net surcharge markup total of $100.00 + "
                           "item price adjustments of $15.00"}));
}

TEST(RoundPrice, movesToMultiplesOfTheStep)
{
    const auto round = [](qint64 cents, int on, int direction, int step) {
        return RoundPrice(Currency::fromScaled(cents * 100), qint16(on), qint16(direction),
                          qint16(step))
                   .scaled() /
               100;
    };
    EXPECT_EQ(round(12345, 1, 0, 5), 12500);
    EXPECT_EQ(round(12345, 1, 1, 5), 12000);
    EXPECT_EQ(round(12345, 1, 2, 5), 12500);
    EXPECT_EQ(round(12250, 1, 2, 5), 12500); // half-way goes up
    EXPECT_EQ(round(12240, 1, 2, 5), 12000);
    for (int direction : {0, 1, 2, 7})
        EXPECT_EQ(round(12000, 1, direction, 5), 12000);
    EXPECT_EQ(round(99, 1, 0, 1), 100);
    EXPECT_EQ(round(99, 1, 1, 1), 0);
    EXPECT_EQ(round(12345, 0, 0, 5), 12345);
    EXPECT_EQ(round(12345, 1, 0, 0), 12345);
    EXPECT_EQ(round(12345, 1, 9, 5), 12345);

    PricingHost host;
    const HostServices services = host.services();
    EXPECT_EQ(DescribeRounding(Rounding(1, 5, 2), services), QStringLiteral("To nearest $5"));
    EXPECT_EQ(DescribeRounding(Rounding(1, 5, 0), services), QStringLiteral("Up to $5"));
    EXPECT_EQ(DescribeRounding(Rounding(1, 10, 1), services), QStringLiteral("Down to $10"));
    EXPECT_EQ(DescribeRounding(Rounding(0, 5, 2), services), QStringLiteral("No Rounding"));
    EXPECT_EQ(DescribeRounding(Rounding(1, 5, 7), services), QString());
    EXPECT_EQ(DescribeRounding(QString(), services), QStringLiteral("No Rounding"));
}

TEST(FinishUnitPrice, appliesCustomerAndItemDiscounts)
{
    PricingHost host;
    host.selects[RoundingSql(1)] = Rounding(1, 5, 0);
    const auto finish = [&](const QString &entry, const QString &extra = QString()) {
        XmlDocument doc =
            PriceCost(QStringLiteral("<CustomerTypeID>1</CustomerTypeID>"
                                     "<PriceAdjustmentsTotal>123.45"
                                     "</PriceAdjustmentsTotal><CustomerDiscount>0.1"
                                     "</CustomerDiscount><ItemDiscount>") +
                      entry.toHtmlEscaped() + QStringLiteral("</ItemDiscount>") + extra);
        ProductEngine engine(MakePricingEngine({}));
        FinishUnitPrice(engine, doc, host.services());
        return doc;
    };

    const XmlDocument percent = finish(QStringLiteral("10%"));
    EXPECT_EQ(Amounts(percent).mid(1, 8),
              (QStringList{
                  "RoundedPriceTotal=125 | Price adjustments total of $123.45 rounded to $125.00 "
                  "using settings(Up to $5)",
                  "ActualPrice=125",
                  "CustomerDiscountPrice=12.5 | Rounded price total of $125.00 * customer "
                  "discount of 0.1",
                  "CustomerDiscountTotal=112.5 | Rounded price total of $125.00 - customer "
                  "discount amount of $12.50",
                  "ItemDiscountAmount=11.25 | Customer discount total of $112.50 * item discount "
                  "of 0.1",
                  "ItemDiscountAmountTotal=101.25 | Customer discount total of $112.50 - item "
                  "discount amount $11.25",
                  "OriginalUnitPrice=101.25", "UnitPrice=101.25"}));
    EXPECT_EQ(Field(percent, QStringLiteral("ItemDiscount")), QStringLiteral("10.0%"));

    const XmlDocument fine = finish(QStringLiteral(" 12.34567 % "));
    EXPECT_EQ(Field(fine, QStringLiteral("ItemDiscount")), QStringLiteral("12.3457%"));
    EXPECT_EQ(Explain(fine, QStringLiteral("ItemDiscountAmount")),
              QStringLiteral("Customer discount total of $112.50 * item discount of 0.1235"));
    EXPECT_EQ(Field(fine, QStringLiteral("ItemDiscountAmount")), QStringLiteral("13.89"));

    const XmlDocument amount = finish(QStringLiteral("$5"));
    EXPECT_EQ(Field(amount, QStringLiteral("ItemDiscountAmount")), QStringLiteral("5"));
    EXPECT_EQ(Explain(amount, QStringLiteral("ItemDiscountAmount")),
              QStringLiteral("User entered item discount of $5.00"));
    EXPECT_EQ(Field(amount, QStringLiteral("UnitPrice")), QStringLiteral("107.5"));
    EXPECT_EQ(Field(amount, QStringLiteral("ItemDiscount")), QStringLiteral("$5.00"));

    const XmlDocument forced = finish(
        QStringLiteral("3"),
        QStringLiteral("<PriceOverride>1</PriceOverride><PriceOverrideTo>100</PriceOverrideTo>"));
    EXPECT_EQ(Field(forced, QStringLiteral("ItemDiscountAmount")), QStringLiteral("12.5"));
    EXPECT_EQ(Field(forced, QStringLiteral("UnitPrice")), QStringLiteral("100"));
    const XmlDocument above = finish(
        QString(),
        QStringLiteral("<PriceOverride>1</PriceOverride><PriceOverrideTo>120</PriceOverrideTo>"));
    EXPECT_EQ(Field(above, QStringLiteral("ItemDiscount")), QStringLiteral("($7.50)"));
    EXPECT_EQ(Field(above, QStringLiteral("UnitPrice")), QStringLiteral("120"));
    // The negative entry, written in the accounting form, reads back as the same amount.
    const XmlDocument entered = finish(QStringLiteral("($7.50)"));
    EXPECT_EQ(Field(entered, QStringLiteral("ItemDiscountAmount")), QStringLiteral("-7.5"));
    EXPECT_EQ(Field(entered, QStringLiteral("UnitPrice")), QStringLiteral("120"));

    for (const QString &entry : {QString(), QStringLiteral("abc%")}) {
        const XmlDocument empty = finish(
            entry,
            QStringLiteral("<ItemDiscountAmount Explain=\"User entered item discount of $9.00\">9"
                           "</ItemDiscountAmount>"));
        EXPECT_EQ(Field(empty, QStringLiteral("ItemDiscountAmount")), QStringLiteral("0"));
        EXPECT_EQ(Field(empty, QStringLiteral("UnitPrice")), QStringLiteral("112.5"));
        EXPECT_EQ(Field(empty, QStringLiteral("ItemDiscount")), QStringLiteral("$0.00"));
        EXPECT_EQ(
            Explain(empty, QStringLiteral("ItemDiscountAmountTotal")),
            QStringLiteral("Customer discount total of $112.50 - item discount amount $0.00"));
        EXPECT_EQ(Explain(empty, QStringLiteral("ItemDiscountAmount")),
                  entry.isEmpty() ? QStringLiteral("User entered item discount of $0.00")
                                  : QStringLiteral("(none)"));
    }

    // A number money cannot hold fails the step: the entry, the stored amount and its
    // explanation stay, and the unit price is the stored total.
    for (const QString &entry :
         {QStringLiteral("1e300"), QStringLiteral("999999999999999"), QStringLiteral("($1e300)")}) {
        const XmlDocument huge = finish(
            entry, QStringLiteral("<ItemDiscountAmount Explain=\"User entered item discount of "
                                  "$9.00\">9</ItemDiscountAmount><ItemDiscountAmountTotal>103.5"
                                  "</ItemDiscountAmountTotal>"));
        EXPECT_EQ(Field(huge, QStringLiteral("ItemDiscount")), entry);
        EXPECT_EQ(Field(huge, QStringLiteral("ItemDiscountAmount")), QStringLiteral("9"));
        EXPECT_EQ(Explain(huge, QStringLiteral("ItemDiscountAmount")),
                  QStringLiteral("User entered item discount of $9.00"));
        EXPECT_EQ(Field(huge, QStringLiteral("UnitPrice")), QStringLiteral("103.5"));
    }
}

// An amount the engine does not deliver is not 0: the step that needs it writes nothing and
// the chain goes on with the stored value.
TEST(CalculatePriceCost, shouldKeepStoredAmountsWhereTheEngineDeliversNone)
{
    PricingHost host;
    host.priceSource = 0;
    auto engine = MakePricingEngine({QStringLiteral("100"), QStringLiteral("10"), {}, {}, {}});
    engine->set(QStringLiteral("CostBeforeDiscount"), QStringLiteral("n/a"));
    engine->set(QStringLiteral("CostAfterDiscount"), QStringLiteral("n/a"));
    XmlDocument doc = PriceCost(QStringLiteral(
        "<CostDiscount>0.4</CostDiscount><CostDiscountAD>0.1</CostDiscountAD>"
        "<BeforeDiscountCost Explain=\"stored\">80</BeforeDiscountCost>"
        "<AfterDiscountCost>10</AfterDiscountCost><CostDiscountAmountAD>7</CostDiscountAmountAD>"));
    ProductEngine product(engine);
    SqlSession session = host.session();
    CalculatePriceCost(product, QStringLiteral("<ItemData/>"), doc, host.services(), session);
    EXPECT_EQ(Amounts(doc).mid(0, 7),
              (QStringList{"BeforeDiscountCost=80 | stored",
                           "CostDiscountAmount=32 | Cost before discount of $80.00 directly from "
                           "product * the vendor discount of 0.4",
                           "CostDiscountTotal=48 | Before discount cost of $80.00 - vendor "
                           "discount amount of $32.00",
                           "AfterDiscountCost=10",
                           "AfterDiscountCostTotal=58 | Vendor discount total of $48.00 + net "
                           "surcharge cost of $10.00",
                           "CostDiscountAmountAD=7",
                           "CostDiscountAmountADTotal=51 | Net surcharge cost total of $58.00 - "
                           "Net surcharge discount of $7.00"}));

    // The analytic lines: a value the engine does not give is left out; an engine that cannot
    // count its lines leaves the stored ones.
    host.selects[RoundingSql(0)] = Rounding(0, 0, 0);
    auto lines =
        MakePricingEngine({{}, {}, {}, {}, {{"Fabric", "F", "12.5"}, {"Motor", "M", "0"}}});
    lines->on(QStringLiteral("PriceLineAnalyticValue"), [](VariantList &args) {
        return ToInt32(args.value(0)) == 0 ? MakeCurrency({125000}) : Variant(QStringLiteral("x"));
    });
    ProductEngine withLines(lines);
    XmlDocument priced = PriceCost(QString());
    FinishUnitPrice(withLines, priced, host.services());
    EXPECT_EQ(FindChildNode(priced.documentElement(), QStringLiteral("PriceLines")).xml(),
              "<PriceLines><PriceLine><Name>Fabric</Name><PLCode>F</PLCode><Value>12.5</Value>"
              "</PriceLine><PriceLine><Name>Motor</Name><PLCode>M</PLCode></PriceLine>"
              "</PriceLines>");
    lines->set(QStringLiteral("PriceLineAnalyticCount"), QStringLiteral("n/a"));
    FinishUnitPrice(withLines, priced, host.services());
    EXPECT_TRUE(FindChildNode(priced.documentElement(), QStringLiteral("PriceLines"))
                    .xml()
                    .contains(u"<Value>12.5</Value>"));
}

// The rewritten entry must read back as the same amount under the user's own currency.
TEST(FinishUnitPrice, shouldReadBackItsOwnAmountEntryInAnyLocale)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    PricingHost host;
    XmlDocument doc = PriceCost(QStringLiteral("<PriceAdjustmentsTotal>1000</PriceAdjustmentsTotal>"
                                               "<ItemDiscount>1.234,5</ItemDiscount>"));
    ProductEngine engine(MakePricingEngine({}));
    FinishUnitPrice(engine, doc, host.services(), german);
    const QString entry = Field(doc, QStringLiteral("ItemDiscount"));
    EXPECT_EQ(entry, QStringLiteral("1.234,50\u00a0€"));
    FinishUnitPrice(engine, doc, host.services(), german);
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscount")), entry);
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscountAmount")), QStringLiteral("1234,5"));
    EXPECT_EQ(Field(doc, QStringLiteral("UnitPrice")), QStringLiteral("-234,5"));
}

// A customer type that rounds clears the flag a non-rounding one left behind.
TEST(FinishUnitPrice, shouldRemoveNoRoundingWhenTheCustomerTypeRounds)
{
    PricingHost host;
    host.selects[RoundingSql(1)] = Rounding(1, 5, 0);
    XmlDocument doc = PriceCost(QStringLiteral("<CustomerTypeID>4</CustomerTypeID>"
                                               "<PriceAdjustmentsTotal>122</PriceAdjustmentsTotal>"
                                               "<PriceLines><PriceLine><Name>old</Name></PriceLine>"
                                               "</PriceLines>"));
    ProductEngine engine(MakePricingEngine({}));
    FinishUnitPrice(engine, doc, host.services());
    EXPECT_EQ(Amounts(doc).at(1),
              QStringLiteral("RoundedPriceTotal=122 | Price adjustments total of $122.00 rounded "
                             "to $122.00 using settings(No Rounding) [norounding=1]"));
    EXPECT_EQ(Explain(doc, QStringLiteral("CustomerDiscountPrice")),
              QStringLiteral("Price adjustments total of $122.00 * customer discount of 0"));
    // No analytic lines: an empty PriceLines, the earlier lines gone.
    const XmlNode lines = FindChildNode(doc.documentElement(), QStringLiteral("PriceLines"));
    ASSERT_TRUE(lines);
    EXPECT_TRUE(lines.childElements().isEmpty());
    EXPECT_EQ(doc.selectNodes(QStringLiteral("//PriceLines")).size(), 1);

    SetXMLValue(QStringLiteral("CustomerTypeID"), QStringLiteral("1"), doc.documentElement());
    FinishUnitPrice(engine, doc, host.services());
    EXPECT_EQ(Amounts(doc).at(1),
              QStringLiteral("RoundedPriceTotal=125 | Price adjustments total of $122.00 rounded "
                             "to $125.00 using settings(Up to $5)"));
}

// A run reads each customer type's rounding once; a type the host did not answer for is asked
// again on the next line, and the next run reads the settings as they are then.
TEST(FinishUnitPrice, runReadsEachCustomerTypesRoundingOnce)
{
    PricingHost host;
    host.selects[RoundingSql(1)] = Rounding(1, 5, 0);
    host.selects[RoundingSql(2)] = Rounding(1, 1, 1);
    ProductEngine engine(MakePricingEngine({}));
    const auto finish = [&](ChargeSession &run, int customerType) {
        XmlDocument doc = PriceCost(QStringLiteral("<CustomerTypeID>%1</CustomerTypeID>"
                                                   "<PriceAdjustmentsTotal>122.5"
                                                   "</PriceAdjustmentsTotal>")
                                        .arg(customerType));
        FinishUnitPrice(engine, doc, host.services(), run);
        return Field(doc, QStringLiteral("UnitPrice")) + QLatin1Char(' ') +
               Explain(doc, QStringLiteral("RoundedPriceTotal"));
    };
    const auto reads = [&](int customerType) {
        return host.statements.count(RoundingSql(customerType));
    };

    ChargeSession run(host.services());
    const QString upToFive = QStringLiteral("125 Price adjustments total of $122.50 rounded to "
                                            "$125.00 using settings(Up to $5)");
    EXPECT_EQ(finish(run, 1), upToFive);
    EXPECT_EQ(finish(run, 2), QStringLiteral("122 Price adjustments total of $122.50 rounded to "
                                             "$122.00 using settings(Down to $1)"));
    EXPECT_EQ(finish(run, 1), upToFive);
    EXPECT_EQ(reads(1), 1);
    EXPECT_EQ(reads(2), 1);

    const QString unrounded = QStringLiteral("122.5 Price adjustments total of $122.50 rounded to "
                                             "$122.50 using settings(No Rounding)");
    EXPECT_EQ(finish(run, 3), unrounded);
    host.selects[RoundingSql(3)] = Rounding(1, 5, 1);
    EXPECT_EQ(finish(run, 3), QStringLiteral("120 Price adjustments total of $122.50 rounded to "
                                             "$120.00 using settings(Down to $5)"));
    finish(run, 3);
    EXPECT_EQ(reads(3), 2);

    host.selects[RoundingSql(1)] = Rounding(0, 5, 0);
    ChargeSession next(host.services());
    EXPECT_EQ(finish(next, 1), unrounded);
}
