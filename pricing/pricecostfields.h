// The price/cost document (root `PriceCostData`): one catalogue of its fields with the type
// each is read and written as, and the procedures that open it and read or write one field.
#pragma once

#include "engine/linestore.h"
#include "xml/xmldocument.h"

#include <QLatin1StringView>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace zeltpc5 {

namespace PriceCostData {
inline constexpr QLatin1StringView Root{"PriceCostData"};

// Identity and settings, supplied by the host.
inline constexpr QLatin1StringView ProductID{"ProductID"};
inline constexpr QLatin1StringView Style{"Style"};
inline constexpr QLatin1StringView VendorID{"VendorID"};
inline constexpr QLatin1StringView CustomerID{"CustomerID"};
inline constexpr QLatin1StringView CustomerTypeID{"CustomerTypeID"};
inline constexpr QLatin1StringView DiscountMethod{"DiscountMethod"};
inline constexpr QLatin1StringView OptionDiscountMethod{"OptionDiscountMethod"};
inline constexpr QLatin1StringView CostDiscountGroupID{"CostDiscountGroupID"};
inline constexpr QLatin1StringView PriceDiscountGroupID{"PriceDiscountGroupID"};
inline constexpr QLatin1StringView CustomerDiscountGroupID{"CustomerDiscountGroupID"};

// Resolved rates, stored as fractions.
inline constexpr QLatin1StringView CostDiscount{"CostDiscount"};
inline constexpr QLatin1StringView CostDiscountAD{"CostDiscountAD"};
inline constexpr QLatin1StringView CostLowDiscount{"CostLowDiscount"};
inline constexpr QLatin1StringView CostHighDiscount{"CostHighDiscount"};
inline constexpr QLatin1StringView PriceDiscount{"PriceDiscount"};
inline constexpr QLatin1StringView PriceDiscountAD{"PriceDiscountAD"};
inline constexpr QLatin1StringView PriceMargin{"PriceMargin"};
inline constexpr QLatin1StringView PriceMarginAD{"PriceMarginAD"};
inline constexpr QLatin1StringView PriceLowDiscount{"PriceLowDiscount"};
inline constexpr QLatin1StringView PriceHighDiscount{"PriceHighDiscount"};
inline constexpr QLatin1StringView CustomerDiscount{"CustomerDiscount"};
inline constexpr QLatin1StringView CustomerDiscountAD{"CustomerDiscountAD"};
inline constexpr QLatin1StringView CustomerLowDiscount{"CustomerLowDiscount"};
inline constexpr QLatin1StringView CustomerHighDiscount{"CustomerHighDiscount"};

// User entries and overrides.
inline constexpr QLatin1StringView CostDiscountOverride{"CostDiscountOverride"};
inline constexpr QLatin1StringView CostDiscountADOverride{"CostDiscountADOverride"};
inline constexpr QLatin1StringView PriceDiscountOverride{"PriceDiscountOverride"};
inline constexpr QLatin1StringView PriceDiscountADOverride{"PriceDiscountADOverride"};
inline constexpr QLatin1StringView PriceMarginOverride{"PriceMarginOverride"};
inline constexpr QLatin1StringView PriceMarginADOverride{"PriceMarginADOverride"};
inline constexpr QLatin1StringView CustomerDiscountOverride{"CustomerDiscountOverride"};
inline constexpr QLatin1StringView BeforeDiscountCostOverride{"BeforeDiscountCostOverride"};
inline constexpr QLatin1StringView BeforeDiscountPriceOverride{"BeforeDiscountPriceOverride"};
inline constexpr QLatin1StringView PriceOverride{"PriceOverride"};
inline constexpr QLatin1StringView PriceOverrideTo{"PriceOverrideTo"};
inline constexpr QLatin1StringView ItemDiscount{"ItemDiscount"};

// Computed amounts, in the order the calculation writes them.
inline constexpr QLatin1StringView BeforeDiscountCost{"BeforeDiscountCost"};
inline constexpr QLatin1StringView CostDiscountAmount{"CostDiscountAmount"};
inline constexpr QLatin1StringView CostDiscountTotal{"CostDiscountTotal"};
inline constexpr QLatin1StringView AfterDiscountCost{"AfterDiscountCost"};
inline constexpr QLatin1StringView AfterDiscountCostTotal{"AfterDiscountCostTotal"};
inline constexpr QLatin1StringView CostDiscountAmountAD{"CostDiscountAmountAD"};
inline constexpr QLatin1StringView CostDiscountAmountADTotal{"CostDiscountAmountADTotal"};
inline constexpr QLatin1StringView CostAdjustments{"CostAdjustments"};
inline constexpr QLatin1StringView CostAdjustmentsTotal{"CostAdjustmentsTotal"};
inline constexpr QLatin1StringView OriginalUnitCost{"OriginalUnitCost"};
inline constexpr QLatin1StringView UnitCost{"UnitCost"};
inline constexpr QLatin1StringView BeforeDiscountPrice{"BeforeDiscountPrice"};
inline constexpr QLatin1StringView PriceDiscountAmount{"PriceDiscountAmount"};
inline constexpr QLatin1StringView PriceDiscountAmountTotal{"PriceDiscountAmountTotal"};
inline constexpr QLatin1StringView AfterDiscountPrice{"AfterDiscountPrice"};
inline constexpr QLatin1StringView AfterDiscountPriceTotal{"AfterDiscountPriceTotal"};
inline constexpr QLatin1StringView PriceDiscountAmountAD{"PriceDiscountAmountAD"};
inline constexpr QLatin1StringView PriceDiscountAmountADTotal{"PriceDiscountAmountADTotal"};
inline constexpr QLatin1StringView PriceAdjustments{"PriceAdjustments"};
inline constexpr QLatin1StringView PriceAdjustmentsTotal{"PriceAdjustmentsTotal"};
inline constexpr QLatin1StringView RoundedPriceTotal{"RoundedPriceTotal"};
inline constexpr QLatin1StringView ActualPrice{"ActualPrice"};
inline constexpr QLatin1StringView CustomerDiscountPrice{"CustomerDiscountPrice"};
inline constexpr QLatin1StringView CustomerDiscountTotal{"CustomerDiscountTotal"};
inline constexpr QLatin1StringView ItemDiscountAmount{"ItemDiscountAmount"};
inline constexpr QLatin1StringView ItemDiscountAmountTotal{"ItemDiscountAmountTotal"};
inline constexpr QLatin1StringView OriginalUnitPrice{"OriginalUnitPrice"};
inline constexpr QLatin1StringView UnitPrice{"UnitPrice"};

// Attributes of the computed amounts.
inline constexpr QLatin1StringView Explain{"Explain"};
inline constexpr QLatin1StringView NoRounding{"norounding"}; // on RoundedPriceTotal, "1"

// Analytic price lines, rebuilt on every calculation.
inline constexpr QLatin1StringView PriceLines{"PriceLines"};
inline constexpr QLatin1StringView PriceLine{"PriceLine"};
} // namespace PriceCostData

// Children of `PriceLines/PriceLine`.
namespace PriceLineField {
inline constexpr QLatin1StringView Name{"Name"};     // text
inline constexpr QLatin1StringView PLCode{"PLCode"}; // text
inline constexpr QLatin1StringView Value{"Value"};   // currency
} // namespace PriceLineField

// The type a field is read and written as. A flag is an Integer: 0 off, anything else on.
enum class FieldType { Text, Integer, Long, Single, Currency };

enum class FieldGroup {
    Identity,     // supplied by the host
    LevelRate,    // single, percent: 10 means 10 %
    ResolvedRate, // single, fraction: 0.1 means 10 %
    Entry,        // user entries and override flags
    Amount,       // computed currency amounts, each with an Explain attribute
};

struct FieldDefinition
{
    QString name;
    FieldType type;
    FieldGroup group;
    QString overrideFlag; // resolved rates: the flag that keeps the stored rate; else empty
};

// The level rates: for each family and level, six rates named family + level + suffix, e.g.
// CostProductDiscount, PriceStyleDiscountHigh, CustomerOptionMarginAD.
enum class DiscountFamily { Cost, Price, Customer };
enum class DiscountLevel { Product, Style, Option };
enum class LevelRate { Discount, DiscountLow, DiscountHigh, DiscountAD, Margin, MarginAD };

const QString &LevelRateField(DiscountFamily family, DiscountLevel level, LevelRate rate);
// All 54, family by family, level by level, in the suffix order above.
const QStringList &LevelRateFields();

// Every field of the price/cost document, group by group; the amounts in calculation order.
const QList<FieldDefinition> &PriceCostFields();
std::optional<FieldDefinition> FindPriceCostField(const QString &name);

// The price/cost text parsed; nothing when it is empty or does not parse.
std::optional<XmlDocument> LoadPriceCostXML(const QString &priceCostXml);
// The unit price of a price/cost text as the single it is stored as: 0 when the text does not
// parse or has no numeric `UnitPrice`. Read without building the document, for lists that
// show thousands of lines.
float ReadUnitPrice(const QString &priceCostXml, const QLocale &locale = QLocale());
// The same over a document as the line store keeps it.
float ReadUnitPrice(const LineText &priceCostXml, const QLocale &locale = QLocale());
// The text of the named child of `PriceCostData` (line breaks decoded); empty when missing or
// when the text does not parse. The name is a child name, never an expression.
QString GetPriceCostValue(const QString &fieldName, const QString &priceCostXml);
// The price/cost text with one field set; the empty text when the input is empty or does not
// parse. The field name "price" (any case) sets the unit price override: a non-zero amount
// sets PriceOverride to 1 and PriceOverrideTo to the amount, zero sets PriceOverride to 0 and
// keeps PriceOverrideTo; a value that is not an amount under the locale changes nothing.
QString SetPriceCostValue(const QString &fieldName, const QString &value,
                          const QString &priceCostXml, const QLocale &locale = QLocale());

} // namespace zeltpc5
