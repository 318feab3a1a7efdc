#include "host/productengine/productsession.h"

#include "host/helpers/dimensiontext.h"

#include <QLocale>

#include <cmath>
#include <numeric>

namespace zeltpc5::host {

namespace {

// Sizes and factors come as doubles; a sliver keeps exact eighths and steps exact.
constexpr double Sliver = 1e-9;

Money roundToCents(long double tenThousandths)
{
    return Money(std::llround(tenThousandths / 100.0L)) * 100;
}

Money toMoney(double amount)
{
    return roundToCents((long double)amount * 10000.0L);
}

QString plainNumber(double value, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(value, 'g', 12);
}

std::optional<QString> yesNo(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"yes" || t == u"true" || t == u"1" || t == u"-1" || t == u"y")
        return QStringLiteral("Yes");
    if (t == u"no" || t == u"false" || t == u"0" || t == u"n")
        return QStringLiteral("No");
    return std::nullopt;
}

QString canonicalNumber(double value)
{
    return QString::number(value, 'g', 12);
}

} // namespace

std::optional<double> ParseOptionNumber(const QString &text)
{
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool SameNameIgnoringCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80) // Unicode folding can meet ASCII ("\u212A" is "k")
            return a.compare(b, Qt::CaseInsensitive) == 0;
        if (x != y && lower(x) != lower(y))
            return false;
    }
    return true;
}

std::optional<OptionField> OptionFieldNamed(QStringView name)
{
    static const struct
    {
        QStringView name;
        OptionField field;
    } fields[] = {
        {u"Sequence", OptionField::Sequence},
        {u"Name", OptionField::Name},
        {u"Value", OptionField::Value},
        {u"FormattedValue", OptionField::FormattedValue},
        {u"GroupName", OptionField::GroupName},
        {u"Type", OptionField::Type},
        {u"GroupSequence", OptionField::GroupSequence},
        {u"IsDimension", OptionField::IsDimension},
        {u"ProcessIfHidden", OptionField::ProcessIfHidden},
        {u"DisplayFormat", OptionField::DisplayFormat},
        {u"Visible", OptionField::Visible},
        {u"Choices", OptionField::Choices},
    };
    for (const auto &f : fields) {
        if (SameNameIgnoringCase(name, f.name))
            return f.field;
    }
    return std::nullopt;
}

QString FormatDimension(double inches, bool roundDown, bool decimal, const QLocale &locale)
{
    const double scaled = inches * 8.0;
    const qint64 eighths =
        qint64(roundDown ? std::floor(scaled + Sliver) : std::floor(scaled + 0.5 + Sliver));
    if (decimal)
        return plainNumber(double(eighths) / 8.0, locale);
    const qint64 whole = eighths / 8;
    qint64 numerator = eighths % 8;
    if (numerator == 0)
        return QString::number(whole);
    qint64 denominator = 8;
    const qint64 divisor = std::gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    // "0 1/2" rather than "1/2", so that the text reads back as a measurement.
    return QStringLiteral("%1 %2/%3").arg(whole).arg(numerator).arg(denominator);
}

void ProductSession::open(std::shared_ptr<const ProductDefinition> product)
{
    m_product = std::move(product);
    initForAccess();
}

void ProductSession::close()
{
    m_product.reset();
    initForAccess();
}

void ProductSession::initForAccess()
{
    m_values.clear();
    m_visible.clear();
    m_style = -1;
    m_styleError.clear();
    m_errors.clear();
    m_notices.clear();
    clearAmounts();
    if (!m_product) {
        m_roundDown = false;
        m_displayFormatSetting.clear();
        return;
    }
    // A previous line's dimension settings must not carry over to this product.
    m_roundDown = m_product->roundDown;
    m_displayFormatSetting = m_product->displayFormat;
    for (const OptionDefinition &o : m_product->options) {
        m_values.push_back(o.defaultValue);
        m_visible.push_back(o.visible);
    }
}

bool ProductSession::initForProcessing(const QString &style)
{
    if (!m_product)
        return false;
    m_style = m_product->styleIndex(style.trimmed());
    m_styleError.clear();
    if (m_style < 0) {
        m_styleError =
            QStringLiteral("The style \"%1\" is not offered for %2.").arg(style, m_product->name);
        m_errors = QStringList{m_styleError};
        return false;
    }
    return true;
}

void ProductSession::setOptionValue(QStringView name, const QString &value)
{
    const int index = optionIndex(name);
    if (index < 0)
        return;
    const OptionType type = definition(index).type;
    if (type == OptionType::Computed || type == OptionType::Heading)
        return;
    m_values[index] = value;
}

int ProductSession::optionIndex(QStringView name) const
{
    return m_product ? m_product->optionIndex(name.trimmed()) : -1;
}

bool ProductSession::decimalFormat() const
{
    if (m_displayFormatSetting.compare(u"Decimal", Qt::CaseInsensitive) == 0)
        return true;
    if (m_displayFormatSetting.compare(u"Fraction", Qt::CaseInsensitive) == 0)
        return false;
    return m_product && m_product->displayFormat == u"Decimal";
}

QString ProductSession::formatMeasure(double inches) const
{
    return FormatDimension(inches, m_roundDown, decimalFormat());
}

std::optional<double> ProductSession::number(int index) const
{
    const QString &value = m_values[index];
    if (value.trimmed().isEmpty())
        return std::nullopt;
    switch (definition(index).type) {
    case OptionType::Dimension:
        return ParseDimension(value);
    case OptionType::Number:
        return ParseOptionNumber(value);
    case OptionType::Computed:
        if (const auto d = ParseDimension(value))
            return d;
        return ParseOptionNumber(value);
    default:
        return std::nullopt;
    }
}

std::optional<double> ProductSession::measure(int index) const
{
    const auto value = number(index);
    if (!value || definition(index).type != OptionType::Dimension)
        return value;
    // What is made is the size shown: whole eighths, rounded as set.
    const double scaled = *value * 8.0;
    return (m_roundDown ? std::floor(scaled + Sliver) : std::floor(scaled + 0.5 + Sliver)) / 8.0;
}

QString ProductSession::formattedValue(int index) const
{
    const QString &value = m_values[index];
    switch (definition(index).type) {
    case OptionType::Dimension: {
        const auto inches = number(index);
        return inches ? formatMeasure(*inches) : value;
    }
    case OptionType::Number: {
        const auto n = number(index);
        return n ? plainNumber(*n, QLocale()) : value;
    }
    default:
        return value;
    }
}

Variant ProductSession::optionField(int index, OptionField field) const
{
    if (index < 0 || index >= optionCount())
        return Variant();
    const OptionDefinition &o = definition(index);
    switch (field) {
    case OptionField::Sequence:
        return MakeInt32(o.sequence);
    case OptionField::Name:
        return MakeString(o.name);
    case OptionField::Value:
        return MakeString(m_values[index]);
    case OptionField::FormattedValue:
        return MakeString(formattedValue(index));
    case OptionField::GroupName:
        return MakeString(o.group);
    case OptionField::Type:
        return MakeInt16(qint16(o.type));
    case OptionField::GroupSequence:
        return MakeInt32(o.groupSequence);
    case OptionField::IsDimension:
        return MakeInt32(o.type == OptionType::Dimension ? 1 : 0);
    case OptionField::ProcessIfHidden:
        return MakeInt32(o.processIfHidden ? 1 : 0);
    case OptionField::DisplayFormat:
        if (o.type == OptionType::Dimension)
            return MakeString(decimalFormat() ? QStringLiteral("Decimal")
                                              : QStringLiteral("Fraction"));
        return MakeString(o.displayFormat);
    case OptionField::Visible:
        return MakeBool(m_visible[index]);
    case OptionField::Choices:
        return MakeString(o.choices.join(QLatin1Char('|')));
    }
    return Variant();
}

bool ProductSession::holds(const Condition &c) const
{
    if (!c.styles.isEmpty() && (m_style < 0 || !c.styles.contains(m_product->styles.at(m_style))))
        return false;
    if (c.option < 0)
        return true;
    const QString &value = m_values[c.option];
    const auto same = [&](const QString &text) {
        return value.compare(text, Qt::CaseInsensitive) == 0;
    };
    switch (c.test) {
    case Condition::Test::Equals:
        return same(c.texts.value(0));
    case Condition::Test::NotEquals:
        return !same(c.texts.value(0));
    case Condition::Test::In:
        return std::any_of(c.texts.begin(), c.texts.end(), same);
    case Condition::Test::NotIn:
        return std::none_of(c.texts.begin(), c.texts.end(), same);
    case Condition::Test::Empty:
        return value.trimmed().isEmpty() == c.empty;
    default:
        break;
    }
    // A size or number that is missing or unreadable passes no comparison.
    const auto n = measure(c.option);
    if (!n)
        return false;
    switch (c.test) {
    case Condition::Test::AtLeast:
        return *n + Sliver >= c.number;
    case Condition::Test::AtMost:
        return *n - Sliver <= c.number;
    case Condition::Test::GreaterThan:
        return *n - Sliver > c.number;
    case Condition::Test::LessThan:
        return *n + Sliver < c.number;
    default:
        return false;
    }
}

bool ProductSession::holdsAll(const std::vector<Condition> &conditions) const
{
    return std::all_of(conditions.begin(), conditions.end(),
                       [this](const Condition &c) { return holds(c); });
}

void ProductSession::normalizeValues()
{
    for (int i = 0; i < optionCount(); ++i) {
        const OptionDefinition &o = definition(i);
        QString &value = m_values[i];
        switch (o.type) {
        case OptionType::Dimension:
            if (value.trimmed().isEmpty()) {
                value.clear();
            } else if (const auto inches = ParseDimension(value)) {
                value = canonicalNumber(*inches);
            } else {
                m_errors
                    << QStringLiteral("\"%1\" is not a measurement for %2.").arg(value, o.name);
                value = o.defaultValue;
            }
            break;
        case OptionType::Number:
            if (value.trimmed().isEmpty()) {
                value.clear();
            } else if (const auto n = ParseOptionNumber(value)) {
                value = canonicalNumber(*n);
            } else {
                m_errors << QStringLiteral("\"%1\" is not a number for %2.").arg(value, o.name);
                value = o.defaultValue;
            }
            break;
        case OptionType::List: {
            // A value that is no choice goes back to the default: the rules reject it.
            const qsizetype choice = o.choices.indexOf(value.trimmed(), 0);
            if (choice >= 0) {
                value = o.choices.at(choice);
                break;
            }
            const auto match =
                std::find_if(o.choices.begin(), o.choices.end(), [&](const QString &c) {
                    return c.compare(value.trimmed(), Qt::CaseInsensitive) == 0;
                });
            value = match != o.choices.end() ? *match : o.defaultValue;
            break;
        }
        case OptionType::YesNo:
            value = yesNo(value).value_or(o.defaultValue);
            break;
        case OptionType::Computed:
            value = o.defaultValue;
            break;
        case OptionType::Heading:
            value.clear();
            break;
        case OptionType::Text:
            break;
        }
        m_visible[i] = o.visible;
    }
}

void ProductSession::applyRules()
{
    for (const Rule &rule : m_product->rules) {
        if (!holdsAll(rule.conditions))
            continue;
        for (const Action &a : rule.actions) {
            switch (a.kind) {
            case Action::Kind::Set:
                m_values[a.option] = a.value;
                break;
            case Action::Kind::Restrict:
                if (!a.allowed.contains(m_values[a.option]))
                    m_values[a.option] = a.value;
                break;
            case Action::Kind::Hide:
                m_visible[a.option] = false;
                break;
            case Action::Kind::Show:
                m_visible[a.option] = true;
                break;
            case Action::Kind::Compute: {
                const auto source = measure(a.source);
                if (!source) {
                    m_values[a.option] = definition(a.option).defaultValue;
                    break;
                }
                const double steps = (*source * a.multiply + a.add) / a.step;
                const double rounded =
                    a.rounding == Action::Rounding::Up     ? std::ceil(steps - Sliver)
                    : a.rounding == Action::Rounding::Down ? std::floor(steps + Sliver)
                                                           : std::floor(steps + 0.5);
                const double result = rounded * a.step;
                m_values[a.option] =
                    a.asDimension ? formatMeasure(result) : plainNumber(result, QLocale());
                break;
            }
            case Action::Kind::Error:
                m_errors << a.value;
                break;
            case Action::Kind::Notice:
                m_notices << a.value;
                break;
            }
        }
    }
}

void ProductSession::checkLimits()
{
    const QString style = m_style >= 0 ? m_product->styles.at(m_style) : QString();
    for (const Limit &limit : m_product->limits) {
        if (!limit.styles.isEmpty() && !limit.styles.contains(style))
            continue;
        // A missing size is a size of zero: it fails any minimum above zero.
        const double value = measure(limit.option).value_or(0.0);
        if (value + Sliver >= limit.minimum && value - Sliver <= limit.maximum)
            continue;
        const bool dimension = definition(limit.option).type == OptionType::Dimension;
        const auto shown = [&](double v) {
            return dimension ? formatMeasure(v) : plainNumber(v, QLocale());
        };
        QString message = limit.message;
        message.replace(QLatin1String("{option}"), definition(limit.option).name)
            .replace(QLatin1String("{style}"), style)
            .replace(QLatin1String("{min}"), shown(limit.minimum))
            .replace(QLatin1String("{max}"), shown(limit.maximum))
            .replace(QLatin1String("{value}"), shown(value));
        m_errors << message;
    }
}

void ProductSession::clearAmounts()
{
    m_priceBefore = m_priceAfter = m_costBefore = m_costAfter = 0;
    m_priceLines.clear();
}

void ProductSession::price()
{
    clearAmounts();
    if (m_style < 0)
        return;
    const StylePricing &pricing = m_product->pricing[m_style];
    const double width = measure(m_product->widthOption).value_or(0.0);
    const double height = measure(m_product->heightOption).value_or(0.0);
    if (width <= 0 || height <= 0) {
        if (m_errors.isEmpty())
            m_errors << QStringLiteral("%1 needs a %2 and a %3 to be priced.")
                            .arg(m_product->name, definition(m_product->widthOption).name.toLower(),
                                 definition(m_product->heightOption).name.toLower());
        return;
    }
    const auto base = pricing.price.lookup(width, height);
    if (!base) {
        m_errors << QStringLiteral("No price is available for %1 x %2 in the %3 style.")
                        .arg(formatMeasure(width), formatMeasure(height), pricing.style);
        return;
    }
    const double factor = m_product->costFactor.value_or(0.0);
    const Money baseCost = pricing.cost ? *pricing.cost->lookup(width, height)
                                        : roundToCents((long double)*base * factor);

    m_priceBefore = *base;
    m_costBefore = baseCost;

    // The grid price split into its parts; the last part takes the rounding remainder so
    // that the parts add up to the grid price exactly.
    if (m_product->baseLines.empty()) {
        m_priceLines.push_back({QStringLiteral("Base price"), QStringLiteral("BASE"), *base});
    } else {
        Money assigned = 0;
        for (size_t i = 0; i < m_product->baseLines.size(); ++i) {
            const BaseLine &line = m_product->baseLines[i];
            const Money value = i + 1 == m_product->baseLines.size()
                                    ? *base - assigned
                                    : roundToCents((long double)*base * line.share);
            assigned += value;
            m_priceLines.push_back({line.name, line.code, value});
        }
    }

    for (const Surcharge &s : m_product->surcharges) {
        if (!holdsAll(s.conditions))
            continue;
        Money price = 0;
        Money cost = 0;
        switch (s.basis) {
        case Surcharge::Basis::Fixed:
            price = toMoney(s.price);
            cost = s.cost ? toMoney(*s.cost) : roundToCents((long double)price * factor);
            break;
        case Surcharge::Basis::PerInch: {
            const double inches = measure(s.per).value_or(0.0);
            price = toMoney(s.price * inches);
            cost = s.cost ? toMoney(*s.cost * inches) : roundToCents((long double)price * factor);
            break;
        }
        case Surcharge::Basis::Percent:
            price = roundToCents((long double)*base * s.price / 100.0L);
            cost = roundToCents((long double)baseCost * s.cost.value_or(s.price) / 100.0L);
            break;
        }
        (s.afterDiscount ? m_priceAfter : m_priceBefore) += price;
        (s.afterDiscount ? m_costAfter : m_costBefore) += cost;
        m_priceLines.push_back({s.name, s.code, price});
    }
}

void ProductSession::processOptions()
{
    if (!m_product)
        return;
    m_errors.clear();
    m_notices.clear();
    if (!m_styleError.isEmpty())
        m_errors << m_styleError;
    else if (m_style < 0)
        m_errors << QStringLiteral("No style has been selected for %1.").arg(m_product->name);
    normalizeValues();
    applyRules();
    checkLimits();
    price();
}

} // namespace zeltpc5::host
