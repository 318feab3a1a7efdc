#include "host/dialogs/selectproductstyle.h"

#include "host/database/database.h"
#include "host/productengine/productengine.h"
#include "host/productengine/productfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace zeltpc5::host {

namespace {

// Names sort as a person reads them; equal names keep a stable order by identifier.
template <typename T>
void SortByName(std::vector<T> &items)
{
    std::stable_sort(items.begin(), items.end(), [](const T &a, const T &b) {
        const int order = QString::localeAwareCompare(a.name, b.name);
        return order != 0 ? order < 0 : a.id < b.id;
    });
}

qint32 IdOf(const QVariant &value)
{
    return value.isNull() ? 0 : value.toInt();
}

// The styles a product file offers, or why it offers none. Two products may share a file;
// each file is read once per load.
class StyleReader
{
public:
    explicit StyleReader(QString folder) : m_folder(std::move(folder)) {}

    void fill(ProductStyleChoices::Product &product, const QString &reference)
    {
        const QString path = ResolveProductReference(reference, m_folder);
        if (path.isEmpty()) {
            product.note = QStringLiteral("No product file is named for %1.").arg(product.name);
            return;
        }
        auto found = m_read.constFind(path);
        if (found == m_read.constEnd())
            found = m_read.insert(path, LoadProductFile(path));
        if (!found->product) {
            product.note = QStringLiteral("The product file of %1 cannot be read: %2")
                               .arg(product.name, found->error);
            return;
        }
        product.styles = found->product->styles;
        if (product.styles.isEmpty())
            product.note =
                QStringLiteral("The product file of %1 lists no styles.").arg(product.name);
    }

private:
    QString m_folder;
    QHash<QString, ProductFileResult> m_read;
};

} // namespace

ProductStyleChoices ProductStyleChoices::load(const Database &db, const QString &productFolder)
{
    ProductStyleChoices choices;
    ResultSet vendorRows, productRows, supplyRows;
    try {
        vendorRows = db.select(QStringLiteral("SELECT ID, VendorName FROM Vendors"));
        productRows = db.select(
            QStringLiteral("SELECT ID, ProductName, ProductFile, VendorID, Active FROM Products"));
        supplyRows = db.select(
            QStringLiteral("SELECT ProductID, VendorID FROM ProductVendors ORDER BY VendorID"));
    } catch (const DatabaseError &e) {
        choices.m_note =
            QStringLiteral("The products cannot be read from the company database: %1")
                .arg(e.driverMessage().trimmed().isEmpty() ? e.message() : e.driverMessage());
        return choices;
    }

    QHash<qint32, int> vendorIndex;
    for (const QVariantList &row : vendorRows.rows) {
        const qint32 id = IdOf(row.value(0));
        if (id == 0 || vendorIndex.contains(id))
            continue;
        vendorIndex.insert(id, int(choices.m_vendors.size()));
        choices.m_vendors.push_back({id, row.value(1).toString()});
    }

    QHash<qint32, std::vector<qint32>> supplied;
    for (const QVariantList &row : supplyRows.rows) {
        const qint32 vendorID = IdOf(row.value(1));
        if (vendorIndex.contains(vendorID))
            supplied[IdOf(row.value(0))].push_back(vendorID);
    }

    StyleReader reader(productFolder);
    bool anyWithoutVendor = false;
    for (const QVariantList &row : productRows.rows) {
        Product product;
        product.id = IdOf(row.value(0));
        product.name = row.value(1).toString();
        const qint32 own = IdOf(row.value(3));
        product.vendorID = vendorIndex.contains(own) ? own : 0;
        product.active = row.value(4).isNull() || row.value(4).toInt() != 0;
        if (product.vendorID != 0)
            product.vendors.push_back(product.vendorID);
        for (qint32 vendorID : supplied.value(product.id)) {
            if (std::find(product.vendors.begin(), product.vendors.end(), vendorID) ==
                product.vendors.end())
                product.vendors.push_back(vendorID);
        }
        if (product.vendors.empty()) {
            product.vendors.push_back(0);
            anyWithoutVendor = anyWithoutVendor || product.active;
        }
        reader.fill(product, row.value(2).toString());
        choices.m_products.push_back(std::move(product));
    }

    SortByName(choices.m_vendors);
    SortByName(choices.m_products);
    if (anyWithoutVendor)
        choices.m_vendors.push_back({0, QStringLiteral("(No vendor)")});
    return choices;
}

const ProductStyleChoices::Vendor *ProductStyleChoices::vendor(qint32 vendorID) const
{
    const auto it = std::find_if(m_vendors.begin(), m_vendors.end(),
                                 [vendorID](const Vendor &v) { return v.id == vendorID; });
    return it == m_vendors.end() ? nullptr : &*it;
}

std::vector<const ProductStyleChoices::Product *>
ProductStyleChoices::productsOf(qint32 vendorID) const
{
    std::vector<const Product *> offered;
    for (const Product &p : m_products) {
        if (p.active && std::find(p.vendors.begin(), p.vendors.end(), vendorID) != p.vendors.end())
            offered.push_back(&p);
    }
    return offered;
}

const ProductStyleChoices::Product *ProductStyleChoices::product(qint32 productID) const
{
    const auto it = std::find_if(m_products.begin(), m_products.end(),
                                 [productID](const Product &p) { return p.id == productID; });
    return it == m_products.end() ? nullptr : &*it;
}

QStringList ProductStyleChoices::stylesOf(qint32 productID) const
{
    const Product *p = product(productID);
    return p ? p->styles : QStringList();
}

std::optional<qint32> ProductStyleChoices::vendorOf(qint32 productID, qint32 preferredVendor) const
{
    const Product *p = product(productID);
    if (!p)
        return std::nullopt;
    if (std::find(p->vendors.begin(), p->vendors.end(), preferredVendor) != p->vendors.end())
        return preferredVendor;
    return p->vendors.front();
}

std::optional<StyleChoice> ProductStyleChoices::validate(const StyleChoice &choice) const
{
    const Product *p = product(choice.productID);
    if (!p || vendorOf(choice.productID, choice.vendorID) != choice.vendorID)
        return std::nullopt;
    const auto style = std::find_if(p->styles.begin(), p->styles.end(), [&](const QString &s) {
        return s.compare(choice.style, Qt::CaseInsensitive) == 0;
    });
    if (style == p->styles.end())
        return std::nullopt;
    return StyleChoice{choice.vendorID, choice.productID, *style};
}

StyleChoice ProductStyleChoices::initialSelection(const StyleChoice &given) const
{
    StyleChoice initial;
    if (const auto vendorID = vendorOf(given.productID, given.vendorID)) {
        initial.vendorID = *vendorID;
        initial.productID = given.productID;
        if (const auto valid = validate({initial.vendorID, initial.productID, given.style}))
            initial.style = valid->style;
    } else if (vendor(given.vendorID)) {
        initial.vendorID = given.vendorID;
    } else if (!m_vendors.empty()) {
        initial.vendorID = m_vendors.front().id;
    }
    return initial;
}

namespace {

QListWidgetItem *FindItem(QListWidget *list, const QVariant &key)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole) == key)
            return list->item(row);
    }
    return nullptr;
}

QListWidgetItem *Selected(const QListWidget *list)
{
    const QList<QListWidgetItem *> items = list->selectedItems();
    return items.isEmpty() ? nullptr : items.front();
}

// A thin view over ProductStyleChoices: vendor, then product, then style. With styleOnly the
// product is fixed and only its styles can be chosen.
class SelectProductStyleDialog : public QDialog
{
public:
    SelectProductStyleDialog(const ProductStyleChoices &choices, const StyleChoice &given,
                             bool styleOnly, QWidget *parent)
        : QDialog(parent), m_choices(choices), m_styleOnly(styleOnly),
          m_fixed(styleOnly ? choices.product(given.productID) : nullptr)
    {
        setObjectName(QStringLiteral("frmSelectProductStyle"));
        setWindowTitle(QStringLiteral("Select Product and Style"));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);

        m_vendor = new QComboBox(this);
        m_vendor->setObjectName(QStringLiteral("cboVendor"));
        m_product = new QListWidget(this);
        m_product->setObjectName(QStringLiteral("lstProduct"));
        m_style = new QListWidget(this);
        m_style->setObjectName(QStringLiteral("lstStyle"));
        m_note = new QLabel(this);
        m_note->setObjectName(QStringLiteral("lblNote"));
        m_note->setWordWrap(true);
        m_note->setTextFormat(Qt::PlainText);
        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setObjectName(QStringLiteral("cmdOK"));
        m_ok->setDefault(true);
        auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
        cancel->setObjectName(QStringLiteral("cmdCancel"));

        auto *vendorLabel = new QLabel(QStringLiteral("&Vendor:"), this);
        vendorLabel->setBuddy(m_vendor);
        auto *productLabel = new QLabel(QStringLiteral("&Product:"), this);
        productLabel->setBuddy(m_product);
        auto *styleLabel = new QLabel(QStringLiteral("&Style:"), this);
        styleLabel->setBuddy(m_style);

        auto *grid = new QGridLayout;
        grid->addWidget(vendorLabel, 0, 0, 1, 2);
        grid->addWidget(m_vendor, 1, 0, 1, 2);
        grid->addWidget(productLabel, 2, 0);
        grid->addWidget(styleLabel, 2, 1);
        grid->addWidget(m_product, 3, 0);
        grid->addWidget(m_style, 3, 1);
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(3, 1);

        auto *buttons = new QDialogButtonBox(this);
        buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
        buttons->addButton(cancel, QDialogButtonBox::RejectRole);

        auto *layout = new QVBoxLayout(this);
        layout->addLayout(grid, 1);
        layout->addWidget(m_note);
        layout->addWidget(buttons);

        for (const auto &v : m_choices.vendors())
            m_vendor->addItem(v.name, v.id);

        connect(m_vendor, &QComboBox::currentIndexChanged, this, [this] { fillProducts(); });
        // Selection, not the current item, is the choice: a list that takes the focus makes
        // its first row current without choosing it.
        connect(m_product, &QListWidget::itemSelectionChanged, this, [this] { fillStyles(); });
        connect(m_style, &QListWidget::itemSelectionChanged, this, [this] { updateState(); });
        connect(m_style, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        select(m_choices.initialSelection(given), given.productID);
        resize(560, 400);
    }

    const StyleChoice &choice() const { return m_choice; }

    void accept() override
    {
        const auto valid = m_choices.validate(current());
        if (!valid)
            return;
        m_choice = *valid;
        QDialog::accept();
    }

private:
    StyleChoice current() const
    {
        StyleChoice c;
        c.vendorID = m_vendor->currentData().toInt();
        if (const QListWidgetItem *p = Selected(m_product))
            c.productID = p->data(Qt::UserRole).toInt();
        if (const QListWidgetItem *s = Selected(m_style))
            c.style = s->text();
        return c;
    }

    void select(const StyleChoice &initial, qint32 givenProduct)
    {
        QSignalBlocker block(m_vendor);
        m_vendor->setCurrentIndex(m_vendor->findData(initial.vendorID));
        fillProducts();
        if (QListWidgetItem *p = FindItem(m_product, initial.productID)) {
            m_product->setCurrentItem(p);
            m_product->scrollToItem(p);
        }
        if (QListWidgetItem *s = FindItem(m_style, initial.style)) {
            m_style->setCurrentItem(s);
            m_style->scrollToItem(s);
        }
        if (m_styleOnly) {
            m_vendor->setEnabled(false);
            m_product->setEnabled(false);
            if (!m_choices.product(givenProduct)) {
                m_missingProduct = QStringLiteral("Product %1 is not in the company's catalogue.")
                                       .arg(givenProduct);
            }
        }
        updateState();
        (m_styleOnly ? m_style : static_cast<QWidget *>(m_product))->setFocus();
    }

    void fillProducts()
    {
        const qint32 vendorID = m_vendor->currentData().toInt();
        const qint32 keep =
            Selected(m_product) ? Selected(m_product)->data(Qt::UserRole).toInt() : 0;
        QSignalBlocker block(m_product);
        m_product->clear();
        std::vector<const ProductStyleChoices::Product *> products;
        if (m_styleOnly) {
            // The fixed product alone, even when it is no longer active.
            if (m_fixed)
                products.push_back(m_fixed);
        } else {
            products = m_choices.productsOf(vendorID);
        }
        for (const auto *p : products) {
            auto *item = new QListWidgetItem(p->name, m_product);
            item->setData(Qt::UserRole, p->id);
            if (!p->note.isEmpty())
                item->setToolTip(p->note);
        }
        if (QListWidgetItem *p = FindItem(m_product, keep))
            m_product->setCurrentItem(p);
        fillStyles();
    }

    void fillStyles()
    {
        QSignalBlocker block(m_style);
        m_style->clear();
        if (const QListWidgetItem *p = Selected(m_product)) {
            for (const QString &style : m_choices.stylesOf(p->data(Qt::UserRole).toInt())) {
                auto *item = new QListWidgetItem(style, m_style);
                item->setData(Qt::UserRole, style);
            }
        }
        updateState();
    }

    void updateState()
    {
        m_ok->setEnabled(m_choices.validate(current()).has_value());
        QStringList notes;
        if (!m_choices.note().isEmpty())
            notes << m_choices.note();
        if (!m_missingProduct.isEmpty())
            notes << m_missingProduct;
        if (const QListWidgetItem *p = Selected(m_product)) {
            if (const auto *product = m_choices.product(p->data(Qt::UserRole).toInt());
                product && !product->note.isEmpty())
                notes << product->note;
        }
        m_note->setText(notes.join(u'\n'));
        m_note->setVisible(!notes.isEmpty());
    }

    const ProductStyleChoices &m_choices;
    const bool m_styleOnly;
    // With styleOnly the product shown is this one, whatever the vendor lists.
    const ProductStyleChoices::Product *m_fixed = nullptr;
    QString m_missingProduct;
    StyleChoice m_choice;
    QComboBox *m_vendor = nullptr;
    QListWidget *m_product = nullptr;
    QListWidget *m_style = nullptr;
    QLabel *m_note = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace

bool SelectProductStyle(const ItemDialogContext &context, qint32 &vendorID, qint32 &productID,
                        QString &style, bool styleOnly, QWidget *parent)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) || !context.db)
        return false;
    const QString folder = context.productDirectory.isEmpty()
                               ? ProductEngine::DefaultProductFolder()
                               : context.productDirectory;
    const ProductStyleChoices choices = ProductStyleChoices::load(*context.db, folder);
    SelectProductStyleDialog dialog(choices, {vendorID, productID, style}, styleOnly, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    vendorID = dialog.choice().vendorID;
    productID = dialog.choice().productID;
    style = dialog.choice().style;
    return true;
}

} // namespace zeltpc5::host
