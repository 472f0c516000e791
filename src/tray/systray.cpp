// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/systray.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>

// The notification area of a Linux desktop is asked through D-Bus and X11; Windows' through Qt.
#ifndef Q_OS_WIN
#include "desktop/dbus_call.h"

#include <QDBusConnection>
#include <QDBusVariant>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The X11 notification area's selection: _NET_SYSTEM_TRAY_S<screen>.
QByteArray traySelection()
{
    char *host = nullptr;
    int display = 0;
    int screen = 0; // the first screen when DISPLAY does not say
    if (xcb_parse_display(nullptr, &host, &display, &screen))
        std::free(host);
    return "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
}

} // namespace
#endif

const QString SysTray::kTip = QStringLiteral("Horalux");

SysTray::SysTray(const QIcon &icon, QWidget *window)
    : QObject(window), window_(window), image_(icon), tip_(kTip), x11Poll_(new QTimer(this))
{
    setObjectName(QStringLiteral("cSysTray1"));
    connect(this, &SysTray::restoreRequest, this, &SysTray::restoreWindow);
    x11Poll_->setInterval(10);
    connect(x11Poll_, &QTimer::timeout, this, &SysTray::pollX11);
    probe(); // the first answer, before it is needed
}

void SysTray::hideWindow()
{
    // With no notification area a hidden window could never be reached again: it is minimized
    // instead. At login the panel often comes up after the program, so the window goes on
    // looking, once a second for two minutes, and moves into the tray as soon as there is one.
    // At start the desktop's first answer may still be on its way (it comes within kProbeMs):
    // the window, not shown yet, waits for it rather than flash up minimized.
    if (!available_ && !answered_ && !window_->isVisible()) {
        hidePending_ = true;
        return;
    }
    hidePending_ = false;
    if (!isAvailable()) {
        window_->showMinimized();
        trayLooksLeft_ = kTrayLooks;
        if (!trayWait_) {
            trayWait_ = new QTimer(this);
            trayWait_->setObjectName(QStringLiteral("trayWait"));
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
    hidePending_ = false;
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

bool SysTray::isAvailable()
{
    if (available_)
        return available_();
    probe();
    return known_;
}

void SysTray::probe()
{
#ifdef Q_OS_WIN
    // The taskbar's notification area is always there.
    known_ = QSystemTrayIcon::isSystemTrayAvailable();
    answered_ = true;
#else
    if (askingBus_ || askingX11_)
        return; // the answers to the last look are still coming
    askingBus_ = true;
    if (xcb_connection_t *x11 = x11Connection()) {
        if (trayAtom_ == XCB_ATOM_NONE) {
            const QByteArray name = traySelection();
            x11Request_ = xcb_intern_atom(x11, true, quint16(name.size()), name.constData()).sequence;
        } else {
            x11Request_ = xcb_get_selection_owner(x11, trayAtom_).sequence;
        }
        xcb_flush(x11);
        askingX11_ = true;
        x11PollsLeft_ = kProbeMs / x11Poll_->interval();
        x11Poll_->start();
    }
    // A StatusNotifier host on the session bus: the notification area of KDE, and of other
    // desktops through an extension.
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    get.setAutoStartService(false);
    callAsync(QDBusConnection::sessionBus(), get, this, [this](const QDBusPendingCall &answer) {
        // No answer in time: a watcher has the name but is stuck. Any other error: no watcher.
        const QDBusError::ErrorType error = answer.isError() ? answer.error().type() : QDBusError::NoError;
        watcherStuck_ = error == QDBusError::NoReply || error == QDBusError::Timeout;
        busSays_ = !answer.isError()
                && answer.reply().arguments().value(0).value<QDBusVariant>().variant().toBool();
        askingBus_ = false;
        probeDone();
    });
#endif
}

void SysTray::pollX11()
{
#ifndef Q_OS_WIN
    xcb_connection_t *x11 = x11Connection();
    void *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    if (x11 && !xcb_poll_for_reply(x11, x11Request_, &reply, &error) && --x11PollsLeft_ > 0)
        return; // not yet
    if (x11 && !reply && !error)
        xcb_discard_reply(x11, x11Request_); // no answer in time: none is kept if it comes
    std::free(error);
    const bool named = trayAtom_ != XCB_ATOM_NONE;
    if (reply && !named) {
        // The selection's name is known: now ask for its owner.
        trayAtom_ = static_cast<xcb_intern_atom_reply_t *>(reply)->atom;
        std::free(reply);
        if (trayAtom_ != XCB_ATOM_NONE) {
            x11Request_ = xcb_get_selection_owner(x11, trayAtom_).sequence;
            xcb_flush(x11);
            return;
        }
    }
    // A name never made has no owner; no answer in time counts as none.
    x11Says_ = named && reply && static_cast<xcb_get_selection_owner_reply_t *>(reply)->owner != XCB_NONE;
    if (named)
        std::free(reply);
    x11Poll_->stop();
    askingX11_ = false;
    probeDone();
#endif
}

void SysTray::probeDone()
{
    if (askingBus_ || askingX11_)
        return;
    known_ = !watcherStuck_ && (busSays_ || x11Says_);
    answered_ = true;
    if (hidePending_)
        hideWindow();
}

void SysTray::setAvailabilityCheck(AvailabilityCheck check)
{
    available_ = std::move(check);
}
