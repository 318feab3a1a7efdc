#include "modalanswers.h"

#include "ui/reportwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace zeltpc5::testing {

ModalAnswers::ModalAnswers(QStringList leftAlone) : m_leftAlone(std::move(leftAlone))
{
    qApp->installEventFilter(this);
}

ModalAnswers::~ModalAnswers()
{
    qApp->removeEventFilter(this);
}

void ModalAnswers::click(const QString &windowName, const QString &buttonName)
{
    act(windowName, [buttonName](QDialog &dialog) {
        if (auto *button = dialog.findChild<QAbstractButton *>(buttonName))
            button->click();
        else
            dialog.reject();
    });
}

void ModalAnswers::act(const QString &windowName, std::function<void(QDialog &)> action)
{
    m_answers.push_back({windowName, std::move(action)});
}

bool ModalAnswers::eventFilter(QObject *watched, QEvent *event)
{
    auto *dialog = qobject_cast<QDialog *>(watched);
    if (event->type() != QEvent::Show || !dialog || !dialog->isModal())
        return false;
    const QString name = dialog->objectName();
    m_shown << name;
    if (m_leftAlone.contains(name))
        return false;
    std::function<void(QDialog &)> action;
    const auto answer = std::find_if(m_answers.begin(), m_answers.end(),
                                     [&](const Answer &a) { return a.window == name; });
    if (answer != m_answers.end()) {
        action = std::move(answer->action);
        m_answers.erase(answer);
    } else {
        m_unanswered << name;
        action = [](QDialog &d) { d.reject(); };
    }
    // The component's windows are answered once they have filled, as a user sees them;
    // other windows once their show has been handled.
    QPointer<QDialog> target(dialog);
    const auto run = [target, action] {
        if (target)
            action(*target);
    };
    if (auto *window = qobject_cast<ReportWindow *>(dialog); window && !window->isFilled())
        connect(window, &ReportWindow::filled, window, run, Qt::SingleShotConnection);
    else
        QTimer::singleShot(0, dialog, run);
    return false;
}

} // namespace zeltpc5::testing
