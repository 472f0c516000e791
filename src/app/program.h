// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"
#include "window/form1.h"

#ifdef Q_OS_WIN
#include "tray/tray_notifier.h"
#else
#include "desktop/dbus_notifier.h"
#include "desktop/dbus_session_logout.h"
#endif

#include <functional>

class SysTray;

// The application-wide settings, made right after the application: its name, style and icon,
// that only closing the window or "Exit" ends the program (closing a message box while the
// window is hidden in the tray must not), and that the session manager never restarts it.
void setUpApplication();

// Where a notice goes that no notification service took: the tray icon's balloon while the
// icon is shown, print (standard error) otherwise.
std::function<void(const Notice &)> noticeFallback(SysTray *tray,
                                                   std::function<void(const Notice &)> print);

// The window, wired to the desktop's services as the program runs it: its notices go to the
// desktop's notification service, or to noticeFallback where none takes them, and its logoffs
// ask the session to log out. On Windows there are no such services: the notices are the tray
// icon's balloons, and "logoff.exe" signs out gently already.
class Program {
public:
    // busAddress: the bus of the desktop's services; empty for the session bus.
    Program(SettingsStore &settings, const Clock &clock, Launcher &launcher, Dialogs &dialogs,
            const QString &busAddress = {});

#ifdef Q_OS_WIN
    TrayNotifier notifier;
#else
    DBusNotifier notifier;
    DBusSessionLogout logout;
#endif
    Form1 window;
};
