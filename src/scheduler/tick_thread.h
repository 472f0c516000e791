// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/notifier.h"
#include "scheduler/scheduler.h"
#include "scheduler/session_logout.h"

#include <QMutex>
#include <QThread>

class Clock;
class Launcher;

// The tick on a thread of its own, so that nothing the window's thread does (a modal box, a
// slow desktop, a long paint) can make an action late. Its event loop runs the TickTimer; each
// tick evaluates the Scheduler, launches what is due from this thread and collects the processes
// that have ended.
//
// The window hands over what is armed (setInputs) whenever a control changes, and sets the
// trigger times through with(); both take the lock the tick holds, so a tick sees one whole
// state and the tray tip reads a consistent one. The tick never waits on the window's thread:
// notices and the session's logout go to the thread of the object that takes them (for seams
// that are no QObject, the thread of `home`), queued when that is another thread.
class TickThread final : public QThread {
    Q_OBJECT
public:
    TickThread(const Clock &clock, Launcher &launcher, Notifier *notifier, SessionLogout *logout,
               QObject *home);
    ~TickThread() override;

    // Starts ticking on the thread; stop() ends the thread and waits for it.
    void startTicking();
    void stop();

    void setInputs(const ArmingInputs &in);
    // Runs f on the scheduler under the lock, such as to set a trigger time or to read one.
    template <typename F>
    auto with(F f)
    {
        QMutexLocker lock(&mutex_);
        return f(scheduler_);
    }
    // One tick on the calling thread, as the thread's timer gives them.
    void tick();

protected:
    void run() override;

private:
    // Passes each call to the seam's own thread, without waiting.
    struct Relay final : Notifier, SessionLogout {
        Notifier *notifier = nullptr;
        SessionLogout *logout = nullptr;
        QObject *notifierHome = nullptr;
        QObject *logoutHome = nullptr;
        QMutex *lock = nullptr; // the tick's
        void notify(const Notice &notice) override;
        void withdraw(Notice::Kind kind) override;
        void requestLogout(StillWanted stillWanted) override;
    };

    const Clock &clock_;
    Launcher &launcher_;
    Relay relay_;
    QMutex mutex_;
    ArmingInputs inputs_;
    Scheduler scheduler_;
};
