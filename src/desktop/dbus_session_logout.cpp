// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbus_session_logout.h"

#include "desktop/dbus_call.h"
#include "scheduler/actions.h"
#include "scheduler/launcher.h"

#include <QDBusMessage>
#include <QList>

namespace {
QDBusMessage logoutCall(const char *service, const char *path, const char *interface,
                        const char *method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(service), QLatin1String(path), QLatin1String(interface), QLatin1String(method));
    call.setArguments(arguments);
    call.setAutoStartService(false); // a session manager that is not running is not ours
    return call;
}

// The session managers, in the order they are asked.
const QList<QDBusMessage> &logoutCalls()
{
    static const QList<QDBusMessage> calls{
        // GNOME: Logout(uint32 mode), mode 1: no confirmation dialog.
        logoutCall("org.gnome.SessionManager", "/org/gnome/SessionManager",
                   "org.gnome.SessionManager", "Logout", {1u}),
        // KDE Plasma 5: logout(confirm, type, mode), all 0: no confirmation, just log out.
        // ksmserver hands the logout on to Plasma's shutdown helper (org.kde.Shutdown); that
        // helper is started by the bus on demand rather than running, so it is not asked itself.
        logoutCall("org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout",
                   {0, 0, 0}),
        // Xfce: Logout(show_dialog, allow_save).
        logoutCall("org.xfce.SessionManager", "/org/xfce/SessionManager",
                   "org.xfce.Session.Manager", "Logout", {false, true}),
        // LXQt: logout(), which asks nothing.
        logoutCall("org.lxqt.session", "/LXQtSession", "org.lxqt.session", "logout", {}),
    };
    return calls;
}
} // namespace

DBusSessionLogout::DBusSessionLogout(Launcher &launcher, const QString &busAddress,
                                     QObject *parent)
    : QObject(parent), launcher_(launcher), busAddress_(busAddress)
{
}

void DBusSessionLogout::requestLogout(StillWanted stillWanted)
{
    askFrom(0, std::move(stillWanted));
}

void DBusSessionLogout::askFrom(int manager, StillWanted stillWanted)
{
    if (manager >= logoutCalls().size()) {
        // Perhaps seconds after the request: the caller decides whether it is still wanted.
        if (stillWanted())
            launcher_.launch(logoffCommand());
        return;
    }
    callAsync(dbusConnection(busAddress_), logoutCalls().at(manager), this,
              [this, manager, stillWanted = std::move(stillWanted)](const QDBusPendingCall &answer) {
                  if (answer.isError())
                      askFrom(manager + 1, stillWanted);
              });
}
