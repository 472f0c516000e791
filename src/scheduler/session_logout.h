// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// Logs the user off the way the desktop's own "Log Out" does: applications may save their work
// or refuse. Where no session manager takes the request, an implementation falls back to the
// logoff command itself, if the caller still wants it then. Tests put a recording fake in its
// place.
class SessionLogout {
public:
    // Asked when the fallback comes, perhaps seconds after the request, on the thread that made
    // the request: whether the logoff command is to be launched now. A yes counts as that launch.
    using StillWanted = std::function<bool()>;

    virtual ~SessionLogout() = default;

    // Asks the running desktop session to log out, without its confirmation dialog. Never blocks.
    virtual void requestLogout(StillWanted stillWanted) = 0;
};
