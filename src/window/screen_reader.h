// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Form1;

// What a screen reader says: each control of the window by what it sets, with a description.
// Frames would give all the boxes of a schedule one name, and four buttons share the caption
// "Set Hour".
void nameForScreenReaders(Form1 &window);
