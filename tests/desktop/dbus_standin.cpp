// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the desktop's D-Bus services, on the bus of DBUS_SESSION_BUS_ADDRESS (always a
// test's private bus). It answers like the real services, each only at its own name, path,
// interface, method and signature, and writes every call it accepts as one line on standard
// output: "KEY Method|argument|argument...". "ready" follows start-up.
//   dbus_standin SERVICE...
// SERVICE: notify (a notification server with actions), notify-plain (without actions),
// notify-cancel ("Cancel" is chosen on every notice 0.1 s after it is shown),
// notify-cancel-early (... reported even before the answer to Notify), notify-default (the
// notice's body is clicked instead), gnome, kde, xfce
// (session managers), or one of them followed by "!" (refuses Notify or Logout with an error).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTimer>

#include <cstdio>

struct Service { const char *key, *name, *path, *interface, *method, *signature; };
static const Service kServices[] = {
    {"notify", "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
     "org.freedesktop.Notifications", "Notify", "susssasa{sv}i"},
    {"gnome", "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", "Logout", "u"},
    {"kde", "org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout", "iii"},
    {"xfce", "org.xfce.SessionManager", "/org/xfce/SessionManager", "org.xfce.Session.Manager", "Logout", "bb"},
};

class StandIn : public QDBusVirtualObject {
public:
    StandIn(const Service &s, const QString &mode) : s_(s), mode_(mode) {}
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        if (m.interface() != QLatin1String(s_.interface))
            return false;
        if (m.member() == QLatin1String("GetCapabilities"))
            return bus.send(m.createReply(mode_ == QLatin1String("notify-plain")
                                              ? QStringList{"body"} : QStringList{"body", "actions"}));
        if (m.member() != QLatin1String(s_.method) || m.signature() != QLatin1String(s_.signature))
            return false;
        if (mode_.endsWith('!'))
            return bus.send(m.createErrorReply(QDBusError::AccessDenied, "refused"));
        QStringList line{m.member()};
        for (const QVariant &a : m.arguments())
            line << (a.canConvert<QStringList>() ? a.toStringList().join(',') : a.toString());
        std::printf("%s %s\n", s_.key, qPrintable(line.join('|')));
        const uint id = ++count_;
        const QString key = mode_.endsWith(QLatin1String("default")) ? "default" : "cancel";
        const auto click = [this, bus, id, key] {
            for (uint target : {id + 100, id}) // on another application's notice first
                bus.send(QDBusMessage::createSignal(s_.path, s_.interface, "ActionInvoked") << target << key);
        };
        if (mode_ == QLatin1String("notify-cancel-early")) // reported before the answer below
            click();
        bus.send(m.createReply(s_.key == QLatin1String("notify") ? QVariantList{id} : QVariantList{}));
        if (mode_ == QLatin1String("notify-cancel") || mode_ == QLatin1String("notify-default"))
            QTimer::singleShot(100, click); // a moment later, as a person would
        return true;
    }
private:
    const Service &s_;
    const QString mode_;
    uint count_ = 0;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const QString &mode : app.arguments().mid(1))
        for (const Service &s : kServices)
            if (mode.startsWith(QLatin1String(s.key)) &&
                (!bus.registerVirtualObject(s.path, new StandIn(s, mode)) || !bus.registerService(s.name)))
                return 1;
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line at once
    std::puts("ready");
    return app.exec();
}
