// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler: the tick rules in one table (launches, notices, the gentle logoff, the clock
// going back, the tray tip's lines), the tick timer, and the real launcher against recording
// stand-ins placed first on PATH. The real systemctl and loginctl are never reached: the launch
// test starts nothing unless PATH finds the stand-ins.

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/process_launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/session_logout.h"
#include "scheduler/tick_thread.h"
#include "scheduler/tick_timer.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The clock (it knows the date only when the tick gave one) and every seam of the scheduler.
// Records, as "HH:mm:ss what": each launch ("shutdown", "logoff", or the text itself), each
// gentle logoff ("gentle"), each notice (its kind's initial and the seconds left, then its text)
// and each withdrawal ("-" and the kind's initial). The launch of "program" fails, as a missing
// file would: later launches must still go out. The gentle logoffs' fallbacks wait until run.
struct Fake : Clock, Launcher, Notifier, SessionLogout {
    QTime now() const override { return time; }
    QDateTime nowWithDate() const override { return date.isValid() ? QDateTime(date, time) : QDateTime(); }
    bool launch(const QString &line) override
    {
        const QHash<QString, QString> names{{shutdownCommand(), "shutdown"}, {logoffCommand(), "logoff"}};
        record(names.value(line, line));
        return line != "program";
    }
    void requestLogout(StillWanted stillWanted) override
    {
        record("gentle");
        fallbacks << stillWanted;
    }
    void notify(const Notice &notice) override
    {
        const Notice n = notice.current(); // as the fallback would show it
        record("SLB"[int(n.kind)] + QString::number(n.secondsLeft) + ' ' + n.body);
    }
    void withdraw(Notice::Kind kind) override { record(QStringLiteral("-") + "SLB"[int(kind)]); }
    void record(const QString &what) { records << time.toString("HH:mm:ss ") + what; }
    QTime time;
    QDate date;
    QStringList records;
    QList<StillWanted> fallbacks;
};

// Writes its path and each argument, one a line, to "rec" in the current folder, renamed into
// place whole: a reader never sees half a record. Adds "attached" unless its standard input is
// /dev/null and it leads a session of its own.
const char kStandIn[] = "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" >part\n"
                        "[ \"$(readlink /proc/$$/fd/0)$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f4)\" = /dev/null$$ ]"
                        " || echo attached >>part\nmv part rec\n";

} // namespace

class TstScheduler : public QObject {
    Q_OBJECT
private slots:
    void tick_data();
    void tick();
    void timerAimsAtEachSecondAndStops();
    void launch();
};

// Each row is a run of words. The first may name the seams given: N a notifier, G a gentle
// logoff (without G the logoff command is launched). A word with commas sets the schedule:
// ShutdownTime,LogoffTime,ProgramTime,BlockFrom,BlockUntil. A clock time ("HH:mm:ss[.zzz]",
// with "D@" before it for the day D after a fixed date) is ticked. "?" records the tray tip's
// lines. "F": no session manager took the gentle logoffs so far, their fallbacks come now. Any other word sets the inputs: Check1..Check4, then S for Option1 and L for Option2;
// the program is "program".
void TstScheduler::tick_data()
{
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *tag, const char *t, const char *e) { QTest::newRow(tag) << t << e; };
    // Only the value 1 arms a schedule: grey (2) launches, announces and shows nothing.
    row("grey", "N 22:30:00,22:30:00,22:30:00,22:00:00,23:00:00 2222SL 21:59:00 22:29:00 22:30:00 ?", "tip:");
    // Times never set, malformed, or a block with one bound: nothing.
    row("unset", "N ,05::00,::00,,14:00:00 1111SL 04:59:00 05:00:00 ?", "tip:");
    // The first tick evaluates its own second only; a tick 5 s late catches up at once, also
    // across midnight.
    row("late tick", "00:00:00,,,, 1000 23:59:57 00:00:02", "00:00:02 shutdown");
    // A jump of 6 minutes (a suspend): the skipped shutdown is announced at once and carried out
    // 60 s later, the program started at once; 6 s is a jump too.
    row("6-minute jump", "N 10:03:00,10:09:00,10:05:00,, 1110 10:01:00 10:07:00 10:07:59 10:08:00 10:08:59 "
        "10:09:05 10:10:04 10:10:05", "10:07:00 program,10:07:00 S60 Horalux will shut down this computer at 10:08 (in 60 "
        "seconds).,10:08:00 shutdown,10:08:00 -S,10:08:00 L60 Horalux will log you off at 10:09 (in 60 seconds).,"
        "10:09:05 -L,10:09:05 L60 Horalux will log you off at 10:10:05 (in 60 seconds).,10:10:05 logoff,10:10:05 -L");
    // Summer time starts, 02:00 becomes 03:00: the 02:30 shutdown comes after its notice.
    row("summer time starts", "N 02:30:00,,,, 1000 5@01:59:59 5@03:00:00 5@03:00:59 5@03:01:00",
        "03:00:00 S60 Horalux will shut down this computer at 03:01 (in 60 seconds).,03:01:00 shutdown,03:01:00 -S");
    // A waiting shutdown skipped by a further jump is announced anew; a jump of 4 h drops it, and
    // skips what lies inside it.
    row("4-hour jump", "N 02:30:00,,,, 1000 02:00:00 02:40:00 02:50:00 06:51:00 01:00:00 05:00:00 05:01:00",
        "02:40:00 S60 Horalux will shut down this computer at 02:41 (in 60 seconds).,02:50:00 -S,02:50:00 S60 "
        "Horalux will shut down this computer at 02:51 (in 60 seconds).,06:51:00 -S");
    // Unticked, or its time changed, a waiting action is withdrawn and never carried out.
    row("jump cancelled", "N 10:03:00,10:03:00,,, 1100 10:01:00 10:07:00 0100 10:07:30 "
        "10:03:00,10:04:00,,, 10:07:40 1100 10:08:00", "10:07:00 S60 Horalux will shut down this computer at 10:08 "
        "(in 60 seconds).,10:07:00 L60 Horalux will log you off at 10:08 (in 60 seconds).,10:07:30 -S,10:07:40 -L");
    // After a step back of 3 h what was evaluated stays quiet until the clock passes the mark,
    // while the block still follows the clock; after 4 h back all goes as before. A machine
    // asleep for 23 h has not stepped back.
    row("clock back", "08:00:00,08:01:00,,07:00:00,07:30:00 1101L 1@08:00:00 1@05:00:00 1@07:15:00 1@08:00:00 "
        "1@08:00:56 1@08:01:00 1@04:01:00 1@08:00:00 1@08:00:05 2@07:59:59 2@08:00:00 3@08:00:00", "08:00:00 shutdown,"
        "07:15:00 logoff,08:01:00 logoff,08:00:00 shutdown,08:00:00 shutdown,08:00:00 shutdown");
    // A 10 s step back of the time service: the shutdown does not come twice (nor when summer
    // time ends, a step back of an hour, as in "clock back").
    row("10 s back", "12:00:05,,,, 1000 12:00:00 12:00:04 12:00:08 12:00:10 12:00:00 12:00:05 12:00:11",
        "12:00:08 shutdown");
    // A block across midnight, its bounds strict; a notice 60 s ahead the day before, withdrawn
    // when a jump of more than 3 h skips its second.
    row("midnight", "N ,00:00:00,,22:00:00,06:00:00 0101S 22:00:00 22:00:01 23:59:00 05:59:59 "
        "06:00:00", "22:00:01 shutdown,23:59:00 L60 Horalux will log you off at 00:00 (in 60 seconds).,"
        "23:59:00 shutdown,05:59:59 -L,05:59:59 shutdown");
    // A block with equal bounds, or with neither action chosen, is not armed: no notice, no line.
    row("block unarmed", "N ,,,13:00:00,13:00:00 0001S 12:59:00 13:00:01 ? "
        ",,,13:00:00,14:00:00 0001 12:59:00 13:30:00 ?", "tip:,tip:");
    // A late tick launches all that fell due, in order, then the block once (its logoff not in
    // the second of another); a second tick in the same second does nothing. The program's failure
    // stops nothing. The tray tip's lines follow the same order.
    row("late tick, tip", "08:00:00,08:00:01,08:00:02,07:00:00,09:00:00 1111SL 07:59:59 08:00:03 08:00:03.999 ?",
        "07:59:59 shutdown,07:59:59 logoff,08:00:03 shutdown,08:00:03 logoff,08:00:03 program,08:00:03 shutdown,"
        "tip:Shutdown at 08:00|Logoff at 08:00|Program at 08:00|Block 07:00–09:00 (shut down, log off)");
    // Notices: 60 s ahead; caught up, or at once when armed inside the lead, with the time left;
    // withdrawn when unticked (announced again when armed again) and once their second comes;
    // again the next day; none once the action's second is reached; the block's names its bounds
    // and actions.
    row("notices", "N 22:30:00,,,22:35:00,23:00:00 0001SL 22:29:30 1001SL 22:29:45 0001SL 22:29:46 1001SL 22:29:47 "
        "22:29:59 22:30:00 22:34:00 22:35:00 12:00:00 22:29:59", "22:29:45 S15 Horalux will shut down this computer at "
        "22:30 (in 15 seconds).,22:29:46 -S,22:29:47 S13 Horalux will shut down this computer at 22:30 (in 13 seconds).,"
        "22:30:00 shutdown,22:30:00 -S,22:34:00 B60 Horalux will block this computer from 22:35 until 23:00 by shutting "
        "it down and logging you off.,22:35:00 -B,22:29:59 S1 Horalux will shut down this computer at 22:30 (in 1 second).");
    // The exact-time logoff asks the session. In the block (its bounds strict) each tick asks,
    // until 30 s of the clock (a step back counts as one) have passed since the first request of
    // this stay: then the logoff command.
    row("gentle logoff", "G ,13:00:00,,13:00:00,14:00:00 0101L 13:00:00 13:00:01 13:00:25 "
        "13:00:15 13:00:20 0000 13:00:22 0001L 13:00:23 13:59:59 14:00:00", "13:00:00 gentle,13:00:01 gentle,"
        "13:00:25 gentle,13:00:15 gentle,13:00:20 logoff,13:00:23 gentle,13:59:59 logoff");
    // A session manager that never answers: each fallback, however late, launches the logoff
    // command only while it is still wanted, and never in a second that already had one.
    row("stuck session manager", "G ,13:00:00,,13:00:00,14:00:00 0101L 13:00:00 13:00:01 F 13:00:02 F 13:00:30 "
        "13:00:31 F 0000 13:00:32 0101L 13:00:33 0100 F ,13:00:36,,, 13:00:36 0000 F", "13:00:00 gentle,"
        "13:00:01 gentle,13:00:01 logoff,13:00:02 gentle,13:00:02 logoff,13:00:30 gentle,13:00:31 logoff,"
        "13:00:33 gentle,13:00:36 gentle");
}

void TstScheduler::tick()
{
    QFETCH(QString, ticks);
    QFETCH(QString, expected);
    Fake fake;
    ArmingInputs in;
    Scheduler scheduler(fake, fake, [&] { return in; }, ticks.startsWith("N ") ? &fake : nullptr,
                        ticks.startsWith("G ") ? &fake : nullptr);
    for (const QString &word : ticks.split(' ')) {
        if (word == "?") {
            fake.records << "tip:" + scheduler.armedSchedules(in).join('|');
        } else if (word == "F") {
            for (const auto &stillWanted : std::exchange(fake.fallbacks, {}))
                stillWanted() && fake.launch(logoffCommand());
        } else if (word.count(',') == 4) {
            scheduler.setShutdownTime(word.section(',', 0, 0));
            scheduler.setLogoffTime(word.section(',', 1, 1));
            scheduler.setProgramTime(word.section(',', 2, 2));
            scheduler.setBlockWindow(word.section(',', 3, 3), word.section(',', 4, 4));
        } else if (word.contains(':')) {
            fake.date = word.contains('@') ? QDate(2026, 1, 5 + word.section('@', 0, 0).toInt()) : QDate();
            fake.time = QTime::fromString(word.section('@', -1), Qt::ISODateWithMs);
            scheduler.tick();
        } else if (word.size() > 1) { // not the seams
            const auto check = [&](int i) { return word[i].digitValue(); };
            in = {check(0), check(1), check(2), check(3), word.contains('S'), word.contains('L'), "program"};
        }
    }
    QCOMPARE(fake.records.join(','), expected);
}

// A clock stuck on the last millisecond of a second, as after a shot that came early: each
// shot must be aimed a few milliseconds on, not a whole second (ten would then take ten
// seconds). Stopped from inside the tick, it stays stopped.
void TstScheduler::timerAimsAtEachSecondAndStops()
{
    Fake clock;
    clock.time = QTime(10, 0, 0, 999);
    int ticks = 0;
    TickTimer timer(clock, [&] { if (++ticks == 10) timer.stop(); });
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 10, 5000);
    QTest::qWait(50);
    QCOMPARE(ticks, 10);
    QVERIFY(!timer.isActive());
}

#ifdef Q_OS_WIN
// The recording stand-in (built beside this test) as shutdown.exe, logoff.exe and a program with
// spaces in its path, in the current folder, which Windows searches before its own folders. Each
// launch must run the stand-in once with the command line as given: no cmd.exe (which would
// split "a&b"), no quotes added or taken away. A launch that cannot start says why, and fails.
void TstScheduler::launch()
{
    QTemporaryDir tmp;
    const QString t = QDir::toNativeSeparators(tmp.path());
    QVERIFY(tmp.isValid() && QDir::setCurrent(t));
    for (const QString name : {"shutdown.exe", "logoff.exe", "run me.exe"})
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/stand_in.exe", t + '\\' + name));
    QFile record(t + "\\calls.log"); // one line a run: the time, a tab, the command line
    const auto runs = [&] {
        QStringList lines;
        const QString all = QString::fromUtf8(record.open(QIODevice::ReadOnly) ? record.readAll() : "");
        for (const QString &line : all.split('\n', Qt::SkipEmptyParts))
            lines << line.section('\t', 1).trimmed();
        record.close();
        return lines.join('|');
    };
    for (const QString &text : {shutdownCommand(), logoffCommand(), '"' + t + "\\run me.exe\" a&b \"two words\""}) {
        QVERIFY(ProcessLauncher().launch(text));
        QTRY_COMPARE_WITH_TIMEOUT(runs(), text, 15000);
        QTRY_VERIFY(record.remove() || !record.exists()); // the stand-in may still hold it a moment
    }
    QCOMPARE(shutdownCommand(), "shutdown -s -t 5 -f");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^horalux: cannot start \"no-such-program -v\": .+"));
    QVERIFY(!ProcessLauncher().launch("no-such-program -v"));
    QVERIFY(QDir::setCurrent(QDir::tempPath())); // the folder in use could not be removed
}
#else
// Stand-ins in a folder first on PATH, with a program and a document with spaces and ';' in
// their names, and a recorder in the current folder below it too. Each launch must start the
// stand-in whose record comes (its path, then each argument, joined by '|'; "@" stands for the
// folder): never through a shell, a document through xdg-open, a bare name from PATH and never
// from the current folder; detached from our standard input and session. A launch that cannot
// start (not found, or its interpreter missing) says why in one line, and fails. The tick
// collects every process that has ended: none is left a zombie.
void TstScheduler::launch()
{
    QTemporaryDir tmp;
    const QString t = tmp.path();
    QVERIFY(tmp.isValid() && QDir(t).mkpath("here") && QDir::setCurrent(t + "/here"));
    for (const QString name : {"systemctl", "loginctl", "xdg-open", "recorder", "here/recorder", "run me",
                               "a;b c.txt", "bad"}) {
        QFile f(t + '/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(name == "bad" ? "#!/no/such/shell\n" : kStandIn) > 0);
        QVERIFY(name.endsWith(".txt") || f.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    int pipeEnds[2];
    QVERIFY(pipe(pipeEnds) == 0 && dup2(pipeEnds[0], STDIN_FILENO) == STDIN_FILENO); // not /dev/null
    Fake clock;
    ProcessLauncher launcher;
    TickThread ticker(clock, launcher, nullptr, nullptr, nullptr);
    qputenv("PATH", (t + ':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    for (const QString name : {"systemctl", "loginctl", "xdg-open"}) // the guard
        QCOMPARE(QStandardPaths::findExecutable(name), t + '/' + name);
    QFile record(t + "/here/rec");
    // Each pair: the line launched, then the record it must leave.
    for (auto [text, expected] : QList<std::pair<QString, QString>>{
        {shutdownCommand(), "@/systemctl|poweroff"}, {logoffCommand(), "@/loginctl|terminate-session|auto"},
        {"@/run me", "@/run me"}, {"recorder", "@/recorder"}, {"@/a;b c.txt", "@/xdg-open|@/a;b c.txt"},
        {"recorder a;touch @/pwned $(id) \"two words\"", "@/recorder|a;touch|@/pwned|$(id)|two words"}}) {
        QVERIFY(launcher.launch(text.replace('@', t)));
        QTRY_VERIFY_WITH_TIMEOUT(record.exists(), 15000);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(QString(record.readAll()).trimmed().replace('\n', '|'), expected.replace('@', t));
        QVERIFY(record.remove());
    }
    QTest::ignoreMessage(QtWarningMsg,
                         "horalux: cannot start \"no-such-program -v\": no-such-program: not found on PATH");
    QVERIFY(!launcher.launch("no-such-program -v"));
    QTest::ignoreMessage(QtWarningMsg, qPrintable("horalux: cannot start \"" + t
                         + "/bad\": bad: its interpreter was not found (No such file or directory)"));
    QVERIFY(!launcher.launch(t + "/bad"));
    const auto zombie = [] {
        siginfo_t ended{};
        return waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0;
    };
    QTRY_VERIFY((ticker.tick(), !zombie()));
}
#endif

QTEST_GUILESS_MAIN(TstScheduler)
#include "tst_scheduler.moc"
