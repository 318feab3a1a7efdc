// The demo quotes of the seed and the description settings their item documents were
// described with. Item and price/cost documents are written in full: options with every
// field, product messages, the three descriptions, pricing identity and discount settings.
#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace zeltpc5::host {

struct DescriptionSetting
{
    int id;
    int location; // 0 Description and DescriptionOE, 1 Description2
    bool show;
    int sequence; // 9999 and above: after the ordered options, in the item's order
    QString prefix;
    QString optionName;
    bool bold;
};

// The rows of OptionDetailSettings.
const std::vector<DescriptionSetting> &DemoDescriptionSettings();

struct DemoQuoteLine
{
    int id;
    int line;
    int quantity;
    int productID;
    QString style;
    QString itemXML;
    QString priceCostXML;
    QString uniqueID;
};

struct DemoQuote
{
    int id;
    QString number;
    int customerID;
    QDateTime date; // UTC
    QString description;
    std::vector<DemoQuoteLine> lines;
};

// Numbers in the documents follow the user's regional settings at the time of the call,
// as every document the host writes does.
std::vector<DemoQuote> DemoQuotes();

} // namespace zeltpc5::host
