// The modal progress window of the long runs (bulk changes, item review): a heading, a
// progress bar, a progress label and a Cancel button. One class, configured per run by its
// object name, caption and heading.
#pragma once

#include "common/progress.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zeltpc5 {

struct ProgressWindowTexts
{
    QString objectName; // "frmChangeOption", "frmReviewItems", ...
    QString caption;    // "Change Option"
    QString heading;    // "Processing option changes..."
};

class ProgressWindow : public QDialog, public Progress
{
    Q_OBJECT
public:
    // The run; it receives the window as its progress.
    using Work = std::function<void(Progress *)>;

    explicit ProgressWindow(const ProgressWindowTexts &texts, QWidget *parent = nullptr);

    // The run, started once on the first activation after the window has painted.
    void setWork(Work work) { m_work = std::move(work); }
    // What Cancel does (sets the engine's CancelRequested) and how the window reads the
    // engine's flag when the run is over.
    void setCancelHandlers(std::function<void()> requestCancel,
                           std::function<bool()> cancelRequested);

    // True from creation; after the run, the engine's cancel flag.
    bool Cancelled() const { return m_cancelled; }

    // Progress
    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    int value() const override;
    void processEvents() override;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape and the close box ask to cancel, they do not close

private:
    void start();

    QLabel *m_heading;
    QProgressBar *m_bar;
    QLabel *m_progress;
    QPushButton *m_cancel;
    Work m_work;
    std::function<void()> m_requestCancel;
    std::function<bool()> m_cancelRequested;
    bool m_started = false;
    bool m_running = false;
    bool m_cancelled = true;
};

// Runs the work inside a modal progress window and returns true unless the run ended with
// a cancel request. Without a GUI application object (a host without windows) the work
// runs directly, with no progress (a null Progress).
bool RunWithProgressWindow(const ProgressWindowTexts &texts, const ProgressWindow::Work &work,
                           const std::function<void()> &requestCancel,
                           const std::function<bool()> &cancelRequested);

} // namespace zeltpc5
