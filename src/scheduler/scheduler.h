// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class Clock;
class Launcher;
class Notifier;
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
// kMaxCatchUpSeconds, or a clock that went backwards, evaluates only the current second.
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

    static constexpr int kSecondsPerDay = 24 * 60 * 60;
    static constexpr int kMaxCatchUpSeconds = 5 * 60;

private:
    // Seconds of the day (0..86399) of a clock text "HH:MM:SS"; -1 when the text is not one.
    static int secondOfDay(const QString &clockText);

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
    // The last clock second evaluated, -1 before the first tick.
    int lastSecond_ = -1;
};
