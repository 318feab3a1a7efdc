// Quote lines' UniqueIDs: the component is handed them "|"-joined and finds them ignoring
// case, so every way a line enters the database keeps them usable: the store, the schema,
// and the upgrade of a database made before the schema said so.
#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/database/schema.h"
#include "host/database/seed.h"
#include "support/testdatabase.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace zeltpc5::host;
using zeltpc5::testing::Backend;
using zeltpc5::testing::TestDatabase;

namespace {

class QuoteLinesTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        ZELTPC5_SKIP_WITHOUT(td);
        db = open(OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        q1001 = QuoteStore(*db).quote(QStringLiteral("Q-1001"))->id;
    }
    std::shared_ptr<Database> open(OpenMode mode = OpenMode::ExistingOnly)
    {
        return Database::open(td.settings(), mode);
    }
    QString openError()
    {
        try {
            open();
        } catch (const DatabaseError &e) {
            return e.message();
        }
        return QString();
    }
    static NewQuoteLine line(int id, int number, const QString &uniqueID)
    {
        return {id,
                number,
                1,
                1,
                QStringLiteral("Standard"),
                QStringLiteral("<ItemData/>"),
                QStringLiteral("<PriceCostData/>"),
                uniqueID};
    }
    static NewQuote quote(std::vector<NewQuoteLine> lines)
    {
        return {50,
                QStringLiteral("Q-2000"),
                1,
                QDateTime(QDate(2024, 5, 1), QTime(9, 0), Qt::UTC),
                QStringLiteral("New"),
                std::move(lines)};
    }
    // Every stored line, in full, in a stable order.
    QStringList allLines(Database &d) const
    {
        QStringList rows;
        for (const QVariantList &row :
             d.select(
                  QStringLiteral("SELECT ID, QuoteID, Line, Quantity, ProductID, Style, ItemXML, "
                                 "PriceCostXML, UniqueID FROM QuoteLines ORDER BY ID"))
                 .rows) {
            QStringList fields;
            for (const QVariant &v : row)
                fields << v.toString();
            rows << fields.join(u'\t');
        }
        return rows;
    }
    // The database as version 2 left it: QuoteLines as migration 1 made it, no record of 3.
    void makeVersion2()
    {
        Transaction t(*db);
        db->execute(QStringLiteral("CREATE TABLE QuoteLines_V2 (ID INTEGER NOT NULL PRIMARY KEY, "
                                   "QuoteID INTEGER NOT NULL REFERENCES Quotes (ID), "
                                   "Line INTEGER NOT NULL, "
                                   "Quantity INTEGER NOT NULL DEFAULT 1, "
                                   "ProductID INTEGER NOT NULL REFERENCES Products (ID), "
                                   "Style VARCHAR(100) NOT NULL DEFAULT '', "
                                   "ItemXML TEXT NOT NULL, "
                                   "PriceCostXML TEXT NOT NULL, "
                                   "UniqueID VARCHAR(40) NOT NULL UNIQUE, "
                                   "UNIQUE (QuoteID, Line))"));
        db->execute(QStringLiteral("INSERT INTO QuoteLines_V2 SELECT * FROM QuoteLines"));
        db->execute(QStringLiteral("DROP TABLE QuoteLines"));
        db->execute(QStringLiteral("ALTER TABLE QuoteLines_V2 RENAME TO QuoteLines"));
        db->setInfo(QStringLiteral("SchemaVersion"), QStringLiteral("2"));
        db->execute(QStringLiteral("DELETE FROM HostInfo WHERE Name = 'Migration3'"));
        t.commit();
    }
    void setUniqueID(int line, const QString &uniqueID)
    {
        ASSERT_EQ(db->execute(QStringLiteral("UPDATE QuoteLines SET UniqueID = ? WHERE QuoteID = ? "
                                             "AND Line = ?"),
                              {uniqueID, q1001, line}),
                  1);
    }
    qint64 count(const QString &sql) const
    {
        return db->select(sql).rows.front().front().toLongLong();
    }

    TestDatabase td{GetParam()};
    std::shared_ptr<Database> db;
    int q1001 = 0;
};

} // namespace

TEST(UniqueIDFaults, shouldNameEveryLineOfAClashAndTheLineItClashesWith)
{
    // "Σx" and "ςx" differ in lower case but are one after case folding.
    const auto faults = FindUniqueIDFaults({{1, QStringLiteral("a")},
                                            {2, QStringLiteral("b")},
                                            {3, QStringLiteral("A")},
                                            {4, QStringLiteral("Σx")},
                                            {5, QStringLiteral("ςx")},
                                            {6, QStringLiteral("c|d")},
                                            {7, QString()}});
    ASSERT_EQ(faults.size(), 6u);
    EXPECT_EQ(faults[0].index, 0u);
    EXPECT_TRUE(faults[0].reason.contains(u"line 3")) << faults[0].reason.toStdString();
    EXPECT_EQ(faults[1].index, 2u);
    EXPECT_TRUE(faults[1].reason.contains(u"line 1")) << faults[1].reason.toStdString();
    EXPECT_EQ(faults[2].index, 3u);
    EXPECT_EQ(faults[3].index, 4u);
    EXPECT_EQ(faults[4].index, 5u);
    EXPECT_TRUE(faults[4].reason.contains(u"\"|\"")) << faults[4].reason.toStdString();
    EXPECT_EQ(faults[5].index, 6u);
    EXPECT_TRUE(faults[5].reason.contains(u"empty"));
}

TEST_P(QuoteLinesTest, aQuoteWhoseUniqueIDsCannotNameItsLinesIsRefusedAndNothingStored)
{
    const QString taken = QuoteStore(*db).lines(q1001).front().uniqueID;
    const struct
    {
        const char *name;
        std::vector<NewQuoteLine> lines;
        QStringList inMessage;
    } cases[] = {
        {"separator",
         {line(900, 1, QStringLiteral("A|B")), line(901, 2, QStringLiteral("B"))},
         {QStringLiteral("line 1"), QStringLiteral("\"A|B\"")}},
        {"empty", {line(900, 1, QString())}, {QStringLiteral("line 1"), QStringLiteral("empty")}},
        {"twice",
         {line(900, 1, QStringLiteral("X")), line(901, 2, QStringLiteral("X"))},
         {QStringLiteral("line 1"), QStringLiteral("line 2")}},
        {"case",
         {line(900, 1, QStringLiteral("abc")), line(901, 2, QStringLiteral("ok")),
          line(902, 3, QStringLiteral("ABC"))},
         {QStringLiteral("line 1"), QStringLiteral("line 3")}},
        {"another quote's",
         {line(900, 1, QStringLiteral("fresh")), line(901, 2, taken)},
         {QStringLiteral("line 2"), QStringLiteral("line 1 of quote Q-1001")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            QuoteStore(*db).addQuote(quote(c.lines));
            ADD_FAILURE() << "stored";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(u"Q-2000")) << e.message().toStdString();
            for (const QString &text : c.inMessage)
                EXPECT_TRUE(e.message().contains(text)) << e.message().toStdString();
        }
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Quotes WHERE ID = 50")), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM QuoteLines WHERE ID >= 900")), 0);
    }

    QuoteStore(*db).addQuote(
        quote({line(900, 1, QStringLiteral("one")), line(901, 2, QStringLiteral("two"))}));
    EXPECT_EQ(QuoteStore(*db).lines(50).size(), 2u);
}

TEST_P(QuoteLinesTest, newLinesOfAQuoteAreCheckedAgainstTheLinesItHas)
{
    QuoteStore store(*db);
    const QString first = store.lines(q1001).front().uniqueID;
    try {
        store.addLines(q1001,
                       {line(900, 13, QStringLiteral("new-13")), line(901, 14, first.toUpper())});
        ADD_FAILURE() << "stored";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"Q-1001")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(u"line 14")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(u"line 1's")) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(u"line 13")) << e.message().toStdString();
    }
    EXPECT_EQ(store.lines(q1001).size(), 12u);
    store.addLines(q1001, {line(900, 13, QStringLiteral("new-13"))});
    EXPECT_EQ(store.lines(q1001).back().uniqueID, QStringLiteral("new-13"));
}

// What the store refuses, the schema refuses too, whoever writes.
TEST_P(QuoteLinesTest, theSchemaRefusesAUniqueIDThatCannotNameItsLine)
{
    const QString first = QuoteStore(*db).lines(q1001).front().uniqueID;
    const QString insert = QStringLiteral(
        "INSERT INTO QuoteLines (ID, QuoteID, Line, ProductID, ItemXML, PriceCostXML, UniqueID) "
        "VALUES (?, ?, ?, 1, '<ItemData/>', '<PriceCostData/>', ?)");
    const int q1002 = QuoteStore(*db).quote(QStringLiteral("Q-1002"))->id;
    EXPECT_THROW(db->execute(insert, {900, q1001, 13, QStringLiteral("A|B")}), DatabaseError);
    EXPECT_THROW(db->execute(insert, {900, q1001, 13, QStringLiteral("")}), DatabaseError);
    EXPECT_THROW(db->execute(insert, {900, q1001, 13, first.toUpper()}), DatabaseError);
    EXPECT_THROW(db->execute(insert, {900, q1002, 13, first}), DatabaseError);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM QuoteLines WHERE ID = 900")), 0);
    // Another quote may use the same letters in another case: each quote is handed over alone.
    EXPECT_EQ(db->execute(insert, {900, q1002, 13, first.toUpper()}), 1);
    EXPECT_THROW(
        db->execute(QStringLiteral("UPDATE QuoteLines SET UniqueID = 'x|y' WHERE ID = 900")),
        DatabaseError);
}

TEST_P(QuoteLinesTest, anOlderDatabaseIsUpgradedWithEveryLineKept)
{
    makeVersion2();
    const QStringList before = allLines(*db);
    ASSERT_EQ(before.size(), 15);
    db.reset();

    db = open();
    EXPECT_EQ(db->schemaVersion(), LatestSchemaVersion());
    EXPECT_EQ(CurrentSchemaVersion(*db), LatestSchemaVersion());
    EXPECT_FALSE(db->info(QStringLiteral("Migration3")).isEmpty());
    EXPECT_EQ(allLines(*db), before);
    EXPECT_THROW(db->execute(QStringLiteral("UPDATE QuoteLines SET UniqueID = 'x|y' WHERE ID = 1")),
                 DatabaseError);
    EXPECT_EQ(QuoteStore(*db).lines(q1001).size(), 12u);
}

// Such lines are not renamed behind the user's back (a UniqueID may be known elsewhere): the
// upgrade names them and leaves the database exactly as it was.
TEST_P(QuoteLinesTest, anOlderDatabaseWithUnusableUniqueIDsIsNotUpgradedAndLeftAsItWas)
{
    makeVersion2();
    setUniqueID(1, QStringLiteral("A|B"));
    setUniqueID(2, QStringLiteral(""));
    setUniqueID(3, QStringLiteral("dup"));
    setUniqueID(4, QStringLiteral("DUP"));
    const QStringList before = allLines(*db);
    db.reset();

    const QString error = openError();
    for (const char *text : {"cannot be upgraded", "4 quote line(s)", "quote Q-1001 line 1",
                             "\"A|B\"", "quote Q-1001 line 2", "quote Q-1001 line 3",
                             "quote Q-1001 line 4", "Nothing was changed"})
        EXPECT_TRUE(error.contains(QLatin1String(text))) << text << ": " << error.toStdString();
    EXPECT_TRUE(error.contains(td.settings().describe())) << error.toStdString();
    EXPECT_FALSE(error.contains(u"line 5")) << error.toStdString();

    // Read beside the host, which would not open it.
    EXPECT_EQ(td.rows(QStringLiteral("SELECT Value FROM HostInfo WHERE Name = 'SchemaVersion'")),
              QStringList{QStringLiteral("2")});
    EXPECT_EQ(td.rows(QStringLiteral("SELECT Name FROM HostInfo WHERE Name = 'Migration3'")),
              QStringList());
    EXPECT_EQ(
        td.rows(QStringLiteral("SELECT ID, QuoteID, Line, Quantity, ProductID, Style, ItemXML, "
                               "PriceCostXML, UniqueID FROM QuoteLines ORDER BY ID")),
        before);
}

INSTANTIATE_TEST_SUITE_P(Databases, QuoteLinesTest, zeltpc5::testing::AllBackends(),
                         zeltpc5::testing::BackendName);
