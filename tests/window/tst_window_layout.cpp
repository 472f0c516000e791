// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it is created: its controls, lists, states, menus and tab order.

#include "harness.h"

#include <QtTest>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QSystemTrayIcon>

#include <memory>

namespace {

// What a control shows beyond its caption, as "disabled read-only". Check boxes show the
// program's value (0 unchecked, 1 checked, 2 grey) and Qt's own number, which differs.
QString state(const QWidget *w)
{
    QStringList s;
    const std::pair<bool, const char *> flags[] = {
        {!w->isEnabled(), "disabled"}, {w->isHidden(), "hidden"}, {w->font().bold(), "bold"},
        {w->property("readOnly").toBool(), "read-only"}, {w->property("checked").toBool(), "on"},
        {w->property("editable").toBool(), "editable"}};
    for (const auto &[set, name] : flags)
        if (set)
            s << name;
    if (auto *c = qobject_cast<const QCheckBox *>(w))
        s << QString("value %1 qt %2").arg(checkValue(c)).arg(c->checkState());
    if (auto *c = qobject_cast<const QComboBox *>(w)) {
        for (int i = 0; i < c->count(); ++i)
            s << c->itemText(i);
        s << QString("index %1 '%2'").arg(c->currentIndex()).arg(c->currentText());
    }
    return s.join(' ');
}

// A box of hours or minutes as created: "00 01 ... index -1 ''".
QString twoDigits(int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QString::number(i).rightJustified(2, '0');
    return items.join(' ') + " index -1 ''";
}

// Contrast of two colours, 1 to 21, as accessibility guidelines reckon it.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        double sum = 0;
        for (const auto &[v, weight] : {std::pair{c.redF(), 0.2126}, {c.greenF(), 0.7152}, {c.blueF(), 0.0722}})
            sum += weight * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        return sum + 0.05;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// The controls a user can reach, in tab order: they take the focus and are not hidden.
QList<QWidget *> interactive(Form1 &form)
{
    QList<QWidget *> found;
    for (QWidget *w = form.Check1; found.isEmpty() || w != form.Check1; w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(&form))
            found << w;
    return found;
}

QString spoken(QWidget *w, QAccessible::Text what)
{
    return QAccessible::queryAccessibleInterface(w)->text(what);
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;

private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup() { h.reset(); }

    void window()
    {
        Form1 &f = h->form;
        QCOMPARE(f.windowTitle(), "Horalux");
        // Fixed size: the menu bar above a 627 by 221 client area; a close button only.
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QCOMPARE(f.size(), QSize(627, f.menuBar()->height() + 221));
        const Qt::WindowFlags flags = f.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint && !(flags & Qt::WindowMinMaxButtonsHint));
        QVERIFY(f.windowIcon().availableSizes().contains(QSize(48, 48)));
        // The tray icon, made when first needed, has the window's icon and its pop-up menu (its
        // tip and its place at start are the tray tests').
        QSystemTrayIcon *icon = f.cSysTray1->icon();
        QVERIFY(!icon->icon().isNull());
        QCOMPARE(icon->contextMenu(), f.op2);
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("state");
        const QString hours = twoDigits(24), minutes = twoDigits(60), off = "value 0 qt 0";
        auto row = [](const char *name, const char *kind, const char *container, const char *text,
                      QRect r, const QString &state = {}) {
            QTest::newRow(name) << name << kind << container << text << r << state;
        };
        row("Frame1", "QGroupBox", "client", "Shutdown System", {120, 120, 4455, 975});
        row("Frame2", "QGroupBox", "client", "Logoff System", {120, 1320, 4455, 975});
        row("Frame3", "QGroupBox", "client", "Execute Program on Time", {4680, 120, 4575, 1575});
        row("Frame4", "QGroupBox", "client", "Block Access to PC", {4680, 1800, 4575, 1335});
        row("Combo6", "QComboBox", "client", "", {5400, 360, 735, 315}, hours);
        row("Combo5", "QComboBox", "client", "", {6240, 360, 735, 315}, minutes);
        row("Command4", "QPushButton", "client", "Set Hour", {8040, 480, 855, 375});
        row("Check6", "QCheckBox", "client", "Start on system Tray", {120, 2520, 3255, 255}, off);
        row("Check5", "QCheckBox", "client", "Set this settings for every day of the week",
            {120, 2760, 3615, 255}, "on value 1 qt 2");
        row("Command6", "QPushButton", "client", "Save", {3600, 2520, 975, 375});
        row("Label14", "QLabel", "client", "Horalux - keeps time for you", {2640, 3000, 2175, 255});
        row("txtf2", "QLineEdit", "client", "Text2", {3360, 2160, 1215, 285}, "hidden");
        row("Check1", "QCheckBox", "Frame1", "Activated", {240, 360, 1215, 255}, off);
        row("Label1", "QLabel", "Frame1", "Time:", {1440, 240, 735, 255}, "bold");
        row("Combo1", "QComboBox", "Frame1", "", {2040, 240, 735, 315}, hours);
        row("Label2", "QLabel", "Frame1", "Hours", {2880, 240, 615, 255});
        row("Combo2", "QComboBox", "Frame1", "", {2040, 600, 735, 315}, minutes);
        row("Label3", "QLabel", "Frame1", "Minutes", {2880, 600, 735, 255});
        row("Command2", "QPushButton", "Frame1", "Set Hour", {3480, 360, 855, 375});
        row("Check2", "QCheckBox", "Frame2", "Activated", {120, 360, 1215, 255}, off);
        row("Label4", "QLabel", "Frame2", "Time:", {1320, 240, 735, 255}, "bold");
        row("Combo3", "QComboBox", "Frame2", "", {1920, 240, 735, 315}, hours);
        row("Label5", "QLabel", "Frame2", "Hours", {2760, 240, 615, 255});
        row("Combo4", "QComboBox", "Frame2", "", {1920, 600, 735, 315}, minutes);
        row("Label6", "QLabel", "Frame2", "Minutes", {2760, 600, 735, 255});
        row("Command3", "QPushButton", "Frame2", "Set Hour", {3480, 360, 855, 375});
        row("Label7", "QLabel", "Frame3", "Time:", {120, 240, 615, 255}, "bold");
        row("Label8", "QLabel", "Frame3", ":", {1440, 240, 135, 255});
        row("Check3", "QCheckBox", "Frame3", "", {120, 720, 255, 255}, off);
        row("Text1", "QLineEdit", "Frame3", "", {360, 720, 3015, 285}, "disabled read-only");
        row("Command1", "QPushButton", "Frame3", "Browse", {3480, 720, 735, 255}, "disabled");
        row("Label9", "QLabel", "Frame3", "If you need to start more than one program at the same "
            "time, you can run a copy of this or create a .bat file.", {120, 1080, 3975, 450});
        row("Label10", "QLabel", "Frame4", "From:", {120, 240, 615, 255}, "bold");
        row("Combo7", "QComboBox", "Frame4", "", {600, 240, 735, 315}, hours);
        row("Label11", "QLabel", "Frame4", ":", {1440, 240, 135, 255});
        row("Combo8", "QComboBox", "Frame4", "", {1560, 240, 735, 315}, minutes);
        row("Label12", "QLabel", "Frame4", "Until:", {2280, 240, 495, 255}, "bold");
        row("Combo10", "QComboBox", "Frame4", "", {2880, 240, 735, 315}, hours);
        row("Label13", "QLabel", "Frame4", ":", {3600, 240, 135, 255});
        row("Combo9", "QComboBox", "Frame4", "", {3720, 240, 735, 315}, minutes);
        row("Check4", "QCheckBox", "Frame4", "Activated", {120, 720, 1095, 255}, off);
        row("Option1", "QRadioButton", "Frame4", "Shutdown", {1320, 720, 1095, 255});
        row("Option2", "QRadioButton", "Frame4", "Logoff", {2520, 720, 1095, 255});
        row("Command5", "QPushButton", "Frame4", "Set Hour", {3360, 720, 855, 375});
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QFETCH(QString, state);
        QWidget *w = h->form.findChild<QWidget *>(name);
        QVERIFY(w && w->inherits(qPrintable(kind)));
        QCOMPARE(w->parentWidget()->objectName(), container);
        const QString caption = w->property(w->inherits("QGroupBox") ? "title" : "text").toString();
        QCOMPARE(caption, text);
        QCOMPARE(w->geometry(), QRect(twips.topLeft() / 15, twips.size() / 15));
        QCOMPARE(::state(w), state);

        // The caption stays whole (Check5's up to where the Save button covers it).
        QSize need = w->fontMetrics().size(0, caption), room = w->size();
        if (auto *l = qobject_cast<QLabel *>(w); l && l->wordWrap())
            need = QSize(l->width(), l->heightForWidth(l->width()));
        else if (w->inherits("QCheckBox") || w->inherits("QRadioButton"))
            need.setWidth(w->sizeHint().width());
        if (w == h->form.Check5)
            room.setWidth(h->form.Command6->x() - w->x());
        QVERIFY2(need.width() <= room.width() && need.height() <= room.height(), qPrintable(name));
    }

    void menus()
    {
        // "name title: item/name, ...", "-" a separator, "+key" an item with a shortcut.
        auto describe = [](const QMenu *m) {
            QStringList items;
            for (const QAction *a : m->actions())
                items << (a->isSeparator() ? "-" : a->text()) + '/' + a->objectName()
                             + (a->shortcut().isEmpty() ? "" : "+key");
            return m->objectName() + ' ' + m->title() + ": " + items.join(", ");
        };
        QCOMPARE(h->form.menuBar()->actions(), QList<QAction *>{h->form.op->menuAction()});
        QCOMPARE(describe(h->form.op), "op Options: Minimize to tray/tray, -/sep, Exit/leave");
        QCOMPARE(describe(h->form.op2), "op2 options2: Open program/open");
    }

    void tabOrder()
    {
        QStringList chain;
        for (QWidget *w : interactive(h->form))
            chain << w->objectName();
        QCOMPARE(chain.join(' '), "Check1 Combo1 Combo2 Combo3 Check2 Combo4 Combo5 Combo6 Check3 Text1 "
                 "Command1 Command2 Command3 Command4 Combo7 Combo8 Option1 Option2 Command5 Check4 "
                 "Combo9 Combo10 Check5 Command6 Check6");
    }

    // A screen reader tells every control apart, and says what it is for.
    void spokenNames_data()
    {
        QTest::addColumn<QString>("name");
        Harness window;
        for (QWidget *w : interactive(window.form))
            QTest::newRow(qPrintable(w->objectName())) << w->objectName();
    }

    void spokenNames()
    {
        QFETCH(QString, name);
        QWidget *w = h->form.findChild<QWidget *>(name);
        QVERIFY(!spoken(w, QAccessible::Name).isEmpty() && !spoken(w, QAccessible::Description).isEmpty());
        for (QWidget *other : interactive(h->form))
            QVERIFY2(other == w || spoken(other, QAccessible::Name) != spoken(w, QAccessible::Name),
                     qPrintable(other->objectName()));
    }

    // The credit line is muted, yet keeps 3:1 against the window's background, light or dark;
    // the window, made in the light palette, follows a change to the dark one.
    void creditContrast_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QStyleFactory::create("Fusion")->standardPalette();
        QTest::newRow("dark") << QPalette(QColor(53, 53, 53), QColor(70, 70, 70));
    }

    void creditContrast()
    {
        QFETCH(QPalette, palette);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        QApplication::setPalette(palette); // the window made in the light one follows a change
        QCoreApplication::processEvents();
        const QColor back = h->form.palette().color(QPalette::Window);
        const double credit = contrast(h->form.Label14->palette().color(QPalette::WindowText), back);
        QVERIFY2(credit >= 3 && credit < contrast(h->form.palette().color(QPalette::WindowText), back),
                 qPrintable(QString::number(credit)));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
