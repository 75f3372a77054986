// What a hostile page must not reach: other computers over WebRTC, the user's files through
// file pickers, and the user's clipboard.
#include "platform/BrowserView.h"
#include "reader/QV101m.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"

#include <QHostInfo>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP port on 127.0.0.1 that notes whether anyone connected.
class TcpListener {
public:
    TcpListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 8) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~TcpListener() { ::close(fd_); }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    int port() const { return port_; }
    bool connected() const
    {
        pollfd ready{fd_, POLLIN, 0};
        return ::poll(&ready, 1, 0) > 0;
    }

private:
    int fd_;
    int port_ = 0;
};

// UDP port 53 on 127.0.0.1, where the system's resolvers are sent by webrtc_dns_test.sh.
class ResolverListener {
public:
    ResolverListener() : fd_(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~ResolverListener() { ::close(fd_); }
    ResolverListener(const ResolverListener&) = delete;
    ResolverListener& operator=(const ResolverListener&) = delete;

    bool bound() const { return bound_; }
    bool asked() const
    {
        char byte = 0;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) >= 0;
    }

private:
    int fd_;
    bool bound_ = false;
};

class ReaderConfinementTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;

    // Loads a hostile page of the book with a query and waits until it says it is done.
    platform::BrowserView* openHostile(const char* page, const QString& query, const QString& done)
    {
        rig_->addHostilePage(page);
        QV101m& w = rig_->show();
        w.WebBrowser1->page()->setUrl(
            QUrl::fromLocalFile(rig_->folder.file(QLatin1String(page))).resolved(QUrl(query)));
        // Not through Navigate(), which takes no query: wait for the page itself.
        [[maybe_unused]] const bool finished
            = QTest::qWaitFor([&] { return w.WebBrowser1->title() == done; }, 15000);
        return w.WebBrowser1;
    }

private slots:
    void init() { rig_.emplace(); }
    void cleanup() { rig_.reset(); }

    void noFrameCanOpenAPeerConnection()
    {
        const TcpListener turn;
        const TcpListener turns;
        platform::BrowserView* view = openHostile(
            "webrtc.html", QStringLiteral("?turn=%1&turns=%2").arg(turn.port()).arg(turns.port()),
            QStringLiteral("webrtc done"));
        QCOMPARE(view->title(), QStringLiteral("webrtc done"));
        // A frame's own scripts find no WebRTC (a blob: frame of a file page does not load).
        const QVariantMap created = evaluate(view, QStringLiteral("results")).toMap();
        for (const char* frame : {"main", "blobFrame", "srcdocFrame"})
            QVERIFY2(created.value(QLatin1String(frame), false) == QVariant(false), frame);
        QEXPECT_FAIL("", "a fresh frame's constructor is there before any script of the program",
                     Continue);
        QCOMPARE(created.value(QStringLiteral("blankFrame")), QVariant(false));
        // Whatever is created connects nowhere: the engine finds no host, not even 127.0.0.1.
        QVERIFY2(!turn.connected(), "a page reached a TCP port through TURN");
        QVERIFY2(!turns.connected(), "a page reached a TCP port through TURNS");
    }

    // Run by webrtc_dns_test.sh in a network namespace whose only resolver is this test.
    void noHostNameIsLookedUp()
    {
        if (!qEnvironmentVariableIsSet("DA1011_RESOLVER_ON_LOOPBACK"))
            QSKIP("runs in a network namespace of its own (webrtc_dns_test.sh)");
        const ResolverListener resolver;
        QVERIFY(resolver.bound());
        // The check itself reaches the resolver: it is the one the system asks.
        QVERIFY(QHostInfo::fromName(QStringLiteral("check.quorvel.example")).error()
                != QHostInfo::NoError);
        QVERIFY(resolver.asked());
        while (resolver.asked()) { }
        platform::BrowserView* view = openHostile("webrtc.html", QStringLiteral("?turn=1&turns=1"),
                                                  QStringLiteral("webrtc done"));
        QCOMPARE(view->title(), QStringLiteral("webrtc done"));
        QVERIFY2(!resolver.asked(), "a TURN server's host name was looked up");
    }
};

DA1011_TEST_MAIN(ReaderConfinementTest)
#include "test_reader_confinement.moc"
