// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's D-Bus services, against the stand-in on a private bus that this test starts:
// notices reach the notification server and its "Cancel" the cancel handler; the logoff reaches
// the running session manager. Without them: the notifier's fallback, the logoff command.
#include "desktop/dbus_notifier.h"
#include "desktop/dbus_session_logout.h"
#include "scheduler/launcher.h"

#include <QProcess>
#include <QTest>

using Kind = Notice::Kind;
static const QString kSummary = QStringLiteral("Log off in 1 minute");
static const QString kBody = QStringLiteral("Horalux will log you off at 22:30 (in 60 seconds).");

class RecordingLauncher : public Launcher {
public:
    QStringList launched;
    bool launch(const QString &commandLine) override { launched << commandLine; return true; }
};

class TestDBus : public QObject {
    Q_OBJECT
    QProcess bus_, standIn_;
    QString address_, busFor_;

    // Starts the stand-in with these services and waits until it is on the bus. The program then
    // uses the bus at busFor_: none at all for "no bus".
    void startStandIn(const QStringList &services)
    {
        busFor_ = services == QStringList{"no bus"} ? QStringLiteral("unix:path=/nonexistent") : address_;
        standIn_.start(QStringLiteral(HX_STANDIN), services);
        QVERIFY(standIn_.waitForReadyRead(10000));
        QCOMPARE(standIn_.readLine(), "ready\n");
    }
    // The calls the stand-in has accepted so far, one a line.
    QStringList calls() { return QString::fromUtf8(standIn_.peek(1 << 20)).split('\n', Qt::SkipEmptyParts); }

private slots:
    void initTestCase()
    {
        bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=" HX_BUS_CONFIG),
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY2(bus_.waitForReadyRead(10000), "dbus-daemon did not start (scripts/deps.sh installs it)");
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8()); // the stand-in's bus
    }
    void cleanup() { standIn_.terminate(); standIn_.waitForFinished(); }
    void cleanupTestCase() { bus_.terminate(); bus_.waitForFinished(); }

    // Each row sends one notice of a kind, or asks for the logout (kind -1).
    void request_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("seen"); // by the stand-in, then by the program
        const auto sent = [](const char *actions) {
            return "notify Notify|Horalux|0|horalux|" + kSummary + '|' + kBody + '|' + actions + "||60000";
        };
        const QString fallback = "fallback " + kBody, command = QStringLiteral("loginctl terminate-session auto");
        const int shutdown = int(Kind::Shutdown), logoff = int(Kind::Logoff), block = int(Kind::Block), logout = -1;
        QTest::newRow("Cancel on a logoff notice") << QStringList{"notify-cancel"} << logoff << QStringList{sent("cancel,Cancel"), "cancel 1"};
        QTest::newRow("Cancel on a block notice, reported early") << QStringList{"notify-cancel-early"} << block << QStringList{sent("cancel,Cancel"), "cancel 2"};
        QTest::newRow("a click on the body: nothing") << QStringList{"notify-default"} << logoff << QStringList{sent("cancel,Cancel")};
        QTest::newRow("server without actions") << QStringList{"notify-plain"} << shutdown << QStringList{sent("")};
        QTest::newRow("no notification server: fallback") << QStringList{} << shutdown << QStringList{fallback};
        QTest::newRow("no session bus: fallback") << QStringList{"no bus"} << logoff << QStringList{fallback};
        QTest::newRow("server answers an error: fallback") << QStringList{"notify!"} << block << QStringList{fallback};
        QTest::newRow("logout: GNOME") << QStringList{"gnome"} << logout << QStringList{"gnome Logout|1"};
        QTest::newRow("logout: KDE Plasma 5") << QStringList{"kde"} << logout << QStringList{"kde logout|0|0|0"};
        QTest::newRow("logout: Xfce") << QStringList{"xfce"} << logout << QStringList{"xfce Logout|false|true"};
        QTest::newRow("logout: only the first that answers") << QStringList{"kde", "xfce"} << logout << QStringList{"kde logout|0|0|0"};
        QTest::newRow("logout: GNOME refuses, the next") << QStringList{"gnome!", "xfce"} << logout << QStringList{"xfce Logout|false|true"};
        QTest::newRow("logout: none running, the command") << QStringList{} << logout << QStringList{command};
        QTest::newRow("logout: no session bus, the command") << QStringList{"no bus"} << logout << QStringList{command};
        QTest::newRow("logout: the only one refuses, the command") << QStringList{"kde!"} << logout << QStringList{command};
    }
    void request()
    {
        QFETCH(QStringList, services);
        QFETCH(int, kind);
        QFETCH(QStringList, seen);
        startStandIn(services);
        DBusNotifier notifier(busFor_);
        RecordingLauncher launcher;
        DBusSessionLogout logout(launcher, busFor_);
        QStringList events;
        notifier.setCancelHandler([&](Kind k) { events << QStringLiteral("cancel %1").arg(int(k)); });
        notifier.setFallback([&](const Notice &n) { events << "fallback " + n.body; });
        kind < 0 ? logout.requestLogout() : notifier.notify({Kind(kind), kSummary, kBody, 60});
        for (int settled = 0; settled < 2; ++settled, QTest::qWait(500)) // then nothing more comes
            QTRY_COMPARE(calls() + events + launcher.launched, seen);
    }
};

QTEST_GUILESS_MAIN(TestDBus)
#include "tst_dbus.moc"
