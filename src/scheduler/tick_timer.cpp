// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/tick_timer.h"

#include "scheduler/clock.h"

#include <QTime>

TickTimer::TickTimer(const Clock &clock, std::function<void()> onTick, QObject *parent)
    : QObject(parent), clock_(clock), onTick_(std::move(onTick))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TickTimer::fire);
}

int TickTimer::delayToNextSecond(int msecInSecond)
{
    if (msecInSecond < 0 || msecInSecond > 999)
        return 1000;
    return 1000 - msecInSecond + kMarginMs;
}

void TickTimer::start()
{
    active_ = true;
    arm();
}

void TickTimer::stop()
{
    active_ = false;
    timer_.stop();
}

void TickTimer::arm()
{
    const QTime now = clock_.now();
    timer_.start(delayToNextSecond(now.isValid() ? now.msec() : -1));
}

void TickTimer::fire()
{
    if (!active_)
        return;
    if (onTick_)
        onTick_();
    // The tick may have stopped us.
    if (active_)
        arm();
}
