#include "host/database/demoquote.h"

#include <QLocale>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <map>

namespace zeltpc5::host {

namespace {

// Options as the product files define them (host/products): type codes 1 dimension,
// 2 text, 3 number, 4 list, 5 yes/no, 6 computed, 7 heading.
struct OptionDef
{
    const char *name;
    int type;
    int sequence;
    const char *group;
    int groupSequence;
    bool processIfHidden = false;
    const char *displayFormat = "";
};

const std::map<int, std::vector<OptionDef>> &Catalogue()
{
    static const std::map<int, std::vector<OptionDef>> catalogue{
        {1,
         {{"Room Location", 2, 1, "General", 1},
          {"Width", 1, 10, "Size", 2},
          {"Height", 1, 11, "Size", 2},
          {"Mount", 4, 12, "Size", 2},
          {"Fabric", 4, 20, "Appearance", 3},
          {"Color", 4, 21, "Appearance", 3},
          {"Bottom Rail", 4, 22, "Appearance", 3},
          {"Valance", 4, 23, "Appearance", 3},
          {"Control Type", 4, 30, "Operation", 4},
          {"Control Side", 4, 31, "Operation", 4},
          {"Motorization", 7, 32, "Operation", 4},
          {"Motor Type", 4, 33, "Operation", 4},
          {"Chain Length", 6, 34, "Operation", 4, false, "Inches"},
          {"Hold Down Brackets", 5, 40, "Installation", 5}}},
        {2,
         {{"Room Location", 2, 1, "General", 1},
          {"Width", 1, 10, "Size", 2},
          {"Height", 1, 11, "Size", 2},
          {"Mount", 4, 12, "Size", 2},
          {"Color", 4, 20, "Appearance", 3},
          {"Valance", 4, 21, "Appearance", 3},
          {"Tape", 4, 22, "Appearance", 3},
          {"Route Holes", 4, 23, "Appearance", 3},
          {"Lift System", 4, 30, "Operation", 4},
          {"Tilt", 4, 31, "Operation", 4},
          {"Hold Down Brackets", 5, 40, "Installation", 5},
          {"Slat Count", 6, 50, "Details", 6, true}}},
        {3,
         {{"Room Location", 2, 1, "General", 1},
          {"Width", 1, 10, "Size", 2},
          {"Height", 1, 11, "Size", 2},
          {"Mount", 4, 12, "Size", 2},
          {"Color", 4, 20, "Appearance", 3},
          {"Opacity", 4, 21, "Appearance", 3},
          {"Lift System", 4, 30, "Operation", 4},
          {"Motor Type", 4, 31, "Operation", 4},
          {"Edge Seal", 5, 40, "Installation", 5},
          {"Pleat Size", 6, 50, "Details", 6, true}}},
        {4,
         {{"Room Location", 2, 1, "General", 1},
          {"Width", 1, 10, "Size", 2},
          {"Height", 1, 11, "Size", 2},
          {"Mount", 4, 12, "Size", 2},
          {"Fabric", 4, 20, "Appearance", 3},
          {"Color", 4, 21, "Appearance", 3},
          {"Track Color", 4, 22, "Appearance", 3},
          {"Stack", 4, 30, "Operation", 4},
          {"Wand Length", 4, 31, "Operation", 4},
          {"Panel Width", 6, 40, "Details", 5, true}}},
    };
    return catalogue;
}

using Values = std::map<QString, QString>;

// Visibility as the product files' rules leave it for the values of a line.
bool IsVisible(int productID, const QString &option, const Values &values)
{
    auto value = [&](const char *name) {
        const auto it = values.find(QString::fromLatin1(name));
        return it == values.end() ? QString() : it->second;
    };
    if (option == u"Motor Type")
        return productID == 1 ? value("Control Type") == u"Motor"
                              : value("Lift System") == u"Motor";
    if (option == u"Motorization")
        return value("Control Type") == u"Motor";
    if (option == u"Chain Length")
        return value("Control Type") == u"Chain";
    if (option == u"Control Side")
        return value("Control Type") != u"Cordless";
    if (option == u"Edge Seal")
        return value("Opacity") == u"Room Darkening";
    if (option == u"Route Holes")
        return value("Tape") != u"Cloth Tape";
    return true;
}

struct Message
{
    int type; // 1 error, 2 notice
    QString text;
};

struct DemoLine
{
    int quantity;
    int productID;
    const char *style;
    Values values;
    std::vector<Message> messages;
    QString itemDiscount;
    double forcedPrice = 0; // a forced unit price (PriceOverride) when not 0
};

struct DemoQuoteData
{
    int id;
    const char *number;
    int customerID;
    int customerTypeID;
    int priceGroupID;
    int customerGroupID; // 0: the customer has none
    int discountMethod;
    QDate date;
    const char *description;
    std::vector<DemoLine> lines;
};

Values V(std::initializer_list<std::pair<const char *, const char *>> pairs)
{
    Values v;
    for (const auto &[name, value] : pairs)
        v[QString::fromUtf8(name)] = QString::fromUtf8(value);
    return v;
}

const std::vector<DemoQuoteData> &Quotes()
{
    const Message cassette{2, QStringLiteral("An inside mounted cassette valance needs a window "
                                             "depth of at least 3 1/2 inches.")};
    // Quote Q-1001 carries the lines a review should flag: line 5 is the only outside
    // mount, line 6 has no room location, line 7 still says "Please Select" and line 11
    // has a zero width. Values, visibility and messages are those the product files' rules
    // give for each line.
    static const std::vector<DemoQuoteData> quotes{
        {1,
         "Q-1001",
         1,
         1,
         2,
         4,
         0,
         QDate(2025, 3, 14),
         "Whole-house window treatments",
         {
             {2,
              1,
              "Standard",
              V({{"Room Location", "Living Room"},
                 {"Width", "36 1/2"},
                 {"Height", "60"},
                 {"Mount", "Inside"},
                 {"Fabric", "Linen Blend"},
                 {"Color", "White"},
                 {"Bottom Rail", "Standard"},
                 {"Valance", "Cassette"},
                 {"Control Type", "Chain"},
                 {"Control Side", "Right"},
                 {"Motor Type", "None"},
                 {"Chain Length", "48"},
                 {"Hold Down Brackets", "No"}}),
              {cassette},
              QString()},
             {1,
              1,
              "Cordless",
              V({{"Room Location", "Living Room"},
                 {"Width", "48"},
                 {"Height", "60"},
                 {"Mount", "Inside"},
                 {"Fabric", "Solar Screen 5%"},
                 {"Color", "Grey"},
                 {"Bottom Rail", "Standard"},
                 {"Valance", "Fascia"},
                 {"Control Type", "Cordless"},
                 {"Control Side", "Right"},
                 {"Motor Type", "None"},
                 {"Hold Down Brackets", "No"}}),
              {},
              QStringLiteral("5")},
             {1,
              1,
              "Motorized",
              V({{"Room Location", "Master Bedroom"},
                 {"Width", "72"},
                 {"Height", "84"},
                 {"Mount", "Inside"},
                 {"Fabric", "Blackout Vinyl"},
                 {"Color", "Charcoal"},
                 {"Bottom Rail", "Standard"},
                 {"Valance", "Cassette"},
                 {"Control Type", "Motor"},
                 {"Control Side", "Right"},
                 {"Motor Type", "RF Motor"},
                 {"Hold Down Brackets", "No"}}),
              {cassette},
              QString()},
             {3,
              2,
              "2 Inch Slat",
              V({{"Room Location", "Kitchen"},
                 {"Width", "30"},
                 {"Height", "42"},
                 {"Mount", "Inside"},
                 {"Color", "Natural Oak"},
                 {"Valance", "Standard 3 Inch"},
                 {"Tape", "None"},
                 {"Route Holes", "Standard"},
                 {"Lift System", "Cord Lift"},
                 {"Tilt", "Wand"},
                 {"Hold Down Brackets", "No"},
                 {"Slat Count", "25"}}),
              {},
              QString()},
             {2,
              2,
              "2.5 Inch Slat",
              V({{"Room Location", "Dining Room"},
                 {"Width", "60 1/4"},
                 {"Height", "72"},
                 {"Mount", "Outside"},
                 {"Color", "Espresso"},
                 {"Valance", "Crown"},
                 {"Tape", "Cloth Tape"},
                 {"Route Holes", "Standard"},
                 {"Lift System", "Cordless Lift"},
                 {"Tilt", "Wand"},
                 {"Hold Down Brackets", "Yes"},
                 {"Slat Count", "35"}}),
              {{2, QStringLiteral("Blinds wider than 60 inches ship with a center support "
                                  "bracket.")}},
              QString()},
             {1,
              2,
              "2 Inch Slat",
              V({{"Room Location", ""},
                 {"Width", "34"},
                 {"Height", "48"},
                 {"Mount", "Inside"},
                 {"Color", "White"},
                 {"Valance", "Standard 3 Inch"},
                 {"Tape", "None"},
                 {"Route Holes", "Standard"},
                 {"Lift System", "Cord Lift"},
                 {"Tilt", "Cord"},
                 {"Hold Down Brackets", "No"},
                 {"Slat Count", "29"}}),
              {},
              QString()},
             {1,
              3,
              "Single Cell",
              V({{"Room Location", "Office"},
                 {"Width", "35"},
                 {"Height", "60"},
                 {"Mount", "Inside"},
                 {"Color", "Please Select"},
                 {"Opacity", "Light Filtering"},
                 {"Lift System", "Cordless"},
                 {"Motor Type", "None"},
                 {"Edge Seal", "No"},
                 {"Pleat Size", "3/4 Inch"}}),
              {},
              QString()},
             {2,
              3,
              "Double Cell",
              V({{"Room Location", "Nursery"},
                 {"Width", "29 1/2"},
                 {"Height", "54"},
                 {"Mount", "Inside"},
                 {"Color", "Sand"},
                 {"Opacity", "Room Darkening"},
                 {"Lift System", "Cordless"},
                 {"Motor Type", "None"},
                 {"Edge Seal", "Yes"},
                 {"Pleat Size", "3/8 Inch"}}),
              {},
              QString()},
             {1,
              3,
              "Top Down Bottom Up",
              V({{"Room Location", "Bathroom"},
                 {"Width", "23"},
                 {"Height", "36"},
                 {"Mount", "Inside"},
                 {"Color", "White"},
                 {"Opacity", "Light Filtering"},
                 {"Lift System", "Top Down Bottom Up"},
                 {"Motor Type", "None"},
                 {"Edge Seal", "No"},
                 {"Pleat Size", "3/4 Inch"}}),
              {},
              QString()},
             {1,
              4,
              "3 Panel",
              V({{"Room Location", "Patio Door"},
                 {"Width", "96"},
                 {"Height", "92"},
                 {"Mount", "Inside"},
                 {"Fabric", "Woven Jute"},
                 {"Color", "Natural"},
                 {"Track Color", "White"},
                 {"Stack", "Left"},
                 {"Wand Length", "60"},
                 {"Panel Width", "35"}}),
              {},
              QString()},
             {1,
              4,
              "4 Panel",
              V({{"Room Location", "Family Room"},
                 {"Width", "0"},
                 {"Height", "92"},
                 {"Mount", "Inside"},
                 {"Fabric", "Blackout"},
                 {"Color", "Stone"},
                 {"Track Color", "Bronze"},
                 {"Stack", "Center Split"},
                 {"Wand Length", "48"},
                 {"Panel Width", "3"}}),
              {{1, QStringLiteral("A 4 Panel track is made 48 to 144 inches wide.")}},
              QString()},
             {4,
              1,
              "Standard",
              V({{"Room Location", "Guest Room"},
                 {"Width", "34"},
                 {"Height", "58"},
                 {"Mount", "Inside"},
                 {"Fabric", "Linen Blend"},
                 {"Color", "Ivory"},
                 {"Bottom Rail", "Standard"},
                 {"Valance", "None"},
                 {"Control Type", "Chain"},
                 {"Control Side", "Left"},
                 {"Motor Type", "None"},
                 {"Chain Length", "48"},
                 {"Hold Down Brackets", "No"}}),
              {},
              QStringLiteral("10%")},
         }},
        {2,
         "Q-1002",
         2,
         2,
         3,
         5,
         2,
         QDate(2025, 4, 2),
         "Model home, second floor",
         {
             {2,
              3,
              "Top Down Bottom Up",
              V({{"Room Location", "Loft"},
                 {"Width", "40"},
                 {"Height", "64"},
                 {"Mount", "Inside"},
                 {"Color", "Linen"},
                 {"Opacity", "Light Filtering"},
                 {"Lift System", "Top Down Bottom Up"},
                 {"Motor Type", "None"},
                 {"Edge Seal", "No"},
                 {"Pleat Size", "3/4 Inch"}}),
              {},
              QString()},
             {1,
              1,
              "Motorized",
              V({{"Room Location", "Loft"},
                 {"Width", "70"},
                 {"Height", "96"},
                 {"Mount", "Inside"},
                 {"Fabric", "Solar Screen 5%"},
                 {"Color", "White"},
                 {"Bottom Rail", "Standard"},
                 {"Valance", "Cassette"},
                 {"Control Type", "Motor"},
                 {"Control Side", "Left"},
                 {"Motor Type", "Wi-Fi Motor"},
                 {"Hold Down Brackets", "No"}}),
              {cassette},
              QString()},
             {1,
              4,
              "5 Panel",
              V({{"Room Location", "Sliding Door"},
                 {"Width", "120"},
                 {"Height", "94"},
                 {"Mount", "Inside"},
                 {"Fabric", "Solar Screen 3%"},
                 {"Color", "White"},
                 {"Track Color", "White"},
                 {"Stack", "Right"},
                 {"Wand Length", "60"},
                 {"Panel Width", "27"}}),
              {{2, QStringLiteral("Solar screen panels can be seen through at night when the "
                                  "room is lit.")}},
              QString(),
              1450.0},
         }},
    };
    return quotes;
}

// "36 1/2" -> 36.5; whatever does not read as inches counts as 0.
double Inches(const QString &text)
{
    double total = 0;
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const qsizetype slash = part.indexOf(u'/');
        if (slash > 0) {
            const double denominator = part.mid(slash + 1).toDouble();
            if (denominator != 0)
                total += part.left(slash).toDouble() / denominator;
        } else {
            total += part.toDouble();
        }
    }
    return total;
}

// A plausible list price per unit, so that the quote reads like a real one; the component
// re-prices every line it changes through the product engine.
double ListPrice(const DemoLine &line)
{
    static const std::map<int, std::pair<double, double>> perSquareFoot{
        {1, {9.50, 89.0}}, {2, {11.00, 79.0}}, {3, {10.25, 95.0}}, {4, {8.75, 399.0}}};
    static const std::map<QString, double> styleExtra{{QStringLiteral("Cordless"), 35.0},
                                                      {QStringLiteral("Motorized"), 245.0},
                                                      {QStringLiteral("2.5 Inch Slat"), 20.0},
                                                      {QStringLiteral("Double Cell"), 30.0},
                                                      {QStringLiteral("Top Down Bottom Up"), 55.0},
                                                      {QStringLiteral("4 Panel"), 60.0},
                                                      {QStringLiteral("5 Panel"), 120.0}};
    const auto &[rate, minimum] = perSquareFoot.at(line.productID);
    const double area = Inches(line.values.at(QStringLiteral("Width"))) *
                        Inches(line.values.at(QStringLiteral("Height"))) / 144.0;
    const auto extra = styleExtra.find(QString::fromUtf8(line.style));
    const double price =
        std::max(minimum, area * rate) + (extra == styleExtra.end() ? 0.0 : extra->second);
    return std::round(price * 100.0) / 100.0;
}

QString EscapeMarkup(const QString &text)
{
    QString out;
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '\'':
            out += QStringLiteral("&apos;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct ItemOption
{
    const OptionDef *def;
    QString value;
    bool visible;
};

struct Descriptions
{
    QString description;
    QString description2;
    QString descriptionOE;
};

// The descriptions as the company's settings describe a line: ordered settings rows
// first, then rows of sequence 9999 and above in the item's option order; hidden options,
// empty values and the no-show values are left out; dimensions never go into the second
// description.
Descriptions Describe(const std::vector<ItemOption> &options)
{
    const QStringList noShow = QStringLiteral("No,N/A,None,0").split(u',');
    const QString separator = QStringLiteral(" | ");
    auto shown = [&](const ItemOption &o) {
        return o.visible && !o.value.isEmpty() && !noShow.contains(o.value);
    };
    auto find = [&](const QString &name) -> const ItemOption * {
        for (const ItemOption &o : options)
            if (QString::fromUtf8(o.def->name) == name)
                return &o;
        return nullptr;
    };
    std::vector<DescriptionSetting> rows[2];
    for (const DescriptionSetting &s : DemoDescriptionSettings())
        if (s.show)
            rows[s.location].push_back(s);
    for (auto &r : rows)
        std::stable_sort(r.begin(), r.end(), [](const auto &a, const auto &b) {
            return std::tie(a.sequence, a.prefix, a.optionName) <
                   std::tie(b.sequence, b.prefix, b.optionName);
        });
    auto setting = [&](int location, const QString &name) -> const DescriptionSetting * {
        for (const DescriptionSetting &s : rows[location])
            if (s.optionName == name)
                return &s;
        return nullptr;
    };

    Descriptions d;
    d.descriptionOE = QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>");
    QStringList described[2];
    auto addFirst = [&](const DescriptionSetting &s, const QString &value) {
        d.description += s.prefix + value + separator;
        const QString escaped = EscapeMarkup(value);
        d.descriptionOE +=
            EscapeMarkup(s.prefix) +
            (s.bold ? QStringLiteral("<Bold>") + escaped + QStringLiteral("</Bold>") : escaped) +
            EscapeMarkup(separator);
    };
    for (const DescriptionSetting &s : rows[0]) {
        const ItemOption *o = find(s.optionName);
        if (s.sequence < 9999 && o && shown(*o)) {
            addFirst(s, o->value);
            described[0] << s.optionName;
        }
    }
    for (const DescriptionSetting &s : rows[1]) {
        const ItemOption *o = find(s.optionName);
        if (s.sequence < 9999 && o && shown(*o)) {
            if (o->def->type != 1)
                d.description2 += s.prefix + o->value + separator;
            described[1] << s.optionName;
        }
    }
    for (const ItemOption &o : options) {
        const QString name = QString::fromUtf8(o.def->name);
        if (!shown(o))
            continue;
        if (const DescriptionSetting *s = setting(0, name); s && !described[0].contains(name))
            addFirst(*s, o.value);
        if (const DescriptionSetting *s = setting(1, name);
            s && !described[1].contains(name) && o.def->type != 1)
            d.description2 += s->prefix + o.value + separator;
    }
    for (QString *text : {&d.description, &d.description2, &d.descriptionOE})
        if (text->endsWith(separator))
            text->chop(separator.size());
    d.descriptionOE += QStringLiteral("</TextBlock>");
    return d;
}

QString ItemDocument(const DemoLine &line)
{
    std::vector<ItemOption> options;
    for (const OptionDef &def : Catalogue().at(line.productID)) {
        const QString name = QString::fromUtf8(def.name);
        const auto it = line.values.find(name);
        options.push_back({&def, it == line.values.end() ? QString() : it->second,
                           IsVisible(line.productID, name, line.values)});
    }
    const Descriptions descriptions = Describe(options);

    QString xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(QStringLiteral("ItemData"));
    w.writeStartElement(QStringLiteral("Options"));
    for (const ItemOption &o : options) {
        w.writeStartElement(QStringLiteral("Option"));
        w.writeTextElement(QStringLiteral("Name"), QString::fromUtf8(o.def->name));
        w.writeTextElement(QStringLiteral("Value"), o.value);
        w.writeTextElement(QStringLiteral("Sequence"), QString::number(o.def->sequence));
        w.writeTextElement(QStringLiteral("GroupName"), QString::fromUtf8(o.def->group));
        w.writeTextElement(QStringLiteral("GroupSequence"), QString::number(o.def->groupSequence));
        w.writeTextElement(QStringLiteral("Type"), QString::number(o.def->type));
        w.writeTextElement(QStringLiteral("IsDimension"),
                           QString::number(o.def->type == 1 ? 1 : 0));
        w.writeTextElement(QStringLiteral("ProcessIfHidden"),
                           QString::number(o.def->processIfHidden ? 1 : 0));
        w.writeTextElement(QStringLiteral("DisplayFormat"),
                           QString::fromLatin1(o.def->displayFormat));
        w.writeTextElement(QStringLiteral("Visible"), QString::number(o.visible ? -1 : 0));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Messages"));
    int id = 0;
    for (const Message &m : line.messages) {
        w.writeStartElement(QStringLiteral("Message"));
        w.writeTextElement(QStringLiteral("ID"), QString::number(id++));
        w.writeTextElement(QStringLiteral("Text"), m.text);
        w.writeTextElement(QStringLiteral("Type"), QString::number(m.type));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeTextElement(QStringLiteral("Description"), descriptions.description);
    w.writeTextElement(QStringLiteral("Description2"), descriptions.description2);
    w.writeTextElement(QStringLiteral("DescriptionOE"), descriptions.descriptionOE);
    w.writeEndElement();
    return xml;
}

QString PriceCostDocument(const DemoQuoteData &quote, const DemoLine &line, int vendorID)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    auto money = [&](double v) { return locale.toString(v, 'f', 2); };
    const double price = line.forcedPrice != 0 ? line.forcedPrice : ListPrice(line);

    QString xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(QStringLiteral("PriceCostData"));
    auto field = [&](const char *name, const QString &value) {
        w.writeTextElement(QString::fromLatin1(name), value);
    };
    auto number = [&](const char *name, int value) { field(name, QString::number(value)); };
    number("ProductID", line.productID);
    field("Style", QString::fromUtf8(line.style));
    number("VendorID", vendorID);
    number("CustomerID", quote.customerID);
    number("CustomerTypeID", quote.customerTypeID);
    number("DiscountMethod", quote.discountMethod);
    number("OptionDiscountMethod", 0);
    number("CostDiscountGroupID", 1);
    number("PriceDiscountGroupID", quote.priceGroupID);
    number("CustomerDiscountGroupID", quote.customerGroupID);
    for (const char *flag :
         {"CostDiscountOverride", "CostDiscountADOverride", "PriceDiscountOverride",
          "PriceDiscountADOverride", "PriceMarginOverride", "PriceMarginADOverride",
          "CustomerDiscountOverride", "BeforeDiscountCostOverride", "BeforeDiscountPriceOverride"})
        number(flag, 0);
    number("PriceOverride", line.forcedPrice != 0 ? 1 : 0);
    field("PriceOverrideTo", money(line.forcedPrice));
    field("ItemDiscount", line.itemDiscount);
    field("UnitCost", money(std::round(price * 55.0) / 100.0));
    field("OriginalUnitPrice", money(price));
    field("UnitPrice", money(price));
    w.writeEndElement();
    return xml;
}

} // namespace

const std::vector<DescriptionSetting> &DemoDescriptionSettings()
{
    static const std::vector<DescriptionSetting> settings{
        {1, 0, true, 1, QStringLiteral("W "), QStringLiteral("Width"), false},
        {2, 0, true, 2, QStringLiteral("H "), QStringLiteral("Height"), false},
        {3, 0, true, 3, QStringLiteral(""), QStringLiteral("Mount"), false},
        {4, 0, true, 4, QStringLiteral(""), QStringLiteral("Fabric"), true},
        {5, 0, true, 5, QStringLiteral(""), QStringLiteral("Color"), true},
        {6, 0, true, 6, QStringLiteral(""), QStringLiteral("Opacity"), false},
        {7, 0, true, 7, QStringLiteral(""), QStringLiteral("Control Type"), false},
        {8, 0, true, 8, QStringLiteral(""), QStringLiteral("Lift System"), false},
        {9, 0, true, 9, QStringLiteral("Stack "), QStringLiteral("Stack"), false},
        {10, 0, true, 10, QStringLiteral(""), QStringLiteral("Motor Type"), true},
        {11, 0, true, 9999, QStringLiteral("Valance: "), QStringLiteral("Valance"), false},
        {12, 0, true, 9999, QStringLiteral(""), QStringLiteral("Tape"), false},
        {13, 0, false, 11, QStringLiteral(""), QStringLiteral("Route Holes"), false},
        {14, 1, true, 1, QStringLiteral(""), QStringLiteral("Room Location"), false},
        {15, 1, true, 2, QStringLiteral("W "), QStringLiteral("Width"), false},
        {16, 1, true, 3, QStringLiteral(""), QStringLiteral("Color"), false},
        {17, 1, true, 4, QStringLiteral(""), QStringLiteral("Fabric"), false},
    };
    return settings;
}

std::vector<DemoQuote> DemoQuotes()
{
    static const std::map<int, int> vendorOfProduct{{1, 1}, {2, 2}, {3, 3}, {4, 3}};
    // Stable identifiers: the same seed gives the same UniqueIDs on every machine.
    static const QUuid space(QStringLiteral("{6f1c2a1e-4b7d-4c1e-9a53-2f0d7e5b8c41}"));
    std::vector<DemoQuote> quotes;
    int lineID = 0;
    for (const DemoQuoteData &data : Quotes()) {
        DemoQuote q{data.id,
                    QString::fromLatin1(data.number),
                    data.customerID,
                    QDateTime(data.date, QTime(9, 30), Qt::UTC),
                    QString::fromUtf8(data.description),
                    {}};
        int number = 0;
        for (const DemoLine &line : data.lines) {
            ++number;
            q.lines.push_back({++lineID, number, line.quantity, line.productID,
                               QString::fromUtf8(line.style), ItemDocument(line),
                               PriceCostDocument(data, line, vendorOfProduct.at(line.productID)),
                               QUuid::createUuidV5(space, q.number + QStringLiteral("/") +
                                                              QString::number(number))
                                   .toString()});
        }
        quotes.push_back(std::move(q));
    }
    return quotes;
}

} // namespace zeltpc5::host
