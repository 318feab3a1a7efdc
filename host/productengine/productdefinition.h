// A product as its product file describes it: styles, options, rules, limits and prices.
// Built once by the loader and shared, read-only, by every session that opens the file.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zeltpc5::host {

// Option type codes, as the item documents carry them.
enum class OptionType : qint16 {
    Dimension = 1, // inches, shown in eighths
    Text = 2,
    Number = 3,
    List = 4, // the value must be one of the choices
    YesNo = 5,
    Computed = 6, // set by the rules only; never replayed
    Heading = 7,  // no value; never replayed
};

// Money in ten-thousandths, as the boundary's currency carries it.
using Money = qint64;

struct OptionDefinition
{
    QString name;
    OptionType type = OptionType::Text;
    qint32 sequence = 0;
    QString group;
    qint32 groupSequence = 0;
    QString defaultValue;
    QStringList choices;
    bool visible = true;
    bool processIfHidden = false;
    QString displayFormat;
};

// One test of a rule or surcharge; every test of a condition must hold.
struct Condition
{
    enum class Test { Equals, NotEquals, In, NotIn, AtLeast, AtMost, GreaterThan, LessThan, Empty };
    int option = -1; // -1: a style test only
    Test test = Test::Equals;
    QStringList texts; // compared without regard to case
    double number = 0;
    bool empty = true;
    QStringList styles; // when not empty, the selected style must be one of these
};

struct Action
{
    enum class Kind { Set, Restrict, Hide, Show, Compute, Error, Notice };
    Kind kind = Kind::Set;
    int option = -1;
    QString value;       // Set; Restrict's replacement; the message text
    QStringList allowed; // Restrict
    // Compute: target = round(source × multiply + add) to a step, as a number or a size.
    int source = -1;
    double multiply = 1;
    double add = 0;
    double step = 1;
    enum class Rounding { Up, Down, Nearest } rounding = Rounding::Nearest;
    bool asDimension = false;
};

struct Rule
{
    QString name;
    std::vector<Condition> conditions;
    std::vector<Action> actions;
};

struct Limit
{
    QStringList styles; // empty: every style
    int option = -1;
    double minimum = 0;
    double maximum = 0;
    QString message;
};

struct Grid
{
    std::vector<double> widths;
    std::vector<double> heights;
    std::vector<Money> cells; // row by row: heights × widths

    // The amount at the next larger point, or nothing outside the grid.
    std::optional<Money> lookup(double width, double height) const;
};

struct StylePricing
{
    QString style;
    Grid price;
    std::optional<Grid> cost; // otherwise cost is price × the cost factor
};

struct BaseLine
{
    QString name;
    QString code;
    double share = 0;
};

struct Surcharge
{
    QString name;
    QString code;
    enum class Basis { Fixed, PerInch, Percent } basis = Basis::Fixed;
    int per = -1; // PerInch: the measured option
    double price = 0;
    std::optional<double> cost; // otherwise price × the cost factor (Percent: of the base cost)
    bool afterDiscount = false;
    std::vector<Condition> conditions;
};

struct ProductDefinition
{
    QString name;
    QString sourcePath;
    QStringList styles;
    std::vector<OptionDefinition> options;
    std::vector<Rule> rules;
    std::vector<Limit> limits;
    bool roundDown = false;
    QString displayFormat; // "Fraction" or "Decimal"
    int widthOption = -1;
    int heightOption = -1;
    std::optional<double> costFactor;
    std::vector<StylePricing> pricing; // one per style, in style order
    std::vector<BaseLine> baseLines;
    std::vector<Surcharge> surcharges;

    // Index of an option or style by name without regard to case; -1 when unknown.
    int optionIndex(QStringView name) const;
    int styleIndex(QStringView name) const;
};

} // namespace zeltpc5::host
