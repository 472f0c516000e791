// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QString>

#include <utility>

// How long a desktop service may take to answer before it counts as absent.
constexpr int kDBusTimeoutMs = 1000;

// The session bus, or the bus at busAddress where one is given (the tests' private bus).
inline QDBusConnection dbusConnection(const QString &busAddress)
{
    return busAddress.isEmpty() ? QDBusConnection::sessionBus()
                                : QDBusConnection::connectToBus(busAddress, busAddress);
}

// Sends the call without waiting; done(answer) runs later on context's thread, with the reply or
// the error (no such service, an error reply, no answer in time). Without a bus to send it on,
// done runs at once with an error: such a call would never finish.
template <typename Done>
void callAsync(const QDBusConnection &bus, const QDBusMessage &call, QObject *context, Done done)
{
    if (!bus.isConnected()) {
        done(QDBusPendingCall::fromError(
            QDBusMessage::createError(QDBusError::Disconnected, QStringLiteral("no session bus"))));
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kDBusTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(*watcher);
                     });
}
