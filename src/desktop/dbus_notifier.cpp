// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbus_notifier.h"

#include "desktop/dbus_call.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>
#include <utility>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kCancelKey = QStringLiteral("cancel");

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}
} // namespace

void printNotice(const Notice &notice)
{
    std::fprintf(stderr, "horalux: %s\n", qPrintable(notice.body));
    std::fflush(stderr);
}

DBusNotifier::DBusNotifier(const QString &busAddress, QObject *parent)
    : QObject(parent), busAddress_(busAddress)
{
}

void DBusNotifier::notify(const Notice &notice)
{
    QDBusConnection bus = dbusConnection(busAddress_);
    if (!listening_) {
        // Only the notification server's own signals count, whatever its unique name.
        bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                    SLOT(onClosed(uint)));
        listening_ = true;
    }
    const quint64 serial = ++serial_;
    callAsync(bus, notificationsCall(QStringLiteral("GetCapabilities")), this,
              [this, notice, serial](const QDBusPendingCall &answer) {
                  const QDBusReply<QStringList> capabilities(answer.reply());
                  // Perhaps a while after it was made: the time left as it is now.
                  if (!capabilities.isValid()) {
                      fallback_(notice.current());
                      return;
                  }
                  send(notice.current(), capabilities.value().contains(QStringLiteral("actions")), serial);
              });
}

void DBusNotifier::send(const Notice &notice, bool withCancel, quint64 serial)
{
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    const QStringList actions = withCancel ? QStringList{kCancelKey, QStringLiteral("Cancel")}
                                           : QStringList{};
    // Urgency 2, critical: servers show it even under "Do not disturb".
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("horalux")},
                      {QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    if (!image_.rgba.isEmpty()) {
        // (iiibiiay): width, height, rowstride, has alpha, bits per sample, channels, pixels.
        QDBusArgument image;
        image.beginStructure();
        image << image_.width << image_.height << image_.rowstride << true << 8 << 4 << image_.rgba;
        image.endStructure();
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(image));
    }
    // The notice stays up until its action's second, when "Cancel" can no longer help.
    const int expireMs = notice.secondsLeft > 0 ? notice.secondsLeft * 1000 : -1;
    call << QStringLiteral("Horalux") << 0u << QStringLiteral("horalux") << notice.summary
         << notice.body << actions << hints << expireMs;
    ++sending_;
    callAsync(dbusConnection(busAddress_), call, this,
              [this, notice, withCancel, serial](const QDBusPendingCall &answer) {
                  --sending_;
                  const QDBusReply<uint> id(answer.reply());
                  if (!id.isValid())
                      fallback_(notice);
                  else if (withCancel && invokedEarly_.remove(id.value()))
                      cancelRequested(notice.kind);
                  else if (withCancel)
                      cancellable_.insert(id.value(), notice.kind);
                  if (id.isValid())
                      shown(notice.kind, id.value(), serial);
                  if (sending_ == 0)
                      invokedEarly_.clear();
              });
}

void DBusNotifier::onActionInvoked(uint id, const QString &action)
{
    if (action != kCancelKey)
        return;
    if (cancellable_.contains(id))
        cancelRequested(cancellable_.take(id));
    else if (sending_ > 0)
        invokedEarly_.insert(id); // perhaps ours, its id not yet known here: see send()
}

void DBusNotifier::onClosed(uint id)
{
    cancellable_.remove(id);
    for (uint &onScreen : shown_) {
        if (onScreen == id)
            onScreen = 0;
    }
}

void DBusNotifier::withdraw(Notice::Kind kind)
{
    withdrawnUpTo_[int(kind)] = serial_; // also those whose id is yet to come
    close(std::exchange(shown_[int(kind)], 0));
}

void DBusNotifier::shown(Notice::Kind kind, uint id, quint64 serial)
{
    if (serial <= withdrawnUpTo_[int(kind)])
        close(id); // withdrawn before the server told its id
    else
        shown_[int(kind)] = id;
}

void DBusNotifier::close(uint id)
{
    if (id == 0)
        return;
    cancellable_.remove(id);
    QDBusMessage call = notificationsCall(QStringLiteral("CloseNotification"));
    call << id;
    callAsync(dbusConnection(busAddress_), call, this, [](const QDBusPendingCall &) {});
}
