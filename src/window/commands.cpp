// SPDX-License-Identifier: GPL-3.0-or-later
// The commands behind the window's buttons and the program check box.

#include "settings/settings_store.h"
#include "window/check_value.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString trigger(const QComboBox *hour, const QComboBox *minute)
{
    return hour->currentText() + QLatin1Char(':') + minute->currentText() + QStringLiteral(":00");
}

bool bothChosen(const QComboBox *hour, const QComboBox *minute)
{
    return hour->currentIndex() >= 0 && minute->currentIndex() >= 0;
}

QString notSaved(const QString &error)
{
    return QStringLiteral("The time is set for as long as Horalux runs, but it could not be "
                          "saved:\n%1").arg(error);
}

} // namespace

QString Form1::writeKeys(std::initializer_list<std::pair<const char *, QString>> keys)
{
    QList<std::pair<QString, QString>> pairs;
    for (const auto &[key, value] : keys)
        pairs.append({QLatin1String(key), value});
    const WriteResult result = settings_.writeKeys(pairs);
    if (result.ok)
        return {};
    return result.error.isEmpty() ? QStringLiteral("unknown error") : result.error;
}

void Form1::confirm(const QString &success, const QString &failure, const QString &error)
{
    CommonDialog1.information(this, error.isEmpty() ? success : failure);
}

void Form1::setHour(QComboBox *hour, QComboBox *minute, void (Scheduler::*setTime)(const QString &),
                    const char *hourKey, const char *minuteKey, const QString &success)
{
    if (!bothChosen(hour, minute)) {
        CommonDialog1.information(this, kChooseHourAndMinute);
        return;
    }
    Timer1->with([&](Scheduler &s) { (s.*setTime)(trigger(hour, minute)); });
    refreshTip();
    const QString error =
        writeKeys({{hourKey, hour->currentText()}, {minuteKey, minute->currentText()}});
    confirm(success, notSaved(error), error);
}

void Form1::Command2_Click()
{
    setHour(Combo1, Combo2, &Scheduler::setShutdownTime, "s1", "s2", kShutdownSet);
}

void Form1::Command3_Click()
{
    setHour(Combo3, Combo4, &Scheduler::setLogoffTime, "l1", "l2", kLogoffSet);
}

void Form1::Command4_Click()
{
    // Combo6 is the hour, Combo5 the minute.
    setHour(Combo6, Combo5, &Scheduler::setProgramTime, "e1", "e2", kProgramSet);
}

void Form1::Command5_Click()
{
    // The start is Combo7:Combo8, the end Combo10:Combo9. An empty end would block the
    // computer until midnight, so all four must be chosen before anything is asked.
    if (!bothChosen(Combo7, Combo8) || !bothChosen(Combo10, Combo9)) {
        CommonDialog1.information(this, kChooseBlockHoursAndMinutes);
        return;
    }
    if (!CommonDialog1.question(this, kBlockQuestion))
        return;
    Timer1->with([&](Scheduler &s) { s.setBlockWindow(trigger(Combo7, Combo8), trigger(Combo10, Combo9)); });
    refreshTip();
    const QString error = writeKeys({{"i1", Combo7->currentText()},
                                     {"i2", Combo8->currentText()},
                                     {"f1", Combo10->currentText()},
                                     {"f2", Combo9->currentText()}});
    confirm(kBlockSet, notSaved(error), error);
}

void Form1::Command6_Click()
{
    const QString error = writeKeys({
        {"days", checkValue(Check5) == 1 ? QStringLiteral("1") : QStringLiteral("0")},
        {"systray", checkValue(Check6) == 1 ? QStringLiteral("1") : QStringLiteral("0")},
    });
    confirm(kSettingsSaved, QStringLiteral("Your settings could not be saved:\n%1").arg(error),
            error);
}

void Form1::Command1_Click()
{
    // On cancel the command line stays as it was.
    if (const std::optional<QString> chosen = CommonDialog1.openProgram(this))
        Text1->setText(*chosen);
}

void Form1::Check3_Click()
{
    const bool on = checkValue(Check3) == 1;
    Text1->setEnabled(on);
    Command1->setEnabled(on);
}
