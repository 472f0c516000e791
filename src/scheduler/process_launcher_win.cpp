// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a command line on Windows, the way the system's own run-a-program facility does it.
#include "scheduler/process_launcher.h"

#ifdef Q_OS_WIN

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <qt_windows.h>
#include <shellapi.h>

#include <string>

namespace {

bool refuse(const QString &commandLine, const QString &reason)
{
    qWarning().noquote() << QStringLiteral("horalux: cannot start \"%1\": %2").arg(commandLine, reason);
    return false;
}

QString lastError()
{
    return qt_error_string(int(GetLastError())).trimmed();
}

// A document, an installer package or a folder named by the whole text: the application that
// Windows associates with it opens it. Programs and batch files are started as command lines.
bool isDocument(const QString &text)
{
    const QFileInfo info(text);
    static const QStringList programs = {"exe", "com", "bat", "cmd"};
    return info.exists() && !(info.isFile() && programs.contains(info.suffix(), Qt::CaseInsensitive));
}

} // namespace

bool ProcessLauncher::launch(const QString &commandLine)
{
    if (commandLine.trimmed().isEmpty())
        return refuse(commandLine, QStringLiteral("empty command line"));

    if (isDocument(commandLine)) {
        const std::wstring file = QDir::toNativeSeparators(QFileInfo(commandLine).absoluteFilePath())
                                          .toStdWString();
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof info;
        // No error box (it would hold up the clock) and no wait for the application to answer.
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_ASYNCOK;
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWMINIMIZED;
        return ShellExecuteExW(&info) ? true : refuse(commandLine, lastError());
    }

    // No application name: Windows splits the text and searches for the program itself (the
    // program's folder, the current folder, the system folders, then PATH), and an unquoted
    // path with spaces is tried part by part. No shell is involved.
    std::wstring text = commandLine.toStdWString(); // CreateProcessW may write to it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED; // minimized and active
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return refuse(commandLine, lastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Windows keeps no record of an ended process once its handles are closed: nothing to collect.
void ProcessLauncher::reapEnded() {}

#endif // Q_OS_WIN
