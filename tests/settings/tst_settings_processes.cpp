// Writers killed in the middle of a write, and two writers at once.
#include "settings/settings_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

const QByteArray kTemplate =
    "; horalux settings\n"
    "[settings]\n"
    "s1=%1\n"
    "s2=45\n"
    "l1=\n"
    "Unknown = kept\n"
    "\n"
    "[other]\n"
    "s1=never\n";

QByteArray fileWith(qint64 s1)
{
    QByteArray text = kTemplate;
    return text.replace("%1", QByteArray::number(s1));
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The last number the writer reported on complete lines, or fallback when it reported none.
qint64 lastReported(const QByteArray &output, qint64 fallback)
{
    const qsizetype end = output.lastIndexOf('\n');
    if (end < 0)
        return fallback;
    const qsizetype start = output.lastIndexOf('\n', end - 1) + 1;
    bool ok = false;
    const qint64 value = output.mid(start, end - start).toLongLong(&ok);
    return ok ? value : fallback;
}

} // namespace

class TstSettingsProcesses : public QObject {
    Q_OBJECT

private slots:
    void killedWriterLeavesOldOrNewFile();
    void twoWritersLoseNoKey();
};

// A child keeps rewriting s1 with 1, 2, 3, ... and is killed (SIGKILL) at random moments. Reads
// made meanwhile always find a whole file. After each kill the file is whole: s1 holds the last
// value the child reported written, or the one it was writing, and every other byte is as before.
void TstSettingsProcesses::killedWriterLeavesOldOrNewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.hxdata");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fileWith(0));
    }
    QRandomGenerator rng(42);
    qint64 value = 0;
    int killedMidway = 0;
    int reads = 0;
    for (int round = 0; round < 40; ++round) {
        QProcess child;
        child.start(SETTINGS_WRITER, {dir.path(), "count", "s1", QString::number(value + 1)});
        QVERIFY(child.waitForStarted(5000));
        // Once it has written something, let it go on for a random while.
        QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
        // Until the kill, read along: a reader never sees a file half written, and never an
        // older value after a newer one.
        QElapsedTimer running;
        running.start();
        const qint64 until = rng.bounded(40);
        qint64 seen = value;
        do {
            bool number = false;
            const QString read = SettingsStore(dir.path()).readKey("s1");
            const qint64 now = read.toLongLong(&number);
            QVERIFY2(number && now >= seen, qPrintable(QString("read %1 after %2").arg(read).arg(seen)));
            seen = now;
            ++reads;
            QThread::usleep(100);
        } while (running.elapsed() < until);
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 child.readAllStandardError().constData()); // it never stops on its own

        const qint64 reported = lastReported(child.readAllStandardOutput(), value);
        const QByteArray now = contents(path);
        QVERIFY2(now == fileWith(reported) || now == fileWith(reported + 1),
                 qPrintable(QString("round %1, last reported %2, file:\n%3")
                                .arg(round).arg(reported).arg(QString::fromUtf8(now))));
        if (now == fileWith(reported + 1))
            ++killedMidway;
        const qint64 read = SettingsStore(dir.path()).readKey("s1").toLongLong();
        QVERIFY(read == reported || read == reported + 1);
        value = read;
    }
    qInfo("%lld writes in all, %d kills after a write was done but before it was reported, "
          "%d reads alongside", value, killedMidway, reads);
    // No stray lock is left that a later write would trip over.
    QVERIFY(SettingsStore(dir.path()).writeKey("s2", "46"));
    QByteArray expected = fileWith(value);
    QCOMPARE(contents(path), expected.replace("s2=45", "s2=46"));
    QVERIFY(!QFile::exists(dir.filePath("data.hxdata.lock")));
}

// Two writers set six keys each, a hundred rounds (six hundred writes each) at the same time;
// afterwards every key holds its last value.
void TstSettingsProcesses::twoWritersLoseNoKey()
{
    QTemporaryDir dir;
    const int rounds = 100;
    const QStringList first = {"s1", "s2", "l1", "l2", "e1", "e2"};
    const QStringList second = {"i1", "i2", "f1", "f2", "days", "systray"};
    QProcess a;
    QProcess b;
    a.start(SETTINGS_WRITER, QStringList{dir.path(), "rounds", QString::number(rounds)} + first);
    b.start(SETTINGS_WRITER, QStringList{dir.path(), "rounds", QString::number(rounds)} + second);
    QVERIFY(a.waitForFinished(60000));
    QVERIFY(b.waitForFinished(60000));
    QVERIFY2(a.exitStatus() == QProcess::NormalExit && a.exitCode() == 0, a.readAllStandardError().constData());
    QVERIFY2(b.exitStatus() == QProcess::NormalExit && b.exitCode() == 0, b.readAllStandardError().constData());

    SettingsStore store(dir.path());
    for (const QString &key : first + second)
        QCOMPARE(store.readKey(key), key + "-" + QString::number(rounds));
    const QByteArray text = contents(store.filePath());
    QCOMPARE(text.count('\n'), 13); // the header and twelve keys, nothing twice
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"data.hxdata"});
}

QTEST_GUILESS_MAIN(TstSettingsProcesses)
#include "tst_settings_processes.moc"
