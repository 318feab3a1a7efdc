#include "host/database/database.h"

#include "host/database/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeltpc5::host {

namespace {

constexpr int BusyTimeoutMs = 10000;
const QString ApplicationMarker = QStringLiteral("zeltpc5-host");

QString NativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Why what is at path (a symbolic link is followed) is not a regular file, the one kind
// that can be opened without waiting: opening a FIFO waits for a writer, and reading a device
// may never end. Empty for a regular file or for nothing at all.
QString NotRegularFile(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    if (S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is a folder, not a database file.").arg(NativePath(path));
    const char *kind = S_ISFIFO(st.st_mode)                         ? "a named pipe (FIFO)"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                    : "not a regular file";
    return QStringLiteral("%1 is %2, not a database file; it is left alone.")
        .arg(NativePath(path), QLatin1String(kind));
}

// Why an existing file is not one SQLite can open as ours; empty when it looks fine.
QString CheckExistingFile(const QString &path)
{
    // Opened without waiting and looked at again, in case the path changed since the check.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("Cannot read the database %1: %2.")
            .arg(NativePath(path), QString::fromLocal8Bit(std::strerror(errno)));
    QFile file;
    struct stat st;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("Cannot read the database %1: %2.")
            .arg(NativePath(path), file.errorString());
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("%1 is not a regular file, not a database file; it is left alone.")
            .arg(NativePath(path));
    if (file.size() == 0)
        return QStringLiteral("%1 is an empty file that zeltpc5-host did not create; it is left "
                              "alone. Remove it or choose another path.")
            .arg(NativePath(path));
    static const QByteArray sqliteHeader("SQLite format 3\0", 16);
    if (file.read(16) != sqliteHeader)
        return QStringLiteral("%1 is not a zeltpc5-host database (it is not an SQLite file); "
                              "it is left alone.")
            .arg(NativePath(path));
    return QString();
}

void Bind(QSqlQuery &q, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
}

// Column names as SQLite reports them, where the server reports them folded to lower case:
// a column of the schema as the schema spells it, another name (an alias) as the statement
// does. Readers find the columns of a record by name.
QString Spelled(const QString &column, const QStringList &statementNames)
{
    const QString schema = SchemaNameSpelling(column);
    if (schema != column)
        return schema;
    for (const QString &name : statementNames) {
        if (name.size() == column.size() && name.compare(column, Qt::CaseInsensitive) == 0)
            return name;
    }
    return column;
}

ResultSet Collect(QSqlQuery &q, bool foldedNames = false, const QString &sql = QString())
{
    ResultSet rs;
    const QSqlRecord record = q.record();
    const int columns = record.count();
    rs.columns.reserve(columns);
    const QStringList names = foldedNames ? StatementNames(sql) : QStringList();
    for (int i = 0; i < columns; ++i)
        rs.columns << (foldedNames ? Spelled(record.fieldName(i), names) : record.fieldName(i));
    while (q.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row << q.value(i);
        rs.rows.push_back(std::move(row));
    }
    return rs;
}

} // namespace

DatabaseError::DatabaseError(const QString &message, const QString &statement,
                             const QString &driverMessage)
    : std::runtime_error(message.toStdString()), m_message(message), m_statement(statement),
      m_driverMessage(driverMessage)
{}

ConnectionSettings ConnectionSettings::sqliteFile(const QString &path)
{
    ConnectionSettings s;
    s.databaseName = path;
    return s;
}

ConnectionSettings ConnectionSettings::parse(const QString &text)
{
    if (!text.contains(u'=') || !text.contains(QStringLiteral("driver="), Qt::CaseInsensitive))
        return sqliteFile(text);
    ConnectionSettings s;
    const QStringList parts = text.split(u';', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed().toLower();
        const QString value = part.mid(eq + 1).trimmed();
        if (key == u"driver")
            s.driver = value.toUpper();
        else if (key == u"database" || key == u"file")
            s.databaseName = value;
        else if (key == u"host")
            s.hostName = value;
        else if (key == u"port")
            s.port = value.toInt();
        else if (key == u"user")
            s.userName = value;
        else if (key == u"password")
            s.password = value;
        else if (key == u"options")
            s.options = value;
    }
    return s;
}

bool ConnectionSettings::isSqlite() const
{
    return driver.compare(QStringLiteral("QSQLITE"), Qt::CaseInsensitive) == 0;
}

QString ConnectionSettings::describe() const
{
    if (isSqlite())
        return NativePath(databaseName);
    QString text = driver + QStringLiteral(" database ") + databaseName;
    if (!hostName.isEmpty())
        text += QStringLiteral(" on ") + hostName;
    return text;
}

QStringList StatementsAfterConnect(const QString &driverName)
{
    const QString driver = driverName.toUpper();
    if (driver == u"QSQLITE")
        return {QStringLiteral("PRAGMA foreign_keys = ON"),
                QStringLiteral("PRAGMA synchronous = FULL")};
    if (driver == u"QMYSQL" || driver == u"QMYSQL3" || driver == u"QMARIADB")
        return {QStringLiteral("SET SESSION sql_mode = CONCAT_WS(',', "
                               "NULLIF(@@SESSION.sql_mode, ''), 'NO_BACKSLASH_ESCAPES')")};
    // The first is the default since PostgreSQL 9.1, but a server may be set otherwise. Dates
    // are kept as UTC without a zone; the driver sends them as UTC with one, which the server
    // would otherwise shift to its own time zone.
    if (driver == u"QPSQL")
        return {QStringLiteral("SET standard_conforming_strings = on"),
                QStringLiteral("SET TIME ZONE 'UTC'")};
    return {};
}

struct Database::Private
{
    ConnectionSettings settings;
    QString connectionName;
    SqlDialect dialect = SqlDialect::LimitClause;
    bool created = false;
    int schemaVersion = 0;

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName, false); }
    bool foldsNames() const { return dialect == SqlDialect::PostgreSql; }
    [[noreturn]] void fail(const QString &message, const QString &statement,
                           const QSqlError &error) const
    {
        if (connectionLost(error))
            throw DatabaseError(LostConnectionMessage(settings), statement, error.text());
        throw DatabaseError(message, statement, error.text());
    }
    // A server connection that broke (the server stopped, the session was ended, the network
    // went away): the server has rolled back what the session had not committed.
    bool connectionLost(const QSqlError &error) const
    {
        if (settings.isSqlite())
            return false;
        const QString code = error.nativeErrorCode();
        if (code.startsWith(QLatin1String("08")) || code == u"57P01" || code == u"57P02" ||
            code == u"57P03")
            return true;
        if (!code.isEmpty())
            return false;
        // No state at all: the client library gave up. A live session answers a probe, if only
        // with an error of its own (a failed transaction refuses every statement with a state).
        QSqlQuery probe(db());
        return !probe.exec(QStringLiteral("SELECT 1")) &&
               probe.lastError().nativeErrorCode().isEmpty();
    }
    static QString LostConnectionMessage(const ConnectionSettings &settings)
    {
        return QStringLiteral("The connection to %1 was lost; nothing of this step was written. "
                              "Check that the database server is running and try again.")
            .arg(settings.describe());
    }
};

Database::Database() : d(std::make_unique<Private>()) {}

Database::~Database()
{
    if (d->connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = d->db();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(d->connectionName);
}

std::shared_ptr<Database> Database::open(const ConnectionSettings &settings, OpenMode mode)
{
    // "driver=" with nothing after it: QtSql would add a connection without a driver and
    // report it as a driver that "is not installed".
    if (settings.driver.isEmpty())
        throw DatabaseError(QStringLiteral("The connection string names no database driver "
                                           "(driver=QSQLITE, driver=QPSQL, ...)."));
    std::shared_ptr<Database> self(new Database);
    Private &p = *self->d;
    p.settings = settings;
    p.dialect = DialectOfDriver(settings.driver);

    QString path;
    if (settings.isSqlite()) {
        if (settings.databaseName.isEmpty())
            throw DatabaseError(QStringLiteral("No database file was given."));
        path = QFileInfo(settings.databaseName).absoluteFilePath();
        p.settings.databaseName = path;
        // Checked before anything opens them. SQLite also opens the journal and write-ahead
        // log beside the file when they exist, and would wait on those as on the file itself.
        for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
            const QString problem = NotRegularFile(path + QLatin1String(suffix));
            if (!problem.isEmpty())
                throw DatabaseError(problem);
        }
        if (QFileInfo::exists(path)) {
            const QString problem = CheckExistingFile(path);
            if (!problem.isEmpty())
                throw DatabaseError(problem);
        } else if (mode == OpenMode::ExistingOnly) {
            throw DatabaseError(QStringLiteral("There is no database at %1. Create it with: "
                                               "zeltpc5-host init-db --db %1")
                                    .arg(NativePath(path)));
        } else {
            const QString folder = QFileInfo(path).absolutePath();
            if (!QDir().mkpath(folder))
                throw DatabaseError(
                    QStringLiteral("Cannot create the folder %1.").arg(NativePath(folder)));
            p.created = true;
        }
    }

    if (!QSqlDatabase::isDriverAvailable(settings.driver))
        throw DatabaseError(QStringLiteral("The database driver %1 is not installed (needed for "
                                           "%2).")
                                .arg(settings.driver, p.settings.describe()));
    p.connectionName = QStringLiteral("zeltpc5-host-") + QUuid::createUuid().toString();
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, p.connectionName);
    db.setDatabaseName(p.settings.databaseName);
    if (!settings.hostName.isEmpty())
        db.setHostName(settings.hostName);
    if (settings.port > 0)
        db.setPort(settings.port);
    if (!settings.userName.isEmpty())
        db.setUserName(settings.userName);
    if (!settings.password.isEmpty())
        db.setPassword(settings.password);
    QString options = settings.options;
    if (settings.isSqlite())
        options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs) +
                  (options.isEmpty() ? QString() : QStringLiteral(";") + options);
    db.setConnectOptions(options);

    // A file this open created is removed again if setting it up fails: nothing of the
    // user's is lost, and no half-made database is left behind.
    auto discardCreatedFile = [&] {
        if (!p.created || path.isEmpty())
            return;
        db.close();
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path + QLatin1String(suffix));
    };
    try {
        if (!db.open())
            throw DatabaseError(QStringLiteral("Cannot open the database %1: %2")
                                    .arg(p.settings.describe(), db.lastError().text()));
        // A statement that fails here fails the open: a session without its settings is not
        // safe to use.
        for (const QString &statement : StatementsAfterConnect(settings.driver)) {
            // Run as it stands: a server may not prepare a SET.
            QSqlQuery q(db);
            if (!q.exec(statement))
                throw DatabaseError(
                    QStringLiteral("Cannot set up the session on %1.").arg(p.settings.describe()),
                    statement, q.lastError().text());
        }
        // Committed transactions survive a killed process with either journal; the
        // write-ahead log also lets readers go on while another process writes.
        if (settings.isSqlite() && p.created)
            self->select(QStringLiteral("PRAGMA journal_mode = WAL"));

        const QStringList tables = db.tables(QSql::Tables);
        const bool ours = tables.contains(QStringLiteral("HostInfo"), Qt::CaseInsensitive) &&
                          self->info(QStringLiteral("Application")) == ApplicationMarker;
        if (!ours) {
            // Only a file this open made, or a server database with no tables, is ours to fill.
            const bool blank = tables.isEmpty() && (p.created || !settings.isSqlite());
            if (!blank)
                throw DatabaseError(QStringLiteral("%1 is not a zeltpc5-host database; it is "
                                                   "left alone.")
                                        .arg(p.settings.describe()));
            if (mode == OpenMode::ExistingOnly)
                throw DatabaseError(QStringLiteral("%1 holds no zeltpc5-host database yet. "
                                                   "Create it with: zeltpc5-host init-db")
                                        .arg(p.settings.describe()));
            p.created = true;
        }
        const int current = ours ? CurrentSchemaVersion(*self) : 0;
        if (current > LatestSchemaVersion())
            throw DatabaseError(QStringLiteral("%1 was made by a newer zeltpc5-host (schema %2; "
                                               "this program knows up to %3).")
                                    .arg(p.settings.describe())
                                    .arg(current)
                                    .arg(LatestSchemaVersion()));
        MigrateSchema(*self, current);
        p.schemaVersion = LatestSchemaVersion();
    } catch (...) {
        discardCreatedFile();
        throw;
    }
    return self;
}

const ConnectionSettings &Database::settings() const
{
    return d->settings;
}

SqlDialect Database::dialect() const
{
    return d->dialect;
}

bool Database::wasCreated() const
{
    return d->created;
}

int Database::schemaVersion() const
{
    return d->schemaVersion;
}

QSqlDatabase Database::connection() const
{
    return d->db();
}

namespace {

// A statement without values is run as it stands: servers prepare only queries and data
// changes, not definitions (PostgreSQL answers a prepared CREATE TABLE with a syntax error).
void Run(const Database::Private &p, QSqlQuery &q, const QString &sql, const QVariantList &values)
{
    if (values.isEmpty()) {
        if (!q.exec(sql))
            p.fail(QStringLiteral("A statement failed."), sql, q.lastError());
        return;
    }
    if (!q.prepare(sql))
        p.fail(QStringLiteral("A statement could not be prepared."), sql, q.lastError());
    Bind(q, values);
    if (!q.exec())
        p.fail(QStringLiteral("A statement failed."), sql, q.lastError());
}

} // namespace

ResultSet Database::select(const QString &sql, const QVariantList &values) const
{
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    Run(*d, q, sql, values);
    return Collect(q, d->foldsNames(), sql);
}

int Database::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(d->db());
    Run(*d, q, sql, values);
    return q.numRowsAffected();
}

ResultSet Database::selectForeign(const QString &sql) const
{
    QString why;
    const auto translated = TranslateStatement(sql, d->dialect, &why, SchemaTablesWithID());
    if (!translated)
        throw DatabaseError(QStringLiteral("The statement cannot be run: ") + why, sql);
    if (!translated->isRead)
        throw DatabaseError(QStringLiteral("Only SELECT statements are run for a read."), sql);
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!q.exec(translated->text))
        d->fail(QStringLiteral("A statement failed."), translated->text, q.lastError());
    return Collect(q, d->foldsNames(), translated->text);
}

QString Database::info(const QString &name, const QString &defaultValue) const
{
    const ResultSet rs =
        select(QStringLiteral("SELECT Value FROM HostInfo WHERE Name = ?"), {name});
    return rs.rows.empty() ? defaultValue : rs.rows.front().value(0).toString();
}

void Database::setInfo(const QString &name, const QString &value)
{
    if (execute(QStringLiteral("UPDATE HostInfo SET Value = ? WHERE Name = ?"), {value, name}) < 1)
        execute(QStringLiteral("INSERT INTO HostInfo (Name, Value) VALUES (?, ?)"), {name, value});
}

QVariant DateValue(const Database &db, const QDateTime &utc)
{
    if (!utc.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    if (db.settings().isSqlite())
        return utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return utc;
}

Transaction::Transaction(Database &db) : m_db(db)
{
    QSqlDatabase c = db.connection();
    bool ok;
    QSqlError error;
    if (db.settings().isSqlite()) {
        QSqlQuery q(c);
        ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
        error = q.lastError();
    } else {
        ok = c.transaction();
        error = c.lastError();
    }
    if (!ok && db.d->connectionLost(error))
        throw DatabaseError(Database::Private::LostConnectionMessage(db.settings()),
                            QStringLiteral("BEGIN"), error.text());
    if (!ok)
        throw DatabaseError(
            QStringLiteral("Cannot start a transaction on %1.").arg(db.settings().describe()),
            QStringLiteral("BEGIN"), error.text());
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.connection().rollback();
}

void Transaction::commit()
{
    QSqlDatabase c = m_db.connection();
    if (!c.commit()) {
        const QSqlError error = c.lastError();
        c.rollback();
        m_open = false;
        if (m_db.d->connectionLost(error))
            throw DatabaseError(Database::Private::LostConnectionMessage(m_db.settings()),
                                QStringLiteral("COMMIT"), error.text());
        throw DatabaseError(QStringLiteral("Cannot commit to %1.").arg(m_db.settings().describe()),
                            QStringLiteral("COMMIT"), error.text());
    }
    m_open = false;
}

} // namespace zeltpc5::host
