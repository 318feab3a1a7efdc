// Answers the modal windows a test opens, as a user would click: each window, when it shows,
// gets the next answer queued for its name (a click on one of its buttons). Windows left
// alone (progress windows that close themselves) are named up front; any other window
// without an answer is closed with Cancel and recorded, so a test never waits for a click.
#pragma once

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>

class QDialog;

namespace zeltpc5::testing {

class ModalAnswers : public QObject
{
public:
    explicit ModalAnswers(QStringList leftAlone = {});
    ~ModalAnswers() override;

    // The next window of that name is answered by clicking the button of that object name.
    void click(const QString &windowName, const QString &buttonName);
    // The next window of that name is handed to the function (after it has shown).
    void act(const QString &windowName, std::function<void(QDialog &)> action);

    const QStringList &shown() const { return m_shown; }
    const QStringList &unanswered() const { return m_unanswered; }
    bool allAnswered() const { return m_answers.empty(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Answer
    {
        QString window;
        std::function<void(QDialog &)> action;
    };
    QStringList m_leftAlone;
    std::deque<Answer> m_answers;
    QStringList m_shown;
    QStringList m_unanswered;
};

} // namespace zeltpc5::testing
