// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/systray.h"

#include <QIcon>
#include <QSystemTrayIcon>

const QString SysTray::kTip = QStringLiteral("Horalux");

SysTray::SysTray(const QIcon &icon, QObject *parent)
    : QObject(parent), icon_(new QSystemTrayIcon(icon, this)),
      available_([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    setObjectName(QStringLiteral("cSysTray1"));
    icon_->setToolTip(kTip);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit restoreRequest();
            });
}

void SysTray::setIntray(bool on)
{
    intray_ = on;
    icon_->setVisible(on);
    emit intrayChanged(on);
}

void SysTray::setContextMenu(QMenu *menu)
{
    icon_->setContextMenu(menu);
}

void SysTray::setArmedSchedules(const QStringList &lines)
{
    icon_->setToolTip((QStringList(kTip) << lines).join(QLatin1Char('\n')));
}

bool SysTray::isAvailable() const
{
    return available_();
}

void SysTray::setAvailabilityCheck(AvailabilityCheck check)
{
    available_ = std::move(check);
}
