// zeltpc5-host init-db: creates the company database (or brings an existing one up to
// date) and fills a new one with the demo company.
#include "host/app/command.h"

#include "host/database/seed.h"

namespace zeltpc5::host::app {

namespace {

int InitDatabase(CommandContext &c)
{
    const auto db = c.openDatabase(OpenMode::CreateIfMissing);
    const QString where = db->settings().describe();
    const bool wantDemo = !c.parser().isSet(QStringLiteral("no-demo"));
    if (HasDemoCompany(*db)) {
        c.out() << where << " is up to date (schema " << db->schemaVersion()
                << ") and holds the demo company." << Qt::endl;
        return 0;
    }
    const bool empty = db->select(QStringLiteral("SELECT ID FROM Products")).rows.empty();
    if (wantDemo && empty) {
        SeedDemoCompany(*db);
        const auto count = [&](const char *table) {
            return db->select(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)))
                .rows.front()
                .front()
                .toInt();
        };
        c.out() << (db->wasCreated() ? "Created " : "Filled ") << where << " (schema "
                << db->schemaVersion()
                << ") with the demo company \"Harbor Blinds & Shades\": " << count("Products")
                << " products, " << count("Customers") << " customers, " << count("Quotes")
                << " quotes with " << count("QuoteLines") << " lines." << Qt::endl;
        return 0;
    }
    if (db->wasCreated())
        c.out() << "Created " << where << " (schema " << db->schemaVersion()
                << ") without company data." << Qt::endl;
    else
        c.out() << where << " is up to date (schema " << db->schemaVersion() << ")"
                << (empty ? "; it holds no company data."
                          : "; its company data was left as it was.")
                << Qt::endl;
    return 0;
}

} // namespace

void AddDatabaseCommands(std::vector<Command> &commands)
{
    commands.push_back(
        {{QStringLiteral("init-db")},
         QString(),
         QStringLiteral("Create the company database with the demo company, or bring an "
                        "existing one up to date. Never touches a file it did not create."),
         {QCommandLineOption(QStringLiteral("no-demo"),
                             QStringLiteral("init-db: create the tables only, without the demo "
                                            "company."))},
         InitDatabase});
}

} // namespace zeltpc5::host::app
