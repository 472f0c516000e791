// The window as it is created: its controls, lists, states, menus and tab order.

#include "fakes.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/check_value.h"
#include "window/form1.h"

#include <QtTest>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <memory>

namespace {

QString caption(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return {};
}

QStringList twoDigits(int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QString::number(i).rightJustified(2, QLatin1Char('0'));
    return items;
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    FakeClock clock;
    FakeLauncher launcher;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    QWidget *child(const QString &name) { return form->findChild<QWidget *>(name); }

private slots:
    void init()
    {
        store = std::make_unique<SettingsStore>(dir.path());
        form = std::make_unique<Form1>(*store, clock, launcher, dialogs);
    }
    void cleanup() { form.reset(); }

    void window()
    {
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Horalux"));
        QCOMPARE(form->centralWidget()->size(), QSize(627, 221));
        // Fixed size: the menu bar above a 627 by 221 client area.
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->height(), form->menuBar()->height() + 221);
        QCOMPARE(form->width(), 627);
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!form->windowIcon().isNull());
        QVERIFY(form->windowIcon().availableSizes().contains(QSize(48, 48)));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");

        const QString win = QStringLiteral("client");
        auto row = [](const char *name, const char *kind, const QString &container,
                      const char *text, QRect r) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind)
                                << container << QString::fromLatin1(text) << r;
        };
        row("Frame1", "QGroupBox", win, "Shutdown System", {120, 120, 4455, 975});
        row("Frame2", "QGroupBox", win, "Logoff System", {120, 1320, 4455, 975});
        row("Frame3", "QGroupBox", win, "Execute Program on Time", {4680, 120, 4575, 1575});
        row("Frame4", "QGroupBox", win, "Block Access to PC", {4680, 1800, 4575, 1335});
        row("Combo6", "QComboBox", win, "", {5400, 360, 735, 315});
        row("Combo5", "QComboBox", win, "", {6240, 360, 735, 315});
        row("Command4", "QPushButton", win, "Set Hour", {8040, 480, 855, 375});
        row("Check6", "QCheckBox", win, "Start on system Tray", {120, 2520, 3255, 255});
        row("Check5", "QCheckBox", win, "Set this settings for every day of the week",
            {120, 2760, 3615, 255});
        row("Command6", "QPushButton", win, "Save", {3600, 2520, 975, 375});
        row("Label14", "QLabel", win, "Horalux - keeps time for you", {2640, 3000, 2175, 255});
        row("txtf2", "QLineEdit", win, "Text2", {3360, 2160, 1215, 285});

        const QString f1 = QStringLiteral("Frame1");
        row("Check1", "QCheckBox", f1, "Activated", {240, 360, 1215, 255});
        row("Label1", "QLabel", f1, "Time:", {1440, 240, 735, 255});
        row("Combo1", "QComboBox", f1, "", {2040, 240, 735, 315});
        row("Label2", "QLabel", f1, "Hours", {2880, 240, 615, 255});
        row("Combo2", "QComboBox", f1, "", {2040, 600, 735, 315});
        row("Label3", "QLabel", f1, "Minutes", {2880, 600, 735, 255});
        row("Command2", "QPushButton", f1, "Set Hour", {3480, 360, 855, 375});

        const QString f2 = QStringLiteral("Frame2");
        row("Check2", "QCheckBox", f2, "Activated", {120, 360, 1215, 255});
        row("Label4", "QLabel", f2, "Time:", {1320, 240, 735, 255});
        row("Combo3", "QComboBox", f2, "", {1920, 240, 735, 315});
        row("Label5", "QLabel", f2, "Hours", {2760, 240, 615, 255});
        row("Combo4", "QComboBox", f2, "", {1920, 600, 735, 315});
        row("Label6", "QLabel", f2, "Minutes", {2760, 600, 735, 255});
        row("Command3", "QPushButton", f2, "Set Hour", {3480, 360, 855, 375});

        const QString f3 = QStringLiteral("Frame3");
        row("Label7", "QLabel", f3, "Time:", {120, 240, 615, 255});
        row("Label8", "QLabel", f3, ":", {1440, 240, 135, 255});
        row("Check3", "QCheckBox", f3, "", {120, 720, 255, 255});
        row("Text1", "QLineEdit", f3, "", {360, 720, 3015, 285});
        row("Command1", "QPushButton", f3, "Browse", {3480, 720, 735, 255});
        // Two lines of the note need a little more height than the original box with the
        // fonts of this system.
        row("Label9", "QLabel", f3,
            "If you need to start more than one program at the same time, you can run a copy of "
            "this or create a .bat file.",
            {120, 1080, 3975, 450});

        const QString f4 = QStringLiteral("Frame4");
        row("Label10", "QLabel", f4, "From:", {120, 240, 615, 255});
        row("Combo7", "QComboBox", f4, "", {600, 240, 735, 315});
        row("Label11", "QLabel", f4, ":", {1440, 240, 135, 255});
        row("Combo8", "QComboBox", f4, "", {1560, 240, 735, 315});
        row("Label12", "QLabel", f4, "Until:", {2280, 240, 495, 255});
        row("Combo10", "QComboBox", f4, "", {2880, 240, 735, 315});
        row("Label13", "QLabel", f4, ":", {3600, 240, 135, 255});
        row("Combo9", "QComboBox", f4, "", {3720, 240, 735, 315});
        row("Check4", "QCheckBox", f4, "Activated", {120, 720, 1095, 255});
        row("Option1", "QRadioButton", f4, "Shutdown", {1320, 720, 1095, 255});
        row("Option2", "QRadioButton", f4, "Logoff", {2520, 720, 1095, 255});
        row("Command5", "QPushButton", f4, "Set Hour", {3360, 720, 855, 375});
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QString, text);
        QFETCH(QRect, twips);

        QWidget *w = child(name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY(w->inherits(qPrintable(kind)));
        QCOMPARE(w->parentWidget()->objectName(), container);
        QCOMPARE(caption(w), text);
        QCOMPARE(w->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15,
                                      twips.height() / 15));
        // No caption carries an access key.
        QVERIFY(!caption(w).contains(QLatin1Char('&')));

        // Every caption stays whole at this geometry (Check5 up to where Save covers it).
        if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)
            || (qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->wordWrap())) {
            const int room = name == QLatin1String("Check5")
                                 ? form->Command6->x() - w->x()
                                 : w->width();
            QVERIFY2(w->sizeHint().width() <= room, qPrintable(name));
            QVERIFY(w->fontMetrics().height() <= w->height());
        }
        if (auto *l = qobject_cast<QLabel *>(w); l && l->wordWrap())
            QVERIFY(l->heightForWidth(l->width()) <= l->height());
        if (auto *b = qobject_cast<QPushButton *>(w))
            QVERIFY(b->fontMetrics().horizontalAdvance(b->text()) < b->width());
    }

    void boldLabels()
    {
        const QStringList bold = {"Label1", "Label4", "Label7", "Label10", "Label12"};
        for (int i = 1; i <= 14; ++i) {
            const QString name = QStringLiteral("Label%1").arg(i);
            QCOMPARE(child(name)->font().bold(), bold.contains(name));
        }
        // The same face and size as the rest of the window.
        QCOMPARE(form->Label1->font().pixelSize(), form->Label2->font().pixelSize());
        QCOMPARE(form->Label1->font().family(), form->Label2->font().family());
    }

    void combos()
    {
        const QStringList hours = twoDigits(24);
        const QStringList minutes = twoDigits(60);
        QCOMPARE(hours.last(), QStringLiteral("23"));
        QCOMPARE(minutes.first(), QStringLiteral("00"));
        const QList<QComboBox *> hourBoxes = {form->Combo1, form->Combo3, form->Combo6,
                                              form->Combo7, form->Combo10};
        const QList<QComboBox *> minuteBoxes = {form->Combo2, form->Combo4, form->Combo5,
                                                form->Combo8, form->Combo9};
        for (QComboBox *box : hourBoxes + minuteBoxes) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items, hourBoxes.contains(box) ? hours : minutes);
            QVERIFY(!box->isEditable());
            QCOMPARE(box->currentIndex(), -1);
            QCOMPARE(box->currentText(), QString());
        }
    }

    void initialStates()
    {
        for (QCheckBox *box : {form->Check1, form->Check2, form->Check3, form->Check4, form->Check6})
            QCOMPARE(checkValue(box), 0);
        QCOMPARE(checkValue(form->Check5), 1);
        QVERIFY(!form->Option1->isChecked());
        QVERIFY(!form->Option2->isChecked());
        QVERIFY(form->Option1->autoExclusive() && form->Option2->autoExclusive());
        QCOMPARE(form->Text1->text(), QString());
        QVERIFY(!form->Text1->isEnabled());
        QVERIFY(form->Text1->isReadOnly());
        QVERIFY(!form->Command1->isEnabled());
        for (QPushButton *b : {form->Command2, form->Command3, form->Command4, form->Command5,
                               form->Command6})
            QVERIFY(b->isEnabled());
        QVERIFY(form->txtf2->isHidden());
        QCOMPARE(form->Timer1->objectName(), QStringLiteral("Timer1"));
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->cSysTray1->objectName(), QStringLiteral("cSysTray1"));
        QVERIFY(!form->cSysTray1->intray());
        QVERIFY(!form->cSysTray1->icon()->isVisible());
        QCOMPARE(form->cSysTray1->icon()->toolTip(), QStringLiteral("Horalux"));
        QVERIFY(!form->cSysTray1->icon()->icon().isNull());
        QCOMPARE(form->cSysTray1->icon()->contextMenu(), form->op2);
    }

    void checkValues()
    {
        // The program's numbering: 0 unchecked, 1 checked, 2 grey; Qt's own differs.
        QCheckBox *box = form->Check1;
        setCheckValue(box, 1);
        QCOMPARE(box->checkState(), Qt::Checked);
        setCheckValue(box, 2);
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        QCOMPARE(checkValue(box), 2);
        // A click on a grey box checks it; after that a user only toggles between 0 and 1.
        QList<int> seen;
        for (int i = 0; i < 4; ++i) {
            box->click();
            seen << checkValue(box);
        }
        QCOMPARE(seen, (QList<int>{1, 0, 1, 0}));
    }

    void menus()
    {
        const QList<QAction *> onBar = form->menuBar()->actions();
        QCOMPARE(onBar.size(), 1);
        QCOMPARE(onBar.first()->text(), QStringLiteral("Options"));
        QCOMPARE(onBar.first(), form->op->menuAction());
        QCOMPARE(form->op->objectName(), QStringLiteral("op"));

        const QList<QAction *> items = form->op->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0], form->tray);
        QCOMPARE(items[0]->text(), QStringLiteral("Minimize to tray"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[1], form->sep);
        QCOMPARE(items[2], form->leave);
        QCOMPARE(items[2]->text(), QStringLiteral("Exit"));

        QCOMPARE(form->op2->objectName(), QStringLiteral("op2"));
        QCOMPARE(form->op2->title(), QStringLiteral("options2"));
        QCOMPARE(form->op2->actions(), QList<QAction *>{form->open});
        QCOMPARE(form->open->text(), QStringLiteral("Open program"));

        const QStringList names = {"tray", "sep", "leave", "open"};
        for (QAction *a : {form->tray, form->sep, form->leave, form->open}) {
            QVERIFY(names.contains(a->objectName()));
            QVERIFY(a->isEnabled());
            QVERIFY(!a->isChecked());
            QVERIFY(a->shortcut().isEmpty());
        }
    }

    void tabOrder()
    {
        const QStringList expected = {
            "Check1",   "Combo1",   "Combo2",   "Combo3",   "Check2",  "Combo4",  "Combo5",
            "Combo6",   "Check3",   "Text1",    "Command1", "Command2", "Command3", "Command4",
            "Combo7",   "Combo8",   "Option1",  "Option2",  "Command5", "Check4",  "Combo9",
            "Combo10",  "Check5",   "Command6", "Check6"};
        QStringList chain;
        QWidget *w = form->Check1;
        do {
            if (expected.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != form->Check1);
        QCOMPARE(chain, expected);
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
