#include "host/services/sqlsession.h"

#include "host/services/recordsxml.h"

Q_LOGGING_CATEGORY(lcHostSql, "zeltpc5.host.sql")

namespace zeltpc5::host {

namespace {

// A change run touches a few statements per product, style and option; the bound only
// keeps a pathological caller from growing the session without limit.
constexpr qsizetype MaxCachedStatements = 20000;

MemberTable::Handler Getter(std::function<Variant(Dispatch &)> f)
{
    return [f = std::move(f)](Dispatch &self, VariantList &, Variant &result) {
        result = f(self);
        return Status();
    };
}

class XmlDocument : public DispatchObject
{
public:
    explicit XmlDocument(QString xml)
        : DispatchObject(QStringLiteral("DOMDocument"), &table()), m_xml(std::move(xml))
    {}

private:
    static const MemberTable &table()
    {
        static const MemberTable t = [] {
            MemberTable m;
            m.property(QStringLiteral("xml"), 1, Getter([](Dispatch &self) {
                           return MakeString(static_cast<XmlDocument &>(self).m_xml);
                       }));
            return m;
        }();
        return t;
    }
    QString m_xml;
};

const MemberTable &SessionTable()
{
    static const MemberTable t = [] {
        MemberTable m;
        m.method(QStringLiteral("ExecuteRead"), 1, 1,
                 [](Dispatch &self, VariantList &args, Variant &result) {
                     ArgReader r(args);
                     const QString sql = r.text(0);
                     if (!r.ok())
                         return r.status();
                     const auto xml = static_cast<SqlSessionObject &>(self).executeRead(sql);
                     result = MakeObject(xml ? MakeXmlDocument(*xml) : DispatchPtr());
                     return Status();
                 });
        // The second argument names nothing this host needs (the component passes the
        // empty text); it is accepted and ignored.
        m.method(QStringLiteral("ExecuteScaler"), 2, 1, 3,
                 [](Dispatch &self, VariantList &args, Variant &result) {
                     ArgReader r(args);
                     const QString sql = r.text(0);
                     if (!r.ok())
                         return r.status();
                     const qint32 defaultValue = args.size() > 2 ? ToInt32(args[2]).value_or(0) : 0;
                     result = MakeInt32(
                         static_cast<SqlSessionObject &>(self).executeScaler(sql, defaultValue));
                     return Status();
                 });
        m.property(QStringLiteral("SessionCachingEnabled"), 3, Getter([](Dispatch &self) {
                       return MakeBool(static_cast<SqlSessionObject &>(self).cachingEnabled());
                   }),
                   [](Dispatch &self, VariantList &args, Variant &) {
                       ArgReader r(args);
                       const bool on = r.boolean(int(args.size()) - 1);
                       if (!r.ok())
                           return r.status();
                       static_cast<SqlSessionObject &>(self).setCachingEnabled(on);
                       return Status();
                   });
        m.method(QStringLiteral("PreTerminate"), 4, 0,
                 [](Dispatch &self, VariantList &, Variant &) {
                     static_cast<SqlSessionObject &>(self).preTerminate();
                     return Status();
                 });
        return m;
    }();
    return t;
}

class DatabaseObject : public DispatchObject
{
public:
    explicit DatabaseObject(std::shared_ptr<const Database> db)
        : DispatchObject(QStringLiteral("Database"), &table()), m_db(std::move(db))
    {}

private:
    static const MemberTable &table()
    {
        static const MemberTable t = [] {
            MemberTable m;
            m.method(QStringLiteral("ExecuteRead"), 1, 1,
                     [](Dispatch &self, VariantList &args, Variant &result) {
                         ArgReader r(args);
                         const QString sql = r.text(0);
                         if (!r.ok())
                             return r.status();
                         const auto xml = ReadRecordSet(*static_cast<DatabaseObject &>(self).m_db,
                                                        sql, QStringLiteral("Records"));
                         result = MakeObject(xml ? MakeXmlDocument(*xml) : DispatchPtr());
                         return Status();
                     });
            return m;
        }();
        return t;
    }
    std::shared_ptr<const Database> m_db;
};

class CompanyConnection : public DispatchObject
{
public:
    explicit CompanyConnection(std::shared_ptr<const Database> db)
        : DispatchObject(QStringLiteral("Connection"), &table()), m_db(std::move(db))
    {}

private:
    static const MemberTable &table()
    {
        static const MemberTable t = [] {
            MemberTable m;
            m.method(QStringLiteral("Close"), 1, 0, [](Dispatch &self, VariantList &, Variant &) {
                static_cast<CompanyConnection &>(self).m_open = false;
                return Status();
            });
            m.property(QStringLiteral("State"), 2, Getter([](Dispatch &self) {
                           return MakeInt32(static_cast<CompanyConnection &>(self).m_open ? 1 : 0);
                       }));
            m.property(QStringLiteral("ConnectionString"), 3, Getter([](Dispatch &self) {
                           return MakeString(
                               static_cast<CompanyConnection &>(self).m_db->settings().describe());
                       }));
            return m;
        }();
        return t;
    }
    std::shared_ptr<const Database> m_db;
    bool m_open = true;
};

} // namespace

DispatchPtr MakeXmlDocument(QString xml)
{
    return DispatchPtr(new XmlDocument(std::move(xml)));
}

std::optional<QString> ReadRecordSet(const Database &db, const QString &sql,
                                     const QString &rootName)
{
    try {
        return RecordSetXml(db.selectForeign(sql), rootName);
    } catch (const DatabaseError &e) {
        qCWarning(lcHostSql).noquote()
            << e.message() << e.driverMessage().trimmed() << "Statement:" << sql;
        return std::nullopt;
    }
}

void RunCache::end()
{
    if (m_sessions > 0 && --m_sessions == 0)
        m_values.clear();
}

std::optional<std::optional<QVariant>> RunCache::find(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

void RunCache::insert(const QString &key, const std::optional<QVariant> &value)
{
    if (!active())
        return;
    if (m_values.size() >= MaxCachedStatements)
        m_values.clear();
    m_values.insert(key, value);
}

QString RunCache::Key(const QString &sql, const QVariantList &values)
{
    // Each value with its type and length, so that no two lists of values share a key.
    QString key;
    key.reserve(sql.size() + 32 * values.size());
    key += sql;
    for (const QVariant &v : values) {
        const QString text = v.toString();
        key += u'\n';
        key += QString::number(v.typeId());
        key += u':';
        key += QString::number(text.size());
        key += u':';
        key += text;
    }
    return key;
}

SqlSessionObject::SqlSessionObject(std::shared_ptr<const Database> db,
                                   std::shared_ptr<RunCache> runCache)
    : DispatchObject(QStringLiteral("ZELTSQL"), &SessionTable()), m_db(std::move(db)),
      m_runCache(std::move(runCache))
{}

SqlSessionObject::~SqlSessionObject()
{
    // A run that never ended its session ends it here.
    setCachingEnabled(false);
}

void SqlSessionObject::setCachingEnabled(bool on)
{
    if (m_runCache && on != m_caching) {
        if (on)
            m_runCache->begin();
        else
            m_runCache->end();
    }
    m_caching = on;
    if (!on) {
        m_reads.clear();
        m_scalars.clear();
    }
}

void SqlSessionObject::preTerminate()
{
    setCachingEnabled(false);
}

std::optional<QString> SqlSessionObject::executeRead(const QString &sql)
{
    if (m_caching) {
        const auto it = m_reads.constFind(sql);
        if (it != m_reads.constEnd())
            return *it;
    }
    auto xml = ReadRecordSet(*m_db, sql, QStringLiteral("Records"));
    // Only a successful read is kept: a failure is tried again.
    if (m_caching && xml) {
        if (m_reads.size() >= MaxCachedStatements)
            m_reads.clear();
        m_reads.insert(sql, *xml);
    }
    return xml;
}

qint32 SqlSessionObject::executeScaler(const QString &sql, qint32 defaultValue)
{
    std::optional<QVariant> first;
    const auto it = m_caching ? m_scalars.constFind(sql) : m_scalars.constEnd();
    if (it != m_scalars.constEnd()) {
        first = *it;
    } else {
        try {
            const ResultSet rs = m_db->selectForeign(sql);
            if (!rs.rows.empty() && !rs.rows.front().isEmpty())
                first = rs.rows.front().front();
            if (m_caching) {
                if (m_scalars.size() >= MaxCachedStatements)
                    m_scalars.clear();
                m_scalars.insert(sql, first);
            }
        } catch (const DatabaseError &e) {
            qCWarning(lcHostSql).noquote()
                << e.message() << e.driverMessage().trimmed() << "Statement:" << sql;
            return defaultValue;
        }
    }
    if (!first || first->isNull())
        return defaultValue;
    return ToInt32(FromSqlValue(*first)).value_or(defaultValue);
}

DispatchPtr MakeDatabaseObject(std::shared_ptr<const Database> db)
{
    return DispatchPtr(new DatabaseObject(std::move(db)));
}

DispatchPtr MakeCompanyConnection(std::shared_ptr<const Database> db)
{
    return DispatchPtr(new CompanyConnection(std::move(db)));
}

} // namespace zeltpc5::host
