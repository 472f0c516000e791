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
        QTest::addColumn<QString>("keys");
        const QString choose = Form1::kChooseHourAndMinute;
        const QString chooseAll = Form1::kChooseBlockHoursAndMinutes;
        const QString saved = "Your settings has been saved!";
        const struct {
            const char *name, *steps;
            int asked;
            QString shown, schedule, keys;
        } cases[] = {
            {"shutdown", "Combo1=23 Combo2=5 Command2", 0, "Shutdown Time Set up!",
             "23:05:00||||", "s1=23 s2=05"},
            {"logoff", "Combo3=0 Combo4=59 Command3", 0, "Login Time Set up!", "|00:59:00|||",
             "l1=00 l2=59"},
            // The program's hour is Combo6 and its minute Combo5.
            {"program", "Combo6=7 Combo5=30 Command4", 0, "execute program Time Set up!",
             "||07:30:00||", "e1=07 e2=30"},
            {"block", "Combo7=22 Combo8=0 Combo10=6 Combo9=15 Command5", 1,
             "Block Access to PC Time Set up!", "|||22:00:00|06:15:00", "i1=22 i2=00 f1=06 f2=15"},
            // Answered No, the second press leaves everything as the first set it.
            {"block, then No", "Combo7=13 Combo8=0 Combo10=14 Combo9=0 Command5 No Combo7=20 "
             "Combo8=15 Combo10=21 Combo9=45 Command5", 2, "Block Access to PC Time Set up!",
             "|||13:00:00|14:00:00", "i1=13 i2=00 f1=14 f2=00"},
            {"save as created", "Command6", 0, saved, "||||", "days=1 systray=0"},
            {"save grey, tray", "Check5=2 Check6=1 Command6", 0, saved, "||||",
             "days=0 systray=1"},
            // Empty boxes: nothing is asked, set or written (an empty block end would block the
            // computer until midnight).
            {"shutdown, no boxes", "Command2", 0, choose, "||||", ""},
            {"logoff, no hour", "Combo4=30 Command3", 0, choose, "||||", ""},
            {"program, no minute", "Combo6=7 Command4", 0, choose, "||||", ""},
            {"block, no end minute", "Combo7=22 Combo8=0 Combo10=6 Command5", 0, chooseAll,
             "||||", ""},
            {"block, no start hour", "Combo8=0 Combo10=6 Combo9=15 Command5", 0, chooseAll,
             "||||", ""},
        };
        for (const auto &c : cases)
            QTest::newRow(c.name) << true << c.steps << c.asked << c.shown << c.schedule << c.keys;
        // Settings that cannot be written: the schedule holds for this run, and the message
        // says why nothing was saved instead of the success text.
        for (const auto &c : cases)
            if (!c.keys.isEmpty())
                QTest::addRow("%s, unwritable", c.name)
                    << false << c.steps << c.asked << QString() << c.schedule << QString();
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
        QCOMPARE(h->dialogs.questions, QStringList(asked, Form1::kBlockQuestion));
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

    void check3AndBrowse()
    {
        Form1 &f = h->form;
        const QString program = "/opt/My Tools/backup";
        h->dialogs.chosenFile = program;
        h->act("Check3 Command1");
        QCOMPARE(f.Text1->text(), program);
        h->dialogs.chosenFile.reset(); // cancelled: the command line stays
        h->act("Command1");
        QCOMPARE(h->dialogs.opened, 2);
        // Only the value 1 enables the command line; its text stays either way. A click on a
        // grey box checks it; after that a user only toggles between 0 and 1.
        const std::pair<const char *, int> turns[] = {
            {"Check3", 0}, {"Check3=2", 2}, {"Check3", 1}, {"Check3", 0}, {"Check3", 1}};
        for (const auto &[steps, value] : turns) {
            h->act(steps);
            QCOMPARE(checkValue(f.Check3), value);
            QCOMPARE(f.Text1->isEnabled(), value == 1);
            QCOMPARE(f.Command1->isEnabled(), value == 1);
            QCOMPARE(f.Text1->text(), program);
        }
        // The real dialog's title, folder and one filter entry (every file: programs here
        // carry no extension).
        QCOMPARE(MessageBoxDialogs::kOpenTitle, "Select the exetutable program");
        QCOMPARE(MessageBoxDialogs::kOpenFolder, "app.path");
        QCOMPARE(MessageBoxDialogs::openFilter(), "All Executables (*)");
    }

    void tickReadsTheControls()
    {
        // Every schedule set for 22:30 from the window, the program chosen and armed, the block
        // by logging off; the window is never shown.
        h->dialogs.chosenFile = "/opt/My Tools/backup";
        h->act("Combo1=22 Combo2=30 Command2 Combo3=22 Combo4=30 Command3 Combo6=22 Combo5=30 "
               "Command4 Combo7=22 Combo8=0 Combo10=23 Combo9=0 Command5 Check3 Command1 Option2");
        // The running timer drives the tick: only the program is armed (setting a time arms
        // nothing).
        h->clock.time = QTime(22, 30, 0);
        QTRY_COMPARE(h->launcher.launched, QStringList{"/opt/My Tools/backup"});
        // Past the exact second, with everything armed, only the block is due.
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
        auto describe = [](const QString &title, int icon, const QString &text, int buttons,
                           int byDefault) {
            return QString("%1 icon %2 \"%3\" buttons %4 default %5")
                .arg(title).arg(icon).arg(text).arg(buttons, 0, 16).arg(byDefault, 0, 16);
        };
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
            seen << describe(box->windowTitle(), box->icon(), box->text(), box->standardButtons(),
                             box->standardButton(box->defaultButton()));
            if (QAbstractButton *b = box->button(answers.value(seen.size() - 1)))
                b->click();
            else
                box->close();
        });
        poll.start(20);
        h->act("Combo1=22 Combo2=30 Command2 Check1 Combo7=1 Combo8=1 Combo10=1 Combo9=1 Command5");
        h->clock.time = QTime(22, 30, 0);
        h->form.leave->trigger();

        auto information = [&](const QString &text) {
            return describe("horalux", QMessageBox::Information, text, QMessageBox::Ok,
                            QMessageBox::Ok);
        };
        auto question = [&](const QString &text) {
            return describe("horalux", QMessageBox::Question, text,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        };
        QCOMPARE(seen, (QStringList{information("Shutdown Time Set up!"),
                                    question("This option, when activated will block the access "
                                             "of the PC during the time you have specified!\nDo "
                                             "you really want to set the time of it?"),
                                    information("Block Access to PC Time Set up!"),
                                    question("Are you sure want to exit?")}));
        QCOMPARE(h->schedule(), "22:30:00|||01:01:00|01:01:00");
        QCOMPARE(h->launcher.launched, QStringList{shutdownCommand()});
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_window_commands.moc"
