// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: the INI rules on literal files, bad files, failed writes, the lock, where the
// file lives, and writers killed in the middle or running two at once. Started as
// "tst_settings --write ...", the program is the writer those process tests start.
#include "settings/settings_store.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Everything below dir, with the bytes of each file: what "nothing changed on disk" compares.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = it.fileInfo().isDir() ? QByteArray("(directory)") : contents(path);
    }
    return files;
}

// The writer: --write DIR FIRST LAST KEY... sets every KEY to FIRST, then FIRST+1, ... up to LAST
// (without end when LAST is 0), all KEYs of a round in one write, printing each number once its
// round is written; then every KEY must read back as written. Exit status 1, with the reason on
// stderr, at the first write that fails or key that does not read back.
int writer(const QStringList &args)
{
    SettingsStore store(args.at(0));
    const qint64 last = args.at(2).toLongLong();
    for (qint64 n = args.at(1).toLongLong(); last == 0 || n <= last; ++n) {
        QList<std::pair<QString, QString>> round;
        for (const QString &key : args.mid(3))
            round.append({key, QString::number(n)});
        QString error = store.writeKeys(round).error;
        for (const auto &[key, value] : round)
            if (error.isEmpty() && store.readKey(key) != value)
                error = key + " lost its value " + value + ": it reads " + store.readKey(key);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        // Straight to the descriptor: nothing may wait in a buffer when the process is killed.
        const QByteArray line = QByteArray::number(n) + '\n';
        [[maybe_unused]] ssize_t written = ::write(STDOUT_FILENO, line.constData(), size_t(line.size()));
    }
    return 0;
}

void columns()
{
    QTest::addColumn<QString>("file"); // the settings file's name; a directory when it ends in '/'
    QTest::addColumn<QByteArray>("before"); // null: there is no file
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // the file once value is written
    QTest::addColumn<QString>("reason"); // set: the write fails with it and nothing changes on disk
}

void row(const char *name, const QByteArray &before, const QString &key, const QString &reads,
         const QString &value, const QByteArray &after, const QString &reason = {},
         const QString &file = "data.hxdata")
{
    QTest::newRow(name) << file << before << key << reads << value << after << reason;
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void badFiles_data();
    void badFiles() { rules(); }
    void failedWrites_data();
    void failedWrites();
    void lock();
    void directoryChoice_data();
    void directoryChoice();
    void killedWriterLeavesOldOrNewFile();
    void twoWritersLoseNoKey();
};

void TstSettings::rules_data()
{
    columns();
    const QByteArray s101 = "[settings]\ns1=01\n";
    row("no file yet", {}, "s1", "<no value>", "07", "[settings]\ns1=07\n");
    row("replace in place", "; mine\n[settings]\ns1=01\ns2=02\n", "s1", "01", "07",
        "; mine\n[settings]\ns1=07\ns2=02\n");
    row("letter case, blanks, quotes, text after ]", "  [ SETTINGS ] ; c\n \t S1  = \"01\" \t\n", "s1",
        "01", "07", "  [ SETTINGS ] ; c\n \t S1  =07\n");
    row("single quotes, blanks inside kept", "[settings]\ns1= ' a  b ' \n", "s1", " a  b ", " a  b ",
        "[settings]\ns1=\" a  b \"\n");
    row("only one pair of quotes", "[settings]\ns1=\"\"07\"\"\n", "s1", "\"07\"", "'07'",
        "[settings]\ns1=\"'07'\"\n");
    row("quotes that do not match", "[settings]\ns1=\"07'\n", "s1", "\"07'", "\"", "[settings]\ns1=\"\n");
    row("empty value", s101, "s1", "01", "", "[settings]\ns1=\n");
    row("value holding = ; [ ]", "[settings]\ns1=a=b;c\n", "s1", "a=b;c", "[x]", "[settings]\ns1=[x]\n");
    row("first key wins", "[settings]\ns1=1\nS1=2\n", "s1", "1", "9", "[settings]\ns1=9\nS1=2\n");
    row("first section wins", "[settings]\nx=1\n[Settings]\ns1=2\n", "s1", "<no value>", "3",
        "[settings]\nx=1\ns1=3\n[Settings]\ns1=2\n");
    row("keys outside the section; new section at the end", "s1=1\n[other]\ns1=2\n", "s1", "<no value>",
        "07", "s1=1\n[other]\ns1=2\n[settings]\ns1=07\n");
    row("new key after the last key line; junk never matches",
        "[settings]\ns1=1\n;s2=5\njunk\ns2\ns2 x=1\n[x\nf1=2\n\n; c\n[other]\n", "s2", "<no value>", "2",
        "[settings]\ns1=1\n;s2=5\njunk\ns2\ns2 x=1\n[x\nf1=2\ns2=2\n\n; c\n[other]\n");
    row("new key in a section without keys", "[settings]\n; c\n[o]\n", "s1", "<no value>", "07",
        "[settings]\ns1=07\n; c\n[o]\n");
    // Editors on Windows start a UTF-8 file with a byte-order mark: it hides no section and stays.
    row("UTF-8 byte-order mark, CRLF", "\xEF\xBB\xBF[settings]\r\ns1=1\r\n", "s1", "1", "07",
        "\xEF\xBB\xBF[settings]\r\ns1=07\r\n");
    row("CRLF new key", "[settings]\r\ns1=1\r\n[o]\r\n", "s2", "<no value>", "2",
        "[settings]\r\ns1=1\r\ns2=2\r\n[o]\r\n");
    row("CRLF new section", "[other]\r\nx=1\r\n", "s1", "<no value>", "07",
        "[other]\r\nx=1\r\n[settings]\r\ns1=07\r\n");
    row("bytes that are not UTF-8 survive", "\xff\xfe\n[settings]\nx=\xc3\ns1=01\n", "s1", "01", "07",
        "\xff\xfe\n[settings]\nx=\xc3\ns1=07\n");
    row("UTF-8 key in another case, UTF-8 value", "[settings]\n\xc3\x89t\xc3\xa9=1\n", "\xc3\xa9t\xc3\xa9",
        "1", "h\xc3\xa9 \xf0\x9f\x95\x90", "[settings]\n\xc3\x89t\xc3\xa9=h\xc3\xa9 \xf0\x9f\x95\x90\n");
    row("bytes that are not UTF-8 match no key", "[settings]\n\xff=1\n", QString(QChar(0xfffd)), "<no value>",
        "2", "[settings]\n\xff=1\n\xef\xbf\xbd=2\n");
    row("start-up spelling of the file name", s101, "s2", "<no value>", "2", s101 + "s2=2\n", {}, "data.HXdata");
    row("empty key", s101, " ", "<no value>", "07", {}, "\" \" cannot be a key name");
    row("= in key", s101, "s1=x", "<no value>", "07", {}, "\"s1=x\" cannot be a key name");
    row("key like a header", s101, "[s1]", "<no value>", "07", {}, "\"[s1]\" cannot be a key name");
    row("line break in key", s101, "s1\ns2", "<no value>", "07", {}, "\"s1\ns2\" cannot be a key name");
    const QString lineBreak = "the value of s1 holds a line break or a NUL character";
    row("carriage return in value", s101, "s1", "01", "07\r", {}, lineBreak);
    row("NUL in value", s101, "s1", "01", QString::fromLatin1("0\0" "7", 3), {}, lineBreak);
}

// Bad files never crash: reads give what the rules give, or the default; writes work or fail.
void TstSettings::badFiles_data()
{
    columns();
    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : binary)
        c = char(rng.bounded(256));
    binary.replace('[', '(').replace('\r', '.').back() = '\0'; // no header, LF only, no final newline
    const QByteArray nuls = "\0\0[settings]\0\n\0\n[settings]\ns1=\0" "07\n"_ba;
    const QByteArray mebibyte = "[settings]\ns1=07\n;" + QByteArray(1024 * 1024 - 18, '-');
    const QString clock = QString::fromUtf8("\xf0\x9f\x95\x90"); // two UTF-16 units

    row("binary", binary, "s1", "<no value>", "30", binary + "\n[settings]\ns1=30\n");
    row("NUL bytes; NUL ends a value", nuls, "s1", "", "30", "\0\0[settings]\0\n\0\n[settings]\ns1=30\n"_ba);
    row("no final newline, replace", "[settings]\ns1=1", "s1", "1", "07", "[settings]\ns1=07");
    row("no final newline after the header", "[settings]", "s1", "<no value>", "07", "[settings]\ns1=07");
    row("no final newline, new section", "[o]\nx=1", "s1", "<no value>", "07", "[o]\nx=1\n[settings]\ns1=07\n");
    row("only a byte-order mark", "\xEF\xBB\xBF", "s1", "<no value>", "07", "\xEF\xBB\xBF[settings]\ns1=07\n");
    // Reads are cut to 255 characters; a character of two UTF-16 units across the cut goes whole.
    row("300 characters", "[settings]\ns1=" + QByteArray(300, 'x'), "s1", QString(255, 'x'), "07",
        "[settings]\ns1=07");
    row("a character across the cut", "[settings]\ns1=" + QByteArray(254, 'y') + clock.toUtf8() + "z", "s1",
        QString(254, 'y'), "07", "[settings]\ns1=07");
    row("a character before the cut", "[settings]\ns1=" + QByteArray(253, 'y') + clock.toUtf8() + "z", "s1",
        QString(253, 'y') + clock, "07", "[settings]\ns1=07");
    row("a directory as the file", {}, "s1", "<no value>", "07", {}, "it is a directory", "Data.HXDATA/");
    row("1 MiB is still read", mebibyte, "s1", "07", "08", QByteArray(mebibyte).replace("s1=07", "s1=08"));
    row("a write would grow it beyond 1 MiB", mebibyte, "s1", "07", "070", {},
        "the file would grow beyond 1 MiB");
    row("larger than 1 MiB", mebibyte + "-", "s1", "<no value>", "08", {},
        "the file is larger than 1 MiB and is left as it is");
}

// The settings file holds before; key reads as reads; writing value leaves after, or fails with
// reason and changes nothing on disk. A file whose name only looks like the settings file's lies
// beside it and is never touched.
void TstSettings::rules()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, reads);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = QDir::cleanPath(dir.filePath(file));
    put(dir.filePath("data.hxdata~"), "[settings]\ns1=99\ns2=99\n");
    if (file.endsWith('/'))
        QVERIFY(QDir(dir.path()).mkdir(file));
    else if (!before.isNull())
        put(path, before);
    QMap<QString, QByteArray> disk = snapshot(dir.path());

    SettingsStore store(dir.path());
    QCOMPARE(store.readKey(key), reads);
    const WriteResult result = store.writeKey(key, value);
    if (reason.isEmpty()) {
        QVERIFY2(result && result.error.isEmpty(), qPrintable(result.error));
        QCOMPARE(contents(path), after);
        QCOMPARE(store.readKey(key), value);
        disk[path] = after;
    } else {
        QVERIFY(!result);
        QCOMPARE(result.error, "cannot write " + path + ": " + reason);
    }
    QVERIFY(snapshot(dir.path()) == disk); // no lock, temporary or second file left
}

void TstSettings::failedWrites_data()
{
    QTest::addColumn<QString>("where"); // relative to the temporary directory, or absolute
    QTest::addColumn<QString>("reason"); // "PID" stands for this process's id
    QTest::newRow("below a regular file") << "plain/sub" << "Not a directory";
    QTest::newRow("the directory is a regular file") << "plain" << "plain is not a directory";
    QTest::newRow("a file system that takes no files") << "/proc" << "lock file";
    QTest::newRow("no write permission") << "locked" << "Permission denied";
    QTest::newRow("a directory as the lock file") << "lockdir" << "data.hxdata.lock: it is a directory";
    QTest::newRow("the lock held by another copy")
        << "held" << "another copy of Horalux (process PID) is writing the settings";
}

// A "Set Hour" of the block writes four keys together. The write fails with a reason, even for
// root, and nothing changes on disk. It gives up within about 2 seconds when another copy holds
// the lock, and at once for anything else. Root may write to any directory, so as root the write
// to a directory without write permission runs as the user nobody.
void TstSettings::failedWrites()
{
    QFETCH(QString, where);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString directory = QDir::isAbsolutePath(where) ? where : dir.filePath(where);
    put(dir.filePath("plain"), "[settings]\ns1=01\n");
    for (const char *sub : {"locked", "lockdir", "lockdir/data.hxdata.lock", "held"})
        QVERIFY(QDir(dir.path()).mkdir(sub));
    put(dir.filePath("locked/data.hxdata"), "[settings]\ns1=01\n");
    QLockFile other(dir.filePath("held/data.hxdata.lock"));
    QVERIFY(other.tryLock(0));
    const auto reachable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), reachable | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(dir.filePath("locked"), reachable));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir.filePath("locked"), reachable | QFile::WriteOwner);
    });
    const QMap<QString, QByteArray> disk = snapshot(dir.path());

    QString error;
    QElapsedTimer waited;
    waited.start();
    if (where == "locked" && ::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: no way to be refused a write");
        for (QString p : {QCoreApplication::applicationDirPath(), dir.path()})
            for (; p != "/"; p = QFileInfo(p).path())
                if (!(QFileInfo(p).permissions() & QFile::ExeOther))
                    QSKIP(qPrintable("the user nobody cannot reach " + p));
        QProcess child;
        child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups",
                              QCoreApplication::applicationFilePath(), "--write", directory, "7", "7", "s1"});
        QVERIFY(child.waitForFinished(10000));
        error = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        if (error.startsWith("setpriv:"))
            QSKIP(qPrintable("cannot run as the user nobody: " + error));
        QCOMPARE(child.exitCode(), 1);
    } else {
        const WriteResult result = SettingsStore(directory).writeKeys({{"i1", "22"}, {"i2", "00"}, {"f1", "06"}, {"f2", "15"}});
        QVERIFY(!result);
        error = result.error;
    }
    const qint64 ms = waited.elapsed();
    QVERIFY2(error.startsWith("cannot write " + directory + "/data.hxdata: ")
                 && error.contains(QString(reason).replace("PID", QString::number(QCoreApplication::applicationPid()))),
             qPrintable(error));
    QVERIFY2(where == "held" ? ms >= 1900 && ms < 3500 : ms < 1000, qPrintable(QString::number(ms) + " ms"));
    QVERIFY(snapshot(dir.path()) == disk);
}

// The first write creates the directory. A lock left by a process that is gone, or left empty by
// one killed before it could fill it, is taken over.
void TstSettings::lock()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("new/sub"));
    QVERIFY(store.writeKey("s1", "01"));
    const QString path = dir.filePath("new/sub/data.hxdata");
    const QString lockPath = path + ".lock";

    QProcess gone;
    gone.start("/bin/true");
    QVERIFY(gone.waitForStarted(5000));
    const qint64 pid = gone.processId(); // 0 once it has finished
    QVERIFY(gone.waitForFinished(5000));
    put(lockPath, QByteArray::number(pid) + "\nhoralux\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QVERIFY(store.writeKey("s1", "04"));
    QFile empty(lockPath);
    QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(empty.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime));
    const WriteResult takenOver = store.writeKey("s1", "05");
    QVERIFY2(takenOver, qPrintable(takenOver.error));
    QCOMPARE(snapshot(dir.path()), (QMap<QString, QByteArray>{{dir.filePath("new"), "(directory)"},
                                                              {dir.filePath("new/sub"), "(directory)"},
                                                              {path, "[settings]\ns1=05\n"}}));
}

void TstSettings::directoryChoice_data()
{
    QTest::addColumn<QString>("app"); // the program's folder
    QTest::addColumn<bool>("holdsFile");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("beside"); // the settings stay beside the program, else per user
    const auto row = [](const char *name, const char *app, bool holdsFile, bool writable, bool beside) {
        QTest::newRow(name) << QString(app) << holdsFile << writable << beside;
    };
    row("a folder of one's own", "/home/me/horalux", false, true, true);
    row("a read-only folder holding the file", "/media/stick/horalux", true, false, true);
    row("a read-only folder", "/opt/horalux", false, false, false);
    // Installed: the configured install folder, or anywhere under /usr, for root too.
    row("root in the install folder", "/srv/prefix/bin/", true, true, false);
    row("root in /usr/bin", "/usr/bin", true, true, false);
    row("root in /usr", "/usr", false, true, false);
    row("beside /usr", "/usrlocal/bin", false, true, true);
}

void TstSettings::directoryChoice()
{
    QFETCH(QString, app);
    QFETCH(bool, holdsFile);
    QFETCH(bool, writable);
    QFETCH(bool, beside);
    const QString config = "/home/me/.config/horalux";
    QCOMPARE(SettingsStore::chooseDirectory(app, holdsFile, writable, "/srv/prefix/bin", config),
             beside ? app : config);
}

// A child keeps rewriting s1 with 1, 2, 3, ... and is killed (SIGKILL) at random moments, five
// times. Reads made meanwhile always find a whole file and never an older value after a newer one.
// After each kill s1 holds the last value the child reported written, or the one it was writing,
// and every other byte is as before.
void TstSettings::killedWriterLeavesOldOrNewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.hxdata");
    const auto fileWith = [](qint64 s1) {
        return "; horalux\n[settings]\ns1=" + QByteArray::number(s1) + "\ns2=45\nUnknown = kept\n\n[o]\ns1=x\n";
    };
    put(path, fileWith(0));
    QRandomGenerator rng(42);
    qint64 value = 0;
    for (int round = 0; round < 5; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--write", dir.path(), QString::number(value + 1), "0", "s1"});
        QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData()); // a write is done
        QElapsedTimer running;
        running.start();
        const qint64 until = rng.bounded(40);
        qint64 seen = value;
        do {
            bool number = false;
            const QString read = SettingsStore(dir.path()).readKey("s1");
            QVERIFY2(read.toLongLong(&number) >= seen && number,
                     qPrintable(read + " after " + QString::number(seen)));
            seen = read.toLongLong();
            QThread::usleep(100);
        } while (running.elapsed() < until);
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, child.readAllStandardError().constData());

        QList<QByteArray> reports = child.readAllStandardOutput().split('\n');
        reports.removeLast(); // empty, or a line cut short by the kill
        const qint64 reported = reports.isEmpty() ? value : reports.last().toLongLong();
        const QByteArray now = contents(path);
        QVERIFY2(now == fileWith(reported) || now == fileWith(reported + 1),
                 qPrintable(QString("round %1, last reported %2, file:\n").arg(round).arg(reported) + now));
        value = SettingsStore(dir.path()).readKey("s1").toLongLong();
    }
    QVERIFY(SettingsStore(dir.path()).writeKey("s2", "46")); // no lock left that a write trips over
    QCOMPARE(contents(path), fileWith(value).replace("s2=45", "s2=46"));
    QVERIFY(!QFile::exists(path + ".lock")); // (a temporary file of a killed write may stay behind)
}

// Two writers set six keys each, twenty rounds at the same time; afterwards every key holds
// its last value.
void TstSettings::twoWritersLoseNoKey()
{
    QTemporaryDir dir;
    const QStringList keys = {"s1", "s2", "l1", "l2", "e1", "e2", "i1", "i2", "f1", "f2", "days", "systray"};
    QProcess a;
    QProcess b;
    const QStringList args = {"--write", dir.path(), "1", "20"};
    a.start(QCoreApplication::applicationFilePath(), args + keys.mid(0, 6));
    b.start(QCoreApplication::applicationFilePath(), args + keys.mid(6));
    for (QProcess *writer : {&a, &b}) {
        QVERIFY(writer->waitForFinished(60000));
        QVERIFY2(writer->exitStatus() == QProcess::NormalExit && writer->exitCode() == 0,
                 writer->readAllStandardError().constData());
    }
    for (const QString &key : keys)
        QCOMPARE(SettingsStore(dir.path()).readKey(key), QStringLiteral("20"));
    QCOMPARE(contents(dir.filePath("data.hxdata")).count('\n'), 13); // the header and twelve keys, once
    QCOMPARE(snapshot(dir.path()).keys(), QStringList{dir.filePath("data.hxdata")});
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == "--write")
        return writer(app.arguments().mid(2));
    TstSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
