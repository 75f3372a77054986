#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QList>

#include <chrono>
#include <mutex>
#include <thread>

// A real HTTP server on 127.0.0.1 for the subscription tests. It records the raw request
// target of every request and answers with whatever the test set up.
class LoopbackServer {
public:
    LoopbackServer()
    {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ~LoopbackServer()
    {
        server_.stop();
        thread_.join();
    }

    httplib::Server& server() { return server_; }
    int port() const { return port_; }
    QByteArray base() const
    {
        return "http://127.0.0.1:" + QByteArray::number(port_)
            + "/quorvelweekly/subscribe.cgi?email=";
    }

    void record(const httplib::Request& request)
    {
        std::lock_guard lock(mutex_);
        targets_.append(QByteArray::fromStdString(request.target));
    }
    QList<QByteArray> targets() const
    {
        std::lock_guard lock(mutex_);
        return targets_;
    }

    // Answers every GET on the subscription path with the given status.
    void answerWith(int status)
    {
        server_.Get("/quorvelweekly/subscribe.cgi",
                    [this, status](const httplib::Request& request, httplib::Response& response) {
                        record(request);
                        response.status = status;
                        response.set_content("thank you", "text/plain");
                    });
    }

private:
    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    QList<QByteArray> targets_;
};
