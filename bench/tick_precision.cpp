// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the tick source: the second-aligned precise TickTimer driving the Scheduler, against
// a plain 1000 ms repeating timer that compares clock texts once per shot.
//
// Both run against the real clock with a block window covering the next N seconds (argument,
// default 20) and a launcher that only records when it was called. Prints, for each:
// launches per clock second inside the window (expected exactly 1; missed and doubled seconds,
// and any launch outside), how long after the start of its second each launch came (p50, p99,
// max), and the CPU time per tick.
//
//     tick_precision [seconds]
//
// With "floor", it runs the real window (offscreen) with its tick thread and the real launcher,
// whose one command is the recording stand-in (spawn_floor record) in place of the shutdown, and
// a block window to launch it every second. First the window's thread is frozen for 10 s across
// ten armed seconds: each launch must still come within 10 ms of its second. Then, for N seconds
// (default 120), the window launches in the even seconds and spawn_floor, the plain C floor, in
// the odd ones; both distributions of the delay after the second, and their ratio, are printed.
//
//     tick_precision floor [seconds]

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "scheduler/process_launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 processCpuUs()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (qint64(ru.ru_utime.tv_sec) + ru.ru_stime.tv_sec) * 1000000 + ru.ru_utime.tv_usec
            + ru.ru_stime.tv_usec;
}

class RecordingLauncher final : public Launcher {
public:
    bool launch(const QString &) override
    {
        launchesMs.push_back(QDateTime::currentMSecsSinceEpoch());
        return true;
    }
    std::vector<qint64> launchesMs;
};

struct Result {
    const char *name = "";
    int seconds = 0;    // clock seconds inside the window during the run
    int exact = 0;      // ... with exactly one launch
    int missed = 0;     // ... with none
    int doubled = 0;    // ... with more than one
    int outside = 0;    // launches in seconds outside the window
    double p50 = 0, p99 = 0, maxDelay = 0; // ms after the start of the second
    int ticks = 0;
    std::vector<qint64> tickNs; // CPU inside each tick
    double tickCpuUs = 0;       // ... mean
    double tickCpuP50Us = 0;    // ... median
    double processCpuUs = 0; // all the process's CPU during the run, per tick
};

double percentile(std::vector<qint64> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return double(v[i]);
}

void finishCpu(Result &r)
{
    qint64 total = 0;
    for (qint64 ns : r.tickNs)
        total += ns;
    r.tickCpuUs = double(total) / 1000.0 / std::max(1, r.ticks);
    r.tickCpuP50Us = percentile(r.tickNs, 0.5) / 1000.0;
}

// The window covers the seconds start+1 .. start+n (bounds are strict), in epoch seconds.
void summarise(Result &r, const RecordingLauncher &launcher, qint64 startSecond, int n)
{
    std::map<qint64, int> perSecond;
    std::vector<qint64> delays;
    for (qint64 ms : launcher.launchesMs) {
        ++perSecond[ms / 1000];
        delays.push_back(ms % 1000);
    }
    r.seconds = n;
    for (qint64 s = startSecond + 1; s <= startSecond + n; ++s) {
        const int c = perSecond.count(s) ? perSecond[s] : 0;
        if (c == 0)
            ++r.missed;
        else if (c == 1)
            ++r.exact;
        else
            ++r.doubled;
    }
    for (const auto &[s, c] : perSecond) {
        if (s <= startSecond || s > startSecond + n)
            r.outside += c;
    }
    r.p50 = percentile(delays, 0.50);
    r.p99 = percentile(delays, 0.99);
    r.maxDelay = delays.empty() ? 0 : double(*std::max_element(delays.begin(), delays.end()));
}

QString clockText(qint64 epochSecond)
{
    return QDateTime::fromMSecsSinceEpoch(epochSecond * 1000).time().toString(QStringLiteral("HH:mm:ss"));
}

// Runs the event loop until the window has closed and two more seconds have passed.
void runUntil(qint64 endMs)
{
    QTimer quit;
    quit.setSingleShot(true);
    quit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&quit, &QTimer::timeout, qApp, &QCoreApplication::quit);
    quit.start(int(std::max<qint64>(0, endMs - QDateTime::currentMSecsSinceEpoch())));
    QCoreApplication::exec();
}

Result runAligned(int n)
{
    Result r;
    r.name = "second-aligned precise timer";
    SystemClock clock;
    RecordingLauncher launcher;
    ArmingInputs in;
    in.check4 = 1;
    in.option1 = true;
    Scheduler scheduler(clock, launcher, [&] { return in; });
    const qint64 start = QDateTime::currentMSecsSinceEpoch() / 1000;
    scheduler.setBlockWindow(clockText(start), clockText(start + n + 1));

    TickTimer timer(clock, [&] {
        const qint64 t0 = threadCpuNs();
        scheduler.tick();
        r.tickNs.push_back(threadCpuNs() - t0);
        ++r.ticks;
    });
    const qint64 cpu0 = processCpuUs();
    timer.start();
    runUntil((start + n + 3) * 1000);
    timer.stop();
    r.processCpuUs = double(processCpuUs() - cpu0) / std::max(1, r.ticks);
    finishCpu(r);
    summarise(r, launcher, start, n);
    return r;
}

// The plain way: a repeating 1000 ms timer whose every shot reads the controls and compares
// clock texts, the clock read afresh for each comparison, firing whenever the text lies
// strictly inside the window.
Result runPlain(int n)
{
    Result r;
    r.name = "plain 1000 ms repeating timer";
    RecordingLauncher launcher;
    ArmingInputs in;
    in.check4 = 1;
    in.option1 = true;
    auto inputs = [&] { return in; };
    const QString shutdownTime, logoffTime, programTime; // not set, as in the aligned run
    const qint64 start = QDateTime::currentMSecsSinceEpoch() / 1000;
    const QString from = clockText(start), until = clockText(start + n + 1);
    auto text = [] { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); };

    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 t0 = threadCpuNs();
        if (inputs().check1 == 1 && text() == shutdownTime)
            launcher.launch(QStringLiteral("shutdown"));
        if (inputs().check2 == 1 && text() == logoffTime)
            launcher.launch(QStringLiteral("logoff"));
        if (inputs().check3 == 1 && text() == programTime)
            launcher.launch(inputs().text1);
        if (from < text() && inputs().check4 == 1 && text() < until) {
            if (inputs().option1)
                launcher.launch(QStringLiteral("shutdown"));
            if (inputs().option2)
                launcher.launch(QStringLiteral("logoff"));
        }
        r.tickNs.push_back(threadCpuNs() - t0);
        ++r.ticks;
    });
    const qint64 cpu0 = processCpuUs();
    timer.start();
    runUntil((start + n + 3) * 1000);
    timer.stop();
    r.processCpuUs = double(processCpuUs() - cpu0) / std::max(1, r.ticks);
    finishCpu(r);
    summarise(r, launcher, start, n);
    return r;
}

void print(const Result &r)
{
    std::printf("%s\n", r.name);
    std::printf("  seconds in window      %d: exactly one launch %d, missed %d, doubled %d; "
                "launches outside %d\n",
                r.seconds, r.exact, r.missed, r.doubled, r.outside);
    std::printf("  delay after second     p50 %.0f ms, p99 %.0f ms, max %.0f ms\n", r.p50, r.p99,
                r.maxDelay);
    std::printf("  ticks                  %d\n", r.ticks);
    std::printf("  CPU per tick           in the tick: median %.2f us, mean %.2f us; "
                "whole process %.1f us\n",
                r.tickCpuP50Us, r.tickCpuUs, r.processCpuUs);
}

// The program's launcher with one command: the recording stand-in in place of the shutdown.
// Nothing else is ever started.
class StandInLauncher final : public Launcher {
public:
    explicit StandInLauncher(const QString &recorder) : recorder_(recorder) {}
    bool launch(const QString &line) override
    {
        if (line != shutdownCommand())
            return false;
        const int only = parity.load();
        if (only >= 0 && QDateTime::currentSecsSinceEpoch() % 2 != only)
            return true; // the floor's second
        const bool started = real_.launch(recorder_ + QStringLiteral(" record horalux"));
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        QMutexLocker lock(&mutex_);
        spawnedUs_.push_back(now.tv_nsec / 1000);
        return started;
    }
    void reapEnded() override { real_.reapEnded(); }
    std::atomic<int> parity{-1}; // launch in the seconds of this parity only; -1: in every one
    // When each posix_spawn returned, microseconds after its second; then none.
    std::vector<qint64> takeSpawned()
    {
        QMutexLocker lock(&mutex_);
        return std::exchange(spawnedUs_, {});
    }

private:
    QMutex mutex_;
    std::vector<qint64> spawnedUs_;
    ProcessLauncher real_;
    QString recorder_;
};

// The delays after their second (microseconds) of one label's records, and which seconds had
// how many records.
struct Records {
    std::vector<qint64> delaysUs;
    std::map<qint64, int> perSecond;
};

Records readRecords(const QString &path, const QByteArray &label)
{
    Records r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return r;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 2 || words[0] != label)
            continue;
        const QList<QByteArray> parts = words[1].split('.');
        ++r.perSecond[parts[0].toLongLong()];
        r.delaysUs.push_back(parts.value(1).toLongLong() / 1000);
    }
    return r;
}

// Of the seconds first, first+step, ... up to last: how many had exactly one record, and how
// many records fell elsewhere.
std::pair<int, int> coverage(const Records &r, qint64 first, qint64 last, int step)
{
    int exact = 0;
    int elsewhere = 0;
    for (const auto &[second, count] : r.perSecond) {
        const bool expected = second >= first && second <= last && (second - first) % step == 0;
        exact += expected && count == 1;
        elsewhere += expected ? count - 1 : count;
    }
    return {exact, elsewhere};
}

struct Spread {
    double p50, p90, p99, max;
};

Spread spread(const std::vector<qint64> &us)
{
    return {percentile(us, 0.5) / 1000, percentile(us, 0.9) / 1000, percentile(us, 0.99) / 1000,
            percentile(us, 1.0) / 1000};
}

void printSpread(const char *name, const Spread &s, size_t count)
{
    std::printf("  %-28s p50 %6.2f ms, p90 %6.2f ms, p99 %6.2f ms, max %6.2f ms  (%zu launches)\n",
                name, s.p50, s.p90, s.p99, s.max, count);
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("?");
}

int runFloor(int n)
{
    QTemporaryDir tmp;
    const QString recordPath = tmp.filePath(QStringLiteral("records"));
    qputenv("HORALUX_BENCH_RECORD", QFile::encodeName(recordPath));
    const QString floorProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/spawn_floor");
    SettingsStore settings(tmp.filePath(QStringLiteral("settings")));
    SystemClock clock;
    StandInLauncher launcher(floorProgram);
    MessageBoxDialogs dialogs;
    Form1 form(settings, clock, launcher, dialogs);
    form.Option1->setChecked(true);
    form.Check4->setCheckState(Qt::Checked);
    const auto blockSeconds = [&](qint64 first, qint64 last) {
        form.Timer1->with([&](Scheduler &s) { s.setBlockWindow(clockText(first - 1), clockText(last + 1)); });
    };
    std::printf("load average before: %s\n\n", loadAverage().constData());

    // The window's thread frozen from the middle of second s0 until the middle of s0 + 10.
    const qint64 s0 = QDateTime::currentSecsSinceEpoch() + 2;
    blockSeconds(s0 + 1, s0 + 10);
    QTimer::singleShot(int(s0 * 1000 + 500 - QDateTime::currentMSecsSinceEpoch()), [] { QThread::msleep(10000); });
    runUntil((s0 + 12) * 1000);
    const Records frozen = readRecords(recordPath, "horalux");
    const auto [frozenExact, frozenElsewhere] = coverage(frozen, s0 + 1, s0 + 10, 1);
    const Spread f = spread(frozen.delaysUs);
    std::printf("window's thread frozen for 10 s across 10 armed seconds: %d of them launched once, "
                "%d launches elsewhere\n", frozenExact, frozenElsewhere);
    printSpread("Horalux, frozen window", f, frozen.delaysUs.size());
    printSpread("  ... posix_spawn returned", spread(launcher.takeSpawned()), frozen.delaysUs.size());
    const bool frozenOk = frozenExact == 10 && frozenElsewhere == 0 && f.max < 10;
    std::printf("  every launch within 10 ms of its second: %s\n\n", frozenOk ? "yes" : "NO");

    // Interleaved with the floor.
    QFile::remove(recordPath);
    launcher.takeSpawned();
    launcher.parity = 0;
    const qint64 s1 = QDateTime::currentSecsSinceEpoch() + 2;
    const qint64 last = s1 + n - 1;
    blockSeconds(s1, last);
    const qint64 firstOdd = s1 | 1;
    QProcess floorRun;
    floorRun.start(floorProgram, {QStringLiteral("run"), QString::number(firstOdd),
                                  QString::number((last - firstOdd) / 2 + 1), QStringLiteral("2")});
    runUntil((last + 2) * 1000);
    floorRun.waitForFinished(5000);
    const Records ours = readRecords(recordPath, "horalux");
    const Records floor = readRecords(recordPath, "floor");
    const auto [oursExact, oursElsewhere] = coverage(ours, s1 + (s1 & 1), last, 2);
    const auto [floorExact, floorElsewhere] = coverage(floor, firstOdd, last, 2);
    std::printf("%d s interleaved, Horalux in the even seconds, the floor in the odd ones "
                "(once each: Horalux %d, floor %d; elsewhere: %d, %d)\n",
                n, oursExact, floorExact, oursElsewhere, floorElsewhere);
    const Spread h = spread(ours.delaysUs);
    const Spread b = spread(floor.delaysUs);
    printSpread("Horalux (window + tick thread)", h, ours.delaysUs.size());
    printSpread("  ... posix_spawn returned", spread(launcher.takeSpawned()), ours.delaysUs.size());
    printSpread("floor (C, clock_nanosleep)", b, floor.delaysUs.size());
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("  ratio Horalux / floor: p50 %.2fx, p90 %.2fx, p99 %.2fx, max %.2fx\n",
                ratio(h.p50, b.p50), ratio(h.p90, b.p90), ratio(h.p99, b.p99), ratio(h.max, b.max));
    std::printf("\nload average after: %s\n", loadAverage().constData());
    return frozenOk ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool floorMode = argc > 1 && qstrcmp(argv[1], "floor") == 0;
    if (floorMode && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = floorMode ? std::make_unique<QApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    int n = floorMode ? 120 : 20;
    if (argc > 1 + floorMode) {
        bool ok = false;
        n = QString::fromLocal8Bit(argv[1 + floorMode]).toInt(&ok);
        if (!ok || n < 1 || n > 3600) {
            std::fprintf(stderr, "usage: tick_precision [floor] [seconds 1..3600]\n");
            return 2;
        }
    }
    if (floorMode)
        return runFloor(n);
    std::printf("block window covering %d seconds, run once with each tick source\n\n", n);
    std::fflush(stdout);

    const Result aligned = runAligned(n);
    print(aligned);
    std::fflush(stdout);
    // Start the plain timer at an arbitrary point inside a second, as a program started by
    // hand would.
    QThread::msleep(QRandomGenerator::global()->bounded(1000));
    const Result plain = runPlain(n);
    print(plain);

    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nratio plain / aligned: delay p50 %.1fx, p99 %.1fx; CPU per tick %.2fx in the "
                "tick (median), %.2fx whole process; ticks %.2fx\n",
                ratio(plain.p50, aligned.p50), ratio(plain.p99, aligned.p99),
                ratio(plain.tickCpuP50Us, aligned.tickCpuP50Us),
                ratio(plain.processCpuUs, aligned.processCpuUs),
                ratio(plain.ticks, aligned.ticks));
    return aligned.missed == 0 && aligned.doubled == 0 && aligned.outside == 0 ? 0 : 1;
}
