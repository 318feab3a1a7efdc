#include "host/formula/criteriadocuments.h"

#include "host/helpers/dimensiontext.h"

#include <QLocale>
#include <QXmlStreamReader>

#include <cmath>

namespace zeltpc5::host {

// A caller evaluates every charge of a line with the same two documents, resetting the
// variables in between: what was read from a text is kept and used again for the same text.
void CriteriaDocuments::setOptionXml(const QString &xml)
{
    m_optionXml = xml;
    m_optionsRead = m_optionsReadFrom && *m_optionsReadFrom == xml;
}

void CriteriaDocuments::setPriceCostXml(const QString &xml)
{
    m_priceCostXml = xml;
    m_priceCostRead = m_priceCostReadFrom && *m_priceCostReadFrom == xml;
}

void CriteriaDocuments::clear()
{
    setOptionXml(QString());
    setPriceCostXml(QString());
}

const QByteArray *CriteriaDocuments::find(const std::vector<Entry> &entries,
                                          QByteArrayView utf8Name)
{
    const QString name = QString::fromUtf8(utf8Name);
    for (const Entry &e : entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e.value;
    }
    return nullptr;
}

const QByteArray *CriteriaDocuments::optionValue(QByteArrayView utf8Name)
{
    if (!m_optionsRead)
        readOptions();
    return find(m_options, utf8Name);
}

const QByteArray *CriteriaDocuments::priceCostValue(QByteArrayView utf8Name)
{
    if (!m_priceCostRead)
        readPriceCost();
    return find(m_fields, utf8Name);
}

void CriteriaDocuments::readOptions()
{
    m_optionsRead = true;
    m_optionsReadFrom = m_optionXml;
    m_options.clear();
    QXmlStreamReader xml(m_optionXml);
    // The option elements sit at ItemData/Options/Option, wherever ItemData is.
    QStringList path;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (!path.isEmpty())
                path.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const bool isOption = name == u"Option" && path.size() >= 2 && path.last() == u"Options" &&
                              path.at(path.size() - 2) == u"ItemData";
        if (!isOption) {
            path << name;
            continue;
        }
        Entry entry;
        bool named = false;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"Name" && !named) {
                entry.name = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                named = true;
            } else if (xml.name() == u"Value" && entry.value.isNull()) {
                entry.value = xml.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8();
            } else {
                xml.skipCurrentElement();
            }
        }
        if (named) {
            if (entry.value.isNull())
                entry.value = QByteArray("");
            m_options.push_back(std::move(entry));
        }
    }
    // A document that does not parse has no options at all, not some of them.
    if (xml.hasError())
        m_options.clear();
}

void CriteriaDocuments::readPriceCost()
{
    m_priceCostRead = true;
    m_priceCostReadFrom = m_priceCostXml;
    m_fields.clear();
    QXmlStreamReader xml(m_priceCostXml);
    if (xml.readNextStartElement() && xml.name() == u"PriceCostData") {
        while (xml.readNextStartElement()) {
            Entry entry{xml.name().toString(), {}};
            entry.value = xml.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8();
            m_fields.push_back(std::move(entry));
        }
    }
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError())
        m_fields.clear();
}

std::optional<double> CriteriaNumber(const QByteArray &text)
{
    const QString t = QString::fromUtf8(text).trimmed();
    if (const auto inches = ParseDimension(t))
        return inches;
    bool ok = false;
    double value = QLocale().toDouble(t, &ok);
    if (!ok)
        value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace zeltpc5::host
