// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/process_launcher.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// Windows hands a document to its default application through the Explorer.
const char kOpener[] = "explorer.exe";
#else
const char kOpener[] = "xdg-open";
#endif

// Whether the whole text should be looked at as a file name. On Unix a bare name such as
// "firefox" is a command looked for on PATH, never a file in the current directory.
bool looksLikePath(const QString &text)
{
#ifdef Q_OS_WIN
    Q_UNUSED(text);
    return true;
#else
    return text.contains(QLatin1Char('/'));
#endif
}

// The program as the system will find it: a path as given, a bare name through PATH.
// Empty when it cannot be found.
QString resolveProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/'))
#ifdef Q_OS_WIN
        || program.contains(QLatin1Char('\\'))
#endif
    ) {
        const QFileInfo info(program);
        return info.exists() ? program : QString();
    }
    return QStandardPaths::findExecutable(program);
}

} // namespace

ProcessLauncher::Plan ProcessLauncher::plan(const QString &commandLine)
{
    Plan plan;
    if (commandLine.trimmed().isEmpty()) {
        plan.error = QStringLiteral("empty command line");
        return plan;
    }

    if (looksLikePath(commandLine)) {
        const QFileInfo whole(commandLine);
        if (whole.exists()) {
            if (whole.isFile() && whole.isExecutable()) {
                plan.program = whole.absoluteFilePath();
                return plan;
            }
            // A document, a script without its run bit, or a folder: open it with the
            // default application.
            plan.program = QStandardPaths::findExecutable(QString::fromLatin1(kOpener));
            if (plan.program.isEmpty()) {
                plan.error = QStringLiteral("%1 not found on PATH to open the file")
                                     .arg(QString::fromLatin1(kOpener));
                return plan;
            }
            plan.arguments = {QDir::toNativeSeparators(whole.absoluteFilePath())};
            return plan;
        }
    }

    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty() || parts.first().isEmpty()) {
        plan.error = QStringLiteral("no program named");
        return plan;
    }
    const QString named = parts.takeFirst();
    plan.program = resolveProgram(named);
    plan.arguments = parts;
    if (plan.program.isEmpty()) {
        // The warning names the whole command line; naming only the part before a space
        // of a path such as "/home/me/my programs/gone" would mislead.
        plan.error = named.contains(QLatin1Char('/'))
                ? QStringLiteral("no such file")
                : QStringLiteral("%1: not found on PATH").arg(named);
        return plan;
    }
    const QFileInfo info(plan.program);
    if (info.isDir()) {
        plan.error = QStringLiteral("%1: is a directory").arg(named);
    } else if (!info.isExecutable()) {
        plan.error = QStringLiteral("%1: not executable").arg(named);
    }
    return plan;
}

bool ProcessLauncher::launch(const QString &commandLine)
{
    const Plan p = plan(commandLine);
    const QString error = p.error.isEmpty() ? start(p) : p.error;
    if (!error.isEmpty()) {
        qWarning().noquote() << QStringLiteral("horalux: cannot start \"%1\": %2")
                                        .arg(commandLine, error);
        return false;
    }
    return true;
}

#ifdef Q_OS_WIN
QString ProcessLauncher::start(const Plan &p)
{
    QProcess process;
    process.setProgram(p.program);
    process.setArguments(p.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // Start minimized, as the system's own tools expect to be started.
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
    if (process.startDetached())
        return {};
    const QString reason = process.errorString();
    return reason.isEmpty() || reason == QLatin1String("Unknown error")
            ? QStringLiteral("the system refused to start it")
            : reason;
}

void ProcessLauncher::reapEnded() {}
#endif
