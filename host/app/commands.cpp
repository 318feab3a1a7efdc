#include "host/app/command.h"

#include <QDir>
#include <QStandardPaths>

namespace zeltpc5::host::app {

CommandContext::CommandContext(const QCommandLineParser &parser, QStringList arguments,
                               QTextStream &out, QTextStream &err)
    : m_parser(parser), m_arguments(std::move(arguments)), m_out(out), m_err(err)
{}

QCommandLineOption DatabaseOption()
{
    return QCommandLineOption(
        QStringLiteral("db"),
        QStringLiteral("The company database: an SQLite file, or a connection string such as "
                       "\"driver=QPSQL;host=...;database=...;user=...;password=...\"."),
        QStringLiteral("PATH"));
}

QString CommandContext::databaseLocation() const
{
    if (m_parser.isSet(QStringLiteral("db")))
        return m_parser.value(QStringLiteral("db"));
    const QString fromEnvironment = qEnvironmentVariable("ZELTPC5_DB");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("company.db"));
}

std::shared_ptr<Database> CommandContext::openDatabase(OpenMode mode) const
{
    return Database::open(ConnectionSettings::parse(databaseLocation()), mode);
}

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands = [] {
        std::vector<Command> c;
        AddDatabaseCommands(c);
        AddQuoteCommands(c);
        AddToolCommands(c);
        AddDesktopCommands(c);
        return c;
    }();
    return commands;
}

} // namespace zeltpc5::host::app
