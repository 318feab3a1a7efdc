#include "ui/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cmath>

namespace zeltpc5 {

namespace {

QString positionKey(const QString &name)
{
    return QStringLiteral("Software/Kelvane/Lumenfold/5.0/Window Positions/") + name;
}

QSettings userStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zeltpc5"),
                     QStringLiteral("zeltpc5"));
}

// Twips to whole pixels, halves to the even pixel.
int toPixels(qint32 twips)
{
    return static_cast<int>(std::nearbyint(static_cast<double>(twips) / TwipsPerPixel));
}

void centreOnPrimaryScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    window->move(available.x() + (available.width() - window->width()) / 2,
                 available.y() + (available.height() - window->height()) / 2);
}

} // namespace

void RestoreWindowPosition(const QString &name, QWidget *window, bool restoreSize)
{
    QSettings store = userStore();
    RestoreWindowPosition(store, name, window, restoreSize);
}

void SaveWindowPosition(const QString &name, QWidget *window)
{
    QSettings store = userStore();
    SaveWindowPosition(store, name, window);
}

void RestoreWindowPosition(QSettings &store, const QString &name, QWidget *window, bool restoreSize)
{
    if (!window)
        return;
    const QString value =
        name.isEmpty() ? QString() : store.value(positionKey(name), QString()).toString();
    const QStringList parts = value.split(QLatin1Char(','));
    if (value.isEmpty() || parts.size() != 4) {
        centreOnPrimaryScreen(window);
        return;
    }

    std::array<qint32, 4> twips{}; // top, left, width, height
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        twips[i] = parts.at(i).toInt(&ok);
        if (!ok)
            return; // a damaged value leaves the window where it is
    }
    const QPoint topLeft(toPixels(twips[1]), toPixels(twips[0]));
    if (!QGuiApplication::screenAt(topLeft)) {
        centreOnPrimaryScreen(window);
        return;
    }
    window->move(topLeft);
    if (restoreSize)
        window->resize(toPixels(twips[2]), toPixels(twips[3]));
}

void SaveWindowPosition(QSettings &store, const QString &name, QWidget *window)
{
    if (!window || name.isEmpty())
        return;
    // Minimised, maximised or full screen says nothing about where the user wants it back.
    if (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const qint64 twips = TwipsPerPixel;
    store.setValue(positionKey(name), QStringLiteral("%1,%2,%3,%4")
                                          .arg(window->y() * twips)
                                          .arg(window->x() * twips)
                                          .arg(window->width() * twips)
                                          .arg(window->height() * twips));
}

} // namespace zeltpc5
