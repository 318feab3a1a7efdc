#include "host/services/sharedcodelibrary.h"

#include "host/services/buildstring.h"
#include "host/services/recordsxml.h"
#include "host/services/sqlsession.h"

#include <QDir>

#ifndef ZELTPC5_DEFAULT_PRODUCT_DIR
#define ZELTPC5_DEFAULT_PRODUCT_DIR ""
#endif

namespace zeltpc5::host {

namespace {

using Reader = std::function<Variant(ArgReader &args)>;

// A member whose arguments are read with the boundary's conversions; a conversion failure
// is the member's error, as automation callers expect.
MemberTable::Handler Member(Reader read)
{
    return [read = std::move(read)](Dispatch &, VariantList &args, Variant &result) {
        ArgReader reader(args);
        Variant value = read(reader);
        if (!reader.ok())
            return reader.status();
        result = std::move(value);
        return Status();
    };
}

MemberTable::Handler Constant(std::function<Variant()> get)
{
    return [get = std::move(get)](Dispatch &, VariantList &, Variant &result) {
        result = get();
        return Status();
    };
}

// The first column of the first row of one of the host's own statements; nothing when
// there is no row, the value is NULL or the statement fails. While a run is under way a
// repeated statement is answered from the run cache; a failure is not kept, so it is tried
// again.
std::optional<QVariant> Lookup(const Database &db, RunCache &cache, const QString &sql,
                               const QVariantList &values)
{
    QString key;
    if (cache.active()) {
        key = RunCache::Key(sql, values);
        if (auto kept = cache.find(key))
            return *kept;
    }
    try {
        const ResultSet rs = db.select(sql, values);
        std::optional<QVariant> value;
        if (!rs.rows.empty() && !rs.rows.front().isEmpty() && !rs.rows.front().front().isNull())
            value = rs.rows.front().front();
        if (!key.isEmpty())
            cache.insert(key, value);
        return value;
    } catch (const DatabaseError &e) {
        qCWarning(lcHostSql).noquote()
            << e.message() << e.driverMessage().trimmed() << "Statement:" << sql;
        return std::nullopt;
    }
}

// A record set passed across the boundary: its XML text, or an object whose "xml" gives it.
QString RecordText(const Variant &v)
{
    if (TypeOf(v) == VariantType::Object)
        return ToText(Get(ToObject(v).value_or(DispatchPtr()), u"xml").value).value_or(QString());
    return ToText(v).value_or(QString());
}

class SimpleObject : public DispatchObject
{
public:
    explicit SimpleObject(const QString &typeName) : DispatchObject(typeName, &m_table) {}
    MemberTable &table() { return m_table; }

private:
    MemberTable m_table;
};

DispatchPtr MakeSecurity(std::shared_ptr<const Database> db, std::shared_ptr<RunCache> cache)
{
    auto security = Ref<SimpleObject>(new SimpleObject(QStringLiteral("Security")));
    auto option = [db, cache](const char *key, const char *fallback) {
        return Lookup(*db, *cache,
                      QStringLiteral("SELECT OptionValue FROM CompanyOptions WHERE Section = ? "
                                     "AND OptionKey = ?"),
                      {QStringLiteral("Company"), QString::fromLatin1(key)})
            .value_or(QString::fromLatin1(fallback))
            .toString();
    };
    // The user's login name stands for the user's security identifier.
    security->table()
        .property(QStringLiteral("SID"), 1, Constant([] {
                      QString user = qEnvironmentVariable("USER");
                      if (user.isEmpty())
                          user = qEnvironmentVariable("USERNAME");
                      return MakeString(user);
                  }))
        .property(QStringLiteral("OID"), 2,
                  Constant([option] { return MakeInt32(option("OrganizationID", "1").toInt()); }))
        .property(QStringLiteral("OrganizationName"), 3,
                  Constant([option] { return MakeString(option("Name", "")); }));
    return security;
}

DispatchPtr MakeOptions(std::shared_ptr<const Database> db, std::shared_ptr<RunCache> cache)
{
    auto options = Ref<SimpleObject>(new SimpleObject(QStringLiteral("Options")));
    options->table().method(
        QStringLiteral("GetCompanyOption"), 1, 2, 3, Member([db, cache](ArgReader &a) {
            const QString section = a.text(0);
            const QString key = a.text(1);
            const Variant fallback = a.value(2);
            // Sections and keys are names a person types: matched ignoring case.
            const auto value =
                Lookup(*db, *cache,
                       QStringLiteral("SELECT OptionValue FROM CompanyOptions WHERE "
                                      "LOWER(Section) = LOWER(?) AND LOWER(OptionKey) = LOWER(?)"),
                       {section, key});
            return value ? MakeString(value->toString()) : fallback;
        }));
    return options;
}

DispatchPtr MakeCommon(std::shared_ptr<const Database> db, std::shared_ptr<RunCache> cache,
                       QString productDirectory)
{
    auto common = Ref<SimpleObject>(new SimpleObject(QStringLiteral("Common")));
    auto productColumn = [db, cache](const char *column, qint32 productID) {
        return Lookup(
            *db, *cache,
            QStringLiteral("SELECT %1 FROM Products WHERE ID = ?").arg(QLatin1String(column)),
            {productID});
    };
    auto sourceCode = [productColumn](const char *column) {
        return Member([productColumn, column](ArgReader &a) {
            return MakeInt32(productColumn(column, a.int32(0)).value_or(0).toInt());
        });
    };
    MemberTable &t = common->table();
    t.method(QStringLiteral("ExecuteSelect"), 1, 1, Member([db](ArgReader &a) {
                 const QString sql = a.text(0);
                 return MakeString(
                     ReadRecordSet(*db, sql, QStringLiteral("Results")).value_or(QString()));
             }))
        .method(QStringLiteral("GetFieldValue2"), 2, 2, Member([](ArgReader &a) {
                    // The record node, as the component passes it; its XML text, as older
                    // callers do.
                    const Variant record = a.value(0);
                    const QString field = a.text(1);
                    const auto value =
                        TypeOf(record) == VariantType::Object
                            ? RecordField(ToObject(record).value_or(DispatchPtr()), field)
                            : RecordField(ToText(record).value_or(QString()), field);
                    return MakeString(value.value_or(QString()));
                }))
        .method(QStringLiteral("GetFieldValue"), 3, 2, 3, Member([](ArgReader &a) {
                    const QString records = RecordText(a.value(0));
                    const auto value = FirstRecordField(records, a.text(1));
                    return value ? MakeString(*value) : a.value(2);
                }))
        .method(QStringLiteral("BuildString"), 4, 2, 18, Member([](ArgReader &a) {
                    VariantList values;
                    for (int i = 1; i < a.count(); ++i)
                        values << a.value(i);
                    return MakeString(FillPlaceholders(a.text(0), values));
                }))
        .method(QStringLiteral("GetProductNameFromID"), 5, 1, Member([productColumn](ArgReader &a) {
                    return MakeString(
                        productColumn("ProductName", a.int32(0)).value_or(QString()).toString());
                }))
        .method(QStringLiteral("GetProductFileFromID2"), 6, 1,
                Member([productColumn, productDirectory](ArgReader &a) {
                    const QString file =
                        productColumn("ProductFile", a.int32(0)).value_or(QString()).toString();
                    if (file.isEmpty())
                        return MakeString(QString());
                    return MakeString(
                        QDir::cleanPath(QDir(productDirectory).absoluteFilePath(file)));
                }))
        .method(QStringLiteral("GetProductPriceSource"), 7, 1, sourceCode("PriceSource"))
        .method(QStringLiteral("GetProductCostSource"), 8, 1, sourceCode("CostSource"))
        .method(QStringLiteral("GetProductPriceMarginSource"), 9, 1,
                sourceCode("PriceMarginSource"))
        .method(QStringLiteral("GetVendorIDFromProductID"), 10, 1,
                Member([db, cache](ArgReader &a) {
                    // The product's own vendor; else the first vendor that supplies it.
                    const qint32 id = a.int32(0);
                    auto vendor =
                        Lookup(*db, *cache,
                               QStringLiteral("SELECT VendorID FROM Products WHERE ID = ?"), {id});
                    if (!vendor)
                        vendor = Lookup(*db, *cache,
                                        QStringLiteral("SELECT VendorID FROM ProductVendors WHERE "
                                                       "ProductID = ? ORDER BY VendorID"),
                                        {id});
                    return MakeString(vendor ? QString::number(vendor->toLongLong()) : QString());
                }))
        .method(QStringLiteral("GetVendorName"), 11, 1, Member([db, cache](ArgReader &a) {
                    return MakeString(
                        Lookup(*db, *cache,
                               QStringLiteral("SELECT VendorName FROM Vendors WHERE ID = ?"),
                               {a.int32(0)})
                            .value_or(QString())
                            .toString());
                }));
    return common;
}

class SharedCodeLibrary : public DispatchObject
{
public:
    SharedCodeLibrary(std::shared_ptr<Database> db, ServiceOptions options)
        : DispatchObject(QStringLiteral("SharedCodeLibrary"), &m_table), m_db(std::move(db)),
          m_messages(options.messagePresenter, options.messageSettingsFile)
    {
        const QString products = options.productDirectory.isEmpty() ? DefaultProductDirectory()
                                                                    : options.productDirectory;
        m_security = MakeSecurity(m_db, m_runCache);
        m_database = MakeDatabaseObject(m_db);
        m_common = MakeCommon(m_db, m_runCache, products);
        m_options = MakeOptions(m_db, m_runCache);
        auto object = [](const DispatchPtr &p) { return Constant([p] { return MakeObject(p); }); };
        m_table.property(QStringLiteral("Security"), 1, object(m_security))
            .property(QStringLiteral("ZELTSQL"), 2, Constant([db = m_db, cache = m_runCache] {
                          return MakeObject(DispatchPtr(new SqlSessionObject(db, cache)));
                      }))
            .property(QStringLiteral("Database"), 3, object(m_database))
            .property(QStringLiteral("CurrentCompanyConn"), 4,
                      Constant([db = m_db] { return MakeObject(MakeCompanyConnection(db)); }))
            .property(QStringLiteral("Common"), 5, object(m_common))
            .property(QStringLiteral("Options"), 6, object(m_options))
            .method(QStringLiteral("ShowMessageStyle1"), 7, 2, Member([this](ArgReader &a) {
                        m_messages.ShowMessageStyle1(a.text(0), a.text(1));
                        return Variant();
                    }))
            .method(QStringLiteral("ShowMessageStyle1WithMemory"), 8, 2,
                    Member([this](ArgReader &a) {
                        m_messages.ShowMessageStyle1WithMemory(a.text(0), a.text(1));
                        return Variant();
                    }))
            .method(
                QStringLiteral("ShowSelectProductStyle"), 9, 4,
                [dialogs = options.itemDialogs](Dispatch &, VariantList &args, Variant &result) {
                    ArgReader a(args);
                    qint32 vendor = a.int32(0), product = a.int32(1);
                    QString style = a.text(2);
                    const bool styleOnly = a.boolean(3);
                    if (!a.ok())
                        return a.status();
                    const bool chosen = dialogs && dialogs->ShowSelectProductStyle(
                                                       vendor, product, style, styleOnly);
                    // By reference: the caller reads the choice from its arguments.
                    if (chosen) {
                        args[0] = MakeInt32(vendor);
                        args[1] = MakeInt32(product);
                        args[2] = style;
                    }
                    result = MakeBool(chosen);
                    return Status();
                })
            .method(
                QStringLiteral("ShowEditProductItem"), 10, 6,
                [dialogs = options.itemDialogs](Dispatch &, VariantList &args, Variant &result) {
                    ArgReader a(args);
                    qint32 product = a.int32(0);
                    QString style = a.text(1), item = a.text(2), priceCost = a.text(3);
                    const qint32 mode = a.int32(5);
                    if (!a.ok())
                        return a.status();
                    const bool edited = dialogs && dialogs->ShowEditProductItem(
                                                       product, style, item, priceCost, mode);
                    if (edited) {
                        args[0] = MakeInt32(product);
                        args[1] = style;
                        args[2] = item;
                        args[3] = priceCost;
                    }
                    result = MakeBool(edited);
                    return Status();
                });
    }

private:
    MemberTable m_table;
    std::shared_ptr<Database> m_db;
    std::shared_ptr<RunCache> m_runCache = std::make_shared<RunCache>();
    MessageCentre m_messages;
    DispatchPtr m_security;
    DispatchPtr m_database;
    DispatchPtr m_common;
    DispatchPtr m_options;
};

} // namespace

QString DefaultProductDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("ZELTPC5_PRODUCT_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(ZELTPC5_DEFAULT_PRODUCT_DIR)
                                     : fromEnvironment;
}

DispatchPtr CreateSharedCodeLibrary(std::shared_ptr<Database> db, ServiceOptions options)
{
    return DispatchPtr(new SharedCodeLibrary(std::move(db), std::move(options)));
}

} // namespace zeltpc5::host
