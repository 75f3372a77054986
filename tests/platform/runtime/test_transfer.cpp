#include "platform/runtime/Errors.h"
#include "platform/runtime/Transfer.h"
#include "support/LoopbackServer.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using platform::HttpTransfer;
using platform::PlatformError;

namespace {

QString failureOf(const HttpTransfer& transfer, const QString& url)
{
    try {
        transfer.OpenURL(url);
    } catch (const PlatformError& error) {
        return error.description();
    }
    return QString();
}

}  // namespace

class TransferTest : public QObject {
    Q_OBJECT

private slots:
    void anyAnswerCountsAsSuccess_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("200") << 200;
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }
    void anyAnswerCountsAsSuccess()
    {
        QFETCH(int, status);
        LoopbackServer server;
        server.answerWith(status);
        HttpTransfer transfer;
        transfer.OpenURL(QString::fromLatin1(server.base() + "a%40b.example&fname1=Ann"));
        QCOMPARE(server.targets(),
                 QList<QByteArray>{"/quorvelweekly/subscribe.cgi?email=a%40b.example&fname1=Ann"});
    }

    void redirectsAreNotFollowed()
    {
        LoopbackServer server;
        int elsewhere = 0;
        server.server().Get("/quorvelweekly/subscribe.cgi",
                            [&](const httplib::Request& request, httplib::Response& response) {
                                server.record(request);
                                response.set_redirect("/elsewhere");
                            });
        server.server().Get("/elsewhere",
                            [&](const httplib::Request&, httplib::Response&) { ++elsewhere; });
        HttpTransfer().OpenURL(QString::fromLatin1(server.base() + "x&fname1=y"));
        QCOMPARE(server.targets().size(), 1);
        QCOMPARE(elsewhere, 0);
    }

    void failuresRaiseErrorsAUserUnderstands()
    {
        // A port that was free a moment ago refuses the connection.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        HttpTransfer transfer;
        QCOMPARE(failureOf(transfer, QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort)),
                 QStringLiteral("the server could not be reached"));
        QCOMPARE(failureOf(transfer, QStringLiteral("ftp://127.0.0.1/x")),
                 QStringLiteral("the address is not an http or https address"));
        QCOMPARE(failureOf(transfer, QStringLiteral("file:///etc/passwd")),
                 QStringLiteral("the address is not an http or https address"));
        QCOMPARE(failureOf(transfer, QStringLiteral("http://no-such-host.invalid/x")),
                 QStringLiteral("the server's name could not be found"));
    }

    void aStalledOrEndlessAnswerEndsAtTheTimeout()
    {
        LoopbackServer server;
        server.server().Get("/stall", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(1500ms);
            response.set_content("late", "text/plain");
        });
        server.server().Get("/endless", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [](size_t, httplib::DataSink& sink) {
                    static const std::string block(size_t{64} * 1024, 'z');
                    return sink.write(block.data(), block.size());
                });
        });
        HttpTransfer transfer;
        transfer.setTimeout(500ms);
        const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(failureOf(transfer, base + QStringLiteral("/stall")),
                 QStringLiteral("the server did not answer in time"));
        QCOMPARE(failureOf(transfer, base + QStringLiteral("/endless")),
                 QStringLiteral("the server did not answer in time"));
        QVERIFY(clock.elapsed() < 5000);
    }

    void theUiKeepsRunningButTakesNoInputDuringTheRequest()
    {
        LoopbackServer server;
        server.server().Get("/slow", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(600ms);
            response.set_content("ok", "text/plain");
        });
        QPushButton button(QStringLiteral("press me"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&] { ++clicks; });
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
        tick.start(50);
        QTimer::singleShot(200, this, [&] {
            QTest::mouseClick(&button, Qt::LeftButton);
            QTest::keyClick(&button, Qt::Key_Space);
            button.close();
        });
        HttpTransfer().OpenURL(QStringLiteral("http://127.0.0.1:%1/slow").arg(server.port()));
        QVERIFY2(ticks >= 5, "events stopped flowing while the request ran");
        QCOMPARE(clicks, 0);
        QVERIFY(button.isVisible());
    }
};

DA1011_TEST_MAIN(TransferTest)
#include "test_transfer.moc"
