#include "host/services/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QMessageBox>
#include <QSettings>
#include <QTextStream>

namespace zeltpc5::host {

namespace {

class StandardPresenter : public MessagePresenter
{
public:
    bool present(const QString &heading, const QString &text, bool offerMemory) override
    {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
            QTextStream(stderr) << heading << '\n' << text << Qt::endl;
            return false;
        }
        QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(),
                        heading, QMessageBox::Ok);
        box.setObjectName(QStringLiteral("frmMessage"));
        box.setInformativeText(text);
        QCheckBox *remember = nullptr;
        if (offerMemory) {
            remember = new QCheckBox(QObject::tr("Don't show this again"));
            remember->setObjectName(QStringLiteral("chkDontShowAgain"));
            box.setCheckBox(remember);
        }
        box.exec();
        return remember && remember->isChecked();
    }
};

// One key per message: its heading and text, hashed so that any text makes a valid key.
QString MemoryKey(const QString &heading, const QString &text)
{
    const QByteArray digest =
        QCryptographicHash::hash((heading + u'\n' + text).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("HiddenMessages/") + QString::fromLatin1(digest.toHex());
}

std::unique_ptr<QSettings> OpenSettings(const QString &file)
{
    if (file.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("zeltpc5"),
                                           QStringLiteral("zeltpc5-host"));
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

} // namespace

MessagePresenter::~MessagePresenter() = default;

std::shared_ptr<MessagePresenter> DefaultMessagePresenter()
{
    return std::make_shared<StandardPresenter>();
}

MessageCentre::MessageCentre(std::shared_ptr<MessagePresenter> presenter, QString settingsFile)
    : m_presenter(presenter ? std::move(presenter) : DefaultMessagePresenter()),
      m_settingsFile(std::move(settingsFile))
{}

void MessageCentre::ShowMessageStyle1(const QString &heading, const QString &text)
{
    m_presenter->present(heading, text, false);
}

void MessageCentre::ShowMessageStyle1WithMemory(const QString &heading, const QString &text)
{
    const QString key = MemoryKey(heading, text);
    if (OpenSettings(m_settingsFile)->value(key, false).toBool())
        return;
    if (m_presenter->present(heading, text, true)) {
        auto settings = OpenSettings(m_settingsFile);
        settings->setValue(key, true);
        settings->sync();
    }
}

} // namespace zeltpc5::host
