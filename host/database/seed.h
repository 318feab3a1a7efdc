// The demo company "Harbor Blinds & Shades": catalogue, pricing tables, customers, charges
// and two quotes whose line documents are complete. The catalogue is the one listed in
// docs/demo-company.md, which the product files keep to as well.
#pragma once

namespace zeltpc5::host {

class Database;

// Fills a database that holds no company data yet, in one transaction. Throws
// DatabaseError when the database already holds the demo company or a statement fails.
void SeedDemoCompany(Database &db);
bool HasDemoCompany(const Database &db);

} // namespace zeltpc5::host
