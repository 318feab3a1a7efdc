// The quote lines an engine holds: what the host handed in (Original*), what the tools
// made of them (New*), and each line's change texts.
#pragma once

#include <zeltpc5/status.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace zeltpc5 {

class KeptTexts;

// A document of a line as the store keeps it. What the tools write is kept as UTF-8: the
// documents are mostly ASCII, so that is half the memory of UTF-16 over many thousand lines.
// Text handed in as a QString is kept as it came, shared with the caller's copy. Read as a
// QString it converts, so the boundary sees text as before.
class LineText
{
public:
    LineText() = default;
    LineText(const QString &text) : m_text(text) {}
    // Valid UTF-8, as the document layer writes it.
    static LineText fromUtf8(QByteArray utf8);

    bool isUtf8() const { return m_isUtf8; }
    const QByteArray &utf8() const { return m_utf8; }
    // The text as given, for text not kept as UTF-8.
    const QString &text() const { return m_text; }
    QString toString() const;
    operator QString() const { return toString(); }
    bool isEmpty() const { return m_isUtf8 ? m_utf8.isEmpty() : m_text.isEmpty(); }

    friend bool operator==(const LineText &a, const LineText &b);
    friend bool operator==(const LineText &a, const QString &b);

private:
    friend class KeptTexts;
    friend class LineStore;
    QString m_text;
    QByteArray m_utf8;
    // The block of KeptTexts that m_utf8 views; null when m_utf8 holds its own bytes.
    std::shared_ptr<const char[]> m_block;
    bool m_isUtf8 = false;
};

// UTF-8 texts copied into large shared blocks rather than kept in a heap block each. A run
// writes two texts per line between many short-lived allocations; kept one by one, they sat
// between those and left the heap full of holes, which raised a long run's peak memory. A
// block is freed with the last text in it.
class KeptTexts
{
public:
    static constexpr qsizetype BlockSize = 256 * 1024;

    KeptTexts() = default;
    // A copy would go on writing into the block the original writes into.
    KeptTexts(const KeptTexts &) = delete;
    KeptTexts &operator=(const KeptTexts &) = delete;
    KeptTexts(KeptTexts &&) = default;
    KeptTexts &operator=(KeptTexts &&) = default;

    // A copy of the text, NUL-terminated as a QByteArray's own text is.
    LineText keep(QByteArrayView utf8);
    // The bytes of the blocks handed out that some text still holds.
    qsizetype blockBytes() const { return *m_alive; }

private:
    std::shared_ptr<char[]> m_block;
    qsizetype m_used = 0;
    qsizetype m_size = 0;
    // Shared with the blocks, which may outlive this object in a copied text.
    std::shared_ptr<qsizetype> m_alive = std::make_shared<qsizetype>(0);
};

struct LineRecord
{
    qint16 Line = 0;
    qint16 Quantity = 0;
    qint32 OriginalProductID = 0;
    QString OriginalStyle;
    QString OriginalItemXML;
    QString OriginalPriceCostXML;
    qint32 NewProductID = 0;
    QString NewStyle;
    LineText NewItemXML;
    LineText NewPriceCostXML;
    QString UniqueID;
    QStringList Changes{QString()}; // empty-last-element rule
    qint16 OptionChangeCount = 0;
    qint16 OptionRemoveCount = 0;

    // A record whose Line is 0 or less is an empty slot.
    bool isEmptySlot() const { return Line <= 0; }
};

class LineStore
{
public:
    // Line indexes are 16-bit, so no more records than this are addressable.
    static constexpr int MaxRecords = 32767;

    LineStore() { Clear(); }

    // Back to one empty record.
    void Clear();
    // Fills the last record if it is an empty slot, else grows by one. Overflow (6) when the
    // table is full; nothing changes then.
    Status AddLine(qint16 line, qint16 quantity, qint32 productID, const QString &style,
                   const QString &itemXML, const QString &priceCostXML, const QString &uniqueID);
    // The number of lines: 0 when the last record is an empty slot.
    qint16 CountLines() const;
    // A field by its key ("line", "newitemxml", ...; any letter case). Empty text past the
    // last record or for an unknown key; subscript out of range (9) for a negative index.
    Status GetLineData(qint16 index, const QString &fieldName, QString *value) const;
    Status CountChanges(qint16 index, qint16 *count) const;
    Status GetChange(qint16 index, qint16 changeIndex, QString *text) const;

    // For the tools: a document they wrote, kept as UTF-8 in the store's blocks.
    LineText keepUtf8(QByteArrayView utf8) { return m_kept.keep(utf8); }
    // Texts replaced since they were kept leave their room in a block until the block's last
    // text goes. Once the blocks hold more than twice what the records still hold, the records'
    // texts move to fresh blocks; a run calls this when it ends.
    void releaseReplacedTexts();
    // The bytes of the blocks that kept texts still hold.
    qsizetype keptBlockBytes() const { return m_kept.blockBytes(); }
    // For the tools: appends a change text under the empty-last-element rule.
    Status AppendChange(int index, const QString &text);
    // Adds one to a counter; overflow (6) past 32,767, the counter unchanged.
    Status IncrementOptionChangeCount(int index);
    Status IncrementOptionRemoveCount(int index);

    int upperBound() const { return int(m_records.size()) - 1; }
    LineRecord *record(int index);
    const LineRecord *record(int index) const;
    std::vector<LineRecord> &records() { return m_records; }
    const std::vector<LineRecord> &records() const { return m_records; }

    // The keys of GetLineData, in table order.
    static const QStringList &FieldNames();

private:
    Status increment(int index, qint16 LineRecord::*counter);
    std::vector<LineRecord> m_records;
    KeptTexts m_kept;
};

// The lines by identifier, built once per run so that finding a line does not scan the table:
// lower-cased UniqueID -> the first (lowest) index holding it.
class UniqueIDIndex
{
public:
    explicit UniqueIDIndex(const LineStore &store);
    // The first line whose identifier equals the given one in any letter case, or -1.
    int find(QStringView uniqueID) const;

private:
    QHash<QString, int> m_first;
};

} // namespace zeltpc5
