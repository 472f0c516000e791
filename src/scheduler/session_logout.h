// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Logs the user off the way the desktop's own "Log Out" does: applications may save their work
// or refuse. Where no session manager answers, an implementation falls back to the logoff
// command itself. Tests put a recording fake in its place.
class SessionLogout {
public:
    virtual ~SessionLogout() = default;

    // Asks the running desktop session to log out, without its confirmation dialog. Never blocks.
    virtual void requestLogout() = 0;
};
