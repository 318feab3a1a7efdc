#include "host/database/schema.h"

#include "host/database/database.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <utility>
#include <vector>

namespace zeltpc5::host {

namespace {

struct Migration
{
    int version;
    const char *description;
    std::vector<const char *> statements;
    // Drivers that need other statements for the same result: the driver, its statements.
    std::vector<std::pair<const char *, std::vector<const char *>>> byDriver = {};
    // Throws DatabaseError when the data already stored cannot take the migration.
    void (*precondition)(const Database &) = nullptr;
};

// The component receives a run's UniqueIDs joined by "|" and finds each ignoring case, so a
// UniqueID holding "|", an empty one, or two in one quote that differ only in case would
// make one line stand for another. Such lines are listed, and the upgrade refused, rather
// than renamed behind the user's back: a UniqueID may be known outside this database.
void RequireUsableUniqueIDs(const Database &db)
{
    constexpr int Listed = 10;
    QStringList faults;
    const ResultSet bad =
        db.select(QStringLiteral("SELECT q.QuoteNumber, l.Line, l.UniqueID FROM QuoteLines l "
                                 "LEFT JOIN Quotes q ON q.ID = l.QuoteID "
                                 "WHERE l.UniqueID = '' OR l.UniqueID LIKE '%|%' "
                                 "ORDER BY q.QuoteNumber, l.Line"));
    for (const QVariantList &row : bad.rows)
        faults << QStringLiteral("quote %1 line %2 (UniqueID \"%3\")")
                      .arg(row[0].toString(), row[1].toString(), row[2].toString());
    // Grouped, not compared line with line: a quote may hold tens of thousands of lines.
    const ResultSet shared =
        db.select(QStringLiteral("SELECT q.QuoteNumber, l.Line, l.UniqueID FROM QuoteLines l "
                                 "JOIN (SELECT QuoteID, LOWER(UniqueID) AS Folded FROM QuoteLines "
                                 "GROUP BY QuoteID, LOWER(UniqueID) HAVING COUNT(*) > 1) d "
                                 "ON d.QuoteID = l.QuoteID AND d.Folded = LOWER(l.UniqueID) "
                                 "LEFT JOIN Quotes q ON q.ID = l.QuoteID "
                                 "ORDER BY q.QuoteNumber, LOWER(l.UniqueID), l.Line"));
    for (const QVariantList &row : shared.rows)
        faults << QStringLiteral("quote %1 line %2 (UniqueID \"%3\", shared within the quote)")
                      .arg(row[0].toString(), row[1].toString(), row[2].toString());
    if (faults.isEmpty())
        return;
    const qsizetype total = faults.size();
    if (total > Listed) {
        faults = faults.mid(0, Listed);
        faults << QStringLiteral("and %1 more").arg(total - Listed);
    }
    throw DatabaseError(
        QStringLiteral("%1 cannot be upgraded: %2 quote line(s) have a UniqueID that is empty, "
                       "holds \"|\" or is shared (ignoring case) with another line of the same "
                       "quote: %3. Nothing was changed. Give each of these lines a UniqueID of its "
                       "own without \"|\" (for example with the sqlite3 program), then open the "
                       "database again.")
            .arg(db.settings().describe(), QString::number(total),
                 faults.join(QStringLiteral("; "))));
}

// Types are chosen to mean the same on SQLite and the server databases: INTEGER for
// identifiers, flags and codes; DOUBLE PRECISION for rates and amounts (a server's REAL
// would lose digits of a margin such as 0.35); TIMESTAMP for dates, which SQLite keeps as
// text in the form 2024-01-31T00:00:00. Identifiers are given by the writer, not generated,
// so that the same statements run everywhere.
const std::vector<Migration> &Migrations()
{
    static const std::vector<Migration> migrations{
        {1,
         "company tables, catalogue, pricing, charges, quotes",
         {
             "CREATE TABLE HostInfo (Name VARCHAR(100) NOT NULL PRIMARY KEY, "
             "Value VARCHAR(400) NOT NULL DEFAULT '')",
             "CREATE TABLE Vendors (ID INTEGER NOT NULL PRIMARY KEY, "
             "VendorName VARCHAR(100) NOT NULL, "
             "Margin DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "MarginAD DOUBLE PRECISION NOT NULL DEFAULT 0)",
             "CREATE TABLE Products (ID INTEGER NOT NULL PRIMARY KEY, "
             "ProductName VARCHAR(100) NOT NULL, "
             "ProductFile VARCHAR(260) NOT NULL DEFAULT '', "
             "VendorID INTEGER REFERENCES Vendors (ID), "
             "CostSource INTEGER NOT NULL DEFAULT 1, "
             "PriceSource INTEGER NOT NULL DEFAULT 2, "
             "PriceMarginSource INTEGER NOT NULL DEFAULT 0, "
             "OverrideProductSettings INTEGER NOT NULL DEFAULT 0, "
             "FractionRounding INTEGER NOT NULL DEFAULT 0, "
             "DimensionDisplayFormat VARCHAR(50) NOT NULL DEFAULT '', "
             "Active INTEGER NOT NULL DEFAULT 1)",
             "CREATE TABLE ProductStyles (ProductID INTEGER NOT NULL REFERENCES Products (ID), "
             "Style VARCHAR(100) NOT NULL, "
             "Sequence INTEGER NOT NULL DEFAULT 0, "
             "PRIMARY KEY (ProductID, Style))",
             "CREATE TABLE ProductVendors (ProductID INTEGER NOT NULL REFERENCES Products (ID), "
             "VendorID INTEGER NOT NULL REFERENCES Vendors (ID), "
             "PRIMARY KEY (ProductID, VendorID))",
             "CREATE TABLE OptionDefaults (ID INTEGER NOT NULL PRIMARY KEY, "
             "ProductID INTEGER REFERENCES Products (ID), "
             "OptionName VARCHAR(100) NOT NULL, "
             "OptionValue VARCHAR(400) NOT NULL DEFAULT '')",
             "CREATE TABLE DiscountGroups (ID INTEGER NOT NULL PRIMARY KEY, "
             "GroupName VARCHAR(100) NOT NULL, "
             "DiscountGroupType INTEGER NOT NULL)",
             "CREATE TABLE CustomerTypes (ID INTEGER NOT NULL PRIMARY KEY, "
             "TypeName VARCHAR(100) NOT NULL, "
             "RoundUnitPrice INTEGER NOT NULL DEFAULT 0, "
             "RoundUnitPriceTo INTEGER NOT NULL DEFAULT 0, "
             "RoundUnitPriceDirection INTEGER NOT NULL DEFAULT 0)",
             "CREATE TABLE Customers (ID INTEGER NOT NULL PRIMARY KEY, "
             "CustomerName VARCHAR(200) NOT NULL, "
             "City VARCHAR(100) NOT NULL DEFAULT '', "
             "CustomerTypeID INTEGER REFERENCES CustomerTypes (ID), "
             "DiscountGroupID INTEGER REFERENCES DiscountGroups (ID), "
             "CustomerDiscountGroupID INTEGER REFERENCES DiscountGroups (ID))",
             "CREATE TABLE Discounts (ID INTEGER NOT NULL PRIMARY KEY, "
             "DiscountGroupID INTEGER NOT NULL REFERENCES DiscountGroups (ID), "
             "DiscountLevel INTEGER NOT NULL, "
             "ProductID INTEGER NOT NULL REFERENCES Products (ID), "
             "Style VARCHAR(100) NOT NULL DEFAULT '', "
             "OptionName VARCHAR(100) NOT NULL DEFAULT '', "
             "OptionValue VARCHAR(400) NOT NULL DEFAULT '', "
             "Discount DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "DiscountAD DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "High DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "Low DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "Margin DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "MarginAD DOUBLE PRECISION NOT NULL DEFAULT 0)",
             "CREATE TABLE OptionDetailSettings (ID INTEGER NOT NULL PRIMARY KEY, "
             "Location INTEGER NOT NULL, "
             "Show INTEGER NOT NULL DEFAULT 1, "
             "Sequence INTEGER NOT NULL DEFAULT 0, "
             "Prefix VARCHAR(50) NOT NULL DEFAULT '', "
             "OptionName VARCHAR(100) NOT NULL, "
             "isBold INTEGER NOT NULL DEFAULT 0)",
             "CREATE TABLE AdditionalCharges (ID INTEGER NOT NULL PRIMARY KEY, "
             "ChargeType INTEGER NOT NULL, "
             "ApplyToPOs INTEGER NOT NULL DEFAULT 0, "
             "ChargeName VARCHAR(100) NOT NULL, "
             "ChargeCode VARCHAR(20) NOT NULL DEFAULT '', "
             "Criteria VARCHAR(2000) NOT NULL DEFAULT '', "
             "ChargeMethod INTEGER NOT NULL, "
             "Value DOUBLE PRECISION NOT NULL DEFAULT 0, "
             "Taxable INTEGER NOT NULL DEFAULT 0, "
             "StartsOn TIMESTAMP, "
             "EndsOn TIMESTAMP, "
             "AutoAddToQuotes INTEGER NOT NULL DEFAULT 0, "
             "AutoAddToOrders INTEGER NOT NULL DEFAULT 0, "
             "AutoAddToPOs INTEGER NOT NULL DEFAULT 0, "
             "IncludeWithProductItems INTEGER NOT NULL DEFAULT 0, "
             "Enabled INTEGER NOT NULL DEFAULT 1)",
             "CREATE TABLE CompanyOptions (Section VARCHAR(100) NOT NULL, "
             "OptionKey VARCHAR(100) NOT NULL, "
             "OptionValue VARCHAR(2000) NOT NULL DEFAULT '', "
             "PRIMARY KEY (Section, OptionKey))",
             "CREATE TABLE Quotes (ID INTEGER NOT NULL PRIMARY KEY, "
             "QuoteNumber VARCHAR(20) NOT NULL UNIQUE, "
             "CustomerID INTEGER NOT NULL REFERENCES Customers (ID), "
             "QuoteDate TIMESTAMP NOT NULL, "
             "Description VARCHAR(400) NOT NULL DEFAULT '')",
             "CREATE TABLE QuoteLines (ID INTEGER NOT NULL PRIMARY KEY, "
             "QuoteID INTEGER NOT NULL REFERENCES Quotes (ID), "
             "Line INTEGER NOT NULL, "
             "Quantity INTEGER NOT NULL DEFAULT 1, "
             "ProductID INTEGER NOT NULL REFERENCES Products (ID), "
             "Style VARCHAR(100) NOT NULL DEFAULT '', "
             "ItemXML TEXT NOT NULL, "
             "PriceCostXML TEXT NOT NULL, "
             "UniqueID VARCHAR(40) NOT NULL UNIQUE, "
             "UNIQUE (QuoteID, Line))",
         }},
        {2,
         "indexes for the lookups made on every priced line",
         {
             "CREATE INDEX IX_Discounts_Lookup ON Discounts (DiscountGroupID, DiscountLevel, "
             "ProductID, Style)",
             "CREATE INDEX IX_OptionDefaults_Product ON OptionDefaults (ProductID)",
             "CREATE INDEX IX_OptionDetailSettings_Location ON OptionDetailSettings (Location, "
             "Sequence)",
         }},
        {3,
         "each quote line's UniqueID non-empty, without \"|\", its own within the quote "
         "ignoring case",
         {
             "ALTER TABLE QuoteLines ADD CONSTRAINT CK_QuoteLines_UniqueID "
             "CHECK (UniqueID <> '' AND UniqueID NOT LIKE '%|%')",
             // These servers compare text ignoring case by default.
             "CREATE UNIQUE INDEX UX_QuoteLines_QuoteUniqueID ON QuoteLines (QuoteID, UniqueID)",
         },
         {
             // SQLite cannot add a constraint to a table: the table is made anew with it and
             // the lines copied over (nothing refers to QuoteLines).
             {"QSQLITE",
              {
                  "CREATE TABLE QuoteLines_New (ID INTEGER NOT NULL PRIMARY KEY, "
                  "QuoteID INTEGER NOT NULL REFERENCES Quotes (ID), "
                  "Line INTEGER NOT NULL, "
                  "Quantity INTEGER NOT NULL DEFAULT 1, "
                  "ProductID INTEGER NOT NULL REFERENCES Products (ID), "
                  "Style VARCHAR(100) NOT NULL DEFAULT '', "
                  "ItemXML TEXT NOT NULL, "
                  "PriceCostXML TEXT NOT NULL, "
                  "UniqueID VARCHAR(40) NOT NULL UNIQUE, "
                  "UNIQUE (QuoteID, Line), "
                  "CONSTRAINT CK_QuoteLines_UniqueID "
                  "CHECK (UniqueID <> '' AND UniqueID NOT LIKE '%|%'))",
                  "INSERT INTO QuoteLines_New (ID, QuoteID, Line, Quantity, ProductID, Style, "
                  "ItemXML, PriceCostXML, UniqueID) SELECT ID, QuoteID, Line, Quantity, "
                  "ProductID, Style, ItemXML, PriceCostXML, UniqueID FROM QuoteLines",
                  "DROP TABLE QuoteLines",
                  "ALTER TABLE QuoteLines_New RENAME TO QuoteLines",
                  "CREATE UNIQUE INDEX UX_QuoteLines_QuoteUniqueID ON QuoteLines (QuoteID, "
                  "LOWER(UniqueID))",
              }},
             // PostgreSQL compares text with case, as SQLite does.
             {"QPSQL",
              {
                  "ALTER TABLE QuoteLines ADD CONSTRAINT CK_QuoteLines_UniqueID "
                  "CHECK (UniqueID <> '' AND UniqueID NOT LIKE '%|%')",
                  "CREATE UNIQUE INDEX UX_QuoteLines_QuoteUniqueID ON QuoteLines (QuoteID, "
                  "LOWER(UniqueID))",
              }},
         },
         &RequireUsableUniqueIDs},
    };
    return migrations;
}

} // namespace

QString SchemaNameSpelling(const QString &name)
{
    static const QHash<QString, QString> spellings = [] {
        QHash<QString, QString> names;
        // Tables and indexes after their keyword; columns at the start of a definition.
        static const QRegularExpression table(
            QStringLiteral(R"(\b(?:TABLE|INDEX|ON|REFERENCES|TO)\s+([A-Za-z_]\w*))"));
        static const QRegularExpression column(
            QStringLiteral(R"([(,]\s*([A-Za-z_]\w*)\s+(?:INTEGER|VARCHAR|DOUBLE|TEXT|TIMESTAMP))"));
        auto collect = [&](const char *statement) {
            const QString text = QString::fromUtf8(statement);
            for (const QRegularExpression *re : {&table, &column}) {
                auto it = re->globalMatch(text);
                while (it.hasNext()) {
                    const QString found = it.next().captured(1);
                    names.insert(found.toLower(), found);
                }
            }
        };
        for (const Migration &m : Migrations()) {
            for (const char *statement : m.statements)
                collect(statement);
            for (const auto &[driver, own] : m.byDriver)
                for (const char *statement : own)
                    collect(statement);
        }
        return names;
    }();
    return spellings.value(name.toLower(), name);
}

const QStringList &SchemaTablesWithID()
{
    static const QStringList tables = [] {
        QStringList names;
        static const QRegularExpression keyed(
            QStringLiteral(R"(CREATE TABLE (\w+) \(ID INTEGER NOT NULL PRIMARY KEY)"));
        for (const Migration &m : Migrations())
            for (const char *statement : m.statements) {
                const auto match = keyed.match(QString::fromUtf8(statement));
                if (match.hasMatch())
                    names << match.captured(1);
            }
        return names;
    }();
    return tables;
}

QString StatementForDriver(const QString &statement, const QString &driverName)
{
    if (driverName.compare(QStringLiteral("QPSQL"), Qt::CaseInsensitive) != 0)
        return statement;
    static const QRegularExpression text(QStringLiteral(R"(\bVARCHAR\(\d+\)|\bTEXT\b)"));
    QString result = statement;
    return result.replace(text, QStringLiteral("TEXT COLLATE \"C\""));
}

int LatestSchemaVersion()
{
    return Migrations().back().version;
}

int CurrentSchemaVersion(const Database &db)
{
    const QString version = db.info(QStringLiteral("SchemaVersion"), QStringLiteral("0"));
    return version.toInt();
}

void MigrateSchema(Database &db, int fromVersion)
{
    if (fromVersion >= LatestSchemaVersion())
        return;
    Transaction transaction(db);
    for (const Migration &m : Migrations()) {
        if (m.version <= fromVersion)
            continue;
        if (m.precondition)
            m.precondition(db);
        const std::vector<const char *> *statements = &m.statements;
        for (const auto &[driver, own] : m.byDriver) {
            if (db.settings().driver.compare(QLatin1String(driver), Qt::CaseInsensitive) == 0)
                statements = &own;
        }
        for (const char *statement : *statements)
            db.execute(StatementForDriver(QString::fromUtf8(statement), db.settings().driver));
        if (m.version == 1)
            db.setInfo(QStringLiteral("Application"), QStringLiteral("zeltpc5-host"));
        db.setInfo(QStringLiteral("SchemaVersion"), QString::number(m.version));
        db.setInfo(QStringLiteral("Migration%1").arg(m.version),
                   QString::fromUtf8(m.description) + QStringLiteral(" (applied ") +
                       QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QStringLiteral(")"));
    }
    transaction.commit();
}

} // namespace zeltpc5::host
