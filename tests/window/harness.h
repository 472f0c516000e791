// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A window over a fresh settings directory, with stand-ins for the clock, the launcher and the
// dialogs; shared by the window and tray tests.

#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "scheduler/notifier.h"
#include "settings/settings_store.h"
#include "tray/systray.h"
#include "window/check_value.h"
#include "window/dialogs.h"
#include "window/form1.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTime>

struct FakeClock final : Clock {
    QTime now() const override { return time; }
    QTime time{12, 0, 0};
};

struct FakeLauncher final : Launcher {
    bool launch(const QString &commandLine) override { launched << commandLine; return true; }
    QStringList launched;
};

struct FakeNotifier final : Notifier {
    void notify(const Notice &) override {}
    void cancel(Notice::Kind kind) const { cancelRequested(kind); } // the user's "Cancel"
};

struct FakeDialogs final : Dialogs {
    void information(QWidget *, const QString &text) override { informations << text; }
    bool question(QWidget *, const QString &text) override { questions << text; return answerYes; }
    std::optional<QString> openProgram(QWidget *) override { ++opened; return chosenFile; }
    QStringList informations, questions;
    bool answerYes = true;
    std::optional<QString> chosenFile;
    int opened = 0;
};

struct Harness {
    QTemporaryDir tmp;
    SettingsStore store;
    FakeClock clock;
    FakeLauncher launcher;
    FakeDialogs dialogs;
    FakeNotifier notifier;
    Form1 form;

    // With real, the window uses those dialogs instead of the fake ones.
    explicit Harness(bool writable = true, bool trayAvailable = true, Dialogs *real = nullptr)
        : store(writable ? tmp.path() : tmp.filePath("file/settings")),
          form(store, clock, launcher, real ? *real : dialogs, &notifier)
    {
        // A directory under a regular file cannot be made by anyone, root included.
        if (!writable)
            QFile(tmp.filePath("file")).open(QIODevice::WriteOnly);
        form.cSysTray1->setAvailabilityCheck([trayAvailable] { return trayAvailable; });
    }

    // Sets combo boxes (by index) and check values, clicks buttons and makes the next answers
    // No, in order, as in "Combo1=23 Check5=2 Command6 No Command5".
    void act(const QString &steps)
    {
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList set = step.split(QLatin1Char('='));
            if (step == "No")
                dialogs.answerYes = false;
            else if (set.size() == 1)
                form.findChild<QAbstractButton *>(step)->click();
            else if (auto *box = form.findChild<QComboBox *>(set[0]))
                box->setCurrentIndex(set[1].toInt());
            else
                setCheckValue(form.findChild<QCheckBox *>(set[0]), set[1].toInt());
        }
    }

    // The settings file as "s1=23 s2=05"; empty when there is none.
    QString keys()
    {
        QFile file(store.filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).remove("[settings]").simplified();
    }

    // The schedule as "shutdown|logoff|program|block from|block until".
    QString schedule() const
    {
        const Scheduler &s = form.scheduler();
        return QStringList{s.shutdownTime(), s.logoffTime(), s.programTime(), s.blockFrom(),
                           s.blockUntil()}.join(QLatin1Char('|'));
    }
};
