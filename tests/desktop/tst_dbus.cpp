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
    QString address_, busFor_, output_;

    // Starts the stand-in with these services (none: no stand-in; "no bus": not even a bus to
    // reach) and waits until it is on the bus. The program then uses the bus at busFor_.
    void startStandIn(const QStringList &services)
    {
        output_.clear();
        busFor_ = services == QStringList{"no bus"} ? QStringLiteral("unix:path=/nonexistent") : address_;
        if (services.isEmpty() || busFor_ != address_)
            return;
        standIn_.start(QStringLiteral(HX_STANDIN), services);
        QVERIFY(standIn_.waitForReadyRead(10000));
        QCOMPARE(standIn_.readLine(), "ready\n");
    }
    // The calls the stand-in has accepted so far, one a line.
    QStringList calls()
    {
        if (standIn_.state() == QProcess::Running)
            output_ += QString::fromUtf8(standIn_.readAll());
        return output_.split('\n', Qt::SkipEmptyParts);
    }

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

    void notice_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("seen"); // by the server, then by the program
        const auto sent = [](const char *actions) {
            return "notify Notify|Horalux|0|horalux|" + kSummary + '|' + kBody + '|' + actions + "||60000";
        };
        const QString fallback = "fallback " + kBody;
        QTest::newRow("Cancel on a logoff notice") << QStringList{"notify-cancel"} << Kind::Logoff << QStringList{sent("cancel,Cancel"), "cancel 1"};
        QTest::newRow("Cancel on a block notice, reported early") << QStringList{"notify-cancel-early"} << Kind::Block << QStringList{sent("cancel,Cancel"), "cancel 2"};
        QTest::newRow("a click on the body: nothing") << QStringList{"notify-default"} << Kind::Logoff << QStringList{sent("cancel,Cancel")};
        QTest::newRow("server without actions") << QStringList{"notify-plain"} << Kind::Shutdown << QStringList{sent("")};
        QTest::newRow("no notification server: fallback") << QStringList{} << Kind::Shutdown << QStringList{fallback};
        QTest::newRow("no session bus: fallback") << QStringList{"no bus"} << Kind::Logoff << QStringList{fallback};
        QTest::newRow("server answers an error: fallback") << QStringList{"notify!"} << Kind::Block << QStringList{fallback};
    }
    void notice()
    {
        QFETCH(QStringList, services);
        QFETCH(Kind, kind);
        QFETCH(QStringList, seen);
        startStandIn(services);
        DBusNotifier notifier(busFor_);
        QStringList events;
        notifier.setCancelHandler([&](Kind k) { events << QStringLiteral("cancel %1").arg(int(k)); });
        notifier.setFallback([&](const Notice &n) { events << "fallback " + n.body; });
        notifier.notify({kind, kSummary, kBody, 60});
        for (int settled = 0; settled < 2; ++settled, QTest::qWait(500)) // then nothing more comes
            QTRY_COMPARE(calls() + events, seen);
    }

    void logout_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<QString>("received"); // by the session manager, or the command launched
        const QString command = QStringLiteral("loginctl terminate-session auto");
        QTest::newRow("GNOME") << QStringList{"gnome"} << "gnome Logout|1";
        QTest::newRow("KDE Plasma 5") << QStringList{"kde"} << "kde logout|0|0|0";
        QTest::newRow("KDE Plasma's shutdown helper") << QStringList{"plasma"} << "plasma logout";
        QTest::newRow("Xfce") << QStringList{"xfce"} << "xfce Logout|false|true";
        QTest::newRow("only the first that answers") << QStringList{"kde", "xfce"} << "kde logout|0|0|0";
        QTest::newRow("GNOME refuses: the next") << QStringList{"gnome!", "xfce"} << "xfce Logout|false|true";
        QTest::newRow("none running: the command") << QStringList{} << command;
        QTest::newRow("no session bus: the command") << QStringList{"no bus"} << command;
        QTest::newRow("the only one refuses: the command") << QStringList{"kde!"} << command;
    }
    void logout()
    {
        QFETCH(QStringList, services);
        QFETCH(QString, received);
        startStandIn(services);
        RecordingLauncher launcher;
        DBusSessionLogout logout(launcher, busFor_);
        logout.requestLogout();
        for (int settled = 0; settled < 2; ++settled, QTest::qWait(500))
            QTRY_COMPARE(calls() + launcher.launched, QStringList{received});
    }
};

QTEST_GUILESS_MAIN(TestDBus)
#include "tst_dbus.moc"
