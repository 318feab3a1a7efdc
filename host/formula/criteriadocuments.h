// The line's documents as charge criteria read them: option values from the item document
// and fields from the price/cost document, both by name without regard to case.
// Each document is read once, on the first lookup after it was set to a text other than the
// one it was last read from.
//
// Two readers read a document alike. pugixml, over the UTF-8 text, reads the documents the
// host and the component write (elements, attributes, text, the five predefined entities and
// character references), at a small part of the cost of QXmlStreamReader over the UTF-16 text.
// A document with anything else in it (a DOCTYPE, comments, CDATA sections, processing
// instructions, namespace prefixes, characters outside the BMP, names outside ASCII, ...) is
// read by QXmlStreamReader, as it always was, so that every document gives what it gave
// before, down to which documents count as malformed; the fuzz target criteria_fuzz compares
// the two readers. Neither reader expands an entity beyond QXmlStreamReader's own limit, or
// reaches a file or the network: pugixml never sees a DOCTYPE, and QXmlStreamReader, given no
// entity resolver, leaves external entities unresolved.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace zeltpc5::host {

class CriteriaDocuments
{
public:
    CriteriaDocuments();
    ~CriteriaDocuments();
    CriteriaDocuments(const CriteriaDocuments &) = delete;
    CriteriaDocuments &operator=(const CriteriaDocuments &) = delete;

    // utf8, when the caller has it at hand, is the same text as UTF-8; otherwise the text is
    // converted when it is read. Setting the text a document was last read from reads
    // nothing again.
    void setOptionXml(const QString &xml, const QByteArray &utf8 = QByteArray());
    void setPriceCostXml(const QString &xml, const QByteArray &utf8 = QByteArray());
    void clear();

    // The value as UTF-8, kept until the document is read again; nothing when there is no
    // such option or field. The first of several options or fields of one name wins.
    const QByteArray *optionValue(QByteArrayView utf8Name);
    const QByteArray *priceCostValue(QByteArrayView utf8Name);
    // Whether the next optionValue or priceCostValue reads its document first.
    bool optionsUnread() const;
    bool priceCostUnread() const;

    class Document;

private:
    std::unique_ptr<Document> m_options;
    std::unique_ptr<Document> m_priceCost;
};

// An option or a field as a document gives it.
struct CriteriaEntry
{
    QByteArray name;
    QByteArray value;
    bool operator==(const CriteriaEntry &) const = default;
};

enum class CriteriaReader {
    // pugixml, or QXmlStreamReader for a document pugixml might read otherwise: what
    // CriteriaDocuments uses.
    Fast,
    // QXmlStreamReader alone: the reference the fast reader is compared with.
    StreamReader,
};

// Every option or every field of a document, in the document's order, as the reader reads
// them; for tests and the fuzz target. streamReaderUsed tells whether QXmlStreamReader read it.
std::vector<CriteriaEntry> ReadCriteriaOptions(const QString &xml, CriteriaReader reader,
                                               bool *streamReaderUsed = nullptr);
std::vector<CriteriaEntry> ReadCriteriaPriceCost(const QString &xml, CriteriaReader reader,
                                                 bool *streamReaderUsed = nullptr);

// A number from an option value or field text: a measurement ("36 1/2") or a number under
// the user's regional settings or in the C locale.
std::optional<double> CriteriaNumber(const QByteArray &text);

} // namespace zeltpc5::host
