// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/notifier.h"

QString Notice::inSeconds(int seconds)
{
    if (seconds <= 0)
        return QStringLiteral("(now)");
    return seconds == 1 ? QStringLiteral("(in 1 second)") : QStringLiteral("(in %1 seconds)").arg(seconds);
}

Notice Notice::current() const
{
    if (due.isForever())
        return *this;
    Notice now = *this;
    // Rounded up: a notice 59.2 s before its second still says 60.
    now.secondsLeft = int((due.remainingTime() + 999) / 1000);
    now.body.replace(inSeconds(secondsLeft), inSeconds(now.secondsLeft));
    return now;
}
