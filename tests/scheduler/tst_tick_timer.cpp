// The tick source: aimed just after the start of each clock second, re-armed after every tick.

#include "fakes.h"
#include "scheduler/tick_timer.h"

#include <QtTest>

class TstTickTimer : public QObject {
    Q_OBJECT
private slots:
    void delay_data();
    void delay();
    void ticksRepeatedlyWithTheRealClock();
    void earlyShotIsAimedAgainAtTheNextSecond();
    void stopFromInsideTheTick();
};

void TstTickTimer::delay_data()
{
    QTest::addColumn<int>("msec");
    QTest::addColumn<int>("delay");
    QTest::newRow("start of a second") << 0 << 1000 + TickTimer::kMarginMs;
    QTest::newRow("middle") << 500 << 500 + TickTimer::kMarginMs;
    QTest::newRow("shot just before the second") << 999 << 1 + TickTimer::kMarginMs;
    QTest::newRow("invalid clock") << -1 << 1000;
}

void TstTickTimer::delay()
{
    QFETCH(int, msec);
    QFETCH(int, delay);
    QCOMPARE(TickTimer::delayToNextSecond(msec), delay);
}

void TstTickTimer::ticksRepeatedlyWithTheRealClock()
{
    SystemClock clock;
    int ticks = 0;
    TickTimer timer(clock, [&] { ++ticks; });
    QVERIFY(!timer.isActive());
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 3500);
    timer.stop();
    QVERIFY(!timer.isActive());
    const int atStop = ticks;
    QTest::qWait(1100);
    QCOMPARE(ticks, atStop);
}

// A clock that always reads the last millisecond of a second: a shot that came early. The
// timer must aim again at the coming second (a few milliseconds away), not a whole second on.
void TstTickTimer::earlyShotIsAimedAgainAtTheNextSecond()
{
    FakeClock clock;
    clock.set(QStringLiteral("10:00:00.999"));
    int ticks = 0;
    TickTimer timer(clock, [&] { ++ticks; });
    timer.start();
    // Ten aimed shots 3 ms apart; a timer that waited a whole second each time would need ten
    // seconds.
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, 5000);
    timer.stop();
}

void TstTickTimer::stopFromInsideTheTick()
{
    FakeClock clock;
    clock.set(QStringLiteral("10:00:00.999"));
    int ticks = 0;
    TickTimer *self = nullptr;
    TickTimer timer(clock, [&] {
        ++ticks;
        self->stop();
    });
    self = &timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 3000);
    QVERIFY(!timer.isActive());
    QTest::qWait(100);
    QCOMPARE(ticks, 1);

    timer.start(); // and it can be started again
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 2, 3000);
}

QTEST_GUILESS_MAIN(TstTickTimer)
#include "tst_tick_timer.moc"
