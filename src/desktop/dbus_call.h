// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QString>

#include <utility>

// How long a desktop service may take to answer before it counts as absent.
constexpr int kDBusTimeoutMs = 5000;

// The session bus, or the bus at busAddress where one is given (the tests' private bus).
inline QDBusConnection dbusConnection(const QString &busAddress)
{
    return busAddress.isEmpty() ? QDBusConnection::sessionBus()
                                : QDBusConnection::connectToBus(busAddress, busAddress);
}

// Sends the call without waiting; done(reply) runs later on context's thread, with the answer or
// the error (no such service, an error reply, no answer in time, no bus at all).
template <typename Done>
void callAsync(const QDBusConnection &bus, const QDBusMessage &call, QObject *context, Done done)
{
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kDBusTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(*watcher);
                     });
}
