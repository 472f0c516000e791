// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QStringList>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

// The notification-area icon of a window, and the window's moves into the tray and back. The
// icon shows while one property, intray, is true; a left click or a double click on it
// (restoreRequest) brings the window back. A right click opens the pop-up menu given with
// setContextMenu; the system tray draws that menu itself where it must.
class SysTray : public QObject {
    Q_OBJECT
public:
    using AvailabilityCheck = std::function<bool()>;

    static const QString kTip; // "Horalux"
    // How many times, once a second, a window waiting minimized looks for a notification area.
    static constexpr int kTrayLooks = 120;

    // The icon of window, which it belongs to.
    SysTray(const QIcon &icon, QWidget *window);

    // Puts the window in the notification area: the icon is shown first, then the window is
    // hidden. Where the desktop has no notification area the window is minimized instead, and
    // goes into the tray when one appears within two minutes.
    void hideWindow();
    // Brings the window back: the window is shown first, then the icon taken away.
    void restoreWindow();

    void setIntray(bool on);
    bool intray() const { return intray_; }
    // Whether the window waits, hidden, for the desktop's first answer before going into the tray.
    bool hidePending() const { return hidePending_; }

    void setContextMenu(QMenu *menu);

    // The icon's tip: kTip, then one line per armed schedule.
    void setArmedSchedules(const QStringList &lines);

    // Whether the desktop has a notification area, as its last answer said; never waits. By
    // default each call asks the desktop again, without waiting for the answer (which comes
    // within kProbeMs): a StatusNotifier host on the session bus, or the owner of the X11
    // selection _NET_SYSTEM_TRAY_S<screen>. A StatusNotifierWatcher that does not answer counts
    // as no notification area, even beside an X11 one: Qt's own look at the watcher, when it
    // makes the icon, would wait on it for 25 s. Not QSystemTrayIcon::isSystemTrayAvailable():
    // Qt 6.4 asks D-Bus once, and keeps a "no" for the life of the process, so a panel that
    // comes up after the program would never be seen. Tests put their own answer in its place.
    bool isAvailable();
    void setAvailabilityCheck(AvailabilityCheck check);

    static constexpr int kProbeMs = 1000;

    // The icon, made the first time it is needed. Qt decides on making it whether it uses
    // D-Bus, so it is made only once a notification area is there (or when a test asks).
    QSystemTrayIcon *icon();

signals:
    void restoreRequest();
    // Emitted after intray has changed, while the window is still as the caller left it.
    void intrayChanged(bool on);

private:
    // Once a second while the window waits minimized for a notification area.
    void lookForTray();

    QWidget *window_;
    QTimer *trayWait_ = nullptr;
    int trayLooksLeft_ = 0;
    QIcon image_;
    QString tip_;
    QMenu *menu_ = nullptr;
    QSystemTrayIcon *icon_ = nullptr;
    bool intray_ = false;
    AvailabilityCheck available_;

    // The look in progress: sends the questions, then gathers the answers as they come.
    void probe();
    void pollX11();
    void probeDone();
    bool known_ = false;      // the last answer
    bool answered_ = false;   // whether any answer has come
    bool hidePending_ = false; // hideWindow() waits for the first answer
    QTimer *x11Poll_ = nullptr; // while an X11 answer is awaited
    bool askingBus_ = false, askingX11_ = false;
    bool busSays_ = false, watcherStuck_ = false, x11Says_ = false;
    quint32 trayAtom_ = 0;    // _NET_SYSTEM_TRAY_S<screen>, once known
    unsigned int x11Request_ = 0;
    int x11PollsLeft_ = 0;
};
