// Typed adapter over the host's service object (SharedCodeLibrary). Later code calls these
// methods and never spells member paths. Every call is error-suppressed: a missing member or
// a failing call gives empty text, 0, false or nothing.
#pragma once

#include "xml/xmldocument.h"

#include <zeltpc5/dispatch.h>

#include <QHash>
#include <QString>

#include <any>
#include <functional>
#include <memory>
#include <optional>

namespace zeltpc5 {

// The SQL session of one change run (SharedCodeLibrary.ZELTSQL).
class SqlSession
{
public:
    SqlSession() = default;
    explicit SqlSession(DispatchPtr session) : m_session(std::move(session)) {}
    bool isValid() const { return bool(m_session); }

    void setSessionCachingEnabled(bool enabled);
    // The rows "Records/Record" as XML text; empty when the query fails.
    QString ExecuteRead(const QString &sql);
    // The same rows parsed. With session caching on, a statement already read in this session
    // is not parsed again: the document is shared, so callers only read it.
    std::optional<XmlDocument> ExecuteReadDocument(const QString &sql);
    // The first column of the first row as a 32-bit number.
    qint32 ExecuteScaler(const QString &sql, const Variant &second, const Variant &third);
    void PreTerminate();

private:
    DispatchPtr m_session;
    std::shared_ptr<QHash<QString, XmlDocument>> m_documents; // while caching is on
};

// The company connection (SharedCodeLibrary.CurrentCompanyConn).
class CompanyConnection
{
public:
    CompanyConnection() = default;
    explicit CompanyConnection(DispatchPtr conn) : m_conn(std::move(conn)) {}
    bool isValid() const { return bool(m_conn); }
    void Close();

private:
    DispatchPtr m_conn;
};

class HostServices
{
public:
    HostServices() = default;
    explicit HostServices(DispatchPtr sharedCodeLibrary) : m_scl(std::move(sharedCodeLibrary)) {}
    bool isValid() const { return bool(m_scl); }
    const DispatchPtr &object() const { return m_scl; }

    // From now on this object (and its copies) answers a repeated Database.ExecuteRead or
    // Common.ExecuteSelect of the same statement from memory, and so the company options,
    // product facts (file, name, sources, vendor) and record fields: for one change run,
    // during which the company's settings do not change.
    void cacheReads();
    // Security: opaque values handed unchanged to the product engine.
    Variant SecuritySID() const;
    Variant SecurityOID() const;
    Variant SecurityOrganizationName() const;

    SqlSession ZELTSQL() const;
    // SharedCodeLibrary.Database.ExecuteRead: rows "Records/Record" as XML text.
    QString DatabaseExecuteRead(const QString &sql) const;
    // The same rows parsed. While reads are cached the parsed document is kept as well and
    // shared, so callers only read it.
    std::optional<XmlDocument> DatabaseReadDocument(const QString &sql) const;
    CompanyConnection CurrentCompanyConn() const;

    // Common.*
    QString ExecuteSelect(const QString &sql) const; // rows "Results/Record" as XML text
    // The same rows parsed, kept and shared as DatabaseReadDocument keeps them.
    std::optional<XmlDocument> SelectDocument(const QString &sql) const;
    // The record goes to the host as a node object (see xmlnodeobject.h), as the host's
    // record reader takes it.
    QString GetFieldValue2(const XmlNode &record, const QString &fieldName) const;
    QString GetFieldValue(const QString &recordsXml, const QString &columnName,
                          const QString &defaultValue) const;
    // The template with {0}.. filled by one to three values.
    QString BuildString(const QString &templateText, const VariantList &values) const;
    QString GetProductNameFromID(qint32 productID) const;
    QString GetProductFileFromID2(qint32 productID) const;
    qint32 GetProductPriceSource(qint32 productID) const;
    qint32 GetProductCostSource(qint32 productID) const;
    qint32 GetProductPriceMarginSource(qint32 productID) const;
    QString GetVendorIDFromProductID(qint32 productID) const;
    QString GetVendorName(const QString &vendorID) const;

    // Options.GetCompanyOption
    // Nothing when the host cannot answer (no host, a failing or missing member), which is
    // not the same as an option set to the empty text.
    std::optional<QString> GetCompanyOption(const QString &section, const QString &key,
                                            const QString &defaultValue) const;

    // The host's item dialogs; the by-reference arguments carry the user's choice back.
    bool ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                bool styleOnly) const;
    bool ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                             QString &priceCostXML, qint32 mode) const;
    void ShowMessageStyle1(const QString &heading, const QString &text) const;
    void ShowMessageStyle1WithMemory(const QString &heading, const QString &text) const;

    // A value a caller derives from cached reads, kept for the run under the caller's key (a
    // key names one kind of value). Only a value is kept: nothing is made again next time.
    // Without cached reads it is made every time.
    template <class T>
    std::optional<T> cachedValue(const QString &key,
                                 const std::function<std::optional<T>()> &make) const
    {
        if (!m_values)
            return make();
        if (const auto it = m_values->constFind(key); it != m_values->constEnd()) {
            if (const T *kept = std::any_cast<T>(&*it))
                return *kept;
        }
        std::optional<T> value = make();
        if (value)
            m_values->insert(key, *value);
        return value;
    }

private:
    Variant common(QStringView member, VariantList args) const;
    // A Common member whose answer depends only on its arguments and the company's data,
    // which do not change during a run: asked once per run while reads are cached.
    Variant cachedCommon(QStringView member, VariantList args) const;
    QString cachedRead(const QString &key, const std::function<QString()> &read) const;
    std::optional<XmlDocument> cachedDocument(const QString &key,
                                              const std::function<QString()> &read) const;
    DispatchPtr m_scl;
    std::shared_ptr<QHash<QString, QString>> m_reads;         // while caching reads
    std::shared_ptr<QHash<QString, XmlDocument>> m_documents; // the same reads parsed
    std::shared_ptr<QHash<QString, Variant>> m_answers;       // of cachedCommon
    std::shared_ptr<QHash<QString, std::any>> m_values;       // of cachedValue
};

} // namespace zeltpc5
