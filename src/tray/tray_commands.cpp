// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the notification-area icon: into the tray, back from it, and the exit.

#include "tray/systray.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QCoreApplication>

void Form1::HideToTray()
{
    // With no notification area a hidden window could never be reached again.
    if (!cSysTray1->isAvailable()) {
        showMinimized();
        return;
    }
    cSysTray1->setIntray(true);
    hide();
}

void Form1::RestoreFromTray()
{
    show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    cSysTray1->setIntray(false);
}

void Form1::tray_Click()
{
    HideToTray();
}

void Form1::open_Click()
{
    RestoreFromTray();
}

void Form1::cSysTray1_RestoreRequest()
{
    RestoreFromTray();
}

void Form1::leave_Click()
{
    // Yes ends the program at once: nothing saved, the tray icon not cleared first.
    if (CommonDialog1.question(this, kExitQuestion))
        QCoreApplication::exit(0);
}
