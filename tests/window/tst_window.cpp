// SPDX-License-Identifier: GPL-3.0-or-later
// The window and its tray icon, over a fresh settings folder, with one stand-in for the clock,
// the launcher, the notices, the dialogs and the notification area: what a user meets in the
// window, then scenarios (steps, and what the user sees afterwards). The real message boxes are
// answered in the end-to-end test.

#include "app/program.h"
#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "tray/tray_notifier.h"
#include "window/check_value.h"
#include "window/contrast.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QtTest>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSessionManager>
#include <QStyleFactory>
#include <QSystemTrayIcon>

#include <thread>

// The clock and the launcher are called from the tick's thread.
struct Harness : Clock, Launcher, Notifier, Dialogs {
    QTime now() const override { return QTime::fromMSecsSinceStartOfDay(ms); }
    bool launch(const QString &line) override { QMutexLocker l(&m); launched << line; return true; }
    QStringList launchedSoFar() { QMutexLocker l(&m); return launched; }
    void notify(const Notice &) override { seen << (QThread::currentThread() == form.thread() ? "notice" : "off-thread"); }
    void information(QWidget *, const QString &text) override { said << text; }
    bool question(QWidget *, const QString &text) override { asked << text; return yes; }
    std::optional<QString> openProgram(QWidget *) override { return std::exchange(chosen, std::nullopt); }
    std::atomic<int> ms{12 * 3600 * 1000};
    QMutex m;
    QStringList launched, said, asked, seen, printed;
    bool yes = true, trayUp = true;
    std::optional<QString> chosen;
    int code = 0; // what the event loop returned
    QTemporaryDir tmp;
    SettingsStore store{tmp.filePath("d")};
    QWidget box; // a window of its own, as a message box is
    Form1 form;
    TrayNotifier balloons;

    Harness() : form(store, *this, *this, *this, this)
    {
        form.cSysTray1->setAvailabilityCheck([this] { return trayUp; });
        balloons.setTray(form.cSysTray1);
        balloons.shownMs = 100;
        QObject::connect(form.cSysTray1, &SysTray::intrayChanged, [this] { seen << place(); });
        for (QCheckBox *c : {form.Check1, form.Check2, form.Check4})
            QObject::connect(c, &QCheckBox::stateChanged, [this] { if (QThread::currentThread() != form.thread()) seen << "off-thread"; });
    }

    QString place() const
    {
        if (form.cSysTray1->intray())
            return form.isHidden() ? "tray" : "tray+window";
        return form.isMinimized() ? "minimized" : form.isVisible() ? "shown" : "hidden";
    }

    // Steps, in order: "Combo1=23" picks an item by index, "Check5=2" sets a check value,
    // "Command2" clicks a button, "tray" triggers a menu item, "No" makes the next answers No,
    // "show" calls a slot of the window, any other "key=text" is saved; other verbs below.
    void act(const QString &steps)
    {
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            const QString name = step.section('=', 0, 0);
            const QString text = step.section('=', 1);
            if (step == "No") {
                yes = false;
            } else if (auto *b = form.findChild<QAbstractButton *>(step)) {
                b->click();
            } else if (auto *a = form.findChild<QAction *>(step)) {
                a->trigger();
            } else if (auto *c = form.findChild<QComboBox *>(name)) {
                c->setCurrentIndex(text.toInt());
            } else if (auto *c = form.findChild<QCheckBox *>(name)) {
                setCheckValue(c, text.toInt());
            } else if (name == "icon") {
                emit form.cSysTray1->icon()->activated(QSystemTrayIcon::ActivationReason(text.toInt()));
            } else if (step == "balloon") { // a notice as a balloon of the icon, then its end
                const auto icon = [this] { return form.cSysTray1->icon()->isVisible() ? "icon" : "none"; };
                balloons.notify({});
                const QString during = icon();
                (void)QTest::qWaitFor([&] { return icon() == QString("none"); }, 5000);
                seen << during + '>' + icon();
            } else if (step == "balloonClick") {
                emit form.cSysTray1->icon()->messageClicked();
            } else if (name == "cancel") { // a notice's "Cancel", answered on another thread
                std::thread([&] { cancelRequested(Notice::Kind(text.toInt())); }).join();
                QCoreApplication::processEvents();
            } else if (name == "trayUp") { // whether there is a notification area
                trayUp = text.toInt();
            } else if (name == "look") { // looks of the window waiting for a notification area
                QTimer *looks = form.cSysTray1->findChild<QTimer *>("trayWait");
                for (int i = 0; i < text.toInt(); ++i)
                    QMetaObject::invokeMethod(looks, "timeout");
            } else if (step == "wait") {
                (void)QTest::qWaitFor([this] { return form.cSysTray1->intray(); }, 2500);
            } else if (step == "session") { // the session manager asks to save, each way, after a hint of its own
                auto *manager = qApp->findChild<QSessionManager *>();
                QVERIFY(manager);
                for (auto request : {&QGuiApplication::commitDataRequest, &QGuiApplication::saveStateRequest}) {
                    manager->setRestartHint(QSessionManager::RestartIfRunning);
                    emit (qApp->*request)(*manager);
                    seen << QString::number(manager->restartHint());
                }
            } else if (step == "where") {
                seen << place();
            } else if (step == "startUp") {
                form.startUp();
            } else if (step == "fallback") { // a notice that no notification service took
                noticeFallback(form.cSysTray1, [this](const Notice &n) { printed << n.body; })({Notice::Kind::Block, "Off", "Soon"});
            } else if (name == "chosen") { // the file the next "Browse" chooses, once
                chosen = text;
            } else if (name == "at") { // the clock at that time, until the tick's thread has given a notice
                ms = QTime::fromString(text).msecsSinceStartOfDay();
                (void)QTest::qWaitFor([this] { return !seen.isEmpty(); }, 2500);
            } else if (name == "tick") { // at that time
                ms = QTime::fromString(text).msecsSinceStartOfDay();
                form.Timer1->tick();
            } else if (step == "box") {
                box.show();
                box.close();
            } else if (name == "exec") { // a step run in the event loop, which the test ends after 300 ms
                QTimer::singleShot(0, &form, [this, text] { act(text); });
                QTimer::singleShot(300, &form, [] { QCoreApplication::exit(42); });
                code = QCoreApplication::exec();
            } else if (step.contains('=')) {
                QVERIFY2(store.writeKey(name, text).ok, qPrintable(step));
            } else {
                QVERIFY2(QMetaObject::invokeMethod(&form, qPrintable(step)), qPrintable(step));
            }
        }
    }

    // What the user sees, by name.
    QString look(const QString &what)
    {
        const Form1 &f = form;
        QStringList checks, boxes; // Check1 to Check6; the boxes schedule by schedule, "--" for none chosen
        for (QCheckBox *c : {f.Check1, f.Check2, f.Check3, f.Check4, f.Check5, f.Check6})
            checks << QString::number(checkValue(c));
        for (QComboBox *c : {f.Combo1, f.Combo2, f.Combo3, f.Combo4, f.Combo6, f.Combo5, f.Combo7, f.Combo8,
                             f.Combo10, f.Combo9})
            boxes << c->currentText().leftJustified(2, '-');
        QFile file(store.filePath());
        QString keys = file.open(QIODevice::ReadOnly) ? QString(file.readAll()) : QString();
        const QStringList times = f.Timer1->with([](const Scheduler &s) {
            return QStringList{s.shutdownTime(), s.logoffTime(), s.programTime(), s.blockFrom(), s.blockUntil()};
        });
        const QMap<QString, QString> seen = {
            {"asked", QString::number(asked.size())}, {"code", QString::number(code)},
            {"said", QDir::fromNativeSeparators(said.join('|'))}, {"seen", this->seen.join(' ')}, {"launched", launchedSoFar().join('|')},
            {"checks", checks.join(' ')}, {"boxes", boxes.join(' ')}, {"printed", printed.join('|')},
            {"options", QString("%1 %2").arg(f.Option1->isChecked()).arg(f.Option2->isChecked())},
            {"tip", f.cSysTray1->icon()->toolTip().replace('\n', '|')},
            {"program", (f.Text1->isEnabled() && f.Command1->isEnabled() ? "+" : "-") + f.Text1->text()},
            {"keys", keys.remove("[settings]").simplified()}, {"schedule", times.join('|')}};
        return what + '=' + seen.value(what, "?");
    }
};

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }

    // The controls reached with Tab, in order, as the window starts: "-" disabled, "!"
    // read-only, "+" checked, ":00-23" a box of the hours 00 to 23 with none chosen. Each has a
    // name of its own for a screen reader, and a description. The menus; every caption whole.
    void window()
    {
        Harness h;
        Form1 &f = h.form;
        QStringList chain, names, menus;
        for (QWidget *w = f.Check1; chain.isEmpty() || w != f.Check1; w = w->nextInFocusChain()) {
            if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&f)) continue;
            chain << w->objectName() + (w->isEnabled() ? "" : "-")
                         + (w->property("readOnly").toBool() ? "!" : "")
                         + (w->property("checked").toBool() ? "+" : "");
            if (auto *c = qobject_cast<QComboBox *>(w))
                chain.last() += ':' + c->itemText(0) + '-' + c->itemText(c->count() - 1) + c->currentText();
            QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(w);
            names << spoken->text(QAccessible::Name);
            const bool described = !spoken->text(QAccessible::Description).isEmpty();
            QVERIFY2(!names.last().isEmpty() && described, qPrintable(chain.last()));
        }
        QCOMPARE(chain.join(' '), "Check1 Combo1:00-23 Combo2:00-59 Combo3:00-23 Check2 Combo4:00-59 "
                 "Combo5:00-59 Combo6:00-23 Check3 Text1-! Command1- Command2 Command3 Command4 Combo7:00-23 "
                 "Combo8:00-59 Option1 Option2 Command5 Check4 Combo9:00-59 Combo10:00-23 Check5+ Command6 Check6");
        QCOMPARE(QSet(names.begin(), names.end()).size(), names.size());
        const QMenu *trayMenu = f.cSysTray1->icon()->contextMenu();
        for (const QAction *a : f.menuWidget()->actions() + f.op->actions() + trayMenu->actions())
            menus << a->text();
        QCOMPARE(menus.join('|'), "Options|Minimize to tray||Exit|Open program");
        for (QWidget *w : f.findChildren<QWidget *>()) {
            const QString caption = w->property(w->inherits("QGroupBox") ? "title" : "text").toString();
            const auto *l = qobject_cast<QLabel *>(w);
            // What the caption needs: its text's size; a wrapped label, its height for its width; a
            // box, its own width.
            QSize need = w->fontMetrics().size(0, caption);
            if (l && l->wordWrap())
                need = QSize(l->width(), l->heightForWidth(l->width()));
            else if (w->inherits("QCheckBox") || w->inherits("QRadioButton"))
                need.setWidth(w->sizeHint().width());
            // The Save button covers Check5's right end.
            const int room = w == f.Check5 ? f.Command6->x() - w->x() : w->width();
            QVERIFY2(caption.isEmpty() || (need.width() <= room && need.height() <= w->height()),
                     qPrintable(caption));
        }
    }

    // Each row: its steps, then what is seen, as "name=value" (or "name~part of the value")
    // parts separated by "; ". "seen" lists where the window was each time the tray icon came
    // or went, and at each "where".
    void scenario_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        // The window hands its boxes to the commands and shows what they answer.
        QTest::newRow("Save, grey") << "Check5=2 Check6=1 Command6" << "keys=days=0 systray=1; said=Your settings has been saved!";
        QTest::newRow("block, then No") << "Combo7=13 Combo8=0 Combo10=14 Combo9=5 Command5 No Combo7=20 Command5"
                                        << "asked=2; schedule=|||13:00:00|14:05:00; keys=i1=13 i2=00 f1=14 f2=05";
        // The block's two options exclude each other.
        QTest::newRow("Shutdown, then Logoff") << "Option1 Option2" << "options=0 1";
        QTest::newRow("Logoff, then Shutdown") << "Option2 Option1" << "options=1 0";
        // Only the value 1 enables the command line; a click on a grey box checks it; "Browse"
        // cancelled keeps the command line.
        QTest::newRow("program box grey") << "Check3=2" << "program=-";
        QTest::newRow("Browse, cancelled") << "Check3=2 Check3 chosen=/opt/tools/backup Command1 Command1"
                                           << "program=+/opt/tools/backup; checks=0 0 1 0 1 0";
        // The tick gets what the controls arm, the command line chosen last too: setting a time
        // arms nothing; with everything armed a second later, only the block's logoff is due.
        QTest::newRow("tick") << "Check3=1 Combo1=22 Combo2=30 Command2 Combo3=22 Combo4=30 Command3 Combo6=22 Combo5=30 "
                "Command4 Combo7=22 Combo8=0 Combo10=23 Combo9=0 Command5 Option2 chosen=/opt/tools/backup Command1 tick=22:30:00 "
                "Check1=1 Check2=1 Check4=1 tick=22:30:01" << "launched=/opt/tools/backup|" + logoffCommand();
        // The icon comes before the window goes, and goes after the window is back; a right
        // click (icon=1) only opens the icon's menu. With no notification area: minimized.
        QTest::newRow("tray and back") << "show tray icon=1 where icon=3 tray icon=2 tray open"
                                       << "seen=tray+window tray shown tray+window shown tray+window shown";
        // The icon comes for a balloon and stays only while in the tray; a click on it shows the window.
        QTest::newRow("balloons") << "show balloon where tray balloon where balloonClick"
                                  << "seen=icon>none shown tray+window icon>icon tray shown";
        QTest::newRow("no notification area") << "trayUp=0 show tray icon=1 where open" << "seen=minimized shown";
        // A notice that no notification service took: the icon's balloon while the icon is
        // shown, standard error otherwise.
        QTest::newRow("notice, in the tray") << "show tray fallback" << "printed=";
        QTest::newRow("notice, no tray") << "show fallback" << "printed=Soon";
        // Asked into the tray with no notification area yet, the window waits minimized and
        // looks again once a second for two minutes: into the tray as soon as there is one,
        // unless the user has shown the window meanwhile or the two minutes are over.
        QTest::newRow("tray at the 120th look") << "trayUp=0 tray look=119 trayUp=1 wait where" << "seen=tray+window tray";
        QTest::newRow("121st look") << "trayUp=0 tray look=120 trayUp=1 look=1 where" << "seen=minimized";
        QTest::newRow("shown meanwhile") << "trayUp=0 tray showNormal trayUp=1 look=1 where" << "seen=shown";
        // The start-up restores the boxes for days 1 only, and goes into the tray for systray 1 only.
        QTest::newRow("days 1, systray 1") << "s1=07 s2=45 l1=08 l2=46 e1=09 e2=47 i1=10 i2=48 f1=11 f2=49 days=1 systray=1 startUp where"
                                           << "boxes=07 45 08 46 09 47 10 48 11 49; checks=0 0 0 0 1 1; seen=tray tray";
        QTest::newRow("days 2, systray 2") << "s1=07 s2=45 l1=08 l2=46 e1=09 e2=47 i1=10 i2=48 f1=11 f2=49 days=2 systray=2 startUp where"
                                           << "boxes=-- -- -- -- -- -- -- -- -- --; checks=0 0 0 0 1 0; seen=hidden";
        // The tip: "Horalux", then a line per armed schedule, after every box, option and "Set
        // Hour", the icon made before the arming (icon=0, a click of no kind) or after. The
        // tick's own thread gives the notice, on the window's thread; its "Cancel", answered on
        // another thread, unticks its own box there (never ticks one: a second Cancel), and
        // leaves the times and the file.
        const QString block = "Check4=1 Combo7=23 Combo8=15 Combo10=6 Combo9=0 Command5";
        const QString b = "Block 23:15–06:00 (log off)"; // the block's line in the tip
        const QString all = "icon=0 Option2 " + block + " Check1=1 Check2=1 Combo1=22 Combo2=30 Command2 Combo3=23 Combo4=0 Command3";
        QTest::newRow("block Set Hour") << "Option2 " + block << "tip=Horalux|" + b;
        QTest::newRow("option chosen last") << block + " Option1" << "tip=Horalux|Block 23:15–06:00 (shut down)";
        QTest::newRow("Set Hour") << all.mid(7) << "tip=Horalux|Shutdown at 22:30|Logoff at 23:00|" + b + "; checks=1 1 0 1 1 0";
        QTest::newRow("Cancel shutdown, twice") << all + " at=22:29:30 cancel=0 cancel=0" << "tip=Horalux|Logoff at 23:00|" + b + "; checks=0 1 0 1 1 0; seen=notice";
        QTest::newRow("Cancel logoff") << all + " cancel=1" << "tip=Horalux|Shutdown at 22:30|" + b + "; checks=1 0 0 1 1 0";
        QTest::newRow("Cancel block") << all + " cancel=2" << "tip=Horalux|Shutdown at 22:30|Logoff at 23:00; checks=1 1 0 0 1 0; "
                "schedule=22:30:00|23:00:00||23:15:00|06:00:00; keys=i1=23 i2=15 f1=06 f2=00 s1=22 s2=30 l1=23 l2=00";
        // Only "Exit" answered Yes and closing the window end the program (code 42: it was
        // still running), and nothing is saved on the way.
        QTest::newRow("Exit, Yes") << "show exec=leave" << "code=0; asked=1; keys=";
        QTest::newRow("Exit, No") << "show No exec=leave" << "code=42; asked=1; keys=";
        QTest::newRow("closing the window") << "show exec=close" << "code=0; asked=0; keys=";
        QTest::newRow("closing a box while in the tray") << "show tray exec=box" << "code=42";
        // Started from autostart, it is never saved for restart (3: RestartNever); a save request
        // leaves it running.
        QTest::newRow("session saved") << "show exec=session" << "seen=3 3; code=42";
    }

    void scenario()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        Harness h;
        h.act(steps);
        for (const QString &e : expected.split("; ")) {
            const qsizetype at = e.indexOf(QRegularExpression("[=~]"));
            const QString seen = h.look(e.left(at));
            const bool met = e[at] == '=' ? seen == e : seen.contains(e.mid(at + 1));
            QVERIFY2(met, qPrintable(seen + " where " + e + " was expected"));
        }
    }

    // The credit line is muted, yet keeps 3:1 against the background: as the window starts, and
    // in a light palette and a dark one, to which the window changes.
    void creditContrast()
    {
        Harness h;
        const QPalette light = QStyleFactory::create("Fusion")->standardPalette();
        const QPalette dark(QColor(53, 53, 53), QColor(70, 70, 70));
        for (const QPalette *p : {(const QPalette *)nullptr, &light, &dark}) { // at start first
            if (p)
                h.form.setPalette(*p);
            const QColor back = h.form.palette().color(QPalette::Window);
            const double credit = contrastRatio(h.form.Label14->palette().color(QPalette::WindowText), back);
            QVERIFY2(credit >= 3 && credit < contrastRatio(h.form.palette().color(QPalette::WindowText), back),
                     qPrintable(QString::number(credit)));
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
