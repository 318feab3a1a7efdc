#include "pricing/additionalcharges.h"

#include "common/conversions.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/classregistry.h>

#include <QDate>

#include <algorithm>

namespace zeltpc5 {

namespace {

namespace Sql {
const QString Charges = QStringLiteral("SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND "
                                       "(ChargeType = <a> OR ChargeType = <b>)");
} // namespace Sql

const QString FormulaEngineClass = QStringLiteral("zeltfe5.Engine");
const QString DateHelperClass = QStringLiteral("{4798268F-588A-4B49-8CD2-2848CC58359D}");
// DateHelper's first operation: (date, flag) -> the moment the present is compared with.
constexpr DispId DateBoundaryId = 1;
enum class RangeEnd : qint16 { Start = 0, End = 1 };

const QDate SerialEpoch(1899, 12, 30);
// Serial day 2.0 (1 January 1900 00:00) and earlier stands for "no date".
constexpr double NoDateSerial = 2.0;

enum ChargeMethod : qint16 {
    FixedAmount = 1,
    PercentOfBeforeDiscountCost = 5,
    PercentOfBeforeDiscountPrice = 6,
    PercentOfAfterDiscountCost = 7,
    PercentOfAfterDiscountPrice = 8,
    PercentOfCostTotal = 9,
    PercentOfPriceTotal = 10,
};

bool HasChargeDate(const QDateTime &date)
{
    return date.isValid() && SerialFromDateTime(date) > NoDateSerial;
}

bool Flag(const XmlNode &record, const char *column, const QLocale &locale)
{
    return GetXMLInteger(QLatin1StringView(column), record, 0, locale) != 0;
}

QDateTime ChargeDate(const XmlNode &record, const QString &column)
{
    const XmlNode element = FindChildNode(record, column);
    if (!element || GetXMLAttribute(element, QStringLiteral("null")) == QLatin1StringView("true"))
        return {};
    const QDateTime stored = GetXMLDate(column, record);
    return stored.isValid() ? UtcToLocal(stored) : QDateTime();
}

AdditionalCharge ChargeFromRecord(const XmlNode &record, const QLocale &locale)
{
    AdditionalCharge c;
    c.ID = GetXMLLong(QStringLiteral("ID"), record, 0, locale);
    c.ChargeType = GetXMLInteger(QStringLiteral("ChargeType"), record, 0, locale);
    c.ApplyToPOs = Flag(record, "ApplyToPOs", locale);
    c.ChargeName = GetXMLValue(QStringLiteral("ChargeName"), record);
    c.ChargeCode = GetXMLValue(QStringLiteral("ChargeCode"), record);
    c.Criteria = GetXMLValue(QStringLiteral("Criteria"), record);
    c.ChargeMethod = GetXMLInteger(QStringLiteral("ChargeMethod"), record, 0, locale);
    c.Value = GetXMLValue(QStringLiteral("Value"), record);
    c.Taxable = Flag(record, "Taxable", locale);
    c.StartsOn = ChargeDate(record, QStringLiteral("StartsOn"));
    c.EndsOn = ChargeDate(record, QStringLiteral("EndsOn"));
    c.AutoAddToQuotes = Flag(record, "AutoAddToQuotes", locale);
    c.AutoAddToOrders = Flag(record, "AutoAddToOrders", locale);
    c.AutoAddToPOs = Flag(record, "AutoAddToPOs", locale);
    c.IncludeWithProductItems = Flag(record, "IncludeWithProductItems", locale);
    c.Applies = true;
    return c;
}

// The date helper, created on first use for one evaluation run.
class DateBoundaries
{
public:
    // The moment the present is compared with for this start or end date. Without the
    // host's helper the date itself is that moment.
    double boundary(const QDateTime &date, RangeEnd end)
    {
        const double serial = SerialFromDateTime(date);
        if (!m_tried) {
            m_tried = true;
            if (!CreateObject(DateHelperClass, &m_helper).ok())
                m_helper = {};
        }
        if (!m_helper)
            return serial;
        VariantList args{MakeDouble(serial), MakeInt16(qint16(end))};
        Variant result;
        if (!CallById(m_helper, DateBoundaryId, CallType::Method, args, &result).ok())
            return serial;
        return ToDouble(result).value_or(serial);
    }

private:
    bool m_tried = false;
    DispatchPtr m_helper;
};

bool InForce(const AdditionalCharge &charge, double now, DateBoundaries &boundaries)
{
    if (HasChargeDate(charge.StartsOn) &&
        now < boundaries.boundary(charge.StartsOn, RangeEnd::Start))
        return false;
    if (HasChargeDate(charge.EndsOn) && now >= boundaries.boundary(charge.EndsOn, RangeEnd::End))
        return false;
    return true;
}

// The field a percentage is taken of, for this charge type and method; empty for none.
QString PercentageBase(qint16 chargeType, qint16 method)
{
    using namespace PriceCostData;
    if (chargeType == ChargeType::Cost) {
        switch (method) {
        case PercentOfBeforeDiscountCost:
            return BeforeDiscountCost;
        case PercentOfAfterDiscountCost:
            return AfterDiscountCost;
        case PercentOfCostTotal:
            return CostDiscountAmountADTotal;
        default:
            return {};
        }
    }
    switch (method) {
    case PercentOfBeforeDiscountPrice:
        return BeforeDiscountPrice;
    case PercentOfAfterDiscountPrice:
        return AfterDiscountPrice;
    case PercentOfPriceTotal:
        return PriceDiscountAmountADTotal;
    default:
        return {};
    }
}

std::optional<Currency> ChargeAmount(const AdditionalCharge &charge, const XmlNode &element,
                                     const QLocale &locale)
{
    if (charge.ChargeMethod == FixedAmount)
        return Currency::fromString(charge.Value, locale);
    const QString field = PercentageBase(charge.ChargeType, charge.ChargeMethod);
    if (field.isEmpty())
        return std::nullopt;
    const auto base = Currency::fromString(GetXMLValue(field, element), locale);
    if (!base || *base <= Currency())
        return std::nullopt;
    const auto percent = ParseNumber(charge.Value, locale);
    if (!percent)
        return std::nullopt;
    const auto amount = Currency::fromDouble(base->toDouble() * (*percent / 100.0));
    if (!amount)
        return std::nullopt;
    return RoundCurrency(*amount, 2);
}

// The criteria of one charge against a line whose price/cost text is already in the form
// the formula engine receives.
bool CriteriaMet(const AdditionalCharge &charge, const QString &itemXml, qint32 productID,
                 const QString &priceCostXml, const DispatchPtr &formulaEngine)
{
    if (charge.Criteria.isEmpty())
        return true;
    // Criteria that cannot be checked are not met.
    if (!formulaEngine)
        return false;
    Call(formulaEngine, u"ResetVariables");
    Call(formulaEngine, u"SetVariable", {QStringLiteral("ProductID"), MakeInt32(productID)});
    Call(formulaEngine, u"SetVariable", {QStringLiteral("OptionXML"), itemXml});
    Call(formulaEngine, u"SetVariable", {QStringLiteral("PriceCostXML"), priceCostXml});
    const CallResult result = Call(formulaEngine, u"EvaluateExpression", {charge.Criteria});
    return result.ok() && ToBool(result.value).value_or(false);
}

// The line's product and its price/cost text serialised again; the text stays as it is
// when it does not parse.
qint32 NormalisePriceCost(QString &priceCostXml)
{
    const auto document = LoadPriceCostXML(priceCostXml);
    if (!document)
        return 0;
    priceCostXml = document->xml();
    return GetXMLLong(PriceCostData::ProductID, FindChildNode(*document, PriceCostData::Root), 0);
}

bool AnyApplies(const AdditionalChargeList &charges, qint16 chargeType)
{
    return std::any_of(charges.begin(), charges.end(), [chargeType](const AdditionalCharge &c) {
        return c.Applies && c.ChargeType == chargeType;
    });
}

void CalculateCharges(qint16 chargeType, AdditionalChargeList &charges, const XmlNode &element,
                      const QLocale &locale)
{
    for (AdditionalCharge &charge : charges) {
        if (!charge.Applies || charge.ChargeType != chargeType)
            continue;
        if (const auto amount = ChargeAmount(charge, element, locale))
            charge.Amount = *amount;
    }
}

void CalculateCharges(qint16 chargeType, AdditionalChargeList &charges, const QString &priceCostXml,
                      const QLocale &locale)
{
    if (!AnyApplies(charges, chargeType))
        return;
    const auto document = LoadPriceCostXML(priceCostXml);
    CalculateCharges(chargeType, charges,
                     document ? FindChildNode(*document, PriceCostData::Root) : XmlNode(), locale);
}

} // namespace

void LoadAdditionalCharges(AdditionalChargeList &charges, const HostServices &host,
                           SqlSession &session, const QLocale &locale)
{
    Q_UNUSED(host);
    charges.assign(1, AdditionalCharge());
    QString sql = Sql::Charges;
    sql.replace(QLatin1StringView("<a>"), QString::number(ChargeType::Price));
    sql.replace(QLatin1StringView("<b>"), QString::number(ChargeType::Cost));
    const auto rows = session.ExecuteReadDocument(sql);
    if (!rows)
        return;
    for (const XmlNode &record : rows->selectNodes(QStringLiteral("//Records/Record"))) {
        if (charges.back().ID >= 1)
            charges.emplace_back();
        charges.back() = ChargeFromRecord(record, locale);
    }
}

ChargeSession::~ChargeSession()
{
    if (m_engine)
        Call(m_engine, u"PreTerminate");
}

AdditionalChargeList ChargeSession::charges(SqlSession &session, const QLocale &locale)
{
    if (m_charges.empty() || m_charges.front().ID < 1)
        LoadAdditionalCharges(m_charges, m_host, session, locale);
    return m_charges;
}

const DispatchPtr &ChargeSession::engine()
{
    if (!m_tried) {
        m_tried = true;
        if (!CreateObject(FormulaEngineClass, &m_engine).ok())
            m_engine = {};
        if (m_engine)
            Call(m_engine, u"Initialize", {MakeObject(m_host.object())});
    }
    return m_engine;
}

namespace {

// Sets Applies of every applying charge from its dates, then its criteria. engineFor gives the
// formula engine for a charge (null without criteria); lineFacts gives the line's product and
// the price/cost text the engine receives, asked once, for the first criterion checked.
template <class EngineFor, class LineFacts>
void ApplyDatesAndCriteria(AdditionalChargeList &charges, const QString &itemXml,
                           EngineFor engineFor, LineFacts lineFacts)
{
    DateBoundaries boundaries;
    const double now = SerialFromDateTime(QDateTime::currentDateTime());
    std::optional<qint32> productID;
    QString priceCostXml;
    for (AdditionalCharge &charge : charges) {
        if (!charge.Applies)
            continue;
        if (!InForce(charge, now, boundaries)) {
            charge.Applies = false;
            continue;
        }
        const DispatchPtr &engine = engineFor(charge);
        if (!productID && engine)
            productID = lineFacts(priceCostXml);
        charge.Applies = CriteriaMet(charge, itemXml, productID.value_or(0), priceCostXml, engine);
    }
}

} // namespace

void EvaluateChargeCriteria(AdditionalChargeList &charges, const QString &itemXml,
                            const XmlDocument &priceCost, ChargeSession &chargeRun)
{
    static const DispatchPtr NoEngine;
    ApplyDatesAndCriteria(
        charges, itemXml,
        [&](const AdditionalCharge &c) -> const DispatchPtr & {
            return c.Criteria.isEmpty() ? NoEngine : chargeRun.engine();
        },
        [&](QString &text) {
            text = priceCost.xml();
            return GetXMLLong(PriceCostData::ProductID,
                              FindChildNode(priceCost, PriceCostData::Root), 0);
        });
}

void EvaluateChargeCriteria(AdditionalChargeList &charges, const QString &itemXml,
                            QString &priceCostXml, const HostServices &host)
{
    static const DispatchPtr NoEngine;
    ChargeSession chargeRun(host);
    const DispatchPtr engine = chargeRun.engine();
    // Serialising the parsed text again gives the same text, so one line needs it once.
    ApplyDatesAndCriteria(
        charges, itemXml,
        [&](const AdditionalCharge &c) -> const DispatchPtr & {
            return c.Criteria.isEmpty() ? NoEngine : engine;
        },
        [&](QString &text) {
            const qint32 productID = NormalisePriceCost(priceCostXml);
            text = priceCostXml;
            return productID;
        });
}

bool ChargeCriteriaMet(const AdditionalCharge &charge, const QString &itemXml,
                       QString &priceCostXml, const DispatchPtr &formulaEngine)
{
    if (charge.Criteria.isEmpty() || !formulaEngine)
        return CriteriaMet(charge, itemXml, 0, QString(), formulaEngine);
    const qint32 productID = NormalisePriceCost(priceCostXml);
    return CriteriaMet(charge, itemXml, productID, priceCostXml, formulaEngine);
}

void CalculateCostCharges(AdditionalChargeList &charges, const QString &itemXml,
                          const QString &priceCostXml, const HostServices &host,
                          const QLocale &locale)
{
    Q_UNUSED(itemXml);
    Q_UNUSED(host);
    CalculateCharges(ChargeType::Cost, charges, priceCostXml, locale);
}

void CalculatePriceCharges(AdditionalChargeList &charges, const QString &itemXml,
                           const QString &priceCostXml, const HostServices &host,
                           const QLocale &locale)
{
    Q_UNUSED(itemXml);
    Q_UNUSED(host);
    CalculateCharges(ChargeType::Price, charges, priceCostXml, locale);
}

void CalculateCostCharges(AdditionalChargeList &charges, const XmlNode &priceCost,
                          const QLocale &locale)
{
    if (AnyApplies(charges, ChargeType::Cost))
        CalculateCharges(ChargeType::Cost, charges, PriceCostElement(priceCost), locale);
}

void CalculatePriceCharges(AdditionalChargeList &charges, const XmlNode &priceCost,
                           const QLocale &locale)
{
    if (AnyApplies(charges, ChargeType::Price))
        CalculateCharges(ChargeType::Price, charges, PriceCostElement(priceCost), locale);
}

QDateTime UtcToLocal(const QDateTime &utc, const QTimeZone &zone)
{
    if (!utc.isValid())
        return {};
    // The stored wall time is UTC; the zone's rules give the offset in force at that date.
    return QDateTime(utc.date(), utc.time(), Qt::UTC).toTimeZone(zone);
}

double SerialFromDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0.0;
    const double days = double(SerialEpoch.daysTo(dateTime.date()));
    const double time = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    return days < 0 ? days - time : days + time;
}

} // namespace zeltpc5
