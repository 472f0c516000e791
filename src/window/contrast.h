// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QColor;

// The contrast of two colours, 1 to 21, as accessibility guidelines reckon it.
float contrastRatio(const QColor &a, const QColor &b);

// The text colour blended into the background, as far as still keeps a contrast of at least
// 3:1 with it, in light and dark palettes alike.
QColor mutedText(const QColor &text, const QColor &back);
