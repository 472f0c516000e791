// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/scheduler.h"

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "scheduler/notifier.h"
#include "scheduler/session_logout.h"

#include <QDateTime>
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

// Seconds from one second of the day forward to another, round the clock (0..86399).
int forward(int from, int to)
{
    return ((to - from) % Scheduler::kSecondsPerDay + Scheduler::kSecondsPerDay)
            % Scheduler::kSecondsPerDay;
}

// Whether the trigger second lies in the evaluated range, the `span` seconds ending at `current`
// (inclusive), counted round the clock.
bool inRange(int trigger, int current, int span)
{
    return trigger >= 0 && forward(trigger, current) < span;
}

// "22:30" of a trigger text "22:30:00".
QString hourMinute(const QString &trigger)
{
    return trigger.left(5);
}

QString secondsText(int seconds)
{
    return seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
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

QStringList Scheduler::armedSchedules(const ArmingInputs &in) const
{
    QStringList lines;
    if (in.check1 == 1 && secondOfDay(ShutdownTime) >= 0)
        lines << QStringLiteral("Shutdown at ") + hourMinute(ShutdownTime);
    if (in.check2 == 1 && secondOfDay(LogoffTime) >= 0)
        lines << QStringLiteral("Logoff at ") + hourMinute(LogoffTime);
    if (in.check3 == 1 && secondOfDay(ProgramTime) >= 0)
        lines << QStringLiteral("Program at ") + hourMinute(ProgramTime);
    if (blockArmed(in)) {
        QStringList how;
        if (in.option1)
            how << QStringLiteral("shut down");
        if (in.option2)
            how << QStringLiteral("log off");
        lines << QStringLiteral("Block %1\u2013%2 (%3)")
                         .arg(hourMinute(BlockFrom), hourMinute(BlockUntil), how.join(QStringLiteral(", ")));
    }
    return lines;
}

bool Scheduler::blockArmed(const ArmingInputs &in) const
{
    // Equal bounds never fire.
    const int from = secondOfDay(BlockFrom);
    const int until = secondOfDay(BlockUntil);
    return in.check4 == 1 && (in.option1 || in.option2) && from >= 0 && until >= 0 && from != until;
}

void Scheduler::noticeIfDue(Notice::Kind kind, bool armed, int current, const ArmingInputs &in)
{
    const QString &trigger = kind == Notice::Kind::Shutdown ? ShutdownTime
            : kind == Notice::Kind::Logoff                  ? LogoffTime
                                                            : BlockFrom;
    const int at = secondOfDay(trigger);
    QString &given = noticed_[int(kind)];
    const int left = at < 0 ? -1 : forward(current, at);
    if (left < 1 || left > kNoticeLeadSeconds) {
        given.clear(); // outside the lead: the next occurrence gets its own notice
        return;
    }
    // One notice per trigger, even when its box is unticked and ticked again; a changed time
    // is a new occurrence.
    if (!armed || !notifier_ || given == trigger)
        return;
    given = trigger;

    Notice notice;
    notice.kind = kind;
    notice.secondsLeft = left;
    const QString time = hourMinute(trigger);
    switch (kind) {
    case Notice::Kind::Shutdown:
        notice.summary = QStringLiteral("Shutdown at ") + time;
        notice.body = QStringLiteral("Horalux will shut down this computer at %1 (in %2).")
                              .arg(time, secondsText(left));
        break;
    case Notice::Kind::Logoff:
        notice.summary = QStringLiteral("Logoff at ") + time;
        notice.body = QStringLiteral("Horalux will log you off at %1 (in %2).").arg(time, secondsText(left));
        break;
    case Notice::Kind::Block: {
        QStringList how;
        if (in.option1)
            how << QStringLiteral("shutting it down");
        if (in.option2)
            how << QStringLiteral("logging you off");
        notice.summary = QStringLiteral("Block from ") + time;
        notice.body = QStringLiteral("Horalux will block this computer from %1 until %2 by %3.")
                              .arg(time, hourMinute(BlockUntil), how.join(QStringLiteral(" and ")));
        break;
    }
    }
    notifier_->notify(notice);
}

void Scheduler::logoffInBlock(bool due, int elapsed)
{
    if (!due) {
        gentleFor_ = -1; // left the window: the next stay starts gently again
        return;
    }
    if (gentleFor_ >= 0)
        gentleFor_ += elapsed;
    // Still here so long after asking: the session did not end, so the block is enforced.
    if (gentleFor_ >= kGentleLogoffSeconds) {
        launcher_.launch(logoffCommand());
        return;
    }
    if (gentleFor_ < 0)
        gentleFor_ = 0;
    logOffGently();
}

void Scheduler::logOffGently()
{
    if (logout_)
        logout_->requestLogout();
    else
        launcher_.launch(logoffCommand());
}

bool Scheduler::isSmallStepBack(int from, qint64 fromDay, int to, qint64 toDay)
{
    if (fromDay < 0 || toDay < 0)
        return forward(from, to) >= kSecondsPerDay - kMaxBackStepSeconds;
    const qint64 back = (fromDay - toDay) * kSecondsPerDay + from - to;
    return back > 0 && back <= kMaxBackStepSeconds;
}

void Scheduler::tick()
{
    // The clock once, then the inputs once: every check below sees the same second and the
    // same window state.
    const QDateTime stamp = clock_.nowWithDate();
    const QTime now = stamp.isValid() ? stamp.time() : clock_.now();
    if (!now.isValid())
        return;
    const int current = now.msecsSinceStartOfDay() / 1000;
    const qint64 day = stamp.isValid() ? stamp.date().toJulianDay() : -1;
    if (current == lastSecond_ && day == lastDay_)
        return; // this second has already been evaluated

    // How far the clock moved since the last tick; a small step back counts as a tick's second.
    const int elapsed = lastSecond_ < 0 || isSmallStepBack(lastSecond_, lastDay_, current, day)
            ? 1
            : forward(lastSecond_, current);
    lastSecond_ = current;
    lastDay_ = day;

    // The exact-time schedules: the seconds after the furthest one evaluated, up to this one.
    int span = 1; // first tick, a long jump forward, or a large step back: this second only
    if (exactMark_ >= 0) {
        const int ahead = forward(exactMark_, current);
        if (isSmallStepBack(exactMark_, markDay_, current, day) || (ahead == 0 && day == markDay_))
            span = 0; // quiet until the clock passes the mark again
        else if (ahead > 0 && ahead <= kMaxCatchUpSeconds)
            span = ahead;
    }
    if (span > 0) {
        exactMark_ = current;
        markDay_ = day;
    }

    const ArmingInputs in = inputs_ ? inputs_() : ArmingInputs{};

    if (span > 0) {
        if (in.check1 == 1 && inRange(secondOfDay(ShutdownTime), current, span))
            launcher_.launch(shutdownCommand());
        if (in.check2 == 1 && inRange(secondOfDay(LogoffTime), current, span))
            logOffGently();
        if (in.check3 == 1 && inRange(secondOfDay(ProgramTime), current, span))
            launcher_.launch(in.text1);
        // After the launches, so that nothing due waits on a notice.
        noticeIfDue(Notice::Kind::Shutdown, in.check1 == 1, current, in);
        noticeIfDue(Notice::Kind::Logoff, in.check2 == 1, current, in);
        noticeIfDue(Notice::Kind::Block, blockArmed(in), current, in);
    }

    // The block window is judged at the current second only, so it launches at most once per
    // action per tick however late the tick is.
    const QString clockText = clockTextOf(current);
    const int from = secondOfDay(BlockFrom);
    const int until = secondOfDay(BlockUntil);
    bool inside;
    if (in.check4 != 1 || BlockFrom.isEmpty() || BlockUntil.isEmpty()) {
        inside = false; // not armed, or never set
    } else if (from >= 0 && until >= 0 && from > until) {
        // The window crosses midnight, such as 22:00:00 to 06:00:00.
        inside = current > from || current < until;
    } else {
        // Plain strict comparison of texts by character code; equal bounds never hold.
        inside = BlockFrom < clockText && clockText < BlockUntil;
    }
    if (inside && in.option1)
        launcher_.launch(shutdownCommand());
    logoffInBlock(inside && in.option2, elapsed);
}
