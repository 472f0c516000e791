// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QIcon;
class QMenu;
class QSystemTrayIcon;

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

    // Whether the desktop has a notification area at all. By default the system is asked
    // (QSystemTrayIcon::isSystemTrayAvailable()); tests put their own answer in its place.
    bool isAvailable() const;
    void setAvailabilityCheck(AvailabilityCheck check);

    QSystemTrayIcon *icon() const { return icon_; }

signals:
    void restoreRequest();
    // Emitted after intray has changed, while the window is still as the caller left it.
    void intrayChanged(bool on);

private:
    QSystemTrayIcon *icon_;
    bool intray_ = false;
    AvailabilityCheck available_;
};
