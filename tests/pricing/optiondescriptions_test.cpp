#include "pricing/optiondescriptions.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

const QStringList NoShow{QStringLiteral("No"), QStringLiteral("N/A"), QStringLiteral("None"),
                         QStringLiteral("0")};

ItemOption opt(const QString &name, const QString &value, qint16 visible = -1, qint16 dim = 0)
{
    return ItemOption{name, value, visible, dim};
}

OptionSetting row(qint32 seq, const QString &prefix, const QString &name, bool bold = false)
{
    return OptionSetting{seq, prefix, name, bold};
}

} // namespace

TEST(OptionDescriptions, orderedOptionsWithPrefixesAndBoldValues)
{
    const QList<ItemOption> options{opt(QStringLiteral("Color"), QStringLiteral("Red")),
                                    opt(QStringLiteral("Width"), QStringLiteral("36"), -1, 1)};
    const QList<OptionSetting> first{row(1, QStringLiteral("W"), QStringLiteral("Width")),
                                     row(2, QString(), QStringLiteral("Color"), true)};
    const QList<OptionSetting> second{row(1, QString(), QStringLiteral("Width")),
                                      row(2, QStringLiteral("in "), QStringLiteral("Color"))};
    const auto d = DescribeOptions(options, first, second, NoShow, QStringLiteral(" | "));
    EXPECT_EQ(d.Description, QStringLiteral("W36 | Red"));
    EXPECT_EQ(d.DescriptionOE,
              QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>W36 | "
                             "<Bold>Red</Bold></TextBlock>"));
    // A dimension never goes into the second description.
    EXPECT_EQ(d.Description2, QStringLiteral("in Red"));
}

TEST(OptionDescriptions, optionsLeftOut)
{
    const QList<ItemOption> options{opt(QStringLiteral("Valance"), QStringLiteral("none")),
                                    opt(QStringLiteral("Motor"), QStringLiteral("RF Motor"), 0),
                                    opt(QStringLiteral("Fabric"), QString()),
                                    opt(QStringLiteral("Mount"), QStringLiteral("Inside"))};
    const QList<OptionSetting> rows{
        row(1, QString(), QStringLiteral("Valance")), row(2, QString(), QStringLiteral("Motor")),
        row(3, QString(), QStringLiteral("Fabric")), row(4, QString(), QStringLiteral("Tilt")),
        row(5, QString(), QStringLiteral("Mount"))};
    const auto d =
        DescribeOptions(options, rows, QList<OptionSetting>{}, NoShow, QStringLiteral("|"));
    EXPECT_EQ(d.Description, QStringLiteral("Inside"));
    EXPECT_EQ(d.Description2, QString());
}

TEST(OptionDescriptions, unorderedOptionsFollowInTheItemsOrder)
{
    const QList<ItemOption> options{opt(QStringLiteral("Tape"), QStringLiteral("Cloth")),
                                    opt(QStringLiteral("Color"), QStringLiteral("Oak")),
                                    opt(QStringLiteral("Tilt"), QStringLiteral("Wand"))};
    const QList<OptionSetting> rows{row(9999, QString(), QStringLiteral("Tilt")),
                                    row(10000, QStringLiteral("T:"), QStringLiteral("Tape"), true),
                                    row(3, QString(), QStringLiteral("Color"))};
    const auto d = DescribeOptions(options, rows, rows, NoShow, QStringLiteral(" | "));
    EXPECT_EQ(d.Description, QStringLiteral("Oak | T:Cloth | Wand"));
    EXPECT_EQ(d.Description2, QStringLiteral("Oak | T:Cloth | Wand"));
    EXPECT_EQ(d.DescriptionOE,
              QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>Oak | "
                             "T:<Bold>Cloth</Bold> | Wand</TextBlock>"));
}

TEST(OptionDescriptions, shouldRemoveTrailingSeparatorsOfAnyLength)
{
    const QList<ItemOption> options{opt(QStringLiteral("A"), QStringLiteral("x<y")),
                                    opt(QStringLiteral("B"), QStringLiteral("2"))};
    const QList<OptionSetting> rows{row(1, QString(), QStringLiteral("A")),
                                    row(2, QString(), QStringLiteral("B"))};
    const auto twoChars = DescribeOptions(options, rows, rows, NoShow, QStringLiteral("--"));
    EXPECT_EQ(twoChars.Description, QStringLiteral("x<y -- 2"));
    EXPECT_EQ(twoChars.Description2, QStringLiteral("x<y -- 2"));

    const auto ampersand = DescribeOptions(options, rows, rows, NoShow, QStringLiteral(" & "));
    EXPECT_EQ(ampersand.Description, QStringLiteral("x<y & 2"));
    EXPECT_EQ(ampersand.DescriptionOE,
              QStringLiteral("<TextBlock TextWrapping='wrap' "
                             "Foreground='Black'>x&lt;y &amp; 2</TextBlock>"));
}

TEST(OptionDescriptions, readsSettingsAndCompanyOptionsThroughTheHost)
{
    FakeHost fake;
    fake.options->on(QStringLiteral("GetCompanyOption"), [](VariantList &args) {
        const QString key = ToText(args[1]).value_or(QString());
        return Variant(key == QStringLiteral("OptionDelimiter") ? QStringLiteral(" / ")
                                                                : QStringLiteral("No,Skip"));
    });
    // Each location answers only its own statement, with settings the other does not have:
    // location 0 feeds the description and its markup, location 1 the second description.
    const QString location0 = QStringLiteral(
        "SELECT * FROM OptionDetailSettings WHERE Location = 0 AND Show <> 0 ORDER BY Sequence, "
        "Prefix, OptionName");
    const QString location1 = QStringLiteral(
        "SELECT * FROM OptionDetailSettings WHERE Location = 1 AND Show <> 0 ORDER BY Sequence, "
        "Prefix, OptionName");
    fake.database->on(QStringLiteral("ExecuteRead"), [&](VariantList &args) {
        const QString sql = ToText(args[0]).value_or(QString());
        if (sql == location0)
            return Variant(
                QStringLiteral("<Records><Record><Sequence>1</Sequence><Prefix/>"
                               "<OptionName>Mount</OptionName><isBold>1</isBold></Record>"
                               "<Record><Sequence>2</Sequence><Prefix>Color: </Prefix>"
                               "<OptionName>Color</OptionName></Record></Records>"));
        if (sql == location1)
            return Variant(QStringLiteral("<Records><Record><Sequence>1</Sequence><Prefix>M: "
                                          "</Prefix><OptionName>Mount</OptionName></Record>"
                                          "</Records>"));
        return Variant();
    });
    const QString item = QStringLiteral("<ItemData><Options><Option><Name>Color</Name><Value>Skip</"
                                        "Value><Visible>-1</Visible></Option>"
                                        "<Option><Name>Mount</Name><Value>Inside</"
                                        "Value><Visible>1</Visible></Option></Options></ItemData>");
    const auto d = BuildOptionDescriptions(item, HostServices(fake.scl));
    EXPECT_EQ(d.Description, QStringLiteral("Inside"));
    EXPECT_EQ(d.DescriptionOE, QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>"
                                              "<Bold>Inside</Bold></TextBlock>"));
    EXPECT_EQ(d.Description2, QStringLiteral("M: Inside"));
    // Each location is read once, by its own statement, Location 0 first.
    EXPECT_EQ(fake.database->calls(),
              (QStringList{QStringLiteral("ExecuteRead(") + location0 + QLatin1Char(')'),
                           QStringLiteral("ExecuteRead(") + location1 + QLatin1Char(')')}));

    // A host whose Options object has no GetCompanyOption (the call fails): the defaults stand
    // in (" | ", and "None" is not shown), not an empty separator.
    FakeHost failing;
    failing.database->on(QStringLiteral("ExecuteRead"), [](VariantList &) {
        return Variant(QStringLiteral(
            "<Records><Record><Sequence>1</Sequence><Prefix/><OptionName>Mount</OptionName>"
            "</Record><Record><Sequence>2</Sequence><Prefix/><OptionName>Color</OptionName>"
            "</Record><Record><Sequence>3</Sequence><Prefix/><OptionName>Valance</OptionName>"
            "</Record></Records>"));
    });
    const QString three =
        QStringLiteral("<ItemData><Options><Option><Name>Mount</Name><Value>Inside</Value>"
                       "<Visible>1</Visible></Option><Option><Name>Color</Name><Value>Red</"
                       "Value><Visible>1</Visible></Option><Option><Name>Valance</Name><Value>"
                       "None</Value><Visible>1</Visible></Option></Options></ItemData>");
    EXPECT_EQ(BuildOptionDescriptions(three, HostServices(failing.scl)).Description,
              QStringLiteral("Inside | Red"));

    // Without settings only the empty markup remains.
    const auto none = BuildOptionDescriptions(item, HostServices());
    EXPECT_EQ(none.Description, QString());
    EXPECT_EQ(none.DescriptionOE,
              QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'></TextBlock>"));
}
