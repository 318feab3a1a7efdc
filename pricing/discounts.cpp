#include "pricing/discounts.h"

#include "common/conversions.h"
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <optional>

namespace zeltpc5 {

namespace {

namespace Sql {
const QString CostGroup =
    QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = {0}");
const QString CustomerPriceGroup =
    QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = {0}");
const QString CustomerDiscountGroup =
    QStringLiteral("SELECT CustomerDiscountGroupID FROM Customers WHERE ID = {0}");
const QString ProductLevel = QStringLiteral(
    "SELECT Discount,DiscountAD,High,Low,Margin,MarginAD,OptionName,OptionValue FROM Discounts "
    "WHERE DiscountGroupID = <dgid> AND DiscountLevel = 1 AND ProductID = <pid>");
const QString StyleLevel = QStringLiteral(
    "SELECT Discount, DiscountAD, High, Low, Margin, MarginAD, OptionName, OptionValue FROM "
    "Discounts WHERE DiscountGroupID = <dgid> AND DiscountLevel = 2 AND ProductID = <pid> AND "
    "Style = '<style>'");
const QString OptionLevel = QStringLiteral(
    "SELECT Discount, DiscountAD, High, Low, Margin, MarginAD, OptionName, OptionValue FROM "
    "Discounts WHERE DiscountGroupID = <dgid> AND DiscountLevel = 3 AND ProductID = <pid> AND "
    "Style = '<style>' AND OptionName <> ''");
} // namespace Sql

// The group type of the vendor cost group in DiscountGroups.
constexpr int CostGroupType = 1;

DiscountFamily FamilyOf(DiscountKind kind)
{
    switch (kind) {
    case DiscountKind::Cost:
        return DiscountFamily::Cost;
    case DiscountKind::Customer:
        return DiscountFamily::Customer;
    case DiscountKind::Price:
        break;
    }
    return DiscountFamily::Price;
}

QString GroupField(DiscountKind kind)
{
    switch (kind) {
    case DiscountKind::Cost:
        return PriceCostData::CostDiscountGroupID;
    case DiscountKind::Customer:
        return PriceCostData::CustomerDiscountGroupID;
    case DiscountKind::Price:
        break;
    }
    return PriceCostData::PriceDiscountGroupID;
}

// A stored identifier as the number it holds. Document text never reaches a statement as
// text, so nothing stored in a line can change what a statement does.
std::optional<qint32> StoredIdentifier(const XmlNode &element, const QString &field,
                                       const QLocale &locale)
{
    const auto number = ParseNumber(GetXMLValue(field, element), locale);
    return number ? RoundToInt32(*number) : std::nullopt;
}

// The level's statement with its markers filled, or nothing when the line's product or group
// is not a number (such a statement could only fail, and loads no rows).
std::optional<QString> LevelStatement(const QString &templateText, DiscountKind kind,
                                      const XmlNode &element, const QLocale &locale)
{
    const auto productID = StoredIdentifier(element, PriceCostData::ProductID, locale);
    const auto groupID = StoredIdentifier(element, GroupField(kind), locale);
    if (!productID || !groupID)
        return std::nullopt;
    QString sql = templateText;
    // The numbers first: the quoted style is free text and may itself hold a marker.
    sql.replace(QLatin1StringView("<pid>"), QString::number(*productID));
    sql.replace(QLatin1StringView("<dgid>"), QString::number(*groupID));
    sql.replace(QLatin1StringView("<style>"), SQLQuote(GetXMLValue(PriceCostData::Style, element)));
    return sql;
}

QList<XmlNode> LevelRecords(const QString &templateText, DiscountKind kind, const XmlNode &element,
                            SqlSession &session, const QLocale &locale)
{
    const auto sql = LevelStatement(templateText, kind, element, locale);
    if (!sql)
        return {};
    const auto rows = session.ExecuteReadDocument(*sql);
    return rows ? rows->selectNodes(QStringLiteral("//Records/Record")) : QList<XmlNode>();
}

void WriteLevel(const XmlNode &element, DiscountKind kind, DiscountLevel level,
                const OptionDiscountColumn &rates, const QLocale &locale)
{
    const DiscountFamily family = FamilyOf(kind);
    const auto write = [&](LevelRate rate, int row) {
        SetXMLSingle(LevelRateField(family, level, rate), rates[row], element, locale);
    };
    using namespace OptionDiscountRow;
    write(LevelRate::Discount, Discount);
    write(LevelRate::DiscountLow, Low);
    write(LevelRate::DiscountHigh, High);
    write(LevelRate::DiscountAD, DiscountAD);
    write(LevelRate::Margin, Margin);
    write(LevelRate::MarginAD, MarginAD);
}

OptionDiscountColumn RecordRates(const XmlNode &record, const QLocale &locale)
{
    const auto rate = [&](const char *column) {
        return GetXMLSingle(QLatin1StringView(column), record, 0.0f, locale);
    };
    OptionDiscountColumn rates{};
    rates[OptionDiscountRow::Discount] = rate("Discount");
    rates[OptionDiscountRow::Low] = rate("Low");
    rates[OptionDiscountRow::High] = rate("High");
    rates[OptionDiscountRow::Margin] = rate("Margin");
    rates[OptionDiscountRow::DiscountAD] = rate("DiscountAD");
    rates[OptionDiscountRow::MarginAD] = rate("MarginAD");
    return rates;
}

// The table's option values may carry blanks around them; tabs and line breaks are kept.
QString TrimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

void LoadOptionLevel(DiscountKind kind, const XmlNode &item, const XmlNode &priceCost,
                     SqlSession &session, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    OptionDiscountTable table(1, OptionDiscountColumn{});
    const QList<XmlNode> records = LevelRecords(Sql::OptionLevel, kind, element, session, locale);
    for (const XmlNode &record : records) {
        if (!item)
            break;
        const QString value =
            GetOptionValue(item.ownerDocument(), GetXMLValue(QStringLiteral("OptionName"), record));
        if (!value.isEmpty() &&
            value == TrimBlanks(GetXMLValue(QStringLiteral("OptionValue"), record)))
            AddOptionDiscountRow(record, table, locale);
    }

    int chosen = 0;
    switch (GetXMLLong(PriceCostData::OptionDiscountMethod, element, 0, locale)) {
    case 0:
        chosen = PickHighestDiscountRow(table);
        break;
    case 1:
        chosen = PickLowestDiscountRow(table);
        break;
    default:
        return; // an unknown method leaves the option level as stored
    }
    WriteLevel(element, kind, DiscountLevel::Option, table.at(std::size_t(chosen)), locale);
}

void LoadLevels(DiscountKind kind, const XmlNode &item, const XmlNode &element, SqlSession &session,
                const QLocale &locale)
{
    LoadProductDiscounts(kind, QString(), element, session, locale);
    LoadStyleDiscounts(kind, QString(), element, session, locale);
    LoadOptionLevel(kind, item, element, session, locale);
}

// The customer's group from Customers, unless the line already names one.
void FindCustomerGroup(const QString &statement, const QString &field, const XmlNode &element,
                       SqlSession &session, const QLocale &locale)
{
    if (GetXMLLong(field, element, 0, locale) >= 1)
        return;
    const qint32 customerID = GetXMLLong(PriceCostData::CustomerID, element, 0, locale);
    const qint32 group = session.ExecuteScaler(FormatTemplate(statement, {customerID}, locale),
                                               QString(), QStringLiteral("0"));
    SetXMLLong(field, group, element, locale);
}

} // namespace

QString SQLQuote(const QString &text)
{
    QString quoted = text;
    return quoted.replace(QLatin1Char('\''), QLatin1StringView("''"));
}

void LoadDiscounts(const QString &itemXml, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, const QLocale &locale)
{
    const auto item = LoadItemXML(itemXml);
    LoadDiscounts(item ? item->node() : XmlNode(), priceCost, host, session, locale);
}

void LoadDiscounts(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    CompanyConnection connection = host.CurrentCompanyConn();
    if (!connection.isValid())
        return;

    const qint32 costGroup = session.ExecuteScaler(
        FormatTemplate(Sql::CostGroup, {CostGroupType}, locale), QString(), QStringLiteral("0"));
    SetXMLLong(PriceCostData::CostDiscountGroupID, costGroup, element, locale);
    LoadLevels(DiscountKind::Cost, item, element, session, locale);

    FindCustomerGroup(Sql::CustomerPriceGroup, PriceCostData::PriceDiscountGroupID, element,
                      session, locale);
    LoadLevels(DiscountKind::Price, item, element, session, locale);

    FindCustomerGroup(Sql::CustomerDiscountGroup, PriceCostData::CustomerDiscountGroupID, element,
                      session, locale);
    LoadLevels(DiscountKind::Customer, item, element, session, locale);

    connection.Close();
}

void LoadProductDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                          SqlSession &session, const QLocale &locale)
{
    Q_UNUSED(itemXml);
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    WriteLevel(element, kind, DiscountLevel::Product, OptionDiscountColumn{}, locale);
    // Several rows for one product: the last one returned wins.
    for (const XmlNode &record : LevelRecords(Sql::ProductLevel, kind, element, session, locale))
        WriteLevel(element, kind, DiscountLevel::Product, RecordRates(record, locale), locale);
}

void LoadStyleDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                        SqlSession &session, const QLocale &locale)
{
    Q_UNUSED(itemXml);
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    WriteLevel(element, kind, DiscountLevel::Style, OptionDiscountColumn{}, locale);
    for (const XmlNode &record : LevelRecords(Sql::StyleLevel, kind, element, session, locale))
        WriteLevel(element, kind, DiscountLevel::Style, RecordRates(record, locale), locale);
}

void LoadOptionDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                         SqlSession &session, const QLocale &locale)
{
    const auto item = LoadItemXML(itemXml);
    LoadOptionLevel(kind, item ? item->node() : XmlNode(), priceCost, session, locale);
}

void AddOptionDiscountRow(const XmlNode &record, OptionDiscountTable &table, const QLocale &locale)
{
    if (table.empty() || table.back()[OptionDiscountRow::Discount] != 0.0f)
        table.push_back(OptionDiscountColumn{});
    table.back() = RecordRates(record, locale);
}

int PickHighestDiscountRow(const OptionDiscountTable &table)
{
    float best = -99999.0f;
    int chosen = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i][OptionDiscountRow::Discount] > best) {
            best = table[i][OptionDiscountRow::Discount];
            chosen = int(i);
        }
    }
    return chosen;
}

int PickLowestDiscountRow(const OptionDiscountTable &table)
{
    float best = 1e8f;
    int chosen = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i][OptionDiscountRow::Discount] < best) {
            best = table[i][OptionDiscountRow::Discount];
            chosen = int(i);
        }
    }
    return chosen;
}

} // namespace zeltpc5
