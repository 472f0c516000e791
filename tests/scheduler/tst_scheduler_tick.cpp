// The tick, driven tick by tick with a fake clock and a recording launcher.

#include "fakes.h"
#include "scheduler/scheduler.h"

#include <QtTest>

namespace {

struct Schedule {
    QString shutdown, logoff, program, from, until;
};

ArmingInputs inputs(int check1, int check2, int check3, int check4, bool option1 = false,
                    bool option2 = false, const QString &text1 = QStringLiteral("/opt/tools/backup"))
{
    ArmingInputs in;
    in.check1 = check1;
    in.check2 = check2;
    in.check3 = check3;
    in.check4 = check4;
    in.option1 = option1;
    in.option2 = option2;
    in.text1 = text1;
    return in;
}

Schedule shutdownAt(const QString &t) { return {t, {}, {}, {}, {}}; }
Schedule blockWindow(const QString &from, const QString &until) { return {{}, {}, {}, from, until}; }

} // namespace

Q_DECLARE_METATYPE(Schedule)
Q_DECLARE_METATYPE(ArmingInputs)

class TstSchedulerTick : public QObject {
    Q_OBJECT
private slots:
    void ticks_data();
    void ticks();
    void startsEmpty();
    void inputsAreReadOncePerNewSecond();
    void failedLaunchesLeaveLaterTicksWorking();
    void secondOfDay_data();
    void secondOfDay();
};

void TstSchedulerTick::ticks_data()
{
    QTest::addColumn<Schedule>("schedule");
    QTest::addColumn<ArmingInputs>("in");
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QStringList>("expected");

    const QStringList around2230{"22:29:59", "22:30:00", "22:30:01"};
    const ArmingInputs shutdownArmed = inputs(1, 0, 0, 0);

    // Exact-time schedules.
    QTest::newRow("shutdown fires at its second only")
            << shutdownAt("22:30:00") << shutdownArmed << around2230
            << QStringList{"22:30:00 shutdown"};
    QTest::newRow("unchecked never fires") << shutdownAt("22:30:00") << inputs(0, 0, 0, 0)
                                           << around2230 << QStringList{};
    QTest::newRow("grey is not armed") << shutdownAt("22:30:00") << inputs(2, 2, 2, 2, true, true)
                                       << around2230 << QStringList{};
    QTest::newRow("empty trigger never fires")
            << shutdownAt("") << shutdownArmed << QStringList{"00:00:00", "00:00:01", "22:30:00"}
            << QStringList{};
    QTest::newRow("trigger with both fields empty never fires")
            << shutdownAt("::00") << shutdownArmed << QStringList{"00:00:00", "00:00:01"}
            << QStringList{};
    QTest::newRow("trigger with an empty minute never fires")
            << shutdownAt("05::00") << shutdownArmed
            << QStringList{"04:59:59", "05:00:00", "05:00:01"} << QStringList{};
    QTest::newRow("late tick still fires, once")
            << shutdownAt("22:30:00") << shutdownArmed
            << QStringList{"22:29:58.990", "22:30:03.400", "22:30:04.001"}
            << QStringList{"22:30:03 shutdown"};
    QTest::newRow("two ticks in the trigger second fire once")
            << shutdownAt("22:30:00") << shutdownArmed
            << QStringList{"22:29:59.990", "22:30:00.001", "22:30:00.999", "22:30:01.000"}
            << QStringList{"22:30:00 shutdown"};
    QTest::newRow("first tick ever after the trigger does not fire")
            << shutdownAt("22:30:00") << shutdownArmed << QStringList{"22:30:01", "22:30:02"}
            << QStringList{};
    QTest::newRow("gap of exactly five minutes still catches up")
            << shutdownAt("22:30:00") << shutdownArmed << QStringList{"22:29:59", "22:34:59"}
            << QStringList{"22:34:59 shutdown"};
    QTest::newRow("jump of more than five minutes skips the missed second")
            << shutdownAt("22:30:00") << shutdownArmed << QStringList{"22:29:59", "22:35:00"}
            << QStringList{};
    QTest::newRow("jump forward onto the trigger second fires")
            << shutdownAt("22:30:00") << shutdownArmed << QStringList{"08:00:00", "22:30:00"}
            << QStringList{"22:30:00 shutdown"};
    QTest::newRow("clock set back before the trigger fires when it comes round")
            << shutdownAt("22:30:00") << shutdownArmed
            << QStringList{"22:30:00", "22:30:05", "22:29:58", "22:29:59", "22:30:00.500"}
            << QStringList{"22:30:00 shutdown", "22:30:00 shutdown"};
    QTest::newRow("small step back does not fire again")
            << shutdownAt("22:30:00") << shutdownArmed
            << QStringList{"22:30:00", "22:30:10", "22:30:04", "22:30:11"}
            << QStringList{"22:30:00 shutdown"};
    QTest::newRow("midnight is a gap of one second")
            << shutdownAt("00:00:00") << shutdownArmed
            << QStringList{"23:59:59", "00:00:00", "00:00:01"}
            << QStringList{"00:00:00 shutdown"};
    QTest::newRow("late tick across midnight catches up")
            << shutdownAt("00:00:00") << shutdownArmed << QStringList{"23:59:58", "00:00:03"}
            << QStringList{"00:00:03 shutdown"};
    QTest::newRow("logoff and program fire on their own triggers")
            << Schedule{"", "07:15:00", "07:16:00", "", ""} << inputs(1, 1, 1, 0)
            << QStringList{"07:14:59", "07:15:00", "07:15:59", "07:16:00", "07:16:01"}
            << QStringList{"07:15:00 logoff", "07:16:00 run:/opt/tools/backup"};
    QTest::newRow("program text is launched unchanged")
            << Schedule{"", "", "07:16:00", "", ""}
            << inputs(0, 0, 1, 0, false, false, "/home/me/my tools/run it.sh --now")
            << QStringList{"07:15:59", "07:16:00"}
            << QStringList{"07:16:00 run:/home/me/my tools/run it.sh --now"};

    // The block window.
    const ArmingInputs blockShutdown = inputs(0, 0, 0, 1, true, false);
    QTest::newRow("block bounds are strict")
            << blockWindow("13:00:00", "14:00:00") << blockShutdown
            << QStringList{"12:59:59", "13:00:00", "13:00:01", "13:59:59", "14:00:00", "14:00:01"}
            << QStringList{"13:00:01 shutdown", "13:59:59 shutdown"};
    QTest::newRow("block launches once per second however many ticks")
            << blockWindow("13:00:00", "14:00:00") << blockShutdown
            << QStringList{"13:30:00.001", "13:30:00.500", "13:30:00.999", "13:30:01.000"}
            << QStringList{"13:30:00 shutdown", "13:30:01 shutdown"};
    QTest::newRow("late tick in the block launches once")
            << blockWindow("13:00:00", "14:00:00") << blockShutdown
            << QStringList{"12:59:59", "13:00:05"} << QStringList{"13:00:05 shutdown"};
    QTest::newRow("block crossing midnight")
            << blockWindow("22:00:00", "06:00:00") << blockShutdown
            << QStringList{"12:00:00", "21:59:59", "22:00:00", "22:00:01", "23:59:59",
                           "00:00:00", "05:59:59", "06:00:00", "06:00:01"}
            << QStringList{"22:00:01 shutdown", "23:59:59 shutdown", "00:00:00 shutdown",
                           "05:59:59 shutdown"};
    QTest::newRow("equal bounds never block")
            << blockWindow("13:00:00", "13:00:00") << blockShutdown
            << QStringList{"12:59:59", "13:00:00", "13:00:01", "00:00:00", "23:59:59"}
            << QStringList{};
    QTest::newRow("block never set")
            << blockWindow("", "") << blockShutdown << QStringList{"00:00:00", "12:00:00"}
            << QStringList{};
    QTest::newRow("block with one empty bound never fires")
            << blockWindow("", "14:00:00") << blockShutdown
            << QStringList{"00:00:00", "00:00:01", "13:00:00"} << QStringList{};
    QTest::newRow("block with neither option launches nothing")
            << blockWindow("13:00:00", "14:00:00") << inputs(0, 0, 0, 1)
            << QStringList{"13:30:00", "13:30:01"} << QStringList{};
    QTest::newRow("block unchecked") << blockWindow("13:00:00", "14:00:00")
                                     << inputs(0, 0, 0, 0, true, true)
                                     << QStringList{"13:30:00"} << QStringList{};
    QTest::newRow("block shuts down, then logs off")
            << blockWindow("13:00:00", "14:00:00") << inputs(0, 0, 0, 1, true, true)
            << QStringList{"13:30:00"}
            << QStringList{"13:30:00 shutdown", "13:30:00 logoff"};
    QTest::newRow("block from with empty fields never fires")
            << blockWindow("::00", "14:00:00") << blockShutdown
            << QStringList{"00:00:00", "13:00:00", "13:59:59", "23:59:59"} << QStringList{};
    QTest::newRow("block until with empty fields runs to midnight")
            << blockWindow("13:00:00", "::00") << blockShutdown
            << QStringList{"12:59:59", "13:00:00", "13:00:01", "23:59:59", "00:00:00", "00:00:01"}
            << QStringList{"13:00:01 shutdown", "23:59:59 shutdown"};

    // Everything due in one tick, in its order.
    QTest::newRow("all four in one tick")
            << Schedule{"08:00:00", "08:00:00", "08:00:00", "07:00:00", "09:00:00"}
            << inputs(1, 1, 1, 1, true, true, "/opt/tools/backup") << QStringList{"08:00:00"}
            << QStringList{"08:00:00 shutdown", "08:00:00 logoff", "08:00:00 run:/opt/tools/backup",
                           "08:00:00 shutdown", "08:00:00 logoff"};
    QTest::newRow("all due over one late tick")
            << Schedule{"08:00:00", "08:01:00", "08:02:00", "07:00:00", "09:00:00"}
            << inputs(1, 1, 1, 1, false, true) << QStringList{"07:59:59", "08:02:30"}
            << QStringList{"07:59:59 logoff", "08:02:30 shutdown", "08:02:30 logoff",
                           "08:02:30 run:/opt/tools/backup", "08:02:30 logoff"};
}

void TstSchedulerTick::ticks()
{
    QFETCH(Schedule, schedule);
    QFETCH(ArmingInputs, in);
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, expected);

    FakeClock clock;
    RecordingLauncher launcher(clock);
    Scheduler scheduler(clock, launcher, [&] { return in; });
    scheduler.setShutdownTime(schedule.shutdown);
    scheduler.setLogoffTime(schedule.logoff);
    scheduler.setProgramTime(schedule.program);
    scheduler.setBlockWindow(schedule.from, schedule.until);

    for (const QString &t : ticks) {
        clock.set(t);
        QVERIFY2(clock.time.isValid(), qPrintable(t));
        scheduler.tick();
    }
    QCOMPARE(launcher.launches, expected);
}

void TstSchedulerTick::startsEmpty()
{
    FakeClock clock;
    RecordingLauncher launcher(clock);
    Scheduler scheduler(clock, launcher, [] { return inputs(1, 1, 1, 1, true, true); });
    QVERIFY(scheduler.shutdownTime().isEmpty());
    QVERIFY(scheduler.logoffTime().isEmpty());
    QVERIFY(scheduler.programTime().isEmpty());
    QVERIFY(scheduler.blockFrom().isEmpty());
    QVERIFY(scheduler.blockUntil().isEmpty());
    for (const char *t : {"00:00:00", "00:00:01", "12:00:00"}) {
        clock.set(QString::fromLatin1(t));
        scheduler.tick();
    }
    QVERIFY(launcher.launches.isEmpty());

    scheduler.setBlockWindow("01:00:00", "02:00:00");
    QCOMPARE(scheduler.blockFrom(), QStringLiteral("01:00:00"));
    QCOMPARE(scheduler.blockUntil(), QStringLiteral("02:00:00"));
}

// The window's controls are read at every tick that evaluates a new second, and only then.
void TstSchedulerTick::inputsAreReadOncePerNewSecond()
{
    FakeClock clock;
    RecordingLauncher launcher(clock);
    int reads = 0;
    ArmingInputs in = inputs(0, 0, 0, 1, true, false);
    Scheduler scheduler(clock, launcher, [&] {
        ++reads;
        return in;
    });
    scheduler.setBlockWindow("13:00:00", "14:00:00");

    clock.set("13:10:00.100");
    scheduler.tick();
    clock.set("13:10:00.600");
    scheduler.tick();
    QCOMPARE(reads, 1);

    in.check4 = 0; // unchecked between two ticks
    clock.set("13:10:01.000");
    scheduler.tick();
    in.check4 = 1;
    in.option1 = false;
    in.option2 = true; // switched to logoff
    clock.set("13:10:02.000");
    scheduler.tick();
    QCOMPARE(reads, 3);
    QCOMPARE(launcher.launches, (QStringList{"13:10:00 shutdown", "13:10:02 logoff"}));
}

void TstSchedulerTick::failedLaunchesLeaveLaterTicksWorking()
{
    FakeClock clock;
    RecordingLauncher launcher(clock);
    launcher.result = false;
    Scheduler scheduler(clock, launcher, [] { return inputs(1, 0, 1, 1, true, false, ""); });
    scheduler.setShutdownTime("10:00:00");
    scheduler.setProgramTime("09:59:59");
    scheduler.setBlockWindow("10:00:00", "10:00:03");
    for (const char *t : {"09:59:58", "09:59:59", "10:00:00", "10:00:01", "10:00:02"}) {
        clock.set(QString::fromLatin1(t));
        scheduler.tick();
    }
    QCOMPARE(launcher.launches, (QStringList{"09:59:59 run:", "10:00:00 shutdown",
                                             "10:00:01 shutdown", "10:00:02 shutdown"}));
}

void TstSchedulerTick::secondOfDay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("midnight") << "00:00:00" << 0;
    QTest::newRow("last second") << "23:59:59" << 86399;
    QTest::newRow("trigger") << "22:30:00" << 81000;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("both fields empty") << "::00" << -1;
    QTest::newRow("hour empty") << ":30:00" << -1;
    QTest::newRow("minute empty") << "05::00" << -1;
    QTest::newRow("hour 24") << "24:00:00" << -1;
    QTest::newRow("minute 60") << "10:60:00" << -1;
    QTest::newRow("one digit") << "5:30:00" << -1;
    QTest::newRow("trailing text") << "05:30:000" << -1;
    QTest::newRow("letters") << "ab:cd:ef" << -1;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0660\u0661:00:00") << -1;
}

void TstSchedulerTick::secondOfDay()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(Scheduler::secondOfDay(text), seconds);
}

QTEST_GUILESS_MAIN(TstSchedulerTick)
#include "tst_scheduler_tick.moc"
