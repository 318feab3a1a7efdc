// What the host decides about the lines a tool gives back: which documents may be written
// over a line, which lines a selection names, which line as read a changed line replaces.
#include "host/app/component.h"

#include <gtest/gtest.h>

using namespace zeltpc5::host;
using namespace zeltpc5::host::app;

namespace {

const QString Item = QStringLiteral("<ItemData><Options><Option><Name>Mount</Name><Value>Outside"
                                    "</Value></Option></Options></ItemData>");
const QString PriceCost =
    QStringLiteral("<PriceCostData><UnitCost>79.46</UnitCost><UnitPrice>128.80</UnitPrice>"
                   "</PriceCostData>");

QuoteLine Line(const QString &uniqueID, const QString &item = Item,
               const QString &priceCost = PriceCost)
{
    QuoteLine l;
    l.uniqueID = uniqueID;
    l.itemXML = item;
    l.priceCostXML = priceCost;
    return l;
}

} // namespace

TEST(UnwritableReason, shouldWriteReadableDocumentsAndNameTheOneThatIsNot)
{
    EXPECT_EQ(UnwritableReason(Line(QStringLiteral("a"))), QString());
    EXPECT_EQ(UnwritableReason(Line(QStringLiteral("a"),
                                    QStringLiteral("<?xml version=\"1.0\"?>\n") + Item + u'\n')),
              QString());

    const struct
    {
        const char *why;
        QString document;
    } unreadable[] = {
        {"empty", QString()},
        {"blank", QStringLiteral("  \n ")},
        {"not XML", QStringLiteral("not xml")},
        {"truncated", Item.left(Item.size() - 5)},
        {"a second root", Item + Item},
        {"an undeclared entity", QStringLiteral("<ItemData>&nbsp;</ItemData>")},
        // QXmlStreamReader would expand the entity; the component refuses any document type,
        // so the line could not be loaded again.
        {"a document type with an entity",
         QStringLiteral("<!DOCTYPE ItemData [<!ENTITY e 'Outside'>]><ItemData>&e;</ItemData>")},
        {"a control character", QStringLiteral("<ItemData>\u0001</ItemData>")},
        {"a lone surrogate",
         QStringLiteral("<ItemData>") + QChar(0xDC00) + QStringLiteral("</ItemData>")},
        {"an unbound prefix", QStringLiteral("<x:ItemData/>")},
    };
    for (const auto &c : unreadable) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(UnwritableReason(Line(QStringLiteral("a"), c.document)),
                  QStringLiteral("its new item document is empty or cannot be read"));
        EXPECT_EQ(UnwritableReason(Line(QStringLiteral("a"), Item, c.document)),
                  QStringLiteral("its new price/cost document is empty or cannot be read"));
    }
}

// One read of the new price/cost document answers both questions as the two reads did.
TEST(ReadPriceCost, shouldAgreeWithUnitPriceOfAndUnwritableReason)
{
    const QString documents[] = {
        PriceCost,
        QStringLiteral("<?xml version=\"1.0\"?>\n") + PriceCost + u'\n',
        QStringLiteral("<PriceCostData>\n  <UnitPrice> 7 </UnitPrice>\n</PriceCostData>"),
        QStringLiteral("<PriceCostData><unitprice>5</unitprice><UnitPrice null=\"true\"/>"
                       "</PriceCostData>"),
        QStringLiteral("<PriceCostData><UnitPrice>1&#13;&#10;2</UnitPrice></PriceCostData>"),
        QString(),
        QStringLiteral(" "),
        QStringLiteral("<PriceCostData><UnitPrice>1</UnitPrice>"),
        QStringLiteral("<PriceCostData><UnitPrice>1</UnitPrice></PriceCostData><x/>"),
        QStringLiteral("<!DOCTYPE P [<!ENTITY e '3'>]><P><UnitPrice>&e;</UnitPrice></P>"),
        QStringLiteral("<PriceCostData><UnitPrice>\u0001</UnitPrice></PriceCostData>"),
        QStringLiteral("<x:PriceCostData><UnitPrice>1</UnitPrice></x:PriceCostData>"),
    };
    for (const QString &d : documents) {
        SCOPED_TRACE(d.toStdString());
        const PriceCostReading r = ReadPriceCost(d);
        EXPECT_EQ(r.unitPrice, UnitPriceOf(d));
        const QuoteLine line = Line(QStringLiteral("a"), Item, d);
        EXPECT_EQ(UnwritableReason(line, r.readable), UnwritableReason(line));
    }
}

TEST(UnitPriceOf, shouldReadTheUnitPriceOfWholeAndOfBrokenDocuments)
{
    EXPECT_EQ(UnitPriceOf(PriceCost), QStringLiteral("128.80"));
    EXPECT_EQ(UnitPriceOf(QStringLiteral("<PriceCostData><unitprice>5</unitprice>"
                                         "</PriceCostData>")),
              QStringLiteral("5"));
    EXPECT_EQ(UnitPriceOf(QStringLiteral("<PriceCostData><UnitCost>1</UnitCost>"
                                         "</PriceCostData>")),
              QString());
    // Read as far as it goes, as before: the price stands before the break.
    EXPECT_EQ(UnitPriceOf(QStringLiteral("<PriceCostData><UnitPrice>1</UnitPrice>")),
              QStringLiteral("1"));
    EXPECT_EQ(UnitPriceOf(QStringLiteral("<PriceCostData><UnitCost>&bad;</UnitCost>"
                                         "<UnitPrice>1</UnitPrice></PriceCostData>")),
              QString());
    EXPECT_EQ(UnitPriceOf(QString()), QString());
}

TEST(UniqueIDSet, shouldMatchWholeIdentifiersIgnoringCase)
{
    const QStringList list{QStringLiteral("{AB-12}"), QStringLiteral("\u00c4rger-\u01c5"),
                           QStringLiteral("\u03a3\u03c3"), QStringLiteral("k-1")};
    const UniqueIDSet ids(list);
    EXPECT_TRUE(ids.contains(QStringLiteral("{AB-12}")));
    EXPECT_TRUE(ids.contains(QStringLiteral("{ab-12}")));
    EXPECT_TRUE(ids.contains(QStringLiteral("\u00e4RGER-\u01c6")));
    EXPECT_TRUE(ids.contains(QStringLiteral("\u03c3\u03c2"))) << "final sigma folds to sigma";
    EXPECT_FALSE(ids.contains(QStringLiteral("{AB-1}")));
    EXPECT_FALSE(ids.contains(QStringLiteral("{AB-12} ")));
    EXPECT_FALSE(ids.contains(QString()));
    // The same answers as the comparison the host used before, one identifier at a time.
    for (const QString &probe : {QStringLiteral("{aB-12}"), QStringLiteral("\u00e4rger-\u01c4"),
                                 QStringLiteral("\u03c3\u03a3"), QStringLiteral("\u212a-1"),
                                 QStringLiteral("K-1"), QStringLiteral("k")}) {
        SCOPED_TRACE(probe.toStdString());
        EXPECT_EQ(ids.contains(probe), list.contains(probe, Qt::CaseInsensitive));
    }
}

TEST(LinesAsRead, shouldPairEachChangedLineWithTheFirstLineReadUnderItsIdentifier)
{
    std::vector<QuoteLine> read{Line(QStringLiteral("{A}")), Line(QStringLiteral("{B}")),
                                Line(QStringLiteral("{b}")), Line(QStringLiteral("{C}"))};
    read[0].line = 1;
    read[1].line = 2;
    read[2].line = 3;
    read[3].line = 4;
    const std::vector<QuoteLine> changed{Line(QStringLiteral("{c}")), Line(QStringLiteral("{X}")),
                                         Line(QStringLiteral("{B}")), Line(QStringLiteral("{a}"))};
    const std::vector<QuoteLine> before = LinesAsRead(read, changed);
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before[0].line, 4);
    EXPECT_EQ(before[1].line, 2);
    EXPECT_EQ(before[2].line, 1);
    EXPECT_TRUE(LinesAsRead(read, {}).empty());
    EXPECT_TRUE(LinesAsRead({}, changed).empty());
}
