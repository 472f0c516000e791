// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a process on Linux and other POSIX systems: posix_spawn, which neither copies this
// process's memory nor waits on a pipe for the exec, and reports a failed exec as its result.

#include "scheduler/process_launcher.h"

#ifndef Q_OS_WIN

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Why the system would not run the program, in words that point at the cause.
QString spawnError(int error, const QString &program)
{
    const QString name = QFileInfo(program).fileName();
    const QString why = qt_error_string(error);
    // The file was there when planned: what is missing is the interpreter its first line names
    // (or the loader a binary needs).
    if (error == ENOENT && QFileInfo::exists(program))
        return QStringLiteral("%1: its interpreter was not found (%2)").arg(name, why);
    return QStringLiteral("%1: %2").arg(name, why);
}

} // namespace

QString ProcessLauncher::start(const Plan &p)
{
    const QByteArray program = QFile::encodeName(p.program);
    std::vector<QByteArray> words{program};
    for (const QString &argument : p.arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    // Only the standard streams: no lock file, socket or pipe of ours reaches the program.
    posix_spawn_file_actions_addclosefrom_np(&files, STDERR_FILENO + 1);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own (it outlives us and our terminal), no signal blocked, and every
    // signal at its default, whatever this process ignores.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.constData(), &files, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (error != 0)
        return spawnError(error, p.program);
    QMutexLocker lock(&mutex_);
    children_.append(pid);
    return {};
}

void ProcessLauncher::reapEnded()
{
    QMutexLocker lock(&mutex_);
    children_.removeIf([](qint64 pid) {
        const pid_t ended = waitpid(pid_t(pid), nullptr, WNOHANG);
        return ended == pid || (ended < 0 && errno == ECHILD);
    });
}

#endif
