// The company database a test runs on, as a test parameter: an SQLite file in a temporary
// folder, or a database of its own on a PostgreSQL server. The server is the one named by
// ZELTPC5_TEST_PG (scripts/with-postgres.sh sets it); without it, a throwaway cluster is
// started for the test process when the server binaries are installed.
#pragma once

#include "host/database/database.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zeltpc5::testing {

enum class Backend { SQLite, PostgreSQL };

void PrintTo(Backend backend, std::ostream *os);
// For INSTANTIATE_TEST_SUITE_P: "SQLite", "PostgreSQL".
std::string BackendName(const ::testing::TestParamInfo<Backend> &info);
inline auto AllBackends()
{
    return ::testing::Values(Backend::SQLite, Backend::PostgreSQL);
}

// Why the backend cannot be had on this machine; empty when it can. A server that should be
// there and fails is a test failure, not a reason to skip.
QString UnavailableReason(Backend backend);

// A fresh, empty database for one test, removed again at its end.
class TestDatabase
{
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    Backend backend() const { return m_backend; }
    // False when the backend cannot be had on this machine; skipReason() says why.
    bool available() const { return m_skipReason.isEmpty(); }
    const QString &skipReason() const { return m_skipReason; }

    host::ConnectionSettings settings() const { return m_settings; }
    // What --db takes: the file path, or the connection string.
    QString location() const;
    // A folder for the test's other files.
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Runs statements on a connection of the test's own, beside the host's; false with the
    // driver's message in *error when one fails.
    bool run(const QStringList &statements, QString *error = nullptr) const;
    // The rows of a query on a connection of the test's own, each as its values joined by tabs.
    QStringList rows(const QString &sql) const;
    // Ends every other session on this database, as a server restart or a broken network
    // would (PostgreSQL only): what they had not committed is rolled back.
    int endOtherSessions() const;

private:
    Backend m_backend;
    QTemporaryDir m_dir;
    host::ConnectionSettings m_settings;
    QString m_skipReason;
    QString m_serverDatabase; // the database made on the server, dropped at the end
};

} // namespace zeltpc5::testing

// Skips the test, with the reason, when its database cannot be had here.
#define ZELTPC5_SKIP_WITHOUT(testDatabase)                                                         \
    do {                                                                                           \
        if (!(testDatabase).available())                                                           \
            GTEST_SKIP() << (testDatabase).skipReason().toStdString();                             \
    } while (false)
