#include "host/app/quotewindow.h"

#include "host/dialogs/selectproductstyle.h"
#include "host/services/sharedcodelibrary.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zeltpc5::host::app {

namespace {

constexpr int IdRole = Qt::UserRole + 1;

QTreeWidget *makeList(const QStringList &headers, const QString &name, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setAllColumnsShowFocus(true);
    return list;
}

// A small form dialog with OK and Cancel.
struct FormDialog
{
    QDialog dialog;
    QFormLayout *form;

    FormDialog(const QString &title, QWidget *parent) : dialog(parent)
    {
        dialog.setWindowTitle(title);
        auto *layout = new QVBoxLayout(&dialog);
        form = new QFormLayout;
        layout->addLayout(form);
        auto *buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(buttons);
        dialog.setMinimumWidth(380);
    }
};

// Asks for one option and its new value among the choices; false when cancelled.
bool askOption(const OptionChoices &choices, QWidget *parent, QString *name, QString *value)
{
    FormDialog d(QStringLiteral("Change Option Value"), parent);
    auto *names = new QComboBox(&d.dialog);
    names->setObjectName(QStringLiteral("cboOption"));
    names->addItems(choices.names);
    auto *values = new QComboBox(&d.dialog);
    values->setObjectName(QStringLiteral("cboValue"));
    values->setEditable(true); // sizes and texts are typed
    const auto fill = [&] {
        values->clear();
        values->addItems(choices.values.value(names->currentText()));
    };
    QObject::connect(names, &QComboBox::currentTextChanged, &d.dialog, fill);
    fill();
    d.form->addRow(QStringLiteral("Option:"), names);
    d.form->addRow(QStringLiteral("New value:"), values);
    if (d.dialog.exec() != QDialog::Accepted || names->currentText().isEmpty())
        return false;
    *name = names->currentText();
    *value = values->currentText();
    return true;
}

} // namespace

QuoteWindow::QuoteWindow(std::shared_ptr<Database> db, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmQuotes"));
    setWindowTitle(QStringLiteral("Quotes - zeltpc5 reference host"));

    m_quotes = makeList({QStringLiteral("Quote"), QStringLiteral("Customer"),
                         QStringLiteral("Date"), QStringLiteral("Lines"), QStringLiteral("Total")},
                        QStringLiteral("lstQuotes"), this);
    m_lines =
        makeList({QStringLiteral("Line"), QStringLiteral("Qty"), QStringLiteral("Product / Style"),
                  QStringLiteral("Location"), QStringLiteral("Size"), QStringLiteral("Unit Price"),
                  QStringLiteral("Line Total")},
                 QStringLiteral("lstLines"), this);
    m_quotes->header()->setStretchLastSection(false);
    m_quotes->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_lines->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lines->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_lines->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_lines->header()->setStretchLastSection(false);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_quotes);
    splitter->addWidget(m_lines);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({160, 440});
    setCentralWidget(splitter);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction *open = file->addAction(QStringLiteral("&Open..."), this, &QuoteWindow::openDatabase);
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_undo = edit->addAction(QStringLiteral("&Undo last change"), this, &QuoteWindow::undo);
    m_undo->setObjectName(QStringLiteral("actUndo"));
    m_undo->setShortcut(QKeySequence::Undo);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    QToolBar *bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("tbTools"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto tool = [&](const QString &text, const QString &name, const QKeySequence &key,
                          auto slot) {
        QAction *a = tools->addAction(text, this, slot);
        a->setObjectName(name);
        a->setShortcut(key);
        bar->addAction(a);
        m_lines->addAction(a);
        m_lineActions << a;
        return a;
    };
    tool(QStringLiteral("Change option value..."), QStringLiteral("actChangeOption"),
         QKeySequence(Qt::CTRL | Qt::Key_1), &QuoteWindow::changeOptionValue);
    tool(QStringLiteral("Change product and style..."), QStringLiteral("actChangeProduct"),
         QKeySequence(Qt::CTRL | Qt::Key_2), [this] { changeProductStyle(false); });
    tool(QStringLiteral("Change product, style and options..."),
         QStringLiteral("actChangeProductOptions"), QKeySequence(Qt::CTRL | Qt::Key_3),
         [this] { changeProductStyle(true); });
    tool(QStringLiteral("Change discount..."), QStringLiteral("actChangeDiscount"),
         QKeySequence(Qt::CTRL | Qt::Key_4), &QuoteWindow::changeDiscount);
    tool(QStringLiteral("Compare products..."), QStringLiteral("actCompare"),
         QKeySequence(Qt::CTRL | Qt::Key_5),
         [this] { report(m_workbench->compare(currentQuote(), selectedLineIDs())); });
    tool(QStringLiteral("Review items..."), QStringLiteral("actReview"),
         QKeySequence(Qt::CTRL | Qt::Key_6), &QuoteWindow::reviewItems);
    QAction *editItem = tool(QStringLiteral("Edit item..."), QStringLiteral("actEditItem"),
                             QKeySequence(Qt::CTRL | Qt::Key_E), [this] {
                                 const QStringList ids = selectedLineIDs();
                                 if (!ids.isEmpty())
                                     report(m_workbench->editItem(currentQuote(), ids.front()));
                             });
    connect(m_lines, &QTreeWidget::itemDoubleClicked, editItem, &QAction::trigger);

    m_database = new QLabel(this);
    statusBar()->addPermanentWidget(m_database);
    connect(m_quotes, &QTreeWidget::currentItemChanged, this, [this] { showLines(); });
    connect(m_lines, &QTreeWidget::itemSelectionChanged, this, [this] { updateActions(); });
    resize(980, 640);
    setDatabase(std::move(db));
}

QuoteWindow::~QuoteWindow() = default;

void QuoteWindow::setDatabase(std::shared_ptr<Database> db)
{
    m_database->setText(db->settings().describe());
    m_workbench = std::make_unique<QuoteWorkbench>(std::move(db));
    if (!m_workbench->isOpen())
        statusBar()->showMessage(m_workbench->error());
    refresh();
}

void QuoteWindow::refresh()
{
    const int current = currentQuote();
    m_quotes->clear();
    for (const QuoteSummary &q : m_workbench->quotes()) {
        auto *item =
            new QTreeWidgetItem(m_quotes, {q.number, q.customerName,
                                           QLocale().toString(q.date.date(), QLocale::ShortFormat),
                                           QString::number(q.lineCount)});
        double total = 0;
        for (const QuoteLineRow &row : m_workbench->lines(q.id))
            total += row.lineTotal;
        item->setText(4, QLocale().toCurrencyString(total));
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, IdRole, q.id);
        if (q.id == current || (current == 0 && m_quotes->topLevelItemCount() == 1))
            m_quotes->setCurrentItem(item);
    }
    for (int c : {0, 2, 3, 4})
        m_quotes->resizeColumnToContents(c);
    showLines();
}

int QuoteWindow::currentQuote() const
{
    const QTreeWidgetItem *item = m_quotes->currentItem();
    return item ? item->data(0, IdRole).toInt() : 0;
}

void QuoteWindow::selectQuote(int quoteID)
{
    for (int i = 0; i < m_quotes->topLevelItemCount(); ++i) {
        if (m_quotes->topLevelItem(i)->data(0, IdRole).toInt() == quoteID)
            m_quotes->setCurrentItem(m_quotes->topLevelItem(i));
    }
}

void QuoteWindow::showLines()
{
    const QStringList selected = selectedLineIDs();
    m_lines->clear();
    const QLocale locale;
    for (const QuoteLineRow &row : m_workbench->lines(currentQuote())) {
        auto *item = new QTreeWidgetItem(m_lines, {QString::number(row.line.line),
                                                   QString::number(row.line.quantity),
                                                   row.productStyle, row.location, row.dimensions,
                                                   locale.toCurrencyString(row.unitPrice),
                                                   locale.toCurrencyString(row.lineTotal)});
        item->setData(0, IdRole, row.line.uniqueID);
        for (int c : {0, 1})
            item->setTextAlignment(c, Qt::AlignCenter);
        for (int c : {5, 6})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        item->setSelected(selected.contains(row.line.uniqueID));
    }
    for (int c : {0, 1, 3, 4, 5, 6})
        m_lines->resizeColumnToContents(c);
    updateActions();
}

QStringList QuoteWindow::selectedLineIDs() const
{
    QStringList ids;
    for (int i = 0; i < m_lines->topLevelItemCount(); ++i) {
        if (m_lines->topLevelItem(i)->isSelected())
            ids << m_lines->topLevelItem(i)->data(0, IdRole).toString();
    }
    return ids;
}

std::vector<QuoteLine> QuoteWindow::selectedLines() const
{
    std::vector<QuoteLine> lines;
    const QStringList ids = selectedLineIDs();
    for (const QuoteLineRow &row : m_workbench->lines(currentQuote())) {
        if (ids.contains(row.line.uniqueID))
            lines.push_back(row.line);
    }
    return lines;
}

void QuoteWindow::updateActions()
{
    const bool any = m_workbench->isOpen() && !selectedLineIDs().isEmpty();
    for (QAction *a : m_lineActions)
        a->setEnabled(any);
    m_undo->setEnabled(m_workbench->canUndo());
}

void QuoteWindow::report(const QuoteWorkbench::Outcome &outcome)
{
    statusBar()->showMessage(outcome.message, 10000);
    showLines();
}

void QuoteWindow::changeOptionValue()
{
    QString name, value;
    if (!askOption(m_workbench->optionChoices(selectedLines()), this, &name, &value))
        return;
    report(m_workbench->changeOptionValues(currentQuote(), selectedLineIDs(), {name}, {value}));
}

void QuoteWindow::changeProductStyle(bool withOptions)
{
    const std::vector<QuoteLine> lines = selectedLines();
    if (lines.empty())
        return;
    const ItemDialogContext context{m_workbench->sharedDatabase(), DefaultProductDirectory(), {}};
    qint32 vendor = 0, product = lines.front().productID;
    QString style = lines.front().style;
    if (!SelectProductStyle(context, vendor, product, style, false, this))
        return;
    QStringList names, values;
    if (withOptions) {
        QuoteLine sample;
        sample.productID = product;
        QString name, value;
        if (!askOption(m_workbench->optionChoices({sample}), this, &name, &value))
            return;
        names << name;
        values << value;
    }
    report(m_workbench->changeProductStyle(currentQuote(), selectedLineIDs(), vendor, product,
                                           style, names, values));
}

void QuoteWindow::changeDiscount()
{
    FormDialog d(QStringLiteral("Change Discount"), this);
    auto *customer = new QRadioButton(QStringLiteral("Customer discount (percent)"), &d.dialog);
    customer->setObjectName(QStringLiteral("optCustomer"));
    auto *item =
        new QRadioButton(QStringLiteral("Item discount (amount, or percent with %)"), &d.dialog);
    item->setObjectName(QStringLiteral("optItem"));
    customer->setChecked(true);
    auto *value = new QLineEdit(&d.dialog);
    value->setObjectName(QStringLiteral("txtValue"));
    d.form->addRow(customer);
    d.form->addRow(item);
    d.form->addRow(QStringLiteral("Value:"), value);
    if (d.dialog.exec() != QDialog::Accepted)
        return;
    QString text = value->text().trimmed();
    if (customer->isChecked() && !text.isEmpty()) {
        bool ok = false;
        const double percent = QLocale().toDouble(text, &ok);
        if (!ok || percent < 0 || percent > 100) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("A customer discount is a percentage from 0 to "
                                                "100."));
            return;
        }
        // The line keeps its customer discount as a fraction.
        text = QLocale().toString(percent / 100.0, 'g', 8);
    }
    report(m_workbench->changeDiscount(currentQuote(), selectedLineIDs(),
                                       customer->isChecked() ? 2 : 3, text));
}

void QuoteWindow::reviewItems()
{
    report(m_workbench->reviewItems(currentQuote(), selectedLineIDs()));
}

void QuoteWindow::undo()
{
    report(m_workbench->undo());
}

void QuoteWindow::openDatabase()
{
    QString location = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Company Database"), QString(),
        QStringLiteral("Company databases (*.db *.sqlite);;All Files (*)"));
    if (location.isEmpty()) {
        location = QInputDialog::getText(this, QStringLiteral("Open Company Database"),
                                         QStringLiteral("Or a connection string:"));
        if (location.isEmpty())
            return;
    }
    try {
        const ConnectionSettings settings = location.contains(QLatin1Char('='))
                                                ? ConnectionSettings::parse(location)
                                                : ConnectionSettings::sqliteFile(location);
        setDatabase(Database::open(settings, OpenMode::ExistingOnly));
    } catch (const DatabaseError &e) {
        QMessageBox::critical(this, windowTitle(), e.message());
    }
}

} // namespace zeltpc5::host::app
