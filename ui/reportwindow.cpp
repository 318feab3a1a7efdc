#include "ui/reportwindow.h"

#include "ui/reportgrid.h"
#include "ui/reporthelpers.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>

namespace zeltpc5 {

ReportWindow::ReportWindow(QWidget *parent) : QDialog(parent)
{
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) |
                   Qt::WindowMaximizeButtonHint);
    setModal(true);
}

void ReportWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_activated)
        return;
    m_activated = true;
    // Queued, so the window is up and has painted before it fills and before messages
    // appear over it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            QCoreApplication::processEvents();
            firstActivation();
            m_filled = true;
            Q_EMIT filled();
        },
        Qt::QueuedConnection);
}

QPushButton *ReportWindow::createMoreCommands(ReportGrid *grid)
{
    auto *more = new QPushButton(QStringLiteral("More commands"), this);
    more->setObjectName(QStringLiteral("cmdMore"));
    auto *menu = new QMenu(QStringLiteral("More"), this);
    menu->setObjectName(QStringLiteral("mnuMore"));
    QAction *print = menu->addAction(QStringLiteral("Print List..."));
    print->setObjectName(QStringLiteral("mnuPrint"));
    QAction *save = menu->addAction(QStringLiteral("Save List..."));
    save->setObjectName(QStringLiteral("mnuSave"));
    connect(more, &QPushButton::clicked, this, [more, menu] {
        // At the button's left edge, directly below it.
        menu->popup(more->mapToGlobal(QPoint(0, more->height())));
    });
    connect(print, &QAction::triggered, this, [grid] { ShowPrintPreview(*grid); });
    connect(save, &QAction::triggered, this, [this, grid] {
        if (!m_fileDialog) {
            m_fileDialog = new QFileDialog(this);
            m_fileDialog->setObjectName(QStringLiteral("CommonDialog1"));
        }
        SaveGridAsText(*m_fileDialog, *grid, QString(), true, false);
    });
    return more;
}

void AddChildTexts(ReportRecord *record, int itemIndex, const QStringList &texts)
{
    for (const QString &text : texts) {
        ReportRecord *child = record->AddChild();
        for (int i = 0; i < itemIndex; ++i)
            child->AddItem();
        child->AddItem(text);
    }
}

} // namespace zeltpc5
