// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/commands.h"

#include "scheduler/tick_thread.h"
#include "settings/settings_store.h"

namespace {

QString notSaved(const QString &error)
{
    return QStringLiteral("The time is set for as long as Horalux runs, but it could not be "
                          "saved:\n%1").arg(error);
}

// The success text, or why nothing was saved.
QString outcome(const QString &success, const QString &failure, const QString &error)
{
    return error.isEmpty() ? success : failure;
}

} // namespace

const QString Commands::kShutdownSet = QStringLiteral("Shutdown Time Set up!");
const QString Commands::kLogoffSet = QStringLiteral("Login Time Set up!");
const QString Commands::kProgramSet = QStringLiteral("execute program Time Set up!");
const QString Commands::kBlockQuestion = QStringLiteral(
    "This option, when activated will block the access of the PC during the time you have "
    "specified!\nDo you really want to set the time of it?");
const QString Commands::kBlockSet = QStringLiteral("Block Access to PC Time Set up!");
const QString Commands::kSettingsSaved = QStringLiteral("Your settings has been saved!");
const QString Commands::kChooseHourAndMinute =
    QStringLiteral("Please choose both the hour and the minute first.");
const QString Commands::kChooseBlockHoursAndMinutes = QStringLiteral(
    "Please choose both the hour and the minute of the start and of the end first.");

Commands::Commands(TickThread &ticker, SettingsStore &settings)
    : ticker_(ticker), settings_(settings)
{
}

QString Commands::writeKeys(std::initializer_list<std::pair<const char *, QString>> keys)
{
    QList<std::pair<QString, QString>> pairs;
    for (const auto &[key, value] : keys)
        pairs.append({QLatin1String(key), value});
    const WriteResult result = settings_.writeKeys(pairs);
    if (result.ok)
        return {};
    return result.error.isEmpty() ? QStringLiteral("unknown error") : result.error;
}

QString Commands::setTime(const ChosenTime &at, void (Scheduler::*set)(const QString &),
                          const char *hourKey, const char *minuteKey, const QString &success)
{
    if (!at.complete())
        return kChooseHourAndMinute;
    ticker_.with([&](Scheduler &s) { (s.*set)(at.trigger()); });
    const QString error = writeKeys({{hourKey, at.hour}, {minuteKey, at.minute}});
    return outcome(success, notSaved(error), error);
}

QString Commands::setShutdown(const ChosenTime &at)
{
    return setTime(at, &Scheduler::setShutdownTime, "s1", "s2", kShutdownSet);
}

QString Commands::setLogoff(const ChosenTime &at)
{
    return setTime(at, &Scheduler::setLogoffTime, "l1", "l2", kLogoffSet);
}

QString Commands::setProgram(const ChosenTime &at)
{
    return setTime(at, &Scheduler::setProgramTime, "e1", "e2", kProgramSet);
}

QString Commands::setBlock(const ChosenTime &from, const ChosenTime &until, const Ask &ask)
{
    if (!from.complete() || !until.complete())
        return kChooseBlockHoursAndMinutes;
    if (!ask(kBlockQuestion))
        return {};
    ticker_.with([&](Scheduler &s) { s.setBlockWindow(from.trigger(), until.trigger()); });
    const QString error = writeKeys(
        {{"i1", from.hour}, {"i2", from.minute}, {"f1", until.hour}, {"f2", until.minute}});
    return outcome(kBlockSet, notSaved(error), error);
}

QString Commands::save(int everyDay, int startInTray)
{
    const QString error = writeKeys({
        {"days", everyDay == 1 ? QStringLiteral("1") : QStringLiteral("0")},
        {"systray", startInTray == 1 ? QStringLiteral("1") : QStringLiteral("0")},
    });
    return outcome(kSettingsSaved, QStringLiteral("Your settings could not be saved:\n%1").arg(error),
                   error);
}
