// The host's product and style chooser (ShowSelectProductStyle).
#pragma once

#include "host/dialogs/itemdialogs.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QWidget;

namespace zeltpc5::host {

struct StyleChoice
{
    qint32 vendorID = 0;
    qint32 productID = 0;
    QString style;

    friend bool operator==(const StyleChoice &, const StyleChoice &) = default;
};

// What the chooser offers, read once: vendors, the active products each vendor supplies (its
// own products and those ProductVendors adds), and each product's styles as its product file
// lists them. A product whose file cannot be read is still offered, without styles and with a
// note saying why. Products that name no known vendor are gathered under vendor 0.
class ProductStyleChoices
{
public:
    struct Vendor
    {
        qint32 id = 0;
        QString name;
    };
    struct Product
    {
        qint32 id = 0;
        QString name;
        qint32 vendorID = 0;         // the product's own vendor; 0 when it names none
        std::vector<qint32> vendors; // every vendor it is offered under, its own first
        bool active = true;
        QStringList styles; // in the file's order
        QString note;       // why no styles are offered; empty when some are
    };

    // Never throws: a failing query leaves the lists empty and says why in note().
    static ProductStyleChoices load(const Database &db, const QString &productFolder);

    // Vendors by name; vendor 0 ("(No vendor)") only when some product needs it.
    const std::vector<Vendor> &vendors() const { return m_vendors; }
    const Vendor *vendor(qint32 vendorID) const;
    // The active products offered under a vendor, by name.
    std::vector<const Product *> productsOf(qint32 vendorID) const;
    // Any product, active or not.
    const Product *product(qint32 productID) const;
    QStringList stylesOf(qint32 productID) const;
    // The vendor to show a product under: the preferred one when it supplies the product,
    // else the product's own, else the first that supplies it. Nothing for an unknown product.
    std::optional<qint32> vendorOf(qint32 productID, qint32 preferredVendor = 0) const;
    // The choice as the user could have made it (the style spelled as the file spells it), or
    // nothing when the product is unknown, not offered under the vendor, or lacks the style.
    std::optional<StyleChoice> validate(const StyleChoice &choice) const;
    // What to select first: as much of the given choice as exists. The vendor falls back to
    // the product's and then to the first vendor; an unknown product or style is left empty.
    StyleChoice initialSelection(const StyleChoice &given) const;
    // A problem with the catalogue as a whole; empty when it was read.
    const QString &note() const { return m_note; }

private:
    std::vector<Vendor> m_vendors;
    std::vector<Product> m_products;
    QString m_note;
};

// Shows the chooser modally over the parent; OK writes the choice and returns true, Cancel
// changes nothing and returns false.
bool SelectProductStyle(const ItemDialogContext &context, qint32 &vendorID, qint32 &productID,
                        QString &style, bool styleOnly, QWidget *parent = nullptr);

} // namespace zeltpc5::host
