// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>

// Check-box values as the program counts them: 0 unchecked, 1 checked, 2 grey. Qt numbers
// its states differently (Qt::PartiallyChecked is 1, Qt::Checked is 2), so every read and
// write of a value goes through these two functions.
int checkValue(const QCheckBox *box);
void setCheckValue(QCheckBox *box, int value);

// A check box the user can only toggle between unchecked and checked. The program may still
// set the grey value; a click on a grey box checks it.
class TwoStateCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};
