// The item editor over the demo company: the model replays line 1 of quote Q-1001 (Roller
// Shade, Standard, 36 1/2 x 60, Inside, Linen Blend, White, Cassette) through the product
// file's rules, and the window re-prices an edit through the component's ReplaceEngine.
#include "host/dialogs/itemeditor.h"

#include "engine/library.h"
#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "host/database/seed.h"
#include "host/helpers/registration.h"
#include "host/services/recordsxml.h"
#include "host/services/sharedcodelibrary.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>

using namespace zeltpc5;
using namespace zeltpc5::host;

namespace {

struct SilentPresenter : MessagePresenter
{
    bool present(const QString &, const QString &, bool) override { return false; }
};

// The value of an option in an item document, read the plain way.
QString ValueIn(const QString &itemXml, const QString &name)
{
    QXmlStreamReader r(itemXml);
    QString current;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.name() == u"Name") {
            current = r.readElementText();
        } else if (r.name() == u"Value") {
            const QString value = r.readElementText();
            if (current == name)
                return value;
        }
    }
    return QStringLiteral("<missing>");
}

QStringList Shown(const ItemEditorModel &model)
{
    QStringList rows;
    for (const ItemOption &o : model.options()) {
        if (o.visible)
            rows << o.name + QLatin1Char('=') + o.value;
    }
    return rows;
}

QStringList Texts(const std::vector<ItemMessage> &messages)
{
    QStringList texts;
    for (const ItemMessage &m : messages)
        texts << (m.kind == ItemMessage::Kind::Error ? QStringLiteral("E: ")
                                                     : QStringLiteral("N: ")) +
                     m.text;
    return texts;
}

QStringList Resets(const SetValueResult &result)
{
    QStringList texts;
    for (const OptionReset &r : result.resets)
        texts << r.name + QLatin1Char('=') + r.value;
    return texts;
}

const QString CassetteNotice = QStringLiteral(
    "N: An inside mounted cassette valance needs a window depth of at least 3 1/2 inches.");

class ItemEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = Database::open(ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("c.db"))),
                            OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        // Keeps the demo's fuel surcharge in force on any day the tests run.
        db->execute(QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
                    {QDateTime::currentDateTimeUtc().addDays(400).toString(
                        QStringLiteral("yyyy-MM-ddT00:00:00"))});
        ServiceOptions options;
        options.messageSettingsFile = dir.filePath(QStringLiteral("messages.ini"));
        options.messagePresenter = std::make_shared<SilentPresenter>();
        const DispatchPtr services = CreateSharedCodeLibrary(db, options);
        RegisterReferenceEngines();
        const Ref<Library> library = Library::create();
        library->Initialize(services);
        context = {db, QString(), DispatchPtr(library)};
        QuoteStore store(*db);
        const auto quote = store.quote(QStringLiteral("Q-1001"));
        ASSERT_TRUE(quote.has_value());
        line = store.lines(quote->id).front();
    }

    bool openLine(ItemEditorModel &model) const
    {
        return model.open(line.productID, line.style, line.itemXML);
    }

    // Runs the editor with the given mode; act works on the window while it is shown.
    bool edit(qint32 mode, const std::function<void(QDialog &)> &act, qint32 *productID = nullptr,
              QString *style = nullptr, QString *item = nullptr, QString *priceCost = nullptr)
    {
        qint32 p = line.productID;
        QString s = line.style, i = line.itemXML, pc = line.priceCostXML;
        QTimer::singleShot(0, [act] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != u"frmEditProductItem") {
                ADD_FAILURE() << "the item editor is not shown";
                if (dialog)
                    dialog->reject();
                return;
            }
            act(*dialog);
            // Whatever the test left open is closed, so that a failure cannot hang the run.
            if (dialog->isVisible())
                dialog->reject();
        });
        const bool result = EditProductItem(context, p, s, i, pc, mode);
        if (productID)
            *productID = p;
        if (style)
            *style = s;
        if (item)
            *item = i;
        if (priceCost)
            *priceCost = pc;
        return result;
    }

    QTemporaryDir dir;
    std::shared_ptr<Database> db;
    ItemDialogContext context;
    QuoteLine line;
};

template <class T>
T *Child(QDialog &dialog, const QString &name)
{
    T *child = dialog.findChild<T *>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
}

} // namespace

TEST_F(ItemEditor, opensTheItemWithItsValuesThroughTheRules)
{
    ItemEditorModel model(context);
    ASSERT_TRUE(openLine(model)) << model.error().toStdString();

    EXPECT_EQ(Shown(model),
              QStringList({"Room Location=Living Room", "Width=36 1/2", "Height=60", "Mount=Inside",
                           "Fabric=Linen Blend", "Color=White", "Bottom Rail=Standard",
                           "Valance=Cassette", "Control Type=Chain", "Control Side=Right",
                           "Chain Length=48", "Hold Down Brackets=No"}));
    const auto fabric = model.option(QStringLiteral("fabric"));
    ASSERT_TRUE(fabric.has_value());
    EXPECT_EQ(fabric->type, OptionType::List);
    EXPECT_EQ(fabric->choices,
              QStringList({"Please Select", "Linen Blend", "Blackout Vinyl", "Solar Screen 5%"}));
    EXPECT_EQ(model.option(QStringLiteral("Hold Down Brackets"))->choices,
              QStringList({"Yes", "No"}));
    EXPECT_FALSE(model.option(QStringLiteral("Chain Length"))->editable());
    EXPECT_EQ(Texts(model.messages()), QStringList({CassetteNotice}));
    EXPECT_EQ(model.styles(), QStringList({"Standard", "Cordless", "Motorized"}));
    EXPECT_FALSE(model.productOrStyleChanged());
    EXPECT_EQ(model.editedNamesAndValues(), std::make_pair(QString(), QString()));
}

TEST_F(ItemEditor, aValueTheRulesRefuseIsReportedAsReset)
{
    ItemEditorModel model(context);
    ASSERT_TRUE(openLine(model));

    SetValueResult r = model.setValue(QStringLiteral("Color"), QStringLiteral("ivory"));
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(Resets(r), QStringList());
    EXPECT_EQ(model.option(QStringLiteral("Color"))->value, QStringLiteral("Ivory"));

    // Blackout vinyl comes in fewer colours: Ivory goes back to Please Select.
    r = model.setValue(QStringLiteral("Fabric"), QStringLiteral("Blackout Vinyl"));
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(Resets(r), QStringList({"Color=Please Select"}));
    // Chosen again directly, the colour is refused by the same rule.
    r = model.setValue(QStringLiteral("Color"), QStringLiteral("Ivory"));
    EXPECT_EQ(Resets(r), QStringList({"Color=Please Select"}));

    // A control change that hides an option and sets it is reported; a computed size is not.
    r = model.setValue(QStringLiteral("Control Type"), QStringLiteral("Motor"));
    EXPECT_EQ(Resets(r), QStringList({"Motor Type=RF Motor"}));
    EXPECT_TRUE(model.option(QStringLiteral("Motor Type"))->visible);

    EXPECT_EQ(model.editedNamesAndValues(),
              std::make_pair(QStringLiteral("Fabric|Color|Control Type|Motor Type"),
                             QStringLiteral("Blackout Vinyl|Please Select|Motor|RF Motor")));

    // Back to the item's own values: nothing is left to hand on.
    model.setValue(QStringLiteral("Control Type"), QStringLiteral("Chain"));
    model.setValue(QStringLiteral("Fabric"), QStringLiteral("Linen Blend"));
    model.setValue(QStringLiteral("Color"), QStringLiteral("White"));
    EXPECT_EQ(model.editedNamesAndValues(), std::make_pair(QString(), QString()));
}

TEST_F(ItemEditor, valuesThatCannotBeTheOptionsAreRefusedAndChangeNothing)
{
    ItemEditorModel model(context);
    ASSERT_TRUE(openLine(model));

    const auto refused = [&](const char *name, const QString &value) {
        const SetValueResult r = model.setValue(QString::fromLatin1(name), value);
        EXPECT_FALSE(r.accepted) << name;
        return r.error;
    };
    EXPECT_EQ(refused("Width", QStringLiteral("wide")),
              QStringLiteral("\"wide\" is not a measurement for Width."));
    EXPECT_EQ(refused("Width", QStringLiteral("36 3/2")),
              QStringLiteral("\"36 3/2\" is not a measurement for Width."));
    EXPECT_EQ(refused("Fabric", QStringLiteral("Plaid")),
              QStringLiteral("\"Plaid\" is not one of the values of Fabric."));
    EXPECT_EQ(refused("Hold Down Brackets", QStringLiteral("maybe")),
              QStringLiteral("Hold Down Brackets takes Yes or No, not \"maybe\"."));
    EXPECT_EQ(refused("Room Location", QStringLiteral("Den | Study")),
              QStringLiteral("A value cannot contain \"|\" (Room Location)."));
    EXPECT_EQ(refused("Chain Length", QStringLiteral("12")),
              QStringLiteral("Chain Length is set by the product, not by hand."));
    EXPECT_EQ(refused("Slats", QStringLiteral("12")),
              QStringLiteral("The product has no option \"Slats\"."));
    EXPECT_EQ(model.option(QStringLiteral("Width"))->value, QStringLiteral("36 1/2"));
    EXPECT_EQ(model.editedNamesAndValues(), std::make_pair(QString(), QString()));

    // A size written another way is the size given; markup in a text is only text.
    const SetValueResult width = model.setValue(QStringLiteral("Width"), QStringLiteral("40.5"));
    EXPECT_TRUE(width.accepted);
    EXPECT_EQ(Resets(width), QStringList());
    EXPECT_TRUE(
        model.setValue(QStringLiteral("Room Location"), QStringLiteral("<b>Den</b>'s")).accepted);
    EXPECT_EQ(model.editedNamesAndValues(), std::make_pair(QStringLiteral("Room Location|Width"),
                                                           QStringLiteral("<b>Den</b>'s|40 1/2")));
    // The product's limits come back as errors, and the values stay.
    model.setValue(QStringLiteral("Width"), QStringLiteral("130"));
    EXPECT_EQ(Texts(model.messages()),
              QStringList({"E: Width must be between 12 and 120 inches for the Standard style.",
                           "E: No price is available for 130 x 60 in the Standard style.",
                           "N: Shades wider than 84 inches are heavy to raise by chain; a motor "
                           "is recommended.",
                           CassetteNotice}));
}

TEST_F(ItemEditor, openRefusesWhatItCannotUse)
{
    ItemEditorModel model(context);
    EXPECT_FALSE(model.open(999, QStringLiteral("Standard"), line.itemXML));
    EXPECT_EQ(model.error(), QStringLiteral("There is no product with the ID 999."));
    EXPECT_EQ(model.options().size(), 0u);

    for (const QString &bad :
         {QStringLiteral("<ItemData><Options>"), QStringLiteral("<PriceCostData/>"),
          QStringLiteral("<!DOCTYPE ItemData [<!ENTITY a 'Outside'>]>"
                         "<ItemData><Options><Option><Name>Mount</Name>"
                         "<Value>&a;</Value></Option></Options></ItemData>")}) {
        EXPECT_FALSE(model.open(line.productID, line.style, bad)) << bad.toStdString();
        EXPECT_EQ(model.error(), QStringLiteral("The item document cannot be read."));
    }

    db->execute(QStringLiteral("UPDATE Products SET ProductFile = 'missing.xml' WHERE ID = 3"));
    EXPECT_FALSE(model.open(3, QStringLiteral("Standard"), QString()));
    EXPECT_TRUE(model.error().startsWith(
        QStringLiteral("The product file for product 3 could not be opened:")))
        << model.error().toStdString();

    // A new item starts from the product file's defaults.
    ASSERT_TRUE(model.open(line.productID, QStringLiteral("standard"), QString()));
    EXPECT_EQ(model.option(QStringLiteral("Mount"))->value, QStringLiteral("Inside"));
    EXPECT_EQ(model.style(), QStringLiteral("Standard"));
    EXPECT_FALSE(model.productOrStyleChanged());
}

TEST_F(ItemEditor, anotherProductKeepsTheValuesItAccepts)
{
    ItemEditorModel model(context);
    ASSERT_TRUE(openLine(model));
    model.setValue(QStringLiteral("Mount"), QStringLiteral("Outside"));

    EXPECT_FALSE(model.changeProduct(999, QString()));
    EXPECT_EQ(model.error(), QStringLiteral("There is no product with the ID 999."));
    EXPECT_EQ(model.productID(), 1);
    EXPECT_EQ(model.option(QStringLiteral("Fabric"))->value, QStringLiteral("Linen Blend"));

    ASSERT_TRUE(model.changeProduct(2, QStringLiteral("Standard")));
    EXPECT_EQ(model.productID(), 2);
    EXPECT_EQ(model.style(), QStringLiteral("2 Inch Slat")); // no Standard style: the first
    EXPECT_TRUE(model.productOrStyleChanged());
    EXPECT_FALSE(model.option(QStringLiteral("Fabric")).has_value());
    EXPECT_EQ(model.option(QStringLiteral("Mount"))->value, QStringLiteral("Outside"));
    EXPECT_EQ(model.option(QStringLiteral("Width"))->value, QStringLiteral("36 1/2"));
    EXPECT_EQ(model.option(QStringLiteral("Color"))->value, QStringLiteral("White"));
    // After a product change every value is handed on, computed ones excepted.
    const auto [names, values] = model.editedNamesAndValues();
    EXPECT_TRUE(names.startsWith(QStringLiteral("Room Location|Width|Height|Mount|Color")))
        << names.toStdString();
    EXPECT_FALSE(names.contains(QStringLiteral("Slat Count")));
    EXPECT_EQ(names.count(QLatin1Char('|')), values.count(QLatin1Char('|')));

    ASSERT_TRUE(model.changeProduct(1, QStringLiteral("Cordless")));
    EXPECT_EQ(model.style(), QStringLiteral("Cordless"));
    EXPECT_EQ(model.option(QStringLiteral("Control Type"))->value, QStringLiteral("Cordless"));
    // The wood blind knew no fabric: the roller shade's default is back.
    EXPECT_EQ(model.option(QStringLiteral("Fabric"))->value, QStringLiteral("Please Select"));
}

TEST_F(ItemEditor, repricingThroughTheComponent)
{
    ItemEditorModel model(context);
    ASSERT_TRUE(openLine(model));
    model.setValue(QStringLiteral("Mount"), QStringLiteral("Outside"));

    const RepricedItem r = RepriceEditedItem(context.library, model, line.priceCostXML);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(ValueIn(r.itemXML, QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(ValueIn(r.itemXML, QStringLiteral("Fabric")), QStringLiteral("Linen Blend"));
    EXPECT_EQ(RecordField(line.priceCostXML, QStringLiteral("UnitPrice")),
              QStringLiteral("144.48"));
    EXPECT_EQ(RecordField(r.priceCostXML, QStringLiteral("UnitPrice")), QStringLiteral("128.8"));

    const RepricedItem none = RepriceEditedItem(DispatchPtr(), model, line.priceCostXML);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.itemXML, QString());
    EXPECT_EQ(none.error,
              QStringLiteral("The item could not be priced: the pricing component is not "
                             "available."));

    // Moved to the wood blind, the line carries the new product into its price document.
    ASSERT_TRUE(model.changeProduct(2, QStringLiteral("2 Inch Slat")));
    const RepricedItem moved = RepriceEditedItem(context.library, model, line.priceCostXML);
    ASSERT_TRUE(moved.ok) << moved.error.toStdString();
    EXPECT_EQ(RecordField(moved.priceCostXML, QStringLiteral("ProductID")), QStringLiteral("2"));
    EXPECT_EQ(RecordField(moved.priceCostXML, QStringLiteral("Style")),
              QStringLiteral("2 Inch Slat"));
    EXPECT_EQ(ValueIn(moved.itemXML, QStringLiteral("Mount")), QStringLiteral("Outside"));
}

TEST_F(ItemEditor, okWritesTheEditedAndRepricedItem)
{
    qint32 productID = 0;
    QString style, item, priceCost;
    const bool ok = edit(
        0,
        [](QDialog &dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Item"));
            EXPECT_FALSE(Child<QComboBox>(dialog, QStringLiteral("cboProduct"))->isEnabled());
            auto *mount = Child<QComboBox>(dialog, QStringLiteral("opt_Mount"));
            mount->setCurrentIndex(mount->findText(QStringLiteral("Outside")));
            // Typed but never left: OK still takes it.
            Child<QLineEdit>(dialog, QStringLiteral("opt_Room Location"))
                ->setText(QStringLiteral("Den"));
            QTest::mouseClick(Child<QPushButton>(dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
            EXPECT_FALSE(dialog.isVisible());
        },
        &productID, &style, &item, &priceCost);

    EXPECT_TRUE(ok);
    EXPECT_EQ(productID, line.productID);
    EXPECT_EQ(style, line.style);
    EXPECT_EQ(ValueIn(item, QStringLiteral("Mount")), QStringLiteral("Outside"));
    EXPECT_EQ(ValueIn(item, QStringLiteral("Room Location")), QStringLiteral("Den"));
    EXPECT_EQ(RecordField(priceCost, QStringLiteral("UnitPrice")), QStringLiteral("128.8"));
}

TEST_F(ItemEditor, theWindowShowsWhatTheRulesDo)
{
    edit(0, [](QDialog &dialog) {
        auto *fabric = Child<QComboBox>(dialog, QStringLiteral("opt_Fabric"));
        auto *color = Child<QComboBox>(dialog, QStringLiteral("opt_Color"));
        auto *messages = Child<QLabel>(dialog, QStringLiteral("lblMessages"));
        EXPECT_TRUE(messages->text().contains(QStringLiteral("cassette valance")));
        color->setCurrentIndex(color->findText(QStringLiteral("Ivory")));
        fabric->setCurrentIndex(fabric->findText(QStringLiteral("Blackout Vinyl")));
        EXPECT_EQ(color->currentText(), QStringLiteral("Please Select"));
        EXPECT_TRUE(messages->text().contains(QStringLiteral("Color was reset to Please Select")))
            << messages->text().toStdString();

        auto *width = Child<QLineEdit>(dialog, QStringLiteral("opt_Width"));
        width->setText(QStringLiteral("wide"));
        Q_EMIT width->editingFinished();
        EXPECT_EQ(width->text(), QStringLiteral("36 1/2"));
        EXPECT_TRUE(messages->text().contains(QStringLiteral("is not a measurement for Width")));

        // The motor type appears only with a motor.
        auto *motorType = Child<QComboBox>(dialog, QStringLiteral("opt_Motor Type"));
        EXPECT_FALSE(motorType->isVisibleTo(&dialog));
        auto *control = Child<QComboBox>(dialog, QStringLiteral("opt_Control Type"));
        control->setCurrentIndex(control->findText(QStringLiteral("Motor")));
        EXPECT_TRUE(motorType->isVisibleTo(&dialog));
    });
}

TEST_F(ItemEditor, cancelAndOtherModesChangeNothing)
{
    qint32 productID = 0;
    QString style, item, priceCost;
    EXPECT_FALSE(edit(
        0,
        [](QDialog &dialog) {
            auto *mount = Child<QComboBox>(dialog, QStringLiteral("opt_Mount"));
            mount->setCurrentIndex(mount->findText(QStringLiteral("Outside")));
            QTest::mouseClick(Child<QPushButton>(dialog, QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
        },
        &productID, &style, &item, &priceCost));
    EXPECT_EQ(productID, line.productID);
    EXPECT_EQ(style, line.style);
    EXPECT_EQ(item, line.itemXML);
    EXPECT_EQ(priceCost, line.priceCostXML);

    // Escape is Cancel too.
    EXPECT_FALSE(edit(
        0, [](QDialog &dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }, nullptr, nullptr,
        &item));
    EXPECT_EQ(item, line.itemXML);

    qint32 p = line.productID;
    QString s = line.style, i = line.itemXML, pc = line.priceCostXML;
    EXPECT_FALSE(EditProductItem(context, p, s, i, pc, 7));
    EXPECT_EQ(i, line.itemXML);
    EXPECT_EQ(pc, line.priceCostXML);
}

TEST_F(ItemEditor, aFailedRepricingKeepsTheWindowOpenAndWritesNothing)
{
    context.library = DispatchPtr();
    QString item, priceCost;
    EXPECT_FALSE(edit(
        0,
        [](QDialog &dialog) {
            auto *mount = Child<QComboBox>(dialog, QStringLiteral("opt_Mount"));
            mount->setCurrentIndex(mount->findText(QStringLiteral("Outside")));
            QTest::mouseClick(Child<QPushButton>(dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(Child<QLabel>(dialog, QStringLiteral("lblMessages"))
                            ->text()
                            .contains(QStringLiteral("The item could not be priced")));
            QTest::mouseClick(Child<QPushButton>(dialog, QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
        },
        nullptr, nullptr, &item, &priceCost));
    EXPECT_EQ(item, line.itemXML);
    EXPECT_EQ(priceCost, line.priceCostXML);
}

TEST_F(ItemEditor, modeFiftyFourMovesTheItemToAnotherProduct)
{
    qint32 productID = 0;
    QString style, item, priceCost;
    const bool ok = edit(
        54,
        [](QDialog &dialog) {
            auto *product = Child<QComboBox>(dialog, QStringLiteral("cboProduct"));
            ASSERT_TRUE(product->isEnabled());
            product->setCurrentIndex(product->findText(QStringLiteral("Wood Blind")));
            auto *style = Child<QComboBox>(dialog, QStringLiteral("cboStyle"));
            EXPECT_EQ(style->currentText(), QStringLiteral("2 Inch Slat"));
            style->setCurrentIndex(style->findText(QStringLiteral("2.5 Inch Slat")));
            EXPECT_NE(dialog.findChild<QComboBox *>(QStringLiteral("opt_Tilt")), nullptr);
            EXPECT_EQ(dialog.findChild<QComboBox *>(QStringLiteral("opt_Fabric")), nullptr);
            QTest::mouseClick(Child<QPushButton>(dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
        },
        &productID, &style, &item, &priceCost);

    EXPECT_TRUE(ok);
    EXPECT_EQ(productID, 2);
    EXPECT_EQ(style, QStringLiteral("2.5 Inch Slat"));
    EXPECT_EQ(RecordField(priceCost, QStringLiteral("ProductID")), QStringLiteral("2"));
    EXPECT_EQ(ValueIn(item, QStringLiteral("Fabric")), QStringLiteral("<missing>"));
    EXPECT_EQ(ValueIn(item, QStringLiteral("Width")), QStringLiteral("36 1/2"));
}
