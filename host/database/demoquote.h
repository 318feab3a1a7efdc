// The demo quotes of the seed and the description settings their item documents were
// described with. Item and price/cost documents are written in full: options with every
// field, product messages, the three descriptions, pricing identity and discount settings.
#pragma once

#include "host/database/quotestore.h"

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

// The demo quotes are stored as any new quote is.
using DemoQuoteLine = NewQuoteLine;
using DemoQuote = NewQuote;

// Numbers in the documents follow the user's regional settings at the time of the call,
// as every document the host writes does.
std::vector<DemoQuote> DemoQuotes();

} // namespace zeltpc5::host
