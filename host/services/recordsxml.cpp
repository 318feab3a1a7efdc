#include "host/services/recordsxml.h"

#include "host/services/strictxml.h"

#include <QDateTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zeltpc5/dispatch.h>

#include <algorithm>
#include <limits>

namespace zeltpc5::host {

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

bool IsNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

// What ElementName gives: a name start, then letters, digits, "_", "-" and ".".
bool IsColumnElementName(const QString &name)
{
    if (name.isEmpty() || !IsNameStart(name.front()))
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.';
    });
}

// Column names such as "COUNT(*)" are not element names; they are written with every
// character an element name cannot hold replaced by "_".
QString ElementName(const QString &column)
{
    QString name = column;
    for (QChar &c : name)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.'))
            c = u'_';
    if (name.isEmpty() || !IsNameStart(name.front()))
        name.prepend(u'_');
    return name;
}

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Line breaks become the documents' literal sequences; characters XML cannot carry at all
// (other control characters, stray surrogates) are dropped rather than making the whole
// document unreadable.
QString ElementText(const QString &value)
{
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        if (c == u'\r') {
            out += QStringLiteral("&#13;");
        } else if (c == u'\n') {
            out += QStringLiteral("&#10;");
        } else if (c.isHighSurrogate() && i + 1 < n && value[i + 1].isLowSurrogate()) {
            out += c;
            out += value[++i];
        } else if (IsXmlChar(c.unicode()) && !c.isSurrogate()) {
            out += c;
        }
    }
    return out;
}

QString DecodeLineBreaks(QString text)
{
    text.replace(QStringLiteral("&#13;"), QStringLiteral("\r"));
    text.replace(QStringLiteral("&#10;"), QStringLiteral("\n"));
    return text;
}

QString ValueText(const QVariant &value)
{
    const Variant v = FromSqlValue(value);
    switch (TypeOf(v)) {
    case VariantType::Bool:
        return ToBool(v).value_or(false) ? QStringLiteral("-1") : QStringLiteral("0");
    case VariantType::Int32:
        return QString::number(v.toInt());
    default:
        break;
    }
    if (value.metaType().id() == QMetaType::LongLong ||
        value.metaType().id() == QMetaType::ULongLong)
        return value.toString();
    return ToText(v).value_or(QString());
}

// The named child of the current element: the exact name first, else the first child
// whose name matches ignoring case.
std::optional<QString> FindChild(QXmlStreamReader &xml, const QString &field)
{
    bool haveLoose = false;
    std::optional<QString> loose;
    while (xml.readNextStartElement()) {
        const bool exact = xml.name() == field;
        if (!exact && (haveLoose || xml.name().compare(field, Qt::CaseInsensitive) != 0)) {
            xml.skipCurrentElement();
            continue;
        }
        const bool isNull = xml.attributes().value(QStringLiteral("null")) == QLatin1String("true");
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (xml.hasError())
            return std::nullopt;
        std::optional<QString> value;
        if (!isNull)
            value = DecodeLineBreaks(text);
        if (exact)
            return value;
        haveLoose = true;
        loose = value;
    }
    return loose;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

bool SameIgnoringCase(std::string_view name, const QString &field, bool fieldIsAscii)
{
    if (fieldIsAscii && IsAscii(name)) {
        return qsizetype(name.size()) == field.size() &&
               std::equal(name.begin(), name.end(), field.begin(), [](char n, QChar f) {
                   const auto lower = [](char16_t c) {
                       return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
                   };
                   return lower(char16_t(n)) == lower(f.unicode());
               });
    }
    return QString::fromUtf8(name.data(), qsizetype(name.size()))
               .compare(field, Qt::CaseInsensitive) == 0;
}

// FindChild over a document already read whole: the same choice, the same texts.
std::optional<QString> FindChild(pugi::xml_node parent, const QString &field)
{
    const QByteArray exactName = field.toUtf8();
    const bool fieldIsAscii = IsAscii(std::string_view(exactName.constData(), exactName.size()));
    bool haveLoose = false;
    std::optional<QString> loose;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view name = StrictXmlDocument::localName(child);
        const bool exact = name == std::string_view(exactName.constData(), exactName.size());
        if (!exact && (haveLoose || !SameIgnoringCase(name, field, fieldIsAscii)))
            continue;
        const bool isNull = StrictXmlDocument::attributeValue(child, "null") == u"true";
        std::optional<QString> value;
        if (!isNull)
            value = DecodeLineBreaks(StrictXmlDocument::elementText(child));
        if (exact)
            return value;
        haveLoose = true;
        loose = value;
    }
    return loose;
}

// A field read from a document every reader reads to the end: the tree answers as the
// stream would. Nothing (read by the stream) for other documents, whose reading stops at
// their first fault, and for a field name with a lone surrogate (it has no UTF-8 form).
std::optional<std::optional<QString>> WholeDocumentField(const QString &xml, const QString &field,
                                                         bool firstRecord)
{
    if (!QStringView(field).isValidUtf16())
        return std::nullopt;
    StrictXmlDocument doc;
    if (!doc.read(xml, StrictXmlDocument::BlankText::Kept))
        return std::nullopt;
    pugi::xml_node record = doc.root();
    if (firstRecord && StrictXmlDocument::localName(record) != "Record") {
        record = record.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; });
        if (!record)
            return std::optional<QString>();
    }
    return FindChild(record, field);
}

} // namespace

Variant FromSqlValue(const QVariant &value)
{
    if (value.isNull())
        return MakeNull();
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return MakeInt32(value.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const qlonglong n = value.toLongLong();
        if (n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max())
            return MakeInt32(qint32(n));
        return MakeDouble(double(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return MakeDouble(value.toDouble());
    case QMetaType::Bool:
        return MakeBool(value.toBool());
    case QMetaType::QDateTime:
        return MakeString(value.toDateTime().toString(DateFormat));
    case QMetaType::QDate:
        return MakeString(value.toDate().startOfDay().toString(DateFormat));
    case QMetaType::QByteArray:
        return MakeString(QString::fromLatin1(value.toByteArray().toBase64()));
    default:
        return MakeString(value.toString());
    }
}

QString RecordSetXml(const ResultSet &rs, const QString &rootName)
{
    QStringList names;
    names.reserve(rs.columns.size());
    for (const QString &c : rs.columns)
        names << ElementName(c);

    QString xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(rootName);
    for (const QVariantList &row : rs.rows) {
        w.writeStartElement(QStringLiteral("Record"));
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QVariant &value = row[i];
            if (value.isNull()) {
                w.writeEmptyElement(names[i]);
                w.writeAttribute(QStringLiteral("null"), QStringLiteral("true"));
            } else {
                w.writeTextElement(names[i], ElementText(ValueText(value)));
            }
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    return xml;
}

std::optional<QString> RecordField(const QString &recordXml, const QString &field)
{
    if (auto whole = WholeDocumentField(recordXml, field, false))
        return *whole;
    QXmlStreamReader xml(recordXml);
    if (!xml.readNextStartElement())
        return std::nullopt;
    return FindChild(xml, field);
}

std::optional<QString> RecordField(const StrictXmlDocument &record, const QString &field)
{
    if (!record.root() || !QStringView(field).isValidUtf16())
        return std::nullopt;
    return FindChild(record.root(), field);
}

std::optional<QString> RecordField(const DispatchPtr &record, const QString &field)
{
    if (!record)
        return std::nullopt;
    if (const QString xml = ToText(Get(record, u"xml").value).value_or(QString()); !xml.isEmpty())
        return RecordField(xml, field);
    // The name becomes an expression: only a name every element of a record set may carry,
    // so that no text can select anything but a child of that name.
    if (!IsColumnElementName(field))
        return std::nullopt;
    const auto node = [](const CallResult &r) {
        return r.ok() ? ToObject(r.value).value_or(DispatchPtr()) : DispatchPtr();
    };
    const DispatchPtr column = node(Call(record, u"selectSingleNode", {field}));
    if (!column || node(Call(column, u"selectSingleNode", {QStringLiteral("@null[.='true']")})))
        return std::nullopt;
    const CallResult text = Get(column, u"text");
    if (!text.ok())
        return std::nullopt;
    return DecodeLineBreaks(ToText(text.value).value_or(QString()));
}

std::optional<QString> FirstRecordField(const QString &recordSetXml, const QString &field)
{
    if (auto whole = WholeDocumentField(recordSetXml, field, true))
        return *whole;
    QXmlStreamReader xml(recordSetXml);
    if (!xml.readNextStartElement())
        return std::nullopt;
    if (xml.name() == u"Record")
        return FindChild(xml, field);
    if (!xml.readNextStartElement())
        return std::nullopt;
    return FindChild(xml, field);
}

} // namespace zeltpc5::host
