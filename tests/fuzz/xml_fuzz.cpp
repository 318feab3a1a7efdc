// Arbitrary bytes against the document procedures (built by scripts/sanitize.sh).
//
// Checked on every input, besides the sanitizers: a parsed document serialises to text that
// parses again with the same field texts, and is stable from the second round; readers never fail;
// XPathLiteral of the input selects exactly the node holding it, and the option walk agrees with
// the option expression; a text stored with SetXMLValue reads back unchanged through the document
// text.
#include "fuzzsupport.h"

#include "pricing/itemfields.h"
#include "pricing/pricecostfields.h"
#include "xml/xmlaccess.h"

using namespace zeltpc5;
using zeltpc5::fuzzing::Check;

namespace {

// The characters a document can carry, as SetXMLValue stores them.
QString XmlCharsOnly(const QString &text)
{
    auto doc = *NewXMLDocument(QStringLiteral("R"));
    doc.documentElement().setText(text);
    return doc.documentElement().text();
}

void ExerciseReaders(const XmlDocument &doc)
{
    const XmlNode root = doc.documentElement();
    for (const XmlNode &child : root.childElements()) {
        const QString name = child.nodeName();
        (void)GetXMLValue(name, root);
        (void)GetXMLLong(name, root);
        (void)GetXMLInteger(name, root);
        (void)GetXMLSingle(name, root);
        (void)GetXMLCurrency(name, root);
        (void)GetXMLBoolean(name, root);
        (void)GetXMLDate(name, root);
        (void)GetXMLAttribute(child, QStringLiteral("Explain"));
    }
    for (const XmlNode &option : doc.selectNodes(QStringLiteral("//ItemData/Options/Option"))) {
        const QString name = GetXMLValue(QStringLiteral("Name"), option);
        Check(SelectOptionByName(doc, name, OptionNameMatch::IgnoreCase) ==
                  doc.selectSingleNode(OptionSelectionXPath(name, OptionNameMatch::IgnoreCase)),
              "option walk agrees with the expression on parsed documents");
        (void)GetOptionValue(doc, name);
    }
    // Blank text between elements is dropped when parsing, so the first round may lose some;
    // field values never change, and from then on the text is stable.
    const QString text = doc.xml();
    const auto again = LoadXMLDocument(text);
    Check(again.has_value(), "serialised document parses again");
    const QList<XmlNode> before = root.childElements();
    const QList<XmlNode> after = again->documentElement().childElements();
    Check(before.size() == after.size(), "serialised document keeps its fields");
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before.at(i).firstChildElement().isNull())
            Check(before.at(i).text() == after.at(i).text(), "field text survives serialising");
    }
    const QString second = again->xml();
    const auto third = LoadXMLDocument(second);
    Check(third.has_value() && third->xml() == second, "serialised document is stable");
}

void CheckLiteral(const QString &raw)
{
    const QString text = XmlCharsOnly(raw);
    auto doc = *NewXMLDocument(QStringLiteral("ItemData"));
    const XmlNode options = AppendChildElement(QStringLiteral("Options"), doc.documentElement());
    const QString decoys[] = {text + QLatin1Char('\''), QLatin1Char('"') + text, text.toUpper(),
                              text.toLower()};
    for (const QString &decoy : decoys) {
        if (decoy != text)
            AppendChildElement(QStringLiteral("Name"),
                               AppendChildElement(QStringLiteral("Option"), options))
                .setText(decoy);
    }
    const XmlNode target = AppendChildElement(QStringLiteral("Option"), options);
    AppendChildElement(QStringLiteral("Name"), target).setText(text);

    const QList<XmlNode> selected =
        doc.selectNodes(QStringLiteral("//Option[Name = ") + XPathLiteral(text) + QLatin1Char(']'));
    Check(selected.size() == 1 && selected.first() == target, "XPathLiteral selects exactly");
    for (const OptionNameMatch match :
         {OptionNameMatch::CaseSensitive, OptionNameMatch::IgnoreCase}) {
        const XmlNode expected = doc.selectSingleNode(OptionSelectionXPath(text, match));
        Check(!expected.isNull(), "option expression finds the option");
        Check(SelectOptionByName(doc, text, match) == expected, "option walk agrees");
    }
    Check(SelectOptionByName(doc, text, OptionNameMatch::CaseSensitive) == target,
          "case-sensitive selection finds the exact name");

    // Stored and read back through the document text. Texts holding the encoded forms
    // themselves cannot round-trip: the stored form does not tell them apart.
    if (!text.contains(QLatin1String("&#13;")) && !text.contains(QLatin1String("&#10;"))) {
        auto stored = *NewXMLDocument(QStringLiteral("R"));
        SetXMLValue(QStringLiteral("V"), text, stored.documentElement());
        const auto again = LoadXMLDocument(stored.xml());
        Check(again.has_value(), "stored text parses");
        Check(GetXMLValue(QStringLiteral("V"), again->documentElement()) == text,
              "stored text reads back unchanged");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto doc = XmlDocument::parse(bytes))
        ExerciseReaders(*doc);
    const QString text = QString::fromUtf8(bytes);
    if (const auto doc = LoadXMLDocument(text))
        ExerciseReaders(*doc);
    (void)GetItemOptionValue(text, text);
    (void)GetPriceCostValue(text.left(40), text);
    (void)SetPriceCostValue(QStringLiteral("price"), text.left(20), text);
    (void)EscapeMarkup(text);
    (void)ParseXMLDate(text);
    if (size <= 256)
        CheckLiteral(text);
    return 0;
}
