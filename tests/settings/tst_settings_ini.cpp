// The INI rules of the settings file, on literal texts.
#include "settings/ini_text.h"

#include <QRandomGenerator>
#include <QTest>

#include <optional>

using OptionalBytes = std::optional<QByteArray>;
Q_DECLARE_METATYPE(OptionalBytes)

namespace {
const QByteArray kSection = "settings";

// A literal that may hold NUL bytes, whole.
template <qsizetype N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}
}

class TstSettingsIni : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void write_data();
    void write();
    void names_data();
    void names();
    void randomFilesKeepOtherLines();
};

void TstSettingsIni::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<OptionalBytes>("expected");

    const OptionalBytes none;
    auto v = [](const char *s) { return OptionalBytes(QByteArray(s)); };

    QTest::newRow("plain") << QByteArray("[settings]\ns1=07\n") << QByteArray("s1") << v("07");
    QTest::newRow("empty text") << QByteArray() << QByteArray("s1") << none;
    QTest::newRow("letter case") << QByteArray("[SETTINGS]\nS1=07\n") << QByteArray("s1") << v("07");
    QTest::newRow("blanks around names and value")
        << QByteArray("  [ settings ]  \n \t s1  =  07 \t\n") << QByteArray("s1") << v("07");
    QTest::newRow("blanks inside value kept")
        << QByteArray("[settings]\ns1= a  b \n") << QByteArray("s1") << v("a  b");
    QTest::newRow("double quotes") << QByteArray("[settings]\ns1=\"07\"\n") << QByteArray("s1") << v("07");
    QTest::newRow("single quotes") << QByteArray("[settings]\ns1= '07' \n") << QByteArray("s1") << v("07");
    QTest::newRow("quotes inside the blanks kept")
        << QByteArray("[settings]\ns1=\" 07 \"\n") << QByteArray("s1") << v(" 07 ");
    QTest::newRow("only one pair of quotes")
        << QByteArray("[settings]\ns1=\"\"07\"\"\n") << QByteArray("s1") << v("\"07\"");
    QTest::newRow("quotes that do not match")
        << QByteArray("[settings]\ns1=\"07'\n") << QByteArray("s1") << v("\"07'");
    QTest::newRow("a lone quote") << QByteArray("[settings]\ns1=\"\n") << QByteArray("s1") << v("\"");
    QTest::newRow("empty value") << QByteArray("[settings]\ns1=\n") << QByteArray("s1") << v("");
    QTest::newRow("value holding =") << QByteArray("[settings]\ns1=a=b\n") << QByteArray("s1") << v("a=b");
    QTest::newRow("first key wins")
        << QByteArray("[settings]\ns1=1\nS1=2\n") << QByteArray("s1") << v("1");
    QTest::newRow("first section wins")
        << QByteArray("[settings]\nx=1\n[Settings]\ns1=2\n") << QByteArray("s1") << none;
    QTest::newRow("other section") << QByteArray("[other]\ns1=1\n") << QByteArray("s1") << none;
    QTest::newRow("section after another")
        << QByteArray("[other]\ns1=1\n[settings]\ns1=2\n") << QByteArray("s1") << v("2");
    QTest::newRow("key before any section")
        << QByteArray("s1=1\n[settings]\n") << QByteArray("s1") << none;
    QTest::newRow("comment and junk lines never match")
        << QByteArray("[settings]\n;s1=5\njunk\ns1\ns1=3\n") << QByteArray("s1") << v("3");
    QTest::newRow("key holding a blank")
        << QByteArray("[settings]\ns1 x=1\n") << QByteArray("s1") << none;
    QTest::newRow("header without ]")
        << QByteArray("[settings\ns1=1\n") << QByteArray("s1") << none;
    QTest::newRow("header without ] does not end the section")
        << QByteArray("[settings]\n[other\ns1=1\n") << QByteArray("s1") << v("1");
    QTest::newRow("text after ]")
        << QByteArray("[settings] ; mine\ns1=1\n") << QByteArray("s1") << v("1");
    QTest::newRow("CRLF") << QByteArray("[settings]\r\ns1=07\r\n") << QByteArray("s1") << v("07");
    QTest::newRow("no final newline") << QByteArray("[settings]\ns1=07") << QByteArray("s1") << v("07");
    QTest::newRow("NUL ends the value")
        << bytes("[settings]\ns1=ab\0cd\n") << QByteArray("s1") << v("ab");
    QTest::newRow("NUL and bad UTF-8 in other lines")
        << bytes("\xff\0\xfe\n[settings]\nx=\xc3\n\0=1\ns1=ok\n") << QByteArray("s1") << v("ok");
    QTest::newRow("UTF-8 value") << QByteArray("[settings]\ns1=h\xc3\xa9\n") << QByteArray("s1") << v("h\xc3\xa9");
    QTest::newRow("UTF-8 key in another case")
        << QByteArray("[settings]\n\xc3\x89t\xc3\xa9=1\n") << QByteArray("\xc3\xa9t\xc3\xa9") << v("1");
}

void TstSettingsIni::read()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(OptionalBytes, expected);
    QCOMPARE(ini::value(text, kSection, key), expected);
}

void TstSettingsIni::write_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("new file") << QByteArray() << QByteArray("s1") << QByteArray("07")
                              << QByteArray("[settings]\ns1=07\n");
    QTest::newRow("replace in place")
        << QByteArray("; mine\n[settings]\ns1=01\ns2=02\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("; mine\n[settings]\ns1=07\ns2=02\n");
    QTest::newRow("replace keeps the key as written")
        << QByteArray("[Settings]\n  S1 = \"01\" \n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[Settings]\n  S1 =07\n");
    QTest::newRow("replace with empty value")
        << QByteArray("[settings]\ns1=01\n") << QByteArray("s1") << QByteArray()
        << QByteArray("[settings]\ns1=\n");
    QTest::newRow("new key after the last key line of its section")
        << QByteArray("[settings]\ns1=1\n\n; c\n[other]\nx=1\n") << QByteArray("s2") << QByteArray("2")
        << QByteArray("[settings]\ns1=1\ns2=2\n\n; c\n[other]\nx=1\n");
    QTest::newRow("new key in a section without keys")
        << QByteArray("[settings]\n; c\n[o]\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[settings]\ns1=07\n; c\n[o]\n");
    QTest::newRow("new key after junk that is no header")
        << QByteArray("[settings]\ns1=1\njunk\n[x\ns2=2\n\n") << QByteArray("e1") << QByteArray("3")
        << QByteArray("[settings]\ns1=1\njunk\n[x\ns2=2\ne1=3\n\n");
    QTest::newRow("new section at the end")
        << QByteArray("[other]\nx=1\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[other]\nx=1\n[settings]\ns1=07\n");
    QTest::newRow("new section, no final newline")
        << QByteArray("[other]\nx=1") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[other]\nx=1\n[settings]\ns1=07\n");
    QTest::newRow("key before any section does not count")
        << QByteArray("s1=1\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("s1=1\n[settings]\ns1=07\n");
    QTest::newRow("CRLF new section")
        << QByteArray("[other]\r\nx=1\r\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[other]\r\nx=1\r\n[settings]\r\ns1=07\r\n");
    QTest::newRow("CRLF replace")
        << QByteArray("[settings]\r\ns1=1\r\ns2=2\r\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[settings]\r\ns1=07\r\ns2=2\r\n");
    QTest::newRow("CRLF new key")
        << QByteArray("[settings]\r\ns1=1\r\n[o]\r\n") << QByteArray("s2") << QByteArray("2")
        << QByteArray("[settings]\r\ns1=1\r\ns2=2\r\n[o]\r\n");
    QTest::newRow("new key after a last line without newline")
        << QByteArray("[settings]\ns1=1") << QByteArray("s2") << QByteArray("2")
        << QByteArray("[settings]\ns1=1\ns2=2");
    QTest::newRow("new key after a header without newline")
        << QByteArray("[settings]") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[settings]\ns1=07");
    QTest::newRow("replace in the last line without newline")
        << QByteArray("[settings]\ns1=1") << QByteArray("s1") << QByteArray("07")
        << QByteArray("[settings]\ns1=07");
    QTest::newRow("first of two sections")
        << QByteArray("[settings]\nx=1\n[settings]\ns1=1\n") << QByteArray("s1") << QByteArray("2")
        << QByteArray("[settings]\nx=1\ns1=2\n[settings]\ns1=1\n");
    QTest::newRow("first of two keys")
        << QByteArray("[settings]\ns1=1\ns1=2\n") << QByteArray("s1") << QByteArray("9")
        << QByteArray("[settings]\ns1=9\ns1=2\n");
    QTest::newRow("bytes that are not UTF-8 survive")
        << QByteArray("\xff\xfe\n[settings]\nx=\xc3\ns1=\xe2\x82\n") << QByteArray("s1") << QByteArray("07")
        << QByteArray("\xff\xfe\n[settings]\nx=\xc3\ns1=07\n");
    QTest::newRow("NUL bytes survive")
        << bytes("\0\n[settings]\ns1=1\n") << QByteArray("s1") << QByteArray("2")
        << bytes("\0\n[settings]\ns1=2\n");
}

void TstSettingsIni::write()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    const QByteArray written = ini::withValue(text, kSection, key, value);
    QCOMPARE(written, expected);
    QCOMPARE(ini::value(written, kSection, key), OptionalBytes(value));
}

void TstSettingsIni::names_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("case") << QByteArray("Days") << QByteArray("dAYS") << true;
    QTest::newRow("blanks") << QByteArray(" days\t") << QByteArray("days") << true;
    QTest::newRow("different") << QByteArray("s1") << QByteArray("s2") << false;
    QTest::newRow("prefix") << QByteArray("s") << QByteArray("s1") << false;
    QTest::newRow("UTF-8 case") << QByteArray("\xc3\xa9") << QByteArray("\xc3\x89") << true;
    // Two different invalid sequences would both decode to U+FFFD; they must not match.
    QTest::newRow("invalid UTF-8") << QByteArray("\xff") << QByteArray("\xfe") << false;
}

void TstSettingsIni::names()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    QCOMPARE(ini::sameName(a, b), same);
    QCOMPARE(ini::sameName(b, a), same);
}

namespace {

// The lines of text, each without its '\n' (a CR before it stays part of the line). The text is
// taken as if it ended with a line ending, so that adding one at the end counts as no change.
QList<QByteArray> linesOf(QByteArray text, const QByteArray &eol)
{
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += eol;
    return text.split('\n');
}

QByteArray randomFile(QRandomGenerator &rng, const QList<QByteArray> &keys)
{
    const QByteArray eol = rng.bounded(2) ? QByteArray("\r\n") : QByteArray("\n");
    static const QList<QByteArray> sections = {"settings", "Settings", " SETTINGS ", "other", "s",
                                               "settings2", "[settings"};
    static const QList<QByteArray> junk = {"", "; comment", "# s1=9", "junk", "[settings",
                                           "\xff\xfe\xc3", bytes("\0s1=\0"), "=x",
                                           "   ", "\xe2\x82\xac=euro"};
    QByteArray text;
    const int lines = rng.bounded(12);
    for (int i = 0; i < lines; ++i) {
        switch (rng.bounded(3)) {
        case 0: {
            const QByteArray &name = sections.at(rng.bounded(sections.size()));
            text += name.startsWith('[') ? name : '[' + name + ']';
            break;
        }
        case 1:
            text += keys.at(rng.bounded(keys.size())) + (rng.bounded(2) ? " = " : "=")
                + QByteArray::number(rng.bounded(100));
            break;
        default:
            text += junk.at(rng.bounded(junk.size()));
        }
        if (i + 1 < lines || rng.bounded(4))
            text += eol;
    }
    return text;
}

QByteArray randomValue(QRandomGenerator &rng)
{
    static const QByteArray chars = "ab09 \"'=;[]#\t\xc3\xa9";
    QByteArray value;
    const int length = rng.bounded(8);
    for (int i = 0; i < length; ++i)
        value += chars.at(rng.bounded(chars.size()));
    // Blanks at the ends and quote pairs would not read back as they are; the store quotes such
    // values, the text layer takes them as given. Keep to values that read back unchanged.
    value = ini::trimmed(value).toByteArray();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.first(1); // a lone quote reads back as it is
    return value;
}

} // namespace

void TstSettingsIni::randomFilesKeepOtherLines()
{
    const QList<QByteArray> keys = {"s1", "S1", "s2", "days", "Days", "systray", "f2", "x"};
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 2000; ++round) {
        const QByteArray before = randomFile(rng, keys);
        const QByteArray key = keys.at(rng.bounded(keys.size()));
        const QByteArray value = randomValue(rng);
        const QByteArray after = ini::withValue(before, kSection, key, value);
        const QByteArray context = "round " + QByteArray::number(round) + ": " + before.toPercentEncoding()
            + " / " + key + "=" + value.toPercentEncoding() + " -> " + after.toPercentEncoding();

        QVERIFY2(ini::value(after, kSection, key) == OptionalBytes(value), context.constData());
        for (const QByteArray &other : keys)
            if (!ini::sameName(other, key))
                QVERIFY2(ini::value(after, kSection, other) == ini::value(before, kSection, other),
                         context.constData());

        // Every line of the old text is still there, byte for byte and in order: the new text is
        // the old one with one line replaced or one or two lines inserted.
        if (after == before)
            continue; // the key already held the value
        const qsizetype firstNewline = before.indexOf('\n');
        const QByteArray eol = firstNewline > 0 && before.at(firstNewline - 1) == '\r'
            ? QByteArray("\r\n")
            : QByteArray("\n");
        const QList<QByteArray> oldLines = linesOf(before, eol);
        const QList<QByteArray> newLines = linesOf(after, eol);
        qsizetype head = 0;
        while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head])
            ++head;
        qsizetype tail = 0;
        while (tail < oldLines.size() - head && tail < newLines.size() - head
               && oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail])
            ++tail;
        const qsizetype removed = oldLines.size() - head - tail;
        const qsizetype added = newLines.size() - head - tail;
        QVERIFY2(removed <= 1 && added >= 1 && added <= 2, context.constData());
        if (removed == 1) {
            // Replaced in place: the key part up to '=' is unchanged.
            const QByteArray &oldLine = oldLines[head];
            QVERIFY2(added == 1, context.constData());
            QVERIFY2(newLines[head].startsWith(oldLine.left(oldLine.indexOf('=') + 1)), context.constData());
        }
        // New lines use the file's own line ending.
        for (qsizetype i = head; i < head + added; ++i)
            QVERIFY2(newLines[i].endsWith('\r') == (eol == "\r\n"), context.constData());
    }
}

QTEST_APPLESS_MAIN(TstSettingsIni)
#include "tst_settings_ini.moc"
