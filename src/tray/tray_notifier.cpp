// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/tray_notifier.h"

#include "tray/systray.h"

#include <QSystemTrayIcon>
#include <QTimer>

void TrayNotifier::notify(const Notice &notice)
{
    if (!tray_)
        return;
    QSystemTrayIcon *icon = tray_->icon();
    QObject::connect(icon, &QSystemTrayIcon::messageClicked, tray_, &SysTray::restoreRequest,
                     Qt::UniqueConnection);
    icon->show();
    icon->showMessage(notice.summary, notice.body, QSystemTrayIcon::Warning, shownMs);
    QTimer::singleShot(shownMs, icon, [tray = tray_, icon] {
        if (tray && !tray->intray())
            icon->hide();
    });
}
