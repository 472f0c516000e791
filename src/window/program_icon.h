// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The program's own icon (a clock face) at 16, 32 and 48 pixels: the window's, the tray's and
// the application's.
QIcon programIcon();
