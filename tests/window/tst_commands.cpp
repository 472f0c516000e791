// SPDX-License-Identifier: GPL-3.0-or-later
// The rules behind the window's buttons, without a widget: what each command says, the times it
// sets and the keys it saves, over a fresh settings folder.

#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/tick_thread.h"
#include "settings/settings_store.h"
#include "window/commands.h"

#include <QtTest>

struct Seams : Clock, Launcher {
    QTime now() const override { return {12, 0}; }
    bool launch(const QString &) override { return true; }
};

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    // Each row: the command and the texts of its boxes ("-" for none chosen), the block's question
    // answered Yes; then what it says, the times set and the keys saved.
    void command_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("schedule");
        QTest::addColumn<QString>("keys");
        // Each command that saves, also with settings that cannot be written: the time holds for
        // this run, and the message says why nothing was saved.
        const auto row = [](const char *name, QString command, QString said, QString schedule, QString keys) {
            QTest::newRow(name) << command << said << schedule << keys;
            if (!keys.isEmpty())
                QTest::addRow("%s, unwritable", name) << "unwritable " + command << "could not be saved:" << schedule << "";
        };
        row("shutdown", "shutdown 23 05", Commands::kShutdownSet, "23:05:00||||", "s1=23 s2=05");
        row("logoff", "logoff 00 59", Commands::kLogoffSet, "|00:59:00|||", "l1=00 l2=59");
        row("program", "program 07 30", Commands::kProgramSet, "||07:30:00||", "e1=07 e2=30");
        row("block", "block 13 00 14 05", Commands::kBlockSet, "|||13:00:00|14:05:00", "i1=13 i2=00 f1=14 f2=05");
        row("Save, checked", "save 1 0", Commands::kSettingsSaved, "||||", "days=1 systray=0");
        // A box left empty: nothing is asked, set or saved (an empty minute would never fire; an
        // empty block end would block the computer until midnight).
        row("logoff, no hour", "logoff - 30", Commands::kChooseHourAndMinute, "||||", "");
        row("shutdown, no minute", "shutdown 23 -", Commands::kChooseHourAndMinute, "||||", "");
        row("block, no end minute", "block 22 00 06 -", Commands::kChooseBlockHoursAndMinutes, "||||", "");
        row("block, no start hour", "block - 00 06 15", Commands::kChooseBlockHoursAndMinutes, "||||", "");
        // With another copy holding the lock, the block's four keys give up together, in about
        // 2 seconds, naming the holder.
        row("locked", "locked block 22 00 06 15", "(process " + QString::number(QCoreApplication::applicationPid()) + ")",
            "|||22:00:00|06:15:00", "");
    }

    void command()
    {
        QFETCH(QString, command);
        QFETCH(QString, said);
        QFETCH(QString, schedule);
        QFETCH(QString, keys);
        QTemporaryDir tmp;
        SettingsStore store(tmp.filePath("d"));
        QLockFile other(tmp.filePath("d/data.hxdata.lock")); // another copy of the program
        QStringList a = command.split(' ');
        const QString setup = a[0] == "unwritable" || a[0] == "locked" ? a.takeFirst() : QString();
        if (setup == "unwritable")
            QFile(tmp.filePath("d")).open(QIODevice::WriteOnly);
        if (setup == "locked")
            QVERIFY(QDir().mkpath(tmp.filePath("d")) && other.tryLock(0));
        Seams seams;
        TickThread ticker(seams, seams, nullptr, nullptr, nullptr); // never started: no tick
        Commands commands(ticker, store);
        const QDeadlineTimer limit(3500); // a held lock is given up within about 2 s
        const auto at = [&a](int i) { return ChosenTime{a[i].remove('-'), a[i + 1].remove('-')}; };
        QStringList asked;
        const QString kind = a[0];
        const QString answer = kind == "shutdown" ? commands.setShutdown(at(1))
                : kind == "logoff"                ? commands.setLogoff(at(1))
                : kind == "program"               ? commands.setProgram(at(1))
                : kind == "save"                  ? commands.save(a[1].toInt(), a[2].toInt())
                                                  : commands.setBlock(at(1), at(3), [&](const QString &q) { asked << q; return true; });
        QVERIFY(!limit.hasExpired());
        QVERIFY2(answer.contains(said), qPrintable(answer));
        // The block's question comes only once all four boxes are chosen.
        QCOMPARE(asked.size(), qsizetype(kind == "block" && said != Commands::kChooseBlockHoursAndMinutes));
        const QStringList times = ticker.with([](Scheduler &s) {
            return QStringList{s.shutdownTime(), s.logoffTime(), s.programTime(), s.blockFrom(), s.blockUntil()};
        });
        QCOMPARE(times.join('|'), schedule);
        QFile file(store.filePath());
        const QString saved = file.open(QIODevice::ReadOnly) ? QString(file.readAll()) : QString();
        QCOMPARE(QString(saved).remove("[settings]").simplified(), keys);
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "tst_commands.moc"
