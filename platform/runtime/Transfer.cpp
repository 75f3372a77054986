#include "platform/runtime/Transfer.h"

#include "platform/runtime/Errors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <thread>

namespace platform {

namespace {

struct Outcome {
    CURLcode code = CURLE_OK;
    QString detail;
};

size_t dropBody(char*, size_t size, size_t count, void*)
{
    return size * count;
}

Outcome performGet(const QByteArray& url, std::chrono::milliseconds timeout)
{
    Outcome outcome;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        outcome.code = CURLE_FAILED_INIT;
        return outcome;
    }
    char error[CURL_ERROR_SIZE] = {};
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &dropBody);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "DA1011/1.0");
    outcome.code = curl_easy_perform(h);
    outcome.detail = QString::fromLocal8Bit(error);
    return outcome;
}

QString describe(const Outcome& outcome)
{
    switch (outcome.code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("the server's name could not be found");
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("the proxy server's name could not be found");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("the server could not be reached");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("the server did not answer in time");
    case CURLE_UNSUPPORTED_PROTOCOL:
        return QStringLiteral("the address is not an http or https address");
    case CURLE_URL_MALFORMAT:
        return QStringLiteral("the address is not valid");
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("the connection to the server was broken");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("a secure connection to the server could not be made");
    default:
        return QString::fromUtf8(curl_easy_strerror(outcome.code));
    }
}

// Swallows user input while a blocking request runs; paint and timer events still flow.
class InputBlocker : public QObject {
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};

}  // namespace

void HttpTransfer::OpenURL(const QString& url) const
{
    const QByteArray address = url.toUtf8();
    Outcome outcome;
    std::atomic<bool> done{false};
    QEventLoop loop;
    {
        InputBlocker blocker;
        std::thread worker([&] {
            outcome = performGet(address, timeout_);
            done = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        if (!done)
            loop.exec();
        worker.join();
    }
    if (outcome.code != CURLE_OK)
        throw PlatformError(kErrTransferFailed, describe(outcome));
}

}  // namespace platform
