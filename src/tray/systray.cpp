// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/systray.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// A StatusNotifier host on the session bus: the notification area of KDE, and of other
// desktops through an extension.
bool statusNotifierHost()
{
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 1000);
    return reply.isValid() && reply.value().variant().toBool();
}

// An X11 notification area: the owner of the selection _NET_SYSTEM_TRAY_S<screen>.
bool xembedTray()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    char *host = nullptr;
    int display = 0;
    int screen = 0; // the first screen when DISPLAY does not say
    if (xcb_parse_display(nullptr, &host, &display, &screen))
        std::free(host);
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, true, quint16(name.size()), name.constData()), nullptr);
    bool owned = false;
    if (atom && atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_NONE;
        std::free(owner);
    }
    std::free(atom);
    return owned;
}

} // namespace

const QString SysTray::kTip = QStringLiteral("Horalux");

SysTray::SysTray(const QIcon &icon, QWidget *window)
    : QObject(window), window_(window), image_(icon), tip_(kTip),
      available_([] { return statusNotifierHost() || xembedTray(); })
{
    setObjectName(QStringLiteral("cSysTray1"));
    connect(this, &SysTray::restoreRequest, this, &SysTray::restoreWindow);
}

void SysTray::hideWindow()
{
    // With no notification area a hidden window could never be reached again: it is minimized
    // instead. At login the panel often comes up after the program, so the window goes on
    // looking, once a second for two minutes, and moves into the tray as soon as there is one.
    if (!isAvailable()) {
        window_->showMinimized();
        trayLooksLeft_ = kTrayLooks;
        if (!trayWait_) {
            trayWait_ = new QTimer(this);
            trayWait_->setInterval(1000);
            connect(trayWait_, &QTimer::timeout, this, &SysTray::lookForTray);
        }
        trayWait_->start();
        return;
    }
    if (trayWait_)
        trayWait_->stop();
    const bool minimized = window_->isMinimized();
    setIntray(true);
    window_->hide();
    if (minimized) {
        // A window hidden while minimized keeps, on X11, its hint to be mapped minimized: shown
        // again, the window manager would keep it an icon, unmapped. Made anew when next shown,
        // it comes back as a new window does, normal and painted.
        window_->windowHandle()->destroy();
        window_->windowHandle()->setWindowStates(window_->windowState() & ~Qt::WindowMinimized);
    }
}

void SysTray::lookForTray()
{
    // The user brought the window back meanwhile, or two minutes have passed: it stays.
    if (!window_->isMinimized() || --trayLooksLeft_ < 0)
        trayWait_->stop();
    else if (isAvailable())
        hideWindow();
}

void SysTray::restoreWindow()
{
    if (trayWait_)
        trayWait_->stop();
    window_->show();
    if (window_->isMinimized())
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->raise();
    window_->activateWindow();
    setIntray(false);
}

QSystemTrayIcon *SysTray::icon()
{
    if (icon_)
        return icon_;
    icon_ = new QSystemTrayIcon(image_, this);
    icon_->setToolTip(tip_);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit restoreRequest();
            });
    return icon_;
}

void SysTray::setIntray(bool on)
{
    intray_ = on;
    if (on || icon_)
        icon()->setVisible(on);
    emit intrayChanged(on);
}

void SysTray::setContextMenu(QMenu *menu)
{
    menu_ = menu;
    if (icon_)
        icon_->setContextMenu(menu);
}

void SysTray::setArmedSchedules(const QStringList &lines)
{
    tip_ = (QStringList(kTip) << lines).join(QLatin1Char('\n'));
    if (icon_)
        icon_->setToolTip(tip_);
}

bool SysTray::isAvailable() const
{
    return available_();
}

void SysTray::setAvailabilityCheck(AvailabilityCheck check)
{
    available_ = std::move(check);
}
