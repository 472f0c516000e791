// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/launcher.h"

#include <QList>
#include <QMutex>
#include <QStringList>

// The real launcher: starts an independent process and never waits for it. The text is never
// handed to a shell.
//
// - A text that as a whole names an existing executable file runs that file with no
//   arguments (a path with spaces works as it is, no quotes needed).
// - A text that as a whole names an existing file that cannot be executed (a document, a
//   script without its run bit) opens it with the desktop's default application.
// - Anything else is split into a program and its arguments the way QProcess::splitCommand
//   does; a program named without a directory is looked for on PATH.
//
// On Linux the process is started with posix_spawn in a session of its own, its standard input
// from /dev/null, and no other file of ours open; it is not waited for, but reapEnded collects
// it once it has ended. Calls may come from any thread.
//
// A launch that cannot start prints one line on standard error naming the command and the
// reason, and returns false.
class ProcessLauncher final : public Launcher {
public:
    ProcessLauncher() = default;

    bool launch(const QString &commandLine) override;
    void reapEnded() override;

private:
    // How a command line would be started: the program (resolved to a path when found) and its
    // arguments, or an error text saying why it cannot be started. Starts nothing.
    struct Plan {
        QString program;
        QStringList arguments;
        QString error;
    };
    static Plan plan(const QString &commandLine);
    // Starts the planned program; why it could not, or empty.
    QString start(const Plan &plan);

    QMutex mutex_;
    QList<qint64> children_; // started and not yet collected
};
