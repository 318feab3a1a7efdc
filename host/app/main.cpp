// zeltpc5-host: the reference host's command line over the company database.
#include "host/app/command.h"

#include <QApplication>
#include <QCoreApplication>

#include <memory>

using namespace zeltpc5::host;
using namespace zeltpc5::host::app;

namespace {

// Message windows need a GUI application object; without a display the host still runs,
// and its messages go to standard error.
std::unique_ptr<QCoreApplication> MakeApplication(int &argc, char **argv)
{
    const bool display = qEnvironmentVariableIsSet("DISPLAY") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                         qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if (display)
        return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

bool WantsWindows(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--gui") == 0)
            return true;
    }
    return false;
}

QString Usage()
{
    QString text = QStringLiteral("Usage: zeltpc5-host [--db PATH] COMMAND ...\n\nCommands:\n");
    for (const Command &c : Commands()) {
        QString synopsis = c.words.join(u' ');
        if (!c.arguments.isEmpty())
            synopsis += u' ' + c.arguments;
        text += QStringLiteral("  %1\n      %2\n").arg(synopsis, c.summary);
    }
    return text;
}

// The command whose words begin the positional arguments (the longest match wins).
const Command *FindCommand(const QStringList &positional)
{
    const Command *best = nullptr;
    for (const Command &c : Commands()) {
        if (c.words.size() > positional.size())
            continue;
        if (positional.mid(0, c.words.size()) != c.words)
            continue;
        if (!best || c.words.size() > best->words.size())
            best = &c;
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    const auto app = MakeApplication(argc, argv);
    if (WantsWindows(argc, argv) && !qobject_cast<QApplication *>(app.get())) {
        QTextStream(stderr) << "zeltpc5-host: --gui needs a display (set DISPLAY, or "
                               "QT_QPA_PLATFORM=offscreen to run the windows unseen)."
                            << Qt::endl;
        return 2;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("zeltpc5"));
    QCoreApplication::setApplicationName(QStringLiteral("zeltpc5-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral("5.0.0.80"));

    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The zeltpc5 reference host."));
    parser.addOption(DatabaseOption());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.addVersionOption();
    // Commands share some options (--quote, --json, ...); each is added once.
    QStringList added;
    for (const Command &c : Commands()) {
        for (const QCommandLineOption &o : c.options) {
            if (!added.contains(o.names().constFirst())) {
                added << o.names().constFirst();
                parser.addOption(o);
            }
        }
    }
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."));

    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\n\n" << Usage();
        return 2;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out << "zeltpc5-host " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    QStringList positional = parser.positionalArguments();
    // With a desktop and nothing asked for, the quote window opens.
    if (positional.isEmpty() && !parser.isSet(help) && qobject_cast<QApplication *>(app.get()) &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        positional << QStringLiteral("gui");
    if (parser.isSet(help) || positional.isEmpty()) {
        const QString options = parser.helpText();
        (parser.isSet(help) ? out : err)
            << Usage() << '\n'
            << options.mid(options.indexOf(QStringLiteral("Options:")));
        return parser.isSet(help) ? 0 : 2;
    }
    const Command *command = FindCommand(positional);
    if (!command) {
        err << "Unknown command: " << positional.join(u' ') << "\n\n" << Usage();
        return 2;
    }

    CommandContext context(parser, positional.mid(command->words.size()), out, err);
    try {
        return command->run(context);
    } catch (const DatabaseError &e) {
        err << "zeltpc5-host: " << e.message() << Qt::endl;
        if (!e.driverMessage().trimmed().isEmpty())
            err << "  " << e.driverMessage().trimmed() << Qt::endl;
        if (!e.statement().isEmpty())
            err << "  Statement: " << e.statement() << Qt::endl;
        return 1;
    }
}
