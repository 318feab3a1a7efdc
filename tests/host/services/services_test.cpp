// The service objects as the component reaches them: late-bound, by member name, over a
// seeded database in a temporary folder.
#include "host/database/database.h"
#include "host/database/seed.h"
#include "host/services/sharedcodelibrary.h"
#include "support/scriptedobject.h"

#include <zeltpc5/dispatch.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::testing::ScriptedObject;

namespace {

struct RecordingPresenter : MessagePresenter
{
    bool present(const QString &heading, const QString &text, bool offerMemory) override
    {
        shown << heading + QStringLiteral(" / ") + text +
                     (offerMemory ? QStringLiteral(" [memory]") : QString());
        return answerDontShowAgain;
    }
    QStringList shown;
    bool answerDontShowAgain = false;
};

class ServicesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = Database::open(ConnectionSettings::sqliteFile(dir.filePath(QStringLiteral("c.db"))),
                            OpenMode::CreateIfMissing);
        SeedDemoCompany(*db);
        presenter = std::make_shared<RecordingPresenter>();
        ServiceOptions options;
        options.productDirectory = dir.filePath(QStringLiteral("products"));
        options.messageSettingsFile = dir.filePath(QStringLiteral("messages.ini"));
        options.messagePresenter = presenter;
        scl = CreateSharedCodeLibrary(db, options);
    }

    DispatchPtr object(QStringView member) const
    {
        return ToObject(Get(scl, member).value).value_or(DispatchPtr());
    }
    Variant common(QStringView member, VariantList args) const
    {
        const CallResult r = Call(object(u"Common"), member, std::move(args));
        EXPECT_TRUE(r.ok()) << r.status.toString().toStdString();
        return r.value;
    }
    QString commonText(QStringView member, VariantList args) const
    {
        return ToText(common(member, std::move(args))).value_or(QStringLiteral("<not text>"));
    }
    // ExecuteRead's document as text; "<nothing>" when no document came back.
    static QString Read(const DispatchPtr &session, const QString &sql)
    {
        const CallResult r = Call(session, u"ExecuteRead", {sql});
        EXPECT_TRUE(r.ok());
        const DispatchPtr doc = ToObject(r.value).value_or(DispatchPtr());
        if (!doc)
            return QStringLiteral("<nothing>");
        return ToText(Get(doc, u"xml").value).value_or(QString());
    }

    QTemporaryDir dir;
    std::shared_ptr<Database> db;
    std::shared_ptr<RecordingPresenter> presenter;
    DispatchPtr scl;
};

} // namespace

TEST_F(ServicesTest, shouldIdentifyTheCompany)
{
    const DispatchPtr security = object(u"Security");
    EXPECT_EQ(ToText(Get(security, u"OrganizationName").value),
              QStringLiteral("Harbor Blinds & Shades"));
    EXPECT_EQ(ToInt32(Get(security, u"OID").value), 1);
    EXPECT_TRUE(Get(security, u"SID").ok());
}

TEST_F(ServicesTest, shouldReturnRecordsWithNullsDatesAndRegionalNumbers)
{
    const DispatchPtr session = object(u"ZELTSQL");
    EXPECT_EQ(Read(session, QStringLiteral("SELECT OverrideProductSettings,FractionRounding,"
                                           "DimensionDisplayFormat FROM Products WHERE ID = 1")),
              QStringLiteral("<Records><Record><OverrideProductSettings>1</OverrideProductSettings>"
                             "<FractionRounding>2</FractionRounding><DimensionDisplayFormat>"
                             "Fraction</DimensionDisplayFormat></Record></Records>"));
    EXPECT_EQ(Read(session, QStringLiteral("SELECT StartsOn, EndsOn, Value FROM AdditionalCharges "
                                           "WHERE ID = 6")),
              QStringLiteral("<Records><Record><StartsOn>2024-03-01T00:00:00</StartsOn>"
                             "<EndsOn null=\"true\"/><Value>2.5</Value></Record></Records>"));
    EXPECT_EQ(Read(session, QStringLiteral("SELECT ID FROM Products WHERE ID = 99")),
              QStringLiteral("<Records/>"));
    // Column names that are not element names, and line breaks in values.
    EXPECT_EQ(Read(session, QStringLiteral("SELECT COUNT(*), 'a' || char(13, 10) || '<b>' AS "
                                           "\"Two Lines\" FROM Vendors")),
              QStringLiteral("<Records><Record><COUNT___>3</COUNT___><Two_Lines>a&amp;#13;&amp;#10;"
                             "&lt;b&gt;</Two_Lines></Record></Records>"));

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = Read(session, QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 1"));
    QLocale::setDefault(before);
    EXPECT_EQ(german, QStringLiteral("<Records><Record><Margin>0,35</Margin></Record></Records>"));
}

TEST_F(ServicesTest, shouldRunTheComponentsStatementsOnSqlite)
{
    const DispatchPtr session = object(u"ZELTSQL");
    EXPECT_EQ(
        ToInt32(Call(session, u"ExecuteScaler",
                     {QStringLiteral("SELECT ID FROM DiscountGroups WHERE DiscountGroupType = 1"),
                      QString(), QStringLiteral("0")})
                    .value),
        1);
    EXPECT_TRUE(Read(session, QStringLiteral("SELECT * FROM AdditionalCharges WHERE Enabled <> 0 "
                                             "AND (ChargeType = 4 OR ChargeType = 256)"))
                    .contains(u"<ChargeName>Motor Installation</ChargeName>"));
    EXPECT_TRUE(Read(session, QStringLiteral("SELECT Discount, DiscountAD, High, Low, Margin, "
                                             "MarginAD, OptionName, OptionValue FROM Discounts "
                                             "WHERE DiscountGroupID = 1 AND DiscountLevel = 3 AND "
                                             "ProductID = 1 AND Style = 'Standard' AND OptionName "
                                             "<> ''"))
                    .contains(u"<OptionValue>Blackout Vinyl</OptionValue>"));
    const QString vendor = commonText(
        u"ExecuteSelect",
        {QStringLiteral("SELECT TOP 1 VendorID FROM ProductVendors WHERE (ProductID = 4)")});
    EXPECT_EQ(vendor, QStringLiteral("<Results><Record><VendorID>1</VendorID></Record></Results>"));
    EXPECT_EQ(
        commonText(u"GetFieldValue", {vendor, QStringLiteral("VendorID"), QStringLiteral("0")}),
        QStringLiteral("1"));
    EXPECT_TRUE(Read(object(u"Database"),
                     QStringLiteral("SELECT * FROM OptionDetailSettings WHERE Location = 0 AND "
                                    "Show <> 0 ORDER BY Sequence, Prefix, OptionName"))
                    .startsWith(u"<Records><Record><ID>1</ID><Location>0</Location>"));
}

TEST_F(ServicesTest, shouldFailQuietlyWithoutHarm)
{
    const DispatchPtr session = object(u"ZELTSQL");
    EXPECT_EQ(Read(session, QStringLiteral("SELECT Nothing FROM Nowhere")),
              QStringLiteral("<nothing>"));
    EXPECT_EQ(Read(session, QStringLiteral("SELECT ID FROM Products; DELETE FROM Products")),
              QStringLiteral("<nothing>"));
    EXPECT_EQ(Read(session, QStringLiteral("DELETE FROM Products")), QStringLiteral("<nothing>"));
    EXPECT_EQ(commonText(u"ExecuteSelect", {QStringLiteral("UPDATE Vendors SET Margin = 0")}),
              QString());
    EXPECT_EQ(db->select(QStringLiteral("SELECT ID FROM Products")).rows.size(), 4u);
    EXPECT_EQ(db->select(QStringLiteral("SELECT ID FROM Vendors WHERE Margin = 0")).rows.size(),
              0u);
    // The group field left empty by the caller: the statement is incomplete.
    EXPECT_EQ(ToInt32(Call(session, u"ExecuteScaler",
                           {QStringLiteral("SELECT DiscountGroupID FROM Customers WHERE ID = "),
                            QString(), QStringLiteral("0")})
                          .value),
              0);
    // NULL, no row and a text that is not a number all give the default.
    for (const char *sql : {"SELECT CustomerDiscountGroupID FROM Customers WHERE ID = 4",
                            "SELECT ID FROM Customers WHERE ID = 99",
                            "SELECT CustomerName FROM Customers WHERE ID = 1"})
        EXPECT_EQ(ToInt32(Call(session, u"ExecuteScaler",
                               {QString::fromLatin1(sql), QString(), QStringLiteral("7")})
                              .value),
                  7)
            << sql;
    EXPECT_EQ(commonText(u"ExecuteSelect", {QStringLiteral("SELEC broken")}), QString());
    EXPECT_EQ(
        commonText(u"GetFieldValue", {QString(), QStringLiteral("Margin"), QStringLiteral("0")}),
        QStringLiteral("0"));
    EXPECT_EQ(commonText(u"GetFieldValue2", {QStringLiteral("<Record><A>1"), QStringLiteral("A")}),
              QString());
}

TEST_F(ServicesTest, shouldCacheIdenticalReadsWithinASessionUntilPreTerminate)
{
    const QString sql = QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 2");
    const DispatchPtr session = object(u"ZELTSQL");
    ASSERT_TRUE(Put(session, u"SessionCachingEnabled", MakeBool(true)).ok());
    EXPECT_EQ(ToBool(Get(session, u"SessionCachingEnabled").value), true);
    const QString first = Read(session, sql);
    const qint32 scalar = ToInt32(Call(session, u"ExecuteScaler",
                                       {QStringLiteral("SELECT COUNT(*) FROM Vendors"), QString(),
                                        QStringLiteral("0")})
                                      .value)
                              .value_or(-1);
    db->execute(QStringLiteral("UPDATE Vendors SET Margin = 0.5 WHERE ID = 2"));
    db->execute(QStringLiteral("INSERT INTO Vendors (ID, VendorName) VALUES (9, 'New')"));

    // Answered from the session's memory...
    EXPECT_EQ(Read(session, sql), first);
    EXPECT_EQ(ToInt32(Call(session, u"ExecuteScaler",
                           {QStringLiteral("SELECT COUNT(*) FROM Vendors"), QString(),
                            QStringLiteral("0")})
                          .value),
              scalar);
    // ...but not by another session, which is a new object with its own (empty) cache.
    const DispatchPtr other = object(u"ZELTSQL");
    EXPECT_NE(other.get(), session.get());
    EXPECT_TRUE(Read(other, sql).contains(u"0.5"));

    ASSERT_TRUE(Call(session, u"PreTerminate").ok());
    EXPECT_TRUE(Read(session, sql).contains(u"0.5"));
    EXPECT_EQ(ToInt32(Call(session, u"ExecuteScaler",
                           {QStringLiteral("SELECT COUNT(*) FROM Vendors"), QString(),
                            QStringLiteral("0")})
                          .value),
              scalar + 1);
}

// While a run holds a caching session, the service object's own reads answer as they first
// did; with no such session, and once it ends, every read sees the database as it is.
TEST_F(ServicesTest, shouldKeepLookUpAnswersOnlyWhileARunHoldsACachingSession)
{
    const DispatchPtr options = object(u"Options");
    const auto option = [&] {
        return ToText(Call(options, u"GetCompanyOption",
                           {QStringLiteral("OrderEntry"), QStringLiteral("OptionDelimiter"),
                            QStringLiteral("?")})
                          .value)
            .value_or(QString());
    };
    const auto name = [&] { return commonText(u"GetProductNameFromID", {MakeInt32(2)}); };
    const auto rename = [&](const QString &product, const QString &delimiter) {
        db->execute(QStringLiteral("UPDATE Products SET ProductName = ? WHERE ID = 2"), {product});
        db->execute(QStringLiteral("UPDATE CompanyOptions SET OptionValue = ? WHERE "
                                   "OptionKey = 'OptionDelimiter'"),
                    {delimiter});
    };

    EXPECT_EQ(name(), QStringLiteral("Wood Blind"));
    rename(QStringLiteral("Blind A"), QStringLiteral("/"));
    EXPECT_EQ(name(), QStringLiteral("Blind A")) << "no run: nothing kept";
    EXPECT_EQ(option(), QStringLiteral("/"));

    DispatchPtr run = object(u"ZELTSQL");
    ASSERT_TRUE(Put(run, u"SessionCachingEnabled", MakeBool(true)).ok());
    EXPECT_EQ(name(), QStringLiteral("Blind A"));
    EXPECT_EQ(option(), QStringLiteral("/"));
    // A session without caching neither opens nor closes the run.
    DispatchPtr plain = object(u"ZELTSQL");
    ASSERT_TRUE(Call(plain, u"PreTerminate").ok());
    rename(QStringLiteral("Blind B"), QStringLiteral(";"));
    EXPECT_EQ(name(), QStringLiteral("Blind A"));
    EXPECT_EQ(option(), QStringLiteral("/"));
    // A second caching session ending leaves the first one's run open.
    DispatchPtr nested = object(u"ZELTSQL");
    ASSERT_TRUE(Put(nested, u"SessionCachingEnabled", MakeBool(true)).ok());
    ASSERT_TRUE(Call(nested, u"PreTerminate").ok());
    EXPECT_EQ(name(), QStringLiteral("Blind A"));

    ASSERT_TRUE(Call(run, u"PreTerminate").ok());
    EXPECT_EQ(name(), QStringLiteral("Blind B"));
    EXPECT_EQ(option(), QStringLiteral(";"));

    // A run whose session is dropped without PreTerminate ends with it.
    run = object(u"ZELTSQL");
    ASSERT_TRUE(Put(run, u"SessionCachingEnabled", MakeBool(true)).ok());
    EXPECT_EQ(name(), QStringLiteral("Blind B"));
    rename(QStringLiteral("Blind C"), QStringLiteral(","));
    EXPECT_EQ(name(), QStringLiteral("Blind B"));
    run = DispatchPtr();
    EXPECT_EQ(name(), QStringLiteral("Blind C"));
    EXPECT_EQ(option(), QStringLiteral(","));
}

TEST_F(ServicesTest, shouldReadFieldsOfRecordsPassedAsTextOrAsDocuments)
{
    const QString results = commonText(
        u"ExecuteSelect",
        {QStringLiteral(
            "SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID IS NULL")});
    EXPECT_EQ(results, QStringLiteral("<Results><Record><OptionName>Mount</OptionName><OptionValue>"
                                      "Inside</OptionValue></Record><Record><OptionName>Hold Down "
                                      "Brackets</OptionName><OptionValue>No</OptionValue></Record>"
                                      "</Results>"));
    const QString record = QStringLiteral("<Record><OptionName>Mount</OptionName>"
                                          "<optionvalue>Inside</optionvalue><Note null=\"true\"/>"
                                          "<Text>a&amp;#13;&amp;#10;b</Text></Record>");
    EXPECT_EQ(commonText(u"GetFieldValue2", {record, QStringLiteral("OptionName")}),
              QStringLiteral("Mount"));
    EXPECT_EQ(commonText(u"GetFieldValue2", {record, QStringLiteral("OptionValue")}),
              QStringLiteral("Inside"));
    EXPECT_EQ(commonText(u"GetFieldValue2", {record, QStringLiteral("Note")}), QString());
    EXPECT_EQ(commonText(u"GetFieldValue2", {record, QStringLiteral("Text")}),
              QStringLiteral("a\r\nb"));
    EXPECT_EQ(commonText(u"GetFieldValue2", {record, QStringLiteral("Missing")}), QString());

    const CallResult doc =
        Call(object(u"Database"), u"ExecuteRead",
             {QStringLiteral("SELECT OptionValue FROM OptionDefaults WHERE ID = 11")});
    EXPECT_EQ(commonText(u"GetFieldValue2", {doc.value, QStringLiteral("OptionValue")}), QString())
        << "a record set is not a record";
    EXPECT_EQ(commonText(u"GetFieldValue",
                         {doc.value, QStringLiteral("OptionValue"), QStringLiteral("?")}),
              QStringLiteral("Outside"));
    EXPECT_EQ(
        commonText(u"GetFieldValue", {doc.value, QStringLiteral("Nope"), QStringLiteral("?")}),
        QStringLiteral("?"));
}

TEST_F(ServicesTest, shouldReadFieldsOfRecordsPassedAsNodeObjects)
{
    const QString record = QStringLiteral("<Record><OptionName>Mount</OptionName>"
                                          "<optionvalue>Inside</optionvalue><Note null=\"true\"/>"
                                          "<Text>a&amp;#13;&amp;#10;b</Text></Record>");
    const QString field2 = QStringLiteral("GetFieldValue2");
    auto read = [&](const Ref<ScriptedObject> &node, const char *field) {
        return commonText(field2, {MakeObject(node), QString::fromLatin1(field)});
    };

    // A node that offers its XML is read exactly as the text is.
    auto element = ScriptedObject::create(QStringLiteral("XmlNode"));
    element->set(QStringLiteral("xml"), record);
    for (const char *field : {"OptionName", "OptionValue", "Note", "Text", "Missing"})
        EXPECT_EQ(read(element, field), commonText(field2, {record, QString::fromLatin1(field)}))
            << field;

    // A node without it is walked: its fields found by name, NULL and line breaks as above.
    auto column = [](const QString &text, bool isNull) {
        auto c = ScriptedObject::create(QStringLiteral("XmlNode"));
        c->set(QStringLiteral("text"), text);
        c->set(QStringLiteral("selectSingleNode"),
               MakeObject(isNull ? ScriptedObject::create(QStringLiteral("XmlNode")) : nullptr));
        return c;
    };
    const std::map<QString, Ref<ScriptedObject>> columns = {
        {QStringLiteral("OptionName"), column(QStringLiteral("Mount"), false)},
        {QStringLiteral("Note"), column(QString(), true)},
        {QStringLiteral("Text"), column(QStringLiteral("a&#13;&#10;b"), false)},
    };
    auto walked = ScriptedObject::create(QStringLiteral("XmlNode"));
    walked->on(QStringLiteral("selectSingleNode"), [&columns](VariantList &args) {
        const auto it = columns.find(ToText(args.value(0)).value_or(QString()));
        return MakeObject(it == columns.end() ? DispatchPtr() : DispatchPtr(it->second));
    });
    EXPECT_EQ(read(walked, "OptionName"), QStringLiteral("Mount"));
    EXPECT_EQ(read(walked, "Note"), QString());
    EXPECT_EQ(read(walked, "Text"), QStringLiteral("a\r\nb"));
    EXPECT_EQ(read(walked, "Missing"), QString());
    // A field name is never taken as an expression.
    walked->clearCalls();
    EXPECT_EQ(read(walked, "OptionName | ../*"), QString());
    EXPECT_EQ(read(walked, "*"), QString());
    EXPECT_EQ(walked->calls(), QStringList());

    EXPECT_EQ(commonText(field2, {MakeObject(nullptr), QStringLiteral("OptionName")}), QString());
    EXPECT_EQ(read(ScriptedObject::create(QStringLiteral("Other")), "OptionName"), QString());
}

TEST_F(ServicesTest, shouldBuildStringsByTheTemplateRule)
{
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    EXPECT_EQ(commonText(u"BuildString", {QStringLiteral("{0}{1}{0}"), a, b}),
              QStringLiteral("aba"));
    EXPECT_EQ(commonText(u"BuildString", {QStringLiteral("{0} {1} {2}"), a, b}),
              QStringLiteral("a b {2}"));
    // Rounds run upwards on the text filled so far.
    EXPECT_EQ(commonText(u"BuildString", {QStringLiteral("{0}"), QStringLiteral("x{1}"), b}),
              QStringLiteral("xb"));
    EXPECT_EQ(commonText(u"BuildString", {QStringLiteral("{1}"), b, QStringLiteral("y{0}")}),
              QStringLiteral("y{0}"));
    EXPECT_EQ(
        commonText(u"BuildString",
                   {QStringLiteral("SELECT Margin FROM Vendors WHERE ID = {0}"), MakeInt32(3)}),
        QStringLiteral("SELECT Margin FROM Vendors WHERE ID = 3"));
    EXPECT_EQ(
        commonText(u"BuildString", {QStringLiteral("{0}|{1}"), MakeNull(), MakeDouble(1234.5)}),
        QStringLiteral("{0}|1234.5"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = commonText(u"BuildString", {QStringLiteral("{0}"), MakeDouble(1234.5)});
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(german, QStringLiteral("1234,5"));
    EXPECT_FALSE(Call(object(u"Common"), u"BuildString", {QStringLiteral("{0}")}).ok());
}

TEST_F(ServicesTest, shouldLookUpProductsVendorsAndOptions)
{
    EXPECT_EQ(commonText(u"GetProductNameFromID", {MakeInt32(2)}), QStringLiteral("Wood Blind"));
    EXPECT_EQ(commonText(u"GetProductNameFromID", {QStringLiteral("3")}),
              QStringLiteral("Cellular Shade"));
    EXPECT_EQ(commonText(u"GetProductNameFromID", {MakeInt32(42)}), QString());
    EXPECT_EQ(commonText(u"GetProductFileFromID2", {MakeInt32(1)}),
              QDir(dir.filePath(QStringLiteral("products")))
                  .filePath(QStringLiteral("roller-shade.xml")));
    EXPECT_EQ(commonText(u"GetProductFileFromID2", {MakeInt32(42)}), QString());
    EXPECT_EQ(ToInt32(common(u"GetProductCostSource", {MakeInt32(4)})), 2);
    EXPECT_EQ(ToInt32(common(u"GetProductPriceSource", {MakeInt32(2)})), 3);
    EXPECT_EQ(ToInt32(common(u"GetProductPriceMarginSource", {MakeInt32(2)})), 1);
    EXPECT_EQ(ToInt32(common(u"GetProductPriceMarginSource", {MakeInt32(42)})), 0);
    EXPECT_EQ(commonText(u"GetVendorIDFromProductID", {MakeInt32(4)}), QStringLiteral("3"));
    EXPECT_EQ(commonText(u"GetVendorIDFromProductID", {MakeInt32(42)}), QString());
    EXPECT_EQ(commonText(u"GetVendorName", {QStringLiteral("2")}),
              QStringLiteral("Cedar & Slat Co."));
    EXPECT_FALSE(Call(object(u"Common"), u"GetVendorName", {QStringLiteral("two")}).ok());

    const DispatchPtr options = object(u"Options");
    auto option = [&](const char *section, const char *key, const Variant &fallback) {
        return ToText(Call(options, u"GetCompanyOption",
                           {QString::fromLatin1(section), QString::fromLatin1(key), fallback})
                          .value)
            .value_or(QStringLiteral("<not text>"));
    };
    EXPECT_EQ(option("OrderEntry", "OptionsNoShow", QString()), QStringLiteral("No,N/A,None,0"));
    EXPECT_EQ(option("orderentry", "OPTIONDELIMITER", QString()), QStringLiteral(" | "));
    EXPECT_EQ(option("OrderEntry", "Missing", QStringLiteral("fallback")),
              QStringLiteral("fallback"));
}

TEST_F(ServicesTest, shouldFindProductFilesInTheFolderOfTheEnvironment)
{
    qputenv("ZELTPC5_PRODUCT_DIR", "/srv/zeltpc5/products");
    const DispatchPtr fromEnvironment = CreateSharedCodeLibrary(db);
    qunsetenv("ZELTPC5_PRODUCT_DIR");
    const DispatchPtr common =
        ToObject(Get(fromEnvironment, u"Common").value).value_or(DispatchPtr());
    EXPECT_EQ(ToText(Call(common, u"GetProductFileFromID2", {MakeInt32(3)}).value),
              QStringLiteral("/srv/zeltpc5/products/cellular-shade.xml"));
}

TEST_F(ServicesTest, shouldHandOutConnectionsThatClose)
{
    const DispatchPtr conn = object(u"CurrentCompanyConn");
    ASSERT_TRUE(conn);
    EXPECT_EQ(ToInt32(Get(conn, u"State").value), 1);
    EXPECT_TRUE(Call(conn, u"Close").ok());
    EXPECT_EQ(ToInt32(Get(conn, u"State").value), 0);
    EXPECT_EQ(ToInt32(Get(object(u"CurrentCompanyConn"), u"State").value), 1);
}

TEST_F(ServicesTest, shouldRememberMessagesTheUserTurnedOff)
{
    ASSERT_TRUE(
        Call(scl, u"ShowMessageStyle1", {QStringLiteral("Heading"), QStringLiteral("Body")}).ok());
    const VariantList notice{QStringLiteral("Notice"), QStringLiteral("Clicking OK will apply.")};
    Call(scl, u"ShowMessageStyle1WithMemory", notice);
    presenter->answerDontShowAgain = true;
    Call(scl, u"ShowMessageStyle1WithMemory", notice);
    Call(scl, u"ShowMessageStyle1WithMemory", notice);
    Call(scl, u"ShowMessageStyle1WithMemory",
         {QStringLiteral("Notice"), QStringLiteral("Other text")});
    EXPECT_EQ(presenter->shown,
              QStringList({QStringLiteral("Heading / Body"),
                           QStringLiteral("Notice / Clicking OK will apply. [memory]"),
                           QStringLiteral("Notice / Clicking OK will apply. [memory]"),
                           QStringLiteral("Notice / Other text [memory]")}));
    // The answer outlives the object: it is the user's.
    auto again = std::make_shared<RecordingPresenter>();
    ServiceOptions options;
    options.messageSettingsFile = dir.filePath(QStringLiteral("messages.ini"));
    options.messagePresenter = again;
    Call(CreateSharedCodeLibrary(db, options), u"ShowMessageStyle1WithMemory", notice);
    EXPECT_TRUE(again->shown.isEmpty());
}

TEST_F(ServicesTest, shouldShowAMessageBoxWithADontShowAgainBox)
{
    ServiceOptions options;
    options.messageSettingsFile = dir.filePath(QStringLiteral("boxes.ini"));
    const DispatchPtr host = CreateSharedCodeLibrary(db, options);
    int boxes = 0;
    auto answer = [&] {
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            ++boxes;
            EXPECT_EQ(box->text(), QStringLiteral("Notice"));
            EXPECT_EQ(box->informativeText(), QStringLiteral("Body"));
            if (auto *chk = box->findChild<QCheckBox *>(QStringLiteral("chkDontShowAgain")))
                chk->setChecked(true);
            box->accept();
        });
    };
    answer();
    Call(host, u"ShowMessageStyle1", {QStringLiteral("Notice"), QStringLiteral("Body")});
    answer();
    Call(host, u"ShowMessageStyle1WithMemory", {QStringLiteral("Notice"), QStringLiteral("Body")});
    EXPECT_EQ(boxes, 2);
    Call(host, u"ShowMessageStyle1WithMemory", {QStringLiteral("Notice"), QStringLiteral("Body")});
    EXPECT_EQ(boxes, 2);
}

namespace {

// Item dialogs that answer with a fixed choice, or decline.
struct ScriptedDialogs : ItemDialogs
{
    bool ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                bool styleOnly) override
    {
        asked << QStringLiteral("select %1 %2 %3 %4")
                     .arg(vendorID)
                     .arg(productID)
                     .arg(style)
                     .arg(styleOnly);
        if (!confirm)
            return false;
        vendorID = 2;
        productID = 3;
        style = QStringLiteral("Single Cell");
        return true;
    }
    bool ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                             QString &priceCostXML, qint32 mode) override
    {
        asked << QStringLiteral("edit %1 %2 %3").arg(productID).arg(style).arg(mode);
        if (!confirm)
            return false;
        itemXML = QStringLiteral("<ItemData/>");
        priceCostXML = QStringLiteral("<PriceCostData/>");
        return true;
    }
    QStringList asked;
    bool confirm = true;
};

} // namespace

// The component reads the user's choice from its by-reference arguments: written on OK, left
// alone on Cancel, and false without dialogs at all.
TEST_F(ServicesTest, itemDialogsAnswerThroughTheArguments)
{
    auto dialogs = std::make_shared<ScriptedDialogs>();
    ServiceOptions options;
    options.itemDialogs = dialogs;
    const DispatchPtr withDialogs = CreateSharedCodeLibrary(db, options);

    VariantList select{MakeInt32(1), MakeInt32(1), QStringLiteral("Standard"), MakeBool(false)};
    Variant result;
    ASSERT_TRUE(
        CallByName(withDialogs, u"ShowSelectProductStyle", CallType::Method, select, &result).ok());
    EXPECT_EQ(ToBool(result), true);
    EXPECT_EQ(ToInt32(select[0]), 2);
    EXPECT_EQ(ToInt32(select[1]), 3);
    EXPECT_EQ(ToText(select[2]), QStringLiteral("Single Cell"));
    EXPECT_EQ(dialogs->asked.value(0), QStringLiteral("select 1 1 Standard 0"));

    dialogs->confirm = false;
    VariantList edit{MakeInt32(1),           QStringLiteral("Standard"),
                     QStringLiteral("<a/>"), QStringLiteral("<b/>"),
                     MakeObject({}),         MakeInt32(54)};
    ASSERT_TRUE(
        CallByName(withDialogs, u"ShowEditProductItem", CallType::Method, edit, &result).ok());
    EXPECT_EQ(ToBool(result), false);
    EXPECT_EQ(ToText(edit[2]), QStringLiteral("<a/>"));
    EXPECT_EQ(ToText(edit[3]), QStringLiteral("<b/>"));
    EXPECT_EQ(dialogs->asked.value(1), QStringLiteral("edit 1 Standard 54"));

    dialogs->confirm = true;
    ASSERT_TRUE(
        CallByName(withDialogs, u"ShowEditProductItem", CallType::Method, edit, &result).ok());
    EXPECT_EQ(ToBool(result), true);
    EXPECT_EQ(ToText(edit[2]), QStringLiteral("<ItemData/>"));

    // The service object of the fixture has no dialogs.
    ASSERT_TRUE(CallByName(scl, u"ShowSelectProductStyle", CallType::Method, select, &result).ok());
    EXPECT_EQ(ToBool(result), false);
}
