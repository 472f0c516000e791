// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QTime>

// The source of the local time of day. The tick reads it once per tick; tests replace it.
class Clock {
public:
    virtual ~Clock() = default;
    // Local time of day, with milliseconds.
    virtual QTime now() const = 0;
    // The local date and time of day, read at one instant; invalid from a clock that knows only
    // the time of day. The date tells a clock set back from a machine that slept most of a day.
    virtual QDateTime nowWithDate() const { return {}; }
};

class SystemClock final : public Clock {
public:
    QTime now() const override { return QTime::currentTime(); }
    QDateTime nowWithDate() const override { return QDateTime::currentDateTime(); }
};
