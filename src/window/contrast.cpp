// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/contrast.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

float luminance(const QColor &c)
{
    const auto channel = [](float v) {
        return v <= 0.03928f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    return 0.2126f * channel(c.redF()) + 0.7152f * channel(c.greenF()) + 0.0722f * channel(c.blueF());
}

} // namespace

float contrastRatio(const QColor &a, const QColor &b)
{
    const float la = luminance(a);
    const float lb = luminance(b);
    return (std::max(la, lb) + 0.05f) / (std::min(la, lb) + 0.05f);
}

QColor mutedText(const QColor &text, const QColor &back)
{
    QColor muted = text;
    for (float share = 0.5f; share < 1.0f; share += 0.05f) {
        muted = QColor::fromRgbF(text.redF() * share + back.redF() * (1 - share),
                                 text.greenF() * share + back.greenF() * (1 - share),
                                 text.blueF() * share + back.blueF() * (1 - share));
        if (contrastRatio(muted, back) >= 3.05f)
            break;
    }
    return muted;
}
