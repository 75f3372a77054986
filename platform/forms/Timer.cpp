#include "platform/forms/Timer.h"

#include "platform/runtime/Handler.h"

#include <QScopedValueRollback>

namespace platform {

Timer::Timer(QObject* parent, int intervalMs, bool enabled) : QObject(parent)
{
    timer_.setInterval(intervalMs);
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::expire);
    if (enabled)
        timer_.start();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled)
        timer_.start();  // restarts the countdown when already armed
    else
        timer_.stop();
}

void Timer::expire()
{
    if (running_ || !handler_)
        return;
    const QScopedValueRollback running(running_, true);
    Handler::run(handler_);
}

}  // namespace platform
