// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QGuiApplication;

// The program starts from the desktop's autostart, so the session manager must never restart it
// as well: that would make two copies, and two launches of the user's program. Every save request
// (commit data, save state) is answered "never restart". The answer is given at once: nothing is
// asked, no dialog is shown and the end of the session is never cancelled or delayed, even while
// a message box waits for its answer.
void neverRestartWithSession(QGuiApplication &app);
