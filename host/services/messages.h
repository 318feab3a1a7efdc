// The host's message calls. With a GUI application object a modal message box shows the
// heading and the text; "with memory" adds a "Don't show this again" check box whose
// answer is remembered per user. Without a GUI the message goes to standard error.
#pragma once

#include <QString>

#include <memory>

namespace zeltpc5::host {

class MessagePresenter
{
public:
    virtual ~MessagePresenter();
    // Shows the message and returns when it is dismissed; with offerMemory, returns true
    // when the user asked not to see it again.
    virtual bool present(const QString &heading, const QString &text, bool offerMemory) = 0;
};

// Message boxes when a GUI application object exists, standard error otherwise.
std::shared_ptr<MessagePresenter> DefaultMessagePresenter();

class MessageCentre
{
public:
    // settingsFile: an INI file for the remembered answers; empty for the user's own
    // settings (QSettings "zeltpc5" / "zeltpc5-host").
    MessageCentre(std::shared_ptr<MessagePresenter> presenter, QString settingsFile);

    void ShowMessageStyle1(const QString &heading, const QString &text);
    void ShowMessageStyle1WithMemory(const QString &heading, const QString &text);

private:
    std::shared_ptr<MessagePresenter> m_presenter;
    QString m_settingsFile;
};

} // namespace zeltpc5::host
