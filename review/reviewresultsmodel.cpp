#include "review/reviewresultsmodel.h"

#include "common/conversions.h"
#include "common/stringlist.h"
#include "pricing/pricecostfields.h"
#include "review/replacereviewmodel.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"
#include "xml/xmldocument.h"

#include <zeltpc5/classregistry.h>

#include <QHash>
#include <QSet>

#include <limits>
#include <optional>

namespace zeltpc5 {

namespace {

const QString DimensionConverterClass = QStringLiteral("{40DBD189-76D5-4731-B64D-F2ABF77CEC3F}");
constexpr DispId ConvertDimensionId = 1; // the converter's first operation
constexpr qint16 ConvertToNumber = 4;

// Each value once, in order of first appearance; a set keeps the look-up linear in lines.
class DistinctValues
{
public:
    void add(const QString &value)
    {
        if (!m_seen.contains(value)) {
            m_seen.insert(value);
            StringListAppend(value, m_list);
        }
    }
    int count() const { return StringListCount(m_list); }
    QString first() const { return m_list.value(0); }

private:
    QSet<QString> m_seen;
    QStringList m_list = EmptyStringList();
};

// Empty for no value, "1 (value)" for one, else the count.
QString distinctText(const DistinctValues &values, const QString &single, const QLocale &locale)
{
    if (values.count() == 0)
        return {};
    if (values.count() == 1)
        return FormatTemplate(QStringLiteral("{0} ({1})"), {1, single}, locale);
    return FormatTemplate(QStringLiteral("{0}"), {values.count()}, locale);
}

// The host's DimensionConverter, created on first use; a missing converter or a failing call
// gives no number, and the value is skipped.
class Dimensions
{
public:
    std::optional<float> convert(const QString &text)
    {
        if (!m_tried) {
            m_tried = true;
            if (!CreateObject(DimensionConverterClass, &m_converter).ok())
                m_converter = {};
        }
        if (!m_converter)
            return std::nullopt;
        VariantList args{text, MakeInt16(ConvertToNumber)};
        Variant result;
        if (!CallById(m_converter, ConvertDimensionId, CallType::Method, args, &result).ok())
            return std::nullopt;
        const std::optional<double> number = ToDouble(result);
        return number ? ToSingle(*number) : std::nullopt;
    }

private:
    bool m_tried = false;
    DispatchPtr m_converter;
};

struct Range
{
    QStringList names; // the option names that count, as IndexOf finds them
    float minimum = 100000.0f;
    float maximum = 0.0f;
    bool found = false;

    void add(float value)
    {
        found = true;
        if (value < minimum)
            minimum = value;
        if (value > maximum)
            maximum = value;
    }
};

} // namespace

void ItemReviewResultsModel::Fill(const ReviewResultsSource &source, const QLocale &locale)
{
    m_rows.clear();
    m_summary.clear();
    m_anyResults = false;
    const int count = source.lines ? source.lines->CountLines() : 0;
    const HostServices &host = source.host;

    QHash<qint32, QString> productNames;
    const auto productName = [&](qint32 id) {
        auto it = productNames.constFind(id);
        if (it == productNames.cend())
            it = productNames.insert(id, host.GetProductNameFromID(id));
        return *it;
    };
    QHash<qint32, QString> vendorIDs;
    DistinctValues products, vendors, patterns, colors;
    Range widths{QStringLiteral("Width|Overall Width").split(QLatin1Char('|'))};
    Range heights{QStringList{QStringLiteral("Height")}};
    Dimensions dimensions;
    int productLines = 0;

    for (int i = 0; i < count; ++i) {
        const LineRecord &line = *source.lines->record(i);
        if (!IsProductLine(line))
            continue;
        ++productLines;
        ReviewItemRow row;
        const int results = StringListCount(line.Changes);
        row.icon = results > 0 ? ReviewItemRow::HasResults : ReviewItemRow::Unaffected;
        m_anyResults = m_anyResults || results > 0;
        row.line = line.Line;
        row.quantity = line.Quantity;
        const QString name = productName(line.OriginalProductID);
        row.details = name.isEmpty() ? QStringLiteral("Service item")
                                     : FormatTemplate(QStringLiteral("{0} / {1}"),
                                                      {name, line.OriginalStyle}, locale);
        row.price = ReadUnitPrice(line.OriginalPriceCostXML);
        row.priceText = ReviewPriceText(row.price);
        row.results = line.Changes.mid(0, results);
        m_rows.push_back(std::move(row));

        products.add(name + QLatin1String(" / ") + line.OriginalStyle);
        auto vendor = vendorIDs.constFind(line.OriginalProductID);
        if (vendor == vendorIDs.cend())
            vendor = vendorIDs.insert(line.OriginalProductID,
                                      host.GetVendorIDFromProductID(line.OriginalProductID));
        vendors.add(*vendor);

        // Only the options' names and values, read without building each document: a
        // document that does not load adds nothing.
        const auto options = XmlDocument::readElementFields(
            line.OriginalItemXML, {"ItemData", "Options", "Option"}, {"Name", "Value"});
        for (const QStringList &option : options.value_or(QList<QStringList>())) {
            const QString optionName = DecodeLineBreaks(option[0]);
            const QString value = DecodeLineBreaks(option[1]);
            if (optionName.compare(QLatin1String("Pattern"), Qt::CaseInsensitive) == 0)
                patterns.add(value);
            if (optionName.compare(QLatin1String("Color"), Qt::CaseInsensitive) == 0)
                colors.add(value);
            for (Range *range : {&widths, &heights}) {
                if (StringListIndexOf(optionName, range->names) < 0)
                    continue;
                if (const std::optional<float> number = dimensions.convert(value))
                    range->add(*number);
            }
        }
    }

    const auto add = [this](int group, const char *heading, const QString &value) {
        m_summary.push_back({group, QString::fromLatin1(SummaryGroups[group]),
                             QString::fromLatin1(heading), value});
    };
    add(0, "Total items", LatinDigits(locale.toString(count)));
    add(0, "Product items", LatinDigits(locale.toString(productLines)));
    add(0, "Additional charge items", LatinDigits(locale.toString(count - productLines)));
    add(1, "Number of unique products/styles", distinctText(products, products.first(), locale));
    QString vendorName;
    if (vendors.count() == 1) {
        bool numeric = false;
        const qint32 id = vendors.first().trimmed().toInt(&numeric);
        if (numeric)
            vendorName = host.GetVendorName(QString::number(id));
    }
    add(1, "Number of vendors", distinctText(vendors, vendorName, locale));
    const QString pattern = distinctText(patterns, patterns.first(), locale);
    if (!pattern.isEmpty())
        add(2, "Number of unique patterns", pattern);
    const QString color = distinctText(colors, colors.first(), locale);
    if (!color.isEmpty())
        add(2, "Number of unique colors", color);
    // Singles become text by the standard conversion under the regional settings.
    const auto rangeText = [&locale](const Range &r) {
        return FormatTemplate(QStringLiteral("{0} - {1}"),
                              {QVariant(r.minimum), QVariant(r.maximum)}, locale);
    };
    if (widths.found)
        add(3, "Min/Max Width", rangeText(widths));
    if (heights.found)
        add(3, "Min/Max Height", rangeText(heights));
}

} // namespace zeltpc5
