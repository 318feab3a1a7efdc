// One configuration of one product: the option values set so far, the style, the
// dimension settings, and after ProcessOptions the rules' outcome, messages and amounts.
#pragma once

#include "host/productengine/productdefinition.h"

#include <zeltpc5/variant.h>

#include <QLocale>

#include <memory>
#include <optional>

namespace zeltpc5::host {

// A number option's value: the user's regional form, else the plain form; nothing for text
// that is no finite number.
std::optional<double> ParseOptionNumber(const QString &text);

// Fields of an option as GetOptionData and GetOptionDataEx report them.
enum class OptionField {
    Sequence,
    Name,
    Value,
    FormattedValue,
    GroupName,
    Type,
    GroupSequence,
    IsDimension,
    ProcessIfHidden,
    DisplayFormat,
    Visible,
    Choices,
};
std::optional<OptionField> OptionFieldNamed(QStringView name);

// Whether two names are equal ignoring case, as QString::compare(Qt::CaseInsensitive) says.
// Names in ASCII (nearly all) are compared directly, without looking up Unicode case folding:
// the engine's members and fields are found by name on every late-bound call.
bool SameNameIgnoringCase(QStringView a, QStringView b);

// "36 1/2" (fraction) or "36.5" (decimal, with the locale's decimal separator), in eighths
// of an inch rounded down or to the nearest eighth.
QString FormatDimension(double inches, bool roundDown, bool decimal,
                        const QLocale &locale = QLocale());

class ProductSession
{
public:
    struct PriceLine
    {
        QString name;
        QString code;
        Money value = 0;
    };

    void open(std::shared_ptr<const ProductDefinition> product);
    void close();
    const ProductDefinition *product() const { return m_product.get(); }

    // Back to the file's defaults: values, no style, no messages, no amounts, the file's
    // dimension settings.
    void initForAccess();
    // False (with an error message) when the product has no such style.
    bool initForProcessing(const QString &style);

    void setRoundDown(bool roundDown) { m_roundDown = roundDown; }
    bool roundDown() const { return m_roundDown; }
    // "Fraction" or "Decimal"; anything else leaves the product file's format in force.
    void setDimensionDisplayFormat(const QString &format) { m_displayFormatSetting = format; }
    const QString &dimensionDisplayFormat() const { return m_displayFormatSetting; }

    // Unknown options, computed results and headings take no value from outside.
    void setOptionValue(QStringView name, const QString &value);
    void processOptions();

    int optionCount() const { return int(m_values.size()); }
    int optionIndex(QStringView name) const;
    Variant optionField(int index, OptionField field) const;

    const QStringList &errors() const { return m_errors; }
    const QStringList &notices() const { return m_notices; }
    Money priceBeforeDiscount() const { return m_priceBefore; }
    Money priceAfterDiscount() const { return m_priceAfter; }
    Money costBeforeDiscount() const { return m_costBefore; }
    Money costAfterDiscount() const { return m_costAfter; }
    const std::vector<PriceLine> &priceLines() const { return m_priceLines; }

private:
    const OptionDefinition &definition(int index) const { return m_product->options[index]; }
    bool decimalFormat() const;
    QString formatMeasure(double inches) const;
    std::optional<double> number(int index) const;
    std::optional<double> measure(int index) const;
    QString formattedValue(int index) const;
    bool holds(const Condition &condition) const;
    bool holdsAll(const std::vector<Condition> &conditions) const;
    void normalizeValues();
    void applyRules();
    void checkLimits();
    void price();
    void clearAmounts();

    std::shared_ptr<const ProductDefinition> m_product;
    std::vector<QString> m_values;
    std::vector<bool> m_visible;
    int m_style = -1;
    QString m_styleError; // kept across ProcessOptions until another style is chosen
    bool m_roundDown = false;
    QString m_displayFormatSetting;
    QStringList m_errors;
    QStringList m_notices;
    Money m_priceBefore = 0;
    Money m_priceAfter = 0;
    Money m_costBefore = 0;
    Money m_costAfter = 0;
    std::vector<PriceLine> m_priceLines;
};

} // namespace zeltpc5::host
