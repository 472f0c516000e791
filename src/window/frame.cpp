// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/frame.h"

#include <QPainter>
#include <QPainterPath>

void Frame::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect caption(6, 0, int(QFontMetricsF(font()).horizontalAdvance(title())) + 8,
                        fontMetrics().height());
    p.setClipRegion(QRegion(rect()).subtracted(caption));
    // A 1-pixel ring between two rounded rectangles, radius 2 outside and 1 inside.
    const QRectF outer(0, 6, width(), height() - 6);
    QPainterPath ring, inner;
    ring.addRoundedRect(outer, 2, 2);
    inner.addRoundedRect(outer.adjusted(1, 1, -1, -1), 1, 1);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(ring.subtracted(inner), palette().color(QPalette::Mid));
    p.setClipping(false);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption.adjusted(2, 0, -2, 0), Qt::AlignCenter, title());
}
