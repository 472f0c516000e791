// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"

#include <QPointer>

class SysTray;

// The notices as balloons of the tray icon, for a desktop with no notification service (Windows).
// The balloon needs the icon: while the window is shown, the icon comes for the time of the
// balloon, then goes again unless the window has gone into the tray meanwhile. A click on the
// balloon brings the window back, as a click on the icon does. A balloon has no buttons: no
// "Cancel".
class TrayNotifier final : public Notifier {
public:
    int shownMs = 15000; // how long a balloon stays

    void setTray(SysTray *tray) { tray_ = tray; }
    void notify(const Notice &notice) override;

private:
    QPointer<SysTray> tray_;
};
