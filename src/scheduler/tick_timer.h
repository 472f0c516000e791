// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Clock;

// Calls onTick just after the start of every clock second. A precise single-shot timer is
// re-armed after each tick for the next second as the clock reads it, so the ticks follow the
// clock's seconds instead of drifting through them. A shot that comes a little early does no
// harm: the scheduler evaluates each second at most once, and the next shot is aimed again.
class TickTimer : public QObject {
    Q_OBJECT
public:
    TickTimer(const Clock &clock, std::function<void()> onTick, QObject *parent = nullptr);

    // How long after the start of a second the tick is aimed. None is needed: a precise timer
    // never fires before its time, and the clock's milliseconds are cut, not rounded, so the
    // shot lands at or just after the second; one that the clock, slewed meanwhile, still
    // shows in the old second only costs a re-aimed shot about a millisecond later.
    static constexpr int kMarginMs = 0;

    // Milliseconds from a time of day to kMarginMs after the start of its next second.
    static int delayToNextSecond(int msecInSecond);

    void start();
    void stop();
    bool isActive() const { return active_; }

private:
    void fire();
    void arm();

    const Clock &clock_;
    std::function<void()> onTick_;
    QTimer timer_;
    bool active_ = false;
};
