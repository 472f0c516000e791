// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's D-Bus services against stand-ins on a private bus that this test starts: notices
// reach the notification server and its "Cancel" the cancel handler; the logoff reaches the first
// session manager that answers, the program's own too; a notification area counts only with a
// host. Without them: the notifier's fallback, the logoff command.
#include "app/program.h"
#include "desktop/dbus_notifier.h"
#include "desktop/dbus_session_logout.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/dialogs.h"

#include <QtDBus>
#include <QApplication>
#include <QCheckBox>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cstdio>

// "desktop_dbus serve SERVICE..." is the stand-in, on the bus of DBUS_SESSION_BUS_ADDRESS (always
// a test's private bus). It answers only at each service's own name, path, interface, method and
// signature, and prints every call it accepts as "KEY Method|argument|...". SERVICE: notify (a
// notification server with actions), notify-plain (without actions), notify-cancel ("Cancel" is
// chosen 0.1 s after each notice, on another application's notice first), notify-early (the same,
// reported before the answer to Notify), notify-body (its body is clicked instead), gnome, kde,
// xfce, lxqt (session managers), watcher (a StatusNotifierWatcher without a host), watcher-host
// (with one); a final "!" refuses the call with an error. A notification server also takes
// CloseNotification.
struct Service { const char *key, *name, *path, *interface, *method, *signature; };
static const Service kServices[] = {
    {"notify", "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify", "susssasa{sv}i"},
    {"gnome", "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", "Logout", "u"},
    {"kde", "org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout", "iii"},
    {"xfce", "org.xfce.SessionManager", "/org/xfce/SessionManager", "org.xfce.Session.Manager", "Logout", "bb"},
    {"lxqt", "org.lxqt.session", "/LXQtSession", "org.lxqt.session", "logout", ""},
    {"watcher", "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get", "ss"},
};

// A notice's hints, "key=value" by key: a byte as "byte N", the image as its D-Bus signature,
// then "WxH/rowstride/alpha/bits/channels/" and its pixels in hex.
static QString hints(const QVariant &map)
{
    QStringList seen;
    const QVariantMap hints = qdbus_cast<QVariantMap>(map);
    for (auto [key, value] : hints.asKeyValueRange()) {
        QString text = value.typeId() == QMetaType::UChar ? "byte " + QString::number(value.toUInt()) : value.toString();
        if (key == "image-data") {
            int w, h, stride, bits, channels;
            bool alpha;
            QByteArray pixels;
            const QDBusArgument image = value.value<QDBusArgument>();
            text = image.currentSignature();
            image.beginStructure();
            image >> w >> h >> stride >> alpha >> bits >> channels >> pixels;
            text += QString(" %1x%2/%3/%4/%5/%6/").arg(w).arg(h).arg(stride).arg(alpha).arg(bits).arg(channels) + pixels.toHex();
        }
        seen << key + '=' + text;
    }
    return seen.join(',');
}

class StandIn : public QDBusVirtualObject {
    const Service &s_;
    const QString mode_;
    uint count_ = 0;

public:
    StandIn(const Service &s, const QString &mode) : s_(s), mode_(mode) {}
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        if (m.interface() == s_.interface && m.member() == "GetCapabilities")
            return bus.send(m.createReply(QStringList{"body", mode_ == "notify-plain" ? "body" : "actions"}));
        const bool close = m.member() == "CloseNotification" && m.signature() == "u" && s_.key == QLatin1String("notify");
        if (m.interface() != s_.interface || ((m.member() != s_.method || m.signature() != s_.signature) && !close))
            return false;
        QStringList line{m.member()};
        for (const QVariant &a : m.arguments())
            line << (a.canConvert<QStringList>() ? a.toStringList().join(',') : a.canConvert<QDBusArgument>() ? hints(a) : a.toString());
        std::printf("%s %s\n", s_.key, qPrintable(line.join('|')));
        if (close)
            return bus.send(m.createReply());
        if (mode_.endsWith('!'))
            return bus.send(m.createErrorReply(QDBusError::AccessDenied, "refused"));
        const uint id = ++count_;
        const auto click = [this, bus, id, key = QString(mode_ == "notify-body" ? "default" : "cancel")] {
            for (uint target : {id + 100, id})
                bus.send(QDBusMessage::createSignal(s_.path, s_.interface, "ActionInvoked") << target << key);
        };
        if (mode_ == "notify-early")
            click();
        const QVariant host = QVariant::fromValue(QDBusVariant(mode_ == "watcher-host"));
        bus.send(m.createReply(s_.key == QLatin1String("notify") ? QVariantList{id}
                               : s_.key == QLatin1String("watcher") ? QVariantList{host} : QVariantList{}));
        if (mode_ == "notify-cancel" || mode_ == "notify-body")
            QTimer::singleShot(100, click);
        return true;
    }
};

class TestDBus : public QObject, public Launcher, public Clock, public Dialogs {
    Q_OBJECT
    QProcess bus_, standIn_;
    QString address_;
    QStringList events_; // what reaches the program: cancels, fallbacks, launched commands
    bool launch(const QString &commandLine) override { events_ << commandLine; return true; }
    std::atomic<int> hour_{11}; // the clock, read on the tick's thread too
    QTime now() const override { return {hour_, 0}; }
    void information(QWidget *, const QString &) override {}
    bool question(QWidget *, const QString &) override { return false; }
    std::optional<QString> openProgram(QWidget *) override { return {}; }

private slots:
    void initTestCase()
    {
        bus_.start("dbus-daemon", {"--config-file=" HX_BUS_CONFIG, "--nofork", "--print-address"});
        QVERIFY2(bus_.waitForReadyRead(10000), "dbus-daemon did not start (scripts/deps.sh installs it)");
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8()); // the stand-in's bus
    }
    void cleanup() { standIn_.terminate(); standIn_.waitForFinished(); events_.clear(); hour_ = 11; }
    void cleanupTestCase() { bus_.terminate(); bus_.waitForFinished(); }

    // Each row sends one notice of a kind (made 30 s before its action, its body says 60), perhaps
    // withdrawn at once or once its "Cancel" was chosen, or asks for the logout (still wanted when no manager takes
    // it, or not), lets the program log off at its time, or asks whether there is a notification
    // area, with these stand-ins on the bus, or with no bus at all.
    void request_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("seen"); // by the stand-ins, then by the program
        const auto sent = [](const char *a) {
            return QStringLiteral("notify Notify|Horalux|0|horalux|Off|Soon (in 30 seconds)|%1|desktop-entry=horalux,"
                                  "image-data=(iiibiiay) 2x1/8/1/8/4/ff00008000ff00ff,urgency=byte 2|30000").arg(a);
        };
        const int shutdown = int(Notice::Kind::Shutdown), logoff = int(Notice::Kind::Logoff), block = int(Notice::Kind::Block);
        const int withdrawn = 4, onceShown = 8, logout = -1, unwanted = -2, programLogoff = -3, tray = -4;
        QTest::newRow("Cancel on a logoff notice") << QStringList{"notify-cancel"} << logoff << QStringList{sent("cancel,Cancel"), "cancel 1"};
        QTest::newRow("Cancel on a block notice, early") << QStringList{"notify-early"} << block << QStringList{sent("cancel,Cancel"), "cancel 2"};
        QTest::newRow("a click on the body: nothing") << QStringList{"notify-body"} << logoff << QStringList{sent("cancel,Cancel")};
        QTest::newRow("server without actions") << QStringList{"notify-plain"} << shutdown << QStringList{sent("")};
        QTest::newRow("server refuses: fallback") << QStringList{"notify!"} << block << QStringList{sent("cancel,Cancel"), "fallback Soon (in 30 seconds)"};
        QTest::newRow("no notification server: fallback") << QStringList{} << shutdown << QStringList{"fallback Soon (in 30 seconds)"};
        QTest::newRow("no session bus: fallback") << QStringList{"no bus"} << logoff << QStringList{"fallback Soon (in 30 seconds)"};
        QTest::newRow("withdrawn before its id came") << QStringList{"notify"} << shutdown + withdrawn << QStringList{sent("cancel,Cancel"), "notify CloseNotification|1"};
        QTest::newRow("withdrawn once shown") << QStringList{"notify-cancel"} << logoff + onceShown << QStringList{sent("cancel,Cancel"), "notify CloseNotification|1", "cancel 1"};
        QTest::newRow("logout: the first manager that answers") << QStringList{"gnome!", "kde!", "xfce!", "lxqt"} << logout
            << QStringList{"gnome Logout|1", "kde logout|0|0|0", "xfce Logout|false|true", "lxqt logout"};
        QTest::newRow("logout: none answers, the command") << QStringList{"gnome!"} << logout << QStringList{"gnome Logout|1", "loginctl terminate-session auto"};
        QTest::newRow("logout: none answers, no longer wanted") << QStringList{"gnome!"} << unwanted << QStringList{"gnome Logout|1"};
        QTest::newRow("the program's logoff asks the session") << QStringList{"gnome"} << programLogoff << QStringList{"gnome Logout|1"};
        const QString host = "watcher Get|org.kde.StatusNotifierWatcher|IsStatusNotifierHostRegistered";
        QTest::newRow("a watcher without a host: no tray") << QStringList{"watcher"} << tray << QStringList{host, host, "no tray"};
        QTest::newRow("a watcher with a host: a tray") << QStringList{"watcher-host"} << tray << QStringList{host, host, "tray"};
    }
    void request()
    {
        QFETCH(QStringList, services);
        QFETCH(int, kind);
        QFETCH(QStringList, seen);
        standIn_.start(QCoreApplication::applicationFilePath(), QStringList{"serve"} + services);
        QVERIFY(standIn_.waitForReadyRead(10000) && standIn_.readLine() == "ready\n");
        const QString bus = services == QStringList{"no bus"} ? "unix:path=/nonexistent" : address_;
        DBusNotifier notifier(bus);
        DBusSessionLogout logout(*this, bus);
        notifier.setCancelHandler([&](Notice::Kind k) { events_ << QStringLiteral("cancel %1").arg(int(k)); });
        notifier.setFallback([&](const Notice &n) { events_ << "fallback " + n.body; });
        notifier.setImage({2, 1, 8, QByteArray::fromHex("ff00008000ff00ff")});
        QTemporaryDir tmp;
        SettingsStore store(tmp.path());
        Program program(store, *this, *this, *this, bus);
        if (kind == -4) {
            program.window.cSysTray1->isAvailable(); // asks, and answers when asked again
            QTest::qWait(SysTray::kProbeMs);
            events_ << (program.window.cSysTray1->isAvailable() ? "tray" : "no tray");
        } else if (kind == -3) {
            program.window.Check2->setChecked(true);
            program.window.Timer1->with([](Scheduler &s) { s.setLogoffTime("12:00:00"); });
            hour_ = 12;
            program.window.Timer1->tick();
        } else if (kind < 0) {
            logout.requestLogout([kind] { return kind == -1; });
        } else {
            notifier.notify({Notice::Kind(kind & 3), "Off", "Soon (in 60 seconds)", 60, QDeadlineTimer(30000)});
            if (kind & 4)
                notifier.withdraw(Notice::Kind(kind & 3));
            if (kind & 8) {
                QTRY_VERIFY(!events_.isEmpty()); // its "Cancel": the id has come
                notifier.withdraw(Notice::Kind(kind & 3));
            }
        }
        for (int settled = 0; settled < 2; ++settled, QTest::qWait(500)) // then nothing more comes
            QTRY_COMPARE(QString::fromUtf8(standIn_.peek(1 << 20)).split('\n', Qt::SkipEmptyParts) + events_, seen);
    }
};

int main(int argc, char *argv[])
{
    if (argc < 2 || qstrcmp(argv[1], "serve") != 0) {
        QApplication app(argc, argv);
        TestDBus test;
        return QTest::qExec(&test, argc, argv);
    }
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const QString &mode : app.arguments().mid(2))
        for (const Service &s : kServices)
            if (mode.startsWith(s.key) && !(bus.registerVirtualObject(s.path, new StandIn(s, mode)) && bus.registerService(s.name)))
                return 1;
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line at once
    std::puts("ready");
    return app.exec();
}
#include "tst_dbus.moc"
