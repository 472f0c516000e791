// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTime>

// The source of the local time of day. The tick reads it once per tick; tests replace it.
class Clock {
public:
    virtual ~Clock() = default;
    // Local time of day, with milliseconds.
    virtual QTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QTime now() const override { return QTime::currentTime(); }
};
