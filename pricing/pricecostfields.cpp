#include "pricing/pricecostfields.h"

#include "common/conversions.h"
#include "common/currency.h"
#include "xml/xmlaccess.h"

#include <array>

namespace zeltpc5 {

namespace {

constexpr std::array<QLatin1StringView, 3> FamilyNames{
    QLatin1StringView("Cost"), QLatin1StringView("Price"), QLatin1StringView("Customer")};
constexpr std::array<QLatin1StringView, 3> LevelNames{
    QLatin1StringView("Product"), QLatin1StringView("Style"), QLatin1StringView("Option")};
constexpr std::array<QLatin1StringView, 6> RateSuffixes{
    QLatin1StringView("Discount"),     QLatin1StringView("DiscountLow"),
    QLatin1StringView("DiscountHigh"), QLatin1StringView("DiscountAD"),
    QLatin1StringView("Margin"),       QLatin1StringView("MarginAD")};

QList<FieldDefinition> BuildCatalogue()
{
    using namespace PriceCostData;
    QList<FieldDefinition> fields;
    auto add = [&fields](QLatin1StringView name, FieldType type, FieldGroup group,
                         QLatin1StringView overrideFlag = {}) {
        fields.append({QString(name), type, group, QString(overrideFlag)});
    };

    for (QLatin1StringView name :
         {ProductID, VendorID, CustomerID, CustomerTypeID, OptionDiscountMethod,
          CostDiscountGroupID, PriceDiscountGroupID, CustomerDiscountGroupID})
        add(name, FieldType::Long, FieldGroup::Identity);
    add(Style, FieldType::Text, FieldGroup::Identity);
    add(DiscountMethod, FieldType::Integer, FieldGroup::Identity);

    for (const QString &name : LevelRateFields())
        fields.append({name, FieldType::Single, FieldGroup::LevelRate, QString()});

    const auto resolved = [&add](QLatin1StringView name, QLatin1StringView flag = {}) {
        add(name, FieldType::Single, FieldGroup::ResolvedRate, flag);
    };
    resolved(CostDiscount, CostDiscountOverride);
    resolved(CostDiscountAD, CostDiscountADOverride);
    resolved(CostLowDiscount);
    resolved(CostHighDiscount);
    resolved(PriceDiscount, PriceDiscountOverride);
    resolved(PriceDiscountAD, PriceDiscountADOverride);
    resolved(PriceMargin, PriceMarginOverride);
    resolved(PriceMarginAD, PriceMarginADOverride);
    resolved(PriceLowDiscount);
    resolved(PriceHighDiscount);
    for (QLatin1StringView name :
         {CustomerDiscount, CustomerDiscountAD, CustomerLowDiscount, CustomerHighDiscount})
        resolved(name, CustomerDiscountOverride);

    for (QLatin1StringView name :
         {CostDiscountOverride, CostDiscountADOverride, PriceDiscountOverride,
          PriceDiscountADOverride, PriceMarginOverride, PriceMarginADOverride,
          CustomerDiscountOverride, BeforeDiscountCostOverride, BeforeDiscountPriceOverride,
          PriceOverride})
        add(name, FieldType::Integer, FieldGroup::Entry);
    add(PriceOverrideTo, FieldType::Currency, FieldGroup::Entry);
    add(ItemDiscount, FieldType::Text, FieldGroup::Entry);

    for (QLatin1StringView name : {BeforeDiscountCost,
                                   CostDiscountAmount,
                                   CostDiscountTotal,
                                   AfterDiscountCost,
                                   AfterDiscountCostTotal,
                                   CostDiscountAmountAD,
                                   CostDiscountAmountADTotal,
                                   CostAdjustments,
                                   CostAdjustmentsTotal,
                                   OriginalUnitCost,
                                   UnitCost,
                                   BeforeDiscountPrice,
                                   PriceDiscountAmount,
                                   PriceDiscountAmountTotal,
                                   AfterDiscountPrice,
                                   AfterDiscountPriceTotal,
                                   PriceDiscountAmountAD,
                                   PriceDiscountAmountADTotal,
                                   PriceAdjustments,
                                   PriceAdjustmentsTotal,
                                   RoundedPriceTotal,
                                   ActualPrice,
                                   CustomerDiscountPrice,
                                   CustomerDiscountTotal,
                                   ItemDiscountAmount,
                                   ItemDiscountAmountTotal,
                                   OriginalUnitPrice,
                                   UnitPrice})
        add(name, FieldType::Currency, FieldGroup::Amount);
    return fields;
}

} // namespace

const QString &LevelRateField(DiscountFamily family, DiscountLevel level, LevelRate rate)
{
    // Built once: the level loaders and the resolution ask for these names many times a line.
    const std::size_t index =
        (std::size_t(family) * LevelNames.size() + std::size_t(level)) * RateSuffixes.size() +
        std::size_t(rate);
    return LevelRateFields().at(qsizetype(index));
}

const QStringList &LevelRateFields()
{
    static const QStringList names = [] {
        QStringList list;
        for (QLatin1StringView family : FamilyNames)
            for (QLatin1StringView level : LevelNames)
                for (QLatin1StringView suffix : RateSuffixes)
                    list.append(family + level + suffix);
        return list;
    }();
    return names;
}

const QList<FieldDefinition> &PriceCostFields()
{
    static const QList<FieldDefinition> fields = BuildCatalogue();
    return fields;
}

std::optional<FieldDefinition> FindPriceCostField(const QString &name)
{
    for (const FieldDefinition &field : PriceCostFields()) {
        if (field.name == name)
            return field;
    }
    return std::nullopt;
}

std::optional<XmlDocument> LoadPriceCostXML(const QString &priceCostXml)
{
    return LoadXMLDocument(priceCostXml);
}

namespace {

float UnitPriceFromText(const std::optional<QString> &text, const QLocale &locale)
{
    if (!text)
        return 0.0f;
    const std::optional<double> number = ParseNumber(DecodeLineBreaks(*text), locale);
    return number ? ToSingle(*number).value_or(0.0f) : 0.0f;
}

} // namespace

float ReadUnitPrice(const QString &priceCostXml, const QLocale &locale)
{
    return UnitPriceFromText(
        XmlDocument::readRootChildText(priceCostXml, "PriceCostData", "UnitPrice"), locale);
}

float ReadUnitPrice(const LineText &priceCostXml, const QLocale &locale)
{
    if (!priceCostXml.isUtf8())
        return ReadUnitPrice(priceCostXml.text(), locale);
    return UnitPriceFromText(
        XmlDocument::readRootChildText(priceCostXml.utf8(), "PriceCostData", "UnitPrice"), locale);
}

QString GetPriceCostValue(const QString &fieldName, const QString &priceCostXml)
{
    const std::optional<XmlDocument> document = LoadPriceCostXML(priceCostXml);
    if (!document)
        return {};
    const XmlNode field = FindChildNode(FindChildNode(*document, PriceCostData::Root), fieldName);
    return field.isNull() ? QString() : DecodeLineBreaks(field.text());
}

QString SetPriceCostValue(const QString &fieldName, const QString &value,
                          const QString &priceCostXml, const QLocale &locale)
{
    const std::optional<XmlDocument> document = LoadPriceCostXML(priceCostXml);
    if (!document)
        return {};
    const XmlNode root = FindChildNode(*document, PriceCostData::Root);
    if (fieldName.toLower() == u"price") {
        if (const std::optional<Currency> amount = Currency::fromString(value, locale)) {
            if (!amount->isZero()) {
                SetXMLInteger(PriceCostData::PriceOverride, 1, root, locale);
                SetXMLCurrency(PriceCostData::PriceOverrideTo, *amount, root, locale);
            } else {
                SetXMLInteger(PriceCostData::PriceOverride, 0, root, locale);
            }
        }
    } else {
        SetXMLValue(fieldName, value, root);
    }
    return document->xml();
}

} // namespace zeltpc5
