// Whole bulk change runs of the ReplaceEngine over the demo quote Q-1001, against the
// reference host: its database, the product engine over the demo product files and the
// formula engine. Prices were worked out by hand from the demo rows (see pricing_test.cpp for
// the full working of lines 3 and 4); only the steps that differ are noted here.
#include "referencehost.h"

#include "engine/engines.h"
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

#include "host/helpers/registration.h"
#include "host/productengine/productengine.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

#include <functional>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

// The reference product engine with a hook run before every call of one member: stands in
// for a host that lets a Cancel click through while the product engine works.
class HookedProductEngine : public Dispatch
{
public:
    HookedProductEngine(DispatchPtr inner, QStringView member, std::function<void()> hook)
        : m_inner(std::move(inner)), m_member(m_inner->GetIDOfName(member)), m_hook(std::move(hook))
    {}
    std::optional<DispId> GetIDOfName(QStringView name) const override
    {
        return m_inner->GetIDOfName(name);
    }
    Status Invoke(DispId id, InvokeKind kind, VariantList &args, Variant &result) override
    {
        if (m_member && id == *m_member)
            m_hook();
        return m_inner->Invoke(id, kind, args, result);
    }
    QString TypeName() const override { return m_inner->TypeName(); }

private:
    DispatchPtr m_inner;
    std::optional<DispId> m_member;
    std::function<void()> m_hook;
};

const QString CassetteNotice =
    QStringLiteral("<TextBlock Foreground='Blue'>Notice: An inside mounted cassette valance needs "
                   "a window depth of at least 3 1/2 inches.</TextBlock>");

QString OptionChanged(const QString &name, const QString &from, const QString &to)
{
    return QStringLiteral("<TextBlock>The value for option <Underline>%1</Underline> changed from "
                          "<Bold>%2</Bold> to <Bold>%3</Bold></TextBlock>")
        .arg(name, from, to);
}

QString PriceChanged(const QString &from, const QString &to)
{
    return QStringLiteral("<TextBlock>The <Underline>price</Underline> changed from "
                          "<Bold>%1</Bold> to <Bold>%2</Bold></TextBlock>")
        .arg(from, to);
}

QString OptionGone(const QString &name)
{
    return QStringLiteral("<TextBlock>The option <Underline>%1</Underline> no longer "
                          "exists.</TextBlock>")
        .arg(name);
}

class BulkChange : public OnEachDatabase
{
protected:
    void SetUp() override
    {
        OnEachDatabase::SetUp();
        if (IsSkipped())
            return;
        // Keeps the demo's fuel surcharge (2024 to 2030) in force on any day the tests run.
        reference.database().execute(
            QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
            {ReferenceHost::DateFromToday(400)});
        lines = reference.quoteLines(QStringLiteral("Q-1001"));
        ASSERT_EQ(lines.size(), 12u);
    }

    // A replace engine of a library initialised with the host, holding the quote's lines.
    DispatchPtr NewEngine()
    {
        const Ref<Library> library = Library::create();
        library->Initialize(reference.sharedCodeLibrary());
        const DispatchPtr engine(library->CreateReplaceEngine());
        AddLines(engine, lines);
        return engine;
    }

    QString uid(int line) const { return lines.at(size_t(line - 1)).uniqueID; }

    static bool Run(const DispatchPtr &engine, QStringView operation, VariantList args)
    {
        const CallResult r = Call(engine, operation, std::move(args));
        EXPECT_TRUE(r.ok()) << r.status.toString().toStdString();
        return ToBool(r.value).value_or(false);
    }
    static QString Data(const DispatchPtr &engine, int line, const char *field)
    {
        return ToText(Call(engine, u"GetLineData",
                           {MakeInt16(qint16(line - 1)), QString::fromLatin1(field)})
                          .value)
            .value_or(QStringLiteral("<not text>"));
    }
    static QStringList Changes(const DispatchPtr &engine, int line)
    {
        QStringList texts;
        const qint16 count =
            ToInt16(Call(engine, u"CountChanges", {MakeInt16(qint16(line - 1))}).value).value_or(0);
        for (qint16 j = 0; j < count; ++j)
            texts << ToText(Call(engine, u"GetChange", {MakeInt16(qint16(line - 1)), MakeInt16(j)})
                                .value)
                         .value_or(QString());
        // The list keeps an empty last element for the next text.
        if (!texts.isEmpty() && texts.last().isEmpty())
            texts.removeLast();
        return texts;
    }
    static QString NewOption(const DispatchPtr &engine, int line, const QString &name)
    {
        return GetItemOptionValue(name, Data(engine, line, "newitemxml"));
    }
    static QString NewPriceCost(const DispatchPtr &engine, int line, const QString &name)
    {
        return GetPriceCostValue(name, Data(engine, line, "newpricecostxml"));
    }
    // A line the run did not touch still holds what the host handed in.
    static void ExpectUntouched(const DispatchPtr &engine, int line)
    {
        EXPECT_EQ(Data(engine, line, "newitemxml"), Data(engine, line, "originalitemxml"))
            << "line " << line;
        EXPECT_EQ(Data(engine, line, "newpricecostxml"), Data(engine, line, "originalpricecostxml"))
            << "line " << line;
        EXPECT_EQ(Changes(engine, line), QStringList()) << "line " << line;
    }

    ReferenceHost reference{GetParam()};
    std::vector<host::QuoteLine> lines;
};

} // namespace

// Line 1 (Roller Shade, Standard, Linen Blend, White, Cassette) gets Blackout Vinyl in Ivory:
// the product's rule allows blackout vinyl only in Please Select, White, Grey and Charcoal and
// puts the colour back to Please Select.
// Price: grid 122.00 (36 1/2 takes the 48 column, row 60), Blackout 12 % = 14.64, Cassette
// 1.10 x 36.5 = 40.15 -> 176.79. The White option row no longer matches: product discount 0.1
// -> 17.68; 159.11, up to 5 -> 160.00; the Cassette customer row 8 % -> 12.80 -> 147.20.
TEST_P(BulkChange, anOptionChangeThatARuleResetsIsReportedInRed)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(
        Run(engine, u"ChangeOptionValue",
            {QStringLiteral("Fabric|Color"), QStringLiteral("Blackout Vinyl|Ivory"), uid(1)}));

    EXPECT_EQ(Changes(engine, 1),
              QStringList({QStringLiteral("<TextBlock Foreground='Red'>The value for option "
                                          "<Underline>Color</Underline> could not be changed to "
                                          "Ivory. <Bold>It was reset to it's default "
                                          "value.</Bold></TextBlock>"),
                           OptionChanged("Fabric", "Linen Blend", "Blackout Vinyl"),
                           OptionChanged("Color", "White", "Please Select"),
                           PriceChanged("$144.48", "$147.20"), CassetteNotice}));
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Fabric")), QStringLiteral("Blackout Vinyl"));
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Color")), QStringLiteral("Please Select"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("UnitPrice")), QStringLiteral("147.2"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("PriceDiscount")), QStringLiteral("0.1"));
    EXPECT_EQ(Data(engine, 1, "optionchangecount"), QStringLiteral("2"));
    EXPECT_EQ(Data(engine, 1, "optionremovecount"), QStringLiteral("0"));
    EXPECT_EQ(Data(engine, 1, "newproductid"), QStringLiteral("1"));
    EXPECT_EQ(Data(engine, 1, "newstyle"), QStringLiteral("Standard"));
    // The descriptions are rebuilt from the new values.
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Fabric"), Data(engine, 1, "newitemxml")),
              QStringLiteral("Blackout Vinyl"));
    const QString description = [&] {
        const auto item = LoadItemXML(Data(engine, 1, "newitemxml"));
        return GetXMLValue(QStringLiteral("Description"), item->documentElement());
    }();
    EXPECT_EQ(description, QStringLiteral("W 36 1/2 | H 60 | Inside | Blackout Vinyl | Please "
                                          "Select | Chain | Valance: Cassette"));
    for (int line = 2; line <= 12; ++line)
        ExpectUntouched(engine, line);
}

// Line 4 (Wood Blind, 2 Inch Slat, 30 x 42) becomes a Standard roller shade. The blind's
// Tape, Route Holes, Lift System, Tilt and Slat Count do not exist on a roller shade; its
// colour and valance are not roller shade choices and fall back to the defaults.
// Price: Standard grid 96.00 (36 column, 48 row), no surcharge; product discount 0.1 -> 9.60;
// 86.40 up to 5 -> 90.00; customer 5 % -> 4.50 -> 85.50.
TEST_P(BulkChange, aProductChangeReportsTheOptionsThatNoLongerExist)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeProductStyle",
                    {MakeInt32(1), MakeInt32(1), QStringLiteral("Standard"), uid(4)}));

    EXPECT_EQ(Changes(engine, 4),
              QStringList({QStringLiteral("<TextBlock>The <Underline>product</Underline> changed "
                                          "from <Bold>Wood Blind</Bold> to <Bold>Roller "
                                          "Shade</Bold></TextBlock>"),
                           QStringLiteral("<TextBlock>The <Underline>style</Underline> changed "
                                          "from <Bold>2 Inch Slat</Bold> to "
                                          "<Bold>Standard</Bold></TextBlock>"),
                           OptionChanged("Color", "Natural Oak", "Please Select"),
                           OptionChanged("Valance", "Standard 3 Inch", "None"), OptionGone("Tape"),
                           OptionGone("Route Holes"), OptionGone("Lift System"), OptionGone("Tilt"),
                           OptionGone("Slat Count"), PriceChanged("$96.25", "$85.50")}));
    EXPECT_EQ(Data(engine, 4, "newproductid"), QStringLiteral("1"));
    EXPECT_EQ(Data(engine, 4, "newstyle"), QStringLiteral("Standard"));
    EXPECT_EQ(Data(engine, 4, "optionchangecount"), QStringLiteral("2"));
    EXPECT_EQ(Data(engine, 4, "optionremovecount"), QStringLiteral("5"));
    EXPECT_EQ(NewPriceCost(engine, 4, QStringLiteral("ProductID")), QStringLiteral("1"));
    EXPECT_EQ(NewPriceCost(engine, 4, QStringLiteral("VendorID")), QStringLiteral("1"));
    EXPECT_EQ(NewPriceCost(engine, 4, QStringLiteral("Style")), QStringLiteral("Standard"));
    EXPECT_EQ(NewPriceCost(engine, 4, QStringLiteral("UnitPrice")), QStringLiteral("85.5"));
    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Room Location")), QStringLiteral("Kitchen"));
    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Tape")), QString());
    // Roller shade options the blind did not have come with the company's and the product's
    // defaults.
    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Control Side")), QStringLiteral("Right"));
    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Control Type")), QStringLiteral("Chain"));
    ExpectUntouched(engine, 3);
    ExpectUntouched(engine, 5);
}

// A product whose file is missing: the line keeps its product, options and price, and the
// user is told.
TEST_P(BulkChange, aProductWhoseFileCannotBeOpenedLeavesTheLineAsItWas)
{
    reference.database().execute(
        QStringLiteral("INSERT INTO Products (ID, ProductName, ProductFile, VendorID) "
                       "VALUES (5, 'Ghost Shade', 'ghost-shade.xml', 1)"));
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeProductStyle",
                    {MakeInt32(1), MakeInt32(5), QStringLiteral("Standard"), uid(1)}));

    EXPECT_EQ(Changes(engine, 1),
              QStringList({QStringLiteral("<TextBlock Foreground='Red'>Error: The product file "
                                          "for Ghost Shade could not be opened.</TextBlock>")}));
    EXPECT_EQ(Data(engine, 1, "newproductid"), QStringLiteral("1"));
    EXPECT_EQ(Data(engine, 1, "newstyle"), QStringLiteral("Standard"));
    EXPECT_EQ(Data(engine, 1, "newitemxml"), Data(engine, 1, "originalitemxml"));
    EXPECT_EQ(Data(engine, 1, "newpricecostxml"), Data(engine, 1, "originalpricecostxml"));
}

// Line 1 gets a customer discount of 0.1, kept as that fraction and overriding the group's
// 8 %: 162.15 less 15 % (24.32) = 137.83, up to 140.00, less 14.00 -> 126.00.
TEST_P(BulkChange, aCustomerDiscountIsAFractionThatOverridesTheGroup)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeDiscount", {MakeInt16(2), QStringLiteral("0.1"), uid(1)}));

    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("CustomerDiscount")), QStringLiteral("0.1"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("CustomerDiscountOverride")),
              QStringLiteral("1"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("CustomerDiscountPrice")),
              QStringLiteral("14"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("UnitPrice")), QStringLiteral("126"));
    EXPECT_EQ(Changes(engine, 1),
              QStringList({PriceChanged("$144.48", "$126.00"), CassetteNotice}));
    // A discount change leaves the item as it was.
    EXPECT_EQ(Data(engine, 1, "newitemxml"), Data(engine, 1, "originalitemxml"));
    EXPECT_EQ(Data(engine, 1, "optionchangecount"), QStringLiteral("0"));

    // An empty value gives the line back to its customer group (8 % for the cassette).
    const DispatchPtr again = NewEngine();
    EXPECT_TRUE(Run(again, u"ChangeDiscount", {MakeInt16(2), QString(), uid(1)}));
    EXPECT_EQ(NewPriceCost(again, 1, QStringLiteral("CustomerDiscountOverride")),
              QStringLiteral("0"));
    EXPECT_EQ(NewPriceCost(again, 1, QStringLiteral("CustomerDiscount")), QStringLiteral("0.08"));
    EXPECT_EQ(NewPriceCost(again, 1, QStringLiteral("UnitPrice")), QStringLiteral("128.8"));
}

// Line 2 (Cordless, 48 x 60, Fascia) had an item discount of $5; it becomes 10 %.
// Price: Cordless grid 156.00, Fascia 0.75 x 48 = 36.00 -> 192.00; the Cordless style row 12 %
// beats the product's 10 % -> 23.04; 168.96; Cordless Upgrade (criteria on the style) 5 % of
// 192.00 = 9.60 -> 178.56, up to 180.00; customer 5 % -> 171.00; 10 % -> 17.10 -> 153.90.
TEST_P(BulkChange, anItemDiscountInPercentIsTakenFromTheDiscountedPrice)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeDiscount", {MakeInt16(3), QStringLiteral("10%"), uid(2)}));

    EXPECT_EQ(NewPriceCost(engine, 2, QStringLiteral("ItemDiscount")), QStringLiteral("10.0%"));
    EXPECT_EQ(NewPriceCost(engine, 2, QStringLiteral("PriceAdjustments")), QStringLiteral("9.6"));
    EXPECT_EQ(NewPriceCost(engine, 2, QStringLiteral("ItemDiscountAmount")),
              QStringLiteral("17.1"));
    EXPECT_EQ(NewPriceCost(engine, 2, QStringLiteral("UnitPrice")), QStringLiteral("153.9"));
    EXPECT_EQ(Changes(engine, 2), QStringList({PriceChanged("$225.00", "$153.90")}));
    ExpectUntouched(engine, 1);
}

// The host lets a Cancel click through while the product engine opens the second line's
// product: that line is finished, the rest of the run is not, and the run says so.
TEST_P(BulkChange, aCancelInTheMiddleStopsAfterTheLineInHand)
{
    Ref<ReplaceEngine> replace;
    int opened = 0;
    ClassRegistry::instance().registerClass(
        QStringLiteral("optrix5.Engine"), QUuid(), [&replace, &opened] {
            return DispatchPtr(new HookedProductEngine(
                host::ProductEngine::create(), u"UseProductFile", [&replace, &opened] {
                    if (++opened == 2) {
                        EXPECT_TRUE(
                            Put(DispatchPtr(replace), u"CancelRequested", MakeBool(true)).ok());
                    }
                }));
        });
    const Ref<Library> library = Library::create();
    library->Initialize(reference.sharedCodeLibrary());
    replace = library->CreateReplaceEngine();
    const DispatchPtr engine(replace);
    AddLines(engine, lines);

    const QString ids = QStringList({uid(1), uid(2), uid(3), uid(4), uid(5)}).join('|');
    EXPECT_FALSE(Run(engine, u"ChangeOptionValue",
                     {QStringLiteral("Mount"), QStringLiteral("Outside"), ids}));
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(NewOption(engine, 2, QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(Changes(engine, 2).first(), OptionChanged("Mount", "Inside", "Outside"));
    for (int line = 3; line <= 5; ++line)
        ExpectUntouched(engine, line);
    EXPECT_EQ(ToBool(Get(engine, u"CancelRequested").value), true);

    // The flag stays until the host clears it: a second run does nothing.
    EXPECT_FALSE(Run(engine, u"ChangeOptionValue",
                     {QStringLiteral("Mount"), QStringLiteral("Outside"), uid(3)}));
    ExpectUntouched(engine, 3);
    EXPECT_TRUE(Put(engine, u"CancelRequested", MakeBool(false)).ok());
    EXPECT_TRUE(Run(engine, u"ChangeOptionValue",
                    {QStringLiteral("Mount"), QStringLiteral("Outside"), uid(3)}));
    EXPECT_EQ(NewOption(engine, 3, QStringLiteral("Mount")), QStringLiteral("Outside"));
    Call(engine, u"PreTerminate");
    replace.reset();
    host::RegisterReferenceEngines();
}

// Identifiers: the same line named twice (in another letter case too) is processed twice, each
// time from what the host handed in; an identifier no line has changes nothing.
TEST_P(BulkChange, identifiersTwiceAndUnknownOnes)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeOptionValue",
                    {QStringLiteral("Mount"), QStringLiteral("Outside"),
                     uid(1) + QStringLiteral("|{no-such-line}|") + uid(1).toUpper()}));

    // Outside, the cassette needs no window depth: the notice is gone. Mount does not change
    // the price: 128.80 as in the demo's own pricing.
    const QStringList once{OptionChanged("Mount", "Inside", "Outside"),
                           PriceChanged("$144.48", "$128.80")};
    EXPECT_EQ(Changes(engine, 1), once + once);
    EXPECT_EQ(Data(engine, 1, "optionchangecount"), QStringLiteral("2"));
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("UnitPrice")), QStringLiteral("128.8"));
    for (int line = 2; line <= 12; ++line)
        ExpectUntouched(engine, line);
    EXPECT_EQ(ToBool(Call(engine, u"LineWasSelected", {uid(1).toLower()}).value), true);
    EXPECT_EQ(ToBool(Call(engine, u"LineWasSelected", {uid(2)}).value), false);
    EXPECT_EQ(reference.messages(), QStringList());
}

// A discount run after an option run on the same line prices the item the host handed in:
// the option run's item (blackout vinyl, its colour put back) stays, its price does not count.
// Line 1 with a customer discount of 0.1 comes to 126.00, as when no option run came first;
// priced on the option run's item the White option row would no longer match.
TEST_P(BulkChange, aDiscountAfterAnOptionChangePricesTheOriginalItem)
{
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(
        Run(engine, u"ChangeOptionValue",
            {QStringLiteral("Fabric|Color"), QStringLiteral("Blackout Vinyl|Ivory"), uid(1)}));
    ASSERT_EQ(NewPriceCost(engine, 1, QStringLiteral("UnitPrice")), QStringLiteral("147.2"));

    EXPECT_TRUE(Run(engine, u"ChangeDiscount", {MakeInt16(2), QStringLiteral("0.1"), uid(1)}));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("CustomerDiscount")), QStringLiteral("0.1"));
    EXPECT_EQ(NewPriceCost(engine, 1, QStringLiteral("UnitPrice")), QStringLiteral("126"));
    // The line still differs from what the host handed in by the option run's values.
    EXPECT_EQ(Changes(engine, 1).mid(5),
              QStringList({OptionChanged("Fabric", "Linen Blend", "Blackout Vinyl"),
                           OptionChanged("Color", "White", "Please Select"),
                           PriceChanged("$144.48", "$126.00"), CassetteNotice}));
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Fabric")), QStringLiteral("Blackout Vinyl"));
    EXPECT_EQ(NewOption(engine, 1, QStringLiteral("Color")), QStringLiteral("Please Select"));
}

// The company's option defaults fill the options the old item lacks, also where the product
// file has a default of its own: the company makes its roller shades left-controlled (the
// file says Right), and a weighted rail for every product gives way to the roller shade's own
// Standard.
TEST_P(BulkChange, aProductChangeFillsNewOptionsWithTheCompanysDefaults)
{
    reference.database().execute(
        QStringLiteral("UPDATE OptionDefaults SET OptionValue = 'Left' "
                       "WHERE ProductID = 1 AND OptionName = 'Control Side'"));
    reference.database().execute(
        QStringLiteral("INSERT INTO OptionDefaults (ID, ProductID, OptionName, OptionValue) "
                       "VALUES (100, NULL, 'Bottom Rail', 'Weighted Oval')"));
    const DispatchPtr engine = NewEngine();
    EXPECT_TRUE(Run(engine, u"ChangeProductStyle",
                    {MakeInt32(1), MakeInt32(1), QStringLiteral("Standard"), uid(4)}));

    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Control Side")), QStringLiteral("Left"));
    EXPECT_EQ(NewOption(engine, 4, QStringLiteral("Bottom Rail")), QStringLiteral("Standard"));
}

INSTANTIATE_TEST_SUITE_P(Databases, BulkChange, AllBackends(), BackendName);
