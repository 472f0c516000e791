// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include "tray/systray.h"
#include "window/program_icon.h"
#include "window/program_style.h"

#include <QApplication>
#include <QSystemTrayIcon>

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("horalux"));
    QApplication::setStyle(new ProgramStyle);
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);
}

std::function<void(const Notice &)> noticeFallback(SysTray *tray,
                                                   std::function<void(const Notice &)> print)
{
    return [tray, print = std::move(print)](const Notice &notice) {
        tray->intray() ? tray->icon()->showMessage(notice.summary, notice.body) : print(notice);
    };
}

#ifdef Q_OS_WIN
Program::Program(SettingsStore &settings, const Clock &clock, Launcher &launcher,
                 Dialogs &dialogs, const QString &)
    : window(settings, clock, launcher, dialogs)
{
}
#else
Program::Program(SettingsStore &settings, const Clock &clock, Launcher &launcher,
                 Dialogs &dialogs, const QString &busAddress)
    : notifier(busAddress), logout(launcher, busAddress),
      window(settings, clock, launcher, dialogs, &notifier, &logout)
{
    notifier.setFallback(noticeFallback(window.cSysTray1, printNotice));
    // The logout is asked for, and falls back to the logoff command, on the tick's thread: a
    // busy window must not delay it. Notices stay with the window, where the tray's balloon is.
    logout.moveToThread(window.Timer1);
}
#endif
