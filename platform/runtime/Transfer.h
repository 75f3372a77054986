#pragma once

#include <QString>

#include <chrono>

namespace platform {

// One blocking HTTP GET through libcurl. The answer's status and body are not examined: any
// answer from the server counts as success, and the body is drained and dropped. A transfer
// failure raises PlatformError whose description a user understands.
//
// The request runs on a worker thread while the calling thread keeps painting its windows
// and swallows every input event (clicks, keys, close requests) until it is over.
class HttpTransfer {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60'000};

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    std::chrono::milliseconds timeout() const { return timeout_; }

    // Only http and https; redirects are not followed.
    void OpenURL(const QString& url) const;

private:
    std::chrono::milliseconds timeout_ = kDefaultTimeout;
};

}  // namespace platform
