// The company database of the reference host: one connection through QtSql. SQLite in one
// file is the default; any other QtSql driver is reached by a connection string. Opening
// checks that the database is one this host made (or creates it when asked), brings its
// schema up to date, and never writes into a file it did not create.
#pragma once

#include "host/database/sqldialect.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

namespace zeltpc5::host {

// The one error type of the database layer: what went wrong, and where a statement
// failed, the statement and the driver's message.
class DatabaseError : public std::runtime_error
{
public:
    explicit DatabaseError(const QString &message, const QString &statement = QString(),
                           const QString &driverMessage = QString());
    const QString &message() const { return m_message; }
    const QString &statement() const { return m_statement; }
    const QString &driverMessage() const { return m_driverMessage; }

private:
    QString m_message;
    QString m_statement;
    QString m_driverMessage;
};

// Where the database lives. A plain text is an SQLite file path; a text of key=value pairs
// separated by ";" names a driver and its settings, for example
// "driver=QPSQL;host=db.example;port=5432;database=company;user=sales;password=...".
// Keys: driver, database (or file), host, port, user, password, options.
struct ConnectionSettings
{
    QString driver = QStringLiteral("QSQLITE");
    QString databaseName;
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString options;

    static ConnectionSettings parse(const QString &text);
    static ConnectionSettings sqliteFile(const QString &path);
    bool isSqlite() const;
    // For messages: the file path, or driver and database without the password.
    QString describe() const;
};

// The statements every connection runs right after it connects, for a QtSql driver name.
// SQLite: foreign keys enforced and every commit synced. MySQL, MariaDB and PostgreSQL:
// backslashes in literals are plain characters, as in standard SQL, since the host's quoting
// only doubles apostrophes (a text ending in a backslash would otherwise escape its closing
// quote). PostgreSQL: dates in UTC.
QStringList StatementsAfterConnect(const QString &driverName);

enum class OpenMode {
    ExistingOnly,    // the database must exist and be this host's
    CreateIfMissing, // a missing SQLite file (or an empty server database) is created
};

struct ResultSet
{
    QStringList columns;
    std::vector<QVariantList> rows; // a SQL NULL is a null QVariant
};

class Database
{
public:
    // Opens, checks and, where needed, creates or upgrades the schema. Throws DatabaseError
    // with a message naming the path for a missing, unreadable or foreign database.
    static std::shared_ptr<Database> open(const ConnectionSettings &settings, OpenMode mode);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const ConnectionSettings &settings() const;
    SqlDialect dialect() const;
    // True when this open made the database (so it holds no company data yet).
    bool wasCreated() const;
    int schemaVersion() const;

    // The host's own statements, with values bound to "?" placeholders. Throw DatabaseError.
    ResultSet select(const QString &sql, const QVariantList &values = {}) const;
    int execute(const QString &sql, const QVariantList &values = {});

    // A read written by the component (or any outside caller), translated for this driver
    // and run without bound values. Only a single SELECT is run: the read services never
    // change the company's data. Throws DatabaseError.
    ResultSet selectForeign(const QString &sql) const;

    // Host settings kept in the database (table HostInfo).
    QString info(const QString &name, const QString &defaultValue = QString()) const;
    void setInfo(const QString &name, const QString &value);

    QSqlDatabase connection() const;

    struct Private;

private:
    Database();
    friend class Transaction;
    std::unique_ptr<Private> d;
};

// A date as the database keeps it: SQLite stores the text form the component reads
// (2024-01-31T00:00:00); server databases get a real timestamp. An invalid date is NULL.
QVariant DateValue(const Database &db, const QDateTime &utc);

// A write transaction: commits on commit(), rolls back when left without it. On SQLite it
// takes the write lock at once, so that two processes wait for each other (busy timeout)
// instead of failing half-way.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &m_db;
    bool m_open = false;
};

} // namespace zeltpc5::host
