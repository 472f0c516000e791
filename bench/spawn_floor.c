// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of starting a process at a second: a plain C loop that sleeps to the start of each
// second with clock_nanosleep(TIMER_ABSTIME) and starts the recording stand-in with posix_spawn
// (a session of its own, standard input from /dev/null, as Horalux starts a program). The same
// program is that stand-in: it appends its label and the time it began to run to the file named
// by HORALUX_BENCH_RECORD, in one write.
//
//     spawn_floor run FIRST COUNT STEP   at the epoch seconds FIRST, FIRST+STEP, ... (COUNT of
//                                         them) starts "spawn_floor record floor"
//     spawn_floor record LABEL           records "LABEL SECONDS.NANOSECONDS"
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

static int record(const char *label)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char *path = getenv("HORALUX_BENCH_RECORD");
    if (!path)
        return 2;
    char line[128];
    const int n = snprintf(line, sizeof line, "%s %lld.%09ld\n", label, (long long)now.tv_sec, now.tv_nsec);
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, line, (size_t)n) != n)
        return 1;
    return close(fd) != 0;
}

static int run(const char *self, long long first, int count, int step)
{
    char *argv[] = {(char *)self, "record", "floor", NULL};
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    for (int i = 0; i < count; ++i) {
        const struct timespec at = {(time_t)(first + (long long)i * step), 0};
        while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, NULL) == EINTR) {
        }
        pid_t pid;
        const int error = posix_spawn(&pid, self, &files, &attributes, argv, environ);
        if (error) {
            fprintf(stderr, "spawn_floor: %s\n", strerror(error));
            return 1;
        }
        while (waitpid(-1, NULL, WNOHANG) > 0) {
        }
    }
    while (wait(NULL) > 0) {
    }
    return 0;
}

int main(int argc, char *argv[])
{
    if (argc == 3 && strcmp(argv[1], "record") == 0)
        return record(argv[2]);
    if (argc == 5 && strcmp(argv[1], "run") == 0)
        return run(argv[0], atoll(argv[2]), atoi(argv[3]), atoi(argv[4]));
    fprintf(stderr, "usage: spawn_floor run FIRST COUNT STEP | spawn_floor record LABEL\n");
    return 2;
}
