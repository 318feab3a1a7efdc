#include "engine/engines.h"

#include "fakeconfigurator.h"
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

QString item(const QList<std::pair<QString, QString>> &options)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options>");
    for (const auto &[name, value] : options)
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value><Visible>-1</Visible>"
                              "<Type>4</Type></Option>")
                   .arg(name, value);
    return xml + QStringLiteral("</Options></ItemData>");
}

const QString PriceCost = QStringLiteral(
    "<?xml version=\"1.0\"?><PriceCostData><ProductID>1</ProductID><Style>Standard</Style>"
    "<VendorID>1</VendorID><CustomerDiscount>5</CustomerDiscount><ItemDiscount>2</ItemDiscount>"
    "<UnitPrice>100</UnitPrice></PriceCostData>");

class Changes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        config.products[QStringLiteral("product1.xml")] = {
            {QStringLiteral("Mount"),
             {QStringLiteral("Inside"), QStringLiteral("Outside")},
             QStringLiteral("Inside")},
            {QStringLiteral("Color"),
             {QStringLiteral("White"), QStringLiteral("Charcoal")},
             QStringLiteral("White")},
            {QStringLiteral("Valance"),
             {QStringLiteral("None"), QStringLiteral("Fascia")},
             QStringLiteral("None")}};
        config.products[QStringLiteral("product2.xml")] = {
            {QStringLiteral("Mount"),
             {QStringLiteral("Inside"), QStringLiteral("Outside")},
             QStringLiteral("Outside")},
            {QStringLiteral("Color"),
             {QStringLiteral("White"), QStringLiteral("Oak")},
             QStringLiteral("White")}};
        config.surcharges[QStringLiteral("Charcoal")] = 25;
        ClassRegistry::instance().registerClass(QStringLiteral("optrix5.Engine"), QUuid(),
                                                [this] { return DispatchPtr(config.object); });
        ScriptCommonHost(host);
        auto library = Library::create();
        library->Initialize(host.scl);
        replace = library->CreateReplaceEngine();
        engine = DispatchPtr(replace);
        for (int i = 1; i <= 3; ++i) {
            replace->lines().AddLine(qint16(i), 1, 1, QStringLiteral("Standard"),
                                     item({{QStringLiteral("Mount"), QStringLiteral("Inside")},
                                           {QStringLiteral("Color"), QStringLiteral("White")},
                                           {QStringLiteral("Valance"), QStringLiteral("Fascia")}}),
                                     PriceCost, QStringLiteral("Line-%1").arg(i));
        }
    }
    void TearDown() override
    {
        ClassRegistry::instance().unregisterClass(QStringLiteral("optrix5.Engine"), QUuid());
    }

    QStringList changes(int index) const
    {
        QStringList out = replace->lines().record(index)->Changes;
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }
    QString field(int index, const QString &name) const
    {
        QString v;
        replace->lines().GetLineData(qint16(index), name, &v);
        return v;
    }
    bool call(QStringView op, VariantList args)
    {
        const CallResult r = Call(engine, op, args);
        EXPECT_TRUE(r.ok()) << r.status.toString().toStdString();
        return ToBool(r.value).value_or(false);
    }

    FakeConfigurator config;
    FakeHost host;
    Ref<ReplaceEngine> replace;
    DispatchPtr engine;
};

const QString ColorChanged = QStringLiteral(
    "<TextBlock>The value for option <Underline>Color</Underline> changed from <Bold>White</Bold> "
    "to <Bold>Charcoal</Bold></TextBlock>");

} // namespace

TEST_F(Changes, anOptionChangeReachesTheSelectedLinesOnly)
{
    EXPECT_TRUE(call(u"ChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                            QStringLiteral("line-3|LINE-3|nobody")}));
    EXPECT_EQ(replace->SelectedIDs(), QStringLiteral("line-3|LINE-3|nobody"));
    EXPECT_EQ(changes(0), QStringList());
    EXPECT_EQ(field(0, QStringLiteral("newitemxml")), field(0, QStringLiteral("originalitemxml")));
    // The same identifier twice processes its line twice; each run's texts are kept.
    const QStringList third = changes(2);
    ASSERT_EQ(third.size(), 4);
    EXPECT_EQ(third[0], ColorChanged);
    EXPECT_TRUE(third[1].contains(QStringLiteral("<Underline>price</Underline>")));
    EXPECT_EQ(third[2], ColorChanged);
    EXPECT_EQ(field(2, QStringLiteral("optionchangecount")), QStringLiteral("2"));
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Color"), field(2, QStringLiteral("newitemxml"))),
              QStringLiteral("Charcoal"));
    EXPECT_EQ(
        GetPriceCostValue(QStringLiteral("UnitPrice"), field(2, QStringLiteral("newpricecostxml")))
            .isEmpty(),
        false);
    EXPECT_TRUE(call(u"LineWasSelected", {QStringLiteral("LINE-3")}));
    EXPECT_FALSE(call(u"LineWasSelected", {QStringLiteral("Line-1")}));
}

TEST_F(Changes, aValueTheRulesRejectIsReportedInRed)
{
    call(u"ChangeOptionValue",
         {QStringLiteral("Color|Mount"), QStringLiteral("Purple"), QStringLiteral("Line-1")});
    // Only complete pairs are applied.
    EXPECT_FALSE(config.setCalls.contains(QStringLiteral("Mount=")));
    EXPECT_EQ(config.setCalls.filter(QStringLiteral("Color=Purple")).size(), 1);
    ASSERT_FALSE(changes(0).isEmpty());
    EXPECT_EQ(changes(0).first(),
              QStringLiteral(
                  "<TextBlock Foreground='Red'>The value for option <Underline>Color</Underline> "
                  "could not be changed to Purple. <Bold>It was reset to it's default "
                  "value.</Bold></TextBlock>"));
}

TEST_F(Changes, aProductChangeKeepsAcceptedOptionsAndReportsTheRest)
{
    EXPECT_TRUE(call(u"ChangeProductStyle", {MakeInt32(3), MakeInt32(2), QStringLiteral("Wide"),
                                             QStringLiteral("Line-2")}));
    EXPECT_EQ(field(1, QStringLiteral("newproductid")), QStringLiteral("2"));
    EXPECT_EQ(field(1, QStringLiteral("newstyle")), QStringLiteral("Wide"));
    const QString priceCost = field(1, QStringLiteral("newpricecostxml"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("ProductID"), priceCost), QStringLiteral("2"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("VendorID"), priceCost), QStringLiteral("3"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("Style"), priceCost), QStringLiteral("Wide"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("BeforeDiscountPriceOverride"), priceCost),
              QStringLiteral("0"));
    const QStringList texts = changes(1);
    ASSERT_GE(texts.size(), 3);
    EXPECT_EQ(texts[0],
              QStringLiteral("<TextBlock>The <Underline>product</Underline> changed from "
                             "<Bold>Product 1</Bold> to <Bold>Product 2</Bold></TextBlock>"));
    EXPECT_EQ(texts[1], QStringLiteral("<TextBlock>The <Underline>style</Underline> changed from "
                                       "<Bold>Standard</Bold> to <Bold>Wide</Bold></TextBlock>"));
    EXPECT_EQ(texts[2], QStringLiteral("<TextBlock>The option <Underline>Valance</Underline> no "
                                       "longer exists.</TextBlock>"));
    EXPECT_EQ(field(1, QStringLiteral("optionremovecount")), QStringLiteral("1"));
    // The item's own value won over the new product's default.
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Mount"), field(1, QStringLiteral("newitemxml"))),
              QStringLiteral("Inside"));
}

TEST_F(Changes, shouldLeaveALineWhoseProductFileCannotBeOpenedAndSaySo)
{
    EXPECT_TRUE(call(u"ChangeProductStyleAndOptions",
                     {MakeInt32(1), MakeInt32(9), QStringLiteral("Any"), QStringLiteral("Color"),
                      QStringLiteral("White"), QStringLiteral("Line-1")}));
    EXPECT_EQ(field(0, QStringLiteral("newproductid")), QStringLiteral("1"));
    EXPECT_EQ(field(0, QStringLiteral("newstyle")), QStringLiteral("Standard"));
    EXPECT_EQ(field(0, QStringLiteral("newpricecostxml")), PriceCost);
    EXPECT_EQ(changes(0),
              QStringList{QStringLiteral("<TextBlock Foreground='Red'>Error: The product "
                                         "file for Product 9 could not be opened.</TextBlock>")});
}

// An item the run cannot read is never replaced by an empty one: every New* field stays and
// the line says which item could not be read, in every kind of change.
TEST_F(Changes, shouldLeaveALineWhoseItemCannotBeReadAndSaySo)
{
    const QString unreadable[] = {
        QStringLiteral("not xml"), QStringLiteral("<Other><Options/></Other>"),
        QStringLiteral("<!DOCTYPE ItemData [<!ENTITY e 'x'>]><ItemData>&e;</ItemData>"), QString()};
    for (const QString &itemXml : unreadable) {
        SCOPED_TRACE(itemXml.toStdString());
        replace->lines().Clear();
        replace->lines().AddLine(7, 1, 1, QStringLiteral("Standard"), itemXml, PriceCost,
                                 QStringLiteral("Line-7"));
        const auto check = [&] {
            EXPECT_EQ(field(0, QStringLiteral("newitemxml")), itemXml);
            EXPECT_EQ(field(0, QStringLiteral("newpricecostxml")), PriceCost);
            EXPECT_EQ(field(0, QStringLiteral("newproductid")), QStringLiteral("1"));
            EXPECT_EQ(field(0, QStringLiteral("newstyle")), QStringLiteral("Standard"));
            EXPECT_EQ(changes(0).value(changes(0).size() - 1),
                      QStringLiteral("<TextBlock Foreground='Red'>Error: The item for line 7 "
                                     "could not be read.</TextBlock>"));
        };
        call(u"ChangeOptionValue",
             {QStringLiteral("Color"), QStringLiteral("Charcoal"), QStringLiteral("Line-7")});
        check();
        call(u"ChangeProductStyle",
             {MakeInt32(1), MakeInt32(2), QStringLiteral("Basic"), QStringLiteral("Line-7")});
        check();
        call(u"ChangeDiscount", {MakeInt16(3), QStringLiteral("5"), QStringLiteral("Line-7")});
        check();
        EXPECT_EQ(changes(0).size(), 3);
    }
}

TEST_F(Changes, discountChanges)
{
    auto discountOf = [&](int i, const char *name) {
        return GetPriceCostValue(QString::fromLatin1(name),
                                 field(i, QStringLiteral("newpricecostxml")));
    };
    call(u"ChangeDiscount", {MakeInt16(2), QStringLiteral("12.5"), QStringLiteral("Line-1")});
    EXPECT_EQ(discountOf(0, "CustomerDiscount"), QStringLiteral("12.5"));
    EXPECT_EQ(discountOf(0, "CustomerDiscountOverride"), QStringLiteral("1"));

    call(u"ChangeDiscount", {MakeInt16(2), QStringLiteral("lots"), QStringLiteral("Line-2")});
    EXPECT_EQ(discountOf(1, "CustomerDiscount"), QStringLiteral("5"));
    EXPECT_EQ(discountOf(1, "CustomerDiscountOverride"), QStringLiteral("1"));

    call(u"ChangeDiscount", {MakeInt16(2), QString(), QStringLiteral("Line-3")});
    EXPECT_EQ(discountOf(2, "CustomerDiscountOverride"), QStringLiteral("0"));

    // The item discount is taken as given, then written back in its normal form by pricing.
    call(u"ChangeDiscount", {MakeInt16(3), QStringLiteral("12.5%"), QStringLiteral("Line-3")});
    EXPECT_EQ(discountOf(2, "ItemDiscount"), QStringLiteral("12.5%"));
    call(u"ChangeDiscount", {MakeInt16(3), QStringLiteral("$7"), QStringLiteral("Line-3")});
    EXPECT_EQ(discountOf(2, "ItemDiscount"), QStringLiteral("$7.00"));
    // The item is not touched by a discount run.
    EXPECT_EQ(field(2, QStringLiteral("newitemxml")), field(2, QStringLiteral("originalitemxml")));
}

TEST_F(Changes, aCancelStopsAfterTheCurrentLineAndTheDirectFormSaysSo)
{
    int processed = 0;
    config.onProcess = [&] {
        if (++processed == 4) // the second line's second ProcessOptions
            replace->setCancelRequested(true);
    };
    EXPECT_FALSE(call(u"ChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                             QStringLiteral("Line-1|Line-2|Line-3")}));
    EXPECT_EQ(changes(0).first(), ColorChanged);
    EXPECT_EQ(changes(1).first(), ColorChanged); // the line in progress completes
    EXPECT_EQ(changes(2), QStringList());
    EXPECT_EQ(host.sql->calls().last(), QStringLiteral("PreTerminate()"));

    // Nothing resets the flag: the next run stops at once, on the first line it reaches.
    config.onProcess = {};
    EXPECT_FALSE(call(u"ChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                             QStringLiteral("Line-3")}));
    EXPECT_EQ(changes(2), QStringList());
}

TEST_F(Changes, anEmptySelectionChangesNothing)
{
    replace->setSelectedIDs(QStringLiteral("old"));
    EXPECT_TRUE(call(u"ShowChangeOptionValue",
                     {QStringLiteral("Color"), QStringLiteral("Charcoal"), QString()}));
    EXPECT_EQ(replace->SelectedIDs(), QString());
    EXPECT_TRUE(config.setCalls.isEmpty());
    EXPECT_TRUE(host.sql->calls().isEmpty());
}

TEST_F(Changes, theProgressWindowRunsTheChangeAndItsCancelButtonWorks)
{
    QList<int> progress;
    config.onProcess = [&] {
        auto *window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("frmChangeOption"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Change Option"));
        progress << window->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value();
        if (progress.size() == 3) // the second line: the user presses Cancel
            QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
    };
    EXPECT_FALSE(
        call(u"ShowChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                        QStringLiteral("Line-1|Line-2|Line-3")}));
    EXPECT_EQ(progress, (QList<int>{0, 0, 1, 1}));
    EXPECT_EQ(changes(2), QStringList());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Re-pricing a discount only re-establishes the line's configuration: options the engine would
// not process (hidden ones, types 6 and 7) stay out of it, while an option change replays every
// stored option.
TEST_F(Changes, onlyTheDiscountRunLeavesUnprocessableOptionsOut)
{
    const QString stored = QStringLiteral(
        "<?xml version=\"1.0\"?><ItemData><Options>"
        "<Option><Name>Mount</Name><Value>Inside</Value><Type>4</Type><Visible>-1</Visible>"
        "</Option>"
        "<Option><Name>Color</Name><Value>White</Value><Type>4</Type><Visible>0</Visible>"
        "</Option>"
        "<Option><Name>Valance</Name><Value>Fascia</Value><Type>4</Type><Visible>0</Visible>"
        "<ProcessIfHidden>1</ProcessIfHidden></Option>"
        "<Option><Name>Chain Length</Name><Value>48</Value><Type>6</Type><Visible>-1</Visible>"
        "</Option>"
        "<Option><Name>Motorization</Name><Value>Yes</Value><Type>7</Type><Visible>-1</Visible>"
        "</Option>"
        "</Options></ItemData>");
    replace->lines().Clear();
    replace->lines().AddLine(1, 1, 1, QStringLiteral("Standard"), stored, PriceCost,
                             QStringLiteral("Line-1"));

    call(u"ChangeDiscount", {MakeInt16(3), QStringLiteral("5"), QStringLiteral("Line-1")});
    EXPECT_EQ(config.setCalls,
              (QStringList{QStringLiteral("Mount=Inside"), QStringLiteral("Valance=Fascia")}));

    config.setCalls.clear();
    call(u"ChangeOptionValue",
         {QStringLiteral("Mount"), QStringLiteral("Outside"), QStringLiteral("Line-1")});
    EXPECT_EQ(config.setCalls,
              (QStringList{QStringLiteral("Mount=Inside"), QStringLiteral("Color=White"),
                           QStringLiteral("Valance=Fascia"), QStringLiteral("Chain Length=48"),
                           QStringLiteral("Motorization=Yes"), QStringLiteral("Mount=Outside")}));
}

// A value the rules put back is a rejected choice only for a list option; another type (here
// a yes/no option) may read back otherwise without the user being told it was reset.
TEST_F(Changes, onlyAListOptionPutBackIsReportedAsReset)
{
    config.products[QStringLiteral("product1.xml")].append(
        {QStringLiteral("Hold Down Brackets"),
         {QStringLiteral("Yes"), QStringLiteral("No")},
         QStringLiteral("No"),
         5});
    call(u"ChangeOptionValue", {QStringLiteral("Hold Down Brackets|Color"),
                                QStringLiteral("Maybe|Purple"), QStringLiteral("Line-1")});
    // Both values were put back by the rules.
    const QString newItem = field(0, QStringLiteral("newitemxml"));
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Hold Down Brackets"), newItem),
              QStringLiteral("No"));
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Color"), newItem), QStringLiteral("White"));
    EXPECT_EQ(changes(0).filter(QStringLiteral("could not be changed")),
              QStringList{QStringLiteral(
                  "<TextBlock Foreground='Red'>The value for option <Underline>Color</Underline> "
                  "could not be changed to Purple. <Bold>It was reset to it's default "
                  "value.</Bold></TextBlock>")});
}

// Amounts typed over the old product's calculation mean nothing for the new product: a product
// change drops both before-discount overrides, so the new product's amounts are used.
TEST_F(Changes, aProductChangeDropsTheBeforeDiscountOverrides)
{
    QString overridden = PriceCost;
    overridden.replace(QStringLiteral("<UnitPrice>"),
                       QStringLiteral("<BeforeDiscountCostOverride>1</BeforeDiscountCostOverride>"
                                      "<BeforeDiscountCost>999</BeforeDiscountCost>"
                                      "<BeforeDiscountPriceOverride>1</BeforeDiscountPriceOverride>"
                                      "<BeforeDiscountPrice>999</BeforeDiscountPrice><UnitPrice>"));
    replace->lines().Clear();
    replace->lines().AddLine(1, 1, 1, QStringLiteral("Standard"),
                             item({{QStringLiteral("Mount"), QStringLiteral("Inside")}}),
                             overridden, QStringLiteral("Line-1"));
    // Cost and price both come from the engine, which asks 100 for this configuration.
    host.common->set(QStringLiteral("GetProductCostSource"), MakeInt32(1))
        .set(QStringLiteral("GetProductPriceSource"), MakeInt32(2));

    call(u"ChangeProductStyle",
         {MakeInt32(1), MakeInt32(2), QStringLiteral("Wide"), QStringLiteral("Line-1")});
    const QString priceCost = field(0, QStringLiteral("newpricecostxml"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("BeforeDiscountCostOverride"), priceCost),
              QStringLiteral("0"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("BeforeDiscountPriceOverride"), priceCost),
              QStringLiteral("0"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("BeforeDiscountCost"), priceCost),
              QStringLiteral("100"));
    EXPECT_EQ(GetPriceCostValue(QStringLiteral("BeforeDiscountPrice"), priceCost),
              QStringLiteral("100"));
}

// A cancel already requested when a run starts: the table's first line is found before the
// search looks at the flag, so it is still processed when it is the first one named; any other
// line is never reached.
TEST_F(Changes, aCancelBeforeTheRunReachesNoLineButTheTablesFirst)
{
    replace->setCancelRequested(true);
    EXPECT_FALSE(call(u"ChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                             QStringLiteral("Line-2|Line-1")}));
    EXPECT_EQ(changes(0), QStringList());
    EXPECT_EQ(changes(1), QStringList());

    EXPECT_FALSE(call(u"ChangeOptionValue", {QStringLiteral("Color"), QStringLiteral("Charcoal"),
                                             QStringLiteral("Line-1|Line-2")}));
    EXPECT_EQ(changes(0).value(0), ColorChanged);
    EXPECT_EQ(GetItemOptionValue(QStringLiteral("Color"), field(0, QStringLiteral("newitemxml"))),
              QStringLiteral("Charcoal"));
    EXPECT_EQ(changes(1), QStringList());
    EXPECT_EQ(field(1, QStringLiteral("newitemxml")), field(1, QStringLiteral("originalitemxml")));
}

namespace {

// Records each modal window as it opens: its name, caption and heading.
class ShownProgressWindows : public QObject
{
public:
    ShownProgressWindows() { qApp->installEventFilter(this); }
    ~ShownProgressWindows() override { qApp->removeEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isModal()) {
            const auto *heading = dialog->findChild<QLabel *>(QStringLiteral("lblHeading"));
            shown << dialog->objectName() + QStringLiteral(" | ") + dialog->windowTitle() +
                         QStringLiteral(" | ") +
                         (heading && heading->isVisible() ? heading->text()
                                                          : QStringLiteral("(no heading)"));
        }
        return false;
    }
};

} // namespace

// Each windowed run, the item review's too, opens its own window, named and worded for it.
TEST_F(Changes, eachRunShowsItsOwnProgressWindow)
{
    const Ref<Library> library = Library::create();
    library->Initialize(host.scl);
    const Ref<ItemReviewEngine> review = library->CreateItemReviewEngine();
    review->lines().AddLine(1, 1, 1, QStringLiteral("Standard"),
                            replace->lines().record(0)->OriginalItemXML, PriceCost,
                            QStringLiteral("Line-1"));

    ShownProgressWindows windows;
    call(u"ShowChangeOptionValue",
         {QStringLiteral("Color"), QStringLiteral("Charcoal"), QStringLiteral("Line-1")});
    call(u"ShowChangeProductStyle",
         {MakeInt32(1), MakeInt32(2), QStringLiteral("Wide"), QStringLiteral("Line-2")});
    call(u"ShowChangeProductStyleAndOptions",
         {MakeInt32(1), MakeInt32(2), QStringLiteral("Wide"), QStringLiteral("Color"),
          QStringLiteral("Oak"), QStringLiteral("Line-3")});
    call(u"ShowChangeDiscount", {MakeInt16(2), QStringLiteral("10"), QStringLiteral("Line-1")});
    const CallResult reviewed =
        Call(DispatchPtr(review), u"ShowReviewItems", {QStringLiteral("Line-1")});
    EXPECT_TRUE(reviewed.ok());
    EXPECT_EQ(ToBool(reviewed.value), true);

    EXPECT_EQ(windows.shown,
              (QStringList{
                  QStringLiteral("frmChangeOption | Change Option | Processing option changes..."),
                  QStringLiteral("frmChangeProductStyle | Change Product/Style | Processing "
                                 "changes..."),
                  QStringLiteral("frmChangeProductStyleAndOptions | Change Product/Style/Options "
                                 "| Processing changes..."),
                  QStringLiteral("frmChangeDiscount | Change Discount | Processing discount "
                                 "changes..."),
                  QStringLiteral("frmReviewItems | Reviewing Items | Please wait while items are "
                                 "reviewed...")}));
    // Every run finished and closed its window.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(changes(0).value(0), ColorChanged);
    EXPECT_EQ(field(2, QStringLiteral("newproductid")), QStringLiteral("2"));
}
