// The subcommands of zeltpc5-host. Each is one entry in the command table: its words
// ("quote", "list"), its own options, a line of help and the function that runs it. A
// later tool adds its entry in commands.cpp and its code in a file of its own.
#pragma once

#include "host/database/database.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <vector>

namespace zeltpc5::host::app {

class CommandContext
{
public:
    CommandContext(const QCommandLineParser &parser, QStringList arguments, QTextStream &out,
                   QTextStream &err);

    const QCommandLineParser &parser() const { return m_parser; }
    // The positional arguments after the command's words.
    const QStringList &arguments() const { return m_arguments; }
    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // --db, else ZELTPC5_DB, else company.db in the user's data folder.
    QString databaseLocation() const;
    // Opens the database; throws DatabaseError with a message naming the location.
    std::shared_ptr<Database> openDatabase(OpenMode mode) const;

private:
    const QCommandLineParser &m_parser;
    QStringList m_arguments;
    QTextStream &m_out;
    QTextStream &m_err;
};

struct Command
{
    QStringList words;
    QString arguments; // shown in the help after the words, e.g. "N"
    QString summary;
    QList<QCommandLineOption> options;
    // Returns the exit code; DatabaseError is reported by the caller.
    std::function<int(CommandContext &)> run;
};

// Every command, in the order the help lists them.
const std::vector<Command> &Commands();

// Entries contributed by each command file.
void AddDatabaseCommands(std::vector<Command> &commands);
void AddQuoteCommands(std::vector<Command> &commands);
void AddToolCommands(std::vector<Command> &commands);
void AddDesktopCommands(std::vector<Command> &commands);

// The global option --db.
QCommandLineOption DatabaseOption();

} // namespace zeltpc5::host::app
