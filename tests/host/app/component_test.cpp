// What the host decides about the lines a tool gives back: which documents may be written
// over a line, and what they hold.
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
