#include "replace/changedescriptions.h"
#include "ui/markuptext.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

QString item(const QList<std::pair<QString, QString>> &options)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options>");
    for (const auto &[name, value] : options)
        xml += QStringLiteral("<Option><Name>%1</Name><Value>%2</Value></Option>").arg(name, value);
    return xml + QStringLiteral("</Options></ItemData>");
}

QString price(const QString &p)
{
    return QStringLiteral("<PriceCostData><UnitPrice>%1</UnitPrice></PriceCostData>").arg(p);
}

class Describe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.common
            ->on(QStringLiteral("BuildString"),
                 [](VariantList &args) {
                     QString t = ToText(args[0]).value_or(QString());
                     for (int i = 1; i < args.size(); ++i)
                         t.replace(QStringLiteral("{%1}").arg(i - 1),
                                   ToText(args[i]).value_or(QString()));
                     return Variant(t);
                 })
            .on(QStringLiteral("GetProductNameFromID"), [](VariantList &args) {
                return Variant(QStringLiteral("Product %1").arg(ToInt32(args[0]).value_or(0)));
            });
        engine->set(QStringLiteral("ErrorCount"), MakeInt32(0))
            .set(QStringLiteral("NoticeCount"), MakeInt32(0));
    }

    QStringList describe(LineRecord r)
    {
        LineStore lines;
        lines.AddLine(1, 1, r.OriginalProductID, r.OriginalStyle, r.OriginalItemXML,
                      r.OriginalPriceCostXML, QStringLiteral("A"));
        LineRecord &l = *lines.record(0);
        l.NewProductID = r.NewProductID;
        l.NewStyle = r.NewStyle;
        l.NewItemXML = r.NewItemXML;
        l.NewPriceCostXML = r.NewPriceCostXML;
        ProductEngine pe(engine);
        DescribeLineChanges(lines, 0, pe, HostServices(host.scl));
        changeCount = l.OptionChangeCount;
        removeCount = l.OptionRemoveCount;
        QStringList out = l.Changes;
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }

    static LineRecord same()
    {
        LineRecord r;
        r.OriginalProductID = r.NewProductID = 1;
        r.OriginalStyle = r.NewStyle = QStringLiteral("Cordless");
        r.OriginalItemXML = r.NewItemXML =
            item({{QStringLiteral("Mount"), QStringLiteral("Inside")}});
        r.OriginalPriceCostXML = r.NewPriceCostXML = price(QStringLiteral("100"));
        return r;
    }

    FakeHost host;
    Ref<ScriptedObject> engine = MakeFakeProductEngine();
    int changeCount = 0, removeCount = 0;
};

} // namespace

TEST_F(Describe, anUnchangedLineGetsNoText)
{
    LineRecord r = same();
    r.NewStyle = QStringLiteral("CORDLESS");
    EXPECT_EQ(describe(r), QStringList());
}

TEST_F(Describe, everyDifferenceInItsOrder)
{
    engine->set(QStringLiteral("ErrorCount"), MakeInt32(2))
        .on(QStringLiteral("Error"),
            [](VariantList &a) {
                return Variant(QStringLiteral("E%1").arg(ToInt32(a[0]).value_or(0)));
            })
        .set(QStringLiteral("NoticeCount"), MakeInt32(1))
        .set(QStringLiteral("Notice"), QStringLiteral("N <0>"));
    LineRecord r = same();
    r.NewProductID = 2;
    r.NewStyle = QStringLiteral("Motorized");
    r.OriginalItemXML = item({{QStringLiteral("Mount"), QStringLiteral("Inside")},
                              {QStringLiteral("Color"), QString()},
                              {QStringLiteral("Valance"), QStringLiteral("None")},
                              {QStringLiteral("Tilt"), QStringLiteral("Wand")}});
    r.NewItemXML = item({{QStringLiteral("valance"), QStringLiteral("None")},
                         {QStringLiteral("Color"), QStringLiteral("White")},
                         {QStringLiteral("Mount"), QStringLiteral("Inside")},
                         {QStringLiteral("Tilt"), QStringLiteral("wand")},
                         {QStringLiteral("Brand New"), QStringLiteral("x")}});
    r.NewPriceCostXML = price(QStringLiteral("1234.5"));
    EXPECT_EQ(describe(r),
              (QStringList{
                  QStringLiteral("<TextBlock>The <Underline>product</Underline> changed from "
                                 "<Bold>Product 1</Bold> to <Bold>Product 2</Bold></TextBlock>"),
                  QStringLiteral("<TextBlock>The <Underline>style</Underline> changed from "
                                 "<Bold>Cordless</Bold> to <Bold>Motorized</Bold></TextBlock>"),
                  QStringLiteral("<TextBlock>The value for option <Underline>Color</Underline> "
                                 "changed from <Bold></Bold> to <Bold>White</Bold></TextBlock>"),
                  QStringLiteral("<TextBlock>The option <Underline>Valance</Underline> no longer "
                                 "exists.</TextBlock>"),
                  QStringLiteral("<TextBlock>The value for option <Underline>Tilt</Underline> "
                                 "changed from <Bold>Wand</Bold> to <Bold>wand</Bold></TextBlock>"),
                  QStringLiteral("<TextBlock>The <Underline>price</Underline> changed from "
                                 "<Bold>$100.00</Bold> to <Bold>$1,234.50</Bold></TextBlock>"),
                  QStringLiteral("<TextBlock Foreground='Red'>Error: E0</TextBlock>"),
                  QStringLiteral("<TextBlock Foreground='Red'>Error: E1</TextBlock>"),
                  // The engine's message is data: escaped, it shows as written.
                  QStringLiteral("<TextBlock Foreground='Blue'>Notice: N &lt;0&gt;</TextBlock>")}));
    EXPECT_EQ(changeCount, 2);
    EXPECT_EQ(removeCount, 1);
}

TEST_F(Describe, documentsThatDoNotParse)
{
    LineRecord r = same();
    r.NewItemXML = QStringLiteral("<ItemData>");
    r.NewPriceCostXML = QStringLiteral("garbage");
    // The options step is skipped; a price that cannot be read counts as zero.
    EXPECT_EQ(describe(r), QStringList{QStringLiteral(
                               "<TextBlock>The <Underline>price</Underline> changed from "
                               "<Bold>$100.00</Bold> to <Bold>$0.00</Bold></TextBlock>")});
}

// A value typed into an option is shown as typed: it cannot forge a red error of its own.
TEST_F(Describe, valuesFromTheLineCannotAddMarkup)
{
    const QString forged = QStringLiteral("<TextBlock Foreground='Red'>Error: forged</TextBlock>");
    LineRecord r = same();
    r.NewItemXML = item({{QStringLiteral("Mount"), forged.toHtmlEscaped()}});
    r.NewStyle = QStringLiteral("Kid's <Room>");
    const QStringList texts = describe(r);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QStringLiteral("<TextBlock>The <Underline>style</Underline> changed from "
                                       "<Bold>Cordless</Bold> to <Bold>Kid&apos;s "
                                       "&lt;Room&gt;</Bold></TextBlock>"));
    const MarkupText shown(texts[1]);
    EXPECT_EQ(shown.shownText(),
              QStringLiteral("The value for option Mount changed from Inside to ") + forged);
    for (const MarkupRun &run : shown.runs())
        EXPECT_FALSE(run.color.isValid()) << run.text.toStdString();
}
