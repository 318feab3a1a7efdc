#include "pricingfakes.h"

#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/classregistry.h>

#include <cmath>

namespace zeltpc5::testing {

namespace {

const QUuid DateHelperClsid(QStringLiteral("{4798268F-588A-4B49-8CD2-2848CC58359D}"));

Variant Amount(const QString &text)
{
    return MakeCurrency(Currency::fromString(text, QLocale::c()).value_or(Currency()).value());
}

} // namespace

QString RecordsXml(const QString &root, const QList<Row> &rows)
{
    QString xml = QLatin1Char('<') + root + QLatin1Char('>');
    for (const Row &row : rows) {
        xml += QLatin1StringView("<Record>");
        for (const auto &[column, value] : row)
            xml += QStringLiteral("<%1>%2</%1>").arg(column, value.toHtmlEscaped());
        xml += QLatin1StringView("</Record>");
    }
    return xml + QLatin1StringView("</") + root + QLatin1Char('>');
}

PricingHost::PricingHost()
{
    fake.sql->on(QStringLiteral("ExecuteRead"), [this](VariantList &args) {
        const QString sql = ToText(args.value(0)).value_or(QString());
        statements << sql;
        return Variant(reads.value(sql));
    });
    fake.sql->on(QStringLiteral("ExecuteScaler"), [this](VariantList &args) {
        const QString sql = ToText(args.value(0)).value_or(QString());
        statements << sql;
        return scalars.contains(sql) ? MakeInt32(scalars.value(sql)) : args.value(2);
    });
    fake.connection->set(QStringLiteral("Close"), Variant());
    fake.common
        ->on(QStringLiteral("ExecuteSelect"),
             [this](VariantList &args) {
                 const QString sql = ToText(args.value(0)).value_or(QString());
                 statements << sql;
                 return Variant(selects.value(sql));
             })
        .on(QStringLiteral("GetFieldValue"),
            [](VariantList &args) {
                const auto records = LoadXMLDocument(ToText(args.value(0)).value_or(QString()));
                const QString column = ToText(args.value(1)).value_or(QString());
                const XmlNode field =
                    records ? records->selectSingleNode(QStringLiteral("//Record/") + column)
                            : XmlNode();
                return field ? Variant(field.text()) : args.value(2);
            })
        .on(QStringLiteral("BuildString"),
            [](VariantList &args) {
                return Variant(
                    FormatTemplate(ToText(args.value(0)).value_or(QString()), args.mid(1)));
            })
        .on(QStringLiteral("GetProductCostSource"),
            [this](VariantList &) { return MakeInt32(costSource); })
        .on(QStringLiteral("GetProductPriceSource"),
            [this](VariantList &) { return MakeInt32(priceSource); })
        .on(QStringLiteral("GetProductPriceMarginSource"),
            [this](VariantList &) { return MakeInt32(marginSource); });
}

Ref<ScriptedObject> MakePricingEngine(const EngineAmounts &amounts)
{
    auto e = MakeFakeProductEngine();
    e->set(QStringLiteral("CostBeforeDiscount"), Amount(amounts.costBefore))
        .set(QStringLiteral("CostAfterDiscount"), Amount(amounts.costAfter))
        .set(QStringLiteral("PriceBeforeDiscount"), Amount(amounts.priceBefore))
        .set(QStringLiteral("PriceAfterDiscount"), Amount(amounts.priceAfter))
        .set(QStringLiteral("PriceLineAnalyticCount"),
             MakeInt32(qint32(amounts.priceLines.size())));
    const auto lines = amounts.priceLines;
    const auto part = [lines](int which) {
        return [lines, which](VariantList &args) {
            const int i = ToInt32(args.value(0)).value_or(-1);
            if (i < 0 || i >= lines.size())
                return Variant();
            const auto &[name, code, value] = lines.at(i);
            return which == 0 ? Variant(name) : which == 1 ? Variant(code) : Amount(value);
        };
    };
    e->on(QStringLiteral("PriceLineAnalyticName"), part(0))
        .on(QStringLiteral("PriceLineAnalyticPLCode"), part(1))
        .on(QStringLiteral("PriceLineAnalyticValue"), part(2));
    return e;
}

FormulaEngineRegistration::FormulaEngineRegistration(QMap<QString, Variant> answers)
    : FormulaEngineRegistration(
          [answers](const QString &expression, const QMap<QString, Variant> &) {
              return answers.value(expression);
          })
{}

FormulaEngineRegistration::FormulaEngineRegistration(Evaluator evaluate)
    : m_evaluate(std::move(evaluate))
{
    ClassRegistry::instance().registerClass(QStringLiteral("zeltfe5.Engine"), QUuid(), [this] {
        auto e = ScriptedObject::create(QStringLiteral("zeltfe5.Engine"));
        for (const char *member : {"Initialize", "PreTerminate"})
            e->set(QString::fromLatin1(member), Variant());
        e->on(QStringLiteral("ResetVariables"),
              [this](VariantList &) {
                  m_variables.clear();
                  return Variant();
              })
            .on(QStringLiteral("SetVariable"),
                [this](VariantList &args) {
                    m_variables[ToText(args.value(0)).value_or(QString())] = args.value(1);
                    return Variant();
                })
            .on(QStringLiteral("EvaluateExpression"), [this](VariantList &args) {
                return m_evaluate(ToText(args.value(0)).value_or(QString()), m_variables);
            });
        m_created.push_back(e);
        return DispatchPtr(e);
    });
}

FormulaEngineRegistration::~FormulaEngineRegistration()
{
    ClassRegistry::instance().unregisterClass(QStringLiteral("zeltfe5.Engine"), QUuid());
}

DateHelperRegistration::DateHelperRegistration()
{
    ClassRegistry::instance().registerClass(QString(), DateHelperClsid, [this] {
        auto helper = ScriptedObject::create(QStringLiteral("DateHelper"));
        // The first member scripted gets dispatch identifier 1, the helper's first operation.
        helper->on(QStringLiteral("GetDateBoundary"), [this](VariantList &args) {
            ++m_calls;
            const double day = std::trunc(ToDouble(args.value(0)).value_or(0.0));
            return MakeDouble(ToInt16(args.value(1)).value_or(0) == 1 ? day + 1.0 : day);
        });
        return DispatchPtr(helper);
    });
}

DateHelperRegistration::~DateHelperRegistration()
{
    ClassRegistry::instance().unregisterClass(QString(), DateHelperClsid);
}

namespace {

QString Level(int level, int group, int product, const QString &style = QString())
{
    QString sql =
        level == 1
            ? QStringLiteral("SELECT Discount,DiscountAD,High,Low,Margin,MarginAD,OptionName,"
                             "OptionValue FROM Discounts WHERE DiscountGroupID = %1 AND "
                             "DiscountLevel = 1 AND ProductID = %2")
                  .arg(group)
                  .arg(product)
            : QStringLiteral("SELECT Discount, DiscountAD, High, Low, Margin, MarginAD, "
                             "OptionName, OptionValue FROM Discounts WHERE DiscountGroupID = %1 "
                             "AND DiscountLevel = %2 AND ProductID = %3 AND Style = '%4'")
                  .arg(group)
                  .arg(level)
                  .arg(product)
                  .arg(style);
    if (level == 3)
        sql += QStringLiteral(" AND OptionName <> ''");
    return sql;
}

QString Rows(const QList<QStringList> &rows)
{
    // Discount, DiscountAD, High, Low, Margin, MarginAD[, OptionName, OptionValue]
    static const QStringList columns{"Discount", "DiscountAD", "High",       "Low",
                                     "Margin",   "MarginAD",   "OptionName", "OptionValue"};
    QList<Row> records;
    for (const QStringList &values : rows) {
        Row row;
        for (int i = 0; i < values.size(); ++i)
            row.append({columns.at(i), values.at(i)});
        records.append(row);
    }
    return RecordsXml(QStringLiteral("Records"), records);
}

Row Charge(int id, int type, const QString &code, const QString &criteria, int method,
           const QString &value)
{
    return {{QStringLiteral("ID"), QString::number(id)},
            {QStringLiteral("ChargeType"), QString::number(type)},
            {QStringLiteral("ChargeCode"), code},
            {QStringLiteral("Criteria"), criteria},
            {QStringLiteral("ChargeMethod"), QString::number(method)},
            {QStringLiteral("Value"), value}};
}

QString Results(const Row &row)
{
    return RecordsXml(QStringLiteral("Results"), {row});
}

} // namespace

void FillPricingCompany(PricingHost &host)
{
    host.scalars[QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1")] = 11;
    host.scalars[QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 3")] = 22;
    host.scalars[QStringLiteral("SELECT CustomerDiscountGroupID FROM Customers WHERE ID = 3")] = 33;
    host.scalars[QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = 4")] = 23;
    host.scalars[QStringLiteral("SELECT CustomerDiscountGroupID FROM Customers WHERE ID = 4")] = 34;

    host.reads[Level(1, 11, 7)] = Rows({{"40", "10", "50", "30", "0", "0"}});
    host.reads[Level(1, 22, 7)] = Rows({{"5", "10", "8", "2", "0", "0"}});
    host.reads[Level(1, 33, 7)] = Rows({{"10", "0", "0", "0", "0", "0"}});

    host.reads[Level(1, 11, 8)] = Rows({{"40", "0", "0", "0", "0", "0"}});
    host.reads[Level(2, 11, 8, "Cordless")] = Rows({{"50", "10", "0", "0", "0", "0"}});
    host.reads[Level(1, 23, 8)] = Rows({{"0", "0", "0", "0", "20", "20"}});
    host.reads[Level(3, 34, 8, "Cordless")] =
        Rows({{"5", "0", "0", "0", "0", "0", "Color", "White"},
              {"7", "0", "0", "0", "0", "0", "Color", "Ivory"}});

    host.reads[Level(1, 11, 9)] = Rows({{"30", "0", "0", "0", "0", "0"}});
    host.reads[Level(2, 11, 9, "Kid''s Choice")] = Rows({{"20", "5", "0", "0", "0", "0"}});
    host.reads[Level(1, 22, 9)] = Rows({{"10", "0", "0", "0", "0", "0"}});

    host.selects[QStringLiteral(
        "SELECT TOP 1 VendorID FROM ProductVendors WHERE (ProductID = 8)")] =
        Results({{QStringLiteral("VendorID"), QStringLiteral("2")}});
    host.selects[QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 2")] =
        Results({{QStringLiteral("Margin"), QStringLiteral("0.25")}});
    host.selects[QStringLiteral("SELECT MarginAD FROM Vendors WHERE ID = 2")] =
        Results({{QStringLiteral("MarginAD"), QStringLiteral("0.2")}});

    const auto rounding = [&](int type, const char *on, const char *to, const char *direction) {
        host.selects[QStringLiteral("SELECT RoundUnitPrice, RoundUnitPriceTo, "
                                    "RoundUnitPriceDirection FROM CustomerTypes WHERE ID = %1")
                         .arg(type)] =
            Results({{QStringLiteral("RoundUnitPrice"), QLatin1StringView(on)},
                     {QStringLiteral("RoundUnitPriceTo"), QLatin1StringView(to)},
                     {QStringLiteral("RoundUnitPriceDirection"), QLatin1StringView(direction)}});
    };
    rounding(1, "1", "5", "0");
    rounding(2, "1", "1", "2");
    rounding(4, "0", "0", "0");

    host.reads[QStringLiteral("SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND "
                              "(ChargeType = 4 OR ChargeType = 256)")] =
        RecordsXml(QStringLiteral("Records"),
                   {Charge(1, 256, QStringLiteral("FUEL"), QString(), 5, QStringLiteral("3")),
                    Charge(2, 256, QStringLiteral("HANDLING"), QStringLiteral("ProductID == 7"), 1,
                           QStringLiteral("4.5")),
                    Charge(3, 4, QStringLiteral("MOTOR"), QStringLiteral("ProductID == 8"), 1,
                           QStringLiteral("75")),
                    Charge(4, 4, QStringLiteral("CORD"), QStringLiteral("cordless"), 6,
                           QStringLiteral("5"))});
}

Variant EvaluatePricingCriteria(const QString &expression, const QMap<QString, Variant> &variables)
{
    if (expression.startsWith(QLatin1StringView("ProductID == ")))
        return MakeBool(ToInt32(variables.value(QStringLiteral("ProductID"))) ==
                        expression.mid(13).toInt());
    return MakeBool(true);
}

} // namespace zeltpc5::testing
