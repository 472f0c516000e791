// SPDX-License-Identifier: GPL-3.0-or-later
// Into the tray and back, the start-up, and the ways the program ends.

#include "../window/harness.h"

#include <QtTest>
#include <QAction>
#include <QDir>
#include <QSystemTrayIcon>

#include <memory>

class TrayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;
    // What the window looked like each time the icon came or went: (intray, window visible).
    QList<QPair<bool, bool>> steps;

    void makeHarness(bool trayAvailable)
    {
        h = std::make_unique<Harness>(true, trayAvailable);
        steps.clear();
        connect(h->form.cSysTray1, &SysTray::intrayChanged, this,
                [this](bool on) { steps.append({on, h->form.isVisible()}); });
    }

    // Where the window is: "tray", "minimized", "shown" or "hidden".
    QString place() const
    {
        const bool inTray = h->form.cSysTray1->intray();
        if (inTray != h->form.cSysTray1->icon()->isVisible())
            return "icon out of step";
        if (inTray)
            return h->form.isHidden() ? "tray" : "tray, shown";
        if (h->form.isMinimized())
            return "minimized";
        return h->form.isVisible() ? "shown" : "hidden";
    }

private slots:
    void cleanup() { h.reset(); }

    void toTrayAndBack_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<int>("reason"); // how the icon is clicked; 0: "Open program" instead
        QTest::newRow("left click") << true << int(QSystemTrayIcon::Trigger);
        QTest::newRow("double click") << true << int(QSystemTrayIcon::DoubleClick);
        QTest::newRow("Open program") << true << 0;
        // With no notification area the window is minimized instead of hidden.
        QTest::newRow("no notification area") << false << 0;
    }

    void toTrayAndBack()
    {
        QFETCH(bool, available);
        QFETCH(int, reason);
        makeHarness(available);
        h->form.show();
        h->form.tray->trigger();
        // A right click on the icon (its menu) does not restore the window.
        QSystemTrayIcon *icon = h->form.cSysTray1->icon();
        emit icon->activated(QSystemTrayIcon::Context);
        QCOMPARE(place(), available ? "tray" : "minimized");
        if (reason)
            emit icon->activated(QSystemTrayIcon::ActivationReason(reason));
        else
            h->form.open->trigger();
        QCOMPARE(place(), "shown");
        // The icon came before the window went, and the window came back before the icon went.
        using Steps = QList<QPair<bool, bool>>;
        QCOMPARE(steps, (available ? Steps{{true, true}, {false, true}} : Steps{{false, true}}));
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("trayAvailable");
        QTest::addColumn<QString>("boxes"); // Combo1 2 3 4 6 5 7 8 10 9, "--" for nothing
        QTest::addColumn<QString>("where"); // "hidden": not yet shown, as created
        const QString times = "s1=07 s2=45 l1=08 l2=46 e1=09 e2=47 i1=10 i2=48 f1=11 f2=49 ";
        const QString none = "-- -- -- -- -- -- -- -- -- --";
        QTest::newRow("days 1, systray 0")
            << times + "days=1 systray=0" << true << "07 45 08 46 09 47 10 48 11 49" << "hidden";
        QTest::newRow("days 0, systray 2")
            << times + "days=0 systray=2" << true << none << "hidden";
        QTest::newRow("days 2, systray not a number")
            << times + "days=2 systray=yes" << true << none << "hidden";
        QTest::newRow("no file") << "" << true << none << "hidden";
        // Texts that are no item, and missing keys, leave their boxes empty.
        QTest::newRow("unknown texts, systray 1")
            << "days=1 systray=1 s1=7 s2=60 l1=24 l2=ab e1=23 e2=59 f2=00" << true
            << "-- -- -- -- 23 59 -- -- -- 00" << "tray";
        QTest::newRow("systray 1, no notification area")
            << "systray=1" << false << none << "minimized";
    }

    void startUp()
    {
        QFETCH(QString, keys);
        QFETCH(bool, trayAvailable);
        QFETCH(QString, boxes);
        QFETCH(QString, where);
        makeHarness(trayAvailable);
        for (const QString &key : keys.split(' ', Qt::SkipEmptyParts))
            QVERIFY(h->store.writeKey(key.section('=', 0, 0), key.section('=', 1)).ok);
        h->form.startUp();

        QStringList shown;
        for (const QString &name : QString("Combo1 Combo2 Combo3 Combo4 Combo6 Combo5 Combo7 "
                                           "Combo8 Combo10 Combo9").split(' '))
            shown << h->form.findChild<QComboBox *>(name)->currentText().leftJustified(2, '-');
        QCOMPARE(shown.join(' '), boxes);
        QCOMPARE(place(), where);
        QCOMPARE(checkValue(h->form.Check6), where == "hidden" ? 0 : 1);
        QCOMPARE(checkValue(h->form.Check5), 1); // as created, whatever was saved
        QCOMPARE(h->schedule(), "||||"); // no schedule comes back
    }

    // The tip follows "Set Hour" and the boxes. A notice's "Cancel" unticks its own box only
    // (never ticks one), and leaves the times and the file alone.
    void armed_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("cancel"); // the kind of notice cancelled, -1 none
        QTest::addColumn<QString>("checks"); // Check1 Check2 Check4 after
        QTest::addColumn<QString>("tip");
        const QString setBlock = "Check4=1 Option2 Combo7=23 Combo8=15 Combo10=6 Combo9=0 Command5";
        const QString all = setBlock + " Check1=1 Check2=1 Combo1=22 Combo2=30 Command2 Combo3=23 Combo4=0 Command3";
        const QString block = "Block 23:15–06:00 (log off)";
        QTest::newRow("no time yet") << "Check1=1 Check2=1" << -1 << "110" << "Horalux";
        QTest::newRow("ticked, then block Set Hour") << setBlock << -1 << "001" << "Horalux|" + block;
        QTest::newRow("option chosen last") << "Check4=1 Combo7=23 Combo8=15 Combo10=6 Combo9=0 Command5 Option1"
                                            << -1 << "001" << "Horalux|Block 23:15–06:00 (shut down)";
        QTest::newRow("ticked, then Set Hour") << all << -1 << "111"
                                               << "Horalux|Shutdown at 22:30|Logoff at 23:00|" + block;
        QTest::newRow("Cancel shutdown") << all << 0 << "011" << "Horalux|Logoff at 23:00|" + block;
        QTest::newRow("Cancel logoff") << all << 1 << "101" << "Horalux|Shutdown at 22:30|" + block;
        QTest::newRow("Cancel block") << all << 2 << "110" << "Horalux|Shutdown at 22:30|Logoff at 23:00";
        QTest::newRow("Cancel an unticked box") << all + " Check1=0" << 0 << "011"
                                                << "Horalux|Logoff at 23:00|" + block;
    }

    void armed()
    {
        QFETCH(QString, steps);
        QFETCH(int, cancel);
        QFETCH(QString, checks);
        QFETCH(QString, tip);
        makeHarness(true);
        h->act(steps);
        const QString before = h->schedule() + h->keys();
        if (cancel >= 0)
            h->notifier.cancel(Notice::Kind(cancel));
        const Form1 &f = h->form;
        QCOMPARE(QString("%1%2%3").arg(checkValue(f.Check1)).arg(checkValue(f.Check2)).arg(checkValue(f.Check4)),
                 checks);
        QCOMPARE(f.cSysTray1->icon()->toolTip().replace('\n', '|'), tip);
        QCOMPARE(h->schedule() + h->keys(), before);
    }

    void ending_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("code"); // 42: still running when the test ended the loop
        QTest::addColumn<QStringList>("asked");
        const QStringList exit = {"Are you sure want to exit?"};
        QTest::newRow("Exit, Yes") << "yes" << 0 << exit;
        QTest::newRow("Exit, No") << "no" << 42 << exit;
        QTest::newRow("closing the window") << "close" << 0 << QStringList();
        QTest::newRow("closing a box while in the tray") << "box" << 42 << QStringList();
    }

    void ending()
    {
        QFETCH(QString, what);
        QFETCH(int, code);
        QFETCH(QStringList, asked);
        makeHarness(true);
        h->form.show();
        h->dialogs.answerYes = what == "yes";
        QWidget box;
        if (what == "close") {
            QTimer::singleShot(0, &h->form, &QWidget::close);
        } else if (what == "box") {
            h->form.tray->trigger();
            box.show();
            QTimer::singleShot(0, &box, &QWidget::close);
        } else {
            QTimer::singleShot(0, h->form.leave, &QAction::trigger);
        }
        // Whatever the action set off has long happened when the loop is ended here.
        QTimer stop;
        connect(&stop, &QTimer::timeout, [] { QCoreApplication::exit(42); });
        stop.start(300);
        QCOMPARE(QCoreApplication::exec(), code);
        QCOMPARE(h->dialogs.questions, asked);
        QVERIFY(QDir(h->tmp.path()).isEmpty()); // nothing saved
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
