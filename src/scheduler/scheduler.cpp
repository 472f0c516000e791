// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/scheduler.h"

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"

#include <QTime>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int twoDigits(const QString &text, int at)
{
    return (text.at(at).unicode() - '0') * 10 + (text.at(at + 1).unicode() - '0');
}

// "HH:MM:SS" of a second of the day.
QString clockTextOf(int second)
{
    const int fields[3] = {second / 3600, second / 60 % 60, second % 60};
    QString text(8, QLatin1Char(':'));
    for (int i = 0; i < 3; ++i) {
        text[i * 3] = QLatin1Char(char('0' + fields[i] / 10));
        text[i * 3 + 1] = QLatin1Char(char('0' + fields[i] % 10));
    }
    return text;
}

// Whether the trigger second lies in the evaluated range, the `span` seconds ending at `current`
// (inclusive), counted round the clock.
bool inRange(int trigger, int current, int span)
{
    if (trigger < 0)
        return false;
    const int behind = ((current - trigger) % Scheduler::kSecondsPerDay + Scheduler::kSecondsPerDay)
            % Scheduler::kSecondsPerDay;
    return behind < span;
}

} // namespace

Scheduler::Scheduler(const Clock &clock, Launcher &launcher, InputSource inputs,
                     Notifier *notifier, SessionLogout *logout)
    : clock_(clock), launcher_(launcher), inputs_(std::move(inputs)), notifier_(notifier),
      logout_(logout)
{
}

void Scheduler::setShutdownTime(const QString &trigger)
{
    ShutdownTime = trigger;
}

void Scheduler::setLogoffTime(const QString &trigger)
{
    LogoffTime = trigger;
}

void Scheduler::setProgramTime(const QString &trigger)
{
    ProgramTime = trigger;
}

void Scheduler::setBlockWindow(const QString &from, const QString &until)
{
    BlockFrom = from;
    BlockUntil = until;
}

int Scheduler::secondOfDay(const QString &clockText)
{
    if (clockText.size() != 8 || clockText.at(2) != QLatin1Char(':')
        || clockText.at(5) != QLatin1Char(':'))
        return -1;
    for (int i : {0, 1, 3, 4, 6, 7}) {
        if (!isDigit(clockText.at(i)))
            return -1;
    }
    const int h = twoDigits(clockText, 0);
    const int m = twoDigits(clockText, 3);
    const int s = twoDigits(clockText, 6);
    if (h > 23 || m > 59 || s > 59)
        return -1;
    return (h * 60 + m) * 60 + s;
}

void Scheduler::tick()
{
    // The clock once, then the inputs once: every check below sees the same second and the
    // same window state.
    const QTime now = clock_.now();
    if (!now.isValid())
        return;
    const int current = now.msecsSinceStartOfDay() / 1000;

    int span = 1; // first tick, a long jump forward, or any jump back: this second only
    if (lastSecond_ >= 0) {
        const int gap = ((current - lastSecond_) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
        if (gap == 0)
            return; // this second has already been evaluated
        if (gap <= kMaxCatchUpSeconds)
            span = gap;
    }
    lastSecond_ = current;

    const ArmingInputs in = inputs_ ? inputs_() : ArmingInputs{};

    if (in.check1 == 1 && inRange(secondOfDay(ShutdownTime), current, span))
        launcher_.launch(shutdownCommand());
    if (in.check2 == 1 && inRange(secondOfDay(LogoffTime), current, span))
        launcher_.launch(logoffCommand());
    if (in.check3 == 1 && inRange(secondOfDay(ProgramTime), current, span))
        launcher_.launch(in.text1);

    if (in.check4 != 1)
        return;
    // The block window is judged at the current second only, so it launches at most once per
    // action per tick however late the tick is.
    const QString clockText = clockTextOf(current);
    const int from = secondOfDay(BlockFrom);
    const int until = secondOfDay(BlockUntil);
    bool inside;
    if (BlockFrom.isEmpty() || BlockUntil.isEmpty()) {
        inside = false; // never set
    } else if (from >= 0 && until >= 0 && from > until) {
        // The window crosses midnight, such as 22:00:00 to 06:00:00.
        inside = current > from || current < until;
    } else {
        // Plain strict comparison of texts by character code; equal bounds never hold.
        inside = BlockFrom < clockText && clockText < BlockUntil;
    }
    if (!inside)
        return;
    if (in.option1)
        launcher_.launch(shutdownCommand());
    if (in.option2)
        launcher_.launch(logoffCommand());
}
