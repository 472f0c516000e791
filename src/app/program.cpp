// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include "tray/systray.h"
#include "window/program_icon.h"
#include "window/program_style.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QSessionManager>
#include <QSystemTrayIcon>

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("horalux"));
    QApplication::setStyle(new ProgramStyle);
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    // Started from the desktop's autostart, the program must never be restarted by the session
    // manager as well: two copies would launch the user's program twice. Every save request is
    // answered at once, and nothing in it asks, shows a dialog or cancels the session's end.
    const auto never = [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    };
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, never, Qt::DirectConnection);
    QObject::connect(qApp, &QGuiApplication::saveStateRequest, qApp, never, Qt::DirectConnection);
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
    : window(settings, clock, launcher, dialogs, &notifier)
{
    notifier.setTray(window.cSysTray1);
}
#else
Program::Program(SettingsStore &settings, const Clock &clock, Launcher &launcher,
                 Dialogs &dialogs, const QString &busAddress)
    : notifier(busAddress), logout(launcher, busAddress),
      window(settings, clock, launcher, dialogs, &notifier, &logout)
{
    notifier.setFallback(noticeFallback(window.cSysTray1, printNotice));
    // The icon goes with each notice as pixels: a copy run from its build folder has no icon
    // installed for the notification server to find by name.
    const QImage icon = programIcon().pixmap(48).toImage().convertToFormat(QImage::Format_RGBA8888);
    notifier.setImage({icon.width(), icon.height(), int(icon.bytesPerLine()),
                       QByteArray(reinterpret_cast<const char *>(icon.constBits()), icon.sizeInBytes())});
    // The logout is asked for, and falls back to the logoff command, on the tick's thread: a
    // busy window must not delay it. Notices stay with the window, where the tray's balloon is.
    logout.moveToThread(window.Timer1);
}
#endif
