// The three descriptions of an item, built from the company's option detail settings:
// a one-line text of the chosen values, a second text from another set of options without
// dimensions, and the first as markup for order entry with chosen values in bold.
#pragma once

#include "engine/hostservices.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zeltpc5 {

// A row of OptionDetailSettings.
struct OptionSetting
{
    qint32 Sequence = 0;
    QString Prefix;
    QString OptionName;
    bool isBold = false;
};

// An option of the item as the descriptions see it.
struct ItemOption
{
    QString Name;
    QString Value;
    qint16 Visible = 0;
    qint16 IsDimension = 0;
};

struct OptionDescriptions
{
    QString Description;
    QString Description2;
    QString DescriptionOE;
};

// Reads the settings and company options through the host and describes the item.
OptionDescriptions BuildOptionDescriptions(const QString &itemXml, const HostServices &host);
// The same over an item already parsed (any node of its document).
OptionDescriptions BuildOptionDescriptions(const XmlNode &item, const HostServices &host);

// The first option whose name equals the given one exactly, or null.
const ItemOption *FindItemOption(const QString &optionName, const QList<ItemOption> &options);
bool HasOptionSetting(const QString &optionName, const QList<OptionSetting> &settings);
QString GetOptionSettingPrefix(const QString &optionName, const QList<OptionSetting> &settings);
bool GetOptionSettingBold(const QString &optionName, const QList<OptionSetting> &settings);
// False for an empty value and for a value the company never shows (any letter case).
bool IsShownOptionValue(const QString &value, const QStringList &noShowValues);

// The pure part of BuildOptionDescriptions: the rows of both locations, the values never
// shown and the delimiter as the company options give it. Null settings lists mean the
// settings could not be read.
OptionDescriptions DescribeOptions(const QList<ItemOption> &options,
                                   const std::optional<QList<OptionSetting>> &location0,
                                   const std::optional<QList<OptionSetting>> &location1,
                                   const QStringList &noShowValues, const QString &delimiter);

} // namespace zeltpc5
