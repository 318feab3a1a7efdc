#include "engine/hostservices.h"

#include "engine/latebound.h"
#include "engine/xmlnodeobject.h"

namespace zeltpc5 {

using namespace latebound;

void SqlSession::setSessionCachingEnabled(bool enabled)
{
    latebound::PutQuietly(m_session, u"SessionCachingEnabled", MakeBool(enabled));
    if (enabled && !m_documents)
        m_documents = std::make_shared<QHash<QString, XmlDocument>>();
    else if (!enabled)
        m_documents.reset();
}

std::optional<XmlDocument> SqlSession::ExecuteReadDocument(const QString &sql)
{
    if (m_documents) {
        const auto it = m_documents->constFind(sql);
        if (it != m_documents->constEnd())
            return *it;
    }
    auto doc = XmlDocument::parse(ExecuteRead(sql));
    // Only answers are kept, as the session keeps them: a failed read is tried again.
    if (doc && m_documents)
        m_documents->insert(sql, *doc);
    return doc;
}

QString SqlSession::ExecuteRead(const QString &sql)
{
    return XmlText(latebound::CallQuietly(m_session, u"ExecuteRead", {sql}));
}

qint32 SqlSession::ExecuteScaler(const QString &sql, const Variant &second, const Variant &third)
{
    return Int32(latebound::CallQuietly(m_session, u"ExecuteScaler", {sql, second, third}));
}

void SqlSession::PreTerminate()
{
    latebound::CallQuietly(m_session, u"PreTerminate");
}

void CompanyConnection::Close()
{
    latebound::CallQuietly(m_conn, u"Close");
}

Variant HostServices::SecuritySID() const
{
    return zeltpc5::Get(Walk(m_scl, {u"Security"}), u"SID").value;
}

Variant HostServices::SecurityOID() const
{
    return zeltpc5::Get(Walk(m_scl, {u"Security"}), u"OID").value;
}

Variant HostServices::SecurityOrganizationName() const
{
    return zeltpc5::Get(Walk(m_scl, {u"Security"}), u"OrganizationName").value;
}

SqlSession HostServices::ZELTSQL() const
{
    return SqlSession(Walk(m_scl, {u"ZELTSQL"}));
}

void HostServices::cacheReads()
{
    m_reads = std::make_shared<QHash<QString, QString>>();
    m_documents = std::make_shared<QHash<QString, XmlDocument>>();
    m_answers = std::make_shared<QHash<QString, Variant>>();
    m_values = std::make_shared<QHash<QString, std::any>>();
}

std::optional<XmlDocument> HostServices::cachedDocument(const QString &key,
                                                        const std::function<QString()> &read) const
{
    if (m_documents) {
        const auto it = m_documents->constFind(key);
        if (it != m_documents->constEnd())
            return *it;
    }
    auto doc = XmlDocument::parse(read());
    // As with the texts, only answers are kept: a failed read is tried again.
    if (doc && m_documents)
        m_documents->insert(key, *doc);
    return doc;
}

QString HostServices::cachedRead(const QString &key, const std::function<QString()> &read) const
{
    if (!m_reads)
        return read();
    const auto it = m_reads->constFind(key);
    if (it != m_reads->constEnd())
        return *it;
    const QString text = read();
    if (!text.isEmpty())
        m_reads->insert(key, text);
    return text;
}

QString HostServices::DatabaseExecuteRead(const QString &sql) const
{
    return cachedRead(QStringLiteral("Database:") + sql, [&] {
        return XmlText(latebound::CallQuietly(Walk(m_scl, {u"Database"}), u"ExecuteRead", {sql}));
    });
}

std::optional<XmlDocument> HostServices::DatabaseReadDocument(const QString &sql) const
{
    return cachedDocument(QStringLiteral("Database:") + sql,
                          [&] { return DatabaseExecuteRead(sql); });
}

CompanyConnection HostServices::CurrentCompanyConn() const
{
    return CompanyConnection(Walk(m_scl, {u"CurrentCompanyConn"}));
}

Variant HostServices::common(QStringView member, VariantList args) const
{
    return latebound::CallQuietly(Walk(m_scl, {u"Common"}), member, args);
}

Variant HostServices::cachedCommon(QStringView member, VariantList args) const
{
    if (!m_answers)
        return common(member, std::move(args));
    QString key = member.toString();
    for (const Variant &arg : args)
        key +=
            QLatin1Char('\x1f') + QString::number(arg.typeId()) + QLatin1Char(':') + arg.toString();
    const auto it = m_answers->constFind(key);
    if (it != m_answers->constEnd())
        return *it;
    const Variant answer = common(member, std::move(args));
    // As with reads, a call that gave nothing is asked again.
    if (!answer.isNull())
        m_answers->insert(key, answer);
    return answer;
}

QString HostServices::ExecuteSelect(const QString &sql) const
{
    return cachedRead(QStringLiteral("Select:") + sql,
                      [&] { return XmlText(common(u"ExecuteSelect", {sql})); });
}

std::optional<XmlDocument> HostServices::SelectDocument(const QString &sql) const
{
    return cachedDocument(QStringLiteral("Select:") + sql, [&] { return ExecuteSelect(sql); });
}

QString HostServices::GetFieldValue2(const XmlNode &record, const QString &fieldName) const
{
    return Text(common(u"GetFieldValue2", {MakeObject(MakeXmlNodeObject(record)), fieldName}));
}

QString HostServices::GetFieldValue(const QString &recordsXml, const QString &columnName,
                                    const QString &defaultValue) const
{
    return Text(cachedCommon(u"GetFieldValue", {recordsXml, columnName, defaultValue}));
}

QString HostServices::BuildString(const QString &templateText, const VariantList &values) const
{
    VariantList args{templateText};
    args.append(values);
    return Text(common(u"BuildString", args));
}

QString HostServices::GetProductNameFromID(qint32 productID) const
{
    return Text(cachedCommon(u"GetProductNameFromID", {MakeInt32(productID)}));
}

QString HostServices::GetProductFileFromID2(qint32 productID) const
{
    return Text(cachedCommon(u"GetProductFileFromID2", {MakeInt32(productID)}));
}

qint32 HostServices::GetProductPriceSource(qint32 productID) const
{
    return Int32(cachedCommon(u"GetProductPriceSource", {MakeInt32(productID)}));
}

qint32 HostServices::GetProductCostSource(qint32 productID) const
{
    return Int32(cachedCommon(u"GetProductCostSource", {MakeInt32(productID)}));
}

qint32 HostServices::GetProductPriceMarginSource(qint32 productID) const
{
    return Int32(cachedCommon(u"GetProductPriceMarginSource", {MakeInt32(productID)}));
}

QString HostServices::GetVendorIDFromProductID(qint32 productID) const
{
    return Text(cachedCommon(u"GetVendorIDFromProductID", {MakeInt32(productID)}));
}

QString HostServices::GetVendorName(const QString &vendorID) const
{
    return Text(cachedCommon(u"GetVendorName", {vendorID}));
}

std::optional<QString> HostServices::GetCompanyOption(const QString &section, const QString &key,
                                                      const QString &defaultValue) const
{
    // Through the run's answers: the company's options do not change during a run.
    const QString cacheKey =
        QStringLiteral("Option\x1f%1\x1f%2\x1f%3").arg(section, key, defaultValue);
    if (m_answers) {
        const auto it = m_answers->constFind(cacheKey);
        if (it != m_answers->constEnd())
            return ToText(*it);
    }
    const std::optional<Variant> result = latebound::TryCall(
        Walk(m_scl, {u"Options"}), u"GetCompanyOption", {section, key, defaultValue});
    std::optional<QString> value = result ? ToText(*result) : std::nullopt;
    if (value && m_answers)
        m_answers->insert(cacheKey, *result);
    return value;
}

bool HostServices::ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                          bool styleOnly) const
{
    VariantList args{MakeInt32(vendorID), MakeInt32(productID), style, MakeBool(styleOnly)};
    Variant result;
    if (!CallByName(m_scl, u"ShowSelectProductStyle", CallType::Method, args, &result))
        return false;
    const bool confirmed = Boolean(result);
    if (confirmed) {
        vendorID = ToInt32(args[0]).value_or(vendorID);
        productID = ToInt32(args[1]).value_or(productID);
        style = ToText(args[2]).value_or(style);
    }
    return confirmed;
}

bool HostServices::ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                                       QString &priceCostXML, qint32 mode) const
{
    VariantList args{MakeInt32(productID), style,          itemXML,
                     priceCostXML,         MakeObject({}), MakeInt32(mode)};
    Variant result;
    if (!CallByName(m_scl, u"ShowEditProductItem", CallType::Method, args, &result))
        return false;
    const bool confirmed = Boolean(result);
    if (confirmed) {
        productID = ToInt32(args[0]).value_or(productID);
        style = ToText(args[1]).value_or(style);
        itemXML = ToText(args[2]).value_or(itemXML);
        priceCostXML = ToText(args[3]).value_or(priceCostXML);
    }
    return confirmed;
}

void HostServices::ShowMessageStyle1(const QString &heading, const QString &text) const
{
    latebound::CallQuietly(m_scl, u"ShowMessageStyle1", {heading, text});
}

void HostServices::ShowMessageStyle1WithMemory(const QString &heading, const QString &text) const
{
    latebound::CallQuietly(m_scl, u"ShowMessageStyle1WithMemory", {heading, text});
}

} // namespace zeltpc5
