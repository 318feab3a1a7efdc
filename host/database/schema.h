// The schema of the company database, as numbered migrations. A database records each
// migration it has received; opening it applies the missing ones in one transaction, so
// creating or upgrading twice is harmless.
#pragma once

#include <QString>
#include <QStringList>

namespace zeltpc5::host {

class Database;

int LatestSchemaVersion();
// The highest migration recorded in the database (0 for a database without the table).
int CurrentSchemaVersion(const Database &db);
// Applies the migrations after `fromVersion`; throws DatabaseError and leaves the database
// as it was when one fails.
void MigrateSchema(Database &db, int fromVersion);

// A table or column name of the schema as the schema spells it, found ignoring case ("vendorname"
// gives "VendorName"); the name itself when the schema has no such name.
QString SchemaNameSpelling(const QString &name);

// The tables of the schema whose key is a column ID.
const QStringList &SchemaTablesWithID();

// A statement of the schema as the driver is to run it. PostgreSQL: text columns are TEXT
// compared byte by byte (COLLATE "C"), as SQLite keeps and compares them: no length limit, and
// the same order whatever the server's locale.
QString StatementForDriver(const QString &statement, const QString &driverName);

} // namespace zeltpc5::host
