// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"

#include <QString>
#include <QStringList>

#include <functional>

class Clock;
class Launcher;
class SessionLogout;

// What the tick reads from the window, afresh at every tick. Check values: 0 unchecked,
// 1 checked, 2 grey; only 1 arms a schedule.
struct ArmingInputs {
    int check1 = 0;       // shutdown at ShutdownTime
    int check2 = 0;       // logoff at LogoffTime
    int check3 = 0;       // run text1 at ProgramTime
    int check4 = 0;       // block between BlockFrom and BlockUntil
    bool option1 = false; // block by shutting down
    bool option2 = false; // block by logging off
    QString text1;        // the user's program
};

// The schedule state and the once-a-second evaluation. All trigger texts are HH:MM:00 (or
// empty, never set); they are compared with the clock's HH:MM:SS.
//
// Each clock second is evaluated at most once. A tick evaluates every second after the last
// evaluated one up to and including the current one, so an exact-time schedule fires once even
// when a tick comes late or two ticks fall into the same second. A gap of more than
// kMaxCatchUpSeconds evaluates only the current second.
//
// The clock going back, as cron takes it: after a step back of up to kMaxBackStepSeconds the
// exact-time schedules (and their notices) stay quiet until the clock has passed the furthest
// second already evaluated, so nothing fires twice; after a larger step only the current second
// is evaluated. The block window always follows the current second.
//
// Notices: an armed shutdown or logoff is announced kNoticeLeadSeconds before its second, an
// armed block window as long before its start. Each occurrence is announced once: a late tick
// or arming inside the lead announces it at once with the true time left; a tick that already
// reaches the action's own second announces nothing.
//
// With a gentle logoff, the exact-time logoff asks the session to log out. Inside the block
// window every tick still asks, but from kGentleLogoffSeconds after the first request of that
// stay in the window (the session did not end) the logoff command itself is launched.
class Scheduler {
public:
    using InputSource = std::function<ArmingInputs()>;

    // notifier: where notices go (none: no notices). logout: the gentle logoff (none: the logoff
    // command is launched directly).
    Scheduler(const Clock &clock, Launcher &launcher, InputSource inputs,
              Notifier *notifier = nullptr, SessionLogout *logout = nullptr);

    void setShutdownTime(const QString &trigger);
    void setLogoffTime(const QString &trigger);
    void setProgramTime(const QString &trigger);
    void setBlockWindow(const QString &from, const QString &until);

    QString shutdownTime() const { return ShutdownTime; }
    QString logoffTime() const { return LogoffTime; }
    QString programTime() const { return ProgramTime; }
    QString blockFrom() const { return BlockFrom; }
    QString blockUntil() const { return BlockUntil; }

    // One tick: read the clock once and the inputs once, launch what is due.
    void tick();

    // One line per armed schedule, in the tick's order, such as "Shutdown at 22:30" or
    // "Block 23:00–06:00 (log off)"; empty when nothing is armed.
    QStringList armedSchedules(const ArmingInputs &in) const;

    static constexpr int kSecondsPerDay = 24 * 60 * 60;
    static constexpr int kMaxCatchUpSeconds = 5 * 60;
    static constexpr int kMaxBackStepSeconds = 3 * 60 * 60;
    static constexpr int kNoticeLeadSeconds = 60;
    static constexpr int kGentleLogoffSeconds = 30;

private:
    // Seconds of the day (0..86399) of a clock text "HH:MM:SS"; -1 when the text is not one.
    static int secondOfDay(const QString &clockText);
    // Whether the clock, now at second `to` of day `toDay`, stands at most kMaxBackStepSeconds
    // behind second `from` of day `fromDay`. Days are -1 where unknown: then the time of day
    // alone decides.
    static bool isSmallStepBack(int from, qint64 fromDay, int to, qint64 toDay);
    // Whether the block window is armed and has a second at which it can fire.
    bool blockArmed(const ArmingInputs &in) const;
    // Gives the notice of one schedule when its lead has come and this occurrence has had none.
    void noticeIfDue(Notice::Kind kind, bool armed, int current, const ArmingInputs &in);
    void logoffInBlock(bool due, int elapsed);
    // The session's own logout where one is given, else the logoff command.
    void logOffGently();

    const Clock &clock_;
    Launcher &launcher_;
    InputSource inputs_;
    Notifier *notifier_;
    SessionLogout *logout_;

    QString ShutdownTime;
    QString LogoffTime;
    QString ProgramTime;
    QString BlockFrom;
    QString BlockUntil;
    // The last clock second evaluated, -1 before the first tick, and its day (-1: unknown).
    int lastSecond_ = -1;
    qint64 lastDay_ = -1;
    // The furthest second evaluated for the exact-time schedules and the notices, and its day.
    int exactMark_ = -1;
    qint64 markDay_ = -1;
    // Per notice kind, the trigger already announced while its lead lasts.
    QString noticed_[3];
    // Seconds since the first gentle logoff of this stay in the block window; -1: none yet.
    int gentleFor_ = -1;
};
