// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Starts one command line as a new, independent process. Used for the shutdown, the logoff
// and the user's own program alike; tests put a recording fake in its place.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Returns whether a process was started. Never waits for it and never reads its exit status.
    virtual bool launch(const QString &commandLine) = 0;
    // Collects the processes started that have ended, so that none is left a zombie. Never
    // waits; the tick calls it once a second.
    virtual void reapEnded() {}
};
