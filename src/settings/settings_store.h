#pragma once

#include <QString>

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

    // Where the program keeps its settings: the application directory when the file already
    // exists there or the directory is writable, else the per-user configuration directory.
    static QString defaultDirectory();

    QString directory() const;
    // The settings file in the directory, whatever the letter case of its name;
    // "data.hxdata" when there is none yet.
    QString filePath() const;

    // The value of key in section "settings", cut to 255 characters; "<no value>" when the
    // file, the section or the key is missing or cannot be read.
    QString readKey(const QString &key);
    WriteResult writeKey(const QString &key, const QString &value);

private:
    QString directory_;
    QChar ReadBuffer[256] = {};
    int ReadLength = 0;
};
