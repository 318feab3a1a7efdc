#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/database/seed.h"
#include "support/testdatabase.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>

#include <memory>
#include <thread>

using namespace zeltpc5::host;
using zeltpc5::testing::Backend;
using zeltpc5::testing::TestDatabase;

namespace {

class SeedTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        ZELTPC5_SKIP_WITHOUT(td);
        db = Database::open(td.settings(), OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
    }
    QStringList column(const QString &sql)
    {
        QStringList values;
        // Dates as the component is given them: SQLite keeps them as that text already.
        for (const auto &row : db->select(sql).rows)
            values << (row.front().metaType().id() == QMetaType::QDateTime
                           ? row.front().toDateTime().toString(
                                 QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                           : row.front().toString());
        return values;
    }

    TestDatabase td{GetParam()};
    std::shared_ptr<Database> db;
};

QString Child(const QDomElement &e, const char *name)
{
    return e.firstChildElement(QString::fromLatin1(name)).text();
}

} // namespace

TEST_P(SeedTest, shouldKeepToTheDemoCatalogue)
{
    EXPECT_EQ(column(QStringLiteral("SELECT ID || ' ' || ProductName || ' ' || ProductFile || ' ' "
                                    "|| VendorID FROM Products ORDER BY ID")),
              QStringList({QStringLiteral("1 Roller Shade roller-shade.xml 1"),
                           QStringLiteral("2 Wood Blind wood-blind.xml 2"),
                           QStringLiteral("3 Cellular Shade cellular-shade.xml 3"),
                           QStringLiteral("4 Panel Track panel-track.xml 3")}));
    EXPECT_EQ(column(QStringLiteral("SELECT VendorName || ' ' || Margin || ' ' || MarginAD FROM "
                                    "Vendors ORDER BY ID")),
              QStringList({QStringLiteral("Northwind Mills 0.35 0.3"),
                           QStringLiteral("Cedar & Slat Co. 0.4 0.35"),
                           QStringLiteral("Lumen Textiles 0.38 0.32")}));
    EXPECT_EQ(column(QStringLiteral("SELECT Style FROM ProductStyles WHERE ProductID = 3 ORDER BY "
                                    "Sequence")),
              QStringList({QStringLiteral("Single Cell"), QStringLiteral("Double Cell"),
                           QStringLiteral("Top Down Bottom Up")}));
}

TEST_P(SeedTest, shouldCoverEveryPricingCase)
{
    // Discount rows on all three levels for the cost, price and customer families.
    EXPECT_EQ(column(QStringLiteral(
                  "SELECT DISTINCT g.DiscountGroupType || '/' || d.DiscountLevel FROM Discounts d "
                  "JOIN DiscountGroups g ON g.ID = d.DiscountGroupID ORDER BY 1")),
              QStringList({"1/1", "1/2", "1/3", "2/1", "2/2", "2/3", "3/1", "3/2", "3/3"}));
    // Only option rows name an option, so the option query finds exactly them.
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM Discounts WHERE (DiscountLevel = 3) <> "
                                    "(OptionName <> '')")),
              QStringList({"0"}));
    // Customer types: no rounding, and up, down and to nearest.
    EXPECT_EQ(column(QStringLiteral("SELECT CASE WHEN RoundUnitPrice = 0 THEN 'none' ELSE "
                                    "CAST(RoundUnitPriceDirection AS VARCHAR(10)) END FROM "
                                    "CustomerTypes ORDER BY 1")),
              QStringList({"0", "1", "2", "none"}));
    // Charges: enabled and disabled, cost and price, fixed and percentage, with and without
    // dates and criteria.
    auto count = [&](const char *where) {
        return column(QStringLiteral("SELECT COUNT(*) FROM AdditionalCharges WHERE ") +
                      QString::fromLatin1(where))
            .front()
            .toInt();
    };
    for (const char *where :
         {"Enabled <> 0", "Enabled = 0", "ChargeType = 4 AND Enabled <> 0",
          "ChargeType = 256 AND Enabled <> 0", "ChargeMethod = 1", "ChargeMethod IN (5, 7, 9)",
          "ChargeMethod IN (6, 8, 10)", "StartsOn IS NULL AND EndsOn IS NULL",
          "StartsOn IS NOT NULL AND EndsOn IS NOT NULL", "Criteria = ''", "Criteria <> ''"})
        EXPECT_GT(count(where), 0) << where;
    EXPECT_EQ(column(QStringLiteral("SELECT StartsOn FROM AdditionalCharges WHERE ID = 2")),
              QStringList({"2024-01-01T00:00:00"}));
}

TEST_P(SeedTest, shouldGiveEveryLineCompleteDocuments)
{
    QuoteStore store(*db);
    const auto quotes = store.quotes();
    ASSERT_EQ(quotes.size(), 2u);
    EXPECT_EQ(quotes.front().number, QStringLiteral("Q-1001"));
    EXPECT_EQ(quotes.front().lineCount, 12);

    QSet<QString> uniqueIDs;
    QStringList rooms, colors, mounts, widths;
    for (const QuoteSummary &q : quotes) {
        for (const QuoteLine &line : store.lines(q.id)) {
            uniqueIDs.insert(line.uniqueID);
            QDomDocument item, priceCost;
            ASSERT_TRUE(item.setContent(line.itemXML)) << line.itemXML.toStdString();
            ASSERT_TRUE(priceCost.setContent(line.priceCostXML));
            const QDomElement root = item.documentElement();
            EXPECT_EQ(root.tagName(), QStringLiteral("ItemData"));
            for (const char *field :
                 {"Options", "Messages", "Description", "Description2", "DescriptionOE"})
                EXPECT_FALSE(root.firstChildElement(QString::fromLatin1(field)).isNull()) << field;
            EXPECT_TRUE(Child(root, "DescriptionOE").startsWith(u"<TextBlock"));
            const QDomNodeList options = root.elementsByTagName(QStringLiteral("Option"));
            ASSERT_GT(options.size(), 8);
            for (int i = 0; i < options.size(); ++i) {
                const QDomElement o = options.at(i).toElement();
                for (const char *field :
                     {"Name", "Value", "Sequence", "GroupName", "GroupSequence", "Type",
                      "IsDimension", "ProcessIfHidden", "DisplayFormat", "Visible"})
                    EXPECT_FALSE(o.firstChildElement(QString::fromLatin1(field)).isNull()) << field;
                const QString name = Child(o, "Name");
                if (q.id != 1)
                    continue;
                if (name == u"Room Location")
                    rooms << Child(o, "Value");
                else if (name == u"Color")
                    colors << Child(o, "Value");
                else if (name == u"Mount")
                    mounts << Child(o, "Value");
                else if (name == u"Width")
                    widths << Child(o, "Value");
            }
            const QDomElement pc = priceCost.documentElement();
            EXPECT_EQ(pc.tagName(), QStringLiteral("PriceCostData"));
            EXPECT_EQ(Child(pc, "ProductID").toInt(), line.productID);
            EXPECT_EQ(Child(pc, "Style"), line.style);
            for (const char *field :
                 {"VendorID", "CustomerID", "CustomerTypeID", "DiscountMethod",
                  "OptionDiscountMethod", "CostDiscountGroupID", "PriceDiscountGroupID",
                  "CustomerDiscountGroupID", "ItemDiscount", "UnitPrice"})
                EXPECT_FALSE(pc.firstChildElement(QString::fromLatin1(field)).isNull()) << field;
            // The price/cost identity matches the customer on the quote.
            EXPECT_EQ(column(QStringLiteral("SELECT CustomerTypeID FROM Customers WHERE ID = ") +
                             Child(pc, "CustomerID")),
                      QStringList({Child(pc, "CustomerTypeID")}));
        }
    }
    EXPECT_EQ(uniqueIDs.size(), 15);
    // The problems a review should find on quote Q-1001.
    EXPECT_EQ(rooms.count(QString()), 1);
    EXPECT_EQ(colors.count(QStringLiteral("Please Select")), 1);
    EXPECT_EQ(mounts.count(QStringLiteral("Outside")), 1);
    EXPECT_EQ(mounts.count(QStringLiteral("Inside")), 11);
    EXPECT_EQ(widths.count(QStringLiteral("0")), 1);
}

TEST_P(SeedTest, shouldRefuseToSeedTwiceAndKeepTheData)
{
    EXPECT_TRUE(HasDemoCompany(*db));
    EXPECT_THROW(SeedDemoCompany(*db), DatabaseError);
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM QuoteLines")), QStringList({"15"}));
}

TEST_P(SeedTest, shouldWriteAnAcceptedLineBackByItsUniqueID)
{
    QuoteStore store(*db);
    const QuoteLine first = store.lines(1).front();
    EXPECT_TRUE(store.updateLine(first.uniqueID, 1, QStringLiteral("Cordless"),
                                 QStringLiteral("<ItemData/>"),
                                 QStringLiteral("<PriceCostData/>")));
    const QuoteLine after = store.lines(1).front();
    EXPECT_EQ(after.style, QStringLiteral("Cordless"));
    EXPECT_EQ(after.itemXML, QStringLiteral("<ItemData/>"));
    EXPECT_FALSE(
        store.updateLine(QStringLiteral("{no-such-line}"), 1, QString(), QString(), QString()));
}

// A write over lines as a run read them: when another writer changed one of them in the
// meantime, nothing is written and the changed line is named.
TEST_P(SeedTest, aWriteOverLinesChangedMeanwhileWritesNothing)
{
    QuoteStore store(*db);
    const int quote = store.quote(QStringLiteral("Q-1001"))->id;
    const auto read = store.lines(quote);
    std::vector<QuoteLine> mine{read[0], read[1]};
    for (QuoteLine &l : mine)
        l.style = QStringLiteral("Mine");

    // Someone else writes line 2 first.
    QuoteLine theirs = read[1];
    theirs.itemXML = read[1].itemXML + QStringLiteral("<!-- theirs -->");
    ASSERT_EQ(store.updateLines({theirs}), 1);

    try {
        store.updateLines({read[0], read[1]}, mine);
        FAIL() << "a stale write went through";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Line(s) 2 changed since this run read "
                                                          "them; nothing was written.")))
            << e.message().toStdString();
    }
    const auto now = store.lines(quote);
    EXPECT_EQ(now[0].style, read[0].style); // line 1 untouched too: all or nothing
    EXPECT_EQ(now[1].itemXML, theirs.itemXML);

    // Over what is there now, the write goes through.
    EXPECT_EQ(store.updateLines({now[0], now[1]}, mine), 2);
    EXPECT_EQ(store.lines(quote)[1].style, QStringLiteral("Mine"));
}

INSTANTIATE_TEST_SUITE_P(Databases, SeedTest, zeltpc5::testing::AllBackends(),
                         zeltpc5::testing::BackendName);

// A server locks only what a transaction reads FOR UPDATE. Another writer holds line 1
// changed but not committed; this write must wait for it, then find the line changed and
// write nothing, rather than check the old line and overwrite the other writer's.
TEST(PostgreSqlQuoteStore, aWriteWaitsForAnotherWriterAndThenWritesNothing)
{
    TestDatabase td(Backend::PostgreSQL);
    ZELTPC5_SKIP_WITHOUT(td);
    auto other = Database::open(td.settings(), OpenMode::CreateIfMissing);
    SeedDemoCompany(*other);
    const QuoteLine read = QuoteStore(*other).lines(1).front();
    auto theirs = std::make_unique<Transaction>(*other);
    ASSERT_EQ(other->execute(QStringLiteral("UPDATE QuoteLines SET Style = 'Theirs' WHERE "
                                            "UniqueID = ?"),
                             {read.uniqueID}),
              1);

    QString outcome;
    std::thread mine([&] {
        // A connection belongs to the thread that opens it.
        auto db = Database::open(td.settings(), OpenMode::ExistingOnly);
        QuoteLine changed = read;
        changed.style = QStringLiteral("Mine");
        try {
            outcome =
                QStringLiteral("wrote %1").arg(QuoteStore(*db).updateLines({read}, {changed}));
        } catch (const DatabaseError &e) {
            outcome = e.message();
        }
    });
    // Until the write waits on the other writer's lock.
    const QString waiting = QStringLiteral(
        "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() AND "
        "wait_event_type = 'Lock'");
    QElapsedTimer timer;
    timer.start();
    while (td.rows(waiting) != QStringList{"1"} && timer.elapsed() < 30000)
        std::this_thread::yield();
    theirs->commit();
    mine.join();
    EXPECT_TRUE(outcome.startsWith(
        QStringLiteral("Line(s) 1 changed since this run read them; nothing was written.")))
        << outcome.toStdString();
    EXPECT_EQ(QuoteStore(*other).lines(1).front().style, QStringLiteral("Theirs"));
}
