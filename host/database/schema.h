// The schema of the company database, as numbered migrations. A database records each
// migration it has received; opening it applies the missing ones in one transaction, so
// creating or upgrading twice is harmless.
#pragma once

namespace zeltpc5::host {

class Database;

int LatestSchemaVersion();
// The highest migration recorded in the database (0 for a database without the table).
int CurrentSchemaVersion(const Database &db);
// Applies the migrations after `fromVersion`; throws DatabaseError and leaves the database
// as it was when one fails.
void MigrateSchema(Database &db, int fromVersion);

} // namespace zeltpc5::host
