// Every call the component makes on the host's objects, checked against the tables of
// docs/host-integration.md: a host written from that page must accept each call as it is
// made (member, kind and number of arguments), or the call fails quietly and the feature
// behind it silently does nothing.
#include "referencehost.h"

#include "compare/comparecommands.h"
#include "compare/comparemodel.h"
#include "engine/engines.h"
#include "host/formula/formulaengine.h"
#include "host/helpers/datehelper.h"
#include "host/helpers/dimensionconverter.h"
#include "host/helpers/registration.h"
#include "host/productengine/productengine.h"
#include "review/replacereviewmodel.h"
#include "review/reviewresultsmodel.h"

#include <zeltpc5/classregistry.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <map>
#include <memory>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

// One call as the host sees it: "Common.BuildString call 3".
QString CallText(const QString &object, const QString &member, const QString &how, int argc)
{
    return QStringLiteral("%1.%2 %3 %4").arg(object, member, how).arg(argc);
}

struct Log
{
    QSet<QString> calls;
    QSet<QString> objects;
    int depth = 0; // calls the host's objects make among themselves are not the component's
};

// Passes every call on to the host's object and logs it; objects it hands out are wrapped
// in turn, named after the member that gave them.
class Recorder : public Dispatch
{
public:
    static DispatchPtr wrap(const DispatchPtr &inner, const QString &name,
                            const std::shared_ptr<Log> &log)
    {
        return inner ? DispatchPtr(new Recorder(inner, name, log)) : DispatchPtr();
    }

    std::optional<DispId> GetIDOfName(QStringView name) const override
    {
        const auto id = m_inner->GetIDOfName(name);
        if (id)
            m_lookedUp.insert(*id, name.toString());
        return id;
    }

    Status Invoke(DispId id, InvokeKind kind, VariantList &args, Variant &result) override
    {
        // A call by name looks the member up first, perhaps only before its first call; a
        // call of an identifier never looked up is by identifier.
        const bool byName = m_lookedUp.contains(id);
        const QString member = byName ? m_lookedUp.value(id) : QStringLiteral("#%1").arg(id);
        if (m_log->depth == 0) {
            QString how = QStringLiteral("call");
            int argc = int(args.size());
            if (kind == InvokeKind::PropertyGet) {
                how = QStringLiteral("get");
            } else if (kind == InvokeKind::PropertyPut) {
                how = QStringLiteral("put");
                --argc; // the assigned value
            } else if (kind == InvokeKind::Method) {
                how = QStringLiteral("method only");
            } else if (!byName) {
                how = QStringLiteral("call #%1").arg(id);
            }
            m_log->calls.insert(
                CallText(m_name, byName ? member : QStringLiteral("#%1").arg(id), how, argc));
            m_log->objects.insert(m_name);
        }
        ++m_log->depth;
        const Status status = m_inner->Invoke(id, kind, args, result);
        --m_log->depth;
        if (TypeOf(result) == VariantType::Object) {
            const bool document = member == u"ExecuteRead" || member == u"ExecuteSelect";
            result = MakeObject(wrap(ToObject(result).value_or(DispatchPtr()),
                                     document ? QStringLiteral("Documents") : member, m_log));
        }
        return status;
    }

    QString TypeName() const override { return m_inner->TypeName(); }

private:
    Recorder(DispatchPtr inner, QString name, std::shared_ptr<Log> log)
        : m_inner(std::move(inner)), m_name(std::move(name)), m_log(std::move(log))
    {}

    DispatchPtr m_inner;
    QString m_name;
    std::shared_ptr<Log> m_log;
    mutable QHash<DispId, QString> m_lookedUp;
};

// The classes the component creates, wrapped for as long as the recording lives.
class RecordedClasses
{
public:
    explicit RecordedClasses(const std::shared_ptr<Log> &log)
    {
        ClassRegistry &registry = ClassRegistry::instance();
        registry.registerClass(QStringLiteral("optrix5.Engine"), QUuid(), [log] {
            return Recorder::wrap(host::ProductEngine::create(), QStringLiteral("optrix5.Engine"),
                                  log);
        });
        registry.registerClass(QStringLiteral("zeltfe5.Engine"), QUuid(), [log] {
            return Recorder::wrap(host::FormulaEngine::create(), QStringLiteral("zeltfe5.Engine"),
                                  log);
        });
        registry.registerClass(QString(), host::DateHelper::Clsid, [log] {
            return Recorder::wrap(host::DateHelper::create(), QStringLiteral("DateHelper"), log);
        });
        registry.registerClass(QString(), host::DimensionConverter::Clsid, [log] {
            return Recorder::wrap(host::DimensionConverter::create(),
                                  QStringLiteral("DimensionConverter"), log);
        });
    }
    ~RecordedClasses() { host::RegisterReferenceEngines(); }
};

// The calls the page's tables allow, as CallText gives them, with every count in range.
QSet<QString> DocumentedCalls(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString page = QString::fromUtf8(file.readAll());
    const qsizetype begin = page.indexOf(u"\n## What the component calls on the host's objects");
    const qsizetype end = page.indexOf(u"\n## ", begin + 1);
    if (begin < 0 || end < 0)
        return {};

    static const QRegularExpression code(QStringLiteral("`([^`]+)`"));
    static const QRegularExpression range(QStringLiteral("^(\\d+)(?: to (\\d+))?:"));
    static const QRegularExpression identifier(QStringLiteral("^identifier (\\d+)"));
    QSet<QString> allowed;
    QString object;
    for (const QString &line : page.mid(begin, end - begin).split(u'\n')) {
        if (line.startsWith(u"### ")) {
            // "### Common", "### ZELTSQL (the SQL session ...)", "### Product engine "x"".
            const QString heading = line.mid(4);
            const qsizetype quote = heading.indexOf(u'"');
            object = quote >= 0 ? heading.mid(quote + 1).section(u'"', 0, 0)
                                : heading.section(u' ', 0, 0);
            continue;
        }
        if (!line.startsWith(u"| ") || object.isEmpty())
            continue;
        QStringList cells =
            QString(line).replace(QStringLiteral("\\|"), QStringLiteral("\x01")).split(u'|');
        if (cells.size() < 5)
            continue;
        for (QString &cell : cells)
            cell = cell.trimmed();
        const QString &members = cells[1], &how = cells[2], &args = cells[3];
        if (members == u"member" || members.startsWith(u"---"))
            continue;

        QStringList names;
        if (const auto m = identifier.match(members); m.hasMatch()) {
            names << QLatin1Char('#') + m.captured(1);
        } else {
            for (const auto &m : code.globalMatch(members))
                names << m.captured(1);
        }
        int low = 0, high = 0;
        if (how != u"put" && args != u"none") {
            const auto m = range.match(args);
            if (!m.hasMatch()) {
                ADD_FAILURE() << "no argument count: " << line.toStdString();
                continue;
            }
            low = m.captured(1).toInt();
            high = m.captured(2).isEmpty() ? low : m.captured(2).toInt();
        }
        for (const QString &name : names) {
            for (int n = low; n <= high; ++n)
                allowed.insert(CallText(object, name, how, n));
        }
    }
    return allowed;
}

} // namespace

class HostCalls : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, HostCalls, AllBackends(), BackendName);

TEST_P(HostCalls, everyCallTheComponentMakesIsDocumentedWithItsArguments)
{
    auto dialogs = std::make_shared<ScriptedItemDialogs>(); // every dialog answers Cancel
    ReferenceHost reference(GetParam(), dialogs);
    // Keeps the demo's dated surcharge in force, so the date helper is asked.
    reference.database().execute(
        QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
        {ReferenceHost::DateFromToday(400)});
    // A product whose file is missing: its line's error reaches the review's messages.
    reference.database().execute(
        QStringLiteral("INSERT INTO Products (ID, ProductName, ProductFile, VendorID) "
                       "VALUES (5, 'Ghost Shade', 'ghost-shade.xml', 1)"));
    const auto log = std::make_shared<Log>();
    const RecordedClasses classes(log);
    const Ref<Library> library = Library::create();
    library->Initialize(
        Recorder::wrap(reference.sharedCodeLibrary(), QStringLiteral("SharedCodeLibrary"), log));

    const auto lines = reference.quoteLines(QStringLiteral("Q-1001"));
    ASSERT_FALSE(lines.empty());
    QStringList ids;
    for (const auto &line : lines)
        ids << line.uniqueID;
    const QString all = ids.join(u'|');

    // Every kind of bulk change, then its review.
    const Ref<ReplaceEngine> replace(library->CreateReplaceEngine());
    AddLines(DispatchPtr(replace), lines);
    const DispatchPtr engine(replace);
    EXPECT_TRUE(Call(engine, u"ChangeOptionValue",
                     {QStringLiteral("Mount|Color"), QStringLiteral("Outside|Charcoal"), all})
                    .ok());
    EXPECT_TRUE(Call(engine, u"ChangeProductStyleAndOptions",
                     {MakeInt32(1), MakeInt32(1), QStringLiteral("Standard"),
                      QStringLiteral("Mount"), QStringLiteral("Inside"), all})
                    .ok());
    EXPECT_TRUE(Call(engine, u"ChangeProductStyle",
                     {MakeInt32(1), MakeInt32(5), QStringLiteral("Standard"), ids.first()})
                    .ok());
    EXPECT_TRUE(Call(engine, u"ChangeDiscount", {MakeInt16(2), QStringLiteral("0.1"), all}).ok());
    ReplaceReviewModel replaceReview;
    replaceReview.Fill({&replace->lines(),
                        [&](const QString &id) { return replace->LineWasSelected(id); },
                        replace->Host()});
    replaceReview.ShowMessages(replace->Host());

    const Ref<ItemReviewEngine> review(library->CreateItemReviewEngine());
    AddLines(DispatchPtr(review), lines);
    EXPECT_TRUE(Call(DispatchPtr(review), u"ReviewItems", {all}).ok());
    ItemReviewResultsModel results;
    results.Fill({&review->lines(), review->Host()});
    // Lines of one vendor: the summary asks for its name.
    const Ref<ItemReviewEngine> oneLine(library->CreateItemReviewEngine());
    AddLines(DispatchPtr(oneLine), {lines.front()});
    results.Fill({&oneLine->lines(), oneLine->Host()});

    // The compare commands that ask the host's dialogs.
    const Ref<CompareEngine> compare(library->CreateCompareEngine());
    AddLines(DispatchPtr(compare), lines);
    CompareModel model(compare->lines(), compare->Host());
    model.LoadOriginalColumn();
    model.AddColumn(); // the original column cannot be selected
    model.ToggleCellSelection(1, 0);
    EXPECT_FALSE(model.FillGrid().empty());
    CompareCommands commands(model, {compare->Host(), DispatchPtr(library)});
    commands.ReplaceProductOrStyle(false);
    commands.EditItem();
    commands.ReplaceProductStyleAndOptions();
    EXPECT_EQ(dialogs->selectCalls, 1);
    EXPECT_EQ(dialogs->editCalls, 2);

    const QSet<QString> documented =
        DocumentedCalls(QStringLiteral(ZELTPC5_DOCS_DIR "/host-integration.md"));
    ASSERT_FALSE(documented.isEmpty());
    QStringList undocumented;
    for (const QString &call : log->calls) {
        if (!documented.contains(call))
            undocumented << call;
    }
    undocumented.sort();
    EXPECT_EQ(undocumented, QStringList());

    // The runs reached every object the page describes, so none went unchecked.
    QStringList reached = log->objects.values();
    reached.sort();
    EXPECT_EQ(reached,
              QStringList({QStringLiteral("Common"), QStringLiteral("CurrentCompanyConn"),
                           QStringLiteral("Database"), QStringLiteral("DateHelper"),
                           QStringLiteral("DimensionConverter"), QStringLiteral("Documents"),
                           QStringLiteral("Options"), QStringLiteral("Security"),
                           QStringLiteral("SharedCodeLibrary"), QStringLiteral("ZELTSQL"),
                           QStringLiteral("optrix5.Engine"), QStringLiteral("zeltfe5.Engine")}));
}
