// The commands behind the buttons and the program check box, and the tick's wiring to the
// window's controls.

#include "fakes.h"
#include "scheduler/actions.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "window/check_value.h"
#include "window/form1.h"

#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

class WindowCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString settingsDir;
    std::unique_ptr<SettingsStore> store;
    FakeClock clock;
    FakeLauncher launcher;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    void makeForm(const QString &directory)
    {
        settingsDir = directory;
        store = std::make_unique<SettingsStore>(directory);
        form = std::make_unique<Form1>(*store, clock, launcher, dialogs);
        // Commands are tested without the timer; the wiring test below lets it run.
        form->Timer1->stop();
    }

    QString key(const char *name) { return SettingsStore(settingsDir).readKey(QLatin1String(name)); }

    QComboBox *box(const QString &name) { return form->findChild<QComboBox *>(name); }
    QPushButton *button(const QString &name) { return form->findChild<QPushButton *>(name); }

    // The schedule value a "Set Hour" button sets.
    QString scheduleOf(const QString &command)
    {
        const Scheduler &s = form->scheduler();
        if (command == QLatin1String("Command2"))
            return s.shutdownTime();
        if (command == QLatin1String("Command3"))
            return s.logoffTime();
        return s.programTime();
    }

    void selectBlock(int fromH, int fromM, int untilH, int untilM)
    {
        form->Combo7->setCurrentIndex(fromH);
        form->Combo8->setCurrentIndex(fromM);
        form->Combo10->setCurrentIndex(untilH);
        form->Combo9->setCurrentIndex(untilM);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        dialogs = FakeDialogs();
        launcher.launched.clear();
        clock.time = QTime(12, 0, 0);
        makeForm(dir->path());
    }
    void cleanup()
    {
        form.reset();
        store.reset();
    }

    void setHour_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("hourBox");
        QTest::addColumn<QString>("minuteBox");
        QTest::addColumn<QString>("hourKey");
        QTest::addColumn<QString>("minuteKey");
        QTest::addColumn<QString>("message");
        QTest::newRow("shutdown") << "Command2" << "Combo1" << "Combo2" << "s1" << "s2"
                                  << "Shutdown Time Set up!";
        QTest::newRow("logoff") << "Command3" << "Combo3" << "Combo4" << "l1" << "l2"
                                << "Login Time Set up!";
        // The program's hour is Combo6 and its minute Combo5.
        QTest::newRow("program") << "Command4" << "Combo6" << "Combo5" << "e1" << "e2"
                                 << "execute program Time Set up!";
    }

    void setHour()
    {
        QFETCH(QString, command);
        QFETCH(QString, hourBox);
        QFETCH(QString, minuteBox);
        QFETCH(QString, hourKey);
        QFETCH(QString, minuteKey);
        QFETCH(QString, message);

        box(hourBox)->setCurrentIndex(23);
        box(minuteBox)->setCurrentIndex(5);
        button(command)->click();
        QCOMPARE(scheduleOf(command), QStringLiteral("23:05:00"));
        QCOMPARE(key(qPrintable(hourKey)), QStringLiteral("23"));
        QCOMPARE(key(qPrintable(minuteKey)), QStringLiteral("05"));
        QCOMPARE(dialogs.informations, QStringList{message});
        QVERIFY(dialogs.questions.isEmpty());

        // Setting a time arms nothing.
        QCOMPARE(form->armingInputs().check1 + form->armingInputs().check2
                     + form->armingInputs().check3, 0);

        // A second press replaces the time and the keys.
        box(hourBox)->setCurrentIndex(0);
        button(command)->click();
        QCOMPARE(scheduleOf(command), QStringLiteral("00:05:00"));
        QCOMPARE(key(qPrintable(hourKey)), QStringLiteral("00"));
    }

    void setHourWithEmptyBox_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("hourBox");
        QTest::addColumn<QString>("minuteBox");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::newRow("shutdown, both empty") << "Command2" << "Combo1" << "Combo2" << -1 << -1;
        QTest::newRow("shutdown, no minute") << "Command2" << "Combo1" << "Combo2" << 7 << -1;
        QTest::newRow("logoff, no hour") << "Command3" << "Combo3" << "Combo4" << -1 << 30;
        QTest::newRow("program, no minute") << "Command4" << "Combo6" << "Combo5" << 7 << -1;
        QTest::newRow("program, no hour") << "Command4" << "Combo6" << "Combo5" << -1 << 7;
    }

    void setHourWithEmptyBox()
    {
        QFETCH(QString, command);
        QFETCH(QString, hourBox);
        QFETCH(QString, minuteBox);
        QFETCH(int, hour);
        QFETCH(int, minute);

        box(hourBox)->setCurrentIndex(hour);
        box(minuteBox)->setCurrentIndex(minute);
        button(command)->click();
        QCOMPARE(dialogs.informations, QStringList{Form1::kChooseHourAndMinute});
        QCOMPARE(scheduleOf(command), QString());
        QVERIFY(!QFile::exists(SettingsStore(settingsDir).filePath()));
    }

    void blockYes()
    {
        selectBlock(13, 0, 14, 30);
        form->Command5->click();
        QCOMPARE(dialogs.questions, QStringList{Form1::kBlockQuestion});
        // The two sentences, one line break between them.
        QCOMPARE(dialogs.questions.first(),
                 QStringLiteral("This option, when activated will block the access of the PC "
                                "during the time you have specified!\nDo you really want to set "
                                "the time of it?"));
        QCOMPARE(form->scheduler().blockFrom(), QStringLiteral("13:00:00"));
        QCOMPARE(form->scheduler().blockUntil(), QStringLiteral("14:30:00"));
        QCOMPARE(key("i1"), QStringLiteral("13"));
        QCOMPARE(key("i2"), QStringLiteral("00"));
        QCOMPARE(key("f1"), QStringLiteral("14"));
        QCOMPARE(key("f2"), QStringLiteral("30"));
        QCOMPARE(dialogs.informations, QStringList{QStringLiteral("Block Access to PC Time Set up!")});
    }

    void blockNoKeepsEverything()
    {
        selectBlock(13, 0, 14, 0);
        form->Command5->click();
        dialogs.informations.clear();

        selectBlock(20, 15, 21, 45);
        dialogs.answerYes = false;
        form->Command5->click();
        QCOMPARE(dialogs.questions.size(), 2);
        QVERIFY(dialogs.informations.isEmpty());
        QCOMPARE(form->scheduler().blockFrom(), QStringLiteral("13:00:00"));
        QCOMPARE(form->scheduler().blockUntil(), QStringLiteral("14:00:00"));
        QCOMPARE(key("i1"), QStringLiteral("13"));
        QCOMPARE(key("i2"), QStringLiteral("00"));
        QCOMPARE(key("f1"), QStringLiteral("14"));
        QCOMPARE(key("f2"), QStringLiteral("00"));
    }

    void blockWithEmptyBox_data()
    {
        QTest::addColumn<int>("emptied");
        for (int i = 0; i < 4; ++i)
            QTest::addRow("box %d empty", i) << i;
    }

    void blockWithEmptyBox()
    {
        QFETCH(int, emptied);
        selectBlock(22, 0, 6, 0);
        QComboBox *boxes[] = {form->Combo7, form->Combo8, form->Combo10, form->Combo9};
        boxes[emptied]->setCurrentIndex(-1);
        form->Command5->click();
        // Nothing is asked and nothing changes: an empty end would block until midnight.
        QVERIFY(dialogs.questions.isEmpty());
        QCOMPARE(dialogs.informations, QStringList{Form1::kChooseBlockHoursAndMinutes});
        QCOMPARE(form->scheduler().blockFrom(), QString());
        QCOMPARE(form->scheduler().blockUntil(), QString());
        QVERIFY(!QFile::exists(SettingsStore(settingsDir).filePath()));
    }

    void save_data()
    {
        QTest::addColumn<int>("check5");
        QTest::addColumn<int>("check6");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("systray");
        QTest::newRow("as created") << 1 << 0 << "1" << "0";
        QTest::newRow("tray, not every day") << 0 << 1 << "0" << "1";
        QTest::newRow("both") << 1 << 1 << "1" << "1";
        QTest::newRow("grey counts as off") << 2 << 2 << "0" << "0";
    }

    void save()
    {
        QFETCH(int, check5);
        QFETCH(int, check6);
        QFETCH(QString, days);
        QFETCH(QString, systray);
        setCheckValue(form->Check5, check5);
        setCheckValue(form->Check6, check6);
        form->Command6->click();
        QCOMPARE(key("days"), days);
        QCOMPARE(key("systray"), systray);
        QCOMPARE(dialogs.informations, QStringList{QStringLiteral("Your settings has been saved!")});
    }

    void unwritableSettings_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("shutdown") << "Command2";
        QTest::newRow("logoff") << "Command3";
        QTest::newRow("program") << "Command4";
        QTest::newRow("block") << "Command5";
        QTest::newRow("save") << "Command6";
    }

    void unwritableSettings()
    {
        QFETCH(QString, command);
        // A directory under a regular file cannot be made by anyone, root included.
        QFile blocker(dir->filePath(QStringLiteral("plain-file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        form.reset();
        makeForm(blocker.fileName() + QStringLiteral("/settings"));

        for (QComboBox *b : form->findChildren<QComboBox *>())
            b->setCurrentIndex(10);
        button(command)->click();

        QCOMPARE(dialogs.informations.size(), 1);
        const QString shown = dialogs.informations.first();
        const QStringList successes = {Form1::kShutdownSet, Form1::kLogoffSet, Form1::kProgramSet,
                                       Form1::kBlockSet, Form1::kSettingsSaved};
        QVERIFY2(!successes.contains(shown), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("could not be saved")), qPrintable(shown));
        // The reason follows, naming the settings file.
        QVERIFY2(shown.contains(QStringLiteral("data.hxdata")), qPrintable(shown));

        // The schedule still holds for this run.
        const Scheduler &s = form->scheduler();
        const QString set = QStringLiteral("10:10:00");
        if (command == QLatin1String("Command2"))
            QCOMPARE(s.shutdownTime(), set);
        else if (command == QLatin1String("Command3"))
            QCOMPARE(s.logoffTime(), set);
        else if (command == QLatin1String("Command4"))
            QCOMPARE(s.programTime(), set);
        else if (command == QLatin1String("Command5"))
            QCOMPARE(s.blockUntil(), set);
    }

    void browse()
    {
        setCheckValue(form->Check3, 1);
        dialogs.chosenFile = QStringLiteral("/opt/My Tools/backup");
        form->Command1->click();
        QCOMPARE(dialogs.opened, 1);
        QCOMPARE(form->Text1->text(), QStringLiteral("/opt/My Tools/backup"));

        dialogs.chosenFile.reset();
        form->Command1->click();
        QCOMPARE(dialogs.opened, 2);
        QCOMPARE(form->Text1->text(), QStringLiteral("/opt/My Tools/backup"));
        QVERIFY(dialogs.informations.isEmpty());
    }

    void check3EnablesCommandLine_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("checked") << 1 << true;
        QTest::newRow("unchecked") << 0 << false;
        QTest::newRow("grey") << 2 << false;
    }

    void check3EnablesCommandLine()
    {
        QFETCH(int, value);
        QFETCH(bool, enabled);
        form->Text1->setText(QStringLiteral("/bin/true"));
        setCheckValue(form->Check3, 1);
        setCheckValue(form->Check3, value);
        QCOMPARE(form->Text1->isEnabled(), enabled);
        QCOMPARE(form->Command1->isEnabled(), enabled);
        QVERIFY(form->Text1->isReadOnly());
        QCOMPARE(form->Text1->text(), QStringLiteral("/bin/true"));
    }

    void tickReadsTheControls()
    {
        // Every schedule set for 22:30 and armed from the window.
        form->Combo1->setCurrentIndex(22);
        form->Combo2->setCurrentIndex(30);
        form->Command2->click();
        form->Combo3->setCurrentIndex(22);
        form->Combo4->setCurrentIndex(30);
        form->Command3->click();
        form->Combo6->setCurrentIndex(22);
        form->Combo5->setCurrentIndex(30);
        form->Command4->click();
        selectBlock(22, 0, 23, 0);
        form->Command5->click();
        dialogs.chosenFile = QStringLiteral("/opt/My Tools/backup");
        form->Check3->click();
        form->Command1->click();
        form->Option2->click();

        // Only the program is armed (Browse needed its box checked).
        clock.time = QTime(22, 30, 0);
        form->scheduler().tick();
        QCOMPARE(launcher.launched, QStringList{QStringLiteral("/opt/My Tools/backup")});
        launcher.launched.clear();

        form->Check1->click();
        form->Check2->click();
        form->Check4->click();
        clock.time = QTime(22, 30, 1); // past the program's second: no program, only the block
        form->scheduler().tick();
        QCOMPARE(launcher.launched, QStringList{logoffCommand()});
        launcher.launched.clear();

        // Grey is not armed.
        setCheckValue(form->Check4, 2);
        clock.time = QTime(22, 30, 2);
        form->scheduler().tick();
        QVERIFY(launcher.launched.isEmpty());

        const ArmingInputs in = form->armingInputs();
        QCOMPARE(in.check1, 1);
        QCOMPARE(in.check2, 1);
        QCOMPARE(in.check3, 1);
        QCOMPARE(in.check4, 2);
        QVERIFY(!in.option1);
        QVERIFY(in.option2);
        QCOMPARE(in.text1, QStringLiteral("/opt/My Tools/backup"));
    }

    void timerDrivesTheTickWhileHidden()
    {
        // The window is never shown here: the timer ticks all the same.
        form->Combo6->setCurrentIndex(7);
        form->Combo5->setCurrentIndex(5);
        form->Command4->click();
        dialogs.chosenFile = QStringLiteral("/usr/local/bin/report");
        form->Check3->click();
        form->Command1->click();
        clock.time = QTime(7, 5, 0);
        QVERIFY(form->isHidden());
        form->Timer1->start();
        QTRY_COMPARE(launcher.launched, QStringList{QStringLiteral("/usr/local/bin/report")});
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_window_commands.moc"
