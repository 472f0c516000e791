// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/program_session.h"

#include <QGuiApplication>
#include <QSessionManager>

void neverRestartWithSession(QGuiApplication &app)
{
    const auto never = [](QSessionManager &manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    };
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, never, Qt::DirectConnection);
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &app, never, Qt::DirectConnection);
}
