// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProxyStyle>

// The application's style, drawing as the style Qt chose (or the one asked for with -style):
// only the icon of the menu bar's overflow button is read when it is first drawn rather than
// when the menu bar is made. The button shows only when the menus do not fit the bar, and
// reading its picture at once makes Qt's image reader load every image-format plugin installed
// (gif, ico, jpeg, ...) to ask each one about it.
class ProgramStyle : public QProxyStyle {
public:
    // Wraps a new instance of the application's current style; install it with
    // QApplication::setStyle.
    ProgramStyle();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
