// The item and price/cost fields and their single-field procedures.
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "xml/xmlaccess.h"

#include <gtest/gtest.h>

#include <QSet>

#include <cmath>

using namespace zeltpc5;

namespace {

const QString ItemText =
    QStringLiteral("<?xml version=\"1.0\"?>\n<ItemData><Options>"
                   "<Option><Name>Width</Name><Value>36 1/2</Value></Option>"
                   "<Option><Name>Kid's \"Choice\"</Name><Value>Yes</Value></Option>"
                   "<Option><Name>WIDTH</Name><Value>second</Value></Option>"
                   "<Option><Name>Note</Name><Value>a&amp;#13;&amp;#10;b</Value></Option>"
                   "</Options></ItemData>\n");

const QString PriceCostText = QStringLiteral(
    "<?xml "
    "version=\"1.0\"?>\n<PriceCostData><VendorID>12</VendorID><PriceOverride>0</PriceOverride>"
    "<PriceOverrideTo>99</PriceOverrideTo><UnitPrice "
    "Explain=\"x\">10</UnitPrice></PriceCostData>\n");

} // namespace

TEST(pricing_item_fields_test, findsOptionValuesByNameIgnoringCase)
{
    const auto item = LoadItemXML(ItemText);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(QStringLiteral("36 1/2"), GetOptionValue(*item, QStringLiteral("WIDTH")));
    EXPECT_EQ(QStringLiteral("Yes"), GetOptionValue(*item, QStringLiteral("kid's \"choice\"")));
    EXPECT_EQ(QStringLiteral("a\r\nb"), GetOptionValue(*item, QStringLiteral("note")));
    EXPECT_EQ(QString(), GetOptionValue(*item, QStringLiteral("Height")));
    EXPECT_EQ(QString(), GetOptionValue(*item, QStringLiteral("Width' or '1'='1")));

    EXPECT_EQ(QStringLiteral("36 1/2"), GetItemOptionValue(QStringLiteral("width"), ItemText));
    EXPECT_EQ(QString(), GetItemOptionValue(QStringLiteral("width"), QString()));
    EXPECT_EQ(QString(), GetItemOptionValue(QStringLiteral("width"), QStringLiteral("<ItemData>")));
}

TEST(pricing_item_fields_test, setsOneItemFieldAndKeepsTheRest)
{
    const QString changed =
        SetItemValue(QStringLiteral("Description"), QStringLiteral("Blind\r\nRed"), ItemText);
    const auto item = LoadItemXML(changed);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(QStringLiteral("Blind\r\nRed"),
              GetXMLValue(ItemData::Description, item->documentElement()));
    EXPECT_EQ(QStringLiteral("second"),
              GetXMLValue(QStringLiteral("Options/Option[3]/Value"), item->documentElement()));
    EXPECT_TRUE(changed.startsWith(QStringLiteral("<?xml version=\"1.0\"?>")));

    EXPECT_EQ(QString(), SetItemValue(QStringLiteral("Description"), QStringLiteral("x"),
                                      QStringLiteral("<ItemData><Description>")));
    EXPECT_EQ(QString(),
              SetItemValue(QStringLiteral("Description"), QStringLiteral("x"), QString()));
    // A document of another kind is not turned into an item.
    EXPECT_EQ(QStringLiteral("<?xml version=\"1.0\"?>\n<Other/>\n"),
              SetItemValue(QStringLiteral("Description"), QStringLiteral("x"),
                           QStringLiteral("<Other/>")));
}

TEST(pricing_price_cost_fields_test, readsNamedFieldsAsText)
{
    EXPECT_EQ(QStringLiteral("12"), GetPriceCostValue(QStringLiteral("VendorID"), PriceCostText));
    EXPECT_EQ(QString(), GetPriceCostValue(QStringLiteral("vendorid"), PriceCostText));
    EXPECT_EQ(QString(), GetPriceCostValue(QStringLiteral("CustomerID"), PriceCostText));
    EXPECT_EQ(QString(), GetPriceCostValue(QStringLiteral("VendorID"), QStringLiteral("<x")));
    // A field name is a name, never an expression.
    EXPECT_EQ(QString(), GetPriceCostValue(QStringLiteral("*[1]"), PriceCostText));
    EXPECT_EQ(QString(), GetPriceCostValue(QStringLiteral("//VendorID"), PriceCostText));
}

TEST(pricing_price_cost_fields_test, priceSetsOrClearsTheUnitPriceOverride)
{
    const auto read = [](const QString &text, QLatin1StringView field) {
        return GetPriceCostValue(field, text);
    };
    const QString priced =
        SetPriceCostValue(QStringLiteral("Price"), QStringLiteral("125.50"), PriceCostText);
    EXPECT_EQ(QStringLiteral("1"), read(priced, PriceCostData::PriceOverride));
    EXPECT_EQ(QStringLiteral("125.5"), read(priced, PriceCostData::PriceOverrideTo));

    const QString cleared = SetPriceCostValue(QStringLiteral("price"), QStringLiteral("0"), priced);
    EXPECT_EQ(QStringLiteral("0"), read(cleared, PriceCostData::PriceOverride));
    EXPECT_EQ(QStringLiteral("125.5"), read(cleared, PriceCostData::PriceOverrideTo));

    const QString unit =
        SetPriceCostValue(QStringLiteral("UnitPrice"), QStringLiteral("10.25"), PriceCostText);
    EXPECT_EQ(QStringLiteral("10.25"), read(unit, PriceCostData::UnitPrice));
    EXPECT_EQ(QStringLiteral("0"), read(unit, PriceCostData::PriceOverride));
    EXPECT_EQ(QStringLiteral("x"),
              GetXMLAttribute(FindChildNode(LoadPriceCostXML(unit)->documentElement(),
                                            PriceCostData::UnitPrice),
                              PriceCostData::Explain));

    // Not an amount: nothing changes.
    const QString word =
        SetPriceCostValue(QStringLiteral("PRICE"), QStringLiteral("cheap"), PriceCostText);
    EXPECT_EQ(LoadPriceCostXML(PriceCostText)->xml(), word);

    // The amount is read under the locale's separators.
    const QString german =
        SetPriceCostValue(QStringLiteral("price"), QStringLiteral("125,5"), PriceCostText,
                          QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(QStringLiteral("125,5"), read(german, PriceCostData::PriceOverrideTo));

    EXPECT_EQ(QString(),
              SetPriceCostValue(QStringLiteral("price"), QStringLiteral("5"), QString()));
    EXPECT_EQ(QString(), SetPriceCostValue(QStringLiteral("VendorID"), QStringLiteral("5"),
                                           QStringLiteral("<PriceCostData>")));
}

TEST(pricing_price_cost_fields_test, newFieldsAreAppendedToThePriceCostElement)
{
    const QString text = SetPriceCostValue(QStringLiteral("Style"), QStringLiteral("Deluxe & Co"),
                                           QStringLiteral("<PriceCostData/>"));
    EXPECT_EQ(
        QStringLiteral("<?xml version=\"1.0\"?>\n<PriceCostData><Style>Deluxe &amp; Co</Style>"
                       "</PriceCostData>\n"),
        text);
}

TEST(pricing_price_cost_fields_test, catalogueGeneratesTheLevelRatesAndNamesEveryFieldOnce)
{
    const QStringList &rates = LevelRateFields();
    EXPECT_EQ(54, rates.size());
    EXPECT_EQ(QStringLiteral("CostProductDiscount"), rates.first());
    EXPECT_EQ(QStringLiteral("CustomerOptionMarginAD"), rates.last());
    EXPECT_TRUE(rates.contains(QStringLiteral("PriceStyleDiscountHigh")));
    EXPECT_EQ(QStringLiteral("PriceOptionDiscountAD"),
              LevelRateField(DiscountFamily::Price, DiscountLevel::Option, LevelRate::DiscountAD));
    EXPECT_EQ(QStringLiteral("CostStyleDiscountHigh"),
              LevelRateField(DiscountFamily::Cost, DiscountLevel::Style, LevelRate::DiscountHigh));
    EXPECT_EQ(QStringLiteral("CustomerProductMargin"),
              LevelRateField(DiscountFamily::Customer, DiscountLevel::Product, LevelRate::Margin));

    QSet<QString> names;
    for (const FieldDefinition &field : PriceCostFields())
        names.insert(field.name);
    EXPECT_EQ(PriceCostFields().size(), names.size());
    EXPECT_EQ(10 + 54 + 14 + 12 + 28, PriceCostFields().size());

    EXPECT_EQ(FieldType::Single, FindPriceCostField(QStringLiteral("CostStyleMargin"))->type);
    EXPECT_EQ(FieldType::Integer, FindPriceCostField(QStringLiteral("DiscountMethod"))->type);
    EXPECT_EQ(FieldType::Currency, FindPriceCostField(QStringLiteral("UnitPrice"))->type);
    EXPECT_EQ(QStringLiteral("CustomerDiscountOverride"),
              FindPriceCostField(QStringLiteral("CustomerHighDiscount"))->overrideFlag);
    EXPECT_EQ(QString(), FindPriceCostField(QStringLiteral("CostLowDiscount"))->overrideFlag);
    EXPECT_FALSE(FindPriceCostField(QStringLiteral("Price")).has_value());
}

// The steps convert each amount once a line; what they read and write must still be the
// document's amount at that moment, whoever changed it.
TEST(pricing_price_cost_steps_test, readsAndExplainsEachAmountAsTheDocumentHoldsItNow)
{
    auto doc = *LoadXMLDocument(QStringLiteral("<PriceCostData><A>5</A><B>5.0</B><C>x</C>"
                                               "<A>9</A></PriceCostData>"));
    const XmlNode element = doc.documentElement();
    const PriceCostSteps steps(element, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(Currency::fromUnits(5), steps.amount(QStringLiteral("A")));
    EXPECT_EQ(Currency::fromUnits(5), steps.amount(QStringLiteral("B")));
    EXPECT_EQ(Currency(), steps.amount(QStringLiteral("C")));
    SetXMLValue(QStringLiteral("A"), QStringLiteral("7.25"), element);
    EXPECT_EQ(Currency::fromScaled(72500), steps.amount(QStringLiteral("A")));
    ASSERT_TRUE(steps.write(QStringLiteral("B"), Currency::fromScaled(12345), QStringLiteral("{0}"),
                            {steps.money(Currency::fromScaled(12345))}));
    EXPECT_EQ(Currency::fromScaled(12345), steps.amount(QStringLiteral("B")));
    EXPECT_EQ(steps.money(Currency::fromScaled(12346)), QStringLiteral("$1.23"));
    EXPECT_EQ(steps.money(Currency::fromScaled(12355)), QStringLiteral("$1.24"));
    // The explanation goes on the first element of the name, the one written; a new amount
    // gets a new element.
    ASSERT_TRUE(
        steps.write(QStringLiteral("A"), Currency::fromUnits(1), QStringLiteral("one"), {}));
    ASSERT_TRUE(steps.write(QStringLiteral("D"), Currency::fromUnits(2), QStringLiteral("{0}+{1}"),
                            {steps.money(Currency::fromUnits(2)), 3}));
    EXPECT_FALSE(steps.write(QStringLiteral("E"), std::nullopt, QStringLiteral("none"), {}));
    ASSERT_TRUE(steps.write(QStringLiteral("C"), Currency::fromScaled(10001)));
    EXPECT_EQ(doc.xml(), QStringLiteral("<?xml version=\"1.0\"?>\n<PriceCostData>"
                                        "<A Explain=\"one\">1</A><B Explain=\"$1.23\">1.2345</B>"
                                        "<C>1.0001</C><A>9</A><D Explain=\"$2.00+3\">2</D>"
                                        "</PriceCostData>\n"));
}

// Rates are converted once a run: each value keeps its own text, under the locale asked for.
TEST(pricing_single_texts_test, givesEachValueTheTextSetXMLSingleWritesUnderTheLocaleAsked)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const float close = std::nextafter(0.3f, 1.0f);
    SingleTexts texts;
    for (const QLocale &locale : {english, german, english}) {
        for (float value : {0.3f, close, 0.0f, -0.0f, 45.0f, 0.3f})
            EXPECT_EQ(texts.text(value, locale), SingleToText(value, locale))
                << value << ' ' << locale.name().toStdString();
    }
    EXPECT_NE(texts.text(0.3f, english), texts.text(close, english));
    EXPECT_EQ(texts.text(0.3f, german), QStringLiteral("0,3"));

    auto doc = *LoadXMLDocument(QStringLiteral("<PriceCostData><A>1</A></PriceCostData>"));
    texts.write(QStringLiteral("A"), 0.25f, doc.documentElement(), german);
    texts.write(QStringLiteral("B"), 0.25f, doc.documentElement(), english);
    EXPECT_EQ(doc.documentElement().xml(),
              QStringLiteral("<PriceCostData><A>0,25</A><B>0.25</B></PriceCostData>"));
}
