// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/clock.h"
#include "scheduler/process_launcher.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/dialogs.h"
#include "window/form1.h"
#include "window/program_icon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horalux"));
    QApplication::setWindowIcon(programIcon());

    SettingsStore settings(SettingsStore::defaultDirectory());
    SystemClock clock;
    ProcessLauncher launcher;
    MessageBoxDialogs dialogs;

    Form1 form(settings, clock, launcher, dialogs);
    form.startUp();
    if (!form.cSysTray1->intray() && !form.isVisible())
        form.show();
    return app.exec();
}
