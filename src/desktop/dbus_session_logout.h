// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/session_logout.h"

#include <QObject>
#include <QString>

class Launcher;

// Asks the running desktop session to log out, without its confirmation dialog, through the
// session manager's own D-Bus interface: GNOME, then KDE Plasma, then Xfce, then LXQt. A call
// that fails (no such service, an error reply, no answer) passes on to the next; when none
// answers, the logoff command is launched instead, if the caller still wants it then. Only a
// session manager that is already running is asked: none is started for the call.
// requestLogout() returns at once.
class DBusSessionLogout : public QObject, public SessionLogout {
    Q_OBJECT
public:
    // busAddress: empty for the session bus.
    explicit DBusSessionLogout(Launcher &launcher, const QString &busAddress = {},
                               QObject *parent = nullptr);

    void requestLogout(StillWanted stillWanted) override;

private:
    void askFrom(int manager, StillWanted stillWanted);

    Launcher &launcher_;
    QString busAddress_;
};
