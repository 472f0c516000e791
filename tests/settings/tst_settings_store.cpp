// The settings file on disk: file name, values, bad files, failed writes and the lock.
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QStringList kKeys = {"s1", "s2", "l1", "l2", "e1", "e2", "i1", "i2", "f1", "f2", "days", "systray"};

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "(unreadable)";
    return file.readAll();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TstSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void missingFileReadsDefault();
    void firstWriteCreatesFile();
    void laterWriteReplacesAndKeepsOthers();
    void fileNameInAnyCase_data();
    void fileNameInAnyCase();
    void valuesReadBack_data();
    void valuesReadBack();
    void longValuesAreCut();
    void refusedKeysAndValues_data();
    void refusedKeysAndValues();
    void badFiles_data();
    void badFiles();
    void settingsFileIsADirectory();
    void oversizedFile();
    void writeThatWouldOutgrowTheLimit();
    void unwritableDirectory_data();
    void unwritableDirectory();
    void permissionDenied();
    void busyLockFailsAfterTimeout();
    void writeWaitsForTheLock();
    void leftoverLocksAreTakenOver();
    void directoryChoice();
};

void TstSettingsStore::missingFileReadsDefault()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QCOMPARE(store.directory(), dir.path());
    QCOMPARE(store.filePath(), dir.filePath("data.hxdata"));
    for (const QString &key : kKeys)
        QCOMPARE(store.readKey(key), QStringLiteral("<no value>"));
    QVERIFY(entries(dir.path()).isEmpty()); // reading creates nothing
}

void TstSettingsStore::firstWriteCreatesFile()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("new/sub")); // created on the first write
    QVERIFY(store.writeKey("s1", "07"));
    QCOMPARE(contents(dir.filePath("new/sub/data.hxdata")), QByteArray("[settings]\ns1=07\n"));
    QCOMPARE(entries(dir.filePath("new/sub")), QStringList{"data.hxdata"}); // no lock, no temporary left
    QCOMPARE(store.readKey("s1"), QStringLiteral("07"));
}

void TstSettingsStore::laterWriteReplacesAndKeepsOthers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.hxdata");
    put(path, "; my times\r\n[settings]\r\ns1=01\r\nunknown=x\r\n\r\n[mine]\r\ns1=zz\r\n");
    SettingsStore store(dir.path());
    QVERIFY(store.writeKey("s1", "07"));
    QVERIFY(store.writeKey("s1", "08"));
    QVERIFY(store.writeKey("s2", "")); // an empty value is written as "s2="
    QCOMPARE(contents(path),
             QByteArray("; my times\r\n[settings]\r\ns1=08\r\nunknown=x\r\ns2=\r\n\r\n[mine]\r\ns1=zz\r\n"));
    QCOMPARE(store.readKey("s1"), QStringLiteral("08"));
    QCOMPARE(store.readKey("s2"), QString(""));
    QCOMPARE(store.readKey("UNKNOWN"), QStringLiteral("x"));
}

void TstSettingsStore::fileNameInAnyCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("start-up spelling") << "data.HXdata";
    QTest::newRow("capitals") << "DATA.HXDATA";
    QTest::newRow("mixed") << "Data.HxData";
}

void TstSettingsStore::fileNameInAnyCase()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    put(dir.filePath(name), "[settings]\ns1=07\n");
    put(dir.filePath("data.hxdata.bak"), "[settings]\ns1=99\n");
    SettingsStore store(dir.path());
    QCOMPARE(store.filePath(), dir.filePath(name));
    QCOMPARE(store.readKey("s1"), QStringLiteral("07"));
    QVERIFY(store.writeKey("s2", "30"));
    QCOMPARE(contents(dir.filePath(name)), QByteArray("[settings]\ns1=07\ns2=30\n"));
    QCOMPARE(entries(dir.path()), (QStringList{name, "data.hxdata.bak"}));
}

void TstSettingsStore::valuesReadBack_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("hour") << "07";
    QTest::newRow("empty") << "";
    QTest::newRow("UTF-8") << QString::fromUtf8("h\xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x95\x90");
    QTest::newRow("equals and semicolon") << "a=b;c";
    QTest::newRow("blanks at the ends") << "  07 ";
    QTest::newRow("quotes at the ends") << "\"07\"";
    QTest::newRow("single quotes at the ends") << "'07'";
    QTest::newRow("one quote") << "\"";
    QTest::newRow("brackets") << "[settings]";
    QTest::newRow("the default text") << "<no value>";
}

void TstSettingsStore::valuesReadBack()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.writeKey("e1", "x"));
    const WriteResult result = store.writeKey("e1", value);
    QVERIFY2(result, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
    QCOMPARE(store.readKey("e1"), value);
    QCOMPARE(SettingsStore(dir.path()).readKey("E1"), value);
}

void TstSettingsStore::longValuesAreCut()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    const QString longValue = QString(300, QChar('x'));
    QVERIFY(store.writeKey("s1", longValue));
    QVERIFY(contents(store.filePath()).contains("s1=" + longValue.toLatin1() + "\n")); // stored whole
    QCOMPARE(store.readKey("s1"), longValue.left(255));
    QCOMPARE(store.readKey("s1").size(), 255);

    // A character of two UTF-16 units across the cut is dropped whole.
    const QString clock = QString::fromUtf8("\xf0\x9f\x95\x90");
    QVERIFY(store.writeKey("s2", QString(254, QChar('y')) + clock + "z"));
    QCOMPARE(store.readKey("s2"), QString(254, QChar('y')));
    QVERIFY(store.writeKey("s2", QString(253, QChar('y')) + clock + "z"));
    QCOMPARE(store.readKey("s2"), QString(253, QChar('y')) + clock);

    // A shorter read after a long one is not polluted by what the buffer held before.
    QVERIFY(store.writeKey("l1", "ab"));
    QCOMPARE(store.readKey("s1").size(), 255);
    QCOMPARE(store.readKey("l1"), QStringLiteral("ab"));
}

void TstSettingsStore::refusedKeysAndValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("line break in value") << "s1" << "07\n[settings]\ns2=1";
    QTest::newRow("carriage return in value") << "s1" << "07\r";
    QTest::newRow("NUL in value") << "s1" << QString::fromLatin1("0\0" "7", 3);
    QTest::newRow("empty key") << " " << "07";
    QTest::newRow("= in key") << "s1=x" << "07";
    QTest::newRow("key like a header") << "[s1]" << "07";
    QTest::newRow("line break in key") << "s1\ns2" << "07";
}

void TstSettingsStore::refusedKeysAndValues()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QByteArray before = "[settings]\ns1=01\n";
    put(dir.filePath("data.hxdata"), before);
    const WriteResult result = SettingsStore(dir.path()).writeKey(key, value);
    QVERIFY(!result);
    QVERIFY2(result.error.startsWith("cannot write " + dir.filePath("data.hxdata") + ": "),
             qPrintable(result.error));
    QCOMPARE(contents(dir.filePath("data.hxdata")), before);
}

void TstSettingsStore::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("s1");       // what s1 reads
    QTest::addColumn<QByteArray>("after"); // the file once s2 is written

    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : binary)
        c = char(rng.bounded(256));
    binary.replace('[', '('); // no header by chance
    const qsizetype firstNewline = binary.indexOf('\n');
    const QByteArray eol = firstNewline > 0 && binary.at(firstNewline - 1) == '\r' ? "\r\n" : "\n";
    const char nullLiteral[] = "\0\0[settings]\0\n\0\n[settings]\ns1=\0" "07\n";
    const QByteArray nulls(nullLiteral, sizeof nullLiteral - 1);
    const QByteArray megabyte(1000000, 'x');

    QTest::newRow("binary") << binary << "<no value>"
                            << binary + (binary.endsWith('\n') ? "" : eol) + "[settings]" + eol + "s2=30" + eol;
    QTest::newRow("NUL bytes") << nulls << "" << nulls + "s2=30\n";
    QTest::newRow("megabyte line") << megabyte + "\n[settings]\ns1=07" << "07"
                                   << megabyte + "\n[settings]\ns1=07\ns2=30";
    QTest::newRow("megabyte value") << "[settings]\ns1=" + megabyte << QString(255, QChar('x'))
                                    << "[settings]\ns1=" + megabyte + "\ns2=30";
    QTest::newRow("header without ]") << QByteArray("[settings\ns1=07\n") << "<no value>"
                                      << QByteArray("[settings\ns1=07\n[settings]\ns2=30\n");
    QTest::newRow("no final newline") << QByteArray("[settings]\ns1=07") << "07"
                                      << QByteArray("[settings]\ns1=07\ns2=30");
    QTest::newRow("only a CR") << QByteArray("\r") << "<no value>" << QByteArray("\r\n[settings]\ns2=30\n");
}

void TstSettingsStore::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, s1);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.hxdata");
    put(path, bytes);
    SettingsStore store(dir.path());
    QCOMPARE(store.readKey("s1"), s1);
    QCOMPARE(store.readKey("s2"), QStringLiteral("<no value>"));

    const WriteResult result = store.writeKey("s2", "30");
    QVERIFY2(result, qPrintable(result.error));
    QVERIFY(contents(path) == after); // QCOMPARE would print a megabyte
    QCOMPARE(store.readKey("s2"), QStringLiteral("30"));
    QCOMPARE(store.readKey("s1"), s1);
}

void TstSettingsStore::settingsFileIsADirectory()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Data.HXDATA"));
    SettingsStore store(dir.path());
    QCOMPARE(store.readKey("s1"), QStringLiteral("<no value>"));
    const WriteResult result = store.writeKey("s1", "07");
    QVERIFY(!result);
    QCOMPARE(result.error, "cannot write " + dir.filePath("Data.HXDATA") + ": it is a directory");
    QCOMPARE(entries(dir.path()), QStringList{"Data.HXDATA"}); // no second file beside it
}

void TstSettingsStore::oversizedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.hxdata");
    // 1 MiB itself is still read; a write that would make it larger fails.
    const QByteArray full = "[settings]\ns1=07\n;" + QByteArray(1024 * 1024 - 18, '-');
    QCOMPARE(full.size(), 1024 * 1024);
    put(path, full);
    QCOMPARE(SettingsStore(dir.path()).readKey("s1"), QStringLiteral("07"));
    const WriteResult grow = SettingsStore(dir.path()).writeKey("s1", "070");
    QVERIFY(!grow);
    QCOMPARE(grow.error, "cannot write " + path + ": the file would grow beyond 1 MiB");
    QVERIFY(SettingsStore(dir.path()).writeKey("s1", "08")); // same size
    QCOMPARE(SettingsStore(dir.path()).readKey("s1"), QStringLiteral("08"));

    const QByteArray bytes = "[settings]\ns1=07\n;" + QByteArray(1024 * 1024 - 17, '-');
    QCOMPARE(bytes.size(), 1024 * 1024 + 1);
    put(path, bytes);
    SettingsStore store(dir.path());
    QCOMPARE(store.readKey("s1"), QStringLiteral("<no value>"));
    const WriteResult result = store.writeKey("s1", "08");
    QVERIFY(!result);
    QCOMPARE(result.error, "cannot write " + path + ": the file is larger than 1 MiB and is left as it is");
    QCOMPARE(contents(path), bytes);
    QCOMPARE(entries(dir.path()), QStringList{"data.hxdata"});
}

void TstSettingsStore::writeThatWouldOutgrowTheLimit()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.writeKey("s1", "07"));
    const QByteArray before = contents(store.filePath());
    const WriteResult result = store.writeKey("s2", QString(1024 * 1024, QChar('x')));
    QVERIFY(!result);
    QVERIFY2(result.error.contains("1 MiB"), qPrintable(result.error));
    QCOMPARE(contents(store.filePath()), before);
}

void TstSettingsStore::unwritableDirectory_data()
{
    QTest::addColumn<QString>("where"); // relative to the temporary directory, or absolute
    QTest::addColumn<QString>("reason");
    QTest::newRow("below a regular file") << "plain/sub" << "Not a directory";
    QTest::newRow("the directory is a regular file") << "plain" << "plain is not a directory";
    QTest::newRow("a file system that takes no files") << "/proc" << "lock file";
}

void TstSettingsStore::unwritableDirectory()
{
    QFETCH(QString, where);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    put(dir.filePath("plain"), "not a directory\n");
    const QString directory = QDir::isAbsolutePath(where) ? where : dir.filePath(where);
    SettingsStore store(directory);
    const WriteResult result = store.writeKey("s1", "07");
    QVERIFY(!result);
    QVERIFY2(result.error.startsWith("cannot write " + directory + "/data.hxdata: "), qPrintable(result.error));
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QCOMPARE(contents(dir.filePath("plain")), QByteArray("not a directory\n"));
    QCOMPARE(entries(dir.path()), QStringList{"plain"});
    QCOMPARE(store.readKey("s1"), QStringLiteral("<no value>"));
}

// A directory the user may not write to. Root may write anywhere, so as root the write runs in a
// child process under the unprivileged user nobody.
void TstSettingsStore::permissionDenied()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString locked = dir.filePath("locked");
    const QByteArray before = "[settings]\ns1=01\n";
    put(locked + "/data.hxdata", before);
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                              | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(locked + "/data.hxdata", QFile::ReadOwner | QFile::ReadOther));

    QString error;
    if (::geteuid() != 0) {
        const WriteResult result = SettingsStore(locked).writeKey("s1", "07");
        QVERIFY(!result);
        error = result.error;
    } else {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: no way to be refused a write");
        // nobody must be able to reach the writer and the directory.
        for (QString p = QFileInfo(SETTINGS_WRITER).absolutePath(); p != "/"; p = QFileInfo(p).path())
            if (!(QFileInfo(p).permissions() & QFile::ExeOther))
                QSKIP("the test programs cannot be reached by the user nobody");
        for (QString p = QFileInfo(dir.path()).path(); p != "/"; p = QFileInfo(p).path())
            if (!(QFileInfo(p).permissions() & QFile::ExeOther))
                QSKIP("the temporary directory cannot be reached by the user nobody");
        QProcess child;
        child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", SETTINGS_WRITER,
                              locked, "once", "s1", "07"});
        QVERIFY(child.waitForFinished(10000));
        error = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        if (error.startsWith("setpriv:"))
            QSKIP(qPrintable("cannot run as the user nobody: " + error));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
    }
    QVERIFY2(error.startsWith("cannot write " + locked + "/data.hxdata: "), qPrintable(error));
    QVERIFY2(error.contains("Permission denied"), qPrintable(error));
    QCOMPARE(contents(locked + "/data.hxdata"), before);
    QCOMPARE(entries(locked), QStringList{"data.hxdata"});
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TstSettingsStore::busyLockFailsAfterTimeout()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.writeKey("s1", "01"));
    const QByteArray before = contents(store.filePath());

    QLockFile other(dir.filePath("data.hxdata.lock")); // another copy of the program, mid-write
    QVERIFY(other.tryLock(0));
    store.setLockTimeout(300ms);
    const WriteResult result = store.writeKey("s1", "07");
    QVERIFY(!result);
    QCOMPARE(result.error, "cannot write " + dir.filePath("data.hxdata")
                               + ": another program has been writing it for more than 0.3 seconds; try again");
    QCOMPARE(contents(store.filePath()), before);
    QCOMPARE(store.readKey("s1"), QStringLiteral("01")); // reads do not wait for the lock

    other.unlock();
    QVERIFY(store.writeKey("s1", "07"));
    QCOMPARE(store.readKey("s1"), QStringLiteral("07"));
}

void TstSettingsStore::writeWaitsForTheLock()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QLockFile other(dir.filePath("data.hxdata.lock"));
    QVERIFY(other.tryLock(0));
    std::thread release([&other] {
        std::this_thread::sleep_for(150ms);
        other.unlock();
    });
    const WriteResult result = store.writeKey("s1", "07"); // waits up to 5 seconds
    release.join();
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(store.readKey("s1"), QStringLiteral("07"));
}

void TstSettingsStore::leftoverLocksAreTakenOver()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    store.setLockTimeout(3000ms);
    const QString lockPath = dir.filePath("data.hxdata.lock");

    // Left by a process that no longer runs.
    QProcess gone;
    gone.start("/bin/true");
    QVERIFY(gone.waitForFinished(5000));
    put(lockPath, QByteArray::number(gone.processId()) + "\nhoralux\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QVERIFY(store.writeKey("s1", "07"));
    QVERIFY(!QFile::exists(lockPath));

    // Empty: its writer was killed before it could fill it.
    put(lockPath, "");
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::ReadWrite));
    QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime));
    lock.close();
    const WriteResult result = store.writeKey("s1", "08");
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(store.readKey("s1"), QStringLiteral("08"));
}

void TstSettingsStore::directoryChoice()
{
    QTemporaryDir dir;
    const QString config = dir.filePath("config/horalux");
    // A writable program directory is used.
    QCOMPARE(SettingsStore::chooseDirectory(dir.path(), config), dir.path());
    // One that holds the settings file is used too, whatever the letter case of its name.
    QVERIFY(QDir(dir.path()).mkdir("app"));
    put(dir.filePath("app/DATA.hxdata"), "[settings]\n");
    QCOMPARE(SettingsStore::chooseDirectory(dir.filePath("app"), config), dir.filePath("app"));
    // One that cannot be written to goes to the configuration directory.
    put(dir.filePath("plain"), "");
    QCOMPARE(SettingsStore::chooseDirectory(dir.filePath("plain"), config), config);
    QCOMPARE(SettingsStore::chooseDirectory(dir.filePath("plain/bin"), config), config);

    // The running program's directory when it may be written (the build directory usually is).
    const QString app = QCoreApplication::applicationDirPath();
    QCOMPARE(SettingsStore::defaultDirectory(),
             QFileInfo(app).isWritable() ? app
                                         : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settings_store.moc"
