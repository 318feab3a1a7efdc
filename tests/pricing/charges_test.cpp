// Additional charges: loading, dates and criteria, and the amounts.
#include "pricing/additionalcharges.h"
#include "pricingfakes.h"

#include <gtest/gtest.h>

#include <QTimeZone>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

const QString ChargesSql = QStringLiteral(
    "SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND (ChargeType = 4 OR ChargeType = 256)");

QString XmlDate(const QDateTime &utc)
{
    return utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

Row Charge(int id, int type, const QString &code, const QString &criteria, int method,
           const QString &value, const QString &startsOn = QString(),
           const QString &endsOn = QString())
{
    Row row{{QStringLiteral("ID"), QString::number(id)},
            {QStringLiteral("ChargeType"), QString::number(type)},
            {QStringLiteral("ApplyToPOs"), QStringLiteral("1")},
            {QStringLiteral("ChargeName"), code + QStringLiteral(" charge")},
            {QStringLiteral("ChargeCode"), code},
            {QStringLiteral("Criteria"), criteria},
            {QStringLiteral("ChargeMethod"), QString::number(method)},
            {QStringLiteral("Value"), value},
            {QStringLiteral("Taxable"), QStringLiteral("0")}};
    if (!startsOn.isEmpty())
        row.append({QStringLiteral("StartsOn"), startsOn});
    if (!endsOn.isEmpty())
        row.append({QStringLiteral("EndsOn"), endsOn});
    return row;
}

AdditionalChargeList Load(PricingHost &host, const QList<Row> &rows)
{
    host.reads[ChargesSql] = RecordsXml(QStringLiteral("Records"), rows);
    AdditionalChargeList charges;
    SqlSession session = host.session();
    LoadAdditionalCharges(charges, host.services(), session);
    return charges;
}

const QString Tomorrow = XmlDate(QDateTime::currentDateTimeUtc().addDays(1));
const QString LastYear = XmlDate(QDateTime::currentDateTimeUtc().addDays(-365));
const QString PriceCostText = QStringLiteral(
    "<PriceCostData><ProductID>2</ProductID><BeforeDiscountCost>123.45</BeforeDiscountCost>"
    "<BeforeDiscountPrice>0</BeforeDiscountPrice><AfterDiscountPrice>80</AfterDiscountPrice>"
    "</PriceCostData>");

} // namespace

TEST(LoadAdditionalCharges, readsTheEnabledChargesInOrder)
{
    PricingHost host;
    AdditionalChargeList none = Load(host, {});
    EXPECT_EQ(host.statements, QStringList{ChargesSql});
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].ID, 0);
    EXPECT_FALSE(none[0].Applies);
    EXPECT_EQ(none[0].Amount, Currency());

    // A NULL column carries the attribute null="true".
    host.reads[ChargesSql] =
        RecordsXml(QStringLiteral("Records"),
                   {Charge(1, 256, QStringLiteral("A"), QStringLiteral("x"), 5, QStringLiteral("3"),
                           QStringLiteral("2024-01-15T12:00:00")),
                    Charge(2, 4, QStringLiteral("B"), {}, 1, QStringLiteral("5"),
                           QStringLiteral("NULLDATE"))})
            .replace(QStringLiteral("<StartsOn>NULLDATE"),
                     QStringLiteral("<StartsOn null=\"true\">2024-01-15T12:00:00"));
    AdditionalChargeList charges;
    SqlSession session = host.session();
    LoadAdditionalCharges(charges, host.services(), session);
    ASSERT_EQ(charges.size(), 2u);
    EXPECT_EQ(charges[0].ChargeCode, QStringLiteral("A"));
    EXPECT_EQ(charges[0].ChargeType, ChargeType::Cost);
    EXPECT_EQ(charges[0].ChargeMethod, 5);
    EXPECT_TRUE(charges[0].ApplyToPOs);
    EXPECT_FALSE(charges[0].Taxable);
    EXPECT_TRUE(charges[0].Applies);
    EXPECT_EQ(charges[0].StartsOn.toUTC(), QDateTime(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC));
    EXPECT_FALSE(charges[0].EndsOn.isValid());
    EXPECT_FALSE(charges[1].StartsOn.isValid());
    EXPECT_EQ(charges[1].Value, QStringLiteral("5"));
}

// Each date is converted with the offset in force on that date, not with today's.
TEST(UtcToLocal, shouldUseTheOffsetInForceAtEachDate)
{
    const QTimeZone newYork("America/New_York");
    if (!newYork.isValid())
        GTEST_SKIP() << "no time zone data";
    const QDateTime winter = UtcToLocal(QDateTime(QDate(2024, 1, 15), QTime(12, 0)), newYork);
    const QDateTime summer = UtcToLocal(QDateTime(QDate(2024, 7, 15), QTime(12, 0)), newYork);
    EXPECT_EQ(winter.time(), QTime(7, 0));
    EXPECT_EQ(summer.time(), QTime(8, 0));
    EXPECT_EQ(summer.date(), QDate(2024, 7, 15));
    // Near midnight the date moves too.
    EXPECT_EQ(UtcToLocal(QDateTime(QDate(2024, 7, 1), QTime(2, 30)), newYork).date(),
              QDate(2024, 6, 30));
    EXPECT_FALSE(UtcToLocal(QDateTime()).isValid());
}

TEST(EvaluateChargeCriteria, appliesChargesWithinTheirDatesWhoseCriteriaHold)
{
    PricingHost host;
    FormulaEngineRegistration formulas({{QStringLiteral("yes"), MakeBool(true)},
                                        {QStringLiteral("no"), MakeBool(false)},
                                        {QStringLiteral("null"), MakeNull()}});
    DateHelperRegistration dates;
    auto charges = Load(
        host,
        {Charge(1, 256, QStringLiteral("FUTURE"), QStringLiteral("yes"), 1, QStringLiteral("1"),
                Tomorrow),
         Charge(2, 256, QStringLiteral("ENDED"), QStringLiteral("yes"), 1, QStringLiteral("1"),
                QString(), LastYear),
         Charge(3, 256, QStringLiteral("OPEN"), QStringLiteral("yes"), 1, QStringLiteral("1"),
                LastYear, Tomorrow),
         Charge(4, 4, QStringLiteral("NO"), QStringLiteral("no"), 1, QStringLiteral("1")),
         Charge(5, 4, QStringLiteral("ALL"), QString(), 1, QStringLiteral("1")),
         Charge(6, 4, QStringLiteral("NULL"), QStringLiteral("null"), 1, QStringLiteral("1")),
         Charge(7, 4, QStringLiteral("ERR"), QStringLiteral("unknown"), 1, QStringLiteral("1"))});
    QString priceCost = PriceCostText;
    EvaluateChargeCriteria(charges, QStringLiteral("<ItemData/>"), priceCost, host.services());

    QStringList applying;
    for (const auto &c : charges)
        if (c.Applies)
            applying << c.ChargeCode;
    EXPECT_EQ(applying, (QStringList{QStringLiteral("OPEN"), QStringLiteral("ALL")}));
    EXPECT_GE(dates.calls(), 3);

    ASSERT_EQ(formulas.created().size(), 1u);
    EXPECT_TRUE(priceCost.startsWith(QLatin1StringView("<?xml")));
    // Criteria are evaluated only for charges in force, and never for empty criteria; each
    // evaluation starts from cleared variables and sees the line's product, item and
    // price/cost text.
    QStringList expected{QStringLiteral("Initialize(SharedCodeLibrary)")};
    for (const char *criteria : {"yes", "no", "null", "unknown"})
        expected << QStringLiteral("ResetVariables()")
                 << QStringLiteral("SetVariable(ProductID, 2)")
                 << QStringLiteral("SetVariable(OptionXML, <ItemData/>)")
                 << QStringLiteral("SetVariable(PriceCostXML, ") + priceCost + QLatin1Char(')')
                 << QStringLiteral("EvaluateExpression(%1)").arg(QLatin1StringView(criteria));
    expected << QStringLiteral("PreTerminate()");
    EXPECT_EQ(formulas.created().front()->calls(), expected);
}

// Without the formula engine, dates still count and criteria cannot be met.
TEST(EvaluateChargeCriteria, shouldCheckDatesAndRejectCriteriaWithoutFormulaEngine)
{
    PricingHost host;
    auto charges = Load(
        host,
        {Charge(1, 256, QStringLiteral("CRIT"), QStringLiteral("true"), 1, QStringLiteral("1")),
         Charge(2, 256, QStringLiteral("FUTURE"), QString(), 1, QStringLiteral("1"), Tomorrow),
         Charge(3, 256, QStringLiteral("ENDED"), QString(), 1, QStringLiteral("1"), QString(),
                LastYear),
         Charge(4, 4, QStringLiteral("PLAIN"), QString(), 1, QStringLiteral("1"), LastYear,
                Tomorrow)});
    QString priceCost = PriceCostText;
    EvaluateChargeCriteria(charges, QString(), priceCost, host.services());
    QStringList applying;
    for (const auto &c : charges)
        if (c.Applies)
            applying << c.ChargeCode;
    EXPECT_EQ(applying, QStringList{QStringLiteral("PLAIN")});
}

TEST(CalculateCharges, computesTheAmountOfEachApplyingChargeByMethod)
{
    PricingHost host;
    auto charges =
        Load(host, {Charge(1, 256, QStringLiteral("PCT"), {}, 5, QStringLiteral("10")),
                    Charge(2, 256, QStringLiteral("FIX"), {}, 1, QStringLiteral("25")),
                    Charge(3, 4, QStringLiteral("PFIX"), {}, 1, QStringLiteral("25")),
                    Charge(4, 4, QStringLiteral("PCOST"), {}, 5, QStringLiteral("10")),
                    Charge(5, 256, QStringLiteral("CPRICE"), {}, 6, QStringLiteral("10")),
                    Charge(6, 4, QStringLiteral("ZERO"), {}, 6, QStringLiteral("10")),
                    Charge(7, 4, QStringLiteral("AFTER"), {}, 8, QStringLiteral("2.5")),
                    Charge(8, 4, QStringLiteral("OFF"), {}, 1, QStringLiteral("9")),
                    Charge(9, 256, QStringLiteral("TEXT"), {}, 5, QStringLiteral("ten"))});
    charges[7].Applies = false;
    CalculateCostCharges(charges, QString(), PriceCostText, host.services());
    // Cost charges first: price charges have no amount yet.
    EXPECT_EQ(charges[2].Amount, Currency());
    CalculatePriceCharges(charges, QString(), PriceCostText, host.services());

    const QList<qint64> cents{1235, 2500, 2500, 0, 0, 0, 200, 0, 0};
    for (std::size_t i = 0; i < charges.size(); ++i)
        EXPECT_EQ(charges[i].Amount, Currency::fromScaled(cents[qsizetype(i)] * 100))
            << charges[i].ChargeCode.toStdString();
}

// A run over many lines shares one formula engine: created and initialised on the first
// criterion, terminated with the session, while every criterion of every line still starts
// from cleared variables and sees its own line.
TEST(EvaluateChargeCriteria, aSessionSharesOneEngineAcrossLines)
{
    PricingHost host;
    FormulaEngineRegistration formulas({{QStringLiteral("yes"), MakeBool(true)}});
    auto charges = Load(
        host, {Charge(1, 4, QStringLiteral("ALL"), QString(), 1, QStringLiteral("1")),
               Charge(2, 4, QStringLiteral("YES"), QStringLiteral("yes"), 1, QStringLiteral("1"))});
    const auto first = XmlDocument::parse(PriceCostText);
    const auto second = XmlDocument::parse(
        QString(PriceCostText)
            .replace(QStringLiteral("<ProductID>2<"), QStringLiteral("<ProductID>7<")));
    ASSERT_TRUE(first && second);
    QStringList perLine;
    {
        ChargeSession session(host.services());
        for (const auto &[item, priceCost] :
             {std::pair{QStringLiteral("<ItemData>1</ItemData>"), *first},
              std::pair{QStringLiteral("<ItemData>2</ItemData>"), *second}}) {
            AdditionalChargeList lineCharges = charges;
            EvaluateChargeCriteria(lineCharges, item, priceCost, session);
            EXPECT_TRUE(lineCharges[0].Applies && lineCharges[1].Applies);
            perLine << priceCost.xml();
        }
        ASSERT_EQ(formulas.created().size(), 1u);
        EXPECT_FALSE(
            formulas.created().front()->calls().contains(QStringLiteral("PreTerminate()")));
    }
    QStringList expected{QStringLiteral("Initialize(SharedCodeLibrary)")};
    for (int line = 0; line < 2; ++line)
        expected << QStringLiteral("ResetVariables()")
                 << QStringLiteral("SetVariable(ProductID, %1)").arg(line == 0 ? 2 : 7)
                 << QStringLiteral("SetVariable(OptionXML, <ItemData>%1</ItemData>)").arg(line + 1)
                 << QStringLiteral("SetVariable(PriceCostXML, ") + perLine[line] + QLatin1Char(')')
                 << QStringLiteral("EvaluateExpression(yes)");
    expected << QStringLiteral("PreTerminate()");
    EXPECT_EQ(formulas.created().front()->calls(), expected);
}

// Without a criterion to check, no formula engine is created at all.
TEST(EvaluateChargeCriteria, aSessionCreatesNoEngineForChargesWithoutCriteria)
{
    PricingHost host;
    FormulaEngineRegistration formulas(QMap<QString, Variant>{});
    auto charges =
        Load(host, {Charge(1, 4, QStringLiteral("ALL"), QString(), 1, QStringLiteral("1"))});
    const auto priceCost = XmlDocument::parse(PriceCostText);
    ASSERT_TRUE(priceCost);
    ChargeSession session(host.services());
    EvaluateChargeCriteria(charges, QString(), *priceCost, session);
    EXPECT_TRUE(charges[0].Applies);
    EXPECT_TRUE(formulas.created().empty());
}
