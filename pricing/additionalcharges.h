// Additional charges: company surcharges from the `AdditionalCharges` table, limited by dates
// and criteria, as fixed amounts or percentages of one amount of the line.
#pragma once

#include "common/currency.h"
#include "engine/hostservices.h"
#include "pricing/discounts.h"
#include "pricing/pricingdocument.h"
#include "pricing/unitprice.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <vector>

namespace zeltpc5 {

namespace ChargeType {
inline constexpr qint16 Price = 4;
inline constexpr qint16 Cost = 256;
} // namespace ChargeType

struct AdditionalCharge
{
    qint32 ID = 0; // below 1: the empty first slot of a fresh list
    qint16 ChargeType = 0;
    bool ApplyToPOs = false;
    QString ChargeName;
    QString ChargeCode;
    QString Criteria; // a formula engine expression; empty means every line
    qint16 ChargeMethod = 0;
    QString Value; // the amount or the percentage, as text
    bool Taxable = false;
    QDateTime StartsOn; // local time; invalid when the charge has no start date
    QDateTime EndsOn;
    bool AutoAddToQuotes = false;
    bool AutoAddToOrders = false;
    bool AutoAddToPOs = false;
    bool IncludeWithProductItems = false;
    bool Applies = false;
    Currency Amount;
};

// Ordered as the query returns the rows; a fresh list holds one empty record.
using AdditionalChargeList = std::vector<AdditionalCharge>;

// Replaces the list by the enabled cost and price charges of the database.
void LoadAdditionalCharges(AdditionalChargeList &charges, const HostServices &host,
                           SqlSession &session, const QLocale &locale = QLocale());

// Sets `Applies` of every applying record from its dates and criteria. Criteria are evaluated
// by the formula engine "zeltfe5.Engine"; when it cannot be created, a charge with criteria
// does not apply (they cannot be checked) while the dates are still checked. The price/cost
// text comes back as the last criteria evaluation serialised it.
void EvaluateChargeCriteria(AdditionalChargeList &charges, const QString &itemXml,
                            QString &priceCostXml, const HostServices &host);

// What the pricing of a run over many lines shares: the formula engine, created and
// initialised with the host on the first criterion to check and terminated when the session
// ends (every criterion still sets all its variables, so no line sees another's), the
// charge list as the first line read it, the discount level rows and the customer types'
// rounding, since the run's reads do not change, and the texts of the rates it writes.
class ChargeSession
{
public:
    explicit ChargeSession(HostServices host) : m_host(std::move(host)) {}
    ~ChargeSession();
    ChargeSession(const ChargeSession &) = delete;
    ChargeSession &operator=(const ChargeSession &) = delete;

    // Null when the formula engine cannot be created.
    const DispatchPtr &engine();
    // The enabled charges as LoadAdditionalCharges gives them; a list without a charge is
    // read again for the next line, as a failed read would be.
    AdditionalChargeList charges(SqlSession &session, const QLocale &locale);
    DiscountLevelCache &discountLevels() { return m_discountLevels; }
    RoundingRules &roundingRules() { return m_roundingRules; }
    SingleTexts &singleTexts() { return m_singleTexts; }

private:
    HostServices m_host;
    bool m_tried = false;
    DispatchPtr m_engine;
    AdditionalChargeList m_charges;
    DiscountLevelCache m_discountLevels;
    RoundingRules m_roundingRules;
    SingleTexts m_singleTexts;
};

// As above with the session's engine, over a parsed price/cost document, which is serialised
// for the engine once, when the first criterion needs it.
void EvaluateChargeCriteria(AdditionalChargeList &charges, const QString &itemXml,
                            const XmlDocument &priceCost, ChargeSession &chargeRun);

// One record's criteria against one line: true for empty criteria; false when the formula
// engine is missing or cannot evaluate the expression.
bool ChargeCriteriaMet(const AdditionalCharge &charge, const QString &itemXml,
                       QString &priceCostXml, const DispatchPtr &formulaEngine);

// The amounts of the applying cost (price) charges: a fixed amount, or a percentage of one
// field of the price/cost text rounded to cents; a base of 0 or below gives no amount.
void CalculateCostCharges(AdditionalChargeList &charges, const QString &itemXml,
                          const QString &priceCostXml, const HostServices &host,
                          const QLocale &locale = QLocale());
void CalculatePriceCharges(AdditionalChargeList &charges, const QString &itemXml,
                           const QString &priceCostXml, const HostServices &host,
                           const QLocale &locale = QLocale());
// The same over the parsed price/cost document (or its `PriceCostData` element).
void CalculateCostCharges(AdditionalChargeList &charges, const XmlNode &priceCost,
                          const QLocale &locale = QLocale());
void CalculatePriceCharges(AdditionalChargeList &charges, const XmlNode &priceCost,
                           const QLocale &locale = QLocale());

// A wall-clock date-time stored in UTC as local time in the zone, with the offset in force
// at that date (not today's daylight-saving state). Invalid in, invalid out.
QDateTime UtcToLocal(const QDateTime &utc, const QTimeZone &zone = QTimeZone::systemTimeZone());

// Dates cross to the host's helpers as serial day numbers: 0.0 is 30 December 1899 00:00,
// the fraction is the time of day (counted forwards from midnight before day 0 as well).
double SerialFromDateTime(const QDateTime &dateTime);

} // namespace zeltpc5
