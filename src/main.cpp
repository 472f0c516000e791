// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbus_notifier.h"
#include "desktop/dbus_session_logout.h"
#include "scheduler/clock.h"
#include "scheduler/process_launcher.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/dialogs.h"
#include "window/form1.h"
#include "window/program_icon.h"
#include "window/program_session.h"
#include "window/program_style.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display Qt would abort with a message about reinstalling the application.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("horalux: needs a graphical desktop session (neither DISPLAY nor WAYLAND_DISPLAY"
                   " is set); start it from the desktop\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horalux"));
    QApplication::setStyle(new ProgramStyle);
    QApplication::setWindowIcon(programIcon());
    neverRestartWithSession(app);

    SettingsStore settings(SettingsStore::defaultDirectory());
    SystemClock clock;
    ProcessLauncher launcher;
    MessageBoxDialogs dialogs;

#ifdef Q_OS_WIN
    Form1 form(settings, clock, launcher, dialogs); // "logoff.exe" signs out gently already
#else
    DBusNotifier notifier;
    const QImage icon = programIcon().pixmap(48).toImage().convertToFormat(QImage::Format_RGBA8888);
    notifier.setImage({icon.width(), icon.height(), int(icon.bytesPerLine()),
                       QByteArray(reinterpret_cast<const char *>(icon.constBits()), icon.sizeInBytes())});
    DBusSessionLogout logout(launcher);
    Form1 form(settings, clock, launcher, dialogs, &notifier, &logout);
    // Without a notification service: the tray icon's balloon while the icon is shown.
    notifier.setFallback([tray = form.cSysTray1](const Notice &notice) {
        tray->intray() ? tray->icon()->showMessage(notice.summary, notice.body) : printNotice(notice);
    });
#endif
    form.startUp();
    if (!form.cSysTray1->intray() && !form.isVisible())
        form.show();
    return app.exec();
}
