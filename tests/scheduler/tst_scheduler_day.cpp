// A whole simulated day: a fake clock advanced by jittered steps (mostly a second, sometimes
// late by several seconds, sometimes twice in one second, sometimes skipping a second) and
// the scheduler ticked after each step.

#include "fakes.h"
#include "scheduler/scheduler.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;

int secondsOf(const QString &text)
{
    const QTime t = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    return t.msecsSinceStartOfDay() / 1000;
}

} // namespace

class TstSchedulerDay : public QObject {
    Q_OBJECT
private slots:
    void day_data();
    void day();
};

void TstSchedulerDay::day_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("until");

    QTest::newRow("window across midnight, seed 1") << 1u << "06:00:00" << "22:00:00" << "06:00:00";
    QTest::newRow("window across midnight, seed 2") << 2u << "12:00:00" << "23:30:00" << "00:30:00";
    QTest::newRow("afternoon window, seed 3") << 3u << "06:00:00" << "13:00:00" << "14:00:00";
    QTest::newRow("window from midnight, first tick at midnight") << 4u << "00:00:00" << "00:00:00" << "14:00:00";
}

void TstSchedulerDay::day()
{
    QFETCH(quint32, seed);
    QFETCH(QString, start);
    QFETCH(QString, from);
    QFETCH(QString, until);

    // Exact-time triggers spread over the day, one of them at midnight.
    const QString shutdownAt = QStringLiteral("00:00:00");
    const QString logoffAt = QStringLiteral("13:30:00");
    const QString programAt = QStringLiteral("21:59:00");

    FakeClock clock;
    RecordingLauncher launcher(clock);
    ArmingInputs in;
    in.check1 = in.check2 = in.check3 = in.check4 = 1;
    in.option1 = in.option2 = true;
    in.text1 = QStringLiteral("/usr/local/bin/nightly");
    Scheduler scheduler(clock, launcher, [&] { return in; });
    scheduler.setShutdownTime(shutdownAt);
    scheduler.setLogoffTime(logoffAt);
    scheduler.setProgramTime(programAt);
    scheduler.setBlockWindow(from, until);

    // Drive the day, remembering for each tick its time on a running (not wrapping) scale and
    // what it launched.
    QRandomGenerator rng(seed);
    const qint64 startMs = qint64(secondsOf(start)) * 1000 + 3;
    std::vector<qint64> tickMs;
    std::vector<QStringList> launched;
    int doubled = 0, late = 0, skipped = 0;
    // Just short of 24 hours, so no trigger second comes round twice.
    for (qint64 t = startMs; t < startMs + kDayMs - 1000;) {
        clock.time = QTime::fromMSecsSinceStartOfDay(int(t % kDayMs));
        const qsizetype before = launcher.launches.size();
        scheduler.tick();
        tickMs.push_back(t);
        launched.push_back(launcher.launches.mid(before));

        const int r = rng.bounded(100);
        if (r < 3) {
            t += rng.bounded(1, 400); // a second tick soon after, often in the same second
            ++doubled;
        } else if (r < 6) {
            t += rng.bounded(1500, 8000); // late by up to several seconds
            ++late;
        } else if (r < 9) {
            t += 2000 + rng.bounded(-15, 15); // one second without a tick
            ++skipped;
        } else {
            t += 1000 + rng.bounded(-15, 30);
        }
    }
    QVERIFY(doubled > 1000 && late > 1000 && skipped > 1000);

    // What each tick must have launched: an exact-time schedule on the first tick at or after
    // its second (exactly once over the day), then the block's two commands on each tick that
    // is the first in its second when that second lies strictly inside the window.
    const int fromS = secondsOf(from);
    const int untilS = secondsOf(until);
    auto insideWindow = [&](int s) {
        return fromS > untilS ? (s > fromS || s < untilS) : (s > fromS && s < untilS);
    };
    auto firstTickAtOrAfter = [&](const QString &trigger) {
        qint64 due = qint64(secondsOf(trigger)) * 1000;
        while (due < startMs - startMs % 1000) // the first tick evaluates only its own second
            due += kDayMs;
        for (size_t i = 0; i < tickMs.size(); ++i) {
            if (tickMs[i] >= due)
                return i;
        }
        return tickMs.size();
    };
    const size_t shutdownTick = firstTickAtOrAfter(shutdownAt);
    const size_t logoffTick = firstTickAtOrAfter(logoffAt);
    const size_t programTick = firstTickAtOrAfter(programAt);
    QVERIFY(shutdownTick < tickMs.size() && logoffTick < tickMs.size()
            && programTick < tickMs.size());

    int blockSeconds = 0;
    for (size_t i = 0; i < tickMs.size(); ++i) {
        const QString at = QTime::fromMSecsSinceStartOfDay(int(tickMs[i] % kDayMs))
                                   .toString(QStringLiteral("HH:mm:ss "));
        QStringList expected;
        if (i == shutdownTick)
            expected << at + "shutdown";
        if (i == logoffTick)
            expected << at + "logoff";
        if (i == programTick)
            expected << at + "run:/usr/local/bin/nightly";
        const bool newSecond = i == 0 || tickMs[i] / 1000 != tickMs[i - 1] / 1000;
        if (newSecond && insideWindow(int(tickMs[i] / 1000 % 86400))) {
            expected << at + "shutdown" << at + "logoff";
            ++blockSeconds;
        }
        if (launched[i] != expected) {
            QFAIL(qPrintable(QStringLiteral("tick %1 at %2: launched [%3], expected [%4]")
                                     .arg(i)
                                     .arg(at, launched[i].join(", "), expected.join(", "))));
        }
    }
    QVERIFY(blockSeconds > 1000); // the window was really exercised
}

QTEST_GUILESS_MAIN(TstSchedulerDay)
#include "tst_scheduler_day.moc"
