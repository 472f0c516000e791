// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler/tick_thread.h"

#include "scheduler/launcher.h"
#include "scheduler/tick_timer.h"

namespace {
// The QObject that takes a seam's calls: the seam itself when it is one, else home.
template <typename Seam>
QObject *homeOf(Seam *seam, QObject *home)
{
    auto *object = dynamic_cast<QObject *>(seam);
    return object ? object : home;
}
} // namespace

TickThread::TickThread(const Clock &clock, Launcher &launcher, Notifier *notifier,
                       SessionLogout *logout, QObject *home)
    : QThread(home), clock_(clock), launcher_(launcher),
      scheduler_(clock, launcher, [this] { return inputs_; }, notifier ? &relay_ : nullptr,
                 logout ? &relay_ : nullptr)
{
    relay_.notifier = notifier;
    relay_.logout = logout;
    relay_.notifierHome = homeOf(notifier, home);
    relay_.logoutHome = homeOf(logout, home);
    relay_.lock = &mutex_;
}

TickThread::~TickThread()
{
    stop();
}

void TickThread::startTicking()
{
    start();
}

void TickThread::stop()
{
    quit();
    wait();
}

void TickThread::setInputs(const ArmingInputs &in)
{
    QMutexLocker lock(&mutex_);
    inputs_ = in;
}

void TickThread::tick()
{
    {
        QMutexLocker lock(&mutex_);
        scheduler_.tick();
    }
    launcher_.reapEnded();
}

void TickThread::run()
{
    TickTimer timer(clock_, [this] { tick(); });
    timer.start();
    exec();
}

// Queued even on the seam's own thread: the seam then runs after the tick, not under its lock,
// so that whatever it sets off (a Cancel, a fallback) may hand the tick new inputs.
void TickThread::Relay::notify(const Notice &notice)
{
    QMetaObject::invokeMethod(notifierHome, [n = notifier, notice] { n->notify(notice); },
                              Qt::QueuedConnection);
}

void TickThread::Relay::withdraw(Notice::Kind kind)
{
    QMetaObject::invokeMethod(notifierHome, [n = notifier, kind] { n->withdraw(kind); },
                              Qt::QueuedConnection);
}

void TickThread::Relay::requestLogout(StillWanted stillWanted)
{
    // Asked later, when the session did not take the request: it reads and claims the
    // scheduler's state, so under the tick's lock.
    StillWanted locked = [m = lock, wanted = std::move(stillWanted)] {
        QMutexLocker hold(m);
        return wanted();
    };
    QMetaObject::invokeMethod(logoutHome, [l = logout, locked] { l->requestLogout(locked); },
                              Qt::QueuedConnection);
}
