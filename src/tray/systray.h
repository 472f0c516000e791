// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QStringList>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QTimer;

// The notification-area icon of the window. The program writes one property, intray (true:
// the icon stands in the notification area), and answers one event, restoreRequest (a left
// click or a double click on the icon). A right click opens the pop-up menu given with
// setContextMenu; the system tray draws that menu itself where it must.
class SysTray : public QObject {
    Q_OBJECT
public:
    using AvailabilityCheck = std::function<bool()>;

    static const QString kTip; // "Horalux"

    SysTray(const QIcon &icon, QObject *parent = nullptr);

    void setIntray(bool on);
    bool intray() const { return intray_; }

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
    QTimer *x11Poll_ = nullptr; // while an X11 answer is awaited
    bool askingBus_ = false, askingX11_ = false;
    bool busSays_ = false, watcherStuck_ = false, x11Says_ = false;
    quint32 trayAtom_ = 0;    // _NET_SYSTEM_TRAY_S<screen>, once known
    unsigned int x11Request_ = 0;
    int x11PollsLeft_ = 0;
};
