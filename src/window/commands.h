// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <initializer_list>
#include <utility>

class Scheduler;
class SettingsStore;
class TickThread;

// A time as the window's hour and minute boxes show it: their texts, empty where nothing is
// chosen.
struct ChosenTime {
    QString hour, minute;

    // Both boxes chosen.
    bool complete() const { return !hour.isEmpty() && !minute.isEmpty(); }
    // The trigger the scheduler compares with the clock: "HH:MM:00".
    QString trigger() const { return hour + QLatin1Char(':') + minute + QStringLiteral(":00"); }
};

// The rules behind the window's buttons, with no widget: what a choice must hold, the time set,
// the keys saved and the message shown afterwards. Each command returns that message (empty:
// nothing to show).
class Commands {
public:
    static const QString kShutdownSet;
    static const QString kLogoffSet;
    static const QString kProgramSet;
    static const QString kBlockQuestion;
    static const QString kBlockSet;
    static const QString kSettingsSaved;
    static const QString kChooseHourAndMinute;
    static const QString kChooseBlockHoursAndMinutes;

    // Asks the user a question; true when the answer is Yes.
    using Ask = std::function<bool(const QString &question)>;

    // The times are set on the scheduler of ticker, under its lock.
    Commands(TickThread &ticker, SettingsStore &settings);

    // The three "Set Hour" buttons: with both boxes chosen, the time is set and its two texts
    // saved; otherwise the user is asked to choose both, and nothing changes.
    QString setShutdown(const ChosenTime &at);
    QString setLogoff(const ChosenTime &at);
    QString setProgram(const ChosenTime &at);
    // The block's "Set Hour". An empty end would block the computer until midnight, so all four
    // boxes must be chosen before anything is asked; answered No, nothing changes.
    QString setBlock(const ChosenTime &from, const ChosenTime &until, const Ask &ask);
    // "Save": the two start-up options, as check values (only 1, checked, saves "1").
    QString save(int everyDay, int startInTray);

private:
    QString setTime(const ChosenTime &at, void (Scheduler::*set)(const QString &),
                    const char *hourKey, const char *minuteKey, const QString &success);
    // Writes the keys together, under one lock: all or none. Why they were not written, or empty.
    QString writeKeys(std::initializer_list<std::pair<const char *, QString>> keys);

    TickThread &ticker_;
    SettingsStore &settings_;
};
