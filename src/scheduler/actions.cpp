// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/actions.h"

QString shutdownCommand()
{
#ifdef Q_OS_WIN
    return QStringLiteral("shutdown -s -t 5 -f");
#else
    // logind powers off for the user of an active local session without asking for a password;
    // there is no unprivileged way to force it.
    return QStringLiteral("systemctl poweroff");
#endif
}

QString logoffCommand()
{
#ifdef Q_OS_WIN
    return QStringLiteral("logoff.exe");
#else
    // "auto" also finds the user's graphical session when we run outside its process group.
    return QStringLiteral("loginctl terminate-session auto");
#endif
}
