// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <chrono>

// Outcome of a write: ok, or a reason a person understands
// ("cannot write /path/data.hxdata: Permission denied").
struct WriteResult {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// The settings file: one INI file, section "settings", read and written one key at a time.
// Nothing is cached: every call reads or rewrites the file afresh.
class SettingsStore {
public:
    static constexpr const char *kDefaultValue = "<no value>";

    // The store keeps its file in this directory.
    explicit SettingsStore(const QString &directory);

    // Where the program keeps its settings: see chooseDirectory().
    static QString defaultDirectory();

    // The settings file in the directory, whatever the letter case of its name;
    // "data.hxdata" when there is none yet.
    QString filePath() const;

    // The value of key in section "settings", cut to 255 characters; "<no value>" when the
    // file, the section or the key is missing or cannot be read.
    QString readKey(const QString &key);
    // Sets key in section "settings" to value, keeping every other byte of the file. The new
    // file replaces the old one whole (a crash leaves the old one), and a lock file beside it
    // keeps two copies of the program from losing each other's keys.
    WriteResult writeKey(const QString &key, const QString &value);
    // Sets several keys, in order, under one lock and with one replacement of the file: all of
    // them are written, or none.
    WriteResult writeKeys(const QList<std::pair<QString, QString>> &keys);

    // The choice behind defaultDirectory(), from what is known of the program's folder appDir:
    // whether it holds the settings file (any letter case), whether it can be written, and
    // whether it lies in an installed layout (<prefix>/bin beside
    // <prefix>/share/applications/horalux.desktop, whatever the prefix).
    // An installed copy (that layout, appDir is installBinDir, /usr or a folder under /usr) keeps
    // its settings per user in configDir, root's included, and never writes beside itself. Any
    // other copy keeps them in appDir when it holds the file or can be written, else in configDir.
    static QString chooseDirectory(const QString &appDir, bool holdsFile, bool writable,
                                   bool installedLayout, const QString &installBinDir,
                                   const QString &configDir);

    // Larger files are not loaded: reads give the default, writes fail.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

private:
    QString existingFile() const;

    QString directory_;
    // How long a write, of one key or several, waits in all for another copy of the program to
    // finish its own write.
    static constexpr std::chrono::milliseconds kLockTimeout{2000};
    QChar ReadBuffer[256] = {};
    int ReadLength = 0;
};
