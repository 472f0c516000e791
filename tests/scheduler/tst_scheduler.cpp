// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler: the tick rules in one table, a jittered simulated day, the tick timer, and the
// real launcher against recording stand-ins placed first on PATH. The real systemctl and
// loginctl are never reached: initTestCase refuses to go on unless PATH finds the stand-ins.

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/process_launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/tick_timer.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kProgram = QStringLiteral("/opt/my tools/run it; $(x) --now");
constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;

class FakeClock final : public Clock {
public:
    QTime now() const override { return time; }
    void set(const QString &t) { time = QTime::fromString(t, t.size() > 8 ? "HH:mm:ss.zzz" : "HH:mm:ss"); }
    QTime time;
};

// Records each launch as "HH:mm:ss what", what being shutdown, logoff, program (kProgram
// unchanged) or the text itself.
class RecordingLauncher final : public Launcher {
public:
    explicit RecordingLauncher(const Clock &clock) : clock_(clock) {}
    bool launch(const QString &line) override
    {
        const QString what = line == shutdownCommand() ? "shutdown"
                : line == logoffCommand()              ? "logoff"
                : line == kProgram                     ? "program"
                                                       : line;
        launches << clock_.now().toString("HH:mm:ss ") + what;
        return true;
    }
    QStringList launches;

private:
    const Clock &clock_;
};

int secondsOf(const QString &text)
{
    return QTime::fromString(text, "HH:mm:ss").msecsSinceStartOfDay() / 1000;
}

// Writes its own path and then each argument on a line of a new file in $HORALUX_RECORDS,
// renamed into place when complete so a reader never sees half a record.
const char kRecorder[] = R"(#!/bin/sh
f="$HORALUX_RECORDS/rec.$$"
{ printf '%s\n' "$0"; for a in "$@"; do printf '%s\n' "$a"; done; } > "$f.tmp"
mv "$f.tmp" "$f"
)";

bool writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
            && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner
                                   | (executable ? QFile::ExeOwner : QFile::Permission(0)));
}

} // namespace

class TstScheduler : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void tick_data();
    void tick();
    void day_data();
    void day();
    void timerAimsAtEachSecondAndStops();
    void launch_data();
    void launch();
    void launchFailures_data();
    void launchFailures();
    void realLauncherLeavesLaterTicksWorking();

private:
    QString path(const QString &relative) const { return tmp_.filePath(relative); }
    QStringList takeRecords(int count);
    QTemporaryDir tmp_;
};

void TstScheduler::initTestCase()
{
    QVERIFY(tmp_.isValid());
    for (const char *dir : {"bin", "records", "my programs"})
        QVERIFY(QDir().mkpath(path(dir)));
    for (const char *name : {"bin/systemctl", "bin/loginctl", "bin/xdg-open", "bin/recorder",
                             "my programs/run me", "my programs/lurker"})
        QVERIFY(writeFile(path(name), kRecorder, true));
    QVERIFY(writeFile(path("my programs/report of 5;6.txt"), "a document\n", false));
    QVERIFY(writeFile(path("my programs/no run bit.sh"), kRecorder, false));
    QVERIFY(writeFile(path("my programs/garbage"), "\x7f" "ELF but not really\n", true));
    qputenv("PATH", (path("bin") + ':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    qputenv("HORALUX_RECORDS", path("records").toLocal8Bit());
    QVERIFY(QDir::setCurrent(path("my programs"))); // a bare "lurker" must not be run from here
    for (const QString name : {"systemctl", "loginctl", "xdg-open"})
        QCOMPARE(QStandardPaths::findExecutable(name), path("bin/" + name));
}

// schedule: ShutdownTime,LogoffTime,ProgramTime,BlockFrom,BlockUntil (an empty field is never
// set). ticks: clock times, each one ticked; any other word sets the inputs: Check1..Check4
// then S for Option1 and L for Option2.
void TstScheduler::tick_data()
{
    QTest::addColumn<QString>("schedule");
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *schedule, const char *ticks, const char *expected) {
        QTest::newRow(name) << QString(schedule) << QString(ticks) << QString(expected);
    };
    const char *all = "22:30:00,22:30:00,22:30:00,22:00:00,23:00:00";
    row("exact second only", "22:30:00,,,,", "1000 22:29:59 22:30:00 22:30:01", "22:30:00 shutdown");
    row("nothing set, all armed", ",,,,", "1111SL 00:00:00 00:00:01 22:30:00", "");
    row("unchecked", all, "0000SL 22:29:59 22:30:00", "");
    row("grey is not armed", all, "2222SL 22:29:59 22:30:00", "");
    row("trigger with empty fields", "::00,05::00,,,", "1100 00:00:00 00:00:01 04:59:59 05:00:00", "");
    row("gap 0 does nothing", "22:30:00,,,22:00:00,23:00:00", "1001L 22:30:00.001 22:30:00.999 22:30:01.000",
        "22:30:00 shutdown,22:30:00 logoff,22:30:01 logoff");
    row("late tick fires once", "22:30:00,,,,", "1000 22:29:58.990 22:30:03.400 22:30:04.001",
        "22:30:03 shutdown");
    row("first tick after the trigger", "22:30:00,,,,", "1000 22:30:01 22:30:02", "");
    row("gap 300 catches up", "22:30:00,,,,", "1000 22:29:59 22:34:59", "22:34:59 shutdown");
    row("gap 301: current second only", "22:30:00,22:35:00,,,", "1100 22:29:59 22:35:00", "22:35:00 logoff");
    row("backward: current second only", "22:30:00,,,,",
        "1000 22:30:00 22:30:10 22:30:04 22:30:11 22:29:59 22:30:00.500",
        "22:30:00 shutdown,22:30:00 shutdown");
    row("late across midnight", "23:59:59,00:00:00,,,", "1100 23:59:58 00:00:02",
        "00:00:02 shutdown,00:00:02 logoff");
    row("block bounds strict", ",,,13:00:00,14:00:00",
        "0001S 12:59:59 13:00:00 13:00:01 13:59:59 14:00:00 14:00:01",
        "13:00:01 shutdown,13:59:59 shutdown");
    row("block across midnight", ",,,22:00:00,06:00:00",
        "0001S 21:59:59 22:00:00 22:00:01 23:59:59 00:00:00 05:59:59 06:00:00 12:00:00",
        "22:00:01 shutdown,23:59:59 shutdown,00:00:00 shutdown,05:59:59 shutdown");
    row("equal bounds", ",,,13:00:00,13:00:00", "0001S 12:59:59 13:00:00 13:00:01 23:59:59 00:00:00", "");
    row("one empty bound", ",,,,14:00:00", "0001S 00:00:00 00:00:01 13:00:00", "");
    row("from with empty fields", ",,,::00,14:00:00", "0001S 00:00:00 13:00:00 13:59:59 23:59:59", "");
    row("until with empty fields", ",,,13:00:00,::00", "0001S 13:00:00 13:00:01 23:59:59 00:00:00",
        "13:00:01 shutdown,23:59:59 shutdown");
    row("block with neither option", ",,,13:00:00,14:00:00", "0001 13:30:00 13:30:01", "");
    row("order in one tick", "08:00:00,08:00:00,08:00:00,07:00:00,09:00:00", "1111SL 08:00:00",
        "08:00:00 shutdown,08:00:00 logoff,08:00:00 program,08:00:00 shutdown,08:00:00 logoff");
    row("late tick: all due, block once", "08:00:00,08:01:00,08:02:00,07:00:00,09:00:00",
        "1111L 07:59:59 08:02:30",
        "07:59:59 logoff,08:02:30 shutdown,08:02:30 logoff,08:02:30 program,08:02:30 logoff");
    row("inputs read afresh", ",,,13:00:00,14:00:00", "0001S 13:10:00 0000S 13:10:01 0001L 13:10:02",
        "13:10:00 shutdown,13:10:02 logoff");
}

void TstScheduler::tick()
{
    QFETCH(QString, schedule);
    QFETCH(QString, ticks);
    QFETCH(QString, expected);
    FakeClock clock;
    RecordingLauncher launcher(clock);
    ArmingInputs in;
    Scheduler scheduler(clock, launcher, [&] { return in; });
    const QStringList s = schedule.split(',');
    if (!s[0].isEmpty())
        scheduler.setShutdownTime(s[0]);
    if (!s[1].isEmpty())
        scheduler.setLogoffTime(s[1]);
    if (!s[2].isEmpty())
        scheduler.setProgramTime(s[2]);
    if (!s[3].isEmpty() || !s[4].isEmpty())
        scheduler.setBlockWindow(s[3], s[4]);
    for (const QString &word : ticks.split(' ')) {
        if (word.contains(':')) {
            clock.set(word);
            QVERIFY2(clock.time.isValid(), qPrintable(word));
            scheduler.tick();
        } else {
            in = {word[0].digitValue(), word[1].digitValue(), word[2].digitValue(),
                  word[3].digitValue(), word.contains('S'), word.contains('L'), kProgram};
        }
    }
    QCOMPARE(launcher.launches.join(','), expected);
}

// A whole day on a fake clock advanced by jittered steps: mostly a second, sometimes late by
// several seconds, sometimes twice in one second, sometimes skipping a second.
void TstScheduler::day_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("until");
    QTest::newRow("across midnight") << 1u << "06:00:00" << "22:00:00" << "06:00:00";
    QTest::newRow("short, across midnight") << 2u << "12:00:00" << "23:30:00" << "00:30:00";
    QTest::newRow("afternoon") << 3u << "06:00:00" << "13:00:00" << "14:00:00";
    QTest::newRow("from midnight, first tick at midnight") << 4u << "00:00:00" << "00:00:00" << "14:00:00";
}

void TstScheduler::day()
{
    QFETCH(quint32, seed);
    QFETCH(QString, start);
    QFETCH(QString, from);
    QFETCH(QString, until);
    FakeClock clock;
    RecordingLauncher launcher(clock);
    Scheduler scheduler(clock, launcher, [] { return ArmingInputs{1, 1, 1, 1, true, true, kProgram}; });
    const QStringList names{"shutdown", "logoff", "program"}, triggers{"00:00:00", "13:30:00", "21:59:00"};
    scheduler.setShutdownTime(triggers[0]);
    scheduler.setLogoffTime(triggers[1]);
    scheduler.setProgramTime(triggers[2]);
    scheduler.setBlockWindow(from, until);

    // Times run on without wrapping; each trigger is due at its first second at or after the
    // start (the first tick evaluates only its own second). Just short of 24 hours, so no
    // trigger comes round twice.
    const qint64 startMs = secondsOf(start) * 1000LL;
    qint64 due[3];
    for (int i = 0; i < 3; ++i)
        due[i] = secondsOf(triggers[i]) * 1000LL + (secondsOf(triggers[i]) * 1000LL < startMs ? kDayMs : 0);
    const int f = secondsOf(from), u = secondsOf(until);
    QRandomGenerator rng(seed);
    int fired = 0, blocked = 0, steps[4] = {};
    for (qint64 t = startMs + 3, prev = -1000; t < startMs + kDayMs - 1000;) {
        clock.time = QTime::fromMSecsSinceStartOfDay(int(t % kDayMs));
        launcher.launches.clear();
        scheduler.tick();
        const QString at = clock.time.toString("HH:mm:ss ");
        QStringList expected;
        for (int i = 0; i < 3; ++i) {
            if (prev < due[i] && due[i] <= t) {
                expected << at + names[i];
                ++fired;
            }
        }
        const int s = int(t / 1000 % 86400);
        if (prev / 1000 != t / 1000 && (f > u ? s > f || s < u : s > f && s < u)) {
            expected << at + "shutdown" << at + "logoff";
            ++blocked;
        }
        QCOMPARE(launcher.launches, expected);

        const int r = rng.bounded(100), kind = r < 3 ? 0 : r < 6 ? 1 : r < 9 ? 2 : 3;
        ++steps[kind];
        prev = t;
        t += kind == 0 ? rng.bounded(1, 400)                  // doubled, often in the same second
                : kind == 1 ? rng.bounded(1500, 8000)         // late by several seconds
                : kind == 2 ? 2000 + rng.bounded(-15, 15)     // a second skipped
                            : 1000 + rng.bounded(-15, 30);
    }
    QCOMPARE(fired, 3); // each exact-time schedule exactly once
    QVERIFY(blocked > 1000 && steps[0] > 1000 && steps[1] > 1000 && steps[2] > 1000);
}

// A clock stuck on the last millisecond of a second, as after a shot that came early: each
// shot must be aimed a few milliseconds on, not a whole second (ten would then take ten
// seconds). Stopped from inside the tick, it stays stopped; it can be started again.
void TstScheduler::timerAimsAtEachSecondAndStops()
{
    FakeClock clock;
    clock.set("10:00:00.999");
    int ticks = 0;
    TickTimer *timer = nullptr;
    TickTimer t(clock, [&] {
        if (++ticks % 10 == 0)
            timer->stop();
    });
    timer = &t;
    for (int round = 1; round <= 2; ++round) {
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 10 * round, 5000);
        QVERIFY(!t.isActive());
        QTest::qWait(50);
        QCOMPARE(ticks, 10 * round);
    }
}

// Waits (up to a generous limit) for `count` complete records, then takes all there are, each
// one's lines joined by '|', sorted.
QStringList TstScheduler::takeRecords(int count)
{
    QDir dir(path("records"));
    const auto names = [&] {
        return dir.entryList({"rec.*"}, QDir::Files).filter(QRegularExpression("^rec\\.\\d+$"));
    };
    (void)QTest::qWaitFor([&] { return names().size() >= count; }, 15000);
    QStringList out;
    for (const QString &name : names()) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out << QString::fromLocal8Bit(f.readAll()).trimmed().replace('\n', '|');
        f.remove();
    }
    out.sort();
    return out;
}

void TstScheduler::launch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("record"); // "@" stands for the temporary directory
    QTest::newRow("shutdown") << shutdownCommand() << "@/bin/systemctl|poweroff";
    QTest::newRow("logoff") << logoffCommand() << "@/bin/loginctl|terminate-session|auto";
    QTest::newRow("path with spaces, whole") << "@/my programs/run me" << "@/my programs/run me";
    QTest::newRow("bare name on PATH, arguments")
            << "recorder --at 22:30 \"two words\"" << "@/bin/recorder|--at|22:30|two words";
    QTest::newRow("no shell") << "recorder a;touch @/pwned $(touch @/pwned) `id`"
                              << "@/bin/recorder|a;touch|@/pwned|$(touch|@/pwned)|`id`";
    QTest::newRow("document to xdg-open")
            << "@/my programs/report of 5;6.txt" << "@/bin/xdg-open|@/my programs/report of 5;6.txt";
    QTest::newRow("script without run bit to xdg-open")
            << "@/my programs/no run bit.sh" << "@/bin/xdg-open|@/my programs/no run bit.sh";
}

void TstScheduler::launch()
{
    QFETCH(QString, text);
    QFETCH(QString, record);
    ProcessLauncher launcher;
    QVERIFY(launcher.launch(text.replace('@', tmp_.path())));
    QCOMPARE(takeRecords(1), QStringList{record.replace('@', tmp_.path())});
    QVERIFY(!QFile::exists(path("pwned")));
}

void TstScheduler::launchFailures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << "" << "empty command line";
    QTest::newRow("missing file") << "@/my programs/gone" << "no such file";
    QTest::newRow("not on PATH") << "horalux-no-such-program -v"
                                 << "horalux-no-such-program: not found on PATH";
    QTest::newRow("bare name not run from the current directory") << "lurker" << "lurker: not found on PATH";
    QTest::newRow("refused by the system") << "@/my programs/garbage" << "";
}

// Exactly one line on standard error, naming the command and the reason, and false.
void TstScheduler::launchFailures()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    text.replace('@', tmp_.path());
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^horalux: cannot start \"" + QRegularExpression::escape(text)
                                            + "\": " + (reason.isEmpty() ? QString(".+")
                                                                         : QRegularExpression::escape(reason))
                                            + "$"));
    QVERIFY(!ProcessLauncher().launch(text));
}

// The real launcher under the scheduler: a missing program, then an empty text, and the block
// window's shutdown still goes out on each later tick.
void TstScheduler::realLauncherLeavesLaterTicksWorking()
{
    FakeClock clock;
    ProcessLauncher launcher;
    ArmingInputs in{0, 0, 1, 1, true, false, path("my programs/gone")};
    Scheduler scheduler(clock, launcher, [&] { return in; });
    scheduler.setProgramTime("09:00:00");
    scheduler.setBlockWindow("09:00:00", "09:00:03");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot start \".*gone\": .*no such file"));
    clock.set("09:00:00");
    scheduler.tick();
    in.text1.clear();
    scheduler.setProgramTime("09:00:01");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot start \"\": empty command line"));
    clock.set("09:00:01");
    scheduler.tick();
    clock.set("09:00:02");
    scheduler.tick();
    QCOMPARE(takeRecords(2), QStringList(2, path("bin/systemctl") + "|poweroff"));
}

QTEST_GUILESS_MAIN(TstScheduler)
#include "tst_scheduler.moc"
