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

#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "scheduler/scheduler.h"
#include "scheduler/tick_timer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int n = 20;
    if (argc > 1) {
        bool ok = false;
        n = QString::fromLocal8Bit(argv[1]).toInt(&ok);
        if (!ok || n < 1 || n > 3600) {
            std::fprintf(stderr, "usage: tick_precision [seconds 1..3600]\n");
            return 2;
        }
    }
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
