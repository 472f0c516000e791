// SPDX-License-Identifier: GPL-3.0-or-later
// What is armed: handed to the tick, shown in the tray tip, and the "Cancel" of a notice.

#include "scheduler/notifier.h"
#include "tray/systray.h"
#include "window/check_value.h"
#include "window/form1.h"

#include <QLineEdit>
#include <QRadioButton>

void Form1::watchArming()
{
    for (QCheckBox *box : {Check1, Check2, Check3, Check4})
        connect(box, &QCheckBox::stateChanged, this, &Form1::refreshTip);
    for (QRadioButton *option : {Option1, Option2})
        connect(option, &QRadioButton::toggled, this, &Form1::refreshTip);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::refreshTip);
    if (notifier_) {
        notifier_->setCancelHandler([this](Notice::Kind kind) {
            // The controls belong to the window's thread, whichever thread the answer came on.
            QMetaObject::invokeMethod(this, [this, kind] {
                QCheckBox *box = kind == Notice::Kind::Shutdown ? Check1
                        : kind == Notice::Kind::Logoff          ? Check2
                                                                : Check4;
                // Only a ticked box: a click on an unticked one would tick it.
                if (checkValue(box) == 1)
                    box->click();
            });
        });
    }
    refreshTip();
}

void Form1::refreshTip()
{
    const ArmingInputs in = armingInputs();
    Timer1->setInputs(in);
    cSysTray1->setArmedSchedules(Timer1->with([&](Scheduler &s) { return s.armedSchedules(in); }));
}
