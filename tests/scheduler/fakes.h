#pragma once

#include "scheduler/actions.h"
#include "scheduler/clock.h"
#include "scheduler/launcher.h"

#include <QStringList>
#include <QTime>

// A clock the test sets by hand.
class FakeClock final : public Clock {
public:
    QTime now() const override { return time; }
    void set(const QString &text)
    {
        time = QTime::fromString(text, text.size() > 8 ? QStringLiteral("HH:mm:ss.zzz")
                                                       : QStringLiteral("HH:mm:ss"));
    }
    QTime time;
};

// Records every launch as "HH:mm:ss what", what being "shutdown", "logoff" or "run:<text>".
class RecordingLauncher final : public Launcher {
public:
    explicit RecordingLauncher(const Clock &clock) : clock_(clock) {}

    bool launch(const QString &commandLine) override
    {
        QString what;
        if (commandLine == shutdownCommand())
            what = QStringLiteral("shutdown");
        else if (commandLine == logoffCommand())
            what = QStringLiteral("logoff");
        else
            what = QStringLiteral("run:") + commandLine;
        launches << clock_.now().toString(QStringLiteral("HH:mm:ss ")) + what;
        return result;
    }

    QStringList launches;
    bool result = true;

private:
    const Clock &clock_;
};
