#include "pricing/discounts.h"

#include "common/conversions.h"
#include "pricing/additionalcharges.h"
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

const QString &LevelTemplate(DiscountLevel level)
{
    switch (level) {
    case DiscountLevel::Style:
        return Sql::StyleLevel;
    case DiscountLevel::Option:
        return Sql::OptionLevel;
    case DiscountLevel::Product:
        break;
    }
    return Sql::ProductLevel;
}

// The level's statement with its markers filled.
QString LevelStatement(const DiscountLevelKey &key)
{
    QString sql = LevelTemplate(key.level);
    // The numbers first: the quoted style is free text and may itself hold a marker.
    sql.replace(QLatin1StringView("<pid>"), QString::number(key.productID));
    sql.replace(QLatin1StringView("<dgid>"), QString::number(key.groupID));
    sql.replace(QLatin1StringView("<style>"), SQLQuote(key.style));
    return sql;
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

// The level's rows as the session returns them; nothing when the read fails.
std::optional<DiscountLevelRows> ReadLevelRows(const DiscountLevelKey &key, SqlSession &session,
                                               const QLocale &locale)
{
    const auto document = session.ExecuteReadDocument(LevelStatement(key));
    if (!document)
        return std::nullopt;
    DiscountLevelRows rows;
    for (const XmlNode &record : document->selectNodes(QStringLiteral("//Records/Record")))
        rows.push_back({GetXMLValue(QStringLiteral("OptionName"), record),
                        TrimBlanks(GetXMLValue(QStringLiteral("OptionValue"), record)),
                        RecordRates(record, locale)});
    return rows;
}

// What a line needs to find its level rows, read once for the three families.
struct LineLevels
{
    std::optional<qint32> productID;
    QString style;
};

LineLevels ReadLineLevels(const XmlNode &element, const QLocale &locale)
{
    return {StoredIdentifier(element, PriceCostData::ProductID, locale),
            GetXMLValue(PriceCostData::Style, element)};
}

// Reads through the run's rows when there are any, else straight from the session, and
// writes rates with the run's (or the call's) texts.
class LevelReader
{
public:
    LevelReader(SqlSession &session, DiscountLevelCache *cache, SingleTexts &texts,
                const QLocale &locale)
        : m_session(session), m_cache(cache), m_texts(texts), m_locale(locale)
    {}

    // No rows when the line's product or group is not a number: such a statement could only
    // fail. Valid until the next call.
    const DiscountLevelRows &rows(DiscountLevel level, const LineLevels &line,
                                  const std::optional<qint32> &groupID)
    {
        m_read.clear();
        if (!line.productID || !groupID)
            return m_read;
        const DiscountLevelKey key{level, *groupID, *line.productID,
                                   level == DiscountLevel::Product ? QString() : line.style};
        if (m_cache)
            return m_cache->rows(key, m_session, m_locale);
        m_read = ReadLevelRows(key, m_session, m_locale).value_or(DiscountLevelRows());
        return m_read;
    }

    void writeLevel(const XmlNode &element, DiscountKind kind, DiscountLevel level,
                    const OptionDiscountColumn &rates);

private:
    SqlSession &m_session;
    DiscountLevelCache *m_cache;
    SingleTexts &m_texts;
    const QLocale &m_locale;
    DiscountLevelRows m_read; // rows read without a cache
};

void LevelReader::writeLevel(const XmlNode &element, DiscountKind kind, DiscountLevel level,
                             const OptionDiscountColumn &rates)
{
    const DiscountFamily family = FamilyOf(kind);
    const auto write = [&](LevelRate rate, int row) {
        m_texts.write(LevelRateField(family, level, rate), rates[row], element, m_locale);
    };
    using namespace OptionDiscountRow;
    write(LevelRate::Discount, Discount);
    write(LevelRate::DiscountLow, Low);
    write(LevelRate::DiscountHigh, High);
    write(LevelRate::DiscountAD, DiscountAD);
    write(LevelRate::Margin, Margin);
    write(LevelRate::MarginAD, MarginAD);
}

// Product and style levels: several rows for one product leave the last one returned; no row
// leaves zeros.
void LoadSingleLevel(DiscountKind kind, DiscountLevel level, const XmlNode &element,
                     const LineLevels &line, const std::optional<qint32> &groupID,
                     LevelReader &reader)
{
    const DiscountLevelRows &rows = reader.rows(level, line, groupID);
    reader.writeLevel(element, kind, level,
                      rows.empty() ? OptionDiscountColumn{} : rows.back().rates);
}

void LoadOptionLevel(DiscountKind kind, const XmlNode &item, const XmlNode &element,
                     const LineLevels &line, const std::optional<qint32> &groupID,
                     LevelReader &reader, const QLocale &locale)
{
    OptionDiscountTable table(1, OptionDiscountColumn{});
    const DiscountLevelRows &rows = reader.rows(DiscountLevel::Option, line, groupID);
    if (item) {
        const XmlDocument itemDocument = item.ownerDocument();
        for (const DiscountLevelRow &row : rows) {
            const QString value = GetOptionValue(itemDocument, row.optionName);
            if (!value.isEmpty() && value == row.optionValue)
                AddOptionDiscountRates(row.rates, table);
        }
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
    reader.writeLevel(element, kind, DiscountLevel::Option, table.at(std::size_t(chosen)));
}

void LoadLevels(DiscountKind kind, const XmlNode &item, const XmlNode &element,
                const LineLevels &line, LevelReader &reader, const QLocale &locale)
{
    // The levels write only rates: the group stays as read.
    const auto groupID = StoredIdentifier(element, GroupField(kind), locale);
    LoadSingleLevel(kind, DiscountLevel::Product, element, line, groupID, reader);
    LoadSingleLevel(kind, DiscountLevel::Style, element, line, groupID, reader);
    LoadOptionLevel(kind, item, element, line, groupID, reader, locale);
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

namespace {

void LoadAllLevels(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, DiscountLevelCache *cache, SingleTexts &texts,
                   const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    CompanyConnection connection = host.CurrentCompanyConn();
    if (!connection.isValid())
        return;
    LevelReader reader(session, cache, texts, locale);
    // Nothing here writes the product or the style.
    const LineLevels line = ReadLineLevels(element, locale);

    const qint32 costGroup = session.ExecuteScaler(
        FormatTemplate(Sql::CostGroup, {CostGroupType}, locale), QString(), QStringLiteral("0"));
    SetXMLLong(PriceCostData::CostDiscountGroupID, costGroup, element, locale);
    LoadLevels(DiscountKind::Cost, item, element, line, reader, locale);

    FindCustomerGroup(Sql::CustomerPriceGroup, PriceCostData::PriceDiscountGroupID, element,
                      session, locale);
    LoadLevels(DiscountKind::Price, item, element, line, reader, locale);

    FindCustomerGroup(Sql::CustomerDiscountGroup, PriceCostData::CustomerDiscountGroupID, element,
                      session, locale);
    LoadLevels(DiscountKind::Customer, item, element, line, reader, locale);

    connection.Close();
}

// One level of one family, straight from the session.
void LoadOneLevel(DiscountKind kind, DiscountLevel level, const XmlNode &item,
                  const XmlNode &priceCost, SqlSession &session, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    SingleTexts texts;
    LevelReader reader(session, nullptr, texts, locale);
    const LineLevels line = ReadLineLevels(element, locale);
    const auto groupID = StoredIdentifier(element, GroupField(kind), locale);
    if (level == DiscountLevel::Option)
        LoadOptionLevel(kind, item, element, line, groupID, reader, locale);
    else
        LoadSingleLevel(kind, level, element, line, groupID, reader);
}

} // namespace

void LoadDiscounts(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, const QLocale &locale)
{
    SingleTexts texts;
    LoadAllLevels(item, priceCost, host, session, nullptr, texts, locale);
}

void LoadDiscounts(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, ChargeSession &run, const QLocale &locale)
{
    LoadAllLevels(item, priceCost, host, session, &run.discountLevels(), run.singleTexts(), locale);
}

void LoadProductDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                          SqlSession &session, const QLocale &locale)
{
    Q_UNUSED(itemXml);
    LoadOneLevel(kind, DiscountLevel::Product, XmlNode(), priceCost, session, locale);
}

void LoadStyleDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                        SqlSession &session, const QLocale &locale)
{
    Q_UNUSED(itemXml);
    LoadOneLevel(kind, DiscountLevel::Style, XmlNode(), priceCost, session, locale);
}

void LoadOptionDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                         SqlSession &session, const QLocale &locale)
{
    const auto item = LoadItemXML(itemXml);
    LoadOneLevel(kind, DiscountLevel::Option, item ? item->node() : XmlNode(), priceCost, session,
                 locale);
}

void AddOptionDiscountRow(const XmlNode &record, OptionDiscountTable &table, const QLocale &locale)
{
    AddOptionDiscountRates(RecordRates(record, locale), table);
}

void AddOptionDiscountRates(const OptionDiscountColumn &rates, OptionDiscountTable &table)
{
    if (table.empty() || table.back()[OptionDiscountRow::Discount] != 0.0f)
        table.push_back(OptionDiscountColumn{});
    table.back() = rates;
}

const DiscountLevelRows &DiscountLevelCache::rows(const DiscountLevelKey &key, SqlSession &session,
                                                  const QLocale &locale)
{
    if (const DiscountLevelRows *kept = m_rows.find(key, locale))
        return *kept;
    static const DiscountLevelRows NoRows;
    // Only rows actually read are kept: a failed read is tried again for the next line.
    auto rows = ReadLevelRows(key, session, locale);
    return rows ? m_rows.keep(key, std::move(*rows)) : NoRows;
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
