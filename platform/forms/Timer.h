#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace platform {

// A form's timer: an enabled flag, an interval and a repeating expiry. While the handler
// of one expiry is still running (a print prompt or a message box runs its own event loop)
// no further expiry is delivered.
class Timer : public QObject {
    Q_OBJECT
public:
    Timer(QObject* parent, int intervalMs, bool enabled);

    bool enabled() const { return timer_.isActive(); }
    void setEnabled(bool enabled);
    int interval() const { return timer_.interval(); }

    void onExpiry(std::function<void()> handler) { handler_ = std::move(handler); }
    bool handlerRunning() const { return running_; }

private:
    void expire();

    QTimer timer_;
    std::function<void()> handler_;
    bool running_ = false;
};

}  // namespace platform
