// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/tick_thread.h"
#include "window/commands.h"

#include <QMainWindow>
#include <QString>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

class Clock;
class Dialogs;
class Launcher;
class Notifier;
class SessionLogout;
class SettingsStore;
class SysTray;

// The program's one window: four framed schedules, the start-up options, the menus, the thread
// whose timer drives the scheduler and the notification-area icon. Controls are public members
// named as their objectName, so the start-up and the tests reach them by name. The buttons' rules
// live in Commands; the window reads its controls for them and shows what they answer.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    static const QString kExitQuestion;

    Form1(SettingsStore &settings, const Clock &clock, Launcher &launcher, Dialogs &dialogs,
          Notifier *notifier = nullptr, SessionLogout *logout = nullptr,
          QWidget *parent = nullptr);
    ~Form1() override;

    // The load handler: reads the saved choices, restores the combo boxes when they were
    // saved for every day, and puts the window in the tray when that was saved.
    void startUp();

    // What the controls arm, as handed to the tick whenever one of them changes.
    ArmingInputs armingInputs() const;

    // Controls, by name.
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    QComboBox *Combo1, *Combo2, *Combo3, *Combo4, *Combo5, *Combo6, *Combo7, *Combo8, *Combo9,
        *Combo10;
    QCheckBox *Check1, *Check2, *Check3, *Check4, *Check5, *Check6;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6;
    QRadioButton *Option1, *Option2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
        *Label10, *Label11, *Label12, *Label13, *Label14 = nullptr;
    QLineEdit *Text1, *txtf2;
    TickThread *Timer1;
    SysTray *cSysTray1;
    QMenu *op, *op2;
    QAction *tray, *sep, *leave, *open;

    // Values read by the start-up.
    QString SavedS1, SavedS2, SavedL1, SavedL2, SavedE1, SavedE2, SavedI1, SavedI2, SavedF1;
    QString SavedDays;
    qint16 StartInTray = 0;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void applyFont(const QFont &font);
    void tintCredit();

    // Commands behind the buttons.
    void Command1_Click(); // Browse
    void Command2_Click(); // shutdown "Set Hour"
    void Command3_Click(); // logoff "Set Hour"
    void Command4_Click(); // program "Set Hour"
    void Command5_Click(); // block "Set Hour"
    void Command6_Click(); // Save
    void Check3_Click();
    void leave_Click(); // "Exit"

    // Every arming input goes to the tick when it changes, and the tray tip follows it and
    // every trigger time; a notice's "Cancel" unticks its schedule's box as a click would, on
    // the window's thread.
    void watchArming();
    void refreshTip();

    // After a command: the tray tip follows what it set, then its message is shown, if any.
    void showOutcome(const QString &message);

    SettingsStore &settings_;
    Dialogs &CommonDialog1;
    Commands commands_;
    Notifier *notifier_;
};
