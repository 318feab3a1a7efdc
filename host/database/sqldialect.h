// The component writes its statements for the host's original database server, which
// limits rows with "SELECT TOP n ...", quotes names in brackets and joins text with "+".
// Drivers that limit rows with a trailing "LIMIT n" (SQLite, PostgreSQL, MySQL) get those
// statements rewritten here, from a tokenised statement, never by text search on arbitrary
// SQL.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zeltpc5::host {

enum class SqlDialect {
    TopClause,   // SQL Server and its ODBC drivers: TOP is native
    LimitClause, // SQLite, MySQL/MariaDB
    // LIMIT, and names folded to lower case unless quoted: a quoted name is folded here, so
    // that it finds what the unquoted names of the schema made, as on the other servers.
    PostgreSql,
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
// Beside TOP: "+" next to a text literal joins text ("||"), and under PostgreSql a quoted
// name ([Name], "Name", `Name`) becomes "name".
// Under PostgreSql, a plain read of one of tablesWithID (no order, grouping, join or call in
// its columns) gets "ORDER BY ID": the order SQLite gives such a read.
std::optional<TranslatedStatement> TranslateStatement(const QString &sql, SqlDialect dialect,
                                                      QString *error = nullptr,
                                                      const QStringList &tablesWithID = {});

// The names in a statement as written (words, and quoted names without their quotes), in
// order: a server that folds names reports result columns in lower case, and this is where
// their spelling is found again. Empty for text that does not tokenise.
QStringList StatementNames(const QString &sql);

} // namespace zeltpc5::host
