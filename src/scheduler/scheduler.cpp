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

void Scheduler::withdraw(Notice::Kind kind)
{
    QString &given = noticed_[int(kind)];
    if (!given.isEmpty() && notifier_)
        notifier_->withdraw(kind);
    given.clear();
}

void Scheduler::announce(Notice::Kind kind, const QString &time, int left, const ArmingInputs &in)
{
    Notice notice;
    notice.kind = kind;
    notice.secondsLeft = left;
    // The tick comes a little after the start of its second: the action is due that much sooner.
    const QTime now = clock_.now();
    notice.due = QDeadlineTimer(left * 1000 - (now.isValid() ? now.msec() : 0));
    switch (kind) {
    case Notice::Kind::Shutdown:
        notice.summary = QStringLiteral("Shutdown at ") + time;
        notice.body = QStringLiteral("Horalux will shut down this computer at %1 %2.")
                              .arg(time, Notice::inSeconds(left));
        break;
    case Notice::Kind::Logoff:
        notice.summary = QStringLiteral("Logoff at ") + time;
        notice.body = QStringLiteral("Horalux will log you off at %1 %2.").arg(time, Notice::inSeconds(left));
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

void Scheduler::noticeIfDue(Notice::Kind kind, bool armed, int current, bool quiet,
                            const ArmingInputs &in)
{
    QString &given = noticed_[int(kind)];
    if (kind != Notice::Kind::Block && !deferred_[int(kind)].trigger.isEmpty()) {
        // An action a jump skipped: its notice tells when it comes now.
        Deferred &deferred = deferred_[int(kind)];
        if (deferred.told)
            return;
        deferred.told = true;
        withdraw(kind);
        if (!notifier_)
            return;
        given = deferred.trigger;
        const int at = (current + int(deferred.left)) % kSecondsPerDay;
        announce(kind, at % 60 ? clockTextOf(at) : hourMinute(clockTextOf(at)), int(deferred.left), in);
        return;
    }
    const QString &trigger = kind == Notice::Kind::Shutdown ? ShutdownTime
            : kind == Notice::Kind::Logoff                  ? LogoffTime
                                                            : BlockFrom;
    const int at = secondOfDay(trigger);
    const int left = at < 0 ? -1 : forward(current, at);
    const bool inLead = left >= 1 && left <= kNoticeLeadSeconds;
    // No longer true: unticked, its time changed, or its second reached, or a jump skipped it
    // (outside the lead, the next occurrence gets its own notice). Also the notice of an action
    // that waited for its notice after a jump, once carried out or cancelled.
    if (!armed || given != trigger || !inLead)
        withdraw(kind);
    if (quiet || !inLead || !armed || !notifier_ || given == trigger)
        return;
    given = trigger;
    announce(kind, hourMinute(trigger), left, in);
}

void Scheduler::exactAction(Notice::Kind kind, bool armed, int current, int span, bool jumped,
                            qint64 step)
{
    const QString &trigger = kind == Notice::Kind::Shutdown ? ShutdownTime : LogoffTime;
    Deferred &deferred = deferred_[int(kind)];
    if (!deferred.trigger.isEmpty()) {
        if (!armed || deferred.trigger != trigger || step > kMaxForwardJumpSeconds) {
            deferred.trigger.clear(); // cancelled, or lost in a large jump
        } else if (step > kMaxLateTickSeconds && step >= deferred.left) {
            deferred.left = kNoticeLeadSeconds; // its second skipped again: a new full notice
            deferred.told = false;
        } else if ((deferred.left -= step) <= 0) {
            deferred.trigger.clear();
            carryOut(kind, current);
        }
    } else if (span > 0 && armed && inRange(secondOfDay(trigger), current, span)) {
        if (jumped) {
            deferred = {trigger, kNoticeLeadSeconds, false}; // announced with the notices
        } else {
            carryOut(kind, current);
        }
    }
}

void Scheduler::carryOut(Notice::Kind kind, int current)
{
    if (kind == Notice::Kind::Shutdown) {
        launcher_.launch(shutdownCommand());
        return;
    }
    logOffGently(current, lastDay_, [this, trigger = LogoffTime] {
        int second;
        qint64 day;
        return readInputs().check2 == 1 && LogoffTime == trigger && readClock(second, day)
                && claimLogoffSecond(second, day);
    });
}

bool Scheduler::insideBlock(const ArmingInputs &in, int current) const
{
    const QString clockText = clockTextOf(current);
    const int from = secondOfDay(BlockFrom);
    const int until = secondOfDay(BlockUntil);
    if (in.check4 != 1 || BlockFrom.isEmpty() || BlockUntil.isEmpty())
        return false; // not armed, or never set
    if (from >= 0 && until >= 0 && from > until)
        return current > from || current < until; // the window crosses midnight, such as 22:00:00 to 06:00:00
    // Plain strict comparison of texts by character code; equal bounds never hold.
    return BlockFrom < clockText && clockText < BlockUntil;
}

void Scheduler::logoffInBlock(bool due, int elapsed, int current, qint64 day)
{
    if (!due) {
        gentleFor_ = -1; // left the window: the next stay starts gently again
        return;
    }
    if (gentleFor_ >= 0)
        gentleFor_ += elapsed;
    // Still here so long after asking: the session did not end, so the block is enforced.
    if (gentleFor_ >= kGentleLogoffSeconds) {
        launchLogoff(current, day);
        return;
    }
    if (gentleFor_ < 0)
        gentleFor_ = 0;
    logOffGently(current, day, [this] {
        int second;
        qint64 today;
        if (!readClock(second, today))
            return false;
        const ArmingInputs in = readInputs();
        return in.option2 && insideBlock(in, second) && claimLogoffSecond(second, today);
    });
}

void Scheduler::logOffGently(int current, qint64 day, const SessionLogout::StillWanted &stillWanted)
{
    if (logout_)
        logout_->requestLogout(stillWanted);
    else
        launchLogoff(current, day);
}

void Scheduler::launchLogoff(int current, qint64 day)
{
    if (claimLogoffSecond(current, day))
        launcher_.launch(logoffCommand());
}

bool Scheduler::claimLogoffSecond(int current, qint64 day)
{
    if (current == logoffSecond_ && day == logoffDay_)
        return false;
    logoffSecond_ = current;
    logoffDay_ = day;
    return true;
}

bool Scheduler::isSmallStepBack(int from, qint64 fromDay, int to, qint64 toDay)
{
    if (fromDay < 0 || toDay < 0)
        return forward(from, to) >= kSecondsPerDay - kMaxBackStepSeconds;
    const qint64 back = (fromDay - toDay) * kSecondsPerDay + from - to;
    return back > 0 && back <= kMaxBackStepSeconds;
}

qint64 Scheduler::secondsBetween(int from, qint64 fromDay, int to, qint64 toDay)
{
    if (fromDay < 0 || toDay < 0)
        return forward(from, to);
    return (toDay - fromDay) * kSecondsPerDay + to - from;
}

bool Scheduler::readClock(int &second, qint64 &day) const
{
    const QDateTime stamp = clock_.nowWithDate();
    const QTime now = stamp.isValid() ? stamp.time() : clock_.now();
    if (!now.isValid())
        return false;
    second = now.msecsSinceStartOfDay() / 1000;
    day = stamp.isValid() ? stamp.date().toJulianDay() : -1;
    return true;
}

void Scheduler::tick()
{
    // The clock once, then the inputs once: every check below sees the same second and the
    // same window state.
    int current;
    qint64 day;
    if (!readClock(current, day))
        return;
    if (current == lastSecond_ && day == lastDay_)
        return; // this second has already been evaluated

    // How far the clock moved since the last tick; a step back counts as a tick's second.
    const bool back = lastSecond_ >= 0 && isSmallStepBack(lastSecond_, lastDay_, current, day);
    const qint64 moved = lastSecond_ < 0 ? 1 : secondsBetween(lastSecond_, lastDay_, current, day);
    const int elapsed = lastSecond_ < 0 || back ? 1 : forward(lastSecond_, current);
    const qint64 step = back || moved < 1 ? 1 : moved;
    lastSecond_ = current;
    lastDay_ = day;

    // The exact-time schedules: the seconds after the furthest one evaluated, up to this one.
    int span = 1; // first tick, a large jump forward, or a large step back: this second only
    bool jumped = false;
    if (exactMark_ >= 0) {
        const qint64 ahead = secondsBetween(exactMark_, markDay_, current, day);
        if (isSmallStepBack(exactMark_, markDay_, current, day) || ahead == 0) {
            span = 0; // quiet until the clock passes the mark again
        } else if (ahead > 0 && ahead <= kMaxForwardJumpSeconds) {
            span = int(ahead);
            jumped = ahead > kMaxLateTickSeconds;
        }
    }
    if (span > 0) {
        exactMark_ = current;
        markDay_ = day;
    }

    const ArmingInputs in = readInputs();

    exactAction(Notice::Kind::Shutdown, in.check1 == 1, current, span, jumped, step);
    exactAction(Notice::Kind::Logoff, in.check2 == 1, current, span, jumped, step);
    if (span > 0 && in.check3 == 1 && inRange(secondOfDay(ProgramTime), current, span))
        launcher_.launch(in.text1);
    // After the launches, so that nothing due waits on a notice.
    noticeIfDue(Notice::Kind::Shutdown, in.check1 == 1, current, span == 0, in);
    noticeIfDue(Notice::Kind::Logoff, in.check2 == 1, current, span == 0, in);
    noticeIfDue(Notice::Kind::Block, blockArmed(in), current, span == 0, in);

    // The block window is judged at the current second only, so it launches at most once per
    // action per tick however late the tick is.
    const bool inside = insideBlock(in, current);
    if (inside && in.option1)
        launcher_.launch(shutdownCommand());
    logoffInBlock(inside && in.option2, elapsed, current, day);
}
