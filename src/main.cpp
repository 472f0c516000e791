// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"
#include "scheduler/clock.h"
#include "scheduler/process_launcher.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/dialogs.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
#ifndef Q_OS_WIN
    // Without a display Qt would abort with a message about reinstalling the application.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("horalux: needs a graphical desktop session (neither DISPLAY nor WAYLAND_DISPLAY"
                   " is set); start it from the desktop\n",
                   stderr);
        return 1;
    }
#endif
    QApplication app(argc, argv);
    setUpApplication();

    SettingsStore settings(SettingsStore::defaultDirectory());
    SystemClock clock;
    ProcessLauncher launcher;
    MessageBoxDialogs dialogs;
    Program program(settings, clock, launcher, dialogs);
    Form1 &form = program.window;
    form.startUp();
    if (!form.cSysTray1->intray() && !form.cSysTray1->hidePending() && !form.isVisible())
        form.show();
    return app.exec();
}
