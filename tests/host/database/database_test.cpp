#include "host/database/database.h"
#include "host/database/schema.h"
#include "support/testdatabase.h"
#include "tests/host/fifo.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace zeltpc5::host;
using zeltpc5::testing::Backend;
using zeltpc5::testing::TestDatabase;

namespace {

class DatabaseTest : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    std::shared_ptr<Database> create(const char *name = "company.db")
    {
        return Database::open(ConnectionSettings::sqliteFile(path(name)),
                              OpenMode::CreateIfMissing);
    }
    // The message of the DatabaseError an open throws, or "" when it opens.
    QString openError(const QString &file, OpenMode mode)
    {
        try {
            Database::open(ConnectionSettings::sqliteFile(file), mode);
        } catch (const DatabaseError &e) {
            return e.message();
        }
        return QString();
    }
    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir dir;
};

// The same behaviour on each database the host is tested on.
class DatabaseOnEach : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ZELTPC5_SKIP_WITHOUT(td); }
    std::shared_ptr<Database> create()
    {
        return Database::open(td.settings(), OpenMode::CreateIfMissing);
    }
    TestDatabase td{GetParam()};
};

qint64 Count(Database &db, const QString &table)
{
    return db.select(QStringLiteral("SELECT COUNT(*) FROM ") + table)
        .rows.front()
        .front()
        .toLongLong();
}

} // namespace

TEST_P(DatabaseOnEach, shouldCreateTheSchemaOnceAndReopenHarmlessly)
{
    {
        auto db = create();
        EXPECT_TRUE(db->wasCreated());
        EXPECT_EQ(db->schemaVersion(), LatestSchemaVersion());
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'Keep me')"));
    }
    auto again = create();
    EXPECT_FALSE(again->wasCreated());
    EXPECT_EQ(again->schemaVersion(), LatestSchemaVersion());
    EXPECT_EQ(Count(*again, QStringLiteral("Vendors")), 1);
    auto existing = Database::open(td.settings(), OpenMode::ExistingOnly);
    EXPECT_EQ(existing->info(QStringLiteral("Application")), QStringLiteral("zeltpc5-host"));
}

TEST_P(DatabaseOnEach, shouldApplyOnlyTheMissingMigrations)
{
    {
        auto db = create();
        // Make it look like a database from before the second migration.
        db->execute(QStringLiteral("DROP INDEX IX_Discounts_Lookup"));
        db->execute(QStringLiteral("DROP INDEX IX_OptionDefaults_Product"));
        db->execute(QStringLiteral("DROP INDEX IX_OptionDetailSettings_Location"));
        // ... and the third.
        db->execute(QStringLiteral("DROP INDEX UX_QuoteLines_QuoteUniqueID"));
        if (td.backend() == Backend::PostgreSQL)
            db->execute(
                QStringLiteral("ALTER TABLE QuoteLines DROP CONSTRAINT CK_QuoteLines_UniqueID"));
        db->setInfo(QStringLiteral("SchemaVersion"), QStringLiteral("1"));
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (7, 'Kept')"));
    }
    auto db = create();
    EXPECT_EQ(CurrentSchemaVersion(*db), LatestSchemaVersion());
    EXPECT_EQ(db->select(td.backend() == Backend::SQLite
                             ? QStringLiteral("SELECT name FROM sqlite_master WHERE type = "
                                              "'index' AND name = 'IX_Discounts_Lookup'")
                             : QStringLiteral("SELECT indexname FROM pg_indexes WHERE indexname "
                                              "= 'ix_discounts_lookup'"))
                  .rows.size(),
              1u);
    EXPECT_EQ(Count(*db, QStringLiteral("Vendors")), 1);
}

TEST_F(DatabaseTest, shouldRefuseForeignAndMissingFilesNamingThePathAndLeavingThemAlone)
{
    // Given a text file, an empty file, an SQLite file of another program and no file
    const QString text = path("notes.txt");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database\n");
    }
    const QString empty = path("empty.db");
    {
        QFile f(empty);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString other = path("other.db");
    {
        QSqlDatabase c =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        c.setDatabaseName(other);
        ASSERT_TRUE(c.open());
        QSqlQuery(c).exec(QStringLiteral("CREATE TABLE Accounts (ID INTEGER)"));
        c.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    const QByteArray textBefore = contents(text);
    const QByteArray otherBefore = contents(other);

    // Then each is refused with its path in the message, in both modes, and not touched
    for (OpenMode mode : {OpenMode::CreateIfMissing, OpenMode::ExistingOnly}) {
        for (const QString &file : {text, empty, other}) {
            const QString error = openError(file, mode);
            EXPECT_TRUE(error.contains(file)) << error.toStdString();
        }
    }
    EXPECT_TRUE(openError(text, OpenMode::CreateIfMissing).contains(u"not an SQLite file"));
    EXPECT_TRUE(
        openError(other, OpenMode::CreateIfMissing).contains(u"not a zeltpc5-host database"));
    EXPECT_EQ(contents(text), textBefore);
    EXPECT_EQ(contents(other), otherBefore);
    EXPECT_EQ(QFile(empty).size(), 0);

    const QString missing = path("missing.db");
    EXPECT_TRUE(openError(missing, OpenMode::ExistingOnly).contains(u"init-db"));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_TRUE(openError(dir.path(), OpenMode::CreateIfMissing).contains(u"folder"));
}

// Opening a named pipe waits for a writer, and a device may never end or swallow what is
// written: neither is opened, directly or through a link; a link to a database is fine.
TEST_F(DatabaseTest, shouldRefuseAPipeOrADeviceWithoutOpeningIt)
{
    const QString fifo = path("pipe.db");
    ASSERT_TRUE(zeltpc5::testing::MakeFifo(fifo));
    const QString linkToFifo = path("link-to-pipe.db");
    ASSERT_TRUE(QFile::link(fifo, linkToFifo));
    const QString linkToNull = path("link-to-null.db");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), linkToNull));

    const struct
    {
        QString file;
        const char *kind;
    } cases[] = {
        {fifo, "named pipe"},
        {linkToFifo, "named pipe"},
        {QStringLiteral("/dev/null"), "device"},
        {QStringLiteral("/dev/zero"), "device"},
        {linkToNull, "device"},
    };
    for (const auto &c : cases) {
        for (OpenMode mode : {OpenMode::CreateIfMissing, OpenMode::ExistingOnly}) {
            SCOPED_TRACE(c.file.toStdString());
            bool blocked = false;
            const QString error = zeltpc5::testing::RunBesideFifo(
                fifo, [&] { return openError(c.file, mode); }, &blocked);
            EXPECT_FALSE(blocked);
            EXPECT_TRUE(error.contains(c.file)) << error.toStdString();
            EXPECT_TRUE(error.contains(QLatin1String(c.kind))) << error.toStdString();
        }
    }

    create("real.db")->execute(
        QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'Through a link')"));
    ASSERT_TRUE(QFile::link(path("real.db"), path("link.db")));
    auto linked =
        Database::open(ConnectionSettings::sqliteFile(path("link.db")), OpenMode::ExistingOnly);
    EXPECT_EQ(Count(*linked, QStringLiteral("Vendors")), 1);
}

// SQLite opens the write-ahead log and the journal beside the file when they are there: one
// that is a device would take the committed changes into nowhere.
TEST_F(DatabaseTest, shouldRefuseAJournalBesideTheDatabaseThatIsNoRegularFile)
{
    create();
    const QString wal = path("company.db") + QStringLiteral("-wal");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), wal));
    const QString error = openError(path("company.db"), OpenMode::ExistingOnly);
    EXPECT_TRUE(error.contains(wal)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"device")) << error.toStdString();
    // The link is left, and so is what it points at.
    EXPECT_TRUE(QFileInfo(wal).isSymLink());
}

TEST_F(DatabaseTest, shouldRefuseADatabaseOfANewerSchema)
{
    create()->setInfo(QStringLiteral("SchemaVersion"), QStringLiteral("99"));
    EXPECT_TRUE(openError(path("company.db"), OpenMode::ExistingOnly).contains(u"newer"));
}

TEST_P(DatabaseOnEach, shouldRollBackATransactionLeftWithoutCommit)
{
    auto db = create();
    try {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'A')"));
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'Duplicate')"));
        t.commit();
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.statement().contains(u"INSERT INTO Vendors"));
        EXPECT_FALSE(e.driverMessage().isEmpty());
    }
    EXPECT_EQ(Count(*db, QStringLiteral("Vendors")), 0);
    {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (2, 'B')"));
        t.commit();
    }
    EXPECT_EQ(Count(*db, QStringLiteral("Vendors")), 1);
}

TEST_F(DatabaseTest, shouldWaitForAnotherWriterInsteadOfFailing)
{
    create();
    const QString file = path("company.db");
    auto db = Database::open(ConnectionSettings::sqliteFile(file), OpenMode::ExistingOnly);
    // Every connection waits for a writer's lock rather than failing at once ...
    const ResultSet timeout = db->select(QStringLiteral("PRAGMA busy_timeout"));
    ASSERT_EQ(timeout.rows.size(), 1u);
    EXPECT_GE(timeout.rows[0][0].toInt(), 5000);

    // ... so that a write begun while another writer (its own connection, as another process
    // would have) holds the lock goes through once that writer commits.
    std::atomic<bool> locked{false};
    std::atomic<bool> attempting{false};
    std::atomic<bool> writerOk{false};
    std::thread other([&] {
        auto own = Database::open(ConnectionSettings::sqliteFile(file), OpenMode::ExistingOnly);
        Transaction t(*own);
        own->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'First')"));
        locked = true;
        locked.notify_all();
        attempting.wait(false);
        t.commit();
        writerOk = true;
    });
    locked.wait(false);
    attempting = true;
    attempting.notify_all();
    {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (2, 'Second')"));
        t.commit();
    }
    other.join();
    EXPECT_TRUE(writerOk);
    EXPECT_EQ(Count(*db, QStringLiteral("Vendors")), 2);
}

TEST(ConnectionSettings, shouldReadAPathOrADriverConnectionString)
{
    const auto file = ConnectionSettings::parse(QStringLiteral("/data/company=old.db"));
    EXPECT_TRUE(file.isSqlite());
    EXPECT_EQ(file.databaseName, QStringLiteral("/data/company=old.db"));

    const auto pg = ConnectionSettings::parse(
        QStringLiteral("driver=qpsql; host=db.local; port=5433; database=harbor; user=sales; "
                       "password=secret"));
    EXPECT_EQ(pg.driver, QStringLiteral("QPSQL"));
    EXPECT_EQ(pg.hostName, QStringLiteral("db.local"));
    EXPECT_EQ(pg.port, 5433);
    EXPECT_EQ(pg.databaseName, QStringLiteral("harbor"));
    EXPECT_EQ(pg.userName, QStringLiteral("sales"));
    EXPECT_FALSE(pg.describe().contains(u"secret"));
}

// Found by fuzzing: "driver=" with no name was taken for a driver that "is not installed".
TEST(ConnectionSettings, shouldRefuseAConnectionStringWithoutADriver)
{
    const auto none = ConnectionSettings::parse(QStringLiteral("driver=;database=harbor"));
    try {
        (void)Database::open(none, OpenMode::CreateIfMissing);
        FAIL() << "opened a connection without a driver";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The connection string names no database driver "
                                              "(driver=QSQLITE, driver=QPSQL, ...)."));
    }
}

// The host's quoting doubles apostrophes and nothing else: that is safe only where a
// backslash in a literal is a plain character, which MySQL and MariaDB must be told.
TEST(StatementsAfterConnect, shouldMakeBackslashesPlainCharactersWhereTheServerEscapes)
{
    for (const char *driver : {"QMYSQL", "QMARIADB", "qmysql"}) {
        SCOPED_TRACE(driver);
        const QStringList statements = StatementsAfterConnect(QString::fromLatin1(driver));
        ASSERT_EQ(statements.size(), 1);
        EXPECT_TRUE(statements[0].startsWith(u"SET SESSION sql_mode = "));
        EXPECT_TRUE(statements[0].contains(u"'NO_BACKSLASH_ESCAPES'"));
        // Added to the session's modes, not put in their place.
        EXPECT_TRUE(statements[0].contains(u"@@SESSION.sql_mode"));
    }
    EXPECT_EQ(StatementsAfterConnect(QStringLiteral("QPSQL")),
              QStringList({"SET standard_conforming_strings = on", "SET TIME ZONE 'UTC'"}));
    for (const char *driver : {"QSQLITE", "QODBC"}) {
        SCOPED_TRACE(driver);
        EXPECT_FALSE(
            StatementsAfterConnect(QString::fromLatin1(driver)).join(u'\n').contains(u"BACKSLASH"));
    }
    EXPECT_TRUE(StatementsAfterConnect(QStringLiteral("QSQLITE"))
                    .contains(QStringLiteral("PRAGMA foreign_keys = ON")));
}

// What the component reads comes back as it would from SQLite: names spelled as the schema or
// the statement spells them, text compared and ordered byte by byte, the original server's
// TOP, brackets and "+" translated.
TEST_P(DatabaseOnEach, shouldAnswerOutsideReadsAsOnSQLite)
{
    auto db = create();
    {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'V')"));
        db->execute(QStringLiteral("INSERT INTO Products (ID, ProductName, VendorID) VALUES (1, "
                                   "'P', 1)"));
        db->execute(QStringLiteral("INSERT INTO DiscountGroups (ID, GroupName, DiscountGroupType) "
                                   "VALUES (1, 'G', 1)"));
        const QString rule = QStringLiteral(
            "INSERT INTO Discounts (ID, DiscountGroupID, DiscountLevel, ProductID, Style, "
            "OptionName, OptionValue, Discount) VALUES (?, 1, 3, 1, ?, ?, ?, ?)");
        int id = 0;
        for (const char *style : {"Standard", "Standard ", "standard"})
            for (const char *option : {"b", "B", "a", "_x", "Z"})
                db->execute(rule, {++id, QString::fromLatin1(style), QString::fromLatin1(option),
                                   QStringLiteral("It's ") + QString::fromLatin1(option), 12.5});
        t.commit();
    }
    const auto column = [&](const QString &sql, int index = 0) {
        QStringList values;
        for (const QVariantList &row : db->selectForeign(sql).rows)
            values << row.value(index).toString();
        return values;
    };

    const ResultSet all = db->selectForeign(QStringLiteral("SELECT * FROM Discounts WHERE ID = 1"));
    EXPECT_EQ(all.columns.join(u','),
              QStringLiteral("ID,DiscountGroupID,DiscountLevel,ProductID,Style,OptionName,"
                             "OptionValue,Discount,DiscountAD,High,Low,Margin,MarginAD"));
    const ResultSet named = db->selectForeign(
        QStringLiteral("SELECT optionname, Discount AS RateInPercent FROM Discounts WHERE ID = 1"));
    EXPECT_EQ(named.columns, QStringList({"OptionName", "RateInPercent"}));
    EXPECT_EQ(named.rows.front().value(1).toDouble(), 12.5);

    // Exact: case and trailing blanks count.
    for (const char *style : {"Standard", "Standard ", "standard"}) {
        EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM Discounts WHERE Style = '%1'")
                             .arg(QString::fromLatin1(style))),
                  QStringList{QStringLiteral("5")})
            << '"' << style << '"';
    }
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM Discounts WHERE Style = 'STANDARD'")),
              QStringList{QStringLiteral("0")});
    // Byte order, whatever the server's locale would say.
    EXPECT_EQ(column(QStringLiteral(
                  "SELECT OptionName FROM Discounts WHERE Style = 'Standard' ORDER BY OptionName")),
              QStringList({"B", "Z", "_x", "a", "b"}));

    EXPECT_EQ(column(QStringLiteral("SELECT TOP 2 [OptionName] FROM [Discounts] WHERE [Style] = "
                                    "'standard' ORDER BY [ID] DESC")),
              QStringList({"Z", "_x"}));
    const ResultSet joined = db->selectForeign(QStringLiteral(
        "SELECT OptionName + ': ' + OptionValue AS Label FROM Discounts WHERE ID = 2"));
    EXPECT_EQ(joined.columns, QStringList{QStringLiteral("Label")});
    EXPECT_EQ(joined.rows.front().value(0).toString(), QStringLiteral("B: It's B"));
}

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseOnEach, zeltpc5::testing::AllBackends(),
                         zeltpc5::testing::BackendName);

// A server connection lost in the middle of a write (the server restarted, the session was
// ended): a clear message, and the server has kept nothing of the transaction.
TEST(PostgreSqlDatabase, aWriteWhoseConnectionIsLostSaysSoAndWritesNothing)
{
    TestDatabase td(Backend::PostgreSQL);
    ZELTPC5_SKIP_WITHOUT(td);
    auto db = Database::open(td.settings(), OpenMode::CreateIfMissing);
    try {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'Half')"));
        ASSERT_EQ(td.endOtherSessions(), 1);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (2, 'Written')"));
        t.commit();
        FAIL() << "the write went through without its connection";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("The connection to QPSQL database ") +
                                           td.settings().databaseName + QStringLiteral(" on ")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(u"was lost; nothing of this step was written"))
            << e.message().toStdString();
    }
    db.reset();
    EXPECT_EQ(td.rows(QStringLiteral("SELECT COUNT(*) FROM Vendors")), QStringList{"0"});

    // Lost between the last statement and the commit: the same.
    db = Database::open(td.settings(), OpenMode::ExistingOnly);
    try {
        Transaction t(*db);
        db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (1, 'Half')"));
        ASSERT_EQ(td.endOtherSessions(), 1);
        t.commit();
        FAIL() << "the commit went through without its connection";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"was lost; nothing of this step was written"))
            << e.message().toStdString();
    }
    EXPECT_EQ(td.rows(QStringLiteral("SELECT COUNT(*) FROM Vendors")), QStringList{"0"});
}
