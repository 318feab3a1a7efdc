// The host's item dialogs, as the service object offers them to the component
// (SharedCodeLibrary.ShowSelectProductStyle and ShowEditProductItem). The arguments are by
// reference: OK writes the user's choice into them and returns true; Cancel leaves every
// argument as it was and returns false.
#pragma once

#include <zeltpc5/dispatch.h>

#include <QString>

#include <memory>

namespace zeltpc5::host {

class Database;

class ItemDialogs
{
public:
    virtual ~ItemDialogs() = default;
    // Vendors, their products and each product's styles; styleOnly fixes the product and
    // offers its styles.
    virtual bool ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                        bool styleOnly) = 0;
    // The item editor over the product engine; OK hands back the edited item document and a
    // re-priced price/cost document (and, in mode 54, possibly another product and style).
    virtual bool ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                                     QString &priceCostXML, qint32 mode) = 0;
};

// What the dialogs need of the host: the company database, the product folder, and the
// component's Library (set once the component is open) to re-price an edited item through a
// ReplaceEngine.
struct ItemDialogContext
{
    std::shared_ptr<Database> db;
    QString productDirectory;
    DispatchPtr library; // "zeltpc5.Library", initialised with the host's service object
};

} // namespace zeltpc5::host
