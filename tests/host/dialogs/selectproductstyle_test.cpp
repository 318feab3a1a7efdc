#include "host/dialogs/selectproductstyle.h"

#include "host/database/database.h"
#include "host/database/seed.h"
#include "host/productengine/productengine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace zeltpc5::host;

namespace {

class SelectProductStyleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = Database::open(ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("c.db"))),
                            OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        context.db = db;
        context.productDirectory = ProductEngine::DefaultProductFolder();
        ASSERT_TRUE(QFile::exists(QDir(context.productDirectory).filePath("roller-shade.xml")))
            << context.productDirectory.toStdString();
    }

    void addProduct(int id, const QString &name, const QString &file, const QVariant &vendorID,
                    int active = 1)
    {
        db->execute(QStringLiteral("INSERT INTO Products (ID, ProductName, ProductFile, VendorID, "
                                   "Active) VALUES (?, ?, ?, ?, ?)"),
                    {id, name, file, vendorID, active});
    }

    ProductStyleChoices load() const
    {
        return ProductStyleChoices::load(*db, context.productDirectory);
    }

    static QStringList names(const ProductStyleChoices &choices, qint32 vendorID)
    {
        QStringList list;
        for (const auto *p : choices.productsOf(vendorID))
            list << p->name;
        return list;
    }

    QTemporaryDir dir;
    std::shared_ptr<Database> db;
    ItemDialogContext context;
};

QString Text(const StyleChoice &c)
{
    return QStringLiteral("%1/%2/%3").arg(c.vendorID).arg(c.productID).arg(c.style);
}

QString Text(const std::optional<StyleChoice> &c)
{
    return c ? Text(*c) : QStringLiteral("none");
}

QStringList Rows(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QString CurrentText(const QListWidget *list)
{
    return list->currentItem() ? list->currentItem()->text() : QString();
}

// Acts on the chooser once SelectProductStyle has shown it modally; a chooser the action
// leaves open is cancelled, so that a failing test cannot hang.
void WhenShown(std::function<void(QDialog *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmSelectProductStyle"))
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

struct Controls
{
    explicit Controls(QDialog *d)
        : vendor(d->findChild<QComboBox *>("cboVendor")),
          product(d->findChild<QListWidget *>("lstProduct")),
          style(d->findChild<QListWidget *>("lstStyle")), note(d->findChild<QLabel *>("lblNote")),
          ok(d->findChild<QPushButton *>("cmdOK")), cancel(d->findChild<QPushButton *>("cmdCancel"))
    {}
    bool complete() const { return vendor && product && style && note && ok && cancel; }

    QComboBox *vendor;
    QListWidget *product;
    QListWidget *style;
    QLabel *note;
    QPushButton *ok;
    QPushButton *cancel;
};

} // namespace

TEST_F(SelectProductStyleTest, shouldOfferVendorsProductsAndTheStylesTheirFilesList)
{
    const ProductStyleChoices choices = load();
    EXPECT_EQ(choices.note(), QString());

    QStringList vendors;
    for (const auto &v : choices.vendors())
        vendors << QStringLiteral("%1 %2").arg(v.id).arg(v.name);
    EXPECT_EQ(vendors,
              QStringList({"2 Cedar & Slat Co.", "3 Lumen Textiles", "1 Northwind Mills"}));

    // Panel Track is Lumen's own and also sold through Northwind (ProductVendors).
    EXPECT_EQ(names(choices, 1), QStringList({"Panel Track", "Roller Shade"}));
    EXPECT_EQ(names(choices, 2), QStringList({"Wood Blind"}));
    EXPECT_EQ(names(choices, 3), QStringList({"Cellular Shade", "Panel Track"}));
    EXPECT_EQ(names(choices, 99), QStringList());

    EXPECT_EQ(choices.stylesOf(1), QStringList({"Standard", "Cordless", "Motorized"}));
    EXPECT_EQ(choices.stylesOf(2), QStringList({"2 Inch Slat", "2.5 Inch Slat"}));
    EXPECT_EQ(choices.stylesOf(3),
              QStringList({"Single Cell", "Double Cell", "Top Down Bottom Up"}));
    EXPECT_EQ(choices.stylesOf(4), QStringList({"3 Panel", "4 Panel", "5 Panel"}));
    EXPECT_EQ(choices.stylesOf(99), QStringList());
    EXPECT_EQ(choices.product(4)->note, QString());
}

TEST_F(SelectProductStyleTest, shouldKeepProductsWhoseFilesCannotBeReadWithANote)
{
    QFile broken(dir.filePath(QStringLiteral("broken.xml")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<Product><unclosed>");
    broken.close();
    addProduct(5, QStringLiteral("Shutter"), QStringLiteral("missing.xml"), 1);
    addProduct(6, QStringLiteral("Awning"), broken.fileName(), 1);
    addProduct(7, QStringLiteral("Drapery"), QStringLiteral("  "), 1);

    const ProductStyleChoices choices = load();
    EXPECT_EQ(names(choices, 1),
              QStringList({"Awning", "Drapery", "Panel Track", "Roller Shade", "Shutter"}));
    for (int id : {5, 6, 7})
        EXPECT_EQ(choices.stylesOf(id), QStringList()) << id;
    EXPECT_TRUE(choices.product(5)->note.contains(
        QDir(context.productDirectory).filePath(QStringLiteral("missing.xml"))))
        << choices.product(5)->note.toStdString();
    EXPECT_TRUE(choices.product(6)->note.contains(broken.fileName()))
        << choices.product(6)->note.toStdString();
    EXPECT_EQ(choices.product(7)->note, QStringLiteral("No product file is named for Drapery."));
}

TEST_F(SelectProductStyleTest, shouldGatherProductsWithoutVendorAndLeaveInactiveOnesOut)
{
    addProduct(5, QStringLiteral("Shutter"), QStringLiteral("roller-shade.xml"), QVariant());
    addProduct(6, QStringLiteral("Old Shade"), QStringLiteral("roller-shade.xml"), 1, 0);
    // No vendor of its own, but supplied through ProductVendors.
    addProduct(7, QStringLiteral("Valance"), QStringLiteral("wood-blind.xml"), QVariant());
    db->execute(QStringLiteral("INSERT INTO ProductVendors (ProductID, VendorID) VALUES (?, ?)"),
                {7, 2});

    const ProductStyleChoices choices = load();
    ASSERT_EQ(choices.vendors().size(), 4u);
    EXPECT_EQ(choices.vendors().back().id, 0);
    EXPECT_EQ(choices.vendors().back().name, QStringLiteral("(No vendor)"));
    EXPECT_EQ(names(choices, 0), QStringList({"Shutter"}));
    EXPECT_EQ(names(choices, 2), QStringList({"Valance", "Wood Blind"}));
    EXPECT_EQ(choices.vendorOf(7), std::optional<qint32>(2));
    EXPECT_EQ(names(choices, 1), QStringList({"Panel Track", "Roller Shade"}));
    // Inactive products are not offered, but a line that still holds one can be validated.
    EXPECT_EQ(Text(choices.validate({1, 6, "standard"})), QStringLiteral("1/6/Standard"));
    EXPECT_EQ(Text(choices.validate({0, 5, "Cordless"})), QStringLiteral("0/5/Cordless"));
}

TEST_F(SelectProductStyleTest, shouldValidateChoicesAndStartFromAsMuchOfTheGivenOneAsExists)
{
    const ProductStyleChoices choices = load();
    EXPECT_EQ(Text(choices.validate({1, 1, "cordless"})), QStringLiteral("1/1/Cordless"));
    EXPECT_EQ(Text(choices.validate({1, 4, "4 Panel"})), QStringLiteral("1/4/4 Panel"));
    EXPECT_EQ(Text(choices.validate({2, 4, "4 Panel"})), QStringLiteral("none"));
    EXPECT_EQ(Text(choices.validate({1, 1, "4 Panel"})), QStringLiteral("none"));
    EXPECT_EQ(Text(choices.validate({1, 1, QString()})), QStringLiteral("none"));
    EXPECT_EQ(Text(choices.validate({1, 99, "Standard"})), QStringLiteral("none"));

    EXPECT_EQ(Text(choices.initialSelection({2, 2, "2.5 inch slat"})),
              QStringLiteral("2/2/2.5 Inch Slat"));
    EXPECT_EQ(Text(choices.initialSelection({1, 4, "5 Panel"})), QStringLiteral("1/4/5 Panel"));
    // A vendor that does not supply the product gives way to the product's own.
    EXPECT_EQ(Text(choices.initialSelection({2, 4, "5 Panel"})), QStringLiteral("3/4/5 Panel"));
    EXPECT_EQ(Text(choices.initialSelection({0, 1, "Gone"})), QStringLiteral("1/1/"));
    EXPECT_EQ(Text(choices.initialSelection({3, 99, "Standard"})), QStringLiteral("3/0/"));
    EXPECT_EQ(Text(choices.initialSelection({77, 0, QString()})), QStringLiteral("2/0/"));
}

TEST_F(SelectProductStyleTest, shouldSayWhyWhenTheCatalogueCannotBeRead)
{
    db->execute(QStringLiteral("DROP TABLE ProductVendors"));
    const ProductStyleChoices choices = load();
    EXPECT_TRUE(choices.note().startsWith(
        QStringLiteral("The products cannot be read from the company database")))
        << choices.note().toStdString();
    EXPECT_EQ(choices.vendors().size(), 0u);
    EXPECT_EQ(choices.product(1), nullptr);
    EXPECT_EQ(Text(choices.initialSelection({1, 1, "Standard"})), QStringLiteral("0/0/"));
}

TEST_F(SelectProductStyleTest, shouldWriteTheChoiceMadeInTheWindowOnOK)
{
    qint32 vendorID = 2, productID = 2;
    QString style = QStringLiteral("2.5 inch slat");
    bool checked = false;
    WhenShown([&](QDialog *dialog) {
        const Controls c(dialog);
        ASSERT_TRUE(c.complete());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Product and Style"));
        EXPECT_EQ(c.vendor->currentText(), QStringLiteral("Cedar & Slat Co."));
        EXPECT_EQ(CurrentText(c.product), QStringLiteral("Wood Blind"));
        EXPECT_EQ(CurrentText(c.style), QStringLiteral("2.5 Inch Slat"));
        EXPECT_TRUE(c.ok->isEnabled());

        c.vendor->setCurrentIndex(c.vendor->findText(QStringLiteral("Northwind Mills")));
        EXPECT_EQ(Rows(c.product), QStringList({"Panel Track", "Roller Shade"}));
        EXPECT_EQ(Rows(c.style), QStringList());
        EXPECT_FALSE(c.ok->isEnabled());

        c.product->setCurrentItem(c.product->findItems("Panel Track", Qt::MatchExactly).front());
        EXPECT_EQ(Rows(c.style), QStringList({"3 Panel", "4 Panel", "5 Panel"}));
        EXPECT_FALSE(c.ok->isEnabled());

        c.style->setCurrentItem(c.style->item(1));
        EXPECT_TRUE(c.ok->isEnabled());
        checked = true;
        QTest::mouseClick(c.ok, Qt::LeftButton);
    });
    EXPECT_EQ(SelectProductStyle(context, vendorID, productID, style, false), true);
    EXPECT_TRUE(checked);
    EXPECT_EQ(vendorID, 1);
    EXPECT_EQ(productID, 4);
    EXPECT_EQ(style, QStringLiteral("4 Panel"));
}

TEST_F(SelectProductStyleTest, shouldChangeNothingOnCancelOrEscape)
{
    for (const bool escape : {false, true}) {
        qint32 vendorID = 3, productID = 3;
        QString style = QStringLiteral("Double Cell");
        WhenShown([&](QDialog *dialog) {
            const Controls c(dialog);
            ASSERT_TRUE(c.complete());
            EXPECT_EQ(CurrentText(c.style), QStringLiteral("Double Cell"));
            c.vendor->setCurrentIndex(c.vendor->findText(QStringLiteral("Northwind Mills")));
            c.product->setCurrentRow(1);
            c.style->setCurrentRow(0);
            EXPECT_TRUE(c.ok->isEnabled());
            if (escape)
                QTest::keyClick(c.style, Qt::Key_Escape);
            else
                QTest::mouseClick(c.cancel, Qt::LeftButton);
            EXPECT_FALSE(dialog->isVisible());
        });
        EXPECT_EQ(SelectProductStyle(context, vendorID, productID, style, false), false) << escape;
        EXPECT_EQ(vendorID, 3);
        EXPECT_EQ(productID, 3);
        EXPECT_EQ(style, QStringLiteral("Double Cell"));
    }
}

TEST_F(SelectProductStyleTest, shouldFixTheProductWhenOnlyTheStyleMayChange)
{
    qint32 vendorID = 0, productID = 4;
    QString style;
    WhenShown([&](QDialog *dialog) {
        const Controls c(dialog);
        ASSERT_TRUE(c.complete());
        EXPECT_FALSE(c.vendor->isEnabled());
        EXPECT_FALSE(c.product->isEnabled());
        EXPECT_EQ(c.vendor->currentText(), QStringLiteral("Lumen Textiles"));
        EXPECT_EQ(Rows(c.product), QStringList({"Panel Track"}));
        EXPECT_EQ(CurrentText(c.product), QStringLiteral("Panel Track"));
        EXPECT_EQ(Rows(c.style), QStringList({"3 Panel", "4 Panel", "5 Panel"}));
        EXPECT_FALSE(c.ok->isEnabled());

        // A row that is current without being chosen becomes the choice when clicked.
        c.style->setCurrentItem(c.style->item(0), QItemSelectionModel::NoUpdate);
        EXPECT_FALSE(c.ok->isEnabled());
        QTest::mouseClick(c.style->viewport(), Qt::LeftButton, {},
                          c.style->visualItemRect(c.style->item(0)).center());
        EXPECT_TRUE(c.ok->isEnabled());

        // A double click on a style chooses it.
        QListWidgetItem *item = c.style->item(2);
        const QPoint at = c.style->visualItemRect(item).center();
        QTest::mouseClick(c.style->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(c.style->viewport(), Qt::LeftButton, {}, at);
    });
    EXPECT_EQ(SelectProductStyle(context, vendorID, productID, style, true), true);
    EXPECT_EQ(vendorID, 3);
    EXPECT_EQ(productID, 4);
    EXPECT_EQ(style, QStringLiteral("5 Panel"));
}

TEST_F(SelectProductStyleTest, shouldShowWhyNothingCanBeChosen)
{
    addProduct(5, QStringLiteral("Shutter"), QStringLiteral("missing.xml"), 1);
    // A product whose file is missing, then a fixed product the catalogue does not know.
    for (const qint32 given : {5, 99}) {
        qint32 vendorID = 1, productID = given;
        QString style = QStringLiteral("Standard");
        QString note;
        WhenShown([&](QDialog *dialog) {
            const Controls c(dialog);
            ASSERT_TRUE(c.complete());
            EXPECT_EQ(c.style->count(), 0);
            EXPECT_FALSE(c.ok->isEnabled());
            note = c.note->text();
            // OK cannot be forced through with nothing chosen.
            dialog->accept();
            EXPECT_TRUE(dialog->isVisible());
        });
        EXPECT_EQ(SelectProductStyle(context, vendorID, productID, style, given == 99), false);
        EXPECT_EQ(productID, given);
        EXPECT_EQ(style, QStringLiteral("Standard"));
        if (given == 5)
            EXPECT_TRUE(note.contains(QStringLiteral("missing.xml"))) << note.toStdString();
        else
            EXPECT_EQ(note, QStringLiteral("Product 99 is not in the company's catalogue."));
    }
}
