// What a hostile page must not reach: other computers over WebRTC, the user's files through
// file pickers, and the user's clipboard.
#include "platform/web/BrowserView.h"
#include "platform/web/ConfinedPage.h"
#include "reader/QV101m.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"
#include "support/UdpListener.h"
#include "support/Waiting.h"

#include <QClipboard>
#include <QFileDialog>
#include <QHostInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <algorithm>

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
constexpr unsigned short kResolverPort = 53;

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
            = waitUntil([&] { return w.WebBrowser1->title() == done; }, 15000);
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
        QVERIFY2(created.value(QStringLiteral("blobFrame"), false) == QVariant(false), "blob");
        for (const char* frame :
             {"main", "srcdocFrame", "blankFrame", "shadowFrame", "listedFrame", "reopenedFrame",
              "rewrittenFrame", "tamperedFrame", "embedFrame", "loadingFrame", "namedShadowFrame",
              "scriptedFrame", "written0", "later0"})
            QVERIFY2(created.contains(QLatin1String(frame)), frame);
        // Every frame, also those reached by number or name: the embeds and frames written in
        // the HTML, one in a closed shadow root, those whose address is refused, and all of
        // them again seconds later.
        for (auto tried = created.cbegin(); tried != created.cend(); ++tried)
            if (tried.key() != QLatin1String("frames") && tried.key() != QLatin1String("blobFrame"))
                QVERIFY2(tried.value() == QVariant(false), qPrintable(tried.key()));
        // Whatever is created connects nowhere: the engine finds no host, not even 127.0.0.1.
        QVERIFY2(!turn.connected(), "a page reached a TCP port through TURN");
        QVERIFY2(!turns.connected(), "a page reached a TCP port through TURNS");
    }

    void noFileOrFolderPickerOpens_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("chooser");  // reaches the page's file chooser, refused there
        QTest::newRow("folder input") << "#chooseFolder" << true;
        QTest::newRow("open picker") << "#open" << false;
        QTest::newRow("directory picker") << "#directory" << false;
        QTest::newRow("save picker over an existing file") << "#save" << false;
    }
    void noFileOrFolderPickerOpens()
    {
        QFETCH(QString, button);
        QFETCH(bool, chooser);
        rig_->folder.write(QStringLiteral("mynotes.txt"), "my own notes");
        // A user who gets a picker chooses the existing file in the book's folder.
        int dialogs = 0;
        rig_->watcher.emplace();
        rig_->watcher->onOtherDialog = [&](QWidget* dialog) {
            ++dialogs;
            if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
                files->setOption(QFileDialog::DontConfirmOverwrite);
                files->selectFile(files->fileMode() == QFileDialog::Directory
                                      ? rig_->folder.path()
                                      : rig_->folder.file(QStringLiteral("mynotes.txt")));
                QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
            } else {
                dialog->close();
            }
        };
        rig_->addHostilePage("pickers.html");
        QV101m& w = rig_->show(QStringLiteral("pickers.html"));
        auto* page = qobject_cast<platform::ConfinedPage*>(w.WebBrowser1->page());
        QSignalSpy refused(page, &platform::ConfinedPage::fileChooserRefused);
        clickElement(w.WebBrowser1, button);
        if (chooser)
            QVERIFY(refused.wait(10000));
        else
            TRY_VERIFY_WITH_TIMEOUT(
                !evaluate(w.WebBrowser1, QStringLiteral("outcome")).toString().isEmpty(), 10000);
        QCOMPARE(dialogs, 0);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(evaluate(w.WebBrowser1, QStringLiteral("outcome")).toString(),
                 chooser ? QString() : QStringLiteral("refused"));
        QCOMPARE(rig_->folder.read(QStringLiteral("mynotes.txt")), QByteArray("my own notes"));
    }

    // The user's Ctrl+C puts the selection on the clipboard, whatever the page's handlers do.
    void userCopyHoldsTheSelection_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("menu");  // Copy in the context menu rather than Ctrl+C
        QTest::newRow("copy handler rewrites the text") << "rewrite" << false;
        QTest::newRow("copy handler cancels the copy") << "cancel" << false;
        QTest::newRow("key handler swallows Ctrl+C") << "swallowKeys" << false;
        QTest::newRow("copy handler rewrites the menu's Copy") << "rewrite" << true;
    }
    void userCopyHoldsTheSelection()
    {
        QFETCH(QString, mode);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        platform::BrowserView* view = openHostile("copy.html", QStringLiteral("?mode=") + mode,
                                                  QStringLiteral("copy ready"));
        evaluate(view, QStringLiteral("getSelection().selectAllChildren(text)"));
        TRY_COMPARE(view->page()->selectedText(), QStringLiteral("The user's selection"));
        QTest::keyClick(view->webView()->focusProxy(), Qt::Key_C, Qt::ControlModifier);
        TRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("The user's selection"));
    }

    // No script of the page writes the clipboard, not even right after the user's click.
    void pageCannotCopyOnItsOwn_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("execCommand on load and on a mouse-up") << "execCommand";
        QTest::newRow("clipboard API on a mouse-up") << "clipboardApi";
        QTest::newRow("srcdoc frame") << "srcdocFrame";
        QTest::newRow("fresh frame filled by the page") << "blankFrame";
        QTest::newRow("fresh frame written by the parser") << "writtenFrame";
        QTest::newRow("fresh frame in a shadow root") << "shadowFrame";
        QTest::newRow("embed made by the script") << "embed";
        QTest::newRow("embed written by the parser") << "writtenEmbed";
        QTest::newRow("document opened anew") << "reopened";
        QTest::newRow("document written anew once loaded") << "rewritten";
    }
    void pageCannotCopyOnItsOwn()
    {
        QFETCH(QString, mode);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
        platform::BrowserView* view = openHostile("copy.html", QStringLiteral("?mode=") + mode,
                                                  QStringLiteral("copy ready"));
        clickElement(view, QStringLiteral("#target"));
        TRY_VERIFY(evaluate(view, QStringLiteral("attempts")).toInt() > 0);
        QVERIFY2(changed.isEmpty() && !changed.wait(1000), "a page wrote the clipboard");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // Run by webrtc_dns_test.sh in a network namespace whose only resolver is this test.
    void noHostNameIsLookedUp()
    {
        if (!qEnvironmentVariableIsSet("DA1011_RESOLVER_ON_LOOPBACK"))
            QSKIP("runs in a network namespace of its own (webrtc_dns_test.sh)");
        const UdpListener resolver(kResolverPort);
        QCOMPARE(resolver.port(), int{kResolverPort});
        // The check itself reaches the resolver: it is the one the system asks.
        QVERIFY(QHostInfo::fromName(QStringLiteral("check.quorvel.example")).error()
                != QHostInfo::NoError);
        QVERIFY(resolver.received());
        while (resolver.received()) { }
        platform::BrowserView* view = openHostile("webrtc.html", QStringLiteral("?turn=1&turns=1"),
                                                  QStringLiteral("webrtc done"));
        QCOMPARE(view->title(), QStringLiteral("webrtc done"));
        QVERIFY2(!resolver.received(), "a TURN server's host name was looked up");
    }
};

DA1011_TEST_MAIN(ReaderConfinementTest)
#include "test_reader_confinement.moc"
