// SPDX-License-Identifier: GPL-3.0-or-later
// The commands behind the buttons and the program check box, the tick's wiring to the
// window's controls, and the one smoke test of the real message boxes.

#include "harness.h"
#include "scheduler/actions.h"

#include <QtTest>
#include <QAction>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

class WindowCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;

private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup() { h.reset(); }

    void commands_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("asked"); // how many times the block question was asked
        QTest::addColumn<QString>("shown"); // the one message shown
        QTest::addColumn<QString>("schedule");
        QTest::addColumn<QString>("keys"); // the settings file afterwards
        // Each row twice: as written, and with settings that cannot be written, where the
        // schedule holds for this run and the message says why nothing was saved.
        const auto row = [](const char *name, const char *steps, int asked, const QString &shown,
                            const char *schedule, const char *keys) {
            QTest::newRow(name) << true << steps << asked << shown << schedule << keys;
            if (*keys)
                QTest::addRow("%s, unwritable", name) << false << steps << asked << "" << schedule << "";
        };
        const QString choose = "Please choose both the hour and the minute first.";
        row("shutdown", "Combo1=23 Combo2=5 Command2", 0, "Shutdown Time Set up!", "23:05:00||||",
            "s1=23 s2=05");
        row("logoff", "Combo3=0 Combo4=59 Command3", 0, "Login Time Set up!", "|00:59:00|||", "l1=00 l2=59");
        // The program's hour is Combo6 and its minute Combo5; the block's end is Combo10:Combo9.
        row("program", "Combo6=7 Combo5=30 Command4", 0, "execute program Time Set up!", "||07:30:00||",
            "e1=07 e2=30");
        // Answered No, the second press leaves everything as the first set it.
        row("block, then No", "Combo7=13 Combo8=0 Combo10=14 Combo9=5 Command5 No Combo7=20 Command5", 2,
            "Block Access to PC Time Set up!", "|||13:00:00|14:05:00", "i1=13 i2=00 f1=14 f2=05");
        row("save grey, tray", "Check5=2 Check6=1 Command6", 0, "Your settings has been saved!", "||||",
            "days=0 systray=1");
        // Empty boxes: nothing is asked, set or written (an empty block end would block the
        // computer until midnight).
        row("logoff, no hour", "Combo4=30 Command3", 0, choose, "||||", "");
        row("program, no minute", "Combo6=7 Command4", 0, choose, "||||", "");
        row("block, no end minute", "Combo7=22 Combo8=0 Combo10=6 Command5", 0,
            "Please choose both the hour and the minute of the start and of the end first.", "||||", "");
    }

    // With another copy holding the lock, the block's "Set Hour" (four keys) gives up within
    // about 2 seconds in all, and the message names the holder.
    void heldLock()
    {
        QLockFile other(h->tmp.filePath("data.hxdata.lock"));
        QVERIFY(other.tryLock(0));
        QElapsedTimer waited;
        waited.start();
        h->act("Combo7=22 Combo8=0 Combo10=6 Combo9=15 Command5");
        QVERIFY2(waited.elapsed() < 3500, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(h->dialogs.informations.value(0).contains(
            QString("(process %1)").arg(QCoreApplication::applicationPid())));
    }

    // Put into the tray before there is a notification area, the window waits minimized and goes
    // into the tray once one appears; shown again by the user meanwhile, it stays.
    void trayComesLater_data()
    {
        QTest::addColumn<bool>("shownAgain");
        QTest::newRow("waiting") << false;
        QTest::newRow("shown again") << true;
    }

    void trayComesLater()
    {
        QFETCH(bool, shownAgain);
        bool available = false;
        h->form.cSysTray1->setAvailabilityCheck([&available] { return available; });
        h->form.HideToTray();
        QVERIFY(h->form.isMinimized() && !h->form.cSysTray1->intray());
        if (shownAgain)
            h->form.showNormal();
        available = true;
        QTest::qWait(shownAgain ? 1500 : 0); // a look at the tray, once a second, has been made
        QTRY_COMPARE_WITH_TIMEOUT(h->form.cSysTray1->intray(), !shownAgain, 5000);
        QCOMPARE(h->form.isHidden(), !shownAgain);
    }

    void commands()
    {
        QFETCH(bool, writable);
        QFETCH(QString, steps);
        QFETCH(int, asked);
        QFETCH(QString, shown);
        QFETCH(QString, schedule);
        QFETCH(QString, keys);
        if (!writable)
            h = std::make_unique<Harness>(false);
        h->act(steps);
        QCOMPARE(h->dialogs.questions.size(), asked);
        QCOMPARE(h->dialogs.informations.size(), 1);
        const QString message = h->dialogs.informations.first();
        if (writable)
            QCOMPARE(message, shown);
        else // the reason names the settings file
            QVERIFY2(message.contains("could not be saved") && message.contains("data.hxdata"),
                     qPrintable(message));
        QCOMPARE(h->schedule(), schedule);
        QCOMPARE(h->keys(), keys);
    }

    // Only the value 1 enables the command line; a click on a grey box checks it. "Browse"
    // cancelled leaves the command line as it was. The running timer then drives the tick from
    // the controls: at 22:30:00 only the armed program starts (setting a time arms nothing);
    // a second later, with everything armed, only the block's logoff is due.
    void programAndTick()
    {
        Form1 &f = h->form;
        h->dialogs.chosenFile = "/opt/My Tools/backup";
        h->act("Check3=2");
        QVERIFY(!f.Text1->isEnabled() && !f.Command1->isEnabled());
        h->act("Check3 Command1");
        QVERIFY(f.Text1->isEnabled() && f.Command1->isEnabled());
        h->dialogs.chosenFile.reset();
        h->act("Command1 Combo1=22 Combo2=30 Command2 Combo3=22 Combo4=30 Command3 Combo6=22 Combo5=30 "
               "Command4 Combo7=22 Combo8=0 Combo10=23 Combo9=0 Command5 Option2");
        h->clock.time = QTime(22, 30, 0);
        QTRY_COMPARE(h->launcher.launched, QStringList{"/opt/My Tools/backup"});
        h->launcher.launched.clear();
        h->act("Check1 Check2 Check4");
        h->clock.time = QTime(22, 30, 1);
        h->form.scheduler().tick();
        QCOMPARE(h->launcher.launched, QStringList{logoffCommand()});
    }

    // The real message boxes, opened for real and answered from a timer as a user would. The
    // exit question is answered No only once the timer, running while the box is open, has
    // launched the armed shutdown.
    void realMessageBoxes()
    {
        MessageBoxDialogs real;
        h = std::make_unique<Harness>(true, true, &real);
        h->clock.time = QTime(22, 29, 58);
        h->form.show();
        QStringList seen;
        const QList<QMessageBox::StandardButton> answers = {QMessageBox::Ok, QMessageBox::Yes,
                                                            QMessageBox::Ok, QMessageBox::No};
        int waited = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            // Gives up waiting for the launch after about ten seconds.
            if (!box || (seen.size() == 3 && h->launcher.launched.isEmpty() && ++waited < 500))
                return;
            seen << QString("%1 %2 %3 %4 %5").arg(box->windowTitle()).arg(box->icon())
                        .arg(box->text().left(12)).arg(box->standardButtons(), 0, 16)
                        .arg(box->standardButton(box->defaultButton()), 0, 16);
            if (QAbstractButton *b = box->button(answers.value(seen.size() - 1)))
                b->click();
            else
                box->close();
        });
        poll.start(20);
        h->act("Combo1=22 Combo2=30 Command2 Check1 Combo7=1 Combo8=1 Combo10=1 Combo9=1 Command5");
        h->clock.time = QTime(22, 30, 0);
        h->form.leave->trigger();
        // Information (1): OK (400) only; question (4): Yes (4000), the default, and No (10000).
        QCOMPARE(seen, (QStringList{"horalux 1 Shutdown Tim 400 400", "horalux 4 This option, 14000 4000",
                                    "horalux 1 Block Access 400 400",
                                    "horalux 4 Are you sure 14000 4000"}));
        QCOMPARE(h->schedule(), "22:30:00|||01:01:00|01:01:00");
        QCOMPARE(h->launcher.launched, QStringList{shutdownCommand()});
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_window_commands.moc"
