// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form1.h"

#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/caption_font.h"
#include "window/check_value.h"
#include "window/contrast.h"
#include "window/dialogs.h"
#include "window/frame.h"
#include "window/program_icon.h"
#include "window/screen_reader.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStringListModel>

namespace {

// Places and sizes are kept in twips, as the layout was drawn; 15 twips make a pixel at 96
// dots per inch, and Qt scales logical pixels on denser screens.
QRect twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QStringList twoDigitList(int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    return items;
}

template <typename W>
W *place(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = place<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

// The boxes share their lists: five hour boxes one model, five minute boxes another. Each box
// keeps its own current item; nothing adds items to a box.
QComboBox *combo(QWidget *parent, const char *name, QAbstractItemModel *items,
                 const QRect &geometry)
{
    auto *c = place<QComboBox>(parent, name, geometry);
    c->setEditable(false);
    c->setModel(items);
    c->setCurrentIndex(-1);
    return c;
}

QCheckBox *check(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *c = new TwoStateCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    c->setGeometry(geometry);
    return c;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text,
                    const QRect &geometry)
{
    auto *b = place<QPushButton>(parent, name, geometry);
    b->setText(text);
    b->setAutoDefault(false);
    return b;
}

} // namespace

const QString Form1::kExitQuestion = QStringLiteral("Are you sure want to exit?");

Form1::Form1(SettingsStore &settings, const Clock &clock, Launcher &launcher, Dialogs &dialogs,
             Notifier *notifier, SessionLogout *logout, QWidget *parent)
    : QMainWindow(parent),
      // The tick runs from creation to the end of the program on a thread of its own, shown or
      // hidden, and while a message box, menu or dialog is open or the window's thread is busy.
      Timer1(new TickThread(clock, launcher, notifier, logout, this)), settings_(settings),
      CommonDialog1(dialogs), commands_(*Timer1, settings), notifier_(notifier)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Horalux"));
    const QIcon icon = programIcon();
    setWindowIcon(icon);
    // A fixed single border with a close button only: no minimize or maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    // The controls are made with the first font tried, and keep it when every caption fits.
    setFont(captionFont(11));
    buildControls();
    buildMenus();
    // Check5 is covered at its right end by the Save button.
    fitCaptionFont(this, [this](const QFont &font) { applyFont(font); }, [this](const QWidget *w) {
        return w == Check5 ? Command6->x() - Check5->x() : w->width();
    });

    Timer1->setObjectName(QStringLiteral("Timer1"));

    cSysTray1 = new SysTray(icon, this);
    cSysTray1->setContextMenu(op2);
    connect(tray, &QAction::triggered, cSysTray1, &SysTray::hideWindow);
    connect(open, &QAction::triggered, cSysTray1, &SysTray::restoreWindow);
    watchArming();

    // The window cannot be resized: the client area is fixed and the menu bar sits above it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    Timer1->startTicking();
}

Form1::~Form1()
{
    // No tick may reach the window or the seams while they go.
    Timer1->stop();
    if (notifier_)
        notifier_->setCancelHandler({});
}

void Form1::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(627, 221);
    setCentralWidget(client);

    auto *hours = new QStringListModel(twoDigitList(24), this);
    auto *minutes = new QStringListModel(twoDigitList(60), this);

    Frame1 = place<Frame>(client, "Frame1", twips(120, 120, 4455, 975));
    Frame1->setTitle(QStringLiteral("Shutdown System"));
    Check1 = check(Frame1, "Check1", QStringLiteral("Activated"), twips(240, 360, 1215, 255));
    Label1 = label(Frame1, "Label1", QStringLiteral("Time:"), twips(1440, 240, 735, 255));
    Combo1 = combo(Frame1, "Combo1", hours, twips(2040, 240, 735, 315));
    Label2 = label(Frame1, "Label2", QStringLiteral("Hours"), twips(2880, 240, 615, 255));
    Combo2 = combo(Frame1, "Combo2", minutes, twips(2040, 600, 735, 315));
    Label3 = label(Frame1, "Label3", QStringLiteral("Minutes"), twips(2880, 600, 735, 255));
    Command2 = button(Frame1, "Command2", QStringLiteral("Set Hour"), twips(3480, 360, 855, 375));

    Frame2 = place<Frame>(client, "Frame2", twips(120, 1320, 4455, 975));
    Frame2->setTitle(QStringLiteral("Logoff System"));
    Check2 = check(Frame2, "Check2", QStringLiteral("Activated"), twips(120, 360, 1215, 255));
    Label4 = label(Frame2, "Label4", QStringLiteral("Time:"), twips(1320, 240, 735, 255));
    Combo3 = combo(Frame2, "Combo3", hours, twips(1920, 240, 735, 315));
    Label5 = label(Frame2, "Label5", QStringLiteral("Hours"), twips(2760, 240, 615, 255));
    Combo4 = combo(Frame2, "Combo4", minutes, twips(1920, 600, 735, 315));
    Label6 = label(Frame2, "Label6", QStringLiteral("Minutes"), twips(2760, 600, 735, 255));
    Command3 = button(Frame2, "Command3", QStringLiteral("Set Hour"), twips(3480, 360, 855, 375));

    Frame3 = place<Frame>(client, "Frame3", twips(4680, 120, 4575, 1575));
    Frame3->setTitle(QStringLiteral("Execute Program on Time"));
    Label7 = label(Frame3, "Label7", QStringLiteral("Time:"), twips(120, 240, 615, 255));
    Label8 = label(Frame3, "Label8", QStringLiteral(":"), twips(1440, 240, 135, 255));
    Check3 = check(Frame3, "Check3", QString(), twips(120, 720, 255, 255));
    Text1 = place<QLineEdit>(Frame3, "Text1", twips(360, 720, 3015, 285));
    Text1->setReadOnly(true);
    Text1->setEnabled(false);
    Command1 = button(Frame3, "Command1", QStringLiteral("Browse"), twips(3480, 720, 735, 255));
    Command1->setEnabled(false);
    Label9 = label(Frame3, "Label9",
                   QStringLiteral("If you need to start more than one program at the same time, "
                                  "you can run a copy of this or create a .bat file."),
                   twips(120, 1080, 3975, 450));
    Label9->setWordWrap(true);
    Label9->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The program's hour box, minute box and button belong to the window, not to the frame,
    // and stand above it on its first row.
    Combo6 = combo(client, "Combo6", hours, twips(5400, 360, 735, 315));
    Combo5 = combo(client, "Combo5", minutes, twips(6240, 360, 735, 315));
    Command4 = button(client, "Command4", QStringLiteral("Set Hour"), twips(8040, 480, 855, 375));
    Combo6->raise();
    Combo5->raise();
    Command4->raise();

    Frame4 = place<Frame>(client, "Frame4", twips(4680, 1800, 4575, 1335));
    Frame4->setTitle(QStringLiteral("Block Access to PC"));
    Label10 = label(Frame4, "Label10", QStringLiteral("From:"), twips(120, 240, 615, 255));
    Combo7 = combo(Frame4, "Combo7", hours, twips(600, 240, 735, 315));
    Label11 = label(Frame4, "Label11", QStringLiteral(":"), twips(1440, 240, 135, 255));
    Combo8 = combo(Frame4, "Combo8", minutes, twips(1560, 240, 735, 315));
    Label12 = label(Frame4, "Label12", QStringLiteral("Until:"), twips(2280, 240, 495, 255));
    Combo10 = combo(Frame4, "Combo10", hours, twips(2880, 240, 735, 315));
    Label13 = label(Frame4, "Label13", QStringLiteral(":"), twips(3600, 240, 135, 255));
    Combo9 = combo(Frame4, "Combo9", minutes, twips(3720, 240, 735, 315));
    Check4 = check(Frame4, "Check4", QStringLiteral("Activated"), twips(120, 720, 1095, 255));
    Option1 = place<QRadioButton>(Frame4, "Option1", twips(1320, 720, 1095, 255));
    Option1->setText(QStringLiteral("Shutdown"));
    Option2 = place<QRadioButton>(Frame4, "Option2", twips(2520, 720, 1095, 255));
    Option2->setText(QStringLiteral("Logoff"));
    Command5 = button(Frame4, "Command5", QStringLiteral("Set Hour"), twips(3360, 720, 855, 375));

    Check6 = check(client, "Check6", QStringLiteral("Start on system Tray"),
                   twips(120, 2520, 3255, 255));
    Check5 = check(client, "Check5", QStringLiteral("Set this settings for every day of the week"),
                   twips(120, 2760, 3615, 255));
    setCheckValue(Check5, 1);
    // Where the two overlap, the button lies on top of the check box.
    Command6 = button(client, "Command6", QStringLiteral("Save"), twips(3600, 2520, 975, 375));
    Command6->raise();

    Label14 = label(client, "Label14", QStringLiteral("Horalux - keeps time for you"),
                    twips(2640, 3000, 2175, 255));
    tintCredit();

    txtf2 = place<QLineEdit>(client, "txtf2", twips(3360, 2160, 1215, 285));
    txtf2->setText(QStringLiteral("Text2"));
    txtf2->setVisible(false);

    const QList<QWidget *> tabOrder = {
        Check1,   Combo1,   Combo2,   Combo3,   Check2,  Combo4,   Combo5,  Combo6, Check3,
        Text1,    Command1, Command2, Command3, Command4, Combo7,   Combo8,  Option1,
        Option2,  Command5, Check4,   Combo9,   Combo10, Check5,   Command6, Check6};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    nameForScreenReaders(*this);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    // Any change of the value, by a click or by the program, updates the command-line controls.
    connect(Check3, &QCheckBox::stateChanged, this, &Form1::Check3_Click);
}

void Form1::buildMenus()
{
    op = menuBar()->addMenu(QStringLiteral("Options"));
    op->setObjectName(QStringLiteral("op"));
    tray = op->addAction(QStringLiteral("Minimize to tray"));
    tray->setObjectName(QStringLiteral("tray"));
    sep = op->addSeparator();
    sep->setObjectName(QStringLiteral("sep"));
    leave = op->addAction(QStringLiteral("Exit"));
    leave->setObjectName(QStringLiteral("leave"));

    // Never on the menu bar: only the tray icon's pop-up menu.
    op2 = new QMenu(QStringLiteral("options2"), this);
    op2->setObjectName(QStringLiteral("op2"));
    open = op2->addAction(QStringLiteral("Open program"));
    open->setObjectName(QStringLiteral("open"));

    connect(leave, &QAction::triggered, this, &Form1::leave_Click);
}

// The controls take the window's font, and so do the menus (pop-up windows, which do not
// inherit it); a few labels are bold.
void Form1::applyFont(const QFont &font)
{
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    setFont(font);
    op->setFont(font);
    op2->setFont(font);
    for (QLabel *l : {Label1, Label4, Label7, Label10, Label12})
        l->setFont(bold);
}

// The credit line is muted: the window's text colour blended into its background, as far as
// still keeps a contrast of at least 3:1 with it, in light and dark palettes alike.
void Form1::tintCredit()
{
    const QPalette window = palette();
    const QColor muted = mutedText(window.color(QPalette::WindowText), window.color(QPalette::Window));
    QPalette p = Label14->palette();
    p.setColor(QPalette::WindowText, muted);
    Label14->setPalette(p);
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && Label14)
        tintCredit();
}

ArmingInputs Form1::armingInputs() const
{
    ArmingInputs in;
    in.check1 = checkValue(Check1);
    in.check2 = checkValue(Check2);
    in.check3 = checkValue(Check3);
    in.check4 = checkValue(Check4);
    in.option1 = Option1->isChecked();
    in.option2 = Option2->isChecked();
    in.text1 = Text1->text();
    return in;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program at once: no question, nothing saved, the tray
    // icon left as it is.
    QMainWindow::closeEvent(event);
    QCoreApplication::exit(0);
}

// The commands behind the buttons: the window reads its controls and shows the answer.

namespace {
ChosenTime chosen(const QComboBox *hour, const QComboBox *minute)
{
    return {hour->currentText(), minute->currentText()};
}
} // namespace

void Form1::showOutcome(const QString &message)
{
    refreshTip();
    if (!message.isEmpty())
        CommonDialog1.information(this, message);
}

void Form1::Command2_Click()
{
    showOutcome(commands_.setShutdown(chosen(Combo1, Combo2)));
}

void Form1::Command3_Click()
{
    showOutcome(commands_.setLogoff(chosen(Combo3, Combo4)));
}

void Form1::Command4_Click()
{
    // Combo6 is the hour, Combo5 the minute.
    showOutcome(commands_.setProgram(chosen(Combo6, Combo5)));
}

void Form1::Command5_Click()
{
    // The start is Combo7:Combo8, the end Combo10:Combo9.
    showOutcome(commands_.setBlock(chosen(Combo7, Combo8), chosen(Combo10, Combo9),
                                   [this](const QString &question) {
                                       return CommonDialog1.question(this, question);
                                   }));
}

void Form1::Command6_Click()
{
    showOutcome(commands_.save(checkValue(Check5), checkValue(Check6)));
}

void Form1::Command1_Click()
{
    // On cancel the command line stays as it was.
    if (const std::optional<QString> chosen = CommonDialog1.openProgram(this))
        Text1->setText(*chosen);
}

void Form1::Check3_Click()
{
    const bool on = checkValue(Check3) == 1;
    Text1->setEnabled(on);
    Command1->setEnabled(on);
}

void Form1::leave_Click()
{
    // Yes ends the program at once: nothing saved, the tray icon not cleared first.
    if (CommonDialog1.question(this, kExitQuestion))
        QCoreApplication::exit(0);
}
