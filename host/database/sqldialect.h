// The component writes its statements for the host's original database server, which
// limits rows with "SELECT TOP n ...". Drivers that limit rows with a trailing
// "LIMIT n" (SQLite, PostgreSQL, MySQL) get those statements rewritten here, from a
// tokenised statement, never by text search on arbitrary SQL.
#pragma once

#include <QString>

#include <optional>

namespace zeltpc5::host {

enum class SqlDialect {
    TopClause,   // SQL Server and its ODBC drivers: TOP is native
    LimitClause, // SQLite, PostgreSQL, MySQL/MariaDB
};

// The dialect of a QtSql driver name ("QSQLITE", "QPSQL", "QODBC", ...).
SqlDialect DialectOfDriver(const QString &driverName);

struct TranslatedStatement
{
    QString text;        // the statement to run
    bool isRead = false; // a single SELECT: safe to answer from a session cache
};

// The statement made runnable under the dialect. Nothing, with the reason in *error,
// for text that cannot be run safely: several statements at once, an unterminated
// literal or comment, and TOP forms that have no LIMIT equivalent (PERCENT, WITH TIES,
// a TOP query combined by UNION/INTERSECT/EXCEPT, or one that already has a LIMIT).
std::optional<TranslatedStatement> TranslateStatement(const QString &sql, SqlDialect dialect,
                                                      QString *error = nullptr);

} // namespace zeltpc5::host
