// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/screen_reader.h"

#include "window/form1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void nameForScreenReaders(Form1 &w)
{
    const struct {
        QWidget *control;
        const char *name, *description;
    } spoken[] = {
        {w.Check1, "Shutdown activated", "Shut the computer down at the set time"},
        {w.Combo1, "Shutdown hour", "The hour of the shutdown time"},
        {w.Combo2, "Shutdown minute", "The minute of the shutdown time"},
        {w.Command2, "Set the shutdown time", "Sets and saves the chosen shutdown hour and minute"},
        {w.Check2, "Logoff activated", "Log off at the set time"},
        {w.Combo3, "Logoff hour", "The hour of the logoff time"},
        {w.Combo4, "Logoff minute", "The minute of the logoff time"},
        {w.Command3, "Set the logoff time", "Sets and saves the chosen logoff hour and minute"},
        {w.Check3, "Program activated", "Start the chosen program at the set time"},
        {w.Text1, "Program to start", "The command line of the program started at the set time"},
        {w.Combo6, "Program hour", "The hour at which the program starts"},
        {w.Combo5, "Program minute", "The minute at which the program starts"},
        {w.Command4, "Set the program time", "Sets and saves the chosen program hour and minute"},
        {w.Combo7, "Block start hour", "The hour at which the block begins"},
        {w.Combo8, "Block start minute", "The minute at which the block begins"},
        {w.Combo10, "Block end hour", "The hour at which the block ends"},
        {w.Combo9, "Block end minute", "The minute at which the block ends"},
        {w.Check4, "Block activated", "Keep the computer unusable between the block's start and end"},
        {w.Option1, "Block by shutting down", "During the block, shut the computer down"},
        {w.Option2, "Block by logging off", "During the block, log off"},
        {w.Command5, "Set the block time", "Sets and saves the chosen block start and end"},
        {w.Command1, "Browse", "Choose the program to start"},
        {w.Check6, "Start on system Tray", "Start hidden in the notification area"},
        {w.Check5, "Set this settings for every day of the week", "Restore the chosen times at start"},
        {w.Command6, "Save", "Saves the two start-up options"},
    };
    for (const auto &s : spoken) {
        s.control->setAccessibleName(QLatin1String(s.name));
        s.control->setAccessibleDescription(QLatin1String(s.description));
    }

}
