// The reference host's service object SharedCodeLibrary, reached by the component only
// late-bound by member name:
//   Security.SID / OID / OrganizationName
//   ZELTSQL (a new SQL session on every read), Database.ExecuteRead, CurrentCompanyConn
//   Common.ExecuteSelect / GetFieldValue2 / GetFieldValue / BuildString /
//          GetProductNameFromID / GetProductFileFromID2 / GetProductPriceSource /
//          GetProductCostSource / GetProductPriceMarginSource / GetVendorIDFromProductID /
//          GetVendorName
//   Options.GetCompanyOption
//   ShowMessageStyle1, ShowMessageStyle1WithMemory
//   ShowSelectProductStyle, ShowEditProductItem (through the item dialogs given, else false)
// Failing statements give no document, the default or the empty text, with the reason on
// standard error (logging category "zeltpc5.host.sql"). While a run of the component holds a
// ZELTSQL session with caching on, Security, Common and Options answer repeated look-ups from
// memory (see RunCache).
#pragma once

#include "host/database/database.h"
#include "host/dialogs/itemdialogs.h"
#include "host/services/messages.h"

#include <zeltpc5/dispatch.h>

#include <memory>

namespace zeltpc5::host {

struct ServiceOptions
{
    // Folder of the product files; empty: ZELTPC5_PRODUCT_DIR, else the built-in folder.
    QString productDirectory;
    // Where "Don't show this again" answers are kept; empty: the user's settings.
    QString messageSettingsFile;
    // How messages reach the user; null: message boxes, or standard error without a GUI.
    std::shared_ptr<MessagePresenter> messagePresenter;
    // The item dialogs; null: the component's requests for them answer false.
    std::shared_ptr<ItemDialogs> itemDialogs;
};

// The product folder in effect when none is given.
QString DefaultProductDirectory();

// The service object over an open company database; it keeps the database open for as
// long as the object (or anything taken from it) lives.
DispatchPtr CreateSharedCodeLibrary(std::shared_ptr<Database> db, ServiceOptions options = {});

} // namespace zeltpc5::host
