// Into the tray and back, the tray icon's events, and leaving the program.

#include "../window/fakes.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/form1.h"

#include <QtTest>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <memory>

class TrayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SettingsStore> store;
    FakeClock clock;
    FakeLauncher launcher;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;
    // What the window looked like each time the icon came or went: (intray, window visible).
    QList<QPair<bool, bool>> steps;

    void useTray(bool available)
    {
        form->cSysTray1->setAvailabilityCheck([available] { return available; });
    }

    // Runs the application's own loop until something ends it; a guard ends it with 99.
    int runLoop()
    {
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        return QCoreApplication::exec();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        store = std::make_unique<SettingsStore>(dir->path());
        dialogs = FakeDialogs();
        form = std::make_unique<Form1>(*store, clock, launcher, dialogs);
        steps.clear();
        connect(form->cSysTray1, &SysTray::intrayChanged, this,
                [this](bool on) { steps.append({on, form->isVisible()}); });
        useTray(true);
        form->show();
    }

    void cleanup()
    {
        form.reset();
        store.reset();
    }

    void minimizeToTrayAndBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("left click") << "trigger";
        QTest::newRow("double click") << "double";
        QTest::newRow("Open program") << "open";
    }

    void minimizeToTrayAndBack()
    {
        QFETCH(QString, how);
        form->tray->trigger();
        QVERIFY(form->cSysTray1->intray());
        QVERIFY(form->cSysTray1->icon()->isVisible());
        QVERIFY(form->isHidden());
        QVERIFY(form->Timer1->isActive());

        QSystemTrayIcon *icon = form->cSysTray1->icon();
        if (how == QLatin1String("trigger"))
            emit icon->activated(QSystemTrayIcon::Trigger);
        else if (how == QLatin1String("double"))
            emit icon->activated(QSystemTrayIcon::DoubleClick);
        else
            form->open->trigger();
        QVERIFY(form->isVisible());
        QVERIFY(!form->cSysTray1->intray());
        QVERIFY(!icon->isVisible());

        // The icon came before the window went, and the window came back before the icon went.
        QCOMPARE(steps, (QList<QPair<bool, bool>>{{true, true}, {false, true}}));
    }

    void otherClicksDoNotRestore()
    {
        form->tray->trigger();
        emit form->cSysTray1->icon()->activated(QSystemTrayIcon::Context);
        emit form->cSysTray1->icon()->activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(form->isHidden());
        QVERIFY(form->cSysTray1->intray());
    }

    void restoreWhileShown()
    {
        emit form->cSysTray1->restoreRequest();
        QVERIFY(form->isVisible());
        QVERIFY(!form->cSysTray1->intray());
    }

    void noNotificationAreaMinimizes()
    {
        useTray(false);
        form->tray->trigger();
        QVERIFY(form->isVisible());
        QVERIFY(form->isMinimized());
        QVERIFY(!form->cSysTray1->intray());
        QVERIFY(!form->cSysTray1->icon()->isVisible());
        QVERIFY(steps.isEmpty());

        form->open->trigger();
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
    }

    void exitYesEndsTheLoop()
    {
        dialogs.answerYes = true;
        QTimer::singleShot(0, form->leave, &QAction::trigger);
        QCOMPARE(runLoop(), 0);
        QCOMPARE(dialogs.questions, QStringList{QStringLiteral("Are you sure want to exit?")});
        // Nothing saved, the icon not cleared first.
        QVERIFY(QDir(dir->path()).isEmpty());
    }

    void exitNoKeepsRunning()
    {
        dialogs.answerYes = false;
        QTimer::singleShot(0, form->leave, &QAction::trigger);
        QTimer::singleShot(300, [] { QCoreApplication::exit(42); });
        QCOMPARE(runLoop(), 42);
        QCOMPARE(dialogs.questions.size(), 1);
        QVERIFY(form->isVisible());
        QVERIFY(form->Timer1->isActive());
        QVERIFY(QDir(dir->path()).isEmpty());
    }

    void closingTheWindowEndsAtOnce()
    {
        QTimer::singleShot(0, form.get(), &QWidget::close);
        QCOMPARE(runLoop(), 0);
        QVERIFY(dialogs.questions.isEmpty());
        QVERIFY(dialogs.informations.isEmpty());
        QVERIFY(QDir(dir->path()).isEmpty());
    }

    void closingAnotherWindowWhileInTrayKeepsRunning()
    {
        form->tray->trigger();
        auto *box = new QWidget;
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        QTimer::singleShot(0, box, &QWidget::close);
        // Whatever the closing set off has long happened when the loop is ended here.
        QTimer::singleShot(300, [] { QCoreApplication::exit(42); });
        QCOMPARE(runLoop(), 42);
        QVERIFY(form->cSysTray1->intray());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
