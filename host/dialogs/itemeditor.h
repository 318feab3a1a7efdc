// The host's item editor (ShowEditProductItem): a plain model over the product engine's
// session that replays an item, takes the user's changes one at a time and runs the
// product's rules after each, and the late-bound re-pricing of the edited item through the
// component's ReplaceEngine. The window is a thin view over both.
#pragma once

#include "host/dialogs/itemdialogs.h"
#include "host/productengine/productdefinition.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace zeltpc5::host {

// One option of the item as the editor shows it.
struct ItemOption
{
    QString name;
    QString value; // as the item document shows it ("36 1/2", not "36.5")
    OptionType type = OptionType::Text;
    QStringList choices; // a list option's values; "Yes" and "No" for a yes/no option
    QString group;
    bool visible = true;
    // Computed results and headings take no value from the user.
    bool editable() const { return type != OptionType::Computed && type != OptionType::Heading; }
};

// An option whose value the rules (or the product file's choices) put back.
struct OptionReset
{
    QString name;
    QString value; // what it holds now
};

struct ItemMessage
{
    enum class Kind { Error, Notice };
    Kind kind = Kind::Error;
    QString text;
};

struct ProductChoice
{
    qint32 id = 0;
    QString name;
};

struct SetValueResult
{
    bool accepted = false;
    QString error;                   // why the value was refused; the item is unchanged then
    std::vector<OptionReset> resets; // in the product file's option order
};

class ItemEditorModel
{
public:
    explicit ItemEditorModel(ItemDialogContext context);
    ~ItemEditorModel();
    ItemEditorModel(const ItemEditorModel &) = delete;
    ItemEditorModel &operator=(const ItemEditorModel &) = delete;

    // Opens the product's file, selects the style and replays the item's option values
    // through the rules. An empty item starts from the product's defaults. False, with the
    // reason in error(), when the product or its file cannot be used or the item does not
    // read; the model is closed then.
    bool open(qint32 productID, const QString &style, const QString &itemXML);
    bool isOpen() const;
    const QString &error() const;

    // Moves the item to another product or style: the new product's options, with the
    // values of options of the same name kept where the new product accepts them. The
    // preferred style is taken when the product offers it, else its first style. False,
    // with the reason in error(), leaves the model as it was.
    bool changeProduct(qint32 productID, const QString &preferredStyle);

    qint32 productID() const;
    const QString &style() const;
    qint32 originalProductID() const;
    const QString &originalStyle() const;
    const QString &originalItemXML() const;
    bool productOrStyleChanged() const;
    // Styles of the open product file; the company's active products by name.
    QStringList styles() const;
    std::vector<ProductChoice> products() const;

    // Every option of the product in the product file's order, hidden ones too.
    std::vector<ItemOption> options() const;
    std::optional<ItemOption> option(const QString &name) const;

    // Sets one value and runs the rules. A value that cannot be one of this option's
    // (not a measurement, not a number, not a choice, or holding the "|" that separates
    // values at the component's boundary) is refused and changes nothing.
    SetValueResult setValue(const QString &name, const QString &value);

    // The product engine's errors, then its notices, for the values as they stand.
    std::vector<ItemMessage> messages() const;

    // The options to hand to the component, "|"-joined: those whose value differs from the
    // item as opened; after a product or style change every option that takes a value.
    std::pair<QString, QString> editedNamesAndValues() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

struct RepricedItem
{
    bool ok = false;
    QString itemXML;
    QString priceCostXML;
    QString error; // why there is no result
};

// Runs the edit through a ReplaceEngine of the component's Library: one line holding the
// original item, then ChangeOptionValue (or ChangeProductStyleAndOptions after a product or
// style change) with the edited values. Only a complete result is ok: both documents
// present and the edited values found in the new item.
RepricedItem RepriceEditedItem(const DispatchPtr &library, const ItemEditorModel &model,
                               const QString &originalPriceCostXML);

// Shows the editor modally over the parent; OK writes the edited item, its re-priced
// price/cost document (and in mode 54 the product and style) and returns true; Cancel
// changes nothing and returns false. Modes 0 and 54 are accepted; any other mode gives false.
bool EditProductItem(const ItemDialogContext &context, qint32 &productID, QString &style,
                     QString &itemXML, QString &priceCostXML, qint32 mode,
                     QWidget *parent = nullptr);

} // namespace zeltpc5::host
