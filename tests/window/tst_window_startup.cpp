// The start-up: saved hours come back when saved for every day, and the window goes to the
// tray when that was saved.

#include "fakes.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/check_value.h"
#include "window/form1.h"

#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <memory>

using KeyMap = QMap<QString, QString>;

namespace {

const KeyMap kAllTimes = {{"s1", "07"}, {"s2", "45"}, {"l1", "08"}, {"l2", "46"},
                          {"e1", "09"}, {"e2", "47"}, {"i1", "10"}, {"i2", "48"},
                          {"f1", "11"}, {"f2", "49"}};

// Box name and the key it is restored from.
const QList<QPair<QString, QString>> kBoxes = {
    {"Combo1", "s1"}, {"Combo2", "s2"}, {"Combo3", "l1"}, {"Combo4", "l2"}, {"Combo6", "e1"},
    {"Combo5", "e2"}, {"Combo7", "i1"}, {"Combo8", "i2"}, {"Combo10", "f1"}, {"Combo9", "f2"}};

} // namespace

class WindowStartupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SettingsStore> store;
    FakeClock clock;
    FakeLauncher launcher;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    void start(const KeyMap &keys, bool trayAvailable = true)
    {
        dir = std::make_unique<QTemporaryDir>();
        store = std::make_unique<SettingsStore>(dir->path());
        for (auto it = keys.begin(); it != keys.end(); ++it)
            QVERIFY(store->writeKey(it.key(), it.value()).ok);
        form = std::make_unique<Form1>(*store, clock, launcher, dialogs);
        form->Timer1->stop();
        form->cSysTray1->setAvailabilityCheck([trayAvailable] { return trayAvailable; });
        form->startUp();
    }

    QString boxText(const QString &name) { return form->findChild<QComboBox *>(name)->currentText(); }

private slots:
    void cleanup()
    {
        form.reset();
        store.reset();
    }

    void combos_data()
    {
        QTest::addColumn<KeyMap>("keys");
        QTest::addColumn<bool>("restored");
        auto with = [](const char *days) {
            KeyMap k = kAllTimes;
            k.insert("days", days);
            return k;
        };
        QTest::newRow("days 1") << with("1") << true;
        QTest::newRow("days 0") << with("0") << false;
        QTest::newRow("days 2") << with("2") << false;
        QTest::newRow("days missing") << kAllTimes << false;
    }

    void combos()
    {
        QFETCH(KeyMap, keys);
        QFETCH(bool, restored);
        start(keys);
        for (const auto &[name, key] : kBoxes)
            QCOMPARE(boxText(name), restored ? keys.value(key) : QString());
        // Checked either way, as the window is created.
        QCOMPARE(checkValue(form->Check5), 1);
        QCOMPARE(form->txtf2->text(), QStringLiteral("49"));
        QCOMPARE(form->SavedS1, QStringLiteral("07"));
        QCOMPARE(form->SavedF1, QStringLiteral("11"));

        // No schedule comes back and nothing is armed: 07:45 fires nothing.
        QCOMPARE(form->scheduler().shutdownTime(), QString());
        QCOMPARE(checkValue(form->Check1), 0);
        clock.time = QTime(7, 45, 0);
        form->scheduler().tick();
        QVERIFY(launcher.launched.isEmpty());
        QVERIFY(!form->cSysTray1->intray());
        QCOMPARE(checkValue(form->Check6), 0);
    }

    void unknownTexts()
    {
        // Missing keys read as "<no value>"; texts that are no item leave the box empty.
        start({{"days", "1"}, {"s1", "7"}, {"s2", "60"}, {"l1", "24"}, {"l2", "ab"},
               {"e1", "23"}, {"e2", "59"}, {"f2", "00"}});
        QCOMPARE(boxText("Combo1"), QString());
        QCOMPARE(boxText("Combo2"), QString());
        QCOMPARE(boxText("Combo3"), QString());
        QCOMPARE(boxText("Combo4"), QString());
        QCOMPARE(boxText("Combo6"), QStringLiteral("23"));
        QCOMPARE(boxText("Combo5"), QStringLiteral("59"));
        QCOMPARE(form->Combo7->currentIndex(), -1);
        QCOMPARE(form->SavedI1, QStringLiteral("<no value>"));
        QCOMPARE(boxText("Combo9"), QStringLiteral("00"));
    }

    void noFile()
    {
        start({});
        for (const auto &[name, key] : kBoxes)
            QCOMPARE(boxText(name), QString());
        QCOMPARE(form->txtf2->text(), QStringLiteral("<no value>"));
        QCOMPARE(form->StartInTray, qint16(0));
        QCOMPARE(checkValue(form->Check5), 1);
        QCOMPARE(checkValue(form->Check6), 0);
        QVERIFY(!form->cSysTray1->intray());
        QVERIFY(!form->isMinimized());
    }

    void systray_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("toTray");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("2") << "2" << false;
        QTest::newRow("not a number") << "yes" << false;
        QTest::newRow("too large") << "65537" << false;
    }

    void systray()
    {
        QFETCH(QString, value);
        QFETCH(bool, toTray);
        start({{"systray", value}});
        QCOMPARE(form->cSysTray1->intray(), toTray);
        QCOMPARE(form->cSysTray1->icon()->isVisible(), toTray);
        QCOMPARE(checkValue(form->Check6), toTray ? 1 : 0);
        QVERIFY(form->isHidden());
        QVERIFY(!form->isMinimized());
    }

    void systrayWithoutNotificationArea()
    {
        // The window is minimized instead of hidden where it could not be reached again.
        start({{"systray", "1"}}, false);
        QVERIFY(!form->cSysTray1->intray());
        QVERIFY(!form->cSysTray1->icon()->isVisible());
        QVERIFY(form->isVisible());
        QVERIFY(form->isMinimized());
        QCOMPARE(checkValue(form->Check6), 1);
    }
};

QTEST_MAIN(WindowStartupTest)
#include "tst_window_startup.moc"
