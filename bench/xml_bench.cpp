// Whole-document cycles as the change workers run them: parse, read ten fields, write ten
// fields, serialise.
#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

#include <benchmark/benchmark.h>

using namespace zeltpc5;

namespace {

// A typical item: 40 options with all their fields, two messages and the descriptions.
QString ItemDocument()
{
    auto doc = *NewXMLDocument(QString(ItemData::Root));
    const XmlNode root = doc.documentElement();
    const XmlNode options = AppendChildElement(ItemData::Options, root);
    for (int i = 0; i < 40; ++i) {
        const XmlNode option = GetOptionElement(QStringLiteral("Option %1").arg(i),
                                                ItemData::Option, options, true, true);
        SetXMLValue(OptionField::Value, QStringLiteral("Value number %1").arg(i), option);
        SetXMLLong(OptionField::Sequence, i, option);
        SetXMLValue(OptionField::GroupName, QStringLiteral("Group %1").arg(i / 8), option);
        SetXMLLong(OptionField::GroupSequence, i / 8, option);
        SetXMLLong(OptionField::Type, 4, option);
        SetXMLLong(OptionField::IsDimension, i < 2 ? 1 : 0, option);
        SetXMLLong(OptionField::ProcessIfHidden, 0, option);
        SetXMLValue(OptionField::DisplayFormat, QStringLiteral("#0.00"), option);
        SetXMLInteger(OptionField::Visible, 1, option);
    }
    const XmlNode messages = AppendChildElement(ItemData::Messages, root);
    for (int i = 0; i < 2; ++i) {
        const XmlNode message = AppendChildElement(ItemData::Message, messages);
        SetXMLValue(MessageField::Text, QStringLiteral("A notice about the product"), message);
        SetXMLInteger(MessageField::Type, MessageField::Notice, message);
    }
    SetXMLValue(ItemData::Description, QStringLiteral("Roller shade, 36 1/2 x 48, white"), root);
    SetXMLValue(ItemData::Description2, QStringLiteral("Roller shade, white"), root);
    SetXMLValue(ItemData::DescriptionOE,
                QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>Roller shade "
                               "<Bold>white</Bold></TextBlock>"),
                root);
    return doc.xml();
}

// A full price/cost document: every field, the amounts with their explanations, price lines.
QString PriceCostDocument()
{
    auto doc = *NewXMLDocument(QString(PriceCostData::Root));
    const XmlNode root = doc.documentElement();
    for (const FieldDefinition &field : PriceCostFields()) {
        switch (field.type) {
        case FieldType::Text:
            SetXMLValue(field.name, QStringLiteral("Standard"), root);
            break;
        case FieldType::Integer:
        case FieldType::Long:
            SetXMLLong(field.name, 12, root);
            break;
        case FieldType::Single:
            SetXMLSingle(field.name, 12.5f, root);
            break;
        case FieldType::Currency:
            SetXMLCurrency(field.name, Currency::fromScaled(1234500), root);
            break;
        }
        if (field.group == FieldGroup::Amount)
            SetXMLAttribute(FindChildNode(root, field.name), PriceCostData::Explain,
                            QStringLiteral("List price 123.45 less 10% vendor discount (12.35)\r\n"
                                           "plus surcharges 4.00 = 115.10"));
    }
    const XmlNode lines = AppendChildElement(PriceCostData::PriceLines, root);
    for (int i = 0; i < 4; ++i) {
        const XmlNode line = AppendChildElement(PriceCostData::PriceLine, lines);
        SetXMLValue(PriceLineField::Name, QStringLiteral("Line %1").arg(i), line);
        SetXMLValue(PriceLineField::PLCode, QStringLiteral("PL%1").arg(i), line);
        SetXMLCurrency(PriceLineField::Value, Currency::fromUnits(i), line);
    }
    return doc.xml();
}

void ItemCycle(benchmark::State &state)
{
    const QString text = ItemDocument();
    QStringList names;
    for (int i = 0; i < 40; i += 4)
        names.append(QStringLiteral("OPTION %1").arg(i));
    for (auto _ : state) {
        auto doc = LoadItemXML(text);
        for (const QString &name : names)
            benchmark::DoNotOptimize(GetOptionValue(*doc, name));
        const XmlNode options = FindChildNode(doc->documentElement(), ItemData::Options);
        for (int i = 1; i < 40; i += 4)
            SetXMLValue(OptionField::Value, QStringLiteral("New value"),
                        GetOptionElement(QStringLiteral("Option %1").arg(i), ItemData::Option,
                                         options, true));
        benchmark::DoNotOptimize(doc->xml());
    }
    state.counters["bytes"] = double(text.toUtf8().size());
}
BENCHMARK(ItemCycle)->Unit(benchmark::kMicrosecond);

void PriceCostCycle(benchmark::State &state)
{
    const QString text = PriceCostDocument();
    const QList<FieldDefinition> &fields = PriceCostFields();
    for (auto _ : state) {
        auto doc = LoadPriceCostXML(text);
        const XmlNode root = FindChildNode(*doc, PriceCostData::Root);
        for (int i = 0; i < 10; ++i)
            benchmark::DoNotOptimize(GetXMLCurrency(fields.at(fields.size() - 1 - i).name, root));
        for (int i = 0; i < 10; ++i) {
            const QString &name = fields.at(fields.size() - 11 - i).name;
            SetXMLCurrency(name, Currency::fromUnits(i), root);
            SetXMLAttribute(FindChildNode(root, name), PriceCostData::Explain,
                            QStringLiteral("Recalculated"));
        }
        benchmark::DoNotOptimize(doc->xml());
    }
    state.counters["bytes"] = double(text.toUtf8().size());
}
BENCHMARK(PriceCostCycle)->Unit(benchmark::kMicrosecond);

// The phases of the item cycle apart.
void ItemReadOptions(benchmark::State &state)
{
    const auto doc = LoadItemXML(ItemDocument());
    for (auto _ : state) {
        for (int i = 0; i < 40; i += 4)
            benchmark::DoNotOptimize(GetOptionValue(*doc, QStringLiteral("OPTION %1").arg(i)));
    }
}
BENCHMARK(ItemReadOptions)->Unit(benchmark::kMicrosecond);

void ItemWriteOptions(benchmark::State &state)
{
    const auto doc = LoadItemXML(ItemDocument());
    const XmlNode options = FindChildNode(doc->documentElement(), ItemData::Options);
    for (auto _ : state) {
        for (int i = 1; i < 40; i += 4)
            SetXMLValue(OptionField::Value, QStringLiteral("New value"),
                        GetOptionElement(QStringLiteral("Option %1").arg(i), ItemData::Option,
                                         options, true));
    }
}
BENCHMARK(ItemWriteOptions)->Unit(benchmark::kMicrosecond);

void ItemSerialise(benchmark::State &state)
{
    const auto doc = LoadItemXML(ItemDocument());
    for (auto _ : state)
        benchmark::DoNotOptimize(doc->xml());
}
BENCHMARK(ItemSerialise)->Unit(benchmark::kMicrosecond);

// Building a price/cost document field by field, as a repricing step writes a fresh one: every
// field is looked for, appended and given its text.
void BuildPriceCost(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(PriceCostDocument());
}
BENCHMARK(BuildPriceCost)->Unit(benchmark::kMicrosecond);

// Selecting the records of a record set by a path of plain names, from the document and from
// anywhere in it.
void SelectRecords(benchmark::State &state)
{
    QString text = QStringLiteral("<Records>");
    for (int i = 0; i < 50; ++i)
        text += QStringLiteral("<Record><ID>%1</ID><Name>Level %1</Name><Rate>0.%1</Rate>"
                               "</Record>")
                    .arg(i);
    const auto doc = LoadXMLDocument(text + QStringLiteral("</Records>"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc->selectNodes(QStringLiteral("Records/Record")));
        benchmark::DoNotOptimize(doc->selectNodes(QStringLiteral("//Records/Record")));
    }
}
BENCHMARK(SelectRecords)->Unit(benchmark::kMicrosecond);

void ParseOnlyItem(benchmark::State &state)
{
    const QString text = ItemDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadItemXML(text));
}
BENCHMARK(ParseOnlyItem)->Unit(benchmark::kMicrosecond);

} // namespace
