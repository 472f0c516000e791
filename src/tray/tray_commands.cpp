// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the notification-area icon: into the tray, back from it, and the exit.

#include "tray/systray.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QCoreApplication>
#include <QTimer>

void Form1::HideToTray()
{
    // With no notification area a hidden window could never be reached again: it is minimized
    // instead. At login the panel often comes up after the program, so the window goes on
    // looking, once a second for two minutes, and moves into the tray as soon as there is one.
    if (!cSysTray1->isAvailable()) {
        showMinimized();
        trayLooksLeft_ = kTrayLooks;
        if (!trayWait_) {
            trayWait_ = new QTimer(this);
            trayWait_->setInterval(1000);
            connect(trayWait_, &QTimer::timeout, this, &Form1::lookForTray);
        }
        trayWait_->start();
        return;
    }
    if (trayWait_)
        trayWait_->stop();
    const bool minimized = isMinimized();
    cSysTray1->setIntray(true);
    hide();
    if (minimized) {
        // A window hidden while minimized keeps, on X11, its hint to be mapped minimized: shown
        // again, the window manager would keep it an icon, unmapped. Made anew when next shown,
        // it comes back as a new window does, normal and painted.
        destroy();
        overrideWindowState(windowState() & ~Qt::WindowMinimized);
    }
}

void Form1::lookForTray()
{
    // The user brought the window back meanwhile, or two minutes have passed: it stays.
    if (!isMinimized() || --trayLooksLeft_ < 0)
        trayWait_->stop();
    else if (cSysTray1->isAvailable())
        HideToTray();
}

void Form1::RestoreFromTray()
{
    if (trayWait_)
        trayWait_->stop();
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
