// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

// A frame drawn as a thin rounded line in the palette's mid colour, 6 pixels below its top,
// with its caption on the line near the left corner. The controls keep their places measured
// from the frame's corner. (A style sheet would draw the same, at the cost of Qt's style sheet
// machinery for every control inside.)
class Frame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override;
};
