// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

#include <functional>

class QWidget;

// The captions' font at a pixel size: the first of a few narrow sans-serif faces installed.
QFont captionFont(int pixelSize);

// Captions must stay whole at a fixed geometry. The caption font is tried at the size of the
// original layout's font (8 points at 96 dots per inch, 11 pixels), and made a pixel smaller,
// down to 8, until every caption of the window's controls fits. apply puts a font on the
// window; room gives the width a control's caption may take.
void fitCaptionFont(QWidget *window, const std::function<void(const QFont &)> &apply,
                    const std::function<int(const QWidget *)> &room);
