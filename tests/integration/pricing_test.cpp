// Demo lines priced end to end against the reference host: the demo company's database rows,
// the product engine over the demo product files and the Lua formula engine for criteria.
// Every amount and explanation below was worked out by hand from those rows and files.
#include "pricing/amountlines.h"
#include "referencehost.h"

#include "pricing/discounts.h"
#include "pricing/itemfields.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "replace/readback.h"
#include "xml/xmlaccess.h"

#include "host/formula/formulaengine.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

class ReferencePricing : public OnEachDatabase
{
protected:
    void SetUp() override
    {
        OnEachDatabase::SetUp();
        if (IsSkipped())
            return;
        // The demo's fuel surcharge runs 2024 to 2030; keep it in force whatever the day the
        // tests run, so that the hand-worked values do not expire.
        reference.database().execute(
            QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
            {ReferenceHost::DateFromToday(400)});
    }

    // Prices a stored quote line as a change run re-prices it: the product engine processes
    // the line's options, then LoadDiscounts, ResolveDiscounts and CalculatePriceCost run on
    // its price/cost document with one caching SQL session.
    XmlDocument PriceLine(const host::QuoteLine &line)
    {
        const HostServices host(reference.sharedCodeLibrary());
        DispatchPtr object;
        EXPECT_TRUE(CreateObject(QStringLiteral("optrix5.Engine"), &object).ok());
        ProductEngine engine(object);
        engine.Initialize();
        EXPECT_TRUE(engine.UseProductFile(host.GetProductFileFromID2(line.productID)));
        engine.InitForAccess();
        engine.InitForProcessing(line.style);
        SqlSession session = host.ZELTSQL();
        session.setSessionCachingEnabled(true);
        ApplyProductDimensionSettings(line.productID, engine, session);
        const auto item = LoadItemXML(line.itemXML);
        for (const XmlNode &option : item->selectNodes(QStringLiteral("//ItemData/Options/Option")))
            if (IsProcessableOption(option))
                engine.SetOptionValue(GetXMLValue(QStringLiteral("Name"), option),
                                      GetXMLValue(QStringLiteral("Value"), option));
        engine.ProcessOptions();

        XmlDocument doc = *LoadPriceCostXML(line.priceCostXML);
        LoadDiscounts(line.itemXML, doc, host, session);
        ResolveDiscounts(doc, host);
        CalculatePriceCost(engine, line.itemXML, doc, host, session);
        session.PreTerminate();
        return doc;
    }

    host::QuoteLine DemoLine(int number) const
    {
        return reference.quoteLines(QStringLiteral("Q-1001")).at(size_t(number - 1));
    }

    static QString Field(const XmlDocument &doc, const QString &name)
    {
        return GetXMLValue(name, doc.documentElement());
    }
    static QString Explain(const XmlDocument &doc, const QString &name)
    {
        const XmlNode element = FindChildNode(doc.documentElement(), name);
        return element ? element.attribute(QStringLiteral("Explain")).value_or(QString())
                       : QString();
    }

    // Every amount of the document with its explanation, in field order.
    static QStringList Amounts(const XmlDocument &doc)
    {
        return zeltpc5::testing::AmountLines(doc, zeltpc5::testing::NoRoundingMark::Hidden);
    }

    static QStringList PriceLines(const XmlDocument &doc)
    {
        QStringList lines;
        for (const XmlNode &l :
             doc.selectNodes(QStringLiteral("/PriceCostData/PriceLines/PriceLine")))
            lines << GetXMLValue(QStringLiteral("Name"), l) + QLatin1Char('/') +
                         GetXMLValue(QStringLiteral("PLCode"), l) + QLatin1Char('=') +
                         GetXMLValue(QStringLiteral("Value"), l);
        return lines;
    }

    ReferenceHost reference{GetParam()};
};

} // namespace

// Line 3 of Q-1001: Roller Shade (product 1: cost source 1, price source 2), Motorized,
// 72 x 84, Blackout Vinyl, Cassette valance, RF Motor; customer Margaret Chen (type 1 Retail:
// up to 5), price group 2, customer group 4, DiscountMethod 0 (highest).
//
// Engine (roller-shade.xml, Motorized grid, 72 wide and 84 high are grid points): grid price
//   200.00, cost 200 x 0.48 = 96.00; Blackout 12 % -> price 24.00, cost 12 % of 96 = 11.52;
//   Cassette 1.10 and 0.55 per inch of 72 -> 79.20 and 39.60; RF motor after discount 285.00,
//   cost 160.00. PriceBeforeDiscount 303.20, CostBeforeDiscount 147.12.
// Discounts: cost group 1: product row 45 (AD 10), style Motorized row 42, option row (Wi-Fi
//   Motor) does not match -> highest is the product: 0.45, AD 0.1. Price group 2: product row
//   10 (AD 5); the White option row is for Standard only -> 0.1, AD 0.05. Customer group 4:
//   product row 5; the Cassette row is for Standard only -> 0.05.
// Cost: 147.12 x 0.45 = 66.204 -> 66.20; 80.92; + 160 = 240.92; 160 x 0.1 = 16.00; 224.92.
//   Charges: Fuel 3 % of 147.12 = 4.41, Freight 2 % of 224.92 = 4.4984 -> 4.50; the expired
//   spring promotion and the Wood Blind handling (criteria ProductID == 2) do not apply.
// Price: 303.20 x 0.1 = 30.32; 272.88; + 285 = 557.88; 285 x 0.05 = 14.25; 572.13. Motor
//   Installation's criteria (Motor Type not None) holds: 75.00 -> 647.13, up to 5 -> 650.00;
//   x 0.05 = 32.50 -> 617.50; no item discount.
TEST_P(ReferencePricing, motorizedRollerShadeFromTheProductsPriceWithMotorCharge)
{
    const XmlDocument doc = PriceLine(DemoLine(3));

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountGroupID")), QStringLiteral("1"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscount")), QStringLiteral("0.45"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountAD")), QStringLiteral("0.1"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscount")), QStringLiteral("0.1"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscountAD")), QStringLiteral("0.05"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscount")), QStringLiteral("0.05"));
    EXPECT_EQ(
        Amounts(doc).join('\n'),
        QStringList({
                        "BeforeDiscountCost=147.12 | Cost before discount of $147.12 directly "
                        "from product",
                        "CostDiscountAmount=66.2 | Cost before discount of $147.12 directly from "
                        "product * the vendor discount of 0.45",
                        "CostDiscountTotal=80.92 | Before discount cost of $147.12 - vendor "
                        "discount amount of $66.20",
                        "AfterDiscountCost=160 | Cost after discount of $160.00 directly from "
                        "product",
                        "AfterDiscountCostTotal=240.92 | Vendor discount total of $80.92 + net "
                        "surcharge cost of $160.00",
                        "CostDiscountAmountAD=16 | Cost after discount of $160.00 directly from "
                        "product * the net surcharge discount of 0.1",
                        "CostDiscountAmountADTotal=224.92 | Net surcharge cost total of $240.92 "
                        "- Net surcharge discount of $16.00",
                        "CostAdjustments=8.91 | Item cost adjustments 'FUEL ($4.41),FREIGHT "
                        "($4.50)'",
                        "CostAdjustmentsTotal=233.83 | Net surcharge discount total of $224.92 + "
                        "item cost adjustments of $8.91",
                        "OriginalUnitCost=233.83",
                        "UnitCost=233.83 | The final cost is the same value as the item cost "
                        "adjustments total",
                        "BeforeDiscountPrice=303.2 | Price before discount of $303.20 directly "
                        "from product",
                        "PriceDiscountAmount=30.32 | Price before discount of $303.20 directly "
                        "from product * the price discount of 0.1",
                        "PriceDiscountAmountTotal=272.88 | Base retail price of $303.20 - price "
                        "discount amount of $30.32",
                        "AfterDiscountPrice=285 | Price after discount of $285.00 directly from "
                        "product",
                        "AfterDiscountPriceTotal=557.88 | Price discount total of $272.88 + net "
                        "surcharge price of $285.00",
                        "PriceDiscountAmountAD=14.25 | Price after discount of $285.00 directly "
                        "from product * 0.05",
                        "PriceDiscountAmountADTotal=572.13 | Net surcharge price total of "
                        "$557.88 + net surcharge markup amount",
                        "PriceAdjustments=75 | Item price adjustments 'MOTOR ($75.00)'",
                        "PriceAdjustmentsTotal=647.13 | Net surcharge markup total of $572.13 + "
                        "item price adjustments of $75.00",
                        "RoundedPriceTotal=650 | Price adjustments total of $647.13 rounded to "
                        "$650.00 using settings(Up to $5)",
                        "ActualPrice=650",
                        "CustomerDiscountPrice=32.5 | Rounded price total of $650.00 * customer "
                        "discount of 0.05",
                        "CustomerDiscountTotal=617.5 | Rounded price total of $650.00 - customer "
                        "discount amount of $32.50",
                        "ItemDiscountAmount=0 | User entered item discount of $0.00",
                        "ItemDiscountAmountTotal=617.5 | Customer discount total of $617.50 - "
                        "item discount amount $0.00",
                        "OriginalUnitPrice=617.5",
                        "UnitPrice=617.5",
                    })
            .join('\n'));
    EXPECT_EQ(Field(doc, QStringLiteral("ItemDiscount")), QStringLiteral("$0.00"));
    // Grid price split 0.55 / 0.30 / 0.15, then one line per surcharge.
    EXPECT_EQ(PriceLines(doc),
              QStringList({"Fabric/RS-FAB=110", "Tube and hardware/RS-HW=60", "Assembly/RS-ASM=30",
                           "Blackout vinyl fabric/RS-BLK=24", "Cassette valance/RS-VCA=79.2",
                           "RF motor/RS-MRF=285"}));
}

// Line 4 of Q-1001: Wood Blind (product 2: cost source 1, price source 3 by margin, vendor
// margins), 2 Inch Slat, 30 x 42, Natural Oak; same customer.
//
// Engine (wood-blind.xml): 30 is a grid point, 42 takes the 48 row: price 94.00, cost grid
//   51.00; no surcharge applies. Base lines 0.70 / 0.30 of 94.
// Discounts: cost group 1 product row 50 (AD 10) -> 0.5, 0.1. Price group 2: product row 10,
//   option row Color = Natural Oak 12 -> option level 0.12, margins 0.5 / 0.45, replaced by
//   vendor 2's margins 0.4 / 0.35 (price margin source 1). Customer group 4 product row 5.
// Cost: 51 x 0.5 = 25.50; 25.50; after discount 0. Charges in table order: Fuel 3 % of 51 =
//   1.53; Wood Blind Handling 4.50 (criteria ProductID == 2 holds); Freight 2 % of 25.50 =
//   0.51 -> 6.54; unit cost 32.04.
// Price by margin: (25.5 + 6.54) / (1 - 0.4) = 53.40; no discount; net surcharge markup 0.
//   No price charge applies (no Motor Type option, not Cordless, not a panel track).
//   53.40 up to 5 -> 55.00; x 0.05 = 2.75 -> 52.25.
TEST_P(ReferencePricing, woodBlindPricedByMarginWithTheVendorsMargins)
{
    const XmlDocument doc = PriceLine(DemoLine(4));

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscount")), QStringLiteral("0.5"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscount")), QStringLiteral("0.12"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMargin")), QStringLiteral("0.4"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMarginAD")), QStringLiteral("0.35"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscount")), QStringLiteral("0.05"));
    EXPECT_EQ(
        Amounts(doc).join('\n'),
        QStringList({
                        "BeforeDiscountCost=51 | Cost before discount of $51.00 directly from "
                        "product",
                        "CostDiscountAmount=25.5 | Cost before discount of $51.00 directly from "
                        "product * the vendor discount of 0.5",
                        "CostDiscountTotal=25.5 | Before discount cost of $51.00 - vendor "
                        "discount amount of $25.50",
                        "AfterDiscountCost=0 | Cost after discount of $0.00 directly from product",
                        "AfterDiscountCostTotal=25.5 | Vendor discount total of $25.50 + net "
                        "surcharge cost of $0.00",
                        "CostDiscountAmountAD=0 | Cost after discount of $0.00 directly from "
                        "product * the net surcharge discount of 0.1",
                        "CostDiscountAmountADTotal=25.5 | Net surcharge cost total of $25.50 - "
                        "Net surcharge discount of $0.00",
                        "CostAdjustments=6.54 | Item cost adjustments 'FUEL ($1.53),WOODHDL "
                        "($4.50),FREIGHT ($0.51)'",
                        "CostAdjustmentsTotal=32.04 | Net surcharge discount total of $25.50 + "
                        "item cost adjustments of $6.54",
                        "OriginalUnitCost=32.04",
                        "UnitCost=32.04 | The final cost is the same value as the item cost "
                        "adjustments total",
                        "BeforeDiscountPrice=53.4 | Margin of 0.4 on cost of 32.04 (vendor "
                        "discount total of 25.5 + item cost adjustments of 6.54",
                        "PriceDiscountAmount=0",
                        "PriceDiscountAmountTotal=53.4",
                        "AfterDiscountPrice=0 | Price after discount of $0.00 directly from "
                        "product",
                        "AfterDiscountPriceTotal=53.4 | Base retail price of $53.40 + net "
                        "surcharge price of $0.00",
                        "PriceDiscountAmountAD=0 | Margin of 0.35 on cost of $0.00",
                        "PriceDiscountAmountADTotal=53.4 | Net surcharge price total of $53.40 + "
                        "net surcharge markup amount of $0.00",
                        "PriceAdjustments=0 | Item price adjustments ''",
                        "PriceAdjustmentsTotal=53.4 | Net surcharge markup total of $53.40 + item "
                        "price adjustments of $0.00",
                        "RoundedPriceTotal=55 | Price adjustments total of $53.40 rounded to "
                        "$55.00 using settings(Up to $5)",
                        "ActualPrice=55",
                        "CustomerDiscountPrice=2.75 | Rounded price total of $55.00 * customer "
                        "discount of 0.05",
                        "CustomerDiscountTotal=52.25 | Rounded price total of $55.00 - customer "
                        "discount amount of $2.75",
                        "ItemDiscountAmount=0 | User entered item discount of $0.00",
                        "ItemDiscountAmountTotal=52.25 | Customer discount total of $52.25 - "
                        "item discount amount $0.00",
                        "OriginalUnitPrice=52.25",
                        "UnitPrice=52.25",
                    })
            .join('\n'));
    EXPECT_EQ(PriceLines(doc),
              QStringList({"Slats/WB-SLT=65.8", "Headrail and hardware/WB-HW=28.2"}));
}

// Charges of the company's own making, evaluated by the Lua formula engine: a criterion on the
// item's measurements and the style, one that does not parse, and charges whose dates exclude
// them (starting the day after tomorrow, ended the day before yesterday). Lines 3 (Motorized,
// 72 wide) and 4 (2 Inch Slat, 30 wide) of Q-1001.
TEST_P(ReferencePricing, chargesFollowTheirCriteriaAndDates)
{
    const char *insert = "INSERT INTO AdditionalCharges (ID, ChargeType, ApplyToPOs, ChargeName, "
                         "ChargeCode, Criteria, ChargeMethod, Value, Taxable, StartsOn, EndsOn, "
                         "AutoAddToQuotes, AutoAddToOrders, AutoAddToPOs, "
                         "IncludeWithProductItems, Enabled) "
                         "VALUES (?, 4, 0, ?, ?, ?, 1, ?, 0, ?, ?, 1, 1, 0, 1, 1)";
    const QVariant noDate{QMetaType(QMetaType::QString)};
    const QString sql = QString::fromLatin1(insert);
    auto &db = reference.database();
    db.execute(
        sql, {20, QStringLiteral("Wide Motor Shade"), QStringLiteral("WIDE"),
              QStringLiteral(R"(OptionNumber("Width") > 60 and PriceCost("Style") == "Motorized")"),
              7.25, noDate, noDate});
    db.execute(sql, {21, QStringLiteral("Broken Rule"), QStringLiteral("BROKEN"),
                     QStringLiteral(R"(Option("Width") ==)"), 1.0, noDate, noDate});
    db.execute(sql, {22, QStringLiteral("Next Season"), QStringLiteral("SOON"), QString(""), 2.0,
                     ReferenceHost::DateFromToday(2), noDate});
    db.execute(sql, {23, QStringLiteral("Last Season"), QStringLiteral("PAST"), QString(""), 3.0,
                     noDate, ReferenceHost::DateFromToday(-2)});

    const XmlDocument motorized = PriceLine(DemoLine(3));
    EXPECT_EQ(Field(motorized, QStringLiteral("PriceAdjustments")), QStringLiteral("82.25"));
    EXPECT_EQ(Explain(motorized, QStringLiteral("PriceAdjustments")),
              QStringLiteral("Item price adjustments 'MOTOR ($75.00),WIDE ($7.25)'"));
    // 572.13 + 82.25 = 654.38, up to 655.00, less 5 % (32.75).
    EXPECT_EQ(Field(motorized, QStringLiteral("UnitPrice")), QStringLiteral("622.25"));

    const XmlDocument blind = PriceLine(DemoLine(4));
    EXPECT_EQ(Field(blind, QStringLiteral("PriceAdjustments")), QStringLiteral("0"));
    EXPECT_EQ(Explain(blind, QStringLiteral("PriceAdjustments")),
              QStringLiteral("Item price adjustments ''"));
    EXPECT_EQ(Field(blind, QStringLiteral("UnitPrice")), QStringLiteral("52.25"));
}

// Without a formula engine no criterion can be verified: the charges with criteria stay off,
// those without still apply within their dates (the expired promotion stays out).
TEST_P(ReferencePricing, chargesWithCriteriaStayOffWithoutAFormulaEngine)
{
    ClassRegistry::instance().unregisterClass(QStringLiteral("zeltfe5.Engine"), QUuid());
    const XmlDocument blind = PriceLine(DemoLine(4));
    ClassRegistry::instance().registerClass(QStringLiteral("zeltfe5.Engine"), QUuid(),
                                            &host::FormulaEngine::create);

    EXPECT_EQ(Explain(blind, QStringLiteral("CostAdjustments")),
              QStringLiteral("Item cost adjustments 'FUEL ($1.53),FREIGHT ($0.51)'"));
    EXPECT_EQ(Field(blind, QStringLiteral("CostAdjustments")), QStringLiteral("2.04"));
}

INSTANTIATE_TEST_SUITE_P(Databases, ReferencePricing, AllBackends(), BackendName);
