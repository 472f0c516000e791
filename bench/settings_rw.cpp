// SPDX-License-Identifier: GPL-3.0-or-later
// Time of one read and of one write of a key on a typical settings file (the twelve keys).
// Prints the median, the fastest and the slowest of many runs, in microseconds.
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double median;
    double fastest;
    double slowest;
};

Figures measure(int runs, const std::function<void(int)> &once)
{
    std::vector<double> times;
    times.reserve(size_t(runs));
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        once(i);
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

void print(const char *what, int runs, const Figures &f)
{
    std::printf("%-34s %6d runs  median %9.1f us  fastest %9.1f us  slowest %9.1f us\n", what, runs,
                f.median, f.fastest, f.slowest);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    SettingsStore store(dir.path());
    const char *keys[] = {"s1", "s2", "l1", "l2", "e1", "e2", "i1", "i2", "f1", "f2", "days", "systray"};
    const char *values[] = {"22", "30", "23", "00", "08", "15", "01", "00", "06", "30", "1", "0"};
    for (int i = 0; i < 12; ++i) {
        if (!store.writeKey(keys[i], values[i])) {
            std::fprintf(stderr, "cannot set up the file in %s\n", qPrintable(dir.path()));
            return 1;
        }
    }
    std::printf("settings file %s, 12 keys\n", qPrintable(store.filePath()));

    QString sink;
    print("read key (f2, the 10th)", 20000, measure(20000, [&](int) { sink = store.readKey("f2"); }));
    print("read missing key", 20000, measure(20000, [&](int) { sink = store.readKey("zz"); }));
    bool ok = true;
    print("write key (s2, new value each time)", 1000, measure(1000, [&](int i) {
              ok = store.writeKey("s2", i % 2 ? "30" : "45").ok && ok;
          }));
    print("write key (same value)", 1000, measure(1000, [&](int) {
              ok = store.writeKey("days", "1").ok && ok;
          }));
    if (!ok || sink != QLatin1String("<no value>")) {
        std::fprintf(stderr, "a write failed or a read went wrong\n");
        return 1;
    }
    return 0;
}
