// The reference host's desktop window: the quotes of the company database, the selected
// quote's lines, and the component's tools on the selected lines. A thin view over
// QuoteWorkbench.
#pragma once

#include "host/app/quoteworkbench.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QTreeWidget;

namespace zeltpc5::host::app {

class QuoteWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Opens the database at the location (SQLite file or connection string).
    explicit QuoteWindow(std::shared_ptr<Database> db, QWidget *parent = nullptr);
    ~QuoteWindow() override;

    QuoteWorkbench &workbench() { return *m_workbench; }
    // The quote shown and the UniqueIDs of the selected lines.
    int currentQuote() const;
    QStringList selectedLineIDs() const;
    void selectQuote(int quoteID);
    void refresh();

private:
    void setDatabase(std::shared_ptr<Database> db);
    void showLines();
    void updateActions();
    void report(const QuoteWorkbench::Outcome &outcome);
    std::vector<QuoteLine> selectedLines() const;

    void changeOptionValue();
    void changeProductStyle(bool withOptions);
    void changeDiscount();
    void reviewItems();
    void undo();
    void openDatabase();

    std::unique_ptr<QuoteWorkbench> m_workbench;
    QTreeWidget *m_quotes;
    QTreeWidget *m_lines;
    QLabel *m_database;
    QList<QAction *> m_lineActions;
    QAction *m_undo;
};

} // namespace zeltpc5::host::app
