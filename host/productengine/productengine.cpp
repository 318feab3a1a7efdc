#include "host/productengine/productengine.h"

#include "host/productengine/productfile.h"

#include <QLoggingCategory>

namespace zeltpc5::host {

Q_LOGGING_CATEGORY(lcProductEngine, "zeltpc5.host.productengine")

namespace {

ProductEngine &self(Dispatch &d)
{
    return static_cast<ProductEngine &>(d);
}

Status ok()
{
    return Status();
}

// Members that answer from the session without arguments.
template <class F>
MemberTable::Handler reader(F read)
{
    return [read](Dispatch &d, VariantList &, Variant &result) {
        result = read(self(d).session());
        return ok();
    };
}

// Members that take a 0-based index into a list of the session.
template <class Count, class Item>
MemberTable::Handler indexed(Count count, Item item)
{
    return [count, item](Dispatch &d, VariantList &args, Variant &result) {
        ArgReader a(args);
        const qint32 index = a.int32(0);
        if (!a.ok())
            return a.status();
        const ProductSession &s = self(d).session();
        if (index < 0 || index >= count(s))
            return Status::error(Error::SubscriptOutOfRange);
        result = item(s, index);
        return ok();
    };
}

Variant money(Money m)
{
    return MakeCurrency(CurrencyValue{m});
}

Status optionData(const ProductSession &s, int index, const QString &fieldName, Variant &result)
{
    const auto field = OptionFieldNamed(fieldName);
    if (!field)
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("Unknown option field: %1").arg(fieldName));
    result = s.optionField(index, *field);
    return ok();
}

MemberTable buildMembers()
{
    MemberTable t;
    DispId id = 1;
    t.method(QStringLiteral("Initialize"), id++, 0, [](Dispatch &d, VariantList &, Variant &r) {
        self(d).session().close();
        r = MakeBool(true);
        return ok();
    });
    t.method(QStringLiteral("IdentifyUser"), id++, 0, 3, [](Dispatch &, VariantList &, Variant &) {
        // Prices and rules do not depend on who asks; the identity is accepted and unused.
        return ok();
    });
    t.method(QStringLiteral("UseProductFile"), id++, 1, 2,
             [](Dispatch &d, VariantList &args, Variant &r) {
                 ArgReader a(args);
                 const QString reference = a.text(0);
                 const bool startOver = a.count() < 2 || a.boolean(1);
                 if (!a.ok())
                     return a.status();
                 r = MakeBool(self(d).UseProductFile(reference, startOver));
                 return ok();
             });
    t.method(QStringLiteral("InitForAccess"), id++, 0, [](Dispatch &d, VariantList &, Variant &r) {
        self(d).session().initForAccess();
        r = MakeBool(self(d).session().product() != nullptr);
        return ok();
    });
    t.property(
        QStringLiteral("AllOptionsInDescription"), id++,
        [](Dispatch &d, VariantList &, Variant &r) {
            r = MakeBool(self(d).allOptionsInDescription());
            return ok();
        },
        [](Dispatch &d, VariantList &args, Variant &) {
            ArgReader a(args);
            const bool all = a.boolean(0);
            if (!a.ok())
                return a.status();
            self(d).setAllOptionsInDescription(all);
            return ok();
        });
    t.method(QStringLiteral("InitForProcessing"), id++, 1,
             [](Dispatch &d, VariantList &args, Variant &r) {
                 ArgReader a(args);
                 const QString style = a.text(0);
                 if (!a.ok())
                     return a.status();
                 r = MakeBool(self(d).session().initForProcessing(style));
                 return ok();
             });
    t.property(QStringLiteral("RoundDown"), id++,
               reader([](const ProductSession &s) { return MakeInt32(s.roundDown() ? 1 : 0); }),
               [](Dispatch &d, VariantList &args, Variant &) {
                   ArgReader a(args);
                   const qint32 value = a.int32(0);
                   if (!a.ok())
                       return a.status();
                   self(d).session().setRoundDown(value != 0);
                   return ok();
               });
    t.property(QStringLiteral("DimensionDisplayFormat"), id++, reader([](const ProductSession &s) {
                   return MakeString(s.dimensionDisplayFormat());
               }),
               [](Dispatch &d, VariantList &args, Variant &) {
                   ArgReader a(args);
                   const QString format = a.text(0);
                   if (!a.ok())
                       return a.status();
                   self(d).session().setDimensionDisplayFormat(format.trimmed());
                   return ok();
               });
    t.method(QStringLiteral("SetOptionValue"), id++, 2,
             [](Dispatch &d, VariantList &args, Variant &) {
                 ArgReader a(args);
                 const QString name = a.text(0);
                 const QString value = a.text(1);
                 if (!a.ok())
                     return a.status();
                 self(d).session().setOptionValue(name, value);
                 return ok();
             });
    t.method(QStringLiteral("ProcessOptions"), id++, 0, [](Dispatch &d, VariantList &, Variant &r) {
        self(d).session().processOptions();
        r = MakeBool(self(d).session().errors().isEmpty());
        return ok();
    });
    t.method(QStringLiteral("GetOptionData"), id++, 2,
             [](Dispatch &d, VariantList &args, Variant &r) {
                 ArgReader a(args);
                 const QString name = a.text(0);
                 const QString field = a.text(1);
                 if (!a.ok())
                     return a.status();
                 const ProductSession &s = self(d).session();
                 const int index = s.optionIndex(name);
                 if (index < 0)
                     return Status::error(Error::InvalidProcedureCall,
                                          QStringLiteral("Unknown option: %1").arg(name));
                 return optionData(s, index, field, r);
             });
    t.method(QStringLiteral("GetOptionCount"), id++, 0,
             reader([](const ProductSession &s) { return MakeInt32(s.optionCount()); }));
    t.method(QStringLiteral("GetOptionDataEx"), id++, 2,
             [](Dispatch &d, VariantList &args, Variant &r) {
                 ArgReader a(args);
                 const qint32 index = a.int32(0);
                 const QString field = a.text(1);
                 if (!a.ok())
                     return a.status();
                 const ProductSession &s = self(d).session();
                 if (index < 0 || index >= s.optionCount())
                     return Status::error(Error::SubscriptOutOfRange);
                 return optionData(s, index, field, r);
             });
    t.property(QStringLiteral("ErrorCount"), id++, reader([](const ProductSession &s) {
                   return MakeInt32(qint32(s.errors().size()));
               }));
    t.method(
        QStringLiteral("Error"), id++, 1,
        indexed([](const ProductSession &s) { return s.errors().size(); },
                [](const ProductSession &s, qint32 i) { return MakeString(s.errors().at(i)); }));
    t.property(QStringLiteral("NoticeCount"), id++, reader([](const ProductSession &s) {
                   return MakeInt32(qint32(s.notices().size()));
               }));
    t.method(
        QStringLiteral("Notice"), id++, 1,
        indexed([](const ProductSession &s) { return s.notices().size(); },
                [](const ProductSession &s, qint32 i) { return MakeString(s.notices().at(i)); }));
    t.property(QStringLiteral("PriceBeforeDiscount"), id++,
               reader([](const ProductSession &s) { return money(s.priceBeforeDiscount()); }));
    t.property(QStringLiteral("PriceAfterDiscount"), id++,
               reader([](const ProductSession &s) { return money(s.priceAfterDiscount()); }));
    t.property(QStringLiteral("CostBeforeDiscount"), id++,
               reader([](const ProductSession &s) { return money(s.costBeforeDiscount()); }));
    t.property(QStringLiteral("CostAfterDiscount"), id++,
               reader([](const ProductSession &s) { return money(s.costAfterDiscount()); }));
    t.property(QStringLiteral("PriceLineAnalyticCount"), id++, reader([](const ProductSession &s) {
                   return MakeInt32(qint32(s.priceLines().size()));
               }));
    const auto lineCount = [](const ProductSession &s) { return qsizetype(s.priceLines().size()); };
    t.method(QStringLiteral("PriceLineAnalyticName"), id++, 1,
             indexed(lineCount, [](const ProductSession &s, qint32 i) {
                 return MakeString(s.priceLines()[size_t(i)].name);
             }));
    t.method(QStringLiteral("PriceLineAnalyticPLCode"), id++, 1,
             indexed(lineCount, [](const ProductSession &s, qint32 i) {
                 return MakeString(s.priceLines()[size_t(i)].code);
             }));
    t.method(QStringLiteral("PriceLineAnalyticValue"), id++, 1,
             indexed(lineCount, [](const ProductSession &s, qint32 i) {
                 return money(s.priceLines()[size_t(i)].value);
             }));
    // Why the last UseProductFile failed, for the host's log.
    t.property(QStringLiteral("LastError"), id++, [](Dispatch &d, VariantList &, Variant &r) {
        r = MakeString(self(d).lastError());
        return ok();
    });
    return t;
}

const MemberTable &members()
{
    static const MemberTable table = buildMembers();
    return table;
}

} // namespace

ProductEngine::ProductEngine()
    : DispatchObject(QStringLiteral("optrix5.Engine"), &members()),
      m_productFolder(DefaultProductFolder())
{}

DispatchPtr ProductEngine::create()
{
    return DispatchPtr(new ProductEngine);
}

QString ProductEngine::DefaultProductFolder()
{
    const QString configured = qEnvironmentVariable("ZELTPC5_PRODUCT_DIR");
    return configured.isEmpty() ? QStringLiteral(ZELTPC5_DEFAULT_PRODUCT_DIR) : configured;
}

std::optional<DispId> ProductEngine::GetIDOfName(QStringView name) const
{
    // A change run makes a few hundred calls per line; comparing only names of the same
    // length keeps the lookup from dominating them.
    static const auto byLength = [] {
        std::vector<std::vector<std::pair<QString, DispId>>> buckets;
        for (const auto &m : members().members()) {
            if (buckets.size() <= size_t(m.name.size()))
                buckets.resize(size_t(m.name.size()) + 1);
            buckets[size_t(m.name.size())].emplace_back(m.name, m.id);
        }
        return buckets;
    }();
    if (size_t(name.size()) >= byLength.size())
        return std::nullopt;
    for (const auto &[memberName, id] : byLength[size_t(name.size())]) {
        if (SameNameIgnoringCase(name, memberName))
            return id;
    }
    return std::nullopt;
}

bool ProductEngine::UseProductFile(const QString &reference, bool startOver)
{
    std::shared_ptr<const ProductDefinition> product = m_byReference.value(reference);
    if (!product) {
        const QString path = ResolveProductReference(reference, m_productFolder);
        product = m_byPath.value(path);
        if (!product && !path.isEmpty()) {
            ProductFileResult loaded = LoadProductFileShared(path);
            if (!loaded.product) {
                m_lastError = loaded.error;
            } else {
                product = std::move(loaded.product);
                m_byPath.insert(path, product);
            }
        } else if (path.isEmpty()) {
            m_lastError = QStringLiteral("No product file was named.");
        }
        if (product)
            m_byReference.insert(reference, product);
    }
    if (!product) {
        // Replaying a line into the product that happened to be open would be wrong.
        m_session.close();
        qCWarning(lcProductEngine).noquote() << m_lastError;
        return false;
    }
    m_lastError.clear();
    if (startOver || m_session.product() != product.get())
        m_session.open(product);
    return true;
}

} // namespace zeltpc5::host
