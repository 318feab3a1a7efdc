// The change runs of the bulk change: each selects lines by identifier, drives the product
// engine through each of them, rebuilds the item, re-prices the line and records what
// changed.
#pragma once

#include "common/progress.h"
#include "engine/hostservices.h"
#include "engine/linestore.h"
#include "engine/productengine.h"

#include <functional>

namespace zeltpc5 {

// What a run needs of its engine.
struct ChangeRun
{
    LineStore &lines;
    ProductEngine &engine;
    HostServices host;
    std::function<bool()> cancelRequested;
};

// Sets the "|"-separated options to the paired values on the selected lines.
void ChangeOptionValues(ChangeRun &run, const QString &optionNames, const QString &newOptionValues,
                        const QString &uniqueIDsToChange, Progress *progress);
// Moves the selected lines to another product and style, keeping their options as far as
// the new product accepts them.
void ChangeProductStyles(ChangeRun &run, qint32 vendorID, qint32 productID, const QString &style,
                         const QString &uniqueIDsToChange, Progress *progress);
// As ChangeProductStyles, then sets the given options.
void ChangeProductStylesAndOptions(ChangeRun &run, qint32 vendorID, qint32 productID,
                                   const QString &style, const QString &optionNames,
                                   const QString &newOptionValues, const QString &uniqueIDsToChange,
                                   Progress *progress);

// What ChangeDiscounts changes.
namespace DiscountChange {
inline constexpr qint16 CustomerDiscount = 2;
inline constexpr qint16 ItemDiscount = 3;
} // namespace DiscountChange

// Sets the customer discount (2) or the item discount (3) of the selected lines and re-prices
// them; any other code only re-prices.
void ChangeDiscounts(ChangeRun &run, qint16 whatToChange, const QString &newValue,
                     const QString &uniqueIDsToChange, Progress *progress);

} // namespace zeltpc5
