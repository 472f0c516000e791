// SPDX-License-Identifier: GPL-3.0-or-later
// A recording stand-in for shutdown.exe, logoff.exe or the user's program, for the Windows tests:
// appends one line to calls.log beside itself, the local time (hh:mm:ss.mmm), a tab, then its
// command line exactly as Windows handed it over, in UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>

int main()
{
    wchar_t self[MAX_PATH];
    std::wstring log(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"calls.log";
    const wchar_t *line = GetCommandLineW();
    char text[4096];
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof text, nullptr, nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILE *file = _wfopen(log.c_str(), L"ab");
    if (!file || size <= 0)
        return 1;
    std::fprintf(file, "%02d:%02d:%02d.%03d\t%s\n", now.wHour, now.wMinute, now.wSecond,
                 now.wMilliseconds, text);
    return std::fclose(file) == 0 ? 0 : 1;
}
