#include "pricing/optiondescriptions.h"

#include "common/stringlist.h"
#include "xml/xmlaccess.h"

namespace zeltpc5 {

namespace {

const QString SettingsLocation0 = QStringLiteral(
    "SELECT * FROM OptionDetailSettings WHERE Location = 0 AND Show <> 0 ORDER BY Sequence, "
    "Prefix, OptionName");
const QString SettingsLocation1 = QStringLiteral(
    "SELECT * FROM OptionDetailSettings WHERE Location = 1 AND Show <> 0 ORDER BY Sequence, "
    "Prefix, OptionName");
const QString OrderEntry = QStringLiteral("OrderEntry");
const QString DefaultNoShow = QStringLiteral("No,N/A,None,0");
const QString DefaultDelimiter = QStringLiteral(" | ");
const QString DescriptionOEOpen =
    QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>");

// Options at this sequence or beyond follow the ordered ones, in the item's order.
constexpr qint32 UnorderedSequence = 9999;

std::optional<QList<OptionSetting>> readSettings(const HostServices &host, const QString &sql)
{
    // Every line of a run reads the same rows: they become settings once per run.
    return host.cachedValue<QList<OptionSetting>>(
        QStringLiteral("option settings|") + sql, [&]() -> std::optional<QList<OptionSetting>> {
            const auto doc = host.DatabaseReadDocument(sql);
            if (!doc)
                return std::nullopt;
            QList<OptionSetting> rows;
            for (const XmlNode &row : doc->selectNodes(QStringLiteral("Records/Record"))) {
                rows.append({GetXMLLong(QStringLiteral("Sequence"), row, 0),
                             GetXMLValue(QStringLiteral("Prefix"), row),
                             GetXMLValue(QStringLiteral("OptionName"), row),
                             GetXMLBoolean(QStringLiteral("isBold"), row, false)});
            }
            return rows;
        });
}

QList<ItemOption> readOptions(const XmlNode &item)
{
    QList<ItemOption> options;
    if (!item)
        return options;
    for (const XmlNode &option : item.selectNodes(QStringLiteral("/ItemData/Options/Option"))) {
        options.append({GetXMLValue(QStringLiteral("Name"), option),
                        GetXMLValue(QStringLiteral("Value"), option),
                        GetXMLInteger(QStringLiteral("Visible"), option, 0),
                        GetXMLInteger(QStringLiteral("IsDimension"), option, 0)});
    }
    return options;
}

void chopSuffix(QString &text, const QString &suffix)
{
    if (!suffix.isEmpty() && text.endsWith(suffix))
        text.chop(suffix.size());
}

} // namespace

const ItemOption *FindItemOption(const QString &optionName, const QList<ItemOption> &options)
{
    for (const ItemOption &o : options) {
        if (o.Name == optionName)
            return &o;
    }
    return nullptr;
}

bool HasOptionSetting(const QString &optionName, const QList<OptionSetting> &settings)
{
    return std::any_of(settings.begin(), settings.end(),
                       [&](const OptionSetting &s) { return s.OptionName == optionName; });
}

QString GetOptionSettingPrefix(const QString &optionName, const QList<OptionSetting> &settings)
{
    for (const OptionSetting &s : settings) {
        if (s.OptionName == optionName)
            return s.Prefix;
    }
    return QString();
}

bool GetOptionSettingBold(const QString &optionName, const QList<OptionSetting> &settings)
{
    for (const OptionSetting &s : settings) {
        if (s.OptionName == optionName)
            return s.isBold;
    }
    return false;
}

bool IsShownOptionValue(const QString &value, const QStringList &noShowValues)
{
    if (value.isEmpty())
        return false;
    return !noShowValues.contains(value, Qt::CaseInsensitive);
}

OptionDescriptions DescribeOptions(const QList<ItemOption> &options,
                                   const std::optional<QList<OptionSetting>> &location0,
                                   const std::optional<QList<OptionSetting>> &location1,
                                   const QStringList &noShowValues, const QString &delimiter)
{
    OptionDescriptions d;
    d.DescriptionOE = DescriptionOEOpen;
    const QString separator = QLatin1Char(' ') + delimiter.trimmed() + QLatin1Char(' ');
    const QString escapedSeparator = EscapeMarkup(separator);

    if (location0 && location1) {
        QStringList described = EmptyStringList();
        QStringList described2 = EmptyStringList();
        auto describable = [&](const ItemOption *o) {
            return o && o->Visible != 0 && !o->Value.isEmpty() &&
                   IsShownOptionValue(o->Value, noShowValues);
        };
        auto writeFirst = [&](const ItemOption &o, const QString &prefix, bool bold) {
            d.Description += prefix + o.Value + separator;
            const QString value = EscapeMarkup(o.Value);
            d.DescriptionOE +=
                EscapeMarkup(prefix) +
                (bold ? QStringLiteral("<Bold>") + value + QStringLiteral("</Bold>") : value) +
                escapedSeparator;
        };

        for (const OptionSetting &row : *location0) {
            if (row.Sequence >= UnorderedSequence)
                continue;
            const ItemOption *o = FindItemOption(row.OptionName, options);
            if (!describable(o))
                continue;
            writeFirst(*o, row.Prefix, row.isBold);
            StringListAppend(o->Name, described);
        }
        for (const OptionSetting &row : *location1) {
            if (row.Sequence >= UnorderedSequence)
                continue;
            const ItemOption *o = FindItemOption(row.OptionName, options);
            if (!describable(o))
                continue;
            if (o->IsDimension == 0)
                d.Description2 += row.Prefix + o->Value + separator;
            StringListAppend(o->Name, described2);
        }
        for (const ItemOption &o : options) {
            if (!describable(&o))
                continue;
            if (StringListIndexOf(o.Name, described) < 0 && HasOptionSetting(o.Name, *location0))
                writeFirst(o, GetOptionSettingPrefix(o.Name, *location0),
                           GetOptionSettingBold(o.Name, *location0));
            if (StringListIndexOf(o.Name, described2) < 0 && HasOptionSetting(o.Name, *location1) &&
                o.IsDimension == 0)
                d.Description2 += GetOptionSettingPrefix(o.Name, *location1) + o.Value + separator;
        }
    }

    // Whatever the delimiter's length, no description ends in a separator.
    chopSuffix(d.Description, separator);
    chopSuffix(d.Description2, separator);
    if (d.DescriptionOE.size() > DescriptionOEOpen.size())
        chopSuffix(d.DescriptionOE, escapedSeparator);
    d.DescriptionOE += QStringLiteral("</TextBlock>");
    return d;
}

OptionDescriptions BuildOptionDescriptions(const QString &itemXml, const HostServices &host)
{
    const auto doc = LoadXMLDocument(itemXml);
    return BuildOptionDescriptions(doc ? doc->node() : XmlNode(), host);
}

OptionDescriptions BuildOptionDescriptions(const XmlNode &item, const HostServices &host)
{
    // A company option the host cannot give (no host, or a failing call) is not an empty
    // option: the defaults stand in for it, as they do for an option the company never set.
    const QString noShow =
        host.GetCompanyOption(OrderEntry, QStringLiteral("OptionsNoShow"), DefaultNoShow)
            .value_or(DefaultNoShow);
    const QString delimiter =
        host.GetCompanyOption(OrderEntry, QStringLiteral("OptionDelimiter"), DefaultDelimiter)
            .value_or(DefaultDelimiter);
    // Read in this order whatever the compiler's order for arguments: Location 0, then 1.
    const auto first = readSettings(host, SettingsLocation0);
    const auto second = readSettings(host, SettingsLocation1);
    return DescribeOptions(readOptions(item), first, second, noShow.split(QLatin1Char(',')),
                           delimiter);
}

} // namespace zeltpc5
