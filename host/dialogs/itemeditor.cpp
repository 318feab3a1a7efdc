#include "host/dialogs/itemeditor.h"

#include "host/database/database.h"
#include "host/helpers/dimensiontext.h"
#include "host/productengine/productengine.h"
#include "host/productengine/productfile.h"
#include "host/productengine/productsession.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QUuid>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include <cmath>

namespace zeltpc5::host {

namespace {

const QString ProductQuery =
    QStringLiteral("SELECT ProductFile, OverrideProductSettings, FractionRounding, "
                   "DimensionDisplayFormat FROM Products WHERE ID = ?");
const QString ProductsQuery = QStringLiteral(
    "SELECT ID, ProductName FROM Products WHERE Active <> 0 OR ID = ? ORDER BY ProductName, ID");
const QString CompanyDefaultsQuery = QStringLiteral(
    "SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID IS NULL ORDER BY ID");
const QString ProductDefaultsQuery = QStringLiteral(
    "SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID = ? ORDER BY ID");

const QChar Separator = QLatin1Char('|');

using OptionValues = std::vector<std::pair<QString, QString>>;

// Name and value of every Options/Option of an item document; nothing when the text is not
// an item document. A document type declaration is refused, so no entity is ever expanded.
std::optional<OptionValues> readItemOptions(const QString &xml)
{
    QXmlStreamReader reader(xml);
    OptionValues values;
    QStringList open;
    bool root = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            return std::nullopt;
        if (token == QXmlStreamReader::EndElement) {
            open.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (open.isEmpty()) {
            if (root || reader.name() != u"ItemData")
                return std::nullopt;
            root = true;
        }
        if (open.size() == 2 && open.at(1) == u"Options" && reader.name() == u"Option") {
            QString name, value;
            bool named = false;
            while (reader.readNextStartElement()) {
                if (reader.name() == u"Name") {
                    name = reader.readElementText();
                    named = true;
                } else if (reader.name() == u"Value") {
                    value = reader.readElementText();
                } else {
                    reader.skipCurrentElement();
                }
            }
            if (named)
                values.emplace_back(name, value);
            continue;
        }
        open << reader.name().toString();
    }
    if (reader.hasError() || !root)
        return std::nullopt;
    return values;
}

bool isYesNo(const QString &text)
{
    static const QStringList accepted{
        QStringLiteral("yes"),   QStringLiteral("no"), QStringLiteral("true"),
        QStringLiteral("false"), QStringLiteral("y"),  QStringLiteral("n"),
        QStringLiteral("1"),     QStringLiteral("0"),  QStringLiteral("-1")};
    return accepted.contains(text.trimmed().toLower());
}

QString text(const Variant &v)
{
    return ToText(v).value_or(QString());
}

// The product's own dimension settings, as the component applies them before replaying.
struct ProductRecord
{
    QString file;
    bool overrideSettings = false;
    int fractionRounding = 0;
    QString displayFormat;
};

} // namespace

struct ItemEditorModel::Private
{
    ItemDialogContext context;
    QHash<QString, std::shared_ptr<const ProductDefinition>> loaded; // by resolved path
    ProductSession session;
    bool open = false;
    QString error;
    qint32 productID = 0;
    QString style;
    qint32 originalProductID = 0;
    QString originalStyle;
    QString originalItemXML;
    QHash<QString, QString> baseline; // values as the item was opened, by option name

    std::optional<ProductRecord> productRecord(qint32 id);
    std::shared_ptr<const ProductDefinition> load(qint32 id, ProductRecord *record);
    void prepare(ProductSession &s, std::shared_ptr<const ProductDefinition> product,
                 const ProductRecord &record, const QString &style) const;
    void applyDefaults(ProductSession &s, qint32 id) const;
    QString value(int index) const
    {
        return text(session.optionField(index, OptionField::FormattedValue));
    }
    std::vector<QString> values() const
    {
        std::vector<QString> all;
        for (int i = 0; i < session.optionCount(); ++i)
            all.push_back(value(i));
        return all;
    }
    void takeBaseline()
    {
        baseline.clear();
        for (int i = 0; i < session.optionCount(); ++i)
            baseline.insert(session.product()->options[size_t(i)].name, value(i));
    }
};

std::optional<ProductRecord> ItemEditorModel::Private::productRecord(qint32 id)
{
    if (!context.db) {
        error = QStringLiteral("The company database is not open.");
        return std::nullopt;
    }
    try {
        const ResultSet rs = context.db->select(ProductQuery, {id});
        if (rs.rows.empty()) {
            error = QStringLiteral("There is no product with the ID %1.").arg(id);
            return std::nullopt;
        }
        const QVariantList &row = rs.rows.front();
        ProductRecord r;
        r.file = row.value(0).toString().trimmed();
        r.overrideSettings = row.value(1).toInt() != 0;
        r.fractionRounding = row.value(2).toInt();
        r.displayFormat = row.value(3).toString().trimmed();
        return r;
    } catch (const DatabaseError &e) {
        error = QStringLiteral("The product %1 cannot be read: %2").arg(id).arg(e.message());
        return std::nullopt;
    }
}

std::shared_ptr<const ProductDefinition> ItemEditorModel::Private::load(qint32 id,
                                                                        ProductRecord *record)
{
    const auto r = productRecord(id);
    if (!r)
        return nullptr;
    *record = *r;
    if (r->file.isEmpty()) {
        error = QStringLiteral("The product %1 has no product file.").arg(id);
        return nullptr;
    }
    const QString folder = context.productDirectory.isEmpty()
                               ? ProductEngine::DefaultProductFolder()
                               : context.productDirectory;
    const QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(r->file));
    if (const auto known = loaded.value(path))
        return known;
    ProductFileResult file = LoadProductFile(path);
    if (!file.product) {
        error = QStringLiteral("The product file for product %1 could not be opened: %2")
                    .arg(id)
                    .arg(file.error);
        return nullptr;
    }
    loaded.insert(path, file.product);
    return file.product;
}

void ItemEditorModel::Private::prepare(ProductSession &s,
                                       std::shared_ptr<const ProductDefinition> product,
                                       const ProductRecord &record, const QString &styleName) const
{
    s.open(std::move(product));
    s.initForProcessing(styleName);
    if (!record.overrideSettings)
        return;
    if (record.fractionRounding == 1)
        s.setRoundDown(false);
    else if (record.fractionRounding == 2)
        s.setRoundDown(true);
    s.setDimensionDisplayFormat(record.displayFormat);
}

void ItemEditorModel::Private::applyDefaults(ProductSession &s, qint32 id) const
{
    // The company's option defaults, as the component applies them when moving a line to
    // another product; a failing read leaves the product file's own defaults.
    try {
        for (const auto &[sql, values] : {std::pair{CompanyDefaultsQuery, QVariantList{}},
                                          std::pair{ProductDefaultsQuery, QVariantList{id}}}) {
            for (const QVariantList &row : context.db->select(sql, values).rows)
                s.setOptionValue(row.value(0).toString(), row.value(1).toString());
        }
    } catch (const DatabaseError &) {
    }
}

ItemEditorModel::ItemEditorModel(ItemDialogContext context) : d(std::make_unique<Private>())
{
    d->context = std::move(context);
}

ItemEditorModel::~ItemEditorModel() = default;

bool ItemEditorModel::open(qint32 productID, const QString &style, const QString &itemXML)
{
    d->open = false;
    d->error.clear();
    d->session.close();
    d->originalProductID = d->productID = productID;
    d->originalStyle = d->style = style;
    d->originalItemXML = itemXML;

    OptionValues values;
    if (!itemXML.trimmed().isEmpty()) {
        const auto read = readItemOptions(itemXML);
        if (!read) {
            d->error = QStringLiteral("The item document cannot be read.");
            return false;
        }
        values = *read;
    }
    ProductRecord record;
    const auto product = d->load(productID, &record);
    if (!product)
        return false;
    d->prepare(d->session, product, record, style);
    if (const int s = product->styleIndex(style.trimmed()); s >= 0)
        d->style = product->styles.at(s);
    for (const auto &[name, value] : values)
        d->session.setOptionValue(name, value);
    d->session.processOptions();
    d->takeBaseline();
    d->open = true;
    return true;
}

bool ItemEditorModel::isOpen() const
{
    return d->open;
}

const QString &ItemEditorModel::error() const
{
    return d->error;
}

bool ItemEditorModel::changeProduct(qint32 productID, const QString &preferredStyle)
{
    d->error.clear();
    if (!d->open) {
        d->error = QStringLiteral("No item is open.");
        return false;
    }
    ProductRecord record;
    const auto product = d->load(productID, &record);
    if (!product)
        return false;
    if (product->styles.isEmpty()) {
        d->error = QStringLiteral("The product %1 offers no style.").arg(product->name);
        return false;
    }
    const int s = product->styleIndex(preferredStyle.trimmed());
    const QString style = product->styles.at(s >= 0 ? s : 0);

    // Built aside and swapped in, so that a failure cannot leave half a product behind.
    ProductSession next;
    d->prepare(next, product, record, style);
    d->applyDefaults(next, productID);
    for (int i = 0; i < d->session.optionCount(); ++i) {
        const OptionDefinition &o = d->session.product()->options[size_t(i)];
        if (o.type != OptionType::Computed && o.type != OptionType::Heading)
            next.setOptionValue(o.name, d->value(i));
    }
    next.processOptions();
    d->session = std::move(next);
    d->productID = productID;
    d->style = style;
    return true;
}

qint32 ItemEditorModel::productID() const
{
    return d->productID;
}

const QString &ItemEditorModel::style() const
{
    return d->style;
}

qint32 ItemEditorModel::originalProductID() const
{
    return d->originalProductID;
}

const QString &ItemEditorModel::originalStyle() const
{
    return d->originalStyle;
}

const QString &ItemEditorModel::originalItemXML() const
{
    return d->originalItemXML;
}

bool ItemEditorModel::productOrStyleChanged() const
{
    return d->productID != d->originalProductID ||
           d->style.compare(d->originalStyle.trimmed(), Qt::CaseInsensitive) != 0;
}

QStringList ItemEditorModel::styles() const
{
    return d->session.product() ? d->session.product()->styles : QStringList();
}

std::vector<ProductChoice> ItemEditorModel::products() const
{
    std::vector<ProductChoice> list;
    if (!d->context.db)
        return list;
    try {
        for (const QVariantList &row : d->context.db->select(ProductsQuery, {d->productID}).rows)
            list.push_back({row.value(0).toInt(), row.value(1).toString()});
    } catch (const DatabaseError &) {
        list.clear();
    }
    return list;
}

std::vector<ItemOption> ItemEditorModel::options() const
{
    std::vector<ItemOption> list;
    if (!d->open)
        return list;
    const ProductSession &s = d->session;
    for (int i = 0; i < s.optionCount(); ++i) {
        const OptionDefinition &o = s.product()->options[size_t(i)];
        ItemOption option;
        option.name = o.name;
        option.value = d->value(i);
        option.type = o.type;
        option.choices = o.type == OptionType::YesNo
                             ? QStringList{QStringLiteral("Yes"), QStringLiteral("No")}
                             : o.choices;
        option.group = o.group;
        option.visible = ToBool(s.optionField(i, OptionField::Visible)).value_or(false);
        list.push_back(option);
    }
    return list;
}

std::optional<ItemOption> ItemEditorModel::option(const QString &name) const
{
    const int index = d->open ? d->session.optionIndex(name) : -1;
    if (index < 0)
        return std::nullopt;
    return options().at(size_t(index));
}

SetValueResult ItemEditorModel::setValue(const QString &name, const QString &value)
{
    SetValueResult result;
    const int index = d->open ? d->session.optionIndex(name) : -1;
    if (index < 0) {
        result.error = d->open ? QStringLiteral("The product has no option \"%1\".").arg(name)
                               : QStringLiteral("No item is open.");
        return result;
    }
    const OptionDefinition &o = d->session.product()->options[size_t(index)];
    const QString trimmed = value.trimmed();
    if (o.type == OptionType::Computed || o.type == OptionType::Heading) {
        result.error = QStringLiteral("%1 is set by the product, not by hand.").arg(o.name);
        return result;
    }
    if (value.contains(Separator)) {
        result.error = QStringLiteral("A value cannot contain \"|\" (%1).").arg(o.name);
        return result;
    }
    const auto choice = std::find_if(o.choices.begin(), o.choices.end(), [&](const QString &c) {
        return c.compare(trimmed, Qt::CaseInsensitive) == 0;
    });
    switch (o.type) {
    case OptionType::Dimension:
        if (!trimmed.isEmpty() && !ParseDimension(trimmed))
            result.error = QStringLiteral("\"%1\" is not a measurement for %2.").arg(value, o.name);
        break;
    case OptionType::Number:
        if (!trimmed.isEmpty() && !ParseOptionNumber(trimmed))
            result.error = QStringLiteral("\"%1\" is not a number for %2.").arg(value, o.name);
        break;
    case OptionType::List:
        if (choice == o.choices.end())
            result.error =
                QStringLiteral("\"%1\" is not one of the values of %2.").arg(value, o.name);
        break;
    case OptionType::YesNo:
        if (!isYesNo(trimmed))
            result.error = QStringLiteral("%1 takes Yes or No, not \"%2\".").arg(o.name, value);
        break;
    default:
        break;
    }
    if (!result.error.isEmpty())
        return result;

    const std::vector<QString> before = d->values();
    d->session.setOptionValue(o.name, value);
    d->session.processOptions();
    result.accepted = true;
    const std::vector<QString> after = d->values();
    for (int i = 0; i < int(after.size()); ++i) {
        const OptionDefinition &other = d->session.product()->options[size_t(i)];
        if (other.type == OptionType::Computed || other.type == OptionType::Heading)
            continue;
        // The option just set counts as reset only when a rule refused the chosen value; a
        // size merely written another way ("36.5" for "36 1/2") is the value given.
        const bool reset = i == index
                               ? (o.type == OptionType::List &&
                                  after[size_t(i)].compare(*choice, Qt::CaseInsensitive) != 0)
                               : after[size_t(i)] != before[size_t(i)];
        if (reset)
            result.resets.push_back({other.name, after[size_t(i)]});
    }
    return result;
}

std::vector<ItemMessage> ItemEditorModel::messages() const
{
    std::vector<ItemMessage> list;
    if (!d->open)
        return list;
    for (const QString &e : d->session.errors())
        list.push_back({ItemMessage::Kind::Error, e});
    for (const QString &n : d->session.notices())
        list.push_back({ItemMessage::Kind::Notice, n});
    return list;
}

std::pair<QString, QString> ItemEditorModel::editedNamesAndValues() const
{
    QStringList names, values;
    if (!d->open)
        return {};
    const bool everything = productOrStyleChanged();
    for (int i = 0; i < d->session.optionCount(); ++i) {
        const OptionDefinition &o = d->session.product()->options[size_t(i)];
        if (o.type == OptionType::Computed || o.type == OptionType::Heading)
            continue;
        const QString value = d->value(i);
        // A value holding the separator can only be the item's own, which the component
        // carries over by itself; a name or value that would split is never sent.
        if (o.name.contains(Separator) || value.contains(Separator))
            continue;
        const auto known = d->baseline.constFind(o.name);
        if (everything || known == d->baseline.cend() || *known != value) {
            names << o.name;
            values << value;
        }
    }
    return {names.join(Separator), values.join(Separator)};
}

RepricedItem RepriceEditedItem(const DispatchPtr &library, const ItemEditorModel &model,
                               const QString &originalPriceCostXML)
{
    RepricedItem r;
    const auto fail = [&r](const QString &why) {
        r.error = QStringLiteral("The item could not be priced: %1").arg(why);
        return r;
    };
    if (!model.isOpen())
        return fail(QStringLiteral("no item is open."));
    if (!library)
        return fail(QStringLiteral("the pricing component is not available."));
    const CallResult created = Call(library, u"CreateReplaceEngine");
    const DispatchPtr engine = ToObject(created.value).value_or(DispatchPtr());
    if (!created.ok() || !engine)
        return fail(
            QStringLiteral("no ReplaceEngine could be created (%1).")
                .arg(created.ok() ? QStringLiteral("no object") : created.status.toString()));

    const QString uniqueID = QUuid::createUuid().toString(QUuid::WithBraces);
    const CallResult added =
        Call(engine, u"AddLine",
             {MakeInt16(1), MakeInt16(1), MakeInt32(model.originalProductID()),
              model.originalStyle(), model.originalItemXML(), originalPriceCostXML, uniqueID});
    if (!added.ok())
        return fail(added.status.toString());

    const auto [names, values] = model.editedNamesAndValues();
    CallResult run;
    if (model.productOrStyleChanged()) {
        const DispatchPtr services =
            ToObject(Get(library, u"SharedCodeLibrary").value).value_or(DispatchPtr());
        const DispatchPtr common = ToObject(Get(services, u"Common").value).value_or(DispatchPtr());
        const qint32 vendorID =
            ToInt32(Call(common, u"GetVendorIDFromProductID", {MakeInt32(model.productID())}).value)
                .value_or(0);
        if (vendorID == 0)
            return fail(
                QStringLiteral("the vendor of product %1 is not known.").arg(model.productID()));
        run = Call(engine, u"ChangeProductStyleAndOptions",
                   {MakeInt32(vendorID), MakeInt32(model.productID()), model.style(), names, values,
                    uniqueID});
    } else {
        run = Call(engine, u"ChangeOptionValue", {names, values, uniqueID});
    }
    const auto lineData = [&](const char *field) {
        return text(Call(engine, u"GetLineData", {MakeInt16(0), QString::fromLatin1(field)}).value);
    };
    const QString itemXML = lineData("newitemxml");
    const QString priceCostXML = lineData("newpricecostxml");
    const QString newProduct = lineData("newproductid");
    const QString newStyle = lineData("newstyle");
    Call(engine, u"PreTerminate");

    if (!run.ok())
        return fail(run.status.toString());
    if (!ToBool(run.value).value_or(false))
        return fail(QStringLiteral("the change did not complete."));
    if (itemXML.trimmed().isEmpty() || priceCostXML.trimmed().isEmpty())
        return fail(QStringLiteral("the component returned an empty document."));
    // The component leaves a line alone when the product file cannot be processed; a line
    // that still holds the old product or lacks the edited values is no result.
    const QString expectedStyle =
        model.productOrStyleChanged() ? model.style() : model.originalStyle();
    if (newProduct != QString::number(model.productID()) || newStyle != expectedStyle)
        return fail(QStringLiteral("the product file could not be processed."));
    const auto newOptions = readItemOptions(itemXML);
    if (!newOptions)
        return fail(QStringLiteral("the component returned an item that cannot be read."));
    const QStringList editedNames = names.isEmpty() ? QStringList() : names.split(Separator);
    const QStringList editedValues = values.split(Separator);
    for (qsizetype k = 0; k < editedNames.size(); ++k) {
        const auto found =
            std::find_if(newOptions->begin(), newOptions->end(), [&](const auto &option) {
                return option.first.compare(editedNames[k], Qt::CaseInsensitive) == 0;
            });
        const QString got = found == newOptions->end() ? QString() : found->second;
        if (got.compare(editedValues.value(k), Qt::CaseInsensitive) != 0)
            return fail(QStringLiteral("%1 came back as \"%2\" instead of \"%3\".")
                            .arg(editedNames[k], got, editedValues.value(k)));
    }
    r.ok = true;
    r.itemXML = itemXML;
    r.priceCostXML = priceCostXML;
    return r;
}

namespace {

struct OptionRow
{
    QString name;
    OptionType type = OptionType::Text;
    QWidget *control = nullptr;
};

class ItemEditorDialog : public QDialog
{
public:
    ItemEditorDialog(const ItemDialogContext &context, qint32 productID, const QString &style,
                     const QString &itemXML, const QString &priceCostXML, qint32 mode,
                     QWidget *parent)
        : QDialog(parent), m_context(context), m_model(context), m_priceCostXML(priceCostXML)
    {
        setObjectName(QStringLiteral("frmEditProductItem"));
        setWindowTitle(QStringLiteral("Edit Item"));

        m_product = new QComboBox(this);
        m_product->setObjectName(QStringLiteral("cboProduct"));
        m_style = new QComboBox(this);
        m_style->setObjectName(QStringLiteral("cboStyle"));
        auto *top = new QFormLayout;
        top->addRow(QStringLiteral("&Product:"), m_product);
        top->addRow(QStringLiteral("&Style:"), m_style);

        m_scroll = new QScrollArea(this);
        m_scroll->setObjectName(QStringLiteral("scrOptions"));
        m_scroll->setWidgetResizable(true);
        m_scroll->setMinimumSize(480, 420);

        m_messages = new QLabel(this);
        m_messages->setObjectName(QStringLiteral("lblMessages"));
        m_messages->setTextFormat(Qt::RichText);
        m_messages->setWordWrap(true);
        m_messages->setMinimumHeight(48);
        m_messages->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_messages->setFrameShape(QFrame::StyledPanel);

        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setObjectName(QStringLiteral("cmdOK"));
        m_ok->setDefault(true);
        auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
        cancel->setObjectName(QStringLiteral("cmdCancel"));
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(m_ok);
        buttons->addWidget(cancel);

        auto *layout = new QVBoxLayout(this);
        layout->addLayout(top);
        layout->addWidget(m_scroll, 1);
        layout->addWidget(m_messages);
        layout->addLayout(buttons);

        connect(m_ok, &QPushButton::clicked, this, [this] { confirm(); });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

        const bool changeable = mode == 54;
        m_product->setEnabled(changeable);
        m_style->setEnabled(changeable);
        if (!m_model.open(productID, style, itemXML)) {
            m_ok->setEnabled(false);
            m_product->setEnabled(false);
            m_style->setEnabled(false);
            m_notes = QStringList{m_model.error()};
            showMessages();
            return;
        }
        fillProductAndStyle();
        connect(m_product, &QComboBox::currentIndexChanged, this, [this] { productPicked(); });
        connect(m_style, &QComboBox::currentIndexChanged, this, [this] { stylePicked(); });
        buildOptionRows();
        refresh();
    }

    const ItemEditorModel &model() const { return m_model; }
    const RepricedItem &repriced() const { return m_repriced; }

private:
    void fillProductAndStyle()
    {
        const QSignalBlocker blockProduct(m_product);
        const QSignalBlocker blockStyle(m_style);
        m_product->clear();
        for (const ProductChoice &p : m_model.products())
            m_product->addItem(p.name, p.id);
        int index = m_product->findData(m_model.productID());
        if (index < 0) {
            m_product->addItem(QString::number(m_model.productID()), m_model.productID());
            index = m_product->count() - 1;
        }
        m_product->setCurrentIndex(index);
        m_style->clear();
        m_style->addItems(m_model.styles());
        int style = m_style->findText(m_model.style());
        if (style < 0) {
            m_style->addItem(m_model.style());
            style = m_style->count() - 1;
        }
        m_style->setCurrentIndex(style);
    }

    void changeProduct(qint32 productID, const QString &style)
    {
        if (m_model.changeProduct(productID, style)) {
            m_notes.clear();
            buildOptionRows();
        } else {
            m_notes = QStringList{m_model.error()};
        }
        fillProductAndStyle();
        refresh();
    }

    void productPicked() { changeProduct(m_product->currentData().toInt(), m_model.style()); }
    void stylePicked() { changeProduct(m_model.productID(), m_style->currentText()); }

    void buildOptionRows()
    {
        for (const OptionRow &row : m_rows)
            row.control->disconnect(this);
        m_rows.clear();
        if (QWidget *old = m_scroll->takeWidget())
            old->deleteLater();

        auto *form = new QWidget;
        form->setObjectName(QStringLiteral("frmOptions"));
        auto *layout = new QFormLayout(form);
        for (const ItemOption &option : m_model.options()) {
            OptionRow row{option.name, option.type, nullptr};
            const QString objectName = QStringLiteral("opt_") + option.name;
            if (option.type == OptionType::Heading) {
                auto *heading = new QLabel(option.name, form);
                QFont bold = heading->font();
                bold.setBold(true);
                heading->setFont(bold);
                row.control = heading;
                layout->addRow(heading);
            } else if (option.type == OptionType::List || option.type == OptionType::YesNo) {
                auto *combo = new QComboBox(form);
                combo->addItems(option.choices);
                connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, option] {
                    if (!m_refreshing && combo->currentIndex() >= 0)
                        commit(option.name, combo->currentText());
                });
                row.control = combo;
            } else {
                auto *edit = new QLineEdit(form);
                if (option.type == OptionType::Computed) {
                    // The product works it out: shown as a value, not as a field to type in.
                    edit->setReadOnly(true);
                    edit->setFrame(false);
                    edit->setFocusPolicy(Qt::NoFocus);
                } else {
                    connect(edit, &QLineEdit::editingFinished, this, [this, edit, option] {
                        if (!m_refreshing)
                            commitText(option.name, edit);
                    });
                }
                row.control = edit;
            }
            row.control->setObjectName(objectName);
            if (option.type != OptionType::Heading)
                layout->addRow(option.name + QLatin1Char(':'), row.control);
            m_rows.push_back(row);
        }
        m_form = layout;
        m_scroll->setWidget(form);
    }

    void refresh()
    {
        m_refreshing = true;
        const auto options = m_model.options();
        for (size_t i = 0; i < m_rows.size() && i < options.size(); ++i) {
            const ItemOption &option = options[i];
            QWidget *control = m_rows[i].control;
            if (auto *combo = qobject_cast<QComboBox *>(control))
                combo->setCurrentIndex(combo->findText(option.value, Qt::MatchFixedString));
            else if (auto *edit = qobject_cast<QLineEdit *>(control))
                edit->setText(option.value);
            m_form->setRowVisible(control, option.visible);
        }
        m_refreshing = false;
        showMessages();
    }

    void showMessages()
    {
        QString html;
        const auto line = [&html](const QString &text, const char *colour) {
            html += QStringLiteral("<div style='color:%1'>%2</div>")
                        .arg(QLatin1String(colour), text.toHtmlEscaped());
        };
        for (const QString &note : m_notes)
            line(note, "#b00000");
        for (const ItemMessage &m : m_model.messages())
            line(m.text, m.kind == ItemMessage::Kind::Error ? "#d00000" : "#0030c0");
        m_messages->setText(html);
    }

    bool commit(const QString &name, const QString &value)
    {
        const SetValueResult result = m_model.setValue(name, value);
        m_notes.clear();
        if (!result.accepted)
            m_notes << result.error;
        for (const OptionReset &reset : result.resets)
            m_notes << QStringLiteral("%1 was reset to %2").arg(reset.name, reset.value);
        refresh();
        return result.accepted;
    }

    bool commitText(const QString &name, QLineEdit *edit)
    {
        const auto current = m_model.option(name);
        if (current && current->value == edit->text())
            return true;
        return commit(name, edit->text());
    }

    void confirm()
    {
        // A value typed but not yet taken (the user went straight to OK) is part of the edit.
        for (const OptionRow &row : m_rows) {
            auto *edit = qobject_cast<QLineEdit *>(row.control);
            if (edit && !edit->isReadOnly() && !commitText(row.name, edit))
                return;
        }
        m_ok->setEnabled(false);
        m_repriced = RepriceEditedItem(m_context.library, m_model, m_priceCostXML);
        m_ok->setEnabled(true);
        if (!m_repriced.ok) {
            m_notes = QStringList{m_repriced.error};
            showMessages();
            return;
        }
        accept();
    }

    ItemDialogContext m_context;
    ItemEditorModel m_model;
    QString m_priceCostXML;
    RepricedItem m_repriced;
    QComboBox *m_product = nullptr;
    QComboBox *m_style = nullptr;
    QScrollArea *m_scroll = nullptr;
    QFormLayout *m_form = nullptr;
    QLabel *m_messages = nullptr;
    QPushButton *m_ok = nullptr;
    std::vector<OptionRow> m_rows;
    QStringList m_notes;
    bool m_refreshing = false;
};

} // namespace

bool EditProductItem(const ItemDialogContext &context, qint32 &productID, QString &style,
                     QString &itemXML, QString &priceCostXML, qint32 mode, QWidget *parent)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    if (mode != 0 && mode != 54)
        return false;
    ItemEditorDialog dialog(context, productID, style, itemXML, priceCostXML, mode, parent);
    if (dialog.exec() != QDialog::Accepted || !dialog.repriced().ok)
        return false;
    if (mode == 54) {
        productID = dialog.model().productID();
        style = dialog.model().style();
    }
    itemXML = dialog.repriced().itemXML;
    priceCostXML = dialog.repriced().priceCostXML;
    return true;
}

} // namespace zeltpc5::host
