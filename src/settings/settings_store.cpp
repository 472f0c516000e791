// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"

#include "settings/ini_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_WIN
#include <shlobj.h>
#endif

namespace {

constexpr QByteArrayView kSection = "settings";
const QString kFileName = QStringLiteral("data.hxdata");
const QString kLockName = QStringLiteral("data.hxdata.lock");

bool isSettingsName(const QString &name)
{
    return name.size() == kFileName.size() && name.toLatin1().toLower() == kFileName.toLatin1()
        && name.toLatin1() == name.toUtf8();
}

// The settings file in dir, whatever the letter case of its name; empty when there is none.
// "data.hxdata" itself is preferred when several spellings exist, else the first by name.
QString findSettingsFile(const QString &dir)
{
    const QString exact = QDir(dir).filePath(kFileName);
    QFileInfo info(exact);
    if (info.exists() || info.isSymLink())
        return exact;
    const QStringList names = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names)
        if (isSettingsName(name))
            return QDir(dir).filePath(name);
    return {};
}

struct Loaded {
    enum Status { Ok, Missing, Unusable };
    Status status = Missing;
    QByteArray bytes;
    QString reason; // why an Unusable file cannot be used
};

Loaded load(const QString &path)
{
    Loaded result;
    if (path.isEmpty())
        return result;
    QFileInfo info(path);
    if (!info.exists()) {
        if (info.isSymLink()) {
            result.status = Loaded::Unusable;
            result.reason = QStringLiteral("it is a link to a file that does not exist");
#ifdef Q_OS_UNIX
            // A link that leads nowhere may also be a loop, or pass through a folder that
            // cannot be searched: the system says which.
            struct stat st;
            if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno != ENOENT)
                result.reason = qt_error_string(errno);
#endif
        }
        return result;
    }
    result.status = Loaded::Unusable;
    if (info.isDir()) {
        result.reason = QStringLiteral("it is a directory");
        return result;
    }
    if (!info.isFile()) {
        result.reason = QStringLiteral("it is not a regular file");
        return result;
    }
    const QString tooLarge = QStringLiteral("the file is larger than 1 MiB and is left as it is");
    if (info.size() > SettingsStore::kMaxFileSize) {
        result.reason = tooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.reason = file.errorString();
        return result;
    }
    // Read one byte past the limit: the size may have changed since it was looked at.
    QByteArray bytes = file.read(SettingsStore::kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.reason = file.errorString();
        return result;
    }
    if (bytes.size() > SettingsStore::kMaxFileSize) {
        result.reason = tooLarge;
        return result;
    }
    result.status = Loaded::Ok;
    result.bytes = std::move(bytes);
    return result;
}

bool holdsLineBreakOrNul(QByteArrayView bytes)
{
    return bytes.contains('\n') || bytes.contains('\r') || bytes.contains('\0');
}

// How the file's text is encoded: UTF-8, but on Windows, where the profile functions read and
// write the file, in the system's ANSI code page unless it starts with a UTF-8 byte-order mark.
QStringConverter::Encoding encodingOf(QByteArrayView bytes)
{
#ifdef Q_OS_WIN
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QStringConverter::System;
#else
    Q_UNUSED(bytes);
#endif
    return QStringConverter::Utf8;
}

// bytes (a value, encoded) with key set to it in text, the way the file is laid out here. A
// value that reading would change (blanks at its ends, or one quote character at each end) goes
// between double quotes, which reading removes again. Windows programs read the file too: there
// it is laid out exactly as the profile functions lay it out.
QByteArray withStoredValue(const QByteArray &text, QByteArrayView key, QByteArray bytes)
{
#ifdef Q_OS_WIN
    return ini::withProfileValue(text, kSection, key, bytes);
#else
    const bool blanksAtEnds = ini::trimmed(bytes).size() != bytes.size();
    const bool quoted = bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'')
        && bytes.back() == bytes.front();
    if (blanksAtEnds || quoted)
        bytes = '"' + bytes + '"';
    return ini::withValue(text, kSection, key, bytes);
#endif
}

WriteResult failure(const QString &path, const QString &reason)
{
    return {false, QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason)};
}

} // namespace

SettingsStore::SettingsStore(const QString &directory) : directory_(directory) {}

QString SettingsStore::chooseDirectory(const QString &appDir, bool holdsFile, bool writable,
                                       bool installedLayout, const QString &installBinDir,
                                       const QString &configDir)
{
    const QString dir = QDir::cleanPath(appDir);
    const bool installed = installedLayout || dir == QDir::cleanPath(installBinDir)
        || dir == QLatin1String("/usr") || dir.startsWith(QLatin1String("/usr/"));
    if (appDir.isEmpty() || installed)
        return configDir;
    return holdsFile || writable ? appDir : configDir;
}

QString SettingsStore::defaultDirectory()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QFileInfo info(appDir);
#ifdef Q_OS_WIN
    // Beside horalux.exe (a copy unzipped anywhere) when that folder holds the file or can be
    // written; else (a copy under Program Files) in %APPDATA%\Horalux. Whether a folder can be
    // written only a try tells: Windows keeps its rights apart from the file's attributes.
    QTemporaryFile probe(QDir(appDir).filePath(QStringLiteral("horalux-XXXXXX.tmp")));
    PWSTR roaming = nullptr;
    QString configDir;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming)))
        configDir = QDir(QDir::fromNativeSeparators(QString::fromWCharArray(roaming))).filePath(QStringLiteral("Horalux"));
    CoTaskMemFree(roaming);
    const bool holdsFile = !findSettingsFile(appDir).isEmpty();
    return chooseDirectory(appDir, holdsFile, holdsFile || probe.open(), false, {}, configDir);
#else
    // `cmake --install --prefix X` may put the program anywhere: its layout tells an installed
    // copy, whatever prefix it was configured with.
    const bool installedLayout = info.fileName() == QLatin1String("bin")
        && QFileInfo::exists(appDir + QLatin1String("/../share/applications/horalux.desktop"));
    // The program's own path has its links resolved; so must the folder it is installed to.
    const QString configured = QStringLiteral(HORALUX_INSTALL_BINDIR);
    const QString resolved = QFileInfo(configured).canonicalFilePath();
    return chooseDirectory(appDir, !findSettingsFile(appDir).isEmpty(),
                           info.isDir() && info.isWritable(), installedLayout,
                           resolved.isEmpty() ? configured : resolved,
                           QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
#endif
}

QString SettingsStore::existingFile() const
{
    return findSettingsFile(directory_);
}

QString SettingsStore::filePath() const
{
    const QString found = existingFile();
    return found.isEmpty() ? QDir(directory_).filePath(kFileName) : found;
}

QString SettingsStore::readKey(const QString &key)
{
    QString value = QString::fromLatin1(kDefaultValue);
    const Loaded file = load(existingFile());
    const QStringConverter::Encoding encoding = encodingOf(file.bytes);
    const QByteArray keyBytes = QStringEncoder(encoding)(key);
    if (file.status == Loaded::Ok && !holdsLineBreakOrNul(keyBytes)) {
        if (std::optional<QByteArray> found = ini::value(file.bytes, kSection, keyBytes))
            value = QStringDecoder(encoding)(*found);
    }

    // The buffer holds 255 characters and the terminator; a character made of two UTF-16 units
    // is not cut in half.
    constexpr int capacity = int(sizeof(ReadBuffer) / sizeof(QChar)) - 1;
    ReadLength = int(std::min<qsizetype>(value.size(), capacity));
    if (ReadLength == capacity && value.size() > capacity && value.at(capacity - 1).isHighSurrogate())
        --ReadLength;
    std::copy_n(value.constData(), ReadLength, ReadBuffer);
    ReadBuffer[ReadLength] = QChar(0);
    return QString(ReadBuffer, ReadLength);
}

WriteResult SettingsStore::writeKey(const QString &key, const QString &value)
{
    return writeKeys({{key, value}});
}

WriteResult SettingsStore::writeKeys(const QList<std::pair<QString, QString>> &keys)
{
    for (const auto &[key, value] : keys) {
        const QByteArray keyBytes = ini::trimmed(key.toUtf8()).toByteArray();
        const QByteArray valueBytes = value.toUtf8();
        if (keyBytes.isEmpty() || holdsLineBreakOrNul(keyBytes) || keyBytes.contains('=')
            || keyBytes.startsWith('[')) {
            return failure(filePath(), QStringLiteral("\"%1\" cannot be a key name").arg(key));
        }
        if (holdsLineBreakOrNul(valueBytes))
            return failure(filePath(), QStringLiteral("the value of %1 holds a line break or a NUL character").arg(key));
    }

    const QFileInfo directoryInfo(directory_);
    if (directoryInfo.exists() && !directoryInfo.isDir()) {
        return failure(QDir(directory_).filePath(kFileName),
                       QStringLiteral("%1 is not a directory").arg(QDir::toNativeSeparators(directory_)));
    }
    errno = 0;
    if (!QDir().mkpath(directory_)) {
        const int code = errno;
        QString reason = QStringLiteral("the directory %1 cannot be created")
                             .arg(QDir::toNativeSeparators(directory_));
        if (code != 0)
            reason += QStringLiteral(" (%1)").arg(qt_error_string(code));
        return failure(QDir(directory_).filePath(kFileName), reason);
    }

    // Hold the lock across read, change and replace, so that a write by another copy of the
    // program in between cannot be lost. Polled at short intervals: a write takes milliseconds.
    const QString lockPath = QDir(directory_).filePath(kLockName);
    const QFileInfo lockInfo(lockPath);
    if (lockInfo.isDir() || (lockInfo.exists() && !lockInfo.isFile())) {
        return failure(filePath(), QStringLiteral("cannot use the lock file %1: %2")
                                       .arg(QDir::toNativeSeparators(lockPath),
                                            lockInfo.isDir() ? QStringLiteral("it is a directory")
                                                             : QStringLiteral("it is not a regular file")));
    }
    QLockFile lock(lockPath);
    QDeadlineTimer deadline(kLockTimeout);
    int pause = 1;
    errno = 0;
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError) {
            // QLockFile sorts the system's reason into two kinds ("permission": a read-only file
            // system too); the reason itself is still in errno. Its one failure without one is a
            // lock written short: a full disk.
            const int code = errno;
            QString reason = qt_error_string(code ? code : ENOSPC);
            if (!code && lock.error() == QLockFile::PermissionError)
                reason = qt_error_string(EACCES);
            return failure(filePath(), QStringLiteral("cannot create the lock file %1: %2")
                                           .arg(QDir::toNativeSeparators(lockPath), reason));
        }
        // A lock file that says nothing (its writer was killed between creating and filling
        // it) is left over once it is a second old; QLockFile alone would wait 30 seconds.
        qint64 pid = 0;
        QString host;
        QString app;
        const bool says = lock.getLockInfo(&pid, &host, &app);
        const QFileInfo info(lockPath);
        if (!says && info.exists() && info.lastModified().msecsTo(QDateTime::currentDateTime()) > 1000
            && lock.removeStaleLockFile()) {
            continue;
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            const QString holder =
                says && pid > 0 ? QStringLiteral(" (process %1)").arg(pid) : QString();
            return failure(filePath(), QStringLiteral("another copy of Horalux%1 is writing the "
                                                      "settings; try again").arg(holder));
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(pause, left)));
        pause = std::min(pause * 2, 20);
    }

    const QString path = filePath();
    const Loaded old = load(existingFile());
    if (old.status == Loaded::Unusable)
        return failure(path, old.reason);
    if (old.status == Loaded::Ok && !QFileInfo(path).isWritable())
        return failure(path, QStringLiteral("Permission denied"));

    QByteArray updated = old.bytes;
    QStringEncoder encode(encodingOf(old.bytes), QStringConverter::Flag::Stateless);
    for (const auto &[key, value] : keys)
        updated = withStoredValue(updated, ini::trimmed(QByteArray(encode(key))), encode(value));
    if (updated.size() > kMaxFileSize)
        return failure(path, QStringLiteral("the file would grow beyond 1 MiB"));
    if (old.status == Loaded::Ok && updated == old.bytes)
        return {true, {}};

    // QSaveFile::commit() would put a short file in place of the old one when the disk filled up
    // while its buffer was written: every byte must be on disk before the replace.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    errno = 0;
    if (file.write(updated) != updated.size() || !file.flush()) {
        // Qt gives no reason when part of the bytes was written; the system still has it.
        const int code = errno;
        const QString reason = code ? qt_error_string(code) : file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
    if (!file.commit())
        return failure(path, file.errorString());
    return {true, {}};
}
