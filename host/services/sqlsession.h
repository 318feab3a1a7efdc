// The SQL objects of the host: the session ZELTSQL (a new one on every read of the
// property, with an optional cache of identical reads), the Database object, the document
// a read returns and the company connection.
#pragma once

#include "host/database/database.h"

#include <zeltpc5/dispatch.h>

#include <QHash>
#include <QLoggingCategory>

#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcHostSql)

namespace zeltpc5::host {

// A read's result as the component receives it: an object whose "xml" property gives the
// record set text.
DispatchPtr MakeXmlDocument(QString xml);

// Runs an outside statement and gives its rows as "<root><Record>..." text; nothing when it
// fails, with the reason on standard error.
std::optional<QString> ReadRecordSet(const Database &db, const QString &sql,
                                     const QString &rootName);

// The answers of the service object's own one-value reads (product columns, company options,
// vendors) while a run of the component is under way. A run opens a SQL session with caching
// on and ends it with PreTerminate; in between, the component accepts that a repeated read
// gives the answer it got first (its session answers repeated statements from memory), so
// the service object may answer its repeated reads the same way. With no such session open
// nothing is kept: a change another writer made between two runs is read by the next one.
class RunCache
{
public:
    // A session with caching on began or ended.
    void begin() { ++m_sessions; }
    void end();
    bool active() const { return m_sessions > 0; }

    // A read's answer: nothing when not kept; a kept answer may itself be "no value".
    std::optional<std::optional<QVariant>> find(const QString &key) const;
    void insert(const QString &key, const std::optional<QVariant> &value);
    // The key of a statement with its values.
    static QString Key(const QString &sql, const QVariantList &values);

private:
    int m_sessions = 0;
    QHash<QString, std::optional<QVariant>> m_values;
};

// ZELTSQL: ExecuteRead, ExecuteScaler, SessionCachingEnabled, PreTerminate. While its caching
// is on, the session keeps the run cache open (see RunCache).
class SqlSessionObject : public DispatchObject
{
public:
    explicit SqlSessionObject(std::shared_ptr<const Database> db,
                              std::shared_ptr<RunCache> runCache = {});
    ~SqlSessionObject() override;

    // The record set text of a read; nothing when the statement fails.
    std::optional<QString> executeRead(const QString &sql);
    // The first column of the first row as a 32-bit number; the default when there is no
    // row, the value is NULL or does not convert, or the statement fails.
    qint32 executeScaler(const QString &sql, qint32 defaultValue);
    bool cachingEnabled() const { return m_caching; }
    void setCachingEnabled(bool on);
    // Ends the session: drops the cache. Later calls still work, uncached.
    void preTerminate();
    int cachedStatements() const { return int(m_reads.size() + m_scalars.size()); }

private:
    std::shared_ptr<const Database> m_db;
    std::shared_ptr<RunCache> m_runCache;
    bool m_caching = false;
    QHash<QString, QString> m_reads;
    QHash<QString, std::optional<QVariant>> m_scalars; // nothing: the statement gave no row
};

// SharedCodeLibrary.Database: ExecuteRead without a cache.
DispatchPtr MakeDatabaseObject(std::shared_ptr<const Database> db);

// SharedCodeLibrary.CurrentCompanyConn: State (1 open, 0 closed), ConnectionString (no
// password) and Close.
DispatchPtr MakeCompanyConnection(std::shared_ptr<const Database> db);

} // namespace zeltpc5::host
