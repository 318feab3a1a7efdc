// An example host: registers the component module, creates "zeltpc5.Library" by its class
// name, hands it a host service object, creates each engine, adds quote lines and reads
// them back. Every call is late-bound by member name, as a third-party host would make it.
#include <zeltpc5/classregistry.h>
#include <zeltpc5/dispatch.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace zeltpc5;

namespace {

QTextStream out(stdout);

// A minimal host service object: the user's identity for the product engine and product
// names for change texts. A real host offers far more (see the reference host).
class ExampleHost : public DispatchObject
{
public:
    ExampleHost() : DispatchObject(QStringLiteral("SharedCodeLibrary"), &m_table)
    {
        m_security = DispatchPtr(new Security);
        m_table.property(QStringLiteral("Security"), 1,
                         [this](Dispatch &, VariantList &, Variant &r) {
                             r = MakeObject(m_security);
                             return Status();
                         });
    }

private:
    class Security : public DispatchObject
    {
    public:
        Security() : DispatchObject(QStringLiteral("Security"), &m_table)
        {
            auto constant = [](Variant v) {
                return [v](Dispatch &, VariantList &, Variant &r) {
                    r = v;
                    return Status();
                };
            };
            m_table.property(QStringLiteral("SID"), 1, constant(QStringLiteral("S-1-5-21-1001")))
                .property(QStringLiteral("OID"), 2, constant(MakeInt32(1)))
                .property(QStringLiteral("OrganizationName"), 3,
                          constant(QStringLiteral("Harbor Blinds & Shades")));
        }

    private:
        MemberTable m_table;
    };

    MemberTable m_table;
    DispatchPtr m_security;
};

bool check(const Status &s, const QString &what)
{
    if (!s.ok())
        QTextStream(stderr) << what << ": " << s.toString() << Qt::endl;
    return s.ok();
}

DispatchPtr objectResult(const DispatchPtr &obj, QStringView member)
{
    const CallResult r = Call(obj, member);
    check(r.status, member.toString());
    return ToObject(r.value).value_or(DispatchPtr());
}

void printLines(const DispatchPtr &engine)
{
    const qint16 count = ToInt16(Call(engine, u"CountLines").value).value_or(0);
    out << "  " << count << " lines" << Qt::endl;
    const QStringList keys{QStringLiteral("line"),         QStringLiteral("quantity"),
                           QStringLiteral("newproductid"), QStringLiteral("newstyle"),
                           QStringLiteral("uniqueid"),     QStringLiteral("optionchangecount"),
                           QStringLiteral("newitemxml")};
    for (qint16 i = 0; i < count; ++i) {
        QStringList fields;
        for (const QString &key : keys) {
            const CallResult r = Call(engine, u"GetLineData", {MakeInt16(i), key});
            fields << key + QLatin1Char('=') + ToText(r.value).value_or(QString());
        }
        const qint16 changes =
            ToInt16(Call(engine, u"CountChanges", {MakeInt16(i)}).value).value_or(0);
        out << "  [" << i << "] " << fields.join(QStringLiteral("  ")) << "  changes=" << changes
            << Qt::endl;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("zeltpc5 example host"));
    parser.addHelpOption();
    QCommandLineOption moduleOption(
        QStringLiteral("module"), QStringLiteral("Component module."), QStringLiteral("path"),
        QDir(app.applicationDirPath()).filePath(QStringLiteral("zeltpc5.so")));
    parser.addOption(moduleOption);
    parser.process(app);

    const QString module = QDir(parser.value(moduleOption)).absolutePath();
    out << "Registering " << module << " in " << ClassRegistry::registryFilePath() << Qt::endl;
    if (!check(RegisterModule(module), QStringLiteral("registering the module")))
        return 1;

    DispatchPtr library;
    if (!check(CreateObject(QStringLiteral("zeltpc5.Library"), &library),
               QStringLiteral("creating zeltpc5.Library")))
        return 1;
    const DispatchPtr host(new ExampleHost);
    VariantList init{MakeObject(host)};
    if (!check(CallByName(library, u"Initialize", CallType::Method, init),
               QStringLiteral("Initialize")))
        return 1;

    const struct
    {
        const char16_t *create;
        const char *title;
    } engines[] = {{u"CreateReplaceEngine", "ReplaceEngine"},
                   {u"CreateCompareEngine", "CompareEngine"},
                   {u"CreateItemReviewEngine", "ItemReviewEngine"}};
    const QString item =
        QStringLiteral("<?xml version=\"1.0\"?><ItemData><Options><Option><Name>Width</Name>"
                       "<Value>36 1/2</Value></Option></Options></ItemData>");
    const QString price = QStringLiteral("<?xml version=\"1.0\"?><PriceCostData/>");

    for (const auto &e : engines) {
        const DispatchPtr engine = objectResult(library, e.create);
        if (!engine)
            return 1;
        out << e.title << ":" << Qt::endl;
        check(Call(engine, u"Clear").status, QStringLiteral("Clear"));
        for (qint16 line = 1; line <= 3; ++line) {
            const Status s = Call(engine, u"AddLine",
                                  {MakeInt16(line), MakeInt16(line == 2 ? 4 : 1),
                                   MakeInt32(100 + line), QStringLiteral("Cordless"), item, price,
                                   QStringLiteral("Q1001-%1").arg(line)})
                                 .status;
            check(s, QStringLiteral("AddLine"));
        }
        printLines(engine);
        const bool sameOwner =
            ToObject(Get(engine, u"Owner").value).value_or(DispatchPtr()) == library;
        out << "  Owner is the library: " << (sameOwner ? "yes" : "no") << Qt::endl;
        // Errors come back to the caller, they never bring the host down.
        const Status bad = Call(engine, u"GetChange", {MakeInt16(7), MakeInt16(0)}).status;
        out << "  GetChange(7, 0): " << bad.toString() << Qt::endl;
        check(Call(engine, u"PreTerminate").status, QStringLiteral("PreTerminate"));
    }
    check(Call(library, u"PreTerminate").status, QStringLiteral("Library.PreTerminate"));
    return 0;
}
