// SPDX-License-Identifier: GPL-3.0-or-later
// Windows only: the settings file against the system's own profile functions. The same writes go
// to one copy of a file through the store and to another through WritePrivateProfileStringA;
// the two must end byte for byte the same, and every key must read the same both ways.
#include "settings/settings_store.h"

#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

// The file's bytes before (null: no file), the writes (key and value, in the ANSI code page) and
// the keys read afterwards.
struct Case {
    const char *name;
    QByteArray before;
    QList<std::pair<QByteArray, QByteArray>> writes;
    QByteArrayList reads;
};
Q_DECLARE_METATYPE(Case)

class TstProfile : public QObject {
    Q_OBJECT

private slots:
    void sameAsProfileFunctions_data();
    void sameAsProfileFunctions();
};

void TstProfile::sameAsProfileFunctions_data()
{
    QTest::addColumn<Case>("c");
    for (const Case &c : std::initializer_list<Case>{
        {"a new file and a new key", {}, {{"s1", "07"}, {"s2", "30"}}, {"s1", "s2", "l1"}},
        {"a replaced key", "[settings]\r\ns1=07\r\ns2=30\r\n", {{"s1", "08"}, {"s2", "30"}}, {"s1", "s2"}},
        {"the same value, an LF file", "[settings]\n s1 = 07\n\n", {{"s1", "07"}}, {"s1"}},
        {"CRLF, mixed-case names", "[ Settings ]\r\nS1=07\r\n\r\n", {{"s1", "09"}, {"s2", "10"}}, {"s1", "S2"}},
        {"a second [settings], a foreign section", "[settings]\ns1=1\n[foo]\na = b\n[SETTINGS]\ns2=2\ne1=3\n",
         {{"s2", "5"}, {"e1", "6"}}, {"s1", "s2", "e1", "a"}},
        {"non-ASCII ANSI in a foreign key", "[o]\nk=caf\xe9\x81\n[settings]\n", {{"s1", "\xe9t\xe9"}}, {"s1", "k"}},
        {"no final line break, junk, blanks", "; c\n\n[settings] ;x\n\t;y\t\nl1\n  s1 = 1 \n[x\nf2=\"q\" ",
         {{"l1", "3"}, {"f2", "q"}, {"s2", " 2 "}}, {"s1", "s2", "l1", "f2"}},
        {"a UTF-8 byte-order mark", "\xef\xbb\xbf[settings]\ns1=\xc3\xa9\n", {{"s2", "\xe9"}}, {"s1", "s2"}}})
        QTest::newRow(c.name) << c;
}

void TstProfile::sameAsProfileFunctions()
{
    QFETCH(Case, c);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ours") && QDir(dir.path()).mkdir("ref"));
    const QString paths[] = {dir.filePath("ours/data.hxdata"), dir.filePath("ref/data.hxdata")};
    const QByteArray ref = QDir::toNativeSeparators(paths[1]).toLocal8Bit();
    const auto bytes = [](const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : "none"; };
    for (const QString &path : paths) {
        QFile file(path);
        QVERIFY(c.before.isNull() || (file.open(QIODevice::WriteOnly) && file.write(c.before) == c.before.size()));
    }
    SettingsStore store(dir.filePath("ours"));
    for (const auto &[key, value] : c.writes) {
        const WriteResult result = store.writeKey(QString::fromLocal8Bit(key), QString::fromLocal8Bit(value));
        QVERIFY2(result, qPrintable(result.error));
        QVERIFY(WritePrivateProfileStringA("settings", key, value, ref));
    }
    QCOMPARE(bytes(paths[0]), bytes(paths[1]));
    for (const QByteArray &key : c.reads) {
        char read[256] = {};
        const DWORD n = GetPrivateProfileStringA("settings", key, "<no value>", read, sizeof read, ref);
        QCOMPARE(store.readKey(QString::fromLocal8Bit(key)), QString::fromLocal8Bit(read, n));
    }
}

QTEST_GUILESS_MAIN(TstProfile)
#include "tst_profile.moc"
