// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <functional>

// A warning given ahead of a shutdown, a logoff or a block window: what will happen, and when.
struct Notice {
    enum class Kind { Shutdown, Logoff, Block };
    Kind kind = Kind::Shutdown;
    QString summary;     // a short title
    QString body;        // the whole sentence, such as "Horalux will shut down this computer at 22:30 (in 60 seconds)."
    int secondsLeft = 0; // until the action's second (for a block: until its start)
    // That second on the monotonic clock; forever where not known.
    QDeadlineTimer due = QDeadlineTimer(QDeadlineTimer::Forever);

    // "(in 1 second)", "(in 60 seconds)", "(now)": the time left as a body says it.
    static QString inSeconds(int seconds);
    // The notice as it reads now, for one shown later than it was made: secondsLeft and the time
    // left in its body counted down to due.
    Notice current() const;
};

// Tells the user ahead of time what Horalux is about to do. The scheduler decides when; the
// desktop's notification service (or the tray balloon, or standard error) shows it. Tests put a
// recording fake in its place.
class Notifier {
public:
    using CancelHandler = std::function<void(Notice::Kind)>;

    virtual ~Notifier() = default;

    // Shows the notice. Never blocks.
    virtual void notify(const Notice &notice) = 0;
    // Takes the notice of this kind off the screen: what it announced will not happen then, or
    // has happened. Never blocks; by default nothing (a notice that cannot be taken back).
    virtual void withdraw(Notice::Kind) {}

    // What to do when the user chooses "Cancel" on a notice of a kind.
    void setCancelHandler(CancelHandler handler) { cancel_ = std::move(handler); }

protected:
    // For implementations: the user chose "Cancel" on a notice of this kind.
    void cancelRequested(Notice::Kind kind) const
    {
        if (cancel_)
            cancel_(kind);
    }

private:
    CancelHandler cancel_;
};
