// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

// Writes the notice as one line on standard error: "horalux: <body>".
void printNotice(const Notice &notice);

// A picture sent with each notice: RGBA, 8 bits a channel, rowstride bytes a row.
struct NoticeImage {
    int width = 0;
    int height = 0;
    int rowstride = 0;
    QByteArray rgba;
};

// Shows each notice through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). Where the server offers actions, the notice carries a "Cancel" action, and
// choosing it asks the cancel handler to disarm that kind of schedule. Where no such service
// answers, the fallback shows the notice instead, with the time left when it is shown. notify()
// returns at once: every call is asynchronous. Every notice is critical (a shutdown, a logoff or
// a block), so that it shows even under "Do not disturb", and carries the program's icon as
// pixels: a copy run from its build folder has no icon installed for the server to find by name.
class DBusNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    using Fallback = std::function<void(const Notice &)>;

    // busAddress: empty for the session bus.
    explicit DBusNotifier(const QString &busAddress = {}, QObject *parent = nullptr);

    void notify(const Notice &notice) override;
    // Closes the notice of that kind (CloseNotification), even one whose id is yet to come.
    void withdraw(Notice::Kind kind) override;
    // Shows a notice that no notification service took. By default printNotice.
    void setFallback(Fallback fallback) { fallback_ = std::move(fallback); }
    // The icon shown with each notice (none by default). The pixels come from the caller, so
    // that this library needs no Qt Gui.
    void setImage(NoticeImage image) { image_ = std::move(image); }

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id);

private:
    void send(const Notice &notice, bool withCancel, quint64 serial);
    // The server showed the notice numbered serial as id.
    void shown(Notice::Kind kind, uint id, quint64 serial);
    void close(uint id);

    QString busAddress_;
    Fallback fallback_ = printNotice;
    NoticeImage image_;
    bool listening_ = false;
    QHash<uint, Notice::Kind> cancellable_; // notices on screen with a "Cancel" action, by id
    // The answer to Notify may reach us after the server's report of a click on that very notice:
    // while notices are being sent, clicks on unknown notices are kept until the answers are in.
    int sending_ = 0;
    QSet<uint> invokedEarly_;
    // Notices are numbered as made. Per kind: the id of the one on screen (0: none), and the
    // last number withdrawn.
    quint64 serial_ = 0;
    uint shown_[3] = {};
    quint64 withdrawnUpTo_[3] = {};
};
