#include "review/itemreview.h"

#include "common/stringlist.h"
#include "engine/engines.h"

#include <gtest/gtest.h>

#include <QApplication>

using namespace zeltpc5;

namespace {

struct Opt
{
    QString name;
    QString value;
    QString visible = QStringLiteral("1");
};

struct Msg
{
    QString text;
    QString type; // empty: no Type element
};

QString item(const QList<Opt> &options, const QList<Msg> &messages = {})
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options>");
    for (const auto &o : options) {
        xml +=
            QStringLiteral("<Option><Name>%1</Name><Value>%2</Value>%3</Option>")
                .arg(o.name.toHtmlEscaped(), o.value.toHtmlEscaped(),
                     o.visible.isNull() ? QString()
                                        : QStringLiteral("<Visible>%1</Visible>").arg(o.visible));
    }
    xml += QStringLiteral("</Options><Messages>");
    for (const auto &m : messages) {
        xml +=
            QStringLiteral("<Message><Text>%1</Text>%2</Message>")
                .arg(m.text.toHtmlEscaped(),
                     m.type.isNull() ? QString() : QStringLiteral("<Type>%1</Type>").arg(m.type));
    }
    return xml + QStringLiteral("</Messages></ItemData>");
}

QString price(const QString &unitPrice)
{
    return QStringLiteral("<?xml version=\"1.0\"?><PriceCostData><UnitPrice>%1</UnitPrice>"
                          "</PriceCostData>")
        .arg(unitPrice);
}

// A line with both dimensions and a price, so that only what a test adds is reported.
QString sized(const QList<Opt> &extra = {})
{
    QList<Opt> options{{QStringLiteral("Width"), QStringLiteral("36")},
                       {QStringLiteral("Height"), QStringLiteral("48")}};
    return item(options + extra);
}

class Review : public ::testing::Test
{
protected:
    void add(const QString &id, const QString &itemXml,
             const QString &priceXml = price(QStringLiteral("100")))
    {
        ASSERT_TRUE(
            lines.AddLine(qint16(++next), 1, 1, QStringLiteral("Standard"), itemXml, priceXml, id)
                .ok());
    }
    QStringList results(int index) const
    {
        QStringList out;
        const LineRecord *r = lines.record(index);
        for (int i = 0; i < StringListCount(r->Changes); ++i)
            out << r->Changes.at(i);
        return out;
    }
    void review(const QString &ids, Progress *progress = nullptr)
    {
        ReviewSelectedItems(lines, ids, progress, [this] { return cancel; });
    }

    LineStore lines;
    int next = 0;
    bool cancel = false;
};

QString mountDiffers(const QString &v)
{
    return QStringLiteral("<TextBlock>The mount value of <Bold>%1</Bold> is different from all "
                          "other line items.</TextBlock>")
        .arg(v);
}

struct CountingProgress : Progress
{
    void setRange(int minimum, int maximum) override
    {
        min = minimum;
        max = maximum;
    }
    void setValue(int v) override { val = v; }
    int value() const override { return val; }
    void processEvents() override { ++yields; }
    int min = -1, max = -1, val = -1, yields = 0;
};

} // namespace

TEST_F(Review, aValueOnlyOneLineHasIsReportedOnThatLine)
{
    add(QStringLiteral("a"), sized({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    add(QStringLiteral("b"), sized({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    add(QStringLiteral("c"), sized({{QStringLiteral("mount"), QStringLiteral("Outside")}}));
    review(QStringLiteral("a|b|c"));
    EXPECT_EQ(results(0), QStringList());
    EXPECT_EQ(results(1), QStringList());
    EXPECT_EQ(results(2), QStringList{mountDiffers(QStringLiteral("Outside"))});
}

TEST_F(Review, oddValuesNeedExactlyTwoDistinctValues)
{
    // Two lines: the earlier line's value is the odd one.
    add(QStringLiteral("a"), sized({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    add(QStringLiteral("b"), sized({{QStringLiteral("Mount"), QStringLiteral("Outside")}}));
    review(QStringLiteral("a|b"));
    EXPECT_EQ(results(0), QStringList{mountDiffers(QStringLiteral("Inside"))});
    EXPECT_EQ(results(1), QStringList());

    // Three distinct values: nobody is odd.
    lines.Clear();
    add(QStringLiteral("a"), sized({{QStringLiteral("Color"), QStringLiteral("White")}}));
    add(QStringLiteral("b"), sized({{QStringLiteral("Color"), QStringLiteral("Ivory")}}));
    add(QStringLiteral("c"), sized({{QStringLiteral("Color"), QStringLiteral("Grey")}}));
    review(QStringLiteral("a|b|c"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(results(i), QStringList()) << i;
}

TEST_F(Review, linesNotSelectedStillCountInTheSummaries)
{
    add(QStringLiteral("a"), sized({{QStringLiteral("Pattern"), QStringLiteral("Linen")}}));
    add(QStringLiteral("b"), sized({{QStringLiteral("Pattern"), QStringLiteral("Linen")}}));
    add(QStringLiteral("c"), sized({{QStringLiteral("Pattern"), QStringLiteral("Jute")}}));
    review(QStringLiteral("C")); // only the third, in capitals
    EXPECT_EQ(results(2),
              QStringList{QStringLiteral("<TextBlock>The pattern value of <Bold>Jute</Bold> is "
                                         "different from all other line items.</TextBlock>")});
    EXPECT_EQ(results(0), QStringList());
}

TEST_F(Review, dimensions)
{
    add(QStringLiteral("overall"), item({{QStringLiteral("Overall Width"), QStringLiteral("72")},
                                         {QStringLiteral("Length"), QStringLiteral("84")}}));
    add(QStringLiteral("zero"), item({{QStringLiteral("Width"), QStringLiteral("0.0")},
                                      {QStringLiteral("Height"), QStringLiteral(" 0 1/2")}}));
    add(QStringLiteral("none"), item({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    add(QStringLiteral("text"), item({{QStringLiteral("Width"), QStringLiteral("abc")},
                                      {QStringLiteral("Height"), QStringLiteral("12 1/2")},
                                      {QStringLiteral("Length"), QString()}}));
    review(QStringLiteral("overall|zero|none|text"));
    EXPECT_EQ(results(0), QStringList());
    EXPECT_EQ(results(1),
              QStringList{QStringLiteral(
                  "<TextBlock>A value for option <Bold>Width</Bold> is zero.</TextBlock>")});
    EXPECT_EQ(
        results(2),
        (QStringList{QStringLiteral("<TextBlock>No <Bold>width</Bold> was found.</TextBlock>"),
                     QStringLiteral("<TextBlock>No <Bold>height</Bold> was found.</TextBlock>")}));
    EXPECT_EQ(
        results(3),
        (QStringList{
            QStringLiteral("<TextBlock>A value for option <Bold>Width</Bold> is zero.</TextBlock>"),
            QStringLiteral(
                "<TextBlock>A value for option <Bold>Length</Bold> is zero.</TextBlock>")}));
}

TEST_F(Review, roomLocationAndPleaseSelect)
{
    add(QStringLiteral("a"),
        sized({{QStringLiteral("Room Location"), QStringLiteral("   "), QStringLiteral("0")},
               {QStringLiteral("Fabric"), QStringLiteral(" PLEASE SELECT ")},
               {QStringLiteral("Valance"), QStringLiteral("Please Select"), QStringLiteral("0")},
               {QStringLiteral("Motor"), QStringLiteral("Please Select"), QString()}}));
    review(QStringLiteral("a"));
    EXPECT_EQ(
        results(0),
        (QStringList{
            QStringLiteral("<TextBlock>The <Bold>Room Location</Bold> is missing.</TextBlock>"),
            QStringLiteral("<TextBlock>A value for option <Bold>Fabric</Bold> should "
                           "be selected.</TextBlock>")}));
}

TEST_F(Review, productMessagesAndPrices)
{
    add(QStringLiteral("msg"),
        item({{QStringLiteral("Width"), QStringLiteral("30")},
              {QStringLiteral("Height"), QStringLiteral("30")}},
             {{QStringLiteral("Too wide & tall"), QStringLiteral("1")},
              {QStringLiteral("Ships in 2 weeks"), QStringLiteral("2")},
              {QStringLiteral("Check fabric"), QString()}}),
        price(QStringLiteral("-0.01")));
    add(QStringLiteral("zero"), sized(), price(QStringLiteral("0")));
    add(QStringLiteral("broken"), sized(), QStringLiteral("<PriceCostData><UnitPrice>"));
    add(QStringLiteral("fine"), sized(), price(QStringLiteral("0.01")));
    review(QStringLiteral("msg|zero|broken|fine"));
    EXPECT_EQ(
        results(0),
        (QStringList{
            // The product's message is data: escaped, it shows as written.
            QStringLiteral("<TextBlock Foreground='Red'>Error: Too wide &amp; tall</TextBlock>"),
            QStringLiteral("<TextBlock Foreground='Blue'>Notice: Ships in 2 weeks</TextBlock>"),
            QStringLiteral("<TextBlock Foreground='Blue'>Notice: Check fabric</TextBlock>"),
            QStringLiteral("<TextBlock>The price of this item is negative.</TextBlock>")}));
    const QStringList zero{
        QStringLiteral("<TextBlock>The price of this item is zero.</TextBlock>")};
    EXPECT_EQ(results(1), zero);
    EXPECT_EQ(results(2), zero);
    EXPECT_EQ(results(3), QStringList());
}

TEST_F(Review, entriesFollowTheOrderOfTheChecks)
{
    add(QStringLiteral("x"), sized({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    add(QStringLiteral("y"),
        item({{QStringLiteral("Mount"), QStringLiteral("Outside")},
              {QStringLiteral("Room Location"), QString()},
              {QStringLiteral("Width"), QStringLiteral("0")}},
             {{QStringLiteral("Bad"), QStringLiteral("1")}}),
        QString());
    add(QStringLiteral("z"), sized({{QStringLiteral("Mount"), QStringLiteral("Inside")}}));
    review(QStringLiteral("y"));
    EXPECT_EQ(
        results(1),
        (QStringList{
            mountDiffers(QStringLiteral("Outside")),
            QStringLiteral("<TextBlock>The <Bold>Room Location</Bold> is missing.</TextBlock>"),
            QStringLiteral("<TextBlock>A value for option <Bold>Width</Bold> is zero.</TextBlock>"),
            QStringLiteral("<TextBlock>No <Bold>height</Bold> was found.</TextBlock>"),
            QStringLiteral("<TextBlock Foreground='Red'>Error: Bad</TextBlock>"),
            QStringLiteral("<TextBlock>The price of this item is zero.</TextBlock>")}));
}

TEST_F(Review, theDriverWalksIdentifiersAndCountsProgress)
{
    add(QStringLiteral("dup"), sized(), price(QStringLiteral("0")));
    add(QStringLiteral("DUP"), sized(), price(QStringLiteral("0")));
    add(QStringLiteral("other"), sized(), price(QStringLiteral("0")));

    CountingProgress untouched;
    review(QString(), &untouched);
    EXPECT_EQ(untouched.max, -1);

    CountingProgress p;
    review(QStringLiteral("Dup||nobody"), &p);
    EXPECT_EQ(p.min, 0);
    EXPECT_EQ(p.max, 3);
    EXPECT_EQ(p.val, 3);
    EXPECT_EQ(p.yields, 3);
    EXPECT_EQ(results(0).size(), 1); // only the first of two lines sharing the identifier
    EXPECT_EQ(results(1).size(), 0);
    EXPECT_EQ(results(2).size(), 0);

    review(QStringLiteral("dup"));
    EXPECT_EQ(results(0).size(), 2); // a second review appends
}

TEST_F(Review, cancelStopsAfterTheCurrentIdentifier)
{
    for (const char *id : {"a", "b", "c"})
        add(QString::fromLatin1(id), sized(), price(QStringLiteral("0")));
    int reviewed = 0;
    ReviewSelectedItems(lines, QStringLiteral("b|c|a"), nullptr, [&] {
        reviewed = int(results(1).size() + results(2).size() + results(0).size());
        return reviewed >= 1;
    });
    EXPECT_EQ(results(1).size(), 1);
    EXPECT_EQ(results(2).size(), 0);
    EXPECT_EQ(results(0).size(), 0);
}

TEST(ItemReviewEngine, operationsReportSuccessUnlessCancelled)
{
    const DispatchPtr engine(Library::create()->CreateItemReviewEngine());
    ASSERT_TRUE(Call(engine, u"AddLine",
                     {MakeInt16(1), MakeInt16(2), MakeInt32(1), QStringLiteral("Standard"),
                      item({{QStringLiteral("Width"), QStringLiteral("0")}}),
                      price(QStringLiteral("10")), QStringLiteral("L1")})
                    .ok());

    EXPECT_EQ(ToBool(Call(engine, u"ReviewItems", {QStringLiteral("l1")}).value), true);
    EXPECT_EQ(ToInt16(Call(engine, u"CountChanges", {MakeInt16(0)}).value), 2);

    // The windowed form, on the offscreen platform: the window runs the review and closes.
    ASSERT_NE(qobject_cast<QApplication *>(QCoreApplication::instance()), nullptr);
    EXPECT_EQ(ToBool(Call(engine, u"ShowReviewItems", {QStringLiteral("L1")}).value), true);
    EXPECT_EQ(ToInt16(Call(engine, u"CountChanges", {MakeInt16(0)}).value), 4);

    ASSERT_TRUE(Put(engine, u"CancelRequested", MakeBool(true)).ok());
    EXPECT_EQ(ToBool(Call(engine, u"ReviewItems", {QStringLiteral("L1")}).value), false);
    EXPECT_EQ(ToBool(Call(engine, u"ShowReviewItems", {QStringLiteral("L1")}).value), false);
    EXPECT_EQ(ToBool(Call(engine, u"ReviewItems", {QString()}).value), false);
}
