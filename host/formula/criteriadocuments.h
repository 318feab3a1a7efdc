// The line's documents as charge criteria read them: option values from the item document
// and fields from the price/cost document, both by name without regard to case.
// Each document is read once, on the first lookup after it was set.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace zeltpc5::host {

class CriteriaDocuments
{
public:
    void setOptionXml(const QString &xml);
    void setPriceCostXml(const QString &xml);
    void clear();

    // The value as UTF-8, kept until the document changes; nothing when there is no
    // such option or field. The first of several options of one name wins.
    const QByteArray *optionValue(QByteArrayView utf8Name);
    const QByteArray *priceCostValue(QByteArrayView utf8Name);
    // Whether the next optionValue or priceCostValue reads its document first.
    bool optionsUnread() const { return !m_optionsRead; }
    bool priceCostUnread() const { return !m_priceCostRead; }

private:
    struct Entry
    {
        QString name;
        QByteArray value;
    };
    static const QByteArray *find(const std::vector<Entry> &entries, QByteArrayView utf8Name);
    void readOptions();
    void readPriceCost();

    QString m_optionXml;
    QString m_priceCostXml;
    bool m_optionsRead = true;
    bool m_priceCostRead = true;
    // The texts the entries were read from.
    std::optional<QString> m_optionsReadFrom;
    std::optional<QString> m_priceCostReadFrom;
    std::vector<Entry> m_options;
    std::vector<Entry> m_fields;
};

// A number from an option value or field text: a measurement ("36 1/2") or a number under
// the user's regional settings or in the C locale.
std::optional<double> CriteriaNumber(const QByteArray &text);

} // namespace zeltpc5::host
