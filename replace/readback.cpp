#include "replace/readback.h"

#include "pricing/itemfields.h"
#include "pricing/optiondescriptions.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <QHash>

namespace zeltpc5 {

namespace {

const QString ProductSettingsQuery = QStringLiteral(
    "SELECT OverrideProductSettings,FractionRounding,DimensionDisplayFormat FROM Products WHERE "
    "ID = {0}");
const QString CompanyDefaultsQuery =
    QStringLiteral("SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID IS NULL");
const QString ProductDefaultsQuery =
    QStringLiteral("SELECT OptionName, OptionValue FROM OptionDefaults WHERE ProductID = ");

void applyDefaults(const QString &sql, ProductEngine &engine, const HostServices &host)
{
    const auto doc = host.SelectDocument(sql);
    if (!doc)
        return;
    for (const XmlNode &row : doc->selectNodes(QStringLiteral("Results/Record")))
        engine.SetOptionValue(host.GetFieldValue2(row, QStringLiteral("OptionName")),
                              host.GetFieldValue2(row, QStringLiteral("OptionValue")));
}

// Takes the named container out of ItemData and puts a fresh empty one at the end.
XmlNode replaceContainer(const XmlNode &itemData, const QString &name, bool createMissing)
{
    const XmlNode old = GetChildElement(name, itemData, createMissing);
    if (old)
        itemData.removeChild(old);
    return AppendChildElement(name, itemData);
}

} // namespace

void ApplyProductDimensionSettings(qint32 productID, ProductEngine &engine, SqlSession &session)
{
    const auto doc = session.ExecuteReadDocument(FormatTemplate(ProductSettingsQuery, {productID}));
    if (!doc)
        return;
    const XmlNode row = doc->selectSingleNode(QStringLiteral("Records/Record"));
    if (!row || !GetXMLBoolean(QStringLiteral("OverrideProductSettings"), row, false))
        return;
    switch (GetXMLInteger(QStringLiteral("FractionRounding"), row, 0)) {
    case 1:
        engine.setRoundDown(0);
        break;
    case 2:
        engine.setRoundDown(1);
        break;
    default:
        break;
    }
    engine.setDimensionDisplayFormat(GetXMLValue(QStringLiteral("DimensionDisplayFormat"), row));
}

void ApplyOptionDefaults(qint32 productID, ProductEngine &engine, const HostServices &host)
{
    applyDefaults(CompanyDefaultsQuery, engine, host);
    applyDefaults(ProductDefaultsQuery + QString::number(productID), engine, host);
}

bool IsProcessableOption(const XmlNode &option)
{
    const qint16 type = GetXMLInteger(QStringLiteral("Type"), option, 0);
    if (type == 6 || type == 7)
        return false;
    return GetXMLBoolean(QStringLiteral("Visible"), option, false) ||
           GetXMLBoolean(QStringLiteral("ProcessIfHidden"), option, false);
}

QString ReadBackItem(const QString &baseItemXml, ProductEngine &engine, const HostServices &host)
{
    auto doc = LoadItemXML(baseItemXml);
    if (!doc || !ReadBackItem(*doc, engine, host))
        return QString();
    return doc->xml();
}

bool ReadBackItem(XmlDocument &item, ProductEngine &engine, const HostServices &host)
{
    const XmlNode itemData = FindChildNode(item, QStringLiteral("ItemData"));
    if (!itemData)
        return false;

    const XmlNode options = replaceContainer(itemData, QStringLiteral("Options"), true);
    // The option each name finds, as GetOptionElement's search would find it (the first whose
    // stored name reads back as that name), kept as the options are written: a search per
    // option made the container quadratic in the options of a line.
    QHash<QString, XmlNode> byName;
    const qint32 count = engine.GetOptionCount();
    for (qint32 i = 0; i < count; ++i) {
        auto longField = [&](const QString &field) {
            return ToInt32(engine.GetOptionDataEx(i, field)).value_or(0);
        };
        auto textField = [&](const QString &field) {
            return ToText(engine.GetOptionDataEx(i, field)).value_or(QString());
        };
        const QString name = textField(QStringLiteral("Name"));
        XmlNode option = byName.value(name);
        if (!option)
            option = GetOptionElement(name, QStringLiteral("Option"), options, true, true);
        SetXMLLong(QStringLiteral("Sequence"), longField(QStringLiteral("Sequence")), option);
        SetXMLValue(QStringLiteral("Name"), name, option);
        SetXMLValue(QStringLiteral("Value"), textField(QStringLiteral("FormattedValue")), option);
        SetXMLValue(QStringLiteral("GroupName"), textField(QStringLiteral("GroupName")), option);
        SetXMLLong(QStringLiteral("Type"), longField(QStringLiteral("Type")), option);
        SetXMLLong(QStringLiteral("GroupSequence"), longField(QStringLiteral("GroupSequence")),
                   option);
        SetXMLLong(QStringLiteral("IsDimension"), longField(QStringLiteral("IsDimension")), option);
        SetXMLLong(QStringLiteral("ProcessIfHidden"), longField(QStringLiteral("ProcessIfHidden")),
                   option);
        SetXMLValue(QStringLiteral("DisplayFormat"), textField(QStringLiteral("DisplayFormat")),
                    option);
        SetXMLInteger(QStringLiteral("Visible"),
                      ToInt16(engine.GetOptionDataEx(i, QStringLiteral("Visible"))).value_or(0),
                      option);
        if (option) {
            const QString stored = GetXMLValue(QStringLiteral("Name"), option);
            if (!byName.contains(stored))
                byName.insert(stored, option);
        }
    }

    const XmlNode messages = replaceContainer(itemData, QStringLiteral("Messages"), false);
    int number = 0;
    auto addMessage = [&](const QString &text, qint16 type) {
        const XmlNode message =
            GetIDElement(QString::number(number++), QStringLiteral("Message"), messages, true);
        SetXMLValue(QStringLiteral("Text"), text, message);
        SetXMLInteger(QStringLiteral("Type"), type, message);
    };
    const qint32 errors = engine.ErrorCount();
    for (qint32 i = 0; i < errors; ++i)
        addMessage(engine.Error(i), 1);
    const qint32 notices = engine.NoticeCount();
    for (qint32 i = 0; i < notices; ++i)
        addMessage(engine.Notice(i), 2);

    const OptionDescriptions d = BuildOptionDescriptions(item.node(), host);
    SetXMLValue(QStringLiteral("Description"), d.Description, itemData);
    SetXMLValue(QStringLiteral("Description2"), d.Description2, itemData);
    SetXMLValue(QStringLiteral("DescriptionOE"), d.DescriptionOE, itemData);
    return true;
}

} // namespace zeltpc5
