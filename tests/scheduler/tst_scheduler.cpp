// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler: the tick rules in one table (launches, notices, the gentle logoff, the tray
// tip's lines), the tick timer, and the real launcher against recording stand-ins placed first
// on PATH. The real systemctl and loginctl are never reached: initTestCase refuses to go on
// unless PATH finds the stand-ins.

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/notifier.h"
#include "scheduler/process_launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/session_logout.h"
#include "scheduler/tick_timer.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kProgram = QStringLiteral("/opt/my tools/run it; $(x) --now");

// Knows the date only after a time given as "day@HH:mm:ss".
class FakeClock final : public Clock {
public:
    QTime now() const override { return time; }
    QDateTime nowWithDate() const override { return date.isValid() ? QDateTime(date, time) : QDateTime(); }
    void set(QString t)
    {
        if (t.contains('@'))
            date = QDate(2026, 10, 24).addDays(t.section('@', 0, 0).toInt());
        t = t.section('@', -1);
        time = QTime::fromString(t, t.size() > 8 ? "HH:mm:ss.zzz" : "HH:mm:ss");
    }
    QTime time;
    QDate date;
};

// Records, as "HH:mm:ss what": each launch (shutdown, logoff, program for kProgram unchanged,
// or the text itself), each gentle logoff ("gentle") and each notice (its kind's initial and
// the seconds left, then its text). The program's launch fails, as a missing file would: later
// launches must still go out.
class Recorder final : public Launcher, public Notifier, public SessionLogout {
public:
    explicit Recorder(const Clock &clock) : clock_(clock) {}
    bool launch(const QString &line) override
    {
        const QHash<QString, QString> names{{shutdownCommand(), "shutdown"}, {logoffCommand(), "logoff"},
                                            {kProgram, "program"}};
        record(names.value(line, line));
        return line != kProgram;
    }
    void requestLogout() override { record("gentle"); }
    void notify(const Notice &n) override
    {
        record(QString("%1%2 %3").arg("SLB"[int(n.kind)]).arg(n.secondsLeft).arg(n.body));
    }
    void record(const QString &what) { records << clock_.now().toString("HH:mm:ss ") + what; }
    QStringList records;

private:
    const Clock &clock_;
};

// Writes its own path and then each argument on a line of a new file in $HORALUX_RECORDS,
// renamed into place when complete (the hidden part is never listed), so a reader never sees
// half a record.
const char kRecorder[] = R"(#!/bin/sh
f="$HORALUX_RECORDS/rec.$$"
{ printf '%s\n' "$0"; for a in "$@"; do printf '%s\n' "$a"; done; } > "$HORALUX_RECORDS/.part.$$"
mv "$HORALUX_RECORDS/.part.$$" "$f"
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
    void timerAimsAtEachSecondAndStops();
    void launch_data();
    void launch();

private:
    QString path(const QString &relative) const { return tmp_.filePath(relative); }
    QString takeRecord();
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
    QVERIFY(writeFile(path("my programs/garbage"), "\x7f" "ELF but not really\n", true));
    qputenv("PATH", (path("bin") + ':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    qputenv("HORALUX_RECORDS", path("records").toLocal8Bit());
    QVERIFY(QDir::setCurrent(path("my programs"))); // a bare "lurker" must not be run from here
    for (const QString name : {"systemctl", "loginctl", "xdg-open"})
        QCOMPARE(QStandardPaths::findExecutable(name), path("bin/" + name));
}

// Each row is a run of words. The first may name the seams given: N a notifier, G a gentle
// logoff (without G the logoff command is launched). A word with commas sets the schedule:
// ShutdownTime,LogoffTime,ProgramTime,BlockFrom,BlockUntil (an empty field is left as it is).
// A clock time is ticked. "?" records the tray tip's lines. Any other word sets the inputs:
// Check1..Check4, then S for Option1 and L for Option2.
void TstScheduler::tick_data()
{
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QString &ticks, const QString &expected) {
        QTest::newRow(name) << ticks << expected;
    };
    const QString all = "22:30:00,22:30:00,22:30:00,22:00:00,23:00:00 ";
    const QString shut = "Horalux will shut down this computer at ", logOff = "Horalux will log you off at ";
    const QString block = "Horalux will block this computer from ";
    row("exact second only", "22:30:00,,,, 1000 22:29:59 22:30:00 22:30:01", "22:30:00 shutdown");
    row("unchecked", "N " + all + "0000SL 21:59:00 22:29:00 22:30:00 ?", "tip:");
    row("grey is not armed", "N " + all + "2222SL 21:59:00 22:29:00 22:30:00 ?", "tip:");
    row("unset, or with empty fields", "N ,05::00,::00,, 1111SL 00:00:00 04:59:00 05:00:00 ?", "tip:");
    row("gap 0 does nothing", "22:30:00,,,22:00:00,23:00:00 1001L 22:30:00.001 22:30:00.999 22:30:01.000",
        "22:30:00 shutdown,22:30:00 logoff,22:30:01 logoff");
    row("late tick fires once", "22:30:00,,,, 1000 22:29:58.990 22:30:03.400 22:30:04.001", "22:30:03 shutdown");
    row("first tick after the trigger", "22:30:00,,,, 1000 22:30:01 22:30:02", "");
    row("gap 300 catches up", "22:30:00,,,, 1000 22:29:59 22:34:59", "22:34:59 shutdown");
    row("gap 301: current second only", "22:30:00,22:35:00,,, 1100 22:29:59 22:35:00", "22:35:00 logoff");
    row("late across midnight", "23:59:59,00:00:00,,, 1100 23:59:58 00:00:02", "00:00:02 shutdown,00:00:02 logoff");
    row("10 s back: no second notice or launch", "N 22:30:00,,,, 1000 22:29:59 22:30:00 22:29:50 22:30:00 22:30:01",
        "22:29:59 S1 " + shut + "22:30 (in 1 second).,22:30:00 shutdown");
    row("summer time ends, 03:00 back to 02:00", "02:30:00,03:00:00,,02:10:00,02:20:00 1101L 1@02:30:00 "
        "1@02:59:59 1@02:00:00 1@02:15:00 1@02:30:00 1@02:59:59 1@03:00:00",
        "02:30:00 shutdown,02:15:00 logoff,03:00:00 logoff");
    row("asleep 23 h: no step back", "22:00:00,,,, 1000 1@22:00:05 2@21:59:59 2@22:00:00 3@22:00:00",
        "22:00:00 shutdown,22:00:00 shutdown");
    row("3 h back: held", "08:00:00,,,, 1000 1@08:00:00 1@05:00:00 1@07:59:59 1@08:00:00", "08:00:00 shutdown");
    row("4 h back: as before", "08:00:00,,,, 1000 1@08:00:00 1@08:00:01 1@04:00:01 1@07:59:59 1@08:00:00",
        "08:00:00 shutdown,08:00:00 shutdown");
    row("block bounds strict", ",,,13:00:00,14:00:00 0001S 12:59:59 13:00:00 13:00:01 13:59:59 14:00:00 14:00:01",
        "13:00:01 shutdown,13:59:59 shutdown");
    row("block across midnight", "N ,,,22:00:00,06:00:00 0001S 21:59:00 22:00:00 22:00:01 00:00:00 05:59:59 "
        "06:00:00 12:00:00", "21:59:00 B60 " + block + "22:00 until 06:00 by shutting it down.,"
        "22:00:01 shutdown,00:00:00 shutdown,05:59:59 shutdown");
    row("block notice the day before", "N ,,,00:00:00,06:00:00 0001SL 23:58:59 23:59:00 23:59:01", "23:59:00 B60 "
        + block + "00:00 until 06:00 by shutting it down and logging you off.");
    row("equal bounds", "N ,,,13:00:00,13:00:00 0001S 12:59:00 13:00:00 13:00:01 23:59:59 00:00:00 ?", "tip:");
    row("one empty bound", ",,,,14:00:00 0001S 00:00:00 00:00:01 13:00:00", "");
    row("until with empty fields", ",,,13:00:00,::00 0001S 13:00:00 13:00:01 23:59:59 00:00:00",
        "13:00:01 shutdown,23:59:59 shutdown");
    row("block with neither option", "N ,,,13:00:00,14:00:00 0001 12:59:00 13:30:00 13:30:01 ?", "tip:");
    row("late tick: all due in order, block once", "08:00:00,08:01:00,08:02:00,07:00:00,09:00:00 1111SL "
        "07:59:59 08:02:30", "07:59:59 shutdown,07:59:59 logoff,08:02:30 shutdown,08:02:30 logoff,"
        "08:02:30 program,08:02:30 shutdown,08:02:30 logoff");
    row("inputs read afresh", ",,,13:00:00,14:00:00 0001S 13:10:00 0000S 13:10:01 0001L 13:10:02",
        "13:10:00 shutdown,13:10:02 logoff");
    row("notices 60 s ahead, once each", "N 22:30:00,22:31:00,,22:35:00,23:00:00 1101L 22:28:59 22:29:00 "
        "22:29:01 22:30:00 22:30:01 22:34:00 22:34:01", "22:29:00 S60 " + shut + "22:30 (in 60 seconds).,"
        "22:30:00 shutdown,22:30:00 L60 " + logOff + "22:31 (in 60 seconds).,22:34:00 logoff,22:34:00 B60 "
        + block + "22:35 until 23:00 by logging you off.");
    row("late ticks: notice caught up; none after the fact", "N 22:30:00,22:31:00,,, 1100 22:28:30 22:29:45 "
        "22:29:46 22:31:00", "22:29:45 S15 " + shut + "22:30 (in 15 seconds).,22:31:00 shutdown,22:31:00 logoff");
    row("armed inside the lead", "N ,22:30:00,,, 0000 22:29:00 0100 22:29:59 22:30:00",
        "22:29:59 L1 " + logOff + "22:30 (in 1 second).,22:30:00 logoff");
    row("ticked again: once; new time or day: again", "N 22:30:00,,,, 1000 22:29:30 0000 22:29:31 1000 22:29:32 "
        "22:31:00,,,, 22:29:33 22:30:00 12:00:00 22:30:00", "22:29:30 S30 " + shut + "22:30 (in 30 seconds).,"
        "22:30:00 S60 " + shut + "22:31 (in 60 seconds).,22:30:00 S60 " + shut + "22:31 (in 60 seconds).");
    row("exact-time logoff stays gentle", "G ,22:30:00,,, 0100 22:30:00 22:30:31", "22:30:00 gentle");
    row("block: gentle, forced after 30 s, gentle again", "G ,,,13:00:00,14:00:00 0001L 13:00:01 13:00:25 13:00:15 "
        "13:00:19 13:00:20 13:00:21 0000 13:00:22 0001L 13:00:23", "13:00:01 gentle,13:00:25 gentle,13:00:15 gentle,"
        "13:00:19 gentle,13:00:20 logoff,13:00:21 logoff,13:00:23 gentle");
    row("tip: armed schedules in order", "22:30:00,22:31:00,07:00:00,23:00:00,06:00:00 1111SL ? 2111S ? 0001L ? "
        "1010 ?", "tip:Shutdown at 22:30|Logoff at 22:31|Program at 07:00|Block 23:00–06:00 (shut down, log off),"
        "tip:Logoff at 22:31|Program at 07:00|Block 23:00–06:00 (shut down),tip:Block 23:00–06:00 (log off),"
        "tip:Shutdown at 22:30|Program at 07:00");
}

void TstScheduler::tick()
{
    QFETCH(QString, ticks);
    QFETCH(QString, expected);
    FakeClock clock;
    Recorder rec(clock);
    ArmingInputs in;
    QStringList words = ticks.split(' ');
    const QString seams = words.first().at(0).isLetter() ? words.takeFirst() : QString();
    Scheduler scheduler(clock, rec, [&] { return in; }, seams.contains('N') ? &rec : nullptr,
                        seams.contains('G') ? &rec : nullptr);
    for (const QString &word : words) {
        const QStringList s = word.split(',');
        if (word == "?") {
            rec.records << "tip:" + scheduler.armedSchedules(in).join('|');
        } else if (s.size() == 5) {
            for (int i = 0; i < 3; ++i) {
                if (!s[i].isEmpty())
                    (scheduler.*std::array{&Scheduler::setShutdownTime, &Scheduler::setLogoffTime,
                                           &Scheduler::setProgramTime}[i])(s[i]);
            }
            if (!s[3].isEmpty() || !s[4].isEmpty())
                scheduler.setBlockWindow(s[3], s[4]);
        } else if (word.contains(':')) {
            clock.set(word);
            QVERIFY2(clock.time.isValid(), qPrintable(word));
            scheduler.tick();
        } else {
            in = {word[0].digitValue(), word[1].digitValue(), word[2].digitValue(),
                  word[3].digitValue(), word.contains('S'), word.contains('L'), kProgram};
        }
    }
    QCOMPARE(rec.records.join(','), expected);
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

// Waits (up to a generous limit) for a complete record and takes it, its lines joined by '|';
// empty when none comes.
QString TstScheduler::takeRecord()
{
    QDir dir(path("records"));
    (void)QTest::qWaitFor([&] { return !dir.entryList({"rec.*"}, QDir::Files).isEmpty(); }, 15000);
    const QStringList names = dir.entryList({"rec.*"}, QDir::Files);
    QFile f(dir.filePath(names.value(0))); // exactly one
    if (names.size() != 1 || !f.open(QIODevice::ReadOnly))
        return names.join(' ');
    const QString record = QString::fromLocal8Bit(f.readAll()).trimmed().replace('\n', '|');
    f.remove();
    return record;
}

void TstScheduler::launch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("record"); // "@" stands for the temporary directory; "!" a failure
    QTest::newRow("shutdown") << shutdownCommand() << "@/bin/systemctl|poweroff";
    QTest::newRow("logoff") << logoffCommand() << "@/bin/loginctl|terminate-session|auto";
    QTest::newRow("path with spaces, whole") << "@/my programs/run me" << "@/my programs/run me";
    QTest::newRow("bare name on PATH, arguments")
            << "recorder --at 22:30 \"two words\"" << "@/bin/recorder|--at|22:30|two words";
    QTest::newRow("no shell") << "recorder a;touch @/pwned $(touch @/pwned) `id`"
                              << "@/bin/recorder|a;touch|@/pwned|$(touch|@/pwned)|`id`";
    QTest::newRow("document to xdg-open")
            << "@/my programs/report of 5;6.txt" << "@/bin/xdg-open|@/my programs/report of 5;6.txt";
    QTest::newRow("empty") << "" << "!empty command line";
    QTest::newRow("missing file") << "@/my programs/gone" << "!no such file";
    QTest::newRow("not on PATH") << "horalux-no-such-program -v" << "!horalux-no-such-program: not found on PATH";
    QTest::newRow("bare name not run from the current directory") << "lurker" << "!lurker: not found on PATH";
    QTest::newRow("refused by the system") << "@/my programs/garbage" << "!";
}

// A failure gives exactly one line on standard error, naming the command and the reason, and
// false.
void TstScheduler::launch()
{
    QFETCH(QString, text);
    QFETCH(QString, record);
    text.replace('@', tmp_.path());
    record.replace('@', tmp_.path());
    const bool fails = record.startsWith('!');
    if (fails) {
        const QString reason = record.mid(1).isEmpty() ? ".+" : QRegularExpression::escape(record.mid(1));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^horalux: cannot start \""
                                                              + QRegularExpression::escape(text) + "\": " + reason + "$"));
    }
    QCOMPARE(ProcessLauncher().launch(text), !fails);
    if (!fails)
        QCOMPARE(takeRecord(), record);
    QVERIFY(!QFile::exists(path("pwned")));
}

QTEST_GUILESS_MAIN(TstScheduler)
#include "tst_scheduler.moc"
