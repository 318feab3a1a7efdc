#include "host/database/seed.h"

#include "host/database/database.h"
#include "host/database/demoquote.h"
#include "host/database/quotestore.h"

#include <QDateTime>

namespace zeltpc5::host {

namespace {

const QString SeedMarker = QStringLiteral("DemoCompany");

void Insert(Database &db, const char *table, const char *columns,
            std::initializer_list<QVariantList> rows)
{
    const int count = int(QString::fromLatin1(columns).count(u',')) + 1;
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(QLatin1String(table), QLatin1String(columns), marks.join(QStringLiteral(", ")));
    for (const QVariantList &row : rows)
        db.execute(sql, row);
}

QDateTime Utc(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0), Qt::UTC);
}

const QVariant Null = QVariant(QMetaType(QMetaType::Int));
// An empty text that is not NULL, for the NOT NULL text columns.
const QString Blank = QStringLiteral("");

void SeedCatalogue(Database &db)
{
    Insert(db, "Vendors", "ID, VendorName, Margin, MarginAD",
           {{1, QStringLiteral("Northwind Mills"), 0.35, 0.30},
            {2, QStringLiteral("Cedar & Slat Co."), 0.40, 0.35},
            {3, QStringLiteral("Lumen Textiles"), 0.38, 0.32}});

    // Source codes: cost 1 from the product's cost, 2 from its price; price 1 from cost,
    // 2 from the product's price, 3 by margin on the cost. Price margin source 1 takes the
    // vendor's margins instead of the discount rows' margins.
    Insert(db, "Products",
           "ID, ProductName, ProductFile, VendorID, CostSource, PriceSource, PriceMarginSource, "
           "OverrideProductSettings, FractionRounding, DimensionDisplayFormat",
           {{1, QStringLiteral("Roller Shade"), QStringLiteral("roller-shade.xml"), 1, 1, 2, 0, 1,
             2, QStringLiteral("Fraction")},
            {2, QStringLiteral("Wood Blind"), QStringLiteral("wood-blind.xml"), 2, 1, 3, 1, 1, 1,
             QStringLiteral("Fraction")},
            {3, QStringLiteral("Cellular Shade"), QStringLiteral("cellular-shade.xml"), 3, 1, 2, 0,
             0, 0, Blank},
            {4, QStringLiteral("Panel Track"), QStringLiteral("panel-track.xml"), 3, 2, 2, 1, 1, 1,
             QStringLiteral("Decimal")}});

    Insert(db, "ProductStyles", "ProductID, Style, Sequence",
           {{1, QStringLiteral("Standard"), 1},
            {1, QStringLiteral("Cordless"), 2},
            {1, QStringLiteral("Motorized"), 3},
            {2, QStringLiteral("2 Inch Slat"), 1},
            {2, QStringLiteral("2.5 Inch Slat"), 2},
            {3, QStringLiteral("Single Cell"), 1},
            {3, QStringLiteral("Double Cell"), 2},
            {3, QStringLiteral("Top Down Bottom Up"), 3},
            {4, QStringLiteral("3 Panel"), 1},
            {4, QStringLiteral("4 Panel"), 2},
            {4, QStringLiteral("5 Panel"), 3}});

    // Panel tracks are also sold through a second vendor.
    Insert(db, "ProductVendors", "ProductID, VendorID", {{1, 1}, {2, 2}, {3, 3}, {4, 3}, {4, 1}});

    // Company-wide defaults (no product), then each product's own; a product default for
    // the same option wins.
    Insert(db, "OptionDefaults", "ID, ProductID, OptionName, OptionValue",
           {{1, Null, QStringLiteral("Mount"), QStringLiteral("Inside")},
            {2, Null, QStringLiteral("Hold Down Brackets"), QStringLiteral("No")},
            {3, 1, QStringLiteral("Control Side"), QStringLiteral("Right")},
            {4, 1, QStringLiteral("Bottom Rail"), QStringLiteral("Standard")},
            {5, 1, QStringLiteral("Valance"), QStringLiteral("None")},
            {6, 2, QStringLiteral("Tilt"), QStringLiteral("Wand")},
            {7, 2, QStringLiteral("Valance"), QStringLiteral("Standard 3 Inch")},
            {8, 2, QStringLiteral("Route Holes"), QStringLiteral("Standard")},
            {9, 3, QStringLiteral("Opacity"), QStringLiteral("Light Filtering")},
            {10, 3, QStringLiteral("Edge Seal"), QStringLiteral("No")},
            {11, 4, QStringLiteral("Mount"), QStringLiteral("Outside")},
            {12, 4, QStringLiteral("Stack"), QStringLiteral("Left")},
            {13, 4, QStringLiteral("Track Color"), QStringLiteral("White")},
            {14, 4, QStringLiteral("Wand Length"), QStringLiteral("48")}});
}

void SeedPricing(Database &db)
{
    // Type 1 is the vendor cost group (one per company); 2 retail price groups; 3 customer
    // discount groups.
    Insert(db, "DiscountGroups", "ID, GroupName, DiscountGroupType",
           {{1, QStringLiteral("Vendor Cost"), 1},
            {2, QStringLiteral("Retail Standard"), 2},
            {3, QStringLiteral("Retail Preferred"), 2},
            {4, QStringLiteral("Loyalty Club"), 3},
            {5, QStringLiteral("Trade Accounts"), 3}});

    // One rounding rule each: up to 5, to nearest 1, down to 5, none.
    Insert(db, "CustomerTypes",
           "ID, TypeName, RoundUnitPrice, RoundUnitPriceTo, RoundUnitPriceDirection",
           {{1, QStringLiteral("Retail"), 1, 5, 0},
            {2, QStringLiteral("Designer"), 1, 1, 2},
            {3, QStringLiteral("Contractor"), 1, 5, 1},
            {4, QStringLiteral("Cash Sale"), 0, 0, 0}});

    Insert(db, "Customers",
           "ID, CustomerName, City, CustomerTypeID, DiscountGroupID, CustomerDiscountGroupID",
           {{1, QStringLiteral("Margaret Chen"), QStringLiteral("Portland"), 1, 2, 4},
            {2, QStringLiteral("Oakridge Interiors"), QStringLiteral("Salem"), 2, 3, 5},
            {3, QStringLiteral("Brightline Builders"), QStringLiteral("Eugene"), 3, 3, 5},
            {4, QStringLiteral("Walk-in Customer"), QStringLiteral("Portland"), 4, 2, Null}});

    // Rates are percentages. Level 1 product, 2 style, 3 option; product rows carry no
    // style, and only option rows carry an option.
    const char *columns = "ID, DiscountGroupID, DiscountLevel, ProductID, Style, OptionName, "
                          "OptionValue, Discount, DiscountAD, High, Low, Margin, MarginAD";
    const QString none = Blank;
    auto s = [](const char *text) { return QString::fromUtf8(text); };
    Insert(
        db, "Discounts", columns,
        {
            // Vendor cost (group 1)
            {1, 1, 1, 1, none, none, none, 45, 10, 50, 40, 0, 0},
            {2, 1, 1, 2, none, none, none, 50, 10, 55, 45, 0, 0},
            {3, 1, 1, 3, none, none, none, 48, 12, 52, 44, 0, 0},
            {4, 1, 1, 4, none, none, none, 40, 8, 45, 35, 0, 0},
            {5, 1, 2, 1, s("Motorized"), none, none, 42, 10, 45, 38, 0, 0},
            {6, 1, 2, 2, s("2.5 Inch Slat"), none, none, 52, 10, 55, 48, 0, 0},
            {7, 1, 2, 3, s("Top Down Bottom Up"), none, none, 46, 12, 50, 42, 0, 0},
            {8, 1, 3, 1, s("Standard"), s("Fabric"), s("Blackout Vinyl"), 47, 10, 50, 44, 0, 0},
            {9, 1, 3, 1, s("Motorized"), s("Motor Type"), s("Wi-Fi Motor"), 44, 10, 46, 40, 0, 0},
            {10, 1, 3, 3, s("Double Cell"), s("Opacity"), s("Room Darkening"), 50, 12, 52, 46, 0,
             0},
            // Retail Standard prices (group 2)
            {11, 2, 1, 1, none, none, none, 10, 5, 15, 5, 45, 40},
            {12, 2, 1, 2, none, none, none, 10, 5, 15, 5, 50, 45},
            {13, 2, 1, 3, none, none, none, 8, 4, 12, 4, 45, 40},
            {14, 2, 1, 4, none, none, none, 6, 3, 10, 3, 40, 35},
            {15, 2, 2, 1, s("Cordless"), none, none, 12, 5, 15, 8, 45, 40},
            {16, 2, 2, 4, s("4 Panel"), none, none, 8, 3, 10, 5, 40, 35},
            {17, 2, 3, 1, s("Standard"), s("Color"), s("White"), 15, 5, 18, 10, 45, 40},
            {18, 2, 3, 2, s("2 Inch Slat"), s("Color"), s("Natural Oak"), 12, 5, 15, 8, 50, 45},
            // Retail Preferred prices (group 3)
            {19, 3, 1, 1, none, none, none, 15, 5, 20, 10, 42, 38},
            {20, 3, 1, 2, none, none, none, 15, 5, 20, 10, 48, 42},
            {21, 3, 1, 3, none, none, none, 15, 5, 20, 10, 42, 38},
            {22, 3, 1, 4, none, none, none, 12, 4, 15, 8, 38, 32},
            {23, 3, 2, 2, s("2 Inch Slat"), none, none, 18, 5, 22, 12, 48, 42},
            {24, 3, 3, 3, s("Single Cell"), s("Color"), s("White"), 20, 5, 25, 15, 42, 38},
            // Loyalty Club customer discounts (group 4)
            {25, 4, 1, 1, none, none, none, 5, 0, 8, 2, 0, 0},
            {26, 4, 1, 2, none, none, none, 5, 0, 8, 2, 0, 0},
            {27, 4, 1, 3, none, none, none, 5, 0, 8, 2, 0, 0},
            {28, 4, 1, 4, none, none, none, 3, 0, 5, 1, 0, 0},
            {29, 4, 2, 3, s("Top Down Bottom Up"), none, none, 7, 0, 10, 4, 0, 0},
            {30, 4, 3, 1, s("Standard"), s("Valance"), s("Cassette"), 8, 0, 10, 5, 0, 0},
            // Trade Accounts customer discounts (group 5)
            {31, 5, 1, 1, none, none, none, 10, 0, 12, 8, 0, 0},
            {32, 5, 1, 2, none, none, none, 10, 0, 12, 8, 0, 0},
            {33, 5, 1, 3, none, none, none, 10, 0, 12, 8, 0, 0},
            {34, 5, 1, 4, none, none, none, 10, 0, 12, 8, 0, 0},
            {35, 5, 2, 4, s("5 Panel"), none, none, 12, 0, 15, 10, 0, 0},
            {36, 5, 3, 2, s("2 Inch Slat"), s("Tape"), s("Cloth Tape"), 11, 0, 14, 9, 0, 0},
        });
}

void SeedDescriptionsAndOptions(Database &db)
{
    for (const DescriptionSetting &s : DemoDescriptionSettings())
        db.execute(
            QStringLiteral("INSERT INTO OptionDetailSettings (ID, Location, Show, "
                           "Sequence, Prefix, OptionName, isBold) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {s.id, s.location, s.show ? 1 : 0, s.sequence, s.prefix, s.optionName, s.bold ? 1 : 0});

    Insert(
        db, "CompanyOptions", "Section, OptionKey, OptionValue",
        {{QStringLiteral("Company"), QStringLiteral("Name"),
          QStringLiteral("Harbor Blinds & Shades")},
         {QStringLiteral("Company"), QStringLiteral("OrganizationID"), QStringLiteral("1")},
         {QStringLiteral("OrderEntry"), QStringLiteral("OptionsNoShow"),
          QStringLiteral("No,N/A,None,0")},
         {QStringLiteral("OrderEntry"), QStringLiteral("OptionDelimiter"), QStringLiteral(" | ")}});
}

void SeedCharges(Database &db)
{
    // ChargeType 4 price, 256 cost. Methods: 1 fixed; 5/7/9 cost percentages of
    // BeforeDiscountCost/AfterDiscountCost/CostDiscountAmountADTotal; 6/8/10 the price
    // counterparts. Dates are UTC. Criteria are expressions of the host's formula engine.
    const char *columns = "ID, ChargeType, ApplyToPOs, ChargeName, ChargeCode, Criteria, "
                          "ChargeMethod, Value, Taxable, StartsOn, EndsOn, AutoAddToQuotes, "
                          "AutoAddToOrders, AutoAddToPOs, IncludeWithProductItems, Enabled";
    const QVariant noDate = DateValue(db, QDateTime());
    Insert(db, "AdditionalCharges", columns,
           {
               {1, 4, 0, QStringLiteral("Motor Installation"), QStringLiteral("MOTOR"),
                QStringLiteral(R"(Option("Motor Type") ~= "None" and Option("Motor Type") ~= "")"),
                1, 75.0, 1, noDate, noDate, 1, 1, 0, 1, 1},
               {2, 256, 1, QStringLiteral("Fuel Surcharge"), QStringLiteral("FUEL"), Blank, 5, 3.0,
                0, DateValue(db, Utc(2024, 1, 1)), DateValue(db, Utc(2030, 12, 31)), 1, 1, 1, 1, 1},
               {3, 4, 0, QStringLiteral("Cordless Upgrade"), QStringLiteral("CORDLESS"),
                QStringLiteral(R"(PriceCost("Style") == "Cordless")"), 6, 5.0, 1, noDate, noDate, 1,
                1, 0, 1, 1},
               {4, 256, 1, QStringLiteral("Wood Blind Handling"), QStringLiteral("WOODHDL"),
                QStringLiteral("ProductID == 2"), 1, 4.5, 0, noDate, noDate, 1, 1, 1, 1, 1},
               {5, 256, 1, QStringLiteral("Vendor Freight"), QStringLiteral("FREIGHT"), Blank, 9,
                2.0, 0, noDate, noDate, 1, 1, 1, 1, 1},
               {6, 4, 0, QStringLiteral("Panel Track Installation"), QStringLiteral("PTINST"),
                QStringLiteral("ProductID == 4"), 10, 2.5, 1, DateValue(db, Utc(2024, 3, 1)),
                noDate, 1, 1, 0, 1, 1},
               {7, 256, 1, QStringLiteral("Spring Freight Promotion"), QStringLiteral("SPRING"),
                Blank, 1, 10.0, 0, DateValue(db, Utc(2023, 3, 1)), DateValue(db, Utc(2023, 6, 30)),
                1, 1, 1, 1, 1},
               {8, 4, 0, QStringLiteral("Holiday Rush"), QStringLiteral("RUSH"), Blank, 8, 8.0, 1,
                noDate, noDate, 1, 1, 0, 1, 0},
               {9, 256, 1, QStringLiteral("Old Fuel Surcharge"), QStringLiteral("FUELOLD"), Blank,
                7, 4.0, 0, DateValue(db, Utc(2020, 1, 1)), noDate, 1, 1, 1, 1, 0},
           });
}

void SeedQuotes(Database &db)
{
    for (const DemoQuote &quote : DemoQuotes())
        InsertQuote(db, quote);
}

} // namespace

bool HasDemoCompany(const Database &db)
{
    return !db.info(SeedMarker).isEmpty();
}

void SeedDemoCompany(Database &db)
{
    if (HasDemoCompany(db))
        throw DatabaseError(
            QStringLiteral("%1 already holds the demo company.").arg(db.settings().describe()));
    if (!db.select(QStringLiteral("SELECT ID FROM Products")).rows.empty())
        throw DatabaseError(QStringLiteral("%1 already holds company data; the demo company is "
                                           "only added to an empty database.")
                                .arg(db.settings().describe()));
    Transaction transaction(db);
    SeedCatalogue(db);
    SeedPricing(db);
    SeedDescriptionsAndOptions(db);
    SeedCharges(db);
    SeedQuotes(db);
    db.setInfo(SeedMarker, QStringLiteral("Harbor Blinds & Shades"));
    transaction.commit();
}

} // namespace zeltpc5::host
