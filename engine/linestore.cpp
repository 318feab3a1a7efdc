#include "engine/linestore.h"

#include "common/stringlist.h"
#include "xml/xmldocument.h"

#include <cstring>

namespace zeltpc5 {

namespace {

Status subscript()
{
    return Status::error(Error::SubscriptOutOfRange);
}

} // namespace

LineText LineText::fromUtf8(QByteArray utf8)
{
    LineText t;
    t.m_utf8 = std::move(utf8);
    t.m_isUtf8 = true;
    return t;
}

LineText KeptTexts::keep(QByteArrayView utf8)
{
    const qsizetype needed = utf8.size() + 1;
    auto allocate = [this](qsizetype size) {
        *m_alive += size;
        return std::shared_ptr<char[]>(new char[size_t(size)], [alive = m_alive, size](char *p) {
            *alive -= size;
            delete[] p;
        });
    };
    LineText t;
    char *at = nullptr;
    if (needed > BlockSize / 4) {
        // A large text gets a block of its own rather than leaving most of one unused.
        std::shared_ptr<char[]> own = allocate(needed);
        at = own.get();
        t.m_block = std::move(own);
    } else {
        if (!m_block || m_size - m_used < needed) {
            m_block = allocate(BlockSize);
            m_size = BlockSize;
            m_used = 0;
        }
        at = m_block.get() + m_used;
        m_used += needed;
        t.m_block = m_block;
    }
    std::memcpy(at, utf8.data(), size_t(utf8.size()));
    at[utf8.size()] = '\0';
    t.m_utf8 = QByteArray::fromRawData(at, utf8.size());
    t.m_isUtf8 = true;
    return t;
}

QString LineText::toString() const
{
    return m_isUtf8 ? DocumentTextFromUtf8(m_utf8) : m_text;
}

bool operator==(const LineText &a, const LineText &b)
{
    if (a.m_isUtf8 && b.m_isUtf8)
        return a.m_utf8 == b.m_utf8;
    if (!a.m_isUtf8 && !b.m_isUtf8)
        return a.m_text == b.m_text;
    return a.toString() == b.toString();
}

bool operator==(const LineText &a, const QString &b)
{
    return a.m_isUtf8 ? a.toString() == b : a.m_text == b;
}

const QStringList &LineStore::FieldNames()
{
    static const QStringList names{
        QStringLiteral("line"),
        QStringLiteral("quantity"),
        QStringLiteral("originalproductid"),
        QStringLiteral("originalstyle"),
        QStringLiteral("originalitemxml"),
        QStringLiteral("originalpricecostxml"),
        QStringLiteral("newproductid"),
        QStringLiteral("newstyle"),
        QStringLiteral("newitemxml"),
        QStringLiteral("newpricecostxml"),
        QStringLiteral("uniqueid"),
        QStringLiteral("optionchangecount"),
        QStringLiteral("optionremovecount"),
    };
    return names;
}

void LineStore::Clear()
{
    m_records.assign(1, LineRecord());
    m_kept = KeptTexts();
}

void LineStore::releaseReplacedTexts()
{
    static constexpr LineText LineRecord::*Kept[] = {&LineRecord::NewItemXML,
                                                     &LineRecord::NewPriceCostXML};
    qsizetype held = 0;
    for (const LineRecord &r : m_records) {
        for (LineText LineRecord::*field : Kept) {
            if ((r.*field).m_block)
                held += (r.*field).m_utf8.size() + 1;
        }
    }
    if (m_kept.blockBytes() <= 2 * held + KeptTexts::BlockSize)
        return;
    KeptTexts fresh;
    for (LineRecord &r : m_records) {
        for (LineText LineRecord::*field : Kept) {
            if ((r.*field).m_block)
                r.*field = fresh.keep((r.*field).m_utf8);
        }
    }
    m_kept = std::move(fresh);
}

Status LineStore::AddLine(qint16 line, qint16 quantity, qint32 productID, const QString &style,
                          const QString &itemXML, const QString &priceCostXML,
                          const QString &uniqueID)
{
    if (!m_records.back().isEmptySlot()) {
        if (int(m_records.size()) >= MaxRecords)
            return Status::error(Error::Overflow);
        m_records.emplace_back();
    }
    LineRecord &r = m_records.back();
    r.Line = line;
    r.Quantity = quantity;
    r.OriginalProductID = r.NewProductID = productID;
    r.OriginalStyle = r.NewStyle = style;
    r.OriginalItemXML = r.NewItemXML = itemXML;
    r.OriginalPriceCostXML = r.NewPriceCostXML = priceCostXML;
    r.UniqueID = uniqueID;
    r.Changes = EmptyStringList();
    return Status();
}

qint16 LineStore::CountLines() const
{
    return m_records.back().Line >= 1 ? qint16(m_records.size()) : qint16(0);
}

Status LineStore::GetLineData(qint16 index, const QString &fieldName, QString *value) const
{
    value->clear();
    if (index < 0)
        return subscript();
    if (index > upperBound())
        return Status();
    const LineRecord &r = m_records[size_t(index)];
    switch (FieldNames().indexOf(fieldName.toLower())) {
    case 0:
        *value = QString::number(r.Line);
        break;
    case 1:
        *value = QString::number(r.Quantity);
        break;
    case 2:
        *value = QString::number(r.OriginalProductID);
        break;
    case 3:
        *value = r.OriginalStyle;
        break;
    case 4:
        *value = r.OriginalItemXML;
        break;
    case 5:
        *value = r.OriginalPriceCostXML;
        break;
    case 6:
        *value = QString::number(r.NewProductID);
        break;
    case 7:
        *value = r.NewStyle;
        break;
    case 8:
        *value = r.NewItemXML;
        break;
    case 9:
        *value = r.NewPriceCostXML;
        break;
    case 10:
        *value = r.UniqueID;
        break;
    case 11:
        *value = QString::number(r.OptionChangeCount);
        break;
    case 12:
        *value = QString::number(r.OptionRemoveCount);
        break;
    default:
        break;
    }
    return Status();
}

Status LineStore::CountChanges(qint16 index, qint16 *count) const
{
    *count = 0;
    const LineRecord *r = record(index);
    if (!r)
        return subscript();
    *count = qint16(StringListCount(r->Changes));
    return Status();
}

Status LineStore::GetChange(qint16 index, qint16 changeIndex, QString *text) const
{
    text->clear();
    const LineRecord *r = record(index);
    if (!r || changeIndex < 0 || changeIndex >= r->Changes.size())
        return subscript();
    *text = r->Changes.at(changeIndex);
    return Status();
}

Status LineStore::AppendChange(int index, const QString &text)
{
    LineRecord *r = record(index);
    if (!r)
        return subscript();
    // Change indexes are 16-bit as well.
    if (r->Changes.size() >= MaxRecords && !r->Changes.back().isEmpty())
        return Status::error(Error::Overflow);
    // Kept without the spare room the text was built with: every line of a long run keeps
    // a few of them.
    QString kept = text;
    kept.squeeze();
    StringListAppend(kept, r->Changes);
    return Status();
}

Status LineStore::increment(int index, qint16 LineRecord::*counter)
{
    LineRecord *r = record(index);
    if (!r)
        return subscript();
    if (r->*counter == std::numeric_limits<qint16>::max())
        return Status::error(Error::Overflow);
    ++(r->*counter);
    return Status();
}

Status LineStore::IncrementOptionChangeCount(int index)
{
    return increment(index, &LineRecord::OptionChangeCount);
}

Status LineStore::IncrementOptionRemoveCount(int index)
{
    return increment(index, &LineRecord::OptionRemoveCount);
}

LineRecord *LineStore::record(int index)
{
    return (index >= 0 && index <= upperBound()) ? &m_records[size_t(index)] : nullptr;
}

const LineRecord *LineStore::record(int index) const
{
    return (index >= 0 && index <= upperBound()) ? &m_records[size_t(index)] : nullptr;
}

UniqueIDIndex::UniqueIDIndex(const LineStore &store)
{
    const auto &records = store.records();
    m_first.reserve(qsizetype(records.size()));
    // Backwards, so that of two lines sharing an identifier the earlier one wins.
    for (int i = int(records.size()) - 1; i >= 0; --i)
        m_first.insert(records[size_t(i)].UniqueID.toLower(), i);
}

int UniqueIDIndex::find(QStringView uniqueID) const
{
    return m_first.value(uniqueID.toString().toLower(), -1);
}

} // namespace zeltpc5
