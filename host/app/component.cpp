#include "host/app/component.h"

#include "host/helpers/registration.h"
#include "host/services/recordsxml.h"
#include "host/services/sharedcodelibrary.h"
#include "host/services/strictxml.h"

#include <zeltpc5/classregistry.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace zeltpc5::host::app {

DispatchPtr OpenComponent(std::shared_ptr<Database> db, QString *error, ServiceOptions options)
{
    RegisterReferenceEngines();
    // The module that ships beside the program is the one this program was built with; a
    // registration left by another build or an older checkout is replaced by it.
    const QString module =
        QFileInfo(
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("zeltpc5.so")))
            .absoluteFilePath();
    const QString progId = QStringLiteral("zeltpc5.Library");
    if (QFileInfo::exists(module) && RegisteredModule(RegisteredClsid(progId)) != module) {
        const Status registered = RegisterModule(module);
        if (!registered.ok()) {
            *error = QStringLiteral("cannot register %1: %2").arg(module, registered.toString());
            return {};
        }
    }
    DispatchPtr library;
    Status status = CreateObject(progId, &library);
    if (!status.ok()) {
        *error = QStringLiteral("cannot create zeltpc5.Library: %1").arg(status.toString());
        return {};
    }
    const DispatchPtr services = CreateSharedCodeLibrary(std::move(db), std::move(options));
    status = Call(library, u"Initialize", {MakeObject(services)}).status;
    if (!status.ok()) {
        *error = QStringLiteral("Library.Initialize failed: %1").arg(status.toString());
        return {};
    }
    return library;
}

namespace {

// The lines whose UniqueID cannot name them alone, by index, each with "line N: reason".
QHash<std::size_t, QString> Unaddressable(const std::vector<QuoteLine> &lines)
{
    std::vector<std::pair<int, QString>> ids;
    ids.reserve(lines.size());
    for (const QuoteLine &l : lines)
        ids.emplace_back(l.line, l.uniqueID);
    QHash<std::size_t, QString> faults;
    for (const UniqueIDFault &f : FindUniqueIDFaults(ids))
        faults.insert(f.index,
                      QStringLiteral("line %1: %2").arg(lines[f.index].line).arg(f.reason));
    return faults;
}

} // namespace

DispatchPtr LoadEngine(const DispatchPtr &library, QStringView create,
                       std::vector<QuoteLine> &lines, QStringList *withheld)
{
    const QHash<std::size_t, QString> faults = Unaddressable(lines);
    if (!faults.isEmpty()) {
        std::vector<QuoteLine> kept;
        kept.reserve(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (const auto fault = faults.constFind(i); fault != faults.cend()) {
                if (withheld)
                    *withheld << *fault;
            } else {
                kept.push_back(std::move(lines[i]));
            }
        }
        lines = std::move(kept);
    }
    const DispatchPtr engine = ToObject(Call(library, create).value).value_or(DispatchPtr());
    if (!engine)
        return {};
    Call(engine, u"Clear");
    for (const QuoteLine &l : lines) {
        Call(engine, u"AddLine",
             {MakeInt16(qint16(l.line)), MakeInt16(qint16(l.quantity)), MakeInt32(l.productID),
              l.style, l.itemXML, l.priceCostXML, l.uniqueID});
    }
    return engine;
}

QString SelectUniqueIDs(const std::vector<QuoteLine> &lines, const QString &selection,
                        QStringList *missing, QStringList *withheld)
{
    const QHash<std::size_t, QString> faults = Unaddressable(lines);
    QStringList ids;
    const auto take = [&](std::size_t i) {
        if (const auto fault = faults.constFind(i); fault != faults.cend())
            *withheld << *fault;
        else
            ids << lines[i].uniqueID;
    };
    if (selection.isEmpty() || selection.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        for (std::size_t i = 0; i < lines.size(); ++i)
            take(i);
        return ids.join(QLatin1Char('|'));
    }
    QHash<int, std::size_t> byNumber;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!byNumber.contains(lines[i].line))
            byNumber.insert(lines[i].line, i);
    }
    for (const QString &part : selection.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto it = byNumber.constFind(part.trimmed().toInt());
        if (it == byNumber.cend())
            *missing << part.trimmed();
        else
            take(*it);
    }
    return ids.join(QLatin1Char('|'));
}

QString JoinLoadedUniqueIDs(const std::vector<QuoteLine> &loaded, const QStringList &ids)
{
    QSet<QString> known;
    known.reserve(qsizetype(loaded.size()));
    for (const QuoteLine &l : loaded)
        known.insert(l.uniqueID);
    QStringList kept;
    for (const QString &id : ids) {
        if (known.contains(id))
            kept << id;
    }
    return kept.join(QLatin1Char('|'));
}

QString PlainText(const QString &markup)
{
    static const QRegularExpression lineBreak(QStringLiteral("<LineBreak\\s*/>"));
    // Only the markup's own elements: option values reach change texts unescaped, so a "<"
    // the user typed ("Kid's <Room>") is text to show, not a tag to drop.
    static const QRegularExpression tag(
        QStringLiteral("</?(?:TextBlock|Bold|Underline|Italic|Run|Span)(?:\\s[^>]*)?>"));
    QString text = markup;
    text.replace(lineBreak, QStringLiteral("\n"));
    text.remove(tag);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

QString UnwritableReason(const QuoteLine &changed)
{
    return UnwritableReason(changed, IsWellFormedXml(changed.priceCostXML));
}

QString UnwritableReason(const QuoteLine &changed, bool priceCostReadable)
{
    if (!IsWellFormedXml(changed.itemXML))
        return QStringLiteral("its new item document is empty or cannot be read");
    if (!priceCostReadable)
        return QStringLiteral("its new price/cost document is empty or cannot be read");
    return {};
}

PriceCostReading ReadPriceCost(const QString &priceCostXml)
{
    // Blank text decides nothing about readability, so the read that keeps it for the field
    // judges the document as IsWellFormedXml would.
    StrictXmlDocument doc;
    if (doc.read(priceCostXml, StrictXmlDocument::BlankText::Kept))
        return {RecordField(doc, QStringLiteral("UnitPrice")).value_or(QString()), true};
    return {UnitPriceOf(priceCostXml), false};
}

QString UnitPriceOf(const QString &priceCostXml)
{
    return RecordField(priceCostXml, QStringLiteral("UnitPrice")).value_or(QString());
}

UniqueIDSet::UniqueIDSet(const QStringList &ids)
{
    m_folded.reserve(ids.size());
    for (const QString &id : ids)
        m_folded.insert(id.toCaseFolded());
}

bool UniqueIDSet::contains(const QString &id) const
{
    return m_folded.contains(id.toCaseFolded());
}

std::vector<QuoteLine> LinesAsRead(const std::vector<QuoteLine> &read,
                                   const std::vector<QuoteLine> &changed)
{
    QHash<QString, const QuoteLine *> byID;
    byID.reserve(qsizetype(read.size()));
    for (const QuoteLine &l : read) {
        QString folded = l.uniqueID.toCaseFolded();
        if (!byID.contains(folded))
            byID.insert(std::move(folded), &l);
    }
    std::vector<QuoteLine> before;
    before.reserve(changed.size());
    for (const QuoteLine &l : changed) {
        if (const auto it = byID.constFind(l.uniqueID.toCaseFolded()); it != byID.cend())
            before.push_back(**it);
    }
    return before;
}

} // namespace zeltpc5::host::app
