// SPDX-License-Identifier: GPL-3.0-or-later
// The window's load handler: restores the saved choices when the program starts.

#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/check_value.h"
#include "window/form1.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

// Boxes take only their own items: a saved text that is not one of them (such as the
// "<no value>" of a missing key) leaves the box with nothing selected.
void restore(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

} // namespace

void Form1::startUp()
{
    SavedS1 = settings_.readKey(QStringLiteral("s1"));
    SavedS2 = settings_.readKey(QStringLiteral("s2"));
    SavedL1 = settings_.readKey(QStringLiteral("l1"));
    SavedL2 = settings_.readKey(QStringLiteral("l2"));
    SavedE1 = settings_.readKey(QStringLiteral("e1"));
    SavedE2 = settings_.readKey(QStringLiteral("e2"));
    SavedI1 = settings_.readKey(QStringLiteral("i1"));
    SavedI2 = settings_.readKey(QStringLiteral("i2"));
    SavedF1 = settings_.readKey(QStringLiteral("f1"));
    txtf2->setText(settings_.readKey(QStringLiteral("f2")));
    SavedDays = settings_.readKey(QStringLiteral("days"));
    // Anything that is not a number, the "<no value>" of a missing key included, counts as 0.
    bool isNumber = false;
    StartInTray = settings_.readKey(QStringLiteral("systray")).toShort(&isNumber);
    if (!isNumber)
        StartInTray = 0;

    if (SavedDays == QLatin1String("1")) {
        restore(Combo1, SavedS1);
        restore(Combo2, SavedS2);
        restore(Combo3, SavedL1);
        restore(Combo4, SavedL2);
        restore(Combo6, SavedE1);
        restore(Combo5, SavedE2);
        restore(Combo7, SavedI1);
        restore(Combo8, SavedI2);
        restore(Combo10, SavedF1);
        restore(Combo9, txtf2->text());
        setCheckValue(Check5, 1);
    }

    if (StartInTray == 1) {
        cSysTray1->hideWindow();
        setCheckValue(Check6, 1);
    }
}
