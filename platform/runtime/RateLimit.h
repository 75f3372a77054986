#pragma once

#include <QDeadlineTimer>
#include <QList>

#include <utility>

namespace platform {

// At most `count` events in any `windowMs` milliseconds: the one limit behind everything a
// page may ask for again and again (dialogs, hand-offs to the desktop, log lines, renderer
// restarts).
class RateLimit {
public:
    RateLimit(int count, int windowMs) : count_(count), windowMs_(windowMs) { }

    // Whether one more event may happen now; if so it is counted, if not it is counted as
    // refused.
    bool admit()
    {
        recent_.removeIf([](const QDeadlineTimer& until) { return until.hasExpired(); });
        if (recent_.size() >= count_) {
            ++refused_;
            return false;
        }
        recent_.append(QDeadlineTimer(windowMs_));
        return true;
    }
    // How many events were refused since the last call.
    int takeRefused() { return std::exchange(refused_, 0); }

private:
    int count_;
    int windowMs_;
    int refused_ = 0;
    QList<QDeadlineTimer> recent_;  // when each admitted event leaves the window
};

}  // namespace platform
