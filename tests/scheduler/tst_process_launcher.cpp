// The real launcher against recording stand-ins placed first on PATH. The real systemctl and
// loginctl are never reached: initTestCase refuses to go on unless PATH finds the stand-ins.

#include "fakes.h"
#include "scheduler/actions.h"
#include "scheduler/process_launcher.h"
#include "scheduler/scheduler.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Writes its own path and then each argument on a line of a new file in $HORALUX_RECORDS,
// renamed into place when complete so a reader never sees half a record.
const char kRecorder[] = R"(#!/bin/sh
f="$HORALUX_RECORDS/rec.$$"
{ printf '%s\n' "$0"; for a in "$@"; do printf '%s\n' "$a"; done; } > "$f.tmp"
mv "$f.tmp" "$f"
)";

bool writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        perms |= QFile::ExeOwner;
    return file.setPermissions(perms);
}

} // namespace

class TstProcessLauncher : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void systemCommandsReachTheStandIns();
    void programs_data();
    void programs();
    void failures_data();
    void failures();
    void bareNameIsNotTakenFromTheCurrentDirectory();
    void schedulerKeepsTickingAfterFailedLaunches();

private:
    QStringList waitForRecords(int count);
    QString path(const QString &relative) const { return tmp_.filePath(relative); }

    QTemporaryDir tmp_;
    QString records_;
};

void TstProcessLauncher::initTestCase()
{
    QVERIFY(tmp_.isValid());
    const QString bin = path("bin");
    records_ = path("records");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(records_));
    QVERIFY(QDir().mkpath(path("my programs")));
    for (const char *name : {"systemctl", "loginctl", "xdg-open", "recorder"})
        QVERIFY(writeFile(bin + '/' + QLatin1String(name), kRecorder, true));
    QVERIFY(writeFile(path("my programs/run me"), kRecorder, true));
    QVERIFY(writeFile(path("my programs/report of 5;6.txt"), "a document\n", false));
    QVERIFY(writeFile(path("my programs/no run bit.sh"), kRecorder, false));
    QVERIFY(writeFile(path("my programs/garbage"), "\x7f" "ELF but not really\n", true));

    qputenv("PATH", (bin + ':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    qputenv("HORALUX_RECORDS", records_.toLocal8Bit());
    // Never go on unless the system commands resolve to the stand-ins.
    for (const char *name : {"systemctl", "loginctl", "xdg-open"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        QVERIFY2(found == bin + '/' + QLatin1String(name), qPrintable(found));
    }
}

void TstProcessLauncher::init()
{
    QDir dir(records_);
    for (const QString &f : dir.entryList(QDir::Files))
        QVERIFY(dir.remove(f));
}

// Waits (up to a generous limit) until `count` records are complete; returns the records
// there are then, each one's lines joined by '|', sorted.
QStringList TstProcessLauncher::waitForRecords(int count)
{
    QDir dir(records_);
    auto complete = [&] {
        return dir.entryList({QStringLiteral("rec.*")}, QDir::Files)
                .filter(QRegularExpression(QStringLiteral("^rec\\.\\d+$")));
    };
    (void)QTest::qWaitFor([&] { return complete().size() >= count; }, 15000);
    QStringList out;
    for (const QString &name : complete()) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out << QString::fromLocal8Bit(f.readAll()).trimmed().replace('\n', '|');
    }
    out.sort();
    return out;
}

void TstProcessLauncher::systemCommandsReachTheStandIns()
{
    ProcessLauncher launcher;
    QVERIFY(launcher.launch(shutdownCommand()));
    QVERIFY(launcher.launch(logoffCommand()));
    QVERIFY(launcher.launch(logoffCommand())); // twice in a row: two processes
    const QString bin = path("bin");
    QCOMPARE(waitForRecords(3),
             (QStringList{bin + "/loginctl|terminate-session|auto",
                          bin + "/loginctl|terminate-session|auto", bin + "/systemctl|poweroff"}));
}

void TstProcessLauncher::programs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("record"); // "@" stands for the temporary directory

    QTest::newRow("path with spaces runs as a whole")
            << "@/my programs/run me" << "@/my programs/run me";
    QTest::newRow("bare name found on PATH, with arguments")
            << "recorder --at 22:30 now" << "@/bin/recorder|--at|22:30|now";
    QTest::newRow("quoted argument kept together")
            << "recorder \"two words\" one" << "@/bin/recorder|two words|one";
    QTest::newRow("semicolon and command substitution are not interpreted")
            << "recorder a;touch @/pwned $(touch @/pwned2) `id`"
            << "@/bin/recorder|a;touch|@/pwned|$(touch|@/pwned2)|`id`";
    QTest::newRow("quoted path with spaces, with an argument")
            << "\"@/my programs/run me\" --now" << "@/my programs/run me|--now";
    QTest::newRow("document goes to xdg-open")
            << "@/my programs/report of 5;6.txt" << "@/bin/xdg-open|@/my programs/report of 5;6.txt";
    QTest::newRow("script without its run bit goes to xdg-open")
            << "@/my programs/no run bit.sh" << "@/bin/xdg-open|@/my programs/no run bit.sh";
    QTest::newRow("folder goes to xdg-open") << "@/my programs" << "@/bin/xdg-open|@/my programs";
}

void TstProcessLauncher::programs()
{
    QFETCH(QString, text);
    QFETCH(QString, record);
    text.replace('@', tmp_.path());
    record.replace('@', tmp_.path());

    ProcessLauncher launcher;
    QVERIFY(launcher.launch(text));
    QCOMPARE(waitForRecords(1), QStringList{record});
    QVERIFY(!QFile::exists(path("pwned")));
    QVERIFY(!QFile::exists(path("pwned2")));
}

void TstProcessLauncher::failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << "" << "empty command line";
    QTest::newRow("blank") << "   " << "empty command line";
    QTest::newRow("missing file") << "@/my programs/gone" << "no such file";
    QTest::newRow("missing file with arguments") << "/nonexistent/tool --x" << "no such file";
    QTest::newRow("not on PATH") << "horalux-no-such-program -v" << "not found on PATH";
    QTest::newRow("only quotes") << "\"\"" << "no program named";
    QTest::newRow("refused by the system") << "@/my programs/garbage" << "";
}

void TstProcessLauncher::failures()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    text.replace('@', tmp_.path());

    // Exactly one line, naming the command (and the reason when we know it in advance).
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^horalux: cannot start \""
                                            + QRegularExpression::escape(text) + "\": .*"
                                            + QRegularExpression::escape(reason) + "[^\\n]*$"));
    ProcessLauncher launcher;
    QVERIFY(!launcher.launch(text));

    // The next launch works.
    QVERIFY(launcher.launch(QStringLiteral("recorder after")));
    QCOMPARE(waitForRecords(1), QStringList{path("bin/recorder") + "|after"});
}

// On this system a bare name is a command looked for on PATH, as a shell would; a file of that
// name in the current directory is not run in its place.
void TstProcessLauncher::bareNameIsNotTakenFromTheCurrentDirectory()
{
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(path("my programs")));
    QVERIFY(writeFile(path("my programs/lurker"), kRecorder, true));
    ProcessLauncher launcher;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^horalux: cannot start \"lurker\""));
    const bool started = launcher.launch(QStringLiteral("lurker"));
    QDir::setCurrent(old);
    QVERIFY(!started);
    QVERIFY(launcher.launch(QStringLiteral("./my programs/lurker").prepend(tmp_.path() + "/")));
    QCOMPARE(waitForRecords(1), QStringList{path("my programs/lurker")});
}

// The real launcher under the scheduler: a program that cannot start, then a block window,
// each tick still launches what is due.
void TstProcessLauncher::schedulerKeepsTickingAfterFailedLaunches()
{
    FakeClock clock;
    ProcessLauncher launcher;
    ArmingInputs in;
    in.check3 = 1;
    in.check4 = 1;
    in.option1 = true;
    in.text1 = path("my programs/gone");
    Scheduler scheduler(clock, launcher, [&] { return in; });
    scheduler.setProgramTime("09:00:00");
    scheduler.setBlockWindow("09:00:00", "09:00:03");

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot start .*gone"));
    clock.set("09:00:00");
    scheduler.tick(); // the missing program: one line on standard error
    in.text1.clear();
    scheduler.setProgramTime("09:00:01");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot start \"\": empty command line"));
    clock.set("09:00:01");
    scheduler.tick(); // the empty text, then the block's shutdown
    clock.set("09:00:02");
    scheduler.tick(); // the block's shutdown
    QCOMPARE(waitForRecords(2),
             (QStringList{path("bin/systemctl") + "|poweroff", path("bin/systemctl") + "|poweroff"}));
}

QTEST_GUILESS_MAIN(TstProcessLauncher)
#include "tst_process_launcher.moc"
