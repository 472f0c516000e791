#pragma once

#include <QString>

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
class Scheduler {
public:
    using InputSource = std::function<ArmingInputs()>;

    Scheduler(const Clock &clock, Launcher &launcher, InputSource inputs);

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

private:
    const Clock &clock_;
    Launcher &launcher_;
    InputSource inputs_;

    QString ShutdownTime;
    QString LogoffTime;
    QString ProgramTime;
    QString BlockFrom;
    QString BlockUntil;
    // (implementation state for "each clock second at most once" goes here)
};
