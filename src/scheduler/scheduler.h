// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"
#include "scheduler/session_logout.h"

#include <QString>
#include <QStringList>

#include <functional>

class Clock;
class Launcher;

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
// when a tick comes late or two ticks fall into the same second.
//
// Late ticks and jumps forward. A tick at most kMaxLateTickSeconds after the last evaluated
// second is only late (a busy machine): what fell due in between is carried out at once. A
// larger move forward, up to kMaxForwardJumpSeconds, is a jump (a suspend, the start of summer
// time, the clock set forward): a shutdown or logoff whose second lay inside it, the landing
// second included, is not lost but announced at once and carried out when its full
// kNoticeLeadSeconds of notice have run, unless its box is unticked or its time changed first;
// the program is started at once, as cron does. After a larger jump only the current second is
// evaluated: what lay inside stays skipped.
//
// The clock going back, as cron takes it: after a step back of up to kMaxBackStepSeconds the
// exact-time schedules (and their notices) stay quiet until the clock has passed the furthest
// second already evaluated, so nothing fires twice; after a larger step only the current second
// is evaluated. The block window always follows the current second.
//
// Notices: an armed shutdown or logoff is announced kNoticeLeadSeconds before its second, an
// armed block window as long before its start. Each occurrence is announced once while armed: a
// late tick or arming inside the lead announces it at once with the true time left; a tick that
// already reaches the action's own second announces nothing. A notice is withdrawn when what it
// announced will not happen then (its box unticked, its time changed) or has happened (its
// second reached); armed again inside the lead, it is announced again.
//
// With a gentle logoff, the exact-time logoff asks the session to log out. Inside the block
// window every tick still asks, from its first second on, but from kGentleLogoffSeconds after the
// first request of that stay in the window (the session did not end) the logoff command itself is
// launched. Where no session manager takes a request, its fallback, however late, launches the
// logoff command only if the logoff is still wanted at that moment. The logoff command is
// launched at most once per clock second, whatever asks for it.
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
    static constexpr int kMaxLateTickSeconds = 5;
    static constexpr int kMaxForwardJumpSeconds = 3 * 60 * 60;
    static constexpr int kMaxBackStepSeconds = 3 * 60 * 60;
    static constexpr int kNoticeLeadSeconds = 60;
    static constexpr int kGentleLogoffSeconds = 30;

private:
    // Seconds of the day (0..86399) of a clock text "HH:MM:SS"; -1 when the text is not one.
    static int secondOfDay(const QString &clockText);
    // Seconds the clock moved forward from one reading to another: exact where both days are
    // known (negative when it went back), else round the clock (0..86399).
    static qint64 secondsBetween(int from, qint64 fromDay, int to, qint64 toDay);
    // The clock's second of the day and its day (-1: unknown); false when the clock gives none.
    bool readClock(int &second, qint64 &day) const;
    ArmingInputs readInputs() const { return inputs_ ? inputs_() : ArmingInputs{}; }
    // Whether the clock, now at second `to` of day `toDay`, stands at most kMaxBackStepSeconds
    // behind second `from` of day `fromDay`. Days are -1 where unknown: then the time of day
    // alone decides.
    static bool isSmallStepBack(int from, qint64 fromDay, int to, qint64 toDay);
    // Whether the block window is armed and has a second at which it can fire.
    bool blockArmed(const ArmingInputs &in) const;
    // Whether the block's condition holds at this second (its action options aside).
    bool insideBlock(const ArmingInputs &in, int current) const;
    // The exact-time shutdown or logoff: at its second, or, where a jump skipped that second,
    // once the notice given then has run. step: seconds since the last tick (a step back: 1).
    // Its notice is withdrawn by noticeIfDue(), after the launches.
    void exactAction(Notice::Kind kind, bool armed, int current, int span, bool jumped, qint64 step);
    // Launches the shutdown, or logs off (the fallback wanted while the box and time hold).
    void carryOut(Notice::Kind kind, int current);
    // Gives the notice of one schedule when its lead has come and this occurrence has had none;
    // withdraws one no longer true.
    void noticeIfDue(Notice::Kind kind, bool armed, int current, bool quiet, const ArmingInputs &in);
    void announce(Notice::Kind kind, const QString &time, int left, const ArmingInputs &in);
    void withdraw(Notice::Kind kind);
    void logoffInBlock(bool due, int elapsed, int current, qint64 day);
    // The session's own logout where one is given, else the logoff command. stillWanted: asked
    // again when a fallback comes late.
    void logOffGently(int current, qint64 day, const SessionLogout::StillWanted &stillWanted);
    // Launches the logoff command unless one was launched in this second already.
    void launchLogoff(int current, qint64 day);
    // Counts a logoff command launched at this second; false when one already was.
    bool claimLogoffSecond(int current, qint64 day);

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
    // Per notice kind, the trigger whose notice is on screen while its lead lasts.
    QString noticed_[3];
    // Per exact-time action (shutdown, logoff), one whose second a jump skipped: its trigger
    // (empty: none), the seconds left until it is carried out, and whether that was announced.
    struct Deferred {
        QString trigger;
        qint64 left = 0;
        bool told = false;
    };
    Deferred deferred_[2];
    // The second and day at which the logoff command was last launched.
    int logoffSecond_ = -1;
    qint64 logoffDay_ = -1;
    // Seconds since the first gentle logoff of this stay in the block window; -1: none yet.
    int gentleFor_ = -1;
};
