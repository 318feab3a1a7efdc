// The product engine driven late-bound, by member name, the way the component drives it.
#include "host/helpers/registration.h"
#include "host/productengine/productengine.h"
#include "host/productengine/productfile.h"
#include "tests/host/fifo.h"

#include <zeltpc5/classregistry.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace zeltpc5;

namespace {

const QString ProductFolder = QStringLiteral(ZELTPC5_TEST_PRODUCT_DIR);

qint64 usd(double amount)
{
    return std::llround(amount * 10000.0);
}

class ProductEngineTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { host::RegisterReferenceEngines(); }

    void SetUp() override { engine = newEngine(); }

    static DispatchPtr newEngine()
    {
        DispatchPtr e;
        EXPECT_TRUE(CreateObject(QStringLiteral("optrix5.Engine"), &e).ok());
        EXPECT_TRUE(Call(e, u"Initialize").ok());
        return e;
    }

    bool use(const QString &reference)
    {
        return ToBool(Call(engine, u"UseProductFile", {reference, MakeBool(true)}).value)
            .value_or(false);
    }

    // The component's sequence for one line, up to the replay of its options.
    bool open(const QString &file, const QString &style)
    {
        if (!use(QDir(ProductFolder).filePath(file)))
            return false;
        Call(engine, u"InitForAccess");
        Put(engine, u"AllOptionsInDescription", MakeBool(false));
        return ToBool(Call(engine, u"InitForProcessing", {style}).value).value_or(false);
    }

    void set(const QString &name, const QString &value)
    {
        ASSERT_TRUE(Call(engine, u"SetOptionValue", {name, value}).ok());
    }

    void process() { ASSERT_TRUE(Call(engine, u"ProcessOptions").ok()); }

    Variant option(const QString &name, const QString &field)
    {
        return Call(engine, u"GetOptionData", {name, field}).value;
    }
    QString value(const QString &name) { return option(name, QStringLiteral("Value")).toString(); }
    QString shown(const QString &name)
    {
        return option(name, QStringLiteral("FormattedValue")).toString();
    }
    bool visible(const QString &name)
    {
        return ToBool(option(name, QStringLiteral("Visible"))).value_or(false);
    }

    QStringList messages(QStringView countMember, QStringView itemMember)
    {
        QStringList list;
        const qint32 count = ToInt32(Call(engine, countMember).value).value_or(-1);
        for (qint32 i = 0; i < count; ++i)
            list << ToText(Call(engine, itemMember, {MakeInt32(i)}).value).value_or(QString());
        return list;
    }
    QStringList errors() { return messages(u"ErrorCount", u"Error"); }
    QStringList notices() { return messages(u"NoticeCount", u"Notice"); }

    qint64 amount(QStringView member)
    {
        return ToCurrency(Call(engine, member).value).value_or(CurrencyValue{-1}).scaled;
    }

    struct Line
    {
        QString name;
        QString code;
        qint64 value;
        friend bool operator==(const Line &, const Line &) = default;
        friend void PrintTo(const Line &l, std::ostream *os)
        {
            *os << l.name.toStdString() << "/" << l.code.toStdString() << "/" << l.value;
        }
    };
    std::vector<Line> priceLines()
    {
        std::vector<Line> lines;
        const qint32 count = ToInt32(Call(engine, u"PriceLineAnalyticCount").value).value_or(0);
        for (qint32 i = 0; i < count; ++i) {
            lines.push_back(
                {Call(engine, u"PriceLineAnalyticName", {MakeInt32(i)}).value.toString(),
                 Call(engine, u"PriceLineAnalyticPLCode", {MakeInt32(i)}).value.toString(),
                 ToCurrency(Call(engine, u"PriceLineAnalyticValue", {MakeInt32(i)}).value)
                     ->scaled});
        }
        return lines;
    }

    void expectLinesAddUpToThePrice()
    {
        qint64 sum = 0;
        for (const Line &l : priceLines())
            sum += l.value;
        EXPECT_EQ(sum, amount(u"PriceBeforeDiscount") + amount(u"PriceAfterDiscount"));
    }

    QString lastError() { return Get(engine, u"LastError").value.toString(); }

    DispatchPtr engine;
};

TEST_F(ProductEngineTest, rollerShadePricesGridSurchargesAndAnalyticLines)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    set(QStringLiteral("Room Location"), QStringLiteral("Master Bedroom"));
    set(QStringLiteral("Width"), QStringLiteral("36 1/2"));
    set(QStringLiteral("Height"), QStringLiteral("48"));
    set(QStringLiteral("Fabric"), QStringLiteral("Linen Blend"));
    set(QStringLiteral("Color"), QStringLiteral("Ivory"));
    set(QStringLiteral("Valance"), QStringLiteral("Cassette"));
    set(QStringLiteral("Control Type"), QStringLiteral("Motor"));
    set(QStringLiteral("Control Side"), QStringLiteral("Left"));
    set(QStringLiteral("Motor Type"), QStringLiteral("Wi-Fi Motor"));
    set(QStringLiteral("Hold Down Brackets"), QStringLiteral("Yes"));
    process();

    EXPECT_EQ(errors(), QStringList());
    EXPECT_EQ(notices(), QStringList{QStringLiteral(
                             "An inside mounted cassette valance needs a window depth of at "
                             "least 3 1/2 inches.")});
    // 36 1/2 x 48 takes the grid point 48 x 48: 109.00; cassette 1.10 x 36.5 = 40.15 before
    // the discount; the motor and the brackets come after it.
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(149.15));
    EXPECT_EQ(amount(u"PriceAfterDiscount"), usd(374.50));
    // Cost: 109.00 x 0.48 = 52.32, cassette 0.55 x 36.5 = 20.075 -> 20.08; 210 + 4.
    EXPECT_EQ(amount(u"CostBeforeDiscount"), usd(72.40));
    EXPECT_EQ(amount(u"CostAfterDiscount"), usd(214.00));
    const std::vector<Line> expected{
        {QStringLiteral("Fabric"), QStringLiteral("RS-FAB"), usd(59.95)},
        {QStringLiteral("Tube and hardware"), QStringLiteral("RS-HW"), usd(32.70)},
        {QStringLiteral("Assembly"), QStringLiteral("RS-ASM"), usd(16.35)},
        {QStringLiteral("Cassette valance"), QStringLiteral("RS-VCA"), usd(40.15)},
        {QStringLiteral("Wi-Fi motor"), QStringLiteral("RS-MWF"), usd(365.00)},
        {QStringLiteral("Hold down brackets"), QStringLiteral("RS-HDB"), usd(9.50)},
    };
    EXPECT_EQ(priceLines(), expected);
    expectLinesAddUpToThePrice();

    // A motor shows its heading; the chain length is neither computed nor shown.
    EXPECT_TRUE(visible(QStringLiteral("Motorization")));
    EXPECT_FALSE(visible(QStringLiteral("Chain Length")));
    EXPECT_EQ(value(QStringLiteral("Chain Length")), QString());
}

TEST_F(ProductEngineTest, woodBlindUsesItsCostGridAndRoundsSizesDown)
{
    ASSERT_TRUE(open(QStringLiteral("wood-blind.xml"), QStringLiteral("2 Inch Slat")));
    set(QStringLiteral("Width"), QStringLiteral("35.93"));
    set(QStringLiteral("Height"), QStringLiteral("60"));
    set(QStringLiteral("Mount"), QStringLiteral("Outside"));
    set(QStringLiteral("Color"), QStringLiteral("Espresso"));
    set(QStringLiteral("Valance"), QStringLiteral("Crown"));
    set(QStringLiteral("Tape"), QStringLiteral("Cloth Tape"));
    set(QStringLiteral("Route Holes"), QStringLiteral("Privacy"));
    set(QStringLiteral("Lift System"), QStringLiteral("Cordless Lift"));
    set(QStringLiteral("Tilt"), QStringLiteral("Cord"));
    process();

    EXPECT_EQ(errors(), QStringList());
    EXPECT_EQ(notices(), QStringList());
    // Cloth tape covers the route holes, so privacy holes (and their surcharge) go; a
    // cordless lift tilts by wand.
    EXPECT_EQ(value(QStringLiteral("Route Holes")), QStringLiteral("Standard"));
    EXPECT_FALSE(visible(QStringLiteral("Route Holes")));
    EXPECT_EQ(value(QStringLiteral("Tilt")), QStringLiteral("Wand"));
    // The mill cuts 35.93 down to 35 7/8, which takes the grid column 36.
    EXPECT_EQ(shown(QStringLiteral("Width")), QStringLiteral("35 7/8"));
    // 113.00 + cloth tape 15 % 16.95 + crown 0.95 x 35.875 = 34.08 + cordless lift 35.00.
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(199.03));
    EXPECT_EQ(amount(u"PriceAfterDiscount"), 0);
    // Cost grid 60.50 + 15 % of it 9.08 + 0.45 x 35.875 = 16.14 + 17.50.
    EXPECT_EQ(amount(u"CostBeforeDiscount"), usd(103.22));
    expectLinesAddUpToThePrice();
    // Height 60 at 1 3/4 inch spacing: 60 x 0.5714 + 1 = 35.3, rounded up.
    EXPECT_EQ(value(QStringLiteral("Slat Count")), QStringLiteral("36"));
}

TEST_F(ProductEngineTest, cellularShadeAddsMotorAndEdgeSeal)
{
    ASSERT_TRUE(open(QStringLiteral("cellular-shade.xml"), QStringLiteral("Double Cell")));
    set(QStringLiteral("Width"), QStringLiteral("48"));
    set(QStringLiteral("Height"), QStringLiteral("71-3/4"));
    set(QStringLiteral("Color"), QStringLiteral("Sand"));
    set(QStringLiteral("Opacity"), QStringLiteral("Room Darkening"));
    set(QStringLiteral("Lift System"), QStringLiteral("Motor"));
    set(QStringLiteral("Edge Seal"), QStringLiteral("Yes"));
    process();

    EXPECT_EQ(errors(), QStringList());
    // The motor lift needs a motor: None is replaced by the only motor there is.
    EXPECT_EQ(value(QStringLiteral("Motor Type")), QStringLiteral("RF Motor"));
    EXPECT_EQ(value(QStringLiteral("Pleat Size")), QStringLiteral("3/8 Inch"));
    // 204.00 + 10 % 20.40 + edge seal 0.80 x 71.75 = 57.40; motor 249.00 after.
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(281.80));
    EXPECT_EQ(amount(u"PriceAfterDiscount"), usd(249.00));
    EXPECT_EQ(amount(u"CostBeforeDiscount"), usd(140.90));
    EXPECT_EQ(amount(u"CostAfterDiscount"), usd(140.00));
    expectLinesAddUpToThePrice();
}

TEST_F(ProductEngineTest, panelTrackShowsDecimalsAndComputesPanelWidth)
{
    ASSERT_TRUE(open(QStringLiteral("panel-track.xml"), QStringLiteral("5 Panel")));
    set(QStringLiteral("Room Location"), QStringLiteral("Patio Door"));
    set(QStringLiteral("Width"), QStringLiteral("144"));
    set(QStringLiteral("Height"), QStringLiteral("100 1/4"));
    set(QStringLiteral("Fabric"), QStringLiteral("Blackout"));
    set(QStringLiteral("Color"), QStringLiteral("Stone"));
    set(QStringLiteral("Track Color"), QStringLiteral("Bronze"));
    set(QStringLiteral("Stack"), QStringLiteral("Center Split"));
    set(QStringLiteral("Wand Length"), QStringLiteral("36"));
    process();

    EXPECT_EQ(errors(), QStringList());
    EXPECT_EQ(shown(QStringLiteral("Height")), QStringLiteral("100.25"));
    EXPECT_EQ(option(QStringLiteral("Height"), QStringLiteral("DisplayFormat")),
              Variant(QStringLiteral("Decimal")));
    // Five panels cannot split in the center; a tall track needs the long wand.
    EXPECT_EQ(value(QStringLiteral("Stack")), QStringLiteral("Left"));
    EXPECT_EQ(value(QStringLiteral("Wand Length")), QStringLiteral("60"));
    // 144 / 5 + 3 = 31.8, up to the next eighth.
    EXPECT_EQ(value(QStringLiteral("Panel Width")), QStringLiteral("31.875"));
    // Grid 801.00 + blackout 8 % 64.08 + bronze 45.00 + wand 10.00; the cost grid
    // gives 368.46, + 29.48 + 45.00 x 0.50 + 4.00.
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(920.08));
    EXPECT_EQ(amount(u"CostBeforeDiscount"), usd(424.44));
    expectLinesAddUpToThePrice();
}

TEST_F(ProductEngineTest, everyDemoProductDescribesItsOptionsCompletely)
{
    const QStringList files{QStringLiteral("roller-shade.xml"), QStringLiteral("wood-blind.xml"),
                            QStringLiteral("cellular-shade.xml"),
                            QStringLiteral("panel-track.xml")};
    const QStringList everyProduct{QStringLiteral("Room Location"), QStringLiteral("Width"),
                                   QStringLiteral("Height"), QStringLiteral("Mount"),
                                   QStringLiteral("Color")};
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(use(QDir(ProductFolder).filePath(file))) << lastError().toStdString();
        const qint32 count = ToInt32(Call(engine, u"GetOptionCount").value).value_or(0);
        EXPECT_GE(count, 8);
        EXPECT_LE(count, 20);
        QStringList names;
        for (qint32 i = 0; i < count; ++i) {
            const auto field = [&](const char *name) {
                return Call(engine, u"GetOptionDataEx", {MakeInt32(i), QString::fromLatin1(name)});
            };
            names << field("Name").value.toString();
            EXPECT_EQ(TypeOf(field("Type").value), VariantType::Int16);
            EXPECT_EQ(TypeOf(field("Visible").value), VariantType::Bool);
            for (const char *name : {"Sequence", "GroupSequence", "IsDimension", "ProcessIfHidden"})
                EXPECT_EQ(TypeOf(field(name).value), VariantType::Int32) << name;
            for (const char *name : {"Value", "FormattedValue", "GroupName", "DisplayFormat"})
                EXPECT_EQ(TypeOf(field(name).value), VariantType::String) << name;
        }
        for (const QString &name : everyProduct)
            EXPECT_TRUE(names.contains(name)) << name.toStdString();
        EXPECT_EQ(option(QStringLiteral("Width"), QStringLiteral("IsDimension")), MakeInt32(1));
        EXPECT_EQ(option(QStringLiteral("Color"), QStringLiteral("Value")),
                  Variant(QStringLiteral("Please Select")));
    }
}

TEST_F(ProductEngineTest, listValuesOutsideTheChoicesOrRulesReturnToTheDefault)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Cordless")));
    set(QStringLiteral("Width"), QStringLiteral("36"));
    set(QStringLiteral("Height"), QStringLiteral("48"));
    set(QStringLiteral("Control Type"), QStringLiteral("Chain"));
    set(QStringLiteral("Color"), QStringLiteral("Purple"));
    set(QStringLiteral("Mount"), QStringLiteral("outside"));
    set(QStringLiteral("Hold Down Brackets"), QStringLiteral("maybe"));
    process();

    // What the bulk change reads to report a reset: type 4 and a value that differs.
    EXPECT_EQ(option(QStringLiteral("Control Type"), QStringLiteral("Type")), MakeInt16(4));
    EXPECT_EQ(value(QStringLiteral("Control Type")), QStringLiteral("Cordless"));
    EXPECT_EQ(value(QStringLiteral("Color")), QStringLiteral("Please Select"));
    // A choice in other letters is that choice.
    EXPECT_EQ(value(QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(value(QStringLiteral("Hold Down Brackets")), QStringLiteral("No"));
    EXPECT_FALSE(visible(QStringLiteral("Control Side")));

    // A rule's restriction: blackout vinyl is not made in ivory.
    set(QStringLiteral("Fabric"), QStringLiteral("Blackout Vinyl"));
    set(QStringLiteral("Color"), QStringLiteral("Ivory"));
    process();
    EXPECT_EQ(value(QStringLiteral("Color")), QStringLiteral("Please Select"));
    set(QStringLiteral("Color"), QStringLiteral("Charcoal"));
    process();
    EXPECT_EQ(value(QStringLiteral("Color")), QStringLiteral("Charcoal"));
}

TEST_F(ProductEngineTest, computedResultsAndHeadingsTakeNoValueFromOutside)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    set(QStringLiteral("Width"), QStringLiteral("40"));
    set(QStringLiteral("Height"), QStringLiteral("70"));
    set(QStringLiteral("Chain Length"), QStringLiteral("999"));
    set(QStringLiteral("Motorization"), QStringLiteral("x"));
    process();
    // Two thirds of 70 is 46.7, up to whole feet: 48.
    EXPECT_EQ(value(QStringLiteral("Chain Length")), QStringLiteral("48"));
    EXPECT_TRUE(visible(QStringLiteral("Chain Length")));
    EXPECT_EQ(value(QStringLiteral("Motorization")), QString());
    EXPECT_EQ(option(QStringLiteral("Chain Length"), QStringLiteral("Type")), MakeInt16(6));
    EXPECT_EQ(option(QStringLiteral("Motorization"), QStringLiteral("Type")), MakeInt16(7));

    // A chain shade processed again as a motor shade loses its computed chain length.
    set(QStringLiteral("Control Type"), QStringLiteral("Motor"));
    process();
    EXPECT_EQ(value(QStringLiteral("Chain Length")), QString());
}

TEST_F(ProductEngineTest, rulesRaiseErrorsAndNoticesInTheirOrder)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    set(QStringLiteral("Width"), QStringLiteral("90"));
    set(QStringLiteral("Height"), QStringLiteral("60"));
    set(QStringLiteral("Fabric"), QStringLiteral("Solar Screen 5%"));
    set(QStringLiteral("Bottom Rail"), QStringLiteral("Weighted Oval"));
    process();
    EXPECT_EQ(errors(), QStringList{QStringLiteral("The weighted oval bottom rail is not "
                                                   "available with Solar Screen 5% fabric.")});
    EXPECT_EQ(notices(),
              (QStringList{QStringLiteral("Solar screen fabric shows the roller tube; a fascia "
                                          "or cassette valance is recommended."),
                           QStringLiteral("Shades wider than 84 inches are heavy to raise by "
                                          "chain; a motor is recommended.")}));
    // An error of the rules does not withhold the price.
    EXPECT_GT(amount(u"PriceBeforeDiscount"), 0);

    // Messages describe the last processing only.
    set(QStringLiteral("Bottom Rail"), QStringLiteral("Standard"));
    set(QStringLiteral("Valance"), QStringLiteral("Fascia"));
    set(QStringLiteral("Width"), QStringLiteral("60"));
    process();
    EXPECT_EQ(errors(), QStringList());
    EXPECT_EQ(notices(), QStringList());
}

TEST_F(ProductEngineTest, sizesBetweenGridPointsTakeTheNextLargerOneAndOutsideHaveNoPrice)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Cordless")));
    set(QStringLiteral("Width"), QStringLiteral("36 1/8"));
    set(QStringLiteral("Height"), QStringLiteral("48"));
    process();
    // Cordless grid: 48 x 48 is 141.00 (36 1/8 is past the 36 column).
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(141.00));
    set(QStringLiteral("Width"), QStringLiteral("36"));
    process();
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(125.00));

    set(QStringLiteral("Width"), QStringLiteral("80"));
    process();
    EXPECT_EQ(errors(),
              (QStringList{QStringLiteral("Width must be between 12 and 72 inches for the "
                                          "Cordless style."),
                           QStringLiteral("No price is available for 80 x 48 in the Cordless "
                                          "style.")}));
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), 0);
    EXPECT_EQ(amount(u"CostBeforeDiscount"), 0);
    EXPECT_EQ(ToInt32(Call(engine, u"PriceLineAnalyticCount").value), 0);

    // Without sizes there is nothing to price, and the limits say so.
    set(QStringLiteral("Width"), QString());
    process();
    EXPECT_EQ(errors().value(0),
              QStringLiteral("Width must be between 12 and 72 inches for the Cordless style."));
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), 0);
}

TEST_F(ProductEngineTest, dimensionsFollowRoundDownAndTheDisplayFormat)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    set(QStringLiteral("Width"), QStringLiteral("36.44"));
    set(QStringLiteral("Height"), QStringLiteral("48-1/2"));
    process();
    EXPECT_EQ(value(QStringLiteral("Width")), QStringLiteral("36.44"));
    EXPECT_EQ(shown(QStringLiteral("Width")), QStringLiteral("36 1/2"));
    EXPECT_EQ(shown(QStringLiteral("Height")), QStringLiteral("48 1/2"));

    ASSERT_TRUE(Put(engine, u"RoundDown", MakeInt32(1)).ok());
    ASSERT_TRUE(Put(engine, u"DimensionDisplayFormat", QStringLiteral("Decimal")).ok());
    process();
    EXPECT_EQ(shown(QStringLiteral("Width")), QStringLiteral("36.375"));
    EXPECT_EQ(option(QStringLiteral("Width"), QStringLiteral("DisplayFormat")),
              Variant(QStringLiteral("Decimal")));
    ASSERT_TRUE(Put(engine, u"DimensionDisplayFormat", QStringLiteral("Fraction")).ok());
    EXPECT_EQ(shown(QStringLiteral("Width")), QStringLiteral("36 3/8"));

    // The formatted value is what the item keeps and replays later.
    const QString kept = shown(QStringLiteral("Width"));
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    // Opening again restores the file's own settings: nearest eighth, fractions.
    EXPECT_EQ(ToInt32(Get(engine, u"RoundDown").value), 0);
    set(QStringLiteral("Width"), kept);
    process();
    EXPECT_EQ(shown(QStringLiteral("Width")), QStringLiteral("36 3/8"));

    set(QStringLiteral("Width"), QStringLiteral("wide"));
    process();
    EXPECT_EQ(errors().value(0), QStringLiteral("\"wide\" is not a measurement for Width."));
    EXPECT_EQ(value(QStringLiteral("Width")), QString());
}

TEST_F(ProductEngineTest, badCallsAreAnsweredWithoutHarm)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    const qint32 count = ToInt32(Call(engine, u"GetOptionCount").value).value_or(0);
    set(QStringLiteral("No Such Option"), QStringLiteral("1"));
    EXPECT_EQ(ToInt32(Call(engine, u"GetOptionCount").value), count);

    EXPECT_EQ(Call(engine, u"GetOptionDataEx", {MakeInt32(count), QStringLiteral("Name")})
                  .status.number(),
              Error::SubscriptOutOfRange);
    EXPECT_EQ(
        Call(engine, u"GetOptionDataEx", {MakeInt32(-1), QStringLiteral("Name")}).status.number(),
        Error::SubscriptOutOfRange);
    EXPECT_FALSE(
        Call(engine, u"GetOptionData", {QStringLiteral("Width"), QStringLiteral("Colour")}).ok());
    EXPECT_FALSE(
        Call(engine, u"GetOptionData", {QStringLiteral("Nope"), QStringLiteral("Type")}).ok());
    EXPECT_EQ(Call(engine, u"Error", {MakeInt32(0)}).status.number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(Call(engine, u"PriceLineAnalyticName", {MakeInt32(5)}).status.number(),
              Error::SubscriptOutOfRange);
}

// Members and option fields are found by name in any letter case, as late-bound names are.
TEST_F(ProductEngineTest, membersAndFieldsAreFoundIgnoringCase)
{
    ASSERT_TRUE(open(QStringLiteral("roller-shade.xml"), QStringLiteral("Standard")));
    const qint32 count = ToInt32(Call(engine, u"GetOptionCount").value).value_or(-1);
    EXPECT_GT(count, 0);
    EXPECT_EQ(ToInt32(Call(engine, u"getoptioncount").value), count);
    EXPECT_EQ(ToInt32(Call(engine, u"GETOPTIONCOUNT").value), count);
    EXPECT_FALSE(Call(engine, u"GetOptionCounts").ok());
    EXPECT_FALSE(Call(engine, u"GetOptionCoun").ok());
    EXPECT_EQ(option(QStringLiteral("Width"), QStringLiteral("isDIMENSION")), MakeInt32(1));
    EXPECT_EQ(option(QStringLiteral("Width"), QStringLiteral("Formattedvalue")),
              option(QStringLiteral("Width"), QStringLiteral("FormattedValue")));

    // Unicode folding meets ASCII: the answers are QString's case-insensitive comparison.
    for (const auto &[a, b] :
         {std::pair<QString, QString>{QStringLiteral("\u212Aey"), QStringLiteral("KEY")},
          {QStringLiteral("\u017Fize"), QStringLiteral("SIZE")},
          {QStringLiteral("\u00C9t\u00E9"), QStringLiteral("\u00E9T\u00C9")},
          {QStringLiteral("Name"), QStringLiteral("Nam\u00E9")},
          {QStringLiteral("Name"), QStringLiteral("Names")}}) {
        SCOPED_TRACE(a.toStdString() + " / " + b.toStdString());
        EXPECT_EQ(host::SameNameIgnoringCase(a, b), a.compare(b, Qt::CaseInsensitive) == 0);
    }
}

TEST_F(ProductEngineTest, anUnknownStyleIsAnErrorThatProcessingKeeps)
{
    ASSERT_TRUE(use(QDir(ProductFolder).filePath(QStringLiteral("roller-shade.xml"))));
    EXPECT_EQ(ToBool(Call(engine, u"InitForProcessing", {QStringLiteral("Deluxe")}).value), false);
    const QStringList expected{
        QStringLiteral("The style \"Deluxe\" is not offered for Roller Shade.")};
    EXPECT_EQ(errors(), expected);
    set(QStringLiteral("Width"), QStringLiteral("36"));
    set(QStringLiteral("Height"), QStringLiteral("48"));
    process();
    EXPECT_EQ(errors(), expected);
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), 0);

    // Style names are matched without regard to case.
    EXPECT_EQ(ToBool(Call(engine, u"InitForProcessing", {QStringLiteral("cordless")}).value), true);
    process();
    EXPECT_EQ(errors(), QStringList());
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(125.00));
}

class ProductFileTest : public ProductEngineTest
{
protected:
    // A minimal valid product with one change spliced in.
    static QByteArray product(const QByteArray &extraOption = {}, const QByteArray &rules = {},
                              const QByteArray &row = "10.00 20.00")
    {
        return "<?xml version=\"1.0\"?>\n"
               "<Product name=\"Test\" formatVersion=\"1\">\n"
               " <Styles><Style name=\"Basic\"/></Styles>\n"
               " <Options>\n"
               "  <Option name=\"Width\" type=\"1\" sequence=\"1\"/>\n"
               "  <Option name=\"Height\" type=\"1\" sequence=\"2\"/>\n"
               "  <Option name=\"Color\" type=\"4\" sequence=\"3\" default=\"Red\">"
               "<Choice>Red</Choice><Choice>Blue</Choice></Option>\n" +
               extraOption +
               " </Options>\n"
               " <Rules>" +
               rules +
               "</Rules>\n"
               " <Pricing costFactor=\"0.5\">\n"
               "  <PriceGrid style=\"Basic\" widths=\"24 48\"><Row height=\"48\">" +
               row +
               "</Row></PriceGrid>\n"
               " </Pricing>\n"
               "</Product>\n";
    }

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(ProductFileTest, unusableFilesAreRefusedWithTheirReason)
{
    ASSERT_TRUE(use(write(QStringLiteral("good.xml"), product())));

    const struct
    {
        const char *name;
        QByteArray content;
        const char *reason;
    } cases[] = {
        {"truncated.xml", product().left(120), "truncated.xml:"},
        {"not-xml.xml", "this is no product", "not-xml.xml:1:"},
        {"foreign.xml", "<?xml version=\"1.0\"?><Catalog/>", "Catalog"},
        {"badtype.xml", product("<Option name=\"X\" type=\"9\" sequence=\"4\"/>"), "type"},
        {"badchoice.xml",
         product("<Option name=\"Tilt\" type=\"4\" sequence=\"4\" default=\"Cord\">"
                 "<Choice>Wand</Choice></Option>"),
         "default \"Cord\" does not suit option \"Tilt\""},
        {"twice.xml", product("<Option name=\"width\" type=\"2\" sequence=\"4\"/>"),
         "option \"width\" is defined twice"},
        {"unknownoption.xml",
         product({}, "<Rule><When option=\"Colour\" equals=\"Red\"/><Hide option=\"Width\"/>"
                     "</Rule>"),
         "unknown option \"Colour\""},
        {"misspeltchoice.xml",
         product({}, "<Rule><When option=\"Color\" equals=\"Bleu\"/><Hide option=\"Width\"/>"
                     "</Rule>"),
         "\"Bleu\" is not a value of option \"Color\""},
        {"shortrow.xml", product({}, {}, "10.00"), "a grid row has 1 amounts for 2 widths"},
        {"entity.xml",
         "<?xml version=\"1.0\"?><!DOCTYPE Product [<!ENTITY x \"Test\">]>"
         "<Product name=\"&x;\" formatVersion=\"1\"/>",
         "document type declaration"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(QString::fromLatin1(c.name), c.content);
        EXPECT_FALSE(use(path));
        EXPECT_TRUE(lastError().contains(QString::fromLatin1(c.name))) << lastError().toStdString();
        EXPECT_TRUE(lastError().contains(QString::fromLatin1(c.reason)))
            << lastError().toStdString();
        // The product open before is closed, so nothing is replayed into it by mistake.
        EXPECT_EQ(ToInt32(Call(engine, u"GetOptionCount").value), 0);
    }

    EXPECT_FALSE(use(dir.filePath(QStringLiteral("missing.xml"))));
    EXPECT_TRUE(lastError().contains(QStringLiteral("missing.xml"))) << lastError().toStdString();
    EXPECT_FALSE(use(dir.path()));
    EXPECT_FALSE(use(QString()));
    // Calls on an engine without a product answer empty.
    set(QStringLiteral("Width"), QStringLiteral("10"));
    process();
    EXPECT_EQ(ToInt32(Call(engine, u"ErrorCount").value), 0);
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), 0);
}

// Opening a named pipe waits for a writer and a device may never end: only regular files
// are read, directly or through a link.
TEST_F(ProductFileTest, aPipeOrADeviceIsRefusedWithoutBeingRead)
{
    const QString fifo = dir.filePath(QStringLiteral("pipe.xml"));
    ASSERT_TRUE(zeltpc5::testing::MakeFifo(fifo));
    const QString linkToFifo = dir.filePath(QStringLiteral("link-to-pipe.xml"));
    ASSERT_TRUE(QFile::link(fifo, linkToFifo));
    for (const QString &path : {fifo, linkToFifo}) {
        SCOPED_TRACE(path.toStdString());
        bool blocked = false;
        const zeltpc5::host::ProductFileResult result = zeltpc5::testing::RunBesideFifo(
            fifo, [&] { return zeltpc5::host::LoadProductFile(path); }, &blocked);
        EXPECT_FALSE(blocked);
        EXPECT_FALSE(result.product);
        EXPECT_TRUE(result.error.startsWith(path + QStringLiteral(": ")))
            << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(u"named pipe")) << result.error.toStdString();
    }

    const QString linkToZero = dir.filePath(QStringLiteral("link-to-zero.xml"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), linkToZero));
    for (const QString &path :
         {QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), linkToZero}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(use(path));
        EXPECT_TRUE(lastError().contains(path)) << lastError().toStdString();
        EXPECT_TRUE(lastError().contains(u"device")) << lastError().toStdString();
    }

    const QString linkToGood = dir.filePath(QStringLiteral("link-to-good.xml"));
    ASSERT_TRUE(QFile::link(write(QStringLiteral("good.xml"), product()), linkToGood));
    EXPECT_TRUE(use(linkToGood)) << lastError().toStdString();
}

TEST_F(ProductFileTest, aFileIsParsedOncePerSessionAndRelativeReferencesUseTheProductFolder)
{
    const QString path = write(QStringLiteral("basic.xml"), product());
    qputenv("ZELTPC5_PRODUCT_DIR", dir.path().toUtf8());
    engine = newEngine();
    qunsetenv("ZELTPC5_PRODUCT_DIR");

    ASSERT_TRUE(use(QStringLiteral("basic.xml")));
    // Changed on disk, the file keeps its first reading in this session, under either
    // reference.
    write(QStringLiteral("basic.xml"), "broken");
    EXPECT_TRUE(use(QStringLiteral("basic.xml")));
    EXPECT_TRUE(use(path));
    EXPECT_EQ(ToInt32(Call(engine, u"GetOptionCount").value), 3);
    // A new session reads the file as it is now.
    engine = newEngine();
    EXPECT_FALSE(use(path));
}

// Every engine of the process shares one parse of a file whose bytes have not changed; a
// file changed on disk is parsed again, even when its size and modification time say not.
TEST_F(ProductFileTest, aFileIsParsedAgainForANewSessionOnlyWhenItsBytesChanged)
{
    const auto parsed = [](const DispatchPtr &e) {
        auto *engine = dynamic_cast<host::ProductEngine *>(e.get());
        return engine ? engine->session().product() : nullptr;
    };
    const auto price = [&] {
        Call(engine, u"InitForProcessing", {QStringLiteral("Basic")});
        set(QStringLiteral("Width"), QStringLiteral("30"));
        set(QStringLiteral("Height"), QStringLiteral("40"));
        process();
        return amount(u"PriceBeforeDiscount");
    };
    const QString path = write(QStringLiteral("shared.xml"), product());
    ASSERT_TRUE(use(path));
    const host::ProductDefinition *first = parsed(engine);
    ASSERT_NE(first, nullptr);
    const DispatchPtr firstEngine = engine; // keeps the first parse alive: no address reused
    EXPECT_EQ(price(), usd(20.00));

    engine = newEngine();
    ASSERT_TRUE(use(path));
    EXPECT_EQ(parsed(engine), first);

    const QDateTime modified = QFileInfo(path).lastModified();
    write(QStringLiteral("shared.xml"), product({}, {}, "10.00 70.00"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    ASSERT_EQ(QFileInfo(path).size(), qint64(product().size()));
    ASSERT_EQ(QFileInfo(path).lastModified(), modified);
    engine = newEngine();
    ASSERT_TRUE(use(path));
    EXPECT_NE(parsed(engine), first);
    EXPECT_EQ(price(), usd(70.00));

    // A file that cannot be used is not kept: mended, it is used.
    write(QStringLiteral("shared.xml"), "broken");
    engine = newEngine();
    EXPECT_FALSE(use(path));
    write(QStringLiteral("shared.xml"), product());
    engine = newEngine();
    ASSERT_TRUE(use(path));
    EXPECT_EQ(price(), usd(20.00));
}

TEST_F(ProductFileTest, numbersAreReadAndShownInTheUsersFormat)
{
    const QByteArray extra = "<Option name=\"Brackets\" type=\"3\" sequence=\"4\" default=\"2\"/>"
                             "<Option name=\"Rail Weight\" type=\"6\" sequence=\"5\"/>";
    const QByteArray rules = "<Rule><Compute option=\"Rail Weight\" from=\"Brackets\" "
                             "multiply=\"0.25\" add=\"1\" step=\"0.5\"/></Rule>";
    ASSERT_TRUE(use(write(QStringLiteral("numbers.xml"), product(extra, rules))));
    Call(engine, u"InitForProcessing", {QStringLiteral("Basic")});
    set(QStringLiteral("Width"), QStringLiteral("30"));
    set(QStringLiteral("Height"), QStringLiteral("40"));
    set(QStringLiteral("Brackets"), QStringLiteral("2.5"));
    process();
    EXPECT_EQ(value(QStringLiteral("Brackets")), QStringLiteral("2.5"));
    // 2.5 x 0.25 + 1 = 1.625, to the nearest half.
    EXPECT_EQ(value(QStringLiteral("Rail Weight")), QStringLiteral("1.5"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Put(engine, u"DimensionDisplayFormat", QStringLiteral("Decimal"));
    set(QStringLiteral("Width"), QStringLiteral("30,25"));
    set(QStringLiteral("Brackets"), QStringLiteral("3,5"));
    process();
    const QString width = shown(QStringLiteral("Width"));
    const QString brackets = shown(QStringLiteral("Brackets"));
    const QStringList errorsInGerman = errors();
    set(QStringLiteral("Brackets"), QStringLiteral("viele"));
    process();
    const QString unreadable = errors().value(0);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    EXPECT_EQ(width, QStringLiteral("30,25"));
    EXPECT_EQ(brackets, QStringLiteral("3,5"));
    EXPECT_EQ(errorsInGerman, QStringList());
    EXPECT_EQ(unreadable, QStringLiteral("\"viele\" is not a number for Brackets."));
}

TEST_F(ProductFileTest, processingStartsFromTheFileDefaultsOnEachOpen)
{
    ASSERT_TRUE(use(write(QStringLiteral("basic.xml"), product())));
    Call(engine, u"InitForProcessing", {QStringLiteral("Basic")});
    set(QStringLiteral("Color"), QStringLiteral("Blue"));
    set(QStringLiteral("Width"), QStringLiteral("30"));
    set(QStringLiteral("Height"), QStringLiteral("40"));
    process();
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), usd(20.00));
    EXPECT_EQ(priceLines(),
              (std::vector<Line>{{QStringLiteral("Base price"), QStringLiteral("BASE"), usd(20)}}));

    // The next line of the run opens the same file and must not see this line's values.
    ASSERT_TRUE(use(write(QStringLiteral("basic.xml"), product())));
    EXPECT_EQ(value(QStringLiteral("Color")), QStringLiteral("Red"));
    EXPECT_EQ(value(QStringLiteral("Width")), QString());
    EXPECT_EQ(amount(u"PriceBeforeDiscount"), 0);
}

} // namespace
