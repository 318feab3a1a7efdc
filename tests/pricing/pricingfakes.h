// A fake host for pricing tests: the SQL session, Common and the company connection answer
// from tables a test fills in, and record every statement they were asked.
#pragma once

#include "engine/hostservices.h"
#include "engine/productengine.h"
#include "support/fakes.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace zeltpc5::testing {

using Row = QList<std::pair<QString, QString>>;
// Rows as the host returns them: <root><Record><column>value</column>...</Record>...</root>.
QString RecordsXml(const QString &root, const QList<Row> &rows);

class PricingHost
{
public:
    PricingHost();
    PricingHost(const PricingHost &) = delete;
    PricingHost &operator=(const PricingHost &) = delete;

    HostServices services() const { return HostServices(fake.scl); }
    SqlSession session() const { return services().ZELTSQL(); }

    FakeHost fake;
    QMap<QString, QString> reads;   // ZELTSQL.ExecuteRead: statement -> Records
    QMap<QString, qint32> scalars;  // ZELTSQL.ExecuteScaler
    QMap<QString, QString> selects; // Common.ExecuteSelect: statement -> Results
    qint32 costSource = 1;
    qint32 priceSource = 1;
    qint32 marginSource = 0;
    QStringList statements; // every statement, in order
};

// A product engine answering with these amounts and analytic lines.
struct EngineAmounts
{
    QString costBefore = QStringLiteral("0");
    QString costAfter = QStringLiteral("0");
    QString priceBefore = QStringLiteral("0");
    QString priceAfter = QStringLiteral("0");
    QList<std::tuple<QString, QString, QString>> priceLines; // name, code, value
};
Ref<ScriptedObject> MakePricingEngine(const EngineAmounts &amounts);

// Registers a scripted formula engine for the guard's lifetime: each expression answers
// with the value in the map (empty when missing); every engine made is kept.
class FormulaEngineRegistration
{
public:
    // The answer to an expression given the variables set before it.
    using Evaluator = std::function<Variant(const QString &, const QMap<QString, Variant> &)>;
    explicit FormulaEngineRegistration(QMap<QString, Variant> answers);
    explicit FormulaEngineRegistration(Evaluator evaluate);
    ~FormulaEngineRegistration();
    const std::vector<Ref<ScriptedObject>> &created() const { return m_created; }

private:
    Evaluator m_evaluate;
    QMap<QString, Variant> m_variables;
    std::vector<Ref<ScriptedObject>> m_created;
};

// Registers a DateHelper whose first operation answers with the start of the date's day
// (flag 0) or of the following day (flag 1).
class DateHelperRegistration
{
public:
    DateHelperRegistration();
    ~DateHelperRegistration();
    int calls() const { return m_calls; }

private:
    int m_calls = 0;
};

// A small company for whole-line pricing: discount groups and levels for products 7, 8 and
// 9, customers 3 and 4, customer types 1 (up to 5), 2 (nearest 1) and 4 (no rounding),
// vendor 2's margins and four charges (FUEL, HANDLING for product 7, MOTOR for product 8,
// CORD for every line).
void FillPricingCompany(PricingHost &host);
// The criteria of those charges: "ProductID == n" compares the line's product; anything
// else holds.
Variant EvaluatePricingCriteria(const QString &expression, const QMap<QString, Variant> &variables);

} // namespace zeltpc5::testing
