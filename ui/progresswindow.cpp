#include "ui/progresswindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zeltpc5 {

ProgressWindow::ProgressWindow(const ProgressWindowTexts &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(texts.objectName);
    setWindowTitle(texts.caption);
    setModal(true);
    setFont(QFont(QStringLiteral("Verdana"), 9));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_heading = new QLabel(texts.heading, this);
    m_heading->setObjectName(QStringLiteral("lblHeading"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_progress = new QLabel(QStringLiteral("{progreess}"), this);
    m_progress->setObjectName(QStringLiteral("lblProgress"));
    m_progress->setVisible(false); // a design-time placeholder the runs never fill
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_requestCancel)
            m_requestCancel();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_bar);
    layout->addWidget(m_progress);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    setMinimumWidth(380);
}

void ProgressWindow::setCancelHandlers(std::function<void()> requestCancel,
                                       std::function<bool()> cancelRequested)
{
    m_requestCancel = std::move(requestCancel);
    m_cancelRequested = std::move(cancelRequested);
}

void ProgressWindow::setRange(int minimum, int maximum)
{
    m_bar->setRange(minimum, maximum);
}

void ProgressWindow::setValue(int value)
{
    // The bar refuses values outside its range; keep the count honest at the ends.
    m_bar->setValue(qBound(m_bar->minimum(), value, m_bar->maximum()));
}

int ProgressWindow::value() const
{
    return m_bar->value();
}

void ProgressWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void ProgressWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        // Queued, so the run starts once the window is up and has painted.
        QMetaObject::invokeMethod(this, &ProgressWindow::start, Qt::QueuedConnection);
    }
}

void ProgressWindow::reject()
{
    if (m_running) {
        if (m_requestCancel)
            m_requestCancel();
        return;
    }
    QDialog::reject();
}

void ProgressWindow::start()
{
    QCoreApplication::processEvents();
    m_running = true;
    if (m_work)
        m_work(this);
    m_running = false;
    m_cancelled = m_cancelRequested ? m_cancelRequested() : false;
    done(m_cancelled ? QDialog::Rejected : QDialog::Accepted);
}

bool RunWithProgressWindow(const ProgressWindowTexts &texts, const ProgressWindow::Work &work,
                           const std::function<void()> &requestCancel,
                           const std::function<bool()> &cancelRequested)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        work(nullptr);
        return !cancelRequested();
    }
    ProgressWindow window(texts, QApplication::activeWindow());
    window.setWork(work);
    window.setCancelHandlers(requestCancel, cancelRequested);
    window.exec();
    return !window.Cancelled();
}

} // namespace zeltpc5
