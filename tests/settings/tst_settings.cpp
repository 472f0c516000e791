// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: the INI rules on literal files (on Windows, against the system's own profile
// functions), bad files, failed writes and the lock, where the file lives, and two writers at
// once, killed in the middle.
#include "settings/settings_store.h"

#include <QDirIterator>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// The folder holds file (a directory when its name ends in '/', a link to itself when in '@';
// "held": the lock, held by another copy) with the bytes before (null: no file); the store's
// folder is sub. key reads as reads; writing value, with files limited to limit bytes (as on a
// full disk), leaves after in the settings file, or fails with "cannot write FILE: reason",
// where DIR stands for the folder and PID for this process.
struct Case {
    const char *name;
    QString key, reads, value;
    QByteArray before, after;
    QString reason = {}, file = "data.hxdata", sub = ".";
    qint64 limit = -1;
};
Q_DECLARE_METATYPE(Case)

// Dated ten seconds back, as a file left by an earlier write.
static bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
        && file.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime);
}

// Every file below dir with its bytes: what "nothing changed on disk" compares.
static QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        if (QFile file(it.next()); file.open(QIODevice::ReadOnly))
            files[file.fileName()] = file.readAll();
    return files;
}

#ifndef Q_OS_WIN
// A forked writer: sets every key to 1, then 2, 3, ... without end, all keys of a round in one
// write, and exits with a message when a write fails or a key does not read back, again and again
// while the other writer writes.
[[noreturn]] static void writeForever(const QString &dir, const QStringList &keys)
{
    for (int n = 1;; ++n) {
        QList<std::pair<QString, QString>> round;
        for (const QString &key : keys)
            round.append({key, QString::number(n)});
        const WriteResult result = SettingsStore(dir).writeKeys(round);
        for (int check = 0; check < 100; ++check) // meanwhile the other writer has its turn
            for (const QString &key : keys)
                if (!result || SettingsStore(dir).readKey(key) != QString::number(n)) // any exit fails
                    ::_exit(std::fprintf(stderr, "%s does not read back %d %s\n", qPrintable(key), n,
                                         qPrintable(result.error)));
    }
}
#endif

class TstSettings : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void directoryChoice();
    void killedConcurrentWriters();
};

// Editors on Windows start a UTF-8 file with a byte-order mark: it hides no section and stays.
// Reads are cut to 255 characters; a character of two UTF-16 units across the cut goes whole.
// Failed writes fail at once, but for a lock another copy holds, given up after 2 seconds.
void TstSettings::rules_data()
{
    QTest::addColumn<Case>("c");
    const QByteArray S = "[settings]\n";
    for (const Case &c : std::initializer_list<Case>{
        {"no file, no folder", "s1", "<no value>", "07", {}, S + "s1=07\n", {}, "data.hxdata", "new/sub"},
        {"case, blanks, text after ]", "s1", "01", "7", "[ SETTINGS ] ;c\n\t S1 = 01 \t\n", "[ SETTINGS ] ;c\n\t S1 =7\n"},
        {"one pair of quotes; blanks kept", "s1", "\"0 7\"", " 7 ", S + "s1= '\"0 7\"' \n", S + "s1=\" 7 \"\n"},
        {"first key wins; = ; [ in a value", "s1", "a=;[", "", S + "s1=a=;[\nS1=2\n", S + "s1=\nS1=2\n"},
        {"first section", "s1", "<no value>", "3", S + "x=1\n[Settings]\ns1=2\n", S + "x=1\ns1=3\n[Settings]\ns1=2\n"},
        {"keys outside; no final newline", "s1", "<no value>", "7", "s1=1\n[o]\ns1=2", "s1=1\n[o]\ns1=2\n" + S + "s1=7\n"},
        {"junk between keys", "s2", "<no value>", "2", S + ";s2=5\ns2\n[x\nf=1\n\n[o]\n", S + ";s2=5\ns2\n[x\nf=1\ns2=2\n\n[o]\n"},
        {"no final newline after a key", "s2", "<no value>", "2", S + "s1=1", S + "s1=1\ns2=2"},
        {"no final newline after the header", "s1", "<no value>", "07", "[settings]", "[settings]\ns1=07"},
        {"byte-order mark, CRLF", "s1", "1", "07", "\xEF\xBB\xBF[settings]\r\ns1=1\r\n", "\xEF\xBB\xBF[settings]\r\ns1=07\r\n"},
        {"the same value", "s1", "07", "07", S + " s1 = 07\n\n", S + " s1 =07\n\n"},
        {"only a byte-order mark", "s1", "<no value>", "07", "\xEF\xBB\xBF", "\xEF\xBB\xBF" + S + "s1=07\n"},
        {"CRLF new key, name in capitals", "s2", "<no value>", "2", "[settings]\r\n", "[settings]\r\ns2=2\r\n", {}, "DATA.HXDATA"},
        {"not UTF-8, NUL ends a value", "s1", "", "3", "\xff\n" + S + "s1=" + QByteArray(1, 0) + "7\n", "\xff\n" + S + "s1=3\n"},
        {"300 characters, UTF-8", "s1", QString(255, 'x'), "h\u00e9", S + "s1=" + QByteArray(300, 'x'), S + "s1=h\u00e9"},
        {"across the cut", "s1", QString(254, 'y'), "07", S + "s1=" + QByteArray(254, 'y') + "\xf0\x9f\x95\x90z", S + "s1=07"},
        {"an empty lock left by a killed writer", "s1", "<no value>", "7", "", S + "s1=7\n", {}, "data.hxdata.lock"},
        {"beyond 1 MiB", "s1", "<no value>", "8", S + "s1=7\n" + QByteArray(1 << 20, ';'), {},
         "the file is larger than 1 MiB and is left as it is"},
        {"line break in value", "s1", "<no value>", "07\r", "", {}, "the value of s1 holds a line break or a NUL character"},
        {"a directory as the file", "s1", "<no value>", "07", {}, {}, "it is a directory", "Data.HXDATA/"},
        {"a link in a loop", "s1", "<no value>", "07", {}, {}, "Too many levels of symbolic links", "data.hxdata@"},
        {"the disk full while writing", "s1", "1", QString(3000, 'x'), S + "s1=1\n" + QByteArray(3000, ';'), {},
         "File too large", "data.hxdata", ".", 4096},
        {"no room for the lock", "s1", "<no value>", "07", {}, {},
         "cannot create the lock file DIR/data.hxdata.lock: File too large", "data.hxdata", ".", 0},
        {"the folder is a file", "s1", "<no value>", "07", "", {}, "DIR/plain is not a directory", "plain", "plain"},
        {"a directory as the lock", "s1", "<no value>", "07", {}, {},
         "cannot use the lock file DIR/data.hxdata.lock: it is a directory", "data.hxdata.lock/"},
        {"the lock held by another copy", "s1", "<no value>", "07", {}, {},
         "another copy of Horalux (process PID) is writing the settings; try again", "held"}})
        QTest::newRow(c.name) << c;
}

void TstSettings::rules()
{
    QFETCH(Case, c);
    QTemporaryDir dir;
    QLockFile other(dir.filePath("data.hxdata.lock"));
    QVERIFY(c.file == "held"       ? other.tryLock(0) // the lock, held by another copy
            : c.file.endsWith('/') ? QDir(dir.path()).mkdir(c.file)
            : c.file.endsWith('@') ? QFile::link(c.file.chopped(1), dir.filePath(c.file.chopped(1)))
                                   : c.before.isNull() || put(dir.filePath(c.file), c.before));
    std::error_code linked;
    // A second name of the file keeps the old bytes: the file is replaced whole, never rewritten
    // in place.
    QVERIFY(c.before.isNull()
            || (std::filesystem::create_hard_link(dir.filePath(c.file).toStdWString(),
                                                  dir.filePath("link").toStdWString(), linked),
                !linked));
    QMap<QString, QByteArray> disk = snapshot(dir.path());

    SettingsStore store(QDir::cleanPath(dir.filePath(c.sub)));
#ifdef Q_OS_WIN // no size limits for files nor links in loops; no ANSI code page has UTF-16 pairs
    if (c.limit >= 0 || c.file.endsWith('@') || c.before.contains("\xf0"))
        QSKIP("POSIX or UTF-8 only");
    // Where a write succeeds, Windows' own profile functions, on a copy of the file, tell what
    // the reads give and what the file holds after the write. (A file beyond 1 MiB they read;
    // we leave it alone.)
    QTemporaryDir reference;
    const QByteArray ref = QDir::toNativeSeparators(reference.filePath("data.hxdata")).toLocal8Bit();
    const auto profile = [&] {
        char read[256] = {};
        return QString::fromLocal8Bit(read, GetPrivateProfileStringA("settings", c.key.toLocal8Bit(), "<no value>", read, sizeof read, ref));
    };
    // The copy holds the bytes before when they are the settings file's (not a lock's, say).
    QVERIFY(c.before.isNull() || c.file.compare("data.hxdata", Qt::CaseInsensitive) || put(reference.filePath("data.hxdata"), c.before));
    if (c.reason.isEmpty())
        c.reads = profile();
#endif
    QCOMPARE(store.readKey(c.key), c.reads);
    const auto start = std::chrono::steady_clock::now();
#ifndef Q_OS_WIN
    ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails (EFBIG) instead of ending the test
    rlimit limit{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
    const rlimit full = {c.limit < 0 ? limit.rlim_cur : rlim_t(c.limit), limit.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    const WriteResult result = store.writeKey(c.key, c.value);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
#else
    const WriteResult result = store.writeKey(c.key, c.value);
#endif
    const qint64 ms = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
    // A held lock is given up after about 2 s; any other failure is at once.
    const bool timely = c.file == "held" ? ms >= 1900 && ms < 3500 : c.reason.isEmpty() || ms < 1000;
    QVERIFY2(timely, qPrintable(QString::number(ms) + " ms"));
    c.reason.replace("DIR", dir.path()).replace("PID", QString::number(QCoreApplication::applicationPid()));
    QCOMPARE(QDir::fromNativeSeparators(result.error), c.reason.isEmpty() ? "" : "cannot write " + store.filePath() + ": " + c.reason);
    if (c.reason.isEmpty()) {
#ifdef Q_OS_WIN
        QVERIFY(WritePrivateProfileStringA("settings", c.key.toLocal8Bit(), c.value.toLocal8Bit(), ref));
        c.value = profile();
        c.after = snapshot(reference.path()).value(reference.filePath("data.hxdata"));
#endif
        QCOMPARE(store.readKey(c.key), c.value);
        disk.remove(dir.filePath("data.hxdata.lock"));
        const QFileInfo written(store.filePath()); // on Windows, named with the case on disk
        disk[written.dir().filePath(written.dir().entryList({written.fileName()}).value(0))] = c.after;
    }
    QCOMPARE(snapshot(dir.path()), disk); // the file as expected; no lock, temporary or second file left
}

// An installed copy (the configured install folder, an installed layout under any prefix, or
// anywhere under /usr) keeps its settings per user, even run by root, who may write anywhere. Any
// other keeps them beside the program when its folder holds the file or can be written.
void TstSettings::directoryChoice()
{
    // Each row: the program's folder, whether it holds the file, whether it can be written,
    // whether it lies in an installed layout, and whether the settings stay beside the program.
    for (auto [app, holdsFile, writable, layout, beside] : {std::tuple{"/home/me/horalux", false, true, false, true},
             {"/media/stick/horalux", true, false, false, true}, {"/opt/horalux", false, false, false, false},
             {"/srv/prefix/bin/", true, true, false, false}, {"/usr/bin", true, true, false, false},
             {"/usr", false, true, false, false}, {"/usrlocal/bin", false, true, false, true},
             {"/home/me/elsewhere/bin", true, true, true, false}})
        QCOMPARE(SettingsStore::chooseDirectory(app, holdsFile, writable, layout, "/srv/prefix/bin", "/cfg"),
                 beside ? app : "/cfg");
}

// Two writers at once: one keeps rewriting s1, the other sets six keys together, round after round,
// each reading back what it wrote. Killed (SIGKILL) at any moment, they leave a whole file:
// every key there once, the six with the values of one write, every other byte as before.
void TstSettings::killedConcurrentWriters()
{
#ifdef Q_OS_WIN
    QSKIP("the writers are forks of the test program: POSIX only");
#else
    QTemporaryDir dir;
    QVERIFY(put(dir.filePath("data.hxdata"), "; horalux\n[settings]\ns1=0\nUnknown = kept\n\n[o]\ns1=x\n"));
    const QStringList keys = {"i1", "i2", "f1", "f2", "days", "systray"};
    pid_t writers[2] = {};
    for (int i = 0; i < 2; ++i)
        if ((writers[i] = ::fork()) == 0)
            writeForever(dir.path(), i == 0 ? QStringList{"s1"} : keys);
    const auto read = [&](const QString &key) { return SettingsStore(dir.path()).readKey(key).toUtf8(); };
    (void)QTest::qWaitFor([&] { return read("systray").toInt() >= 20; }); // twenty rounds of the six
    for (pid_t writer : writers) // both, before any check can return
        if (writer > 0)
            ::kill(writer, SIGKILL);
    for (pid_t writer : writers) {
        int status = 0;
        QVERIFY2(writer > 0 && ::waitpid(writer, &status, 0) == writer
                     && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                 "a writer failed: see its message above");
    }
    QByteArray expected = "; horalux\n[settings]\ns1=" + read("s1") + "\nUnknown = kept\n";
    for (const QString &key : keys)
        expected += key.toUtf8() + "=" + read("i1") + "\n";
    QCOMPARE(snapshot(dir.path()).value(dir.filePath("data.hxdata")), expected + "\n[o]\ns1=x\n");
#endif
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
