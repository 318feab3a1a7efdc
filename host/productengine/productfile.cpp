#include "host/productengine/productfile.h"

#include "host/helpers/dimensiontext.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeltpc5::host {

extern const char ProductFileSchema[];
extern const std::size_t ProductFileSchemaSize;

namespace {

// The one way out of the builder: the first thing wrong with the file.
struct Invalid
{
    int line = 0;
    QString message;
};

struct XmlCharDeleter
{
    void operator()(xmlChar *p) const { xmlFree(p); }
};
using XmlText = std::unique_ptr<xmlChar, XmlCharDeleter>;

QString fromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

bool isElement(const xmlNode *n, const char *name)
{
    return n->type == XML_ELEMENT_NODE &&
           xmlStrEqual(n->name, reinterpret_cast<const xmlChar *>(name));
}

std::vector<xmlNode *> children(xmlNode *parent, const char *name)
{
    std::vector<xmlNode *> result;
    for (xmlNode *c = parent ? parent->children : nullptr; c; c = c->next) {
        if (isElement(c, name))
            result.push_back(c);
    }
    return result;
}

xmlNode *child(xmlNode *parent, const char *name)
{
    const auto all = children(parent, name);
    return all.empty() ? nullptr : all.front();
}

QStringList splitList(const QString &text)
{
    QStringList items = text.split(QLatin1Char('|'));
    for (QString &item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return items;
}

bool containsText(const QStringList &list, const QString &text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

Money toMoney(double amount)
{
    return Money(std::llround(amount * 10000.0));
}

xmlSchemaPtr productSchema()
{
    static xmlSchemaPtr schema = [] {
        xmlInitParser();
        xmlSchemaParserCtxtPtr parser =
            xmlSchemaNewMemParserCtxt(ProductFileSchema, int(ProductFileSchemaSize));
        xmlSchemaPtr s = parser ? xmlSchemaParse(parser) : nullptr;
        xmlSchemaFreeParserCtxt(parser);
        return s;
    }();
    return schema;
}

void collectFirstError(void *context, xmlErrorPtr error)
{
    auto *first = static_cast<Invalid *>(context);
    if (!first->message.isEmpty() || !error)
        return;
    first->line = error->line;
    first->message = QString::fromUtf8(error->message ? error->message : "invalid").trimmed();
}

class Builder
{
public:
    explicit Builder(xmlNode *root) : m_root(root) {}
    ProductDefinition build();

private:
    [[noreturn]] void fail(const xmlNode *n, const QString &message) const
    {
        throw Invalid{n ? int(xmlGetLineNo(n)) : 0, message};
    }
    static bool has(xmlNode *n, const char *name)
    {
        return xmlHasProp(n, reinterpret_cast<const xmlChar *>(name)) != nullptr;
    }
    static QString attr(xmlNode *n, const char *name, const QString &fallback = QString())
    {
        XmlText value(xmlGetProp(n, reinterpret_cast<const xmlChar *>(name)));
        return value ? fromXml(value.get()) : fallback;
    }
    // Numbers the schema has already checked; the text is in the C locale.
    static double number(xmlNode *n, const char *name, double fallback)
    {
        return has(n, name) ? attr(n, name).toDouble() : fallback;
    }

    int optionOf(xmlNode *n, const char *name) const;
    QStringList stylesOf(xmlNode *n, const char *name) const;
    bool isValidValue(const OptionDefinition &option, const QString &value) const;
    void readOptions();
    void readDimensions();
    Condition readCondition(xmlNode *when) const;
    std::vector<Condition> readConditions(xmlNode *parent) const;
    Action readAction(xmlNode *n) const;
    void readRules();
    void readLimits();
    Grid readGrid(xmlNode *grid) const;
    void readPricing();

    xmlNode *m_root;
    ProductDefinition m_product;
};

int Builder::optionOf(xmlNode *n, const char *name) const
{
    const QString optionName = attr(n, name);
    const int index = m_product.optionIndex(optionName);
    if (index < 0)
        fail(n, QStringLiteral("unknown option \"%1\"").arg(optionName));
    return index;
}

QStringList Builder::stylesOf(xmlNode *n, const char *name) const
{
    QStringList styles = splitList(attr(n, name));
    for (QString &style : styles) {
        const int index = m_product.styleIndex(style);
        if (index < 0)
            fail(n, QStringLiteral("unknown style \"%1\"").arg(style));
        style = m_product.styles.at(index);
    }
    return styles;
}

bool Builder::isValidValue(const OptionDefinition &option, const QString &value) const
{
    switch (option.type) {
    case OptionType::Dimension:
        return value.isEmpty() || ParseDimension(value, QLocale::c()).has_value();
    case OptionType::Number: {
        bool ok = false;
        value.toDouble(&ok);
        return value.isEmpty() || ok;
    }
    case OptionType::List:
        return option.choices.contains(value);
    case OptionType::YesNo:
        return value == QLatin1String("Yes") || value == QLatin1String("No");
    case OptionType::Heading:
        return value.isEmpty();
    case OptionType::Text:
    case OptionType::Computed:
        return true;
    }
    return false;
}

void Builder::readOptions()
{
    for (xmlNode *n : children(child(m_root, "Options"), "Option")) {
        OptionDefinition o;
        o.name = attr(n, "name");
        if (m_product.optionIndex(o.name) >= 0)
            fail(n, QStringLiteral("option \"%1\" is defined twice").arg(o.name));
        o.type = OptionType(attr(n, "type").toShort());
        o.sequence = attr(n, "sequence").toInt();
        o.group = attr(n, "group");
        o.groupSequence = attr(n, "groupSequence", QStringLiteral("0")).toInt();
        o.visible = attr(n, "visible", QStringLiteral("1")) == QLatin1String("1");
        o.processIfHidden = attr(n, "processIfHidden") == QLatin1String("1");
        o.displayFormat = attr(n, "displayFormat");
        for (xmlNode *c : children(n, "Choice")) {
            XmlText text(xmlNodeGetContent(c));
            const QString choice = fromXml(text.get());
            if (containsText(o.choices, choice))
                fail(c, QStringLiteral("choice \"%1\" appears twice").arg(choice));
            o.choices << choice;
        }
        if (o.type == OptionType::List && o.choices.isEmpty())
            fail(n, QStringLiteral("list option \"%1\" has no choices").arg(o.name));
        if (o.type != OptionType::List && !o.choices.isEmpty())
            fail(n, QStringLiteral("only list options have choices (\"%1\")").arg(o.name));
        o.defaultValue = attr(n, "default");
        if (o.type == OptionType::List && o.defaultValue.isEmpty())
            o.defaultValue = o.choices.front();
        if (o.type == OptionType::YesNo && o.defaultValue.isEmpty())
            o.defaultValue = QStringLiteral("No");
        if (!isValidValue(o, o.defaultValue))
            fail(n, QStringLiteral("default \"%1\" does not suit option \"%2\"")
                        .arg(o.defaultValue, o.name));
        m_product.options.push_back(std::move(o));
    }
}

void Builder::readDimensions()
{
    xmlNode *n = child(m_root, "Dimensions");
    m_product.roundDown = n && attr(n, "rounding") == QLatin1String("down");
    m_product.displayFormat =
        n ? attr(n, "displayFormat", QStringLiteral("Fraction")) : QStringLiteral("Fraction");
    const auto measured = [&](const char *name, const QString &fallback) {
        const QString optionName = n ? attr(n, name, fallback) : fallback;
        const int index = m_product.optionIndex(optionName);
        if (index < 0 || m_product.options[index].type != OptionType::Dimension)
            fail(n ? n : m_root,
                 QStringLiteral("\"%1\" must be a dimension option (type 1)").arg(optionName));
        return index;
    };
    m_product.widthOption = measured("width", QStringLiteral("Width"));
    m_product.heightOption = measured("height", QStringLiteral("Height"));
}

Condition Builder::readCondition(xmlNode *when) const
{
    Condition c;
    if (has(when, "style"))
        c.styles = stylesOf(when, "style");

    static const struct
    {
        const char *name;
        Condition::Test test;
    } tests[] = {
        {"equals", Condition::Test::Equals},
        {"notEquals", Condition::Test::NotEquals},
        {"in", Condition::Test::In},
        {"notIn", Condition::Test::NotIn},
        {"atLeast", Condition::Test::AtLeast},
        {"atMost", Condition::Test::AtMost},
        {"greaterThan", Condition::Test::GreaterThan},
        {"lessThan", Condition::Test::LessThan},
        {"empty", Condition::Test::Empty},
    };
    int found = 0;
    for (const auto &t : tests) {
        if (!has(when, t.name))
            continue;
        ++found;
        c.test = t.test;
        const QString text = attr(when, t.name);
        c.texts = (t.test == Condition::Test::In || t.test == Condition::Test::NotIn)
                      ? splitList(text)
                      : QStringList{text.trimmed()};
        c.number = text.toDouble();
        c.empty = text == QLatin1String("true") || text == QLatin1String("1");
    }

    if (!has(when, "option")) {
        if (found > 0 || c.styles.isEmpty())
            fail(when, QStringLiteral("a condition tests an option or the style"));
        return c;
    }
    c.option = optionOf(when, "option");
    if (found != 1)
        fail(when, QStringLiteral("a condition on an option has exactly one test"));

    const OptionDefinition &o = m_product.options[c.option];
    const bool numeric = c.test == Condition::Test::AtLeast || c.test == Condition::Test::AtMost ||
                         c.test == Condition::Test::GreaterThan ||
                         c.test == Condition::Test::LessThan;
    if (o.type == OptionType::Heading)
        fail(when, QStringLiteral("heading \"%1\" has no value to test").arg(o.name));
    if (numeric && o.type != OptionType::Dimension && o.type != OptionType::Number &&
        o.type != OptionType::Computed)
        fail(when, QStringLiteral("option \"%1\" has no number to compare").arg(o.name));
    // A misspelt choice would make the rule silently never apply.
    if (!numeric && c.test != Condition::Test::Empty &&
        (o.type == OptionType::List || o.type == OptionType::YesNo)) {
        for (const QString &text : c.texts) {
            if (!isValidValue(o, text) && !containsText(o.choices, text))
                fail(when,
                     QStringLiteral("\"%1\" is not a value of option \"%2\"").arg(text, o.name));
        }
    }
    return c;
}

std::vector<Condition> Builder::readConditions(xmlNode *parent) const
{
    std::vector<Condition> conditions;
    for (xmlNode *when : children(parent, "When"))
        conditions.push_back(readCondition(when));
    return conditions;
}

Action Builder::readAction(xmlNode *n) const
{
    Action a;
    if (isElement(n, "Error") || isElement(n, "Notice")) {
        a.kind = isElement(n, "Error") ? Action::Kind::Error : Action::Kind::Notice;
        a.value = attr(n, "text");
        return a;
    }
    a.option = optionOf(n, "option");
    const OptionDefinition &o = m_product.options[a.option];
    if (isElement(n, "Hide") || isElement(n, "Show")) {
        a.kind = isElement(n, "Hide") ? Action::Kind::Hide : Action::Kind::Show;
    } else if (isElement(n, "Set")) {
        a.kind = Action::Kind::Set;
        a.value = attr(n, "value");
        if (o.type == OptionType::Heading || !isValidValue(o, a.value))
            fail(n, QStringLiteral("\"%1\" cannot be set to \"%2\"").arg(o.name, a.value));
    } else if (isElement(n, "Restrict")) {
        a.kind = Action::Kind::Restrict;
        if (o.type != OptionType::List)
            fail(n, QStringLiteral("only list options can be restricted (\"%1\")").arg(o.name));
        a.allowed = splitList(attr(n, "allow"));
        if (a.allowed.isEmpty())
            fail(n, QStringLiteral("a restriction allows at least one choice"));
        for (const QString &value : a.allowed) {
            if (!o.choices.contains(value))
                fail(n, QStringLiteral("\"%1\" is not a choice of \"%2\"").arg(value, o.name));
        }
        a.value = attr(n, "default", o.defaultValue);
        if (!a.allowed.contains(a.value))
            fail(n, QStringLiteral("the replacement \"%1\" is not among the allowed choices")
                        .arg(a.value));
    } else if (isElement(n, "Compute")) {
        a.kind = Action::Kind::Compute;
        if (o.type != OptionType::Computed && o.type != OptionType::Number)
            fail(n, QStringLiteral("\"%1\" cannot hold a computed value").arg(o.name));
        a.source = optionOf(n, "from");
        const OptionType sourceType = m_product.options[a.source].type;
        if (sourceType != OptionType::Dimension && sourceType != OptionType::Number)
            fail(n, QStringLiteral("\"%1\" has no number to compute from")
                        .arg(m_product.options[a.source].name));
        a.multiply = number(n, "multiply", 1);
        a.add = number(n, "add", 0);
        a.step = number(n, "step", 1);
        const QString rounding = attr(n, "round", QStringLiteral("nearest"));
        a.rounding = rounding == QLatin1String("up")     ? Action::Rounding::Up
                     : rounding == QLatin1String("down") ? Action::Rounding::Down
                                                         : Action::Rounding::Nearest;
        a.asDimension = attr(n, "format") == QLatin1String("dimension");
    }
    return a;
}

void Builder::readRules()
{
    for (xmlNode *n : children(child(m_root, "Rules"), "Rule")) {
        Rule rule;
        rule.name = attr(n, "name");
        rule.conditions = readConditions(n);
        for (xmlNode *c = n->children; c; c = c->next) {
            if (c->type == XML_ELEMENT_NODE && !isElement(c, "When"))
                rule.actions.push_back(readAction(c));
        }
        m_product.rules.push_back(std::move(rule));
    }
}

void Builder::readLimits()
{
    for (xmlNode *n : children(child(m_root, "Limits"), "Limit")) {
        Limit limit;
        limit.option = optionOf(n, "option");
        const OptionType type = m_product.options[limit.option].type;
        if (type != OptionType::Dimension && type != OptionType::Number)
            fail(n, QStringLiteral("limits apply to dimensions and numbers"));
        limit.styles = stylesOf(n, "style");
        limit.minimum = number(n, "min", 0);
        limit.maximum = number(n, "max", 0);
        if (limit.minimum > limit.maximum)
            fail(n, QStringLiteral("the minimum is above the maximum"));
        limit.message = attr(n, "message");
        m_product.limits.push_back(std::move(limit));
    }
}

Grid Builder::readGrid(xmlNode *grid) const
{
    Grid g;
    const auto ascending = [&](const std::vector<double> &points, xmlNode *at) {
        for (size_t i = 0; i < points.size(); ++i) {
            if (points[i] <= 0 || (i > 0 && points[i] <= points[i - 1]))
                fail(at, QStringLiteral("grid points must rise from above zero"));
        }
    };
    for (const QString &w : attr(grid, "widths").split(QLatin1Char(' '), Qt::SkipEmptyParts))
        g.widths.push_back(w.toDouble());
    ascending(g.widths, grid);
    for (xmlNode *row : children(grid, "Row")) {
        g.heights.push_back(number(row, "height", 0));
        XmlText text(xmlNodeGetContent(row));
        const QStringList cells =
            fromXml(text.get()).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (size_t(cells.size()) != g.widths.size())
            fail(row, QStringLiteral("a grid row has %1 amounts for %2 widths")
                          .arg(cells.size())
                          .arg(g.widths.size()));
        for (const QString &cell : cells)
            g.cells.push_back(toMoney(cell.toDouble()));
    }
    ascending(g.heights, grid);
    return g;
}

void Builder::readPricing()
{
    xmlNode *pricing = child(m_root, "Pricing");
    if (has(pricing, "costFactor"))
        m_product.costFactor = number(pricing, "costFactor", 0);
    m_product.pricing.resize(m_product.styles.size());
    std::vector<bool> priced(m_product.styles.size(), false);
    const auto styleOf = [&](xmlNode *grid) {
        const int index = m_product.styleIndex(attr(grid, "style"));
        if (index < 0)
            fail(grid, QStringLiteral("unknown style \"%1\"").arg(attr(grid, "style")));
        return index;
    };
    for (xmlNode *grid : children(pricing, "PriceGrid")) {
        const int index = styleOf(grid);
        if (priced[index])
            fail(grid, QStringLiteral("style \"%1\" has two price grids").arg(attr(grid, "style")));
        priced[index] = true;
        m_product.pricing[index].style = m_product.styles.at(index);
        m_product.pricing[index].price = readGrid(grid);
    }
    for (size_t i = 0; i < priced.size(); ++i) {
        if (!priced[i])
            fail(pricing,
                 QStringLiteral("style \"%1\" has no price grid").arg(m_product.styles.at(int(i))));
    }
    for (xmlNode *grid : children(pricing, "CostGrid")) {
        auto &style = m_product.pricing[styleOf(grid)];
        if (style.cost)
            fail(grid, QStringLiteral("style \"%1\" has two cost grids").arg(style.style));
        style.cost = readGrid(grid);
        // Same points as the price grid, so every priced size also has a cost.
        if (style.cost->widths != style.price.widths || style.cost->heights != style.price.heights)
            fail(grid, QStringLiteral("the cost grid of style \"%1\" has other points than its "
                                      "price grid")
                           .arg(style.style));
    }
    for (const auto &style : m_product.pricing) {
        if (!style.cost && !m_product.costFactor)
            fail(
                pricing,
                QStringLiteral("style \"%1\" needs a cost grid or a cost factor").arg(style.style));
    }

    double shares = 0;
    for (xmlNode *n : children(child(pricing, "BaseLines"), "Line")) {
        BaseLine line{attr(n, "name"), attr(n, "code"), number(n, "share", 0)};
        shares += line.share;
        m_product.baseLines.push_back(std::move(line));
    }
    if (!m_product.baseLines.empty() && std::abs(shares - 1.0) > 1e-9)
        fail(child(pricing, "BaseLines"), QStringLiteral("the shares of the base lines add up to "
                                                         "%1, not 1")
                                              .arg(shares));

    for (xmlNode *n : children(pricing, "Surcharge")) {
        Surcharge s;
        s.name = attr(n, "name");
        s.code = attr(n, "code");
        const QString basis = attr(n, "basis", QStringLiteral("fixed"));
        s.basis = basis == QLatin1String("perInch")   ? Surcharge::Basis::PerInch
                  : basis == QLatin1String("percent") ? Surcharge::Basis::Percent
                                                      : Surcharge::Basis::Fixed;
        if (s.basis == Surcharge::Basis::PerInch) {
            if (!has(n, "per"))
                fail(n, QStringLiteral("a surcharge per inch names its option in \"per\""));
            s.per = optionOf(n, "per");
            if (m_product.options[s.per].type != OptionType::Dimension)
                fail(n, QStringLiteral("\"%1\" is not a dimension").arg(attr(n, "per")));
        } else if (has(n, "per")) {
            fail(n, QStringLiteral("only a surcharge per inch has \"per\""));
        }
        s.price = number(n, "price", 0);
        if (s.basis == Surcharge::Basis::Percent && s.price > 100)
            fail(n, QStringLiteral("a percentage surcharge is at most 100"));
        if (has(n, "cost"))
            s.cost = number(n, "cost", 0);
        else if (!m_product.costFactor && s.basis != Surcharge::Basis::Percent)
            fail(n, QStringLiteral("surcharge \"%1\" needs a cost or the cost factor").arg(s.name));
        s.afterDiscount = attr(n, "discount") == QLatin1String("after");
        s.conditions = readConditions(n);
        m_product.surcharges.push_back(std::move(s));
    }
}

ProductDefinition Builder::build()
{
    m_product.name = attr(m_root, "name");
    for (xmlNode *n : children(child(m_root, "Styles"), "Style")) {
        const QString style = attr(n, "name");
        if (m_product.styleIndex(style) >= 0)
            fail(n, QStringLiteral("style \"%1\" is defined twice").arg(style));
        m_product.styles << style;
    }
    readOptions();
    readDimensions();
    readRules();
    readLimits();
    readPricing();
    return std::move(m_product);
}

QString located(const QString &path, int line, const QString &message)
{
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(path, message);
}

} // namespace

int ProductDefinition::optionIndex(QStringView name) const
{
    for (size_t i = 0; i < options.size(); ++i) {
        if (name.compare(options[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int ProductDefinition::styleIndex(QStringView name) const
{
    for (qsizetype i = 0; i < styles.size(); ++i) {
        if (name.compare(styles.at(i), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

std::optional<Money> Grid::lookup(double width, double height) const
{
    // A size between points takes the next larger point; a tiny tolerance keeps sizes
    // that sit on a point (after rounding to eighths) on that point.
    constexpr double tolerance = 1e-9;
    const auto column = std::find_if(widths.begin(), widths.end(),
                                     [&](double w) { return w + tolerance >= width; });
    const auto row = std::find_if(heights.begin(), heights.end(),
                                  [&](double h) { return h + tolerance >= height; });
    if (column == widths.end() || row == heights.end())
        return std::nullopt;
    return cells[size_t(row - heights.begin()) * widths.size() + size_t(column - widths.begin())];
}

ProductFileResult ParseProductFile(const QByteArray &content, const QString &path)
{
    ProductFileResult result;
    xmlSchemaPtr schema = productSchema();
    if (!schema) {
        result.error = located(path, 0, QStringLiteral("the product file schema is unusable"));
        return result;
    }

    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> parser(xmlNewParserCtxt(),
                                                                        &xmlFreeParserCtxt);
    if (!parser) {
        result.error = located(path, 0, QStringLiteral("out of memory"));
        return result;
    }
    // No network, no external entities, no entity expansion: a product file is plain data.
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlCtxtReadMemory(parser.get(), content.constData(), int(content.size()),
                          path.toUtf8().constData(), nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    if (!doc) {
        const xmlError *e = xmlCtxtGetLastError(parser.get());
        result.error = located(path, e ? e->line : 0,
                               e && e->message ? QString::fromUtf8(e->message).trimmed()
                                               : QStringLiteral("not well-formed XML"));
        return result;
    }
    if (doc->intSubset) {
        result.error = located(path, 0,
                               QStringLiteral("a document type declaration is not "
                                              "allowed in a product file"));
        return result;
    }

    Invalid first;
    std::unique_ptr<xmlSchemaValidCtxt, decltype(&xmlSchemaFreeValidCtxt)> validator(
        xmlSchemaNewValidCtxt(schema), &xmlSchemaFreeValidCtxt);
    if (!validator) {
        result.error = located(path, 0, QStringLiteral("out of memory"));
        return result;
    }
    xmlSchemaSetValidStructuredErrors(validator.get(), &collectFirstError, &first);
    if (xmlSchemaValidateDoc(validator.get(), doc.get()) != 0) {
        result.error =
            located(path, first.line,
                    first.message.isEmpty() ? QStringLiteral("not a product file") : first.message);
        return result;
    }

    try {
        auto product =
            std::make_shared<ProductDefinition>(Builder(xmlDocGetRootElement(doc.get())).build());
        product->sourcePath = path;
        result.product = std::move(product);
    } catch (const Invalid &invalid) {
        result.error = located(path, invalid.line, invalid.message);
    }
    return result;
}

namespace {

// Why what is at path (a symbolic link is followed) cannot be read as a product file without
// the risk of waiting for ever: opening a FIFO waits for a writer, a device may never end.
// Empty for a regular file, and for nothing at all (the open says so).
QString NotRegularFile(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("is a folder, not a product file");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("is a named pipe (FIFO), not a product file");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("is a device, not a product file");
    return QStringLiteral("is not a regular file");
}

} // namespace

std::optional<QByteArray> ReadProductFile(const QString &path, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) == 0) {
        if (const QString problem = NotRegularFile(st); !problem.isEmpty()) {
            *error = located(path, 0, problem);
            return std::nullopt;
        }
    }
    // Opened without waiting and looked at again, in case the path changed since the check.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = located(path, 0,
                         QStringLiteral("cannot be opened: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = located(path, 0, QStringLiteral("cannot be opened: %1").arg(file.errorString()));
        return std::nullopt;
    }
    if (::fstat(fd, &st) != 0) {
        *error = located(path, 0, QStringLiteral("cannot be read"));
        return std::nullopt;
    }
    if (const QString problem = NotRegularFile(st); !problem.isEmpty()) {
        *error = located(path, 0, problem);
        return std::nullopt;
    }
    const QString tooLarge = QStringLiteral("is larger than a product file can be");
    if (file.size() > MaximumProductFileSize) {
        *error = located(path, 0, tooLarge);
        return std::nullopt;
    }
    // Read by the size the file has (a read reserves all it may read), and on to its end in
    // small steps in case it grew meanwhile.
    QByteArray content = file.read(file.size() + 1);
    while (content.size() <= MaximumProductFileSize) {
        const QByteArray more =
            file.read(std::min<qint64>(64 * 1024, MaximumProductFileSize + 1 - content.size()));
        if (more.isEmpty())
            break;
        content += more;
    }
    if (content.size() > MaximumProductFileSize) {
        *error = located(path, 0, tooLarge);
        return std::nullopt;
    }
    return content;
}

ProductFileResult LoadProductFile(const QString &path)
{
    QString error;
    const std::optional<QByteArray> content = ReadProductFile(path, &error);
    if (!content)
        return {nullptr, error};
    return ParseProductFile(*content, path);
}

namespace {

// Parsed product files by path, each with the bytes it was parsed from.
class ParsedProductFiles
{
public:
    ProductFileResult load(const QString &path)
    {
        QString error;
        std::optional<QByteArray> content = ReadProductFile(path, &error);
        if (!content)
            return {nullptr, error};
        const QMutexLocker lock(&m_mutex);
        if (const auto it = m_files.find(path); it != m_files.end()) {
            if (it->content == *content) {
                it->used = ++m_clock;
                return {it->product, QString()};
            }
            m_bytes -= it->content.size();
            m_files.erase(it);
        }
        ProductFileResult parsed = ParseProductFile(*content, path);
        // A file that cannot be used is read again next time: it may have been mended.
        if (parsed.product && content->size() <= MaxBytes) {
            while (!m_files.isEmpty() &&
                   (m_files.size() >= MaxFiles || m_bytes + content->size() > MaxBytes))
                evictLeastRecentlyUsed();
            m_bytes += content->size();
            m_files.insert(path, {std::move(*content), parsed.product, ++m_clock});
        }
        return parsed;
    }

private:
    // A company uses tens of products; the bounds only keep a process that sees many
    // different files from holding them all.
    static constexpr qsizetype MaxFiles = 64;
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;

    struct Entry
    {
        QByteArray content;
        std::shared_ptr<const ProductDefinition> product;
        quint64 used = 0;
    };

    void evictLeastRecentlyUsed()
    {
        auto oldest = m_files.begin();
        for (auto it = m_files.begin(); it != m_files.end(); ++it) {
            if (it->used < oldest->used)
                oldest = it;
        }
        m_bytes -= oldest->content.size();
        m_files.erase(oldest);
    }

    QMutex m_mutex;
    QHash<QString, Entry> m_files;
    qint64 m_bytes = 0;
    quint64 m_clock = 0;
};

} // namespace

ProductFileResult LoadProductFileShared(const QString &path)
{
    static ParsedProductFiles files;
    return files.load(path);
}

QString ResolveProductReference(const QString &reference, const QString &productFolder)
{
    const QString trimmed = reference.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(trimmed))
        return QDir::cleanPath(trimmed);
    return QDir::cleanPath(QDir(productFolder).absoluteFilePath(trimmed));
}

} // namespace zeltpc5::host
