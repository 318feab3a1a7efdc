// zeltpc5-host gui: the quote window over the company database (the default with a display
// and no command). The demo company is created on first start when the database is new.
#include "host/app/command.h"
#include "host/app/quotewindow.h"
#include "host/database/seed.h"

#include <QApplication>

namespace zeltpc5::host::app {

namespace {

int runGui(CommandContext &c)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        c.err() << "zeltpc5-host gui needs a display (set DISPLAY)." << Qt::endl;
        return 2;
    }
    auto db = c.openDatabase(OpenMode::CreateIfMissing);
    if (!HasDemoCompany(*db) && db->select(QStringLiteral("SELECT ID FROM Products")).rows.empty())
        SeedDemoCompany(*db);
    QuoteWindow window(std::move(db));
    window.show();
    return QApplication::exec();
}

} // namespace

void AddDesktopCommands(std::vector<Command> &commands)
{
    commands.push_back({{QStringLiteral("gui")},
                        QString(),
                        QStringLiteral("Open the quote window: quotes, their lines and the "
                                       "component's tools (the default with a display)."),
                        {},
                        runGui});
}

} // namespace zeltpc5::host::app
