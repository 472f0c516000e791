// The one smoke test of the real dialogs: message boxes and the file-open dialog are opened
// for real and answered from a timer, as a user would.

#include "fakes.h"
#include "scheduler/actions.h"
#include "scheduler/tick_timer.h"
#include "settings/settings_store.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QtTest>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Waits for a modal widget of type W, hands it to act, which answers it once it returns true.
// Gives up after a few seconds so that a failing test cannot hang.
template <typename W>
void answerWhenShown(std::function<bool(W *)> act)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, act] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        const bool giveUp = ++*tries > 250;
        if (w && (act(w) || giveUp)) {
            poll->stop();
            poll->deleteLater();
            if (giveUp)
                w->close();
        }
    });
    poll->start(20);
}

} // namespace

class WindowDialogsTest : public QObject {
    Q_OBJECT

    MessageBoxDialogs dialogs;

    std::shared_ptr<SeenBox> expectBox(QMessageBox::StandardButton answer,
                                       std::function<bool()> ready = {})
    {
        auto seen = std::make_shared<SeenBox>();
        answerWhenShown<QMessageBox>([seen, answer, ready](QMessageBox *box) {
            if (ready && !ready())
                return false;
            *seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                     box->standardButton(box->defaultButton())};
            box->button(answer)->click();
            return true;
        });
        return seen;
    }

private slots:
    void information()
    {
        auto seen = expectBox(QMessageBox::Ok);
        dialogs.information(nullptr, QStringLiteral("Shutdown Time Set up!"));
        QCOMPARE(seen->title, QStringLiteral("horalux"));
        QCOMPARE(seen->text, QStringLiteral("Shutdown Time Set up!"));
        QCOMPARE(seen->icon, QMessageBox::Information);
        QCOMPARE(seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void question_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
        QTest::newRow("No") << int(QMessageBox::No) << false;
    }

    void question()
    {
        QFETCH(int, answer);
        QFETCH(bool, yes);
        auto seen = expectBox(QMessageBox::StandardButton(answer));
        QCOMPARE(dialogs.question(nullptr, Form1::kBlockQuestion), yes);
        QCOMPARE(seen->title, QStringLiteral("horalux"));
        QCOMPARE(seen->text, Form1::kBlockQuestion);
        QCOMPARE(seen->icon, QMessageBox::Question);
        QCOMPARE(seen->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(seen->defaultButton, QMessageBox::Yes);
    }

    void openProgram()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("app.path")));
        const QString program = dir.filePath(QStringLiteral("app.path/report"));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());

        QString title;
        QStringList filters;
        QString folder;
        answerWhenShown<QFileDialog>([&](QFileDialog *d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            folder = d->directory().absolutePath();
            // Typed as a user would; the dialog's own listing may still be loading.
            if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(program);
            QMetaObject::invokeMethod(d, "accept");
            return !d->isVisible();
        });
        const std::optional<QString> chosen = dialogs.openProgram(nullptr);
        answerWhenShown<QFileDialog>([](QFileDialog *d) {
            d->reject();
            return true;
        });
        const std::optional<QString> cancelled = dialogs.openProgram(nullptr);
        QDir::setCurrent(before);

        QCOMPARE(title, QStringLiteral("Select the exetutable program"));
        QCOMPARE(filters, QStringList{QStringLiteral("All Executables (*)")});
        QCOMPARE(QFileInfo(folder).canonicalFilePath(),
                 QFileInfo(dir.filePath(QStringLiteral("app.path"))).canonicalFilePath());
        QVERIFY(chosen);
        QCOMPARE(QFileInfo(*chosen).canonicalFilePath(), QFileInfo(program).canonicalFilePath());
        QVERIFY(!cancelled);
    }

    void timerTicksWhileTheExitQuestionIsOpen()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        FakeClock clock;
        clock.time = QTime(22, 29, 58);
        FakeLauncher launcher;
        Form1 form(store, clock, launcher, dialogs);
        form.scheduler().setShutdownTime(QStringLiteral("22:30:00"));
        form.Check1->click();
        form.show();

        // While the box is open the clock reaches the shutdown time; the box is answered No
        // only once the tick has launched the command.
        bool clockMoved = false;
        auto seen = expectBox(QMessageBox::No, [&] {
            if (!clockMoved) {
                clock.time = QTime(22, 30, 0);
                clockMoved = true;
            }
            return !launcher.launched.isEmpty();
        });
        form.leave->trigger();
        QCOMPARE(seen->text, QStringLiteral("Are you sure want to exit?"));
        QCOMPARE(seen->icon, QMessageBox::Question);
        QCOMPARE(seen->defaultButton, QMessageBox::Yes);
        QCOMPARE(launcher.launched, QStringList{shutdownCommand()});
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(WindowDialogsTest)
#include "tst_window_dialogs.moc"
