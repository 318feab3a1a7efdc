// Discount groups and levels, and the resolution of the levels into rates.
#include "common/conversions.h"
#include "pricing/additionalcharges.h"
#include "pricing/discounts.h"
#include "pricing/pricecostfields.h"
#include "pricing/resolution.h"
#include "pricingfakes.h"
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

const QString Item = QStringLiteral("<ItemData><Options>"
                                    "<Option><Name>Color</Name><Value>Red</Value></Option>"
                                    "<Option><Name>Lift</Name><Value>Cord</Value></Option>"
                                    "</Options></ItemData>");

XmlDocument PriceCost(const Row &fields)
{
    auto doc = *NewXMLDocument(QStringLiteral("PriceCostData"));
    for (const auto &[name, value] : fields)
        SetXMLValue(name, value, doc.documentElement());
    return doc;
}

QString Field(const XmlDocument &doc, const QString &name)
{
    return GetXMLValue(name, doc.documentElement());
}

QString Level(const QString &level, const QString &group, const QString &product,
              const QString &style = QString())
{
    const QString columns = level == QLatin1String("1")
                                ? QStringLiteral("Discount,DiscountAD,High,Low,Margin,MarginAD,"
                                                 "OptionName,OptionValue")
                                : QStringLiteral("Discount, DiscountAD, High, Low, Margin, "
                                                 "MarginAD, OptionName, OptionValue");
    QString sql = QStringLiteral("SELECT %1 FROM Discounts WHERE DiscountGroupID = %2 AND "
                                 "DiscountLevel = %3 AND ProductID = %4")
                      .arg(columns, group, level, product);
    if (level != QLatin1String("1"))
        sql += QStringLiteral(" AND Style = '%1'").arg(style);
    if (level == QLatin1String("3"))
        sql += QStringLiteral(" AND OptionName <> ''");
    return sql;
}

Row Rates(const QString &discount, const QString &optionName = {}, const QString &optionValue = {})
{
    return {{QStringLiteral("Discount"), discount},
            {QStringLiteral("DiscountAD"), QStringLiteral("1")},
            {QStringLiteral("High"), QStringLiteral("2")},
            {QStringLiteral("Low"), QStringLiteral("3")},
            {QStringLiteral("Margin"), QStringLiteral("4")},
            {QStringLiteral("MarginAD"), QStringLiteral("5")},
            {QStringLiteral("OptionName"), optionName},
            {QStringLiteral("OptionValue"), optionValue}};
}

QString Records(const QList<Row> &rows)
{
    return RecordsXml(QStringLiteral("Records"), rows);
}

} // namespace

TEST(LoadDiscounts, loadsEachFamilyFromItsGroupWithTheStatementsAsWritten)
{
    PricingHost host;
    host.scalars[QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1")] = 11;
    host.scalars[QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 3")] = 22;
    host.scalars[QStringLiteral("SELECT CustomerDiscountGroupID FROM Customers WHERE ID = 3")] = 33;
    // Two product rows for one group: the one returned last wins.
    host.reads[Level(QStringLiteral("1"), QStringLiteral("11"), QStringLiteral("7"))] =
        Records({Rates(QStringLiteral("40")), Rates(QStringLiteral("45"))});
    host.reads[Level(QStringLiteral("2"), QStringLiteral("22"), QStringLiteral("7"),
                     QStringLiteral("Kid''s Choice"))] = Records({Rates(QStringLiteral("12.5"))});
    host.reads[Level(QStringLiteral("3"), QStringLiteral("33"), QStringLiteral("7"),
                     QStringLiteral("Kid''s Choice"))] =
        Records({Rates(QStringLiteral("8"), QStringLiteral("color"), QStringLiteral("Red"))});

    XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                 {QStringLiteral("Style"), QStringLiteral("Kid's Choice")},
                                 {QStringLiteral("CustomerID"), QStringLiteral("3")},
                                 {QStringLiteral("CostStyleDiscount"), QStringLiteral("99")}});
    SqlSession session = host.session();
    LoadDiscounts(Item, doc, host.services(), session);

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountGroupID")), QStringLiteral("11"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscountGroupID")), QStringLiteral("22"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscountGroupID")), QStringLiteral("33"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductDiscount")), QStringLiteral("45"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductDiscountAD")), QStringLiteral("1"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductDiscountHigh")), QStringLiteral("2"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductDiscountLow")), QStringLiteral("3"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductMargin")), QStringLiteral("4"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostProductMarginAD")), QStringLiteral("5"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostStyleDiscount")), QStringLiteral("0"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceStyleDiscount")), QStringLiteral("12.5"));
    // The option name matches ignoring case.
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerOptionDiscount")), QStringLiteral("8"));
    EXPECT_EQ(LevelRateFields().size(), 54);
    for (const QString &name : LevelRateFields())
        EXPECT_FALSE(Field(doc, name).isEmpty()) << name.toStdString();

    ASSERT_EQ(host.statements.size(), 12);
    EXPECT_EQ(host.statements.at(0),
              QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1"));
    EXPECT_EQ(host.statements.at(4),
              QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 3"));
    EXPECT_EQ(host.statements.at(8),
              QStringLiteral("SELECT CustomerDiscountGroupID FROM Customers WHERE ID = 3"));
    EXPECT_EQ(host.fake.connection->calls(), QStringList{QStringLiteral("Close()")});
}

TEST(LoadDiscounts, keepsAStoredCustomerGroupAndDoesNothingWithoutConnection)
{
    PricingHost host;
    XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                 {QStringLiteral("PriceDiscountGroupID"), QStringLiteral("5")},
                                 {QStringLiteral("CustomerID"), QStringLiteral("3")}});
    SqlSession session = host.session();
    LoadDiscounts(Item, doc, host.services(), session);
    EXPECT_EQ(Field(doc, QStringLiteral("PriceDiscountGroupID")), QStringLiteral("5"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscountGroupID")), QStringLiteral("0"));
    EXPECT_FALSE(host.statements.contains(
        QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 3")));
    EXPECT_TRUE(host.statements.contains(
        Level(QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("7"))));

    PricingHost noConnection;
    noConnection.fake.scl->set(QStringLiteral("CurrentCompanyConn"), MakeObject({}));
    XmlDocument untouched = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")}});
    SqlSession other = noConnection.session();
    LoadDiscounts(Item, untouched, noConnection.services(), other);
    EXPECT_TRUE(noConnection.statements.isEmpty());
    EXPECT_EQ(Field(untouched, QStringLiteral("CostDiscountGroupID")), QString());
}

// Stored identifiers reach the statements as their number, never as their text.
TEST(LoadDiscounts, shouldInsertProductAndGroupAsNumbers)
{
    PricingHost host;
    host.scalars[QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1")] = 11;
    XmlDocument doc = PriceCost(
        {{QStringLiteral("ProductID"), QStringLiteral("7 OR 1=1")},
         {QStringLiteral("PriceDiscountGroupID"), QStringLiteral("2 OR DiscountLevel > 0")},
         {QStringLiteral("PriceProductDiscount"), QStringLiteral("50")},
         {QStringLiteral("Style"), QStringLiteral("x' OR ''='")}});
    SqlSession session = host.session();
    LoadDiscounts(Item, doc, host.services(), session);
    for (const QString &sql : host.statements)
        EXPECT_FALSE(sql.contains(QLatin1StringView("OR 1=1")) ||
                     sql.contains(QLatin1StringView("DiscountLevel > 0")))
            << sql.toStdString();
    EXPECT_EQ(host.statements.size(), 3); // the three group look-ups; no level can be read
    EXPECT_EQ(Field(doc, QStringLiteral("PriceProductDiscount")), QStringLiteral("0"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceOptionDiscount")), QStringLiteral("0"));

    // A number with blanks around it is still that number; the style stays quoted.
    PricingHost second;
    XmlDocument spaced = PriceCost({{QStringLiteral("ProductID"), QStringLiteral(" 7 ")},
                                    {QStringLiteral("CostDiscountGroupID"), QStringLiteral("4")},
                                    {QStringLiteral("Style"), QStringLiteral("x' OR ''='")}});
    SqlSession s2 = second.session();
    LoadStyleDiscounts(DiscountKind::Cost, Item, spaced, s2);
    ASSERT_EQ(second.statements.size(), 1);
    EXPECT_EQ(second.statements.at(0),
              Level(QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("7"),
                    QStringLiteral("x'' OR ''''=''")));
    EXPECT_EQ(SQLQuote(QStringLiteral("Kid's 'Choice'")), QStringLiteral("Kid''s ''Choice''"));
}

TEST(LoadOptionDiscounts, picksAmongMatchingRowsByTheOptionDiscountMethod)
{
    const QString sql = Level(QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("7"),
                              QStringLiteral("Standard"));
    const auto run = [&](const QString &method, const QList<Row> &rows) {
        PricingHost host;
        host.reads[sql] = Records(rows);
        XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                     {QStringLiteral("Style"), QStringLiteral("Standard")},
                                     {QStringLiteral("CostDiscountGroupID"), QStringLiteral("4")},
                                     {QStringLiteral("OptionDiscountMethod"), method},
                                     {QStringLiteral("CostOptionDiscount"), QStringLiteral("77")},
                                     {QStringLiteral("CostOptionMargin"), QStringLiteral("77")}});
        SqlSession session = host.session();
        LoadOptionDiscounts(DiscountKind::Cost, Item, doc, session);
        return Field(doc, QStringLiteral("CostOptionDiscount"));
    };
    const Row color = Rates(QStringLiteral("10"), QStringLiteral("Color"), QStringLiteral("Red"));
    const Row lift = Rates(QStringLiteral("15"), QStringLiteral("Lift"), QStringLiteral("Cord"));
    EXPECT_EQ(run(QStringLiteral("0"), {color, lift}), QStringLiteral("15"));
    EXPECT_EQ(run(QStringLiteral("1"), {color, lift}), QStringLiteral("10"));
    EXPECT_EQ(run(QStringLiteral("5"), {color, lift}), QStringLiteral("77"));
    // Blanks around the table's value are ignored; its letter case is not.
    EXPECT_EQ(run(QStringLiteral("0"),
                  {Rates(QStringLiteral("9"), QStringLiteral("Color"), QStringLiteral("  Red "))}),
              QStringLiteral("9"));
    EXPECT_EQ(run(QStringLiteral("0"),
                  {Rates(QStringLiteral("9"), QStringLiteral("Color"), QStringLiteral("red"))}),
              QStringLiteral("0"));
    // A matching row without discount is replaced by the next; the lowest is then 15.
    EXPECT_EQ(
        run(QStringLiteral("1"),
            {Rates(QStringLiteral("0"), QStringLiteral("Color"), QStringLiteral("Red")), lift}),
        QStringLiteral("15"));
    EXPECT_EQ(run(QStringLiteral("0"), {}), QStringLiteral("0"));

    OptionDiscountTable empty;
    EXPECT_EQ(PickHighestDiscountRow(empty), 0);
    EXPECT_EQ(PickLowestDiscountRow(empty), 0);
    const OptionDiscountTable ties{{5, 0, 0, 0, 0, 0}, {5, 0, 0, 0, 0, 0}, {-3, 0, 0, 0, 0, 0}};
    EXPECT_EQ(PickHighestDiscountRow(ties), 0);
    EXPECT_EQ(PickLowestDiscountRow(ties), 2);
}

TEST(ResolveDiscounts, picksTheLevelByMethod)
{
    using L = std::tuple<float, float, float>;
    const QList<std::pair<L, int>> highest{{{10, 15, 0}, ResolvedLevel::Style},
                                           {{10, 0, 10}, ResolvedLevel::Option},
                                           {{20, -999, 0}, ResolvedLevel::Style},
                                           {{20, 5, 0}, ResolvedLevel::Product},
                                           {{0, 0, 0}, ResolvedLevel::Option}};
    for (const auto &[v, level] : highest)
        EXPECT_EQ(PickHighestLevel(std::get<0>(v), std::get<1>(v), std::get<2>(v)), level);
    const QList<std::pair<L, int>> lowest{{{10, 5, 0}, ResolvedLevel::Style},
                                          {{10, 0, 0}, ResolvedLevel::Product},
                                          {{0, 3, 0}, ResolvedLevel::Option},
                                          {{10, 5, 2}, ResolvedLevel::Option}};
    for (const auto &[v, level] : lowest)
        EXPECT_EQ(PickLowestLevel(std::get<0>(v), std::get<1>(v), std::get<2>(v)), level);

    const auto resolve = [](const QString &method, const QString &p, const QString &s,
                            const QString &o) {
        XmlDocument doc = PriceCost({{QStringLiteral("DiscountMethod"), method},
                                     {QStringLiteral("CostProductDiscount"), p},
                                     {QStringLiteral("CostStyleDiscount"), s},
                                     {QStringLiteral("CostOptionDiscount"), o}});
        ResolveCostDiscount(doc);
        return Field(doc, QStringLiteral("CostDiscount"));
    };
    EXPECT_EQ(resolve(QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("15"),
                      QStringLiteral("0")),
              QStringLiteral("0.15"));
    EXPECT_EQ(resolve(QStringLiteral("2"), QStringLiteral("10"), QStringLiteral("12"),
                      QStringLiteral("0")),
              QStringLiteral("0.12"));
    EXPECT_EQ(resolve(QStringLiteral("2"), QStringLiteral("10"), QStringLiteral("12"),
                      QStringLiteral("3")),
              QStringLiteral("0.03"));
    EXPECT_EQ(resolve(QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("12"),
                      QStringLiteral("30")),
              QStringLiteral("0.1"));
}

TEST(ResolveDiscounts, keepsOverriddenRatesAndAppliesVendorMargins)
{
    PricingHost host;
    host.marginSource = 1;
    host.selects[QStringLiteral(
        "SELECT TOP 1 VendorID FROM ProductVendors WHERE (ProductID = 7)")] =
        RecordsXml(QStringLiteral("Results"),
                   {{{QStringLiteral("VendorID"), QStringLiteral("3")}}});
    host.selects[QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 3")] = RecordsXml(
        QStringLiteral("Results"), {{{QStringLiteral("Margin"), QStringLiteral("0.3")}}});
    host.selects[QStringLiteral("SELECT MarginAD FROM Vendors WHERE ID = 3")] = RecordsXml(
        QStringLiteral("Results"), {{{QStringLiteral("MarginAD"), QStringLiteral("0.25")}}});

    XmlDocument doc =
        PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                   {QStringLiteral("CostProductDiscount"), QStringLiteral("40")},
                   {QStringLiteral("CostProductDiscountLow"), QStringLiteral("30")},
                   {QStringLiteral("CostProductDiscountAD"), QStringLiteral("10")},
                   {QStringLiteral("CostDiscount"), QStringLiteral("0.5")},
                   {QStringLiteral("CostDiscountOverride"), QStringLiteral("1")},
                   {QStringLiteral("PriceProductMargin"), QStringLiteral("20")},
                   {QStringLiteral("PriceProductMarginAD"), QStringLiteral("20")},
                   {QStringLiteral("PriceMarginADOverride"), QStringLiteral("1")},
                   {QStringLiteral("PriceMarginAD"), QStringLiteral("0.1")},
                   {QStringLiteral("CustomerProductDiscount"), QStringLiteral("10")},
                   {QStringLiteral("CustomerDiscount"), QStringLiteral("0.07")},
                   {QStringLiteral("CustomerDiscountAD"), QStringLiteral("0.07")},
                   {QStringLiteral("CustomerDiscountOverride"), QStringLiteral("-1")}});
    ResolveDiscounts(doc, host.services());

    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscount")), QStringLiteral("0.5"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostLowDiscount")), QStringLiteral("0.3"));
    EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountAD")), QStringLiteral("0.1"));
    // The vendor's margin is a fraction already.
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMargin")), QStringLiteral("0.3"));
    EXPECT_EQ(Field(doc, QStringLiteral("PriceMarginAD")), QStringLiteral("0.1"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscount")), QStringLiteral("0.07"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerDiscountAD")), QStringLiteral("0.07"));
    EXPECT_EQ(Field(doc, QStringLiteral("CustomerLowDiscount")), QString());
    EXPECT_FALSE(
        host.statements.contains(QStringLiteral("SELECT MarginAD FROM Vendors WHERE ID = 3")));

    // A stored vendor skips the look-up; without the vendor source the level margin stays.
    host.statements.clear();
    XmlDocument stored = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                    {QStringLiteral("VendorID"), QStringLiteral("3")},
                                    {QStringLiteral("PriceProductDiscount"), QStringLiteral("5")},
                                    {QStringLiteral("PriceProductMargin"), QStringLiteral("20")}});
    ResolvePriceDiscount(stored, host.services());
    EXPECT_EQ(Field(stored, QStringLiteral("PriceMargin")), QStringLiteral("0.3"));
    EXPECT_EQ(host.statements.first(), QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 3"));
    host.marginSource = 0;
    ResolvePriceDiscount(stored, host.services());
    EXPECT_EQ(Field(stored, QStringLiteral("PriceMargin")), QStringLiteral("0.2"));
}

// The statements and the written document under regional settings: numbers in statements
// and documents keep 0-9 whatever digits the locale has, and only the separators follow it.
TEST(LoadDiscounts, writesStatementsAndDocumentsWithZeroToNineUnderEveryLocale)
{
    for (const QLocale &locale :
         {QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Japanese, QLocale::Japan),
          QLocale(QLocale::German, QLocale::Germany)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString twelveAndAHalf = QStringLiteral("12") + locale.decimalPoint() + u'5';
        PricingHost host;
        host.scalars[QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1")] =
            11;
        host.scalars[QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 3")] = 22;
        host.reads[Level(QStringLiteral("1"), QStringLiteral("11"), QStringLiteral("7"))] =
            Records({Rates(twelveAndAHalf)});
        host.reads[Level(QStringLiteral("2"), QStringLiteral("22"), QStringLiteral("7"),
                         QStringLiteral("Basic"))] = Records({Rates(QStringLiteral("8"))});
        XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                     {QStringLiteral("Style"), QStringLiteral("Basic")},
                                     {QStringLiteral("CustomerID"), QStringLiteral("3")}});
        SqlSession session = host.session();
        LoadDiscounts(Item, doc, host.services(), session, locale);

        ASSERT_GE(host.statements.size(), 5);
        EXPECT_EQ(host.statements.at(0),
                  QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1"));
        EXPECT_EQ(host.statements.at(1),
                  Level(QStringLiteral("1"), QStringLiteral("11"), QStringLiteral("7")));
        EXPECT_EQ(Field(doc, QStringLiteral("CostDiscountGroupID")), "11");
        EXPECT_EQ(Field(doc, QStringLiteral("CostProductDiscount")), twelveAndAHalf);
        EXPECT_EQ(Field(doc, QStringLiteral("PriceStyleDiscount")), "8");
        for (const QString &statement : host.statements)
            EXPECT_EQ(statement, LatinDigits(statement));
        EXPECT_EQ(doc.xml(), LatinDigits(doc.xml()));
    }
}

// A change run reads each level once and keeps what it read for its later lines; nothing it
// keeps reaches another run, a failed read is tried again and a new locale reads afresh.
TEST(LoadDiscounts, runReadsEachLevelOnceAndKeepsNothingItDidNotRead)
{
    PricingHost host;
    host.scalars[QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1")] = 11;
    const QString product = Level(QStringLiteral("1"), QStringLiteral("11"), QStringLiteral("7"));
    const QString basic = Level(QStringLiteral("2"), QStringLiteral("11"), QStringLiteral("7"),
                                QStringLiteral("Basic"));
    const QString deluxe = Level(QStringLiteral("2"), QStringLiteral("11"), QStringLiteral("7"),
                                 QStringLiteral("Deluxe"));
    const QString option = Level(QStringLiteral("3"), QStringLiteral("11"), QStringLiteral("7"),
                                 QStringLiteral("Basic"));
    host.reads[product] = Records({Rates(QStringLiteral("40"))});
    host.reads[basic] = Records({Rates(QStringLiteral("12.5"))});
    host.reads[deluxe] = Records({Rates(QStringLiteral("20"))});
    host.reads[option] =
        Records({Rates(QStringLiteral("9"), QStringLiteral("Color"), QStringLiteral("Red"))});
    const auto line = [&](ChargeSession &run, const QString &style, const QString &item,
                          const QLocale &locale = QLocale()) {
        XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), QStringLiteral("7")},
                                     {QStringLiteral("Style"), style},
                                     {QStringLiteral("CustomerID"), QStringLiteral("3")}});
        SqlSession session = host.session();
        LoadDiscounts(*LoadXMLDocument(item), doc, host.services(), session, run, locale);
        return doc;
    };
    const auto reads = [&](const QString &statement) { return host.statements.count(statement); };
    const QString blue = QStringLiteral("<ItemData><Options><Option><Name>Color</Name>"
                                        "<Value>Blue</Value></Option></Options></ItemData>");

    ChargeSession run(host.services());
    const XmlDocument first = line(run, QStringLiteral("Basic"), Item);
    const XmlDocument second = line(run, QStringLiteral("Basic"), blue);
    const XmlDocument third = line(run, QStringLiteral("Deluxe"), Item);
    EXPECT_EQ(reads(product), 1);
    EXPECT_EQ(reads(basic), 1);
    EXPECT_EQ(reads(deluxe), 1);
    EXPECT_EQ(Field(second, QStringLiteral("CostProductDiscount")), QStringLiteral("40"));
    EXPECT_EQ(Field(second, QStringLiteral("CostStyleDiscount")), QStringLiteral("12.5"));
    EXPECT_EQ(Field(third, QStringLiteral("CostStyleDiscount")), QStringLiteral("20"));
    // The kept option rows are still matched against each line's own options.
    EXPECT_EQ(Field(first, QStringLiteral("CostOptionDiscount")), QStringLiteral("9"));
    EXPECT_EQ(Field(second, QStringLiteral("CostOptionDiscount")), QStringLiteral("0"));
    EXPECT_EQ(first.xml(), line(run, QStringLiteral("Basic"), Item).xml());

    // A level that failed to read is read again by the next line, and kept once it answers.
    const QString unknown = Level(QStringLiteral("2"), QStringLiteral("11"), QStringLiteral("7"),
                                  QStringLiteral("New"));
    EXPECT_EQ(Field(line(run, QStringLiteral("New"), Item), QStringLiteral("CostStyleDiscount")),
              QStringLiteral("0"));
    host.reads[unknown] = Records({Rates(QStringLiteral("33"))});
    EXPECT_EQ(Field(line(run, QStringLiteral("New"), Item), QStringLiteral("CostStyleDiscount")),
              QStringLiteral("33"));
    line(run, QStringLiteral("New"), Item);
    EXPECT_EQ(reads(unknown), 2);

    // Rates read under one locale are not served under another.
    const QLocale german(QLocale::German, QLocale::Germany);
    host.reads[basic] = Records({Rates(QStringLiteral("7,5"))});
    EXPECT_EQ(Field(line(run, QStringLiteral("Basic"), Item, german),
                    QStringLiteral("CostStyleDiscount")),
              QStringLiteral("7,5"));
    EXPECT_EQ(reads(basic), 2);

    // The next run reads the table as it is then.
    host.reads[product] = Records({Rates(QStringLiteral("41"))});
    ChargeSession next(host.services());
    EXPECT_EQ(
        Field(line(next, QStringLiteral("Basic"), Item), QStringLiteral("CostProductDiscount")),
        QStringLiteral("41"));
}

// A run writes the same rates as a single call, line after line, whatever locale each asks.
TEST(ResolveDiscounts, runWritesWhatASingleCallWrites)
{
    PricingHost host;
    FillPricingCompany(host);
    ChargeSession run(host.services());
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const QLocale &locale : {english, german, english}) {
        for (const QString &product : {QStringLiteral("7"), QStringLiteral("8")}) {
            SCOPED_TRACE((locale.name() + u' ' + product).toStdString());
            const auto resolve = [&](ChargeSession *withRun) {
                XmlDocument doc = PriceCost({{QStringLiteral("ProductID"), product},
                                             {QStringLiteral("Style"), QStringLiteral("Standard")},
                                             {QStringLiteral("CustomerID"), QStringLiteral("3")}});
                SqlSession session = host.session();
                if (withRun) {
                    LoadDiscounts(*LoadXMLDocument(Item), doc, host.services(), session, *withRun,
                                  locale);
                    ResolveDiscounts(doc, host.services(), *withRun, locale);
                } else {
                    LoadDiscounts(Item, doc, host.services(), session, locale);
                    ResolveDiscounts(doc, host.services(), locale);
                }
                return doc.xml();
            };
            const QString alone = resolve(nullptr);
            EXPECT_TRUE(
                alone.contains(german == locale ? QStringLiteral(",") : QStringLiteral(".")));
            EXPECT_EQ(resolve(&run), alone);
        }
    }
}
