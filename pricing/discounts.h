// Discount groups and levels: the line's three discount groups and, per family, the product,
// style and option level rates copied from the `Discounts` table into `PriceCostData`.
#pragma once

#include "engine/hostservices.h"
#include "pricing/localecache.h"
#include "pricing/pricecostfields.h"
#include "xml/xmldocument.h"

#include <QHash>
#include <QLocale>
#include <QString>

#include <array>
#include <vector>

namespace zeltpc5 {

// The family a level loader fills; the codes are those the system passes around.
enum class DiscountKind : qint16 { Price = 0, Cost = 1, Customer = 2 };

// Matching option rows while level 3 is loaded: one column per row, its rates in this order.
namespace OptionDiscountRow {
inline constexpr int Discount = 0;
inline constexpr int Low = 1;
inline constexpr int High = 2;
inline constexpr int Margin = 3;
inline constexpr int DiscountAD = 4;
inline constexpr int MarginAD = 5;
} // namespace OptionDiscountRow
using OptionDiscountColumn = std::array<float, 6>;
// Starts with one column of zeros, so "no matching row" writes zeros.
using OptionDiscountTable = std::vector<OptionDiscountColumn>;

class ChargeSession;

// What selects the `Discounts` rows of one level; product levels ignore the style.
struct DiscountLevelKey
{
    DiscountLevel level = DiscountLevel::Product;
    qint32 groupID = 0;
    qint32 productID = 0;
    QString style;

    friend bool operator==(const DiscountLevelKey &, const DiscountLevelKey &) = default;
    friend size_t qHash(const DiscountLevelKey &key, size_t seed = 0)
    {
        return qHashMulti(seed, int(key.level), key.groupID, key.productID, key.style);
    }
};

// One row as the level loaders use it: the option it applies to and its rates.
struct DiscountLevelRow
{
    QString optionName;
    QString optionValue; // blanks around it removed
    OptionDiscountColumn rates{};
};
using DiscountLevelRows = std::vector<DiscountLevelRow>;

// The level rows a change run has read. In a bulk change the same groups, products and
// styles come back line after line, and the table does not change while the run lasts, so
// each level is read once a run. Keep one per run (ChargeSession holds it), never longer.
class DiscountLevelCache
{
public:
    // Read through the session on the first ask; a failed read is not kept, so the next
    // line tries again.
    const DiscountLevelRows &rows(const DiscountLevelKey &key, SqlSession &session,
                                  const QLocale &locale);

private:
    LocaleCache<DiscountLevelKey, DiscountLevelRows> m_rows;
};

// Finds the cost, price and customer discount groups of the line and loads the three levels
// of each family into the price/cost document (the document or its `PriceCostData`
// element). Does nothing without a document or without a company connection, which is
// closed at the end. A price or customer group already stored (1 or more) is kept.
void LoadDiscounts(const QString &itemXml, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, const QLocale &locale = QLocale());
// The same over an item already parsed (any node of its document).
void LoadDiscounts(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, const QLocale &locale = QLocale());
// The same for a line of a run over many lines: the level rows come from the run's cache.
void LoadDiscounts(const XmlNode &item, const XmlNode &priceCost, const HostServices &host,
                   SqlSession &session, ChargeSession &run, const QLocale &locale = QLocale());

// One level of one family. The product ID and the group are put into the statements as
// numbers; a line whose product or group is not a number loads no rows.
void LoadProductDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                          SqlSession &session, const QLocale &locale = QLocale());
void LoadStyleDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                        SqlSession &session, const QLocale &locale = QLocale());
void LoadOptionDiscounts(DiscountKind kind, const QString &itemXml, const XmlNode &priceCost,
                         SqlSession &session, const QLocale &locale = QLocale());

// Adds one matching `Discounts` record to the table. The last column is reused while its
// discount is exactly 0, so a matching row without discount is replaced by the next one.
void AddOptionDiscountRow(const XmlNode &record, OptionDiscountTable &table,
                          const QLocale &locale = QLocale());
// The same with the record's rates already read.
void AddOptionDiscountRates(const OptionDiscountColumn &rates, OptionDiscountTable &table);
// The column with the highest (lowest) discount; ties keep the earlier column; 0 for a table
// without columns.
int PickHighestDiscountRow(const OptionDiscountTable &table);
int PickLowestDiscountRow(const OptionDiscountTable &table);

// The text with every apostrophe doubled, for a text literal in SQL.
QString SQLQuote(const QString &text);

} // namespace zeltpc5
