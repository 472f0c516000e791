#pragma once

// Stand-ins for the clock, the launcher and the dialogs, shared by the window and tray tests.

#include "scheduler/clock.h"
#include "scheduler/launcher.h"
#include "window/dialogs.h"

#include <QStringList>
#include <QTime>

#include <optional>

class FakeClock final : public Clock {
public:
    QTime now() const override { return time; }
    QTime time{12, 0, 0};
};

class FakeLauncher final : public Launcher {
public:
    bool launch(const QString &commandLine) override
    {
        launched << commandLine;
        return true;
    }
    QStringList launched;
};

class FakeDialogs final : public Dialogs {
public:
    void information(QWidget *, const QString &text) override { informations << text; }
    bool question(QWidget *, const QString &text) override
    {
        questions << text;
        return answerYes;
    }
    std::optional<QString> openProgram(QWidget *) override
    {
        ++opened;
        return chosenFile;
    }

    QStringList informations;
    QStringList questions;
    bool answerYes = true;
    std::optional<QString> chosenFile;
    int opened = 0;
};
