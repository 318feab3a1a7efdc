#include "testdatabase.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <cstdlib>
#include <optional>

namespace zeltpc5::testing {

namespace {

const QString ClusterScript = QStringLiteral(ZELTPC5_SOURCE_DIR "/scripts/with-postgres.sh");

bool ServerBinaryInstalled()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists(versions.filePath(version + QStringLiteral("/bin/initdb"))))
            return true;
    }
    return false;
}

// The cluster this process started, stopped when the process ends.
struct OwnCluster
{
    QString folder;
    QString connection;
    ~OwnCluster()
    {
        if (!folder.isEmpty())
            std::system(QStringLiteral("'%1' --stop '%2'")
                            .arg(ClusterScript, folder)
                            .toLocal8Bit()
                            .constData());
    }
};

// The server's connection string (to its maintenance database), or why there is none: an
// empty reason means a fault, to be failed rather than skipped.
struct Server
{
    std::optional<host::ConnectionSettings> settings;
    QString skipReason;
    QString fault;
};

const Server &TheServer()
{
    static OwnCluster own;
    static const Server server = [] {
        Server s;
        QString connection = qEnvironmentVariable("ZELTPC5_TEST_PG");
        if (connection.isEmpty()) {
            if (!ServerBinaryInstalled()) {
                s.skipReason = QStringLiteral(
                    "PostgreSQL: no server binary installed (/usr/lib/postgresql/*/bin/initdb); "
                    "install the postgresql package or set ZELTPC5_TEST_PG");
                return s;
            }
            QProcess script;
            script.start(QStringLiteral("bash"), {ClusterScript, QStringLiteral("--start")});
            if (!script.waitForFinished(120000) || script.exitCode() != 0) {
                s.fault = QStringLiteral("PostgreSQL: the test cluster did not start: ") +
                          QString::fromLocal8Bit(script.readAllStandardError());
                return s;
            }
            const QStringList lines =
                QString::fromLocal8Bit(script.readAllStandardOutput()).split(u'\n');
            own.folder = lines.value(0);
            connection = lines.value(1);
        }
        s.settings = host::ConnectionSettings::parse(connection);
        return s;
    }();
    return server;
}

// A connection of the test's own to a server database.
class Session
{
public:
    explicit Session(const host::ConnectionSettings &settings)
        : m_name(QStringLiteral("test-") + QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, m_name);
        db.setDatabaseName(settings.databaseName);
        db.setHostName(settings.hostName);
        if (settings.port > 0)
            db.setPort(settings.port);
        db.setUserName(settings.userName);
        db.setPassword(settings.password);
        db.open();
    }
    ~Session() { QSqlDatabase::removeDatabase(m_name); }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }
    bool run(const QString &statement, QString *error = nullptr, int *rows = nullptr)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.isOpen()) {
            if (error)
                *error = db.lastError().text();
            return false;
        }
        QSqlQuery q(db);
        if (!q.exec(statement)) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        if (rows)
            *rows = q.size();
        return true;
    }

private:
    QString m_name;
};

} // namespace

void PrintTo(Backend backend, std::ostream *os)
{
    *os << (backend == Backend::SQLite ? "SQLite" : "PostgreSQL");
}

std::string BackendName(const ::testing::TestParamInfo<Backend> &info)
{
    return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

QString UnavailableReason(Backend backend)
{
    if (backend == Backend::SQLite)
        return QString();
    const Server &server = TheServer();
    if (server.settings)
        return QString();
    if (!server.fault.isEmpty()) {
        ADD_FAILURE() << server.fault.toStdString();
        return server.fault;
    }
    return server.skipReason;
}

TestDatabase::TestDatabase(Backend backend) : m_backend(backend)
{
    if (backend == Backend::SQLite) {
        m_settings =
            host::ConnectionSettings::sqliteFile(m_dir.filePath(QStringLiteral("company.db")));
        return;
    }
    m_skipReason = UnavailableReason(backend);
    if (!m_skipReason.isEmpty())
        return;
    const Server &server = TheServer();
    m_serverDatabase =
        QStringLiteral("zeltpc5_test_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    Session admin(*server.settings);
    QString error;
    // Ordered as a server set up for people orders (ICU, en-US) where the server has ICU: the
    // host must not depend on the server's own order.
    if (!admin.run(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' "
                                  "LOCALE_PROVIDER icu ICU_LOCALE 'en-US' LOCALE 'C.UTF-8'")
                       .arg(m_serverDatabase)) &&
        !admin.run(QStringLiteral("CREATE DATABASE %1").arg(m_serverDatabase), &error)) {
        ADD_FAILURE() << "PostgreSQL: cannot make a test database: " << error.toStdString();
        m_skipReason = error;
        m_serverDatabase.clear();
        return;
    }
    m_settings = *server.settings;
    m_settings.databaseName = m_serverDatabase;
}

TestDatabase::~TestDatabase()
{
    if (m_serverDatabase.isEmpty())
        return;
    // FORCE ends the sessions still on it (a host process a failed test left behind).
    Session(*TheServer().settings)
        .run(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_serverDatabase));
}

QString TestDatabase::location() const
{
    if (m_backend == Backend::SQLite)
        return m_settings.databaseName;
    QString text = QStringLiteral("driver=QPSQL;host=%1;database=%2;user=%3")
                       .arg(m_settings.hostName, m_settings.databaseName, m_settings.userName);
    if (m_settings.port > 0)
        text += QStringLiteral(";port=%1").arg(m_settings.port);
    if (!m_settings.password.isEmpty())
        text += QStringLiteral(";password=") + m_settings.password;
    return text;
}

bool TestDatabase::run(const QStringList &statements, QString *error) const
{
    Session session(m_settings);
    for (const QString &statement : statements) {
        if (!session.run(statement, error))
            return false;
    }
    return true;
}

QStringList TestDatabase::rows(const QString &sql) const
{
    Session session(m_settings);
    QStringList rows;
    {
        QSqlQuery q(session.database());
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return rows;
        }
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << q.value(i).toString();
            rows << fields.join(u'\t');
        }
    }
    return rows;
}

int TestDatabase::endOtherSessions() const
{
    if (m_backend != Backend::PostgreSQL)
        return 0;
    Session session(m_settings);
    int ended = 0;
    session.run(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                               "datname = current_database() AND pid <> pg_backend_pid()"),
                nullptr, &ended);
    return ended;
}

} // namespace zeltpc5::testing
