#include "pricing/unitprice.h"

#include "common/conversions.h"
#include "pricing/additionalcharges.h"
#include "pricing/pricecalculation.h"
#include "pricing/pricecostfields.h"
#include "pricing/pricingdocument.h"
#include "xml/xmlaccess.h"

#include <limits>

namespace zeltpc5 {

namespace {

using namespace PriceCostData;

namespace Sql {
const QString RoundingSettings =
    QStringLiteral("SELECT RoundUnitPrice, RoundUnitPriceTo, RoundUnitPriceDirection FROM "
                   "CustomerTypes WHERE ID = {0}");
} // namespace Sql

namespace Text {
const QString NoRounding = QStringLiteral("No Rounding");
const QString RoundUp = QStringLiteral("Up to ${0}");
const QString RoundDown = QStringLiteral("Down to ${0}");
const QString RoundNearest = QStringLiteral("To nearest ${0}");
const QString RoundedPriceTotal =
    QStringLiteral("Price adjustments total of {0} rounded to {1} using settings({2})");
const QString RoundedCustomerDiscount =
    QStringLiteral("Rounded price total of {0} * customer discount of {1}");
const QString RoundedCustomerDiscountTotal =
    QStringLiteral("Rounded price total of {0} - customer discount amount of {1}");
const QString CustomerDiscount =
    QStringLiteral("Price adjustments total of {0} * customer discount of {1}");
const QString CustomerDiscountTotal =
    QStringLiteral("Price adjustments total of {0} - customer discount amount of {1}");
const QString UserItemDiscount = QStringLiteral("User entered item discount of {0}");
const QString ItemDiscountTotal =
    QStringLiteral("Customer discount total of {0} - item discount amount {1}");
const QString PercentItemDiscount =
    QStringLiteral("Customer discount total of {0} * item discount of {1}");
} // namespace Text

// A 16-bit column of a host record set; 0 when missing or not a number.
qint16 FieldInteger(const HostServices &host, const QString &records, const QString &column,
                    const QLocale &locale)
{
    const auto number =
        ParseNumber(host.GetFieldValue(records, column, QStringLiteral("0")), locale);
    return number ? RoundToInt16(*number).value_or(0) : 0;
}

// F1: an unknown customer type reads as no rounding.
RoundingRule ReadRoundingRule(qint32 customerType, const HostServices &host, const QLocale &locale)
{
    RoundingRule r;
    r.records =
        host.ExecuteSelect(host.BuildString(Sql::RoundingSettings, {MakeInt32(customerType)}));
    r.on = FieldInteger(host, r.records, QStringLiteral("RoundUnitPrice"), locale);
    r.direction = FieldInteger(host, r.records, QStringLiteral("RoundUnitPriceDirection"), locale);
    r.step = FieldInteger(host, r.records, QStringLiteral("RoundUnitPriceTo"), locale);
    r.description = DescribeRounding(r.records, host, locale);
    return r;
}

// F2 and F2'.
void RoundingAndCustomerDiscount(const PriceCostSteps &s, const RoundingRule &r)
{
    const Currency total = s.amount(PriceAdjustmentsTotal);
    const QString &rule = r.description;
    const float customerDiscount = s.rate(CustomerDiscount);
    if (r.on != 0) {
        const Currency rounded = RoundPrice(total, r.on, r.direction, r.step);
        s.write(RoundedPriceTotal, rounded, Text::RoundedPriceTotal,
                {s.money(total), s.money(rounded), rule});
        // The flag from a calculation without rounding would no longer be true.
        RemoveChildAttribute(s.element(), RoundedPriceTotal, NoRounding);
        s.write(ActualPrice, s.amount(RoundedPriceTotal));

        const Currency price = s.amount(RoundedPriceTotal);
        const float single = float(price.toDouble());
        s.write(CustomerDiscountPrice, Round2(double(single) * double(customerDiscount)),
                Text::RoundedCustomerDiscount, {s.money(price), s.number(customerDiscount)});
        const Currency discount = s.amount(CustomerDiscountPrice);
        s.write(CustomerDiscountTotal, price.subtract(discount), Text::RoundedCustomerDiscountTotal,
                {s.money(price), s.money(discount)});
        return;
    }

    s.write(RoundedPriceTotal, total, Text::RoundedPriceTotal,
            {s.money(total), s.money(total), rule});
    if (const XmlNode element = GetChildElement(RoundedPriceTotal, s.element(), false))
        SetXMLAttribute(element, NoRounding, QStringLiteral("1"));
    s.write(ActualPrice, s.amount(RoundedPriceTotal));

    const Currency price = s.amount(RoundedPriceTotal);
    s.write(CustomerDiscountPrice, Round2(price.toDouble() * double(customerDiscount)),
            Text::CustomerDiscount,
            {s.money(s.amount(PriceAdjustmentsTotal)), s.number(customerDiscount)});
    const Currency discount = s.amount(CustomerDiscountPrice);
    s.write(CustomerDiscountTotal, price.subtract(discount), Text::CustomerDiscountTotal,
            {s.money(price), s.money(discount)});
}

// The entry without currency symbols and blanks. Besides "$", the user's own currency
// symbol and the no-break space it is written with are removed, so an entry this
// calculation wrote in any locale reads back as the same amount.
QString StripEntry(QString text, const QLocale &locale, bool percentage)
{
    text.remove(QLatin1Char('$'));
    const QString symbol = locale.currencySymbol();
    if (!symbol.isEmpty())
        text.remove(symbol);
    text.remove(QLatin1Char(' '));
    text.remove(QChar(0x00A0));
    text.remove(QChar(0x202F));
    if (percentage)
        text.remove(QLatin1Char('%'));
    return text.trimmed();
}

// The amount of an entry; a negative amount may be written in parentheses, the form in
// which the user's currency format may have written it.
std::optional<Currency> EntryAmount(const QString &text, const QLocale &locale)
{
    if (text.size() > 2 && text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')'))) {
        const auto inner = Currency::fromString(text.mid(1, text.size() - 2), locale);
        return inner && !inner->isNegative() ? std::optional(inner->negated()) : std::nullopt;
    }
    return Currency::fromString(text, locale);
}

// True when the entry is a number, in parentheses or not, whether or not money can hold it.
bool IsNumberEntry(const QString &text, const QLocale &locale)
{
    if (text.size() > 2 && text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')')))
        return IsNumeric(text.mid(1, text.size() - 2), locale);
    return IsNumeric(text, locale);
}

// F3 to F5: the item discount; returns the rewritten entry.
QString ItemDiscountSteps(const PriceCostSteps &s)
{
    const Currency discounted = s.amount(CustomerDiscountTotal);
    const QString entry = GetXMLValue(ItemDiscount, s.element());

    if (!entry.contains(QLatin1Char('%'))) {
        const QString stripped = StripEntry(entry, s.locale(), false);
        const std::optional<Currency> read = EntryAmount(stripped, s.locale());
        // A number beyond what money holds is not "not a number": the step fails and writes
        // nothing, so the stored amount and the user's entry stay as they were.
        if (!read && IsNumberEntry(stripped, s.locale()))
            return entry;
        const Currency amount = read.value_or(Currency());
        s.write(ItemDiscountAmount, amount, Text::UserItemDiscount, {s.money(amount)});
        const Currency written = s.amount(ItemDiscountAmount);
        s.write(ItemDiscountAmountTotal, discounted.subtract(written), Text::ItemDiscountTotal,
                {s.money(discounted), s.money(written)});
        return s.money(written);
    }

    const auto percent = ParseNumber(StripEntry(entry, s.locale(), true), s.locale());
    if (!percent) {
        s.write(ItemDiscountAmount, Currency());
        // An explanation of an earlier entry would contradict the amount of 0.
        s.removeExplain(ItemDiscountAmount);
        s.write(ItemDiscountAmountTotal, discounted, Text::ItemDiscountTotal,
                {s.money(discounted), s.money(Currency())});
        return s.money(Currency());
    }
    const auto fractionAmount = Currency::fromDouble(*percent / 100.0);
    if (!fractionAmount)
        return entry;
    const float fraction = RoundSingle(*fractionAmount, 4);
    s.write(ItemDiscountAmount, Round2(discounted.toDouble() * double(fraction)),
            Text::PercentItemDiscount, {s.money(discounted), s.number(fraction)});
    const Currency amount = s.amount(ItemDiscountAmount);
    s.write(ItemDiscountAmountTotal, discounted.subtract(amount), Text::ItemDiscountTotal,
            {s.money(discounted), s.money(amount)});
    return FormatMask(*percent, QStringLiteral("0.0###"), s.locale()) + QLatin1Char('%');
}

// F7: the analytic price lines as the engine reports them now. An engine that cannot say how
// many it has leaves the stored lines; a value it does not deliver is left out, not written
// as 0.
void RebuildPriceLines(ProductEngine &engine, const PriceCostSteps &s)
{
    const std::optional<qint32> count = engine.PriceLineAnalyticCount();
    if (!count)
        return;
    if (const XmlNode old = FindChildNode(s.element(), PriceLines))
        s.element().removeChild(old);
    const XmlNode lines = AppendChildElement(PriceLines, s.element());
    for (qint32 i = 0; i < *count; ++i) {
        const XmlNode line = AppendChildElement(PriceLine, lines);
        SetXMLValue(PriceLineField::Name, engine.PriceLineAnalyticName(i), line);
        SetXMLValue(PriceLineField::PLCode, engine.PriceLineAnalyticPLCode(i), line);
        if (const std::optional<Currency> value = engine.PriceLineAnalyticValue(i))
            SetXMLCurrency(PriceLineField::Value, *value, line, s.locale());
    }
}

void Finish(ProductEngine &engine, const XmlNode &priceCost, const HostServices &host,
            RoundingRules *rules, const QLocale &locale)
{
    const XmlNode element = PriceCostElement(priceCost);
    if (!element)
        return;
    const PriceCostSteps s(element, locale);

    const qint32 customerType = GetXMLLong(CustomerTypeID, element, 0, locale);
    RoundingAndCustomerDiscount(s, rules ? rules->rule(customerType, host, locale)
                                         : ReadRoundingRule(customerType, host, locale));

    // F3: a forced price becomes the item discount that lands exactly on it.
    if (s.flag(PriceOverride)) {
        if (const auto discount =
                s.amount(CustomerDiscountTotal).subtract(s.amount(PriceOverrideTo)))
            SetXMLValue(ItemDiscount, discount->toString(locale), element);
    }

    SetXMLValue(ItemDiscount, ItemDiscountSteps(s), element);

    const Currency unitPrice = s.amount(ItemDiscountAmountTotal);
    s.write(OriginalUnitPrice, unitPrice);
    s.write(UnitPrice, unitPrice);

    RebuildPriceLines(engine, s);
}

} // namespace

void FinishUnitPrice(ProductEngine &engine, const XmlNode &priceCost, const HostServices &host,
                     const QLocale &locale)
{
    Finish(engine, priceCost, host, nullptr, locale);
}

void FinishUnitPrice(ProductEngine &engine, const XmlNode &priceCost, const HostServices &host,
                     ChargeSession &run, const QLocale &locale)
{
    Finish(engine, priceCost, host, &run.roundingRules(), locale);
}

RoundingRule RoundingRules::rule(qint32 customerType, const HostServices &host,
                                 const QLocale &locale)
{
    if (const RoundingRule *kept = m_rules.find(customerType, locale))
        return *kept;
    // Only rules the host answered are kept; a failed read is tried again for the next line.
    RoundingRule read = ReadRoundingRule(customerType, host, locale);
    if (!read.records.isEmpty())
        m_rules.keep(customerType, read);
    return read;
}

Currency RoundPrice(Currency value, qint16 roundingOn, qint16 direction, qint16 step)
{
    if (roundingOn == 0 || step == 0)
        return value;
    // w: the largest whole number not above the value; f: what lies above it.
    const qint64 scaled = value.scaled();
    qint64 wholeUnits = scaled / Currency::Scale;
    if (scaled % Currency::Scale < 0)
        --wholeUnits;
    if (wholeUnits < std::numeric_limits<qint32>::min() ||
        wholeUnits > std::numeric_limits<qint32>::max())
        return value;
    const Currency whole = Currency::fromUnits(wholeUnits);
    const Currency fraction = Currency::fromScaled(scaled - whole.scaled());
    // The remainder takes the sign of the whole part.
    const Currency above =
        Currency::fromScaled(Currency::fromUnits(wholeUnits % step).scaled() + fraction.scaled());
    const Currency stepAmount = Currency::fromUnits(step);

    const auto up = [&] {
        return above.isZero()
                   ? value
                   : value.add(stepAmount.subtract(above).value_or(Currency())).value_or(value);
    };
    const auto down = [&] {
        return above.isZero() ? value : value.subtract(above).value_or(value);
    };
    switch (direction) {
    case RoundingDirection::Up:
        return up();
    case RoundingDirection::Down:
        return down();
    case RoundingDirection::Nearest: {
        const Currency u = up();
        const Currency d = down();
        return u.scaled() - value.scaled() <= value.scaled() - d.scaled() ? u : d;
    }
    default:
        return value;
    }
}

QString DescribeRounding(const QString &records, const HostServices &host, const QLocale &locale)
{
    if (FieldInteger(host, records, QStringLiteral("RoundUnitPrice"), locale) == 0)
        return Text::NoRounding;
    const QString step =
        host.GetFieldValue(records, QStringLiteral("RoundUnitPriceTo"), QStringLiteral("0"));
    switch (FieldInteger(host, records, QStringLiteral("RoundUnitPriceDirection"), locale)) {
    case RoundingDirection::Up:
        return host.BuildString(Text::RoundUp, {step});
    case RoundingDirection::Down:
        return host.BuildString(Text::RoundDown, {step});
    case RoundingDirection::Nearest:
        return host.BuildString(Text::RoundNearest, {step});
    default:
        return {};
    }
}

} // namespace zeltpc5
