#include "platform/forms/PictureBox.h"
#include "platform/forms/Timer.h"
#include "platform/forms/Twips.h"
#include "platform/runtime/Errors.h"
#include "platform/web/BrowserView.h"
#include "reader/QV101m.h"
#include "support/LoopbackServer.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"
#include "support/TwipsPlaces.h"
#include "support/UdpListener.h"
#include "support/Waiting.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// Stands in for the desktop's opener while it lives: records every address the program
// hands to the user's browser, mail program or file manager, whatever its kind.
class FakeDesktopOpener : public QObject {
    Q_OBJECT
public:
    FakeDesktopOpener()
    {
        for (const QString& scheme : schemes())
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~FakeDesktopOpener() override
    {
        for (const QString& scheme : schemes())
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QStringList opened() const { return opened_; }

public slots:
    void open(const QUrl& url) { opened_ << url.toString(); }

private:
    static QStringList schemes()
    {
        return {"http", "https", "mailto", "file", "smb", "ssh", "apt", "ftp", "data"};
    }
    QStringList opened_;
};

class ReaderWindowTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;

    // A dialog a page has open, if any.
    static QDialog* openPageDialog()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                return box;
        }
        return nullptr;
    }

    template <typename Dialog> static Dialog* topLevel()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }

    // Gives the window the outer size, frame included, in twips.
    static void resizeOuter(QV101m& window, int widthTwips, int heightTwips)
    {
        window.showNormal();
        QCoreApplication::processEvents();
        const QSize frame = window.frameGeometry().size() - window.size();
        window.resize(platform::twipsToPixels(widthTwips) - frame.width(),
                      platform::twipsToPixels(heightTwips) - frame.height());
        QCoreApplication::processEvents();
        QCOMPARE(window.outerWidthTwips(), static_cast<float>(widthTwips));
        QCOMPARE(window.outerHeightTwips(), static_cast<float>(heightTwips));
    }

private slots:
    void init() { rig_.emplace(); }
    void cleanup() { rig_.reset(); }

    void theWindowOpensMaximizedOnTheStartPage()
    {
        QVERIFY(rig_->folder.path().contains(QLatin1Char(' ')));
        QV101m& w = QV101m::instance();
        QVERIFY(!w.Timer1->enabled());
        QCOMPARE(w.Timer1->interval(), 1000);
        w.ShowMaximized();
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorvel 101"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        QCOMPARE(w.WebBrowser1->url(), QUrl::fromLocalFile(rig_->folder.file("start.html")));
        QCOMPARE(w.WebBrowser1->title(), QStringLiteral("Quorvel 101 - Contents"));
        // The view fills the maximized window, not its designed size.
        QCOMPARE(w.WebBrowser1->Width(), w.outerWidthTwips() - 2420.0f);
        QCOMPARE(w.WebBrowser1->Height(), w.outerHeightTwips() - 700.0f);
        QVERIFY(!w.Timer1->enabled());
    }

    void restoredTheWindowIsCentredWithItsDesignedClientArea()
    {
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        w.showNormal();
        TRY_COMPARE(w.size(), QSize(394, 414));  // 5910 x 6210 twips
        const QRect screen = w.screen()->availableGeometry();
        QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(w.geometry().center().y() - screen.center().y()) <= 1);
    }

    void theSidePanelSitsAtItsPlaceInTwips()
    {
        QV101m& w = QV101m::instance();
        const TwipsPlaces places = {
            {w.Command1, {360, 3840, 1455, 375}}, {w.Picture1, {120, 120, 1920, 2160}},
            {w.Command2, {360, 2880, 1455, 375}}, {w.Label1, {120, 4920, 1935, 255}},
            {w.Label2, {120, 5160, 1935, 255}},   {w.Label3, {120, 2520, 1935, 255}},
            {w.Label4, {120, 5400, 1935, 255}},   {w.Command3, {360, 3360, 1455, 375}},
        };
        const QString misplaced = misplacedControl(places);
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
        QCOMPARE(platform::twipsRect(*w.WebBrowser1).topLeft(), QPoint(2160, 120));
        QCOMPARE(w.Picture1->picture().size(), QSize(124, 140));
        QCOMPARE(w.Command1->text(), QStringLiteral("Print Entire Book"));
        QCOMPARE(w.Command2->text(), QStringLiteral("Table Of Contents"));
        QCOMPARE(w.Command3->text(), QStringLiteral("Print Current Page"));
        QVERIFY(w.Label3->text().startsWith(QStringLiteral("By: ")));
        for (QLabel* credit : {w.Label1, w.Label2, w.Label3, w.Label4}) {
            QCOMPARE(credit->font().family(), QStringLiteral("Small Fonts"));
            QVERIFY(credit->font().pointSizeF() <= 6.75);
            QVERIFY2(QFontMetrics(credit->font()).horizontalAdvance(credit->text())
                         <= credit->width(),
                     qPrintable(credit->text()));
        }
        for (QPushButton* button : {w.Command1, w.Command2, w.Command3})
            QVERIFY(!button->autoDefault() && !button->isDefault());
    }

    void tabOrderCyclesFromTheBrowserView()
    {
        QV101m& w = QV101m::instance();
        w.Show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TRY_VERIFY(w.WebBrowser1->isAncestorOf(QApplication::focusWidget())
                   || QApplication::focusWidget() == w.WebBrowser1);
        w.Command1->setFocus();
        for (QWidget* next : std::initializer_list<QWidget*>{w.Picture1, w.Command2, w.Command3}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(w.WebBrowser1->isAncestorOf(QApplication::focusWidget()));
    }

    void theViewKeepsItsDistancesToTheWindowsEdges_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("designed") << 5910 << 6210;
        QTest::newRow("large") << 15000 << 9000;
        QTest::newRow("odd pixels") << 7005 << 4515;
    }
    void theViewKeepsItsDistancesToTheWindowsEdges()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QV101m& w = QV101m::instance();
        resizeOuter(w, width, height);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(w.WebBrowser1->Width(), static_cast<float>(width - 2420));
        QCOMPARE(w.WebBrowser1->Height(), static_cast<float>(height - 700));
        QCOMPARE(w.WebBrowser1->width(), platform::twipsToPixels(static_cast<float>(width - 2420)));
        QCOMPARE(w.WebBrowser1->height(),
                 platform::twipsToPixels(static_cast<float>(height - 700)));
        QCOMPARE(platform::twipsRect(*w.WebBrowser1).topLeft(), QPoint(2160, 120));
    }

    void wideningTheWindowWidensOnlyTheView()
    {
        QV101m& w = QV101m::instance();
        resizeOuter(w, 9000, 7500);
        const QRect before = w.WebBrowser1->geometry();
        const QRect panelBefore = w.Command3->geometry();
        resizeOuter(w, 10500, 7500);
        QCOMPARE(w.WebBrowser1->Width() - 1500.0f, static_cast<float>(9000 - 2420));
        QCOMPARE(w.WebBrowser1->geometry().width() - before.width(), 100);  // 1500 twips
        QCOMPARE(w.WebBrowser1->geometry().left(), before.left());
        QCOMPARE(w.WebBrowser1->geometry().height(), before.height());
        QCOMPARE(w.Command3->geometry(), panelBefore);
    }

    void aRefusedExtentIsKeptWhileTheOtherIsStillSet_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        // Narrower than the picture plus 500, or lower than 700: a negative extent.
        QTest::newRow("width refused") << 1500 << 6000;
        QTest::newRow("height refused") << 7995 << 600;
    }
    void aRefusedExtentIsKeptWhileTheOtherIsStillSet()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QV101m& w = QV101m::instance();
        resizeOuter(w, 9000, 7500);
        const float oldWidth = w.WebBrowser1->Width();
        const float oldHeight = w.WebBrowser1->Height();
        resizeOuter(w, width, height);
        QCOMPARE(w.WebBrowser1->Width(), width < 2420 ? oldWidth : width - 2420.0f);
        QCOMPARE(w.WebBrowser1->Height(), height < 700 ? oldHeight : height - 700.0f);
    }

    void theViewRefusesSizesItCannotTake()
    {
        QV101m& w = QV101m::instance();
        w.WebBrowser1->setWidth(3000);
        for (float bad : {-1.0f, std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(), 1e12f}) {
            QVERIFY_THROWS_EXCEPTION(platform::PlatformError, w.WebBrowser1->setWidth(bad));
        }
        QCOMPARE(w.WebBrowser1->Width(), 3000.0f);
    }

    void tableOfContentsReloadsTheStartPageAndLeavesTheTimerAlone()
    {
        QV101m& w = rig_->show();
        QSignalSpy started(w.WebBrowser1, &platform::BrowserView::loadStarted);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        TRY_COMPARE(started.count(), 1);  // loaded again although it is shown
        QVERIFY(!w.Timer1->enabled());

        w.WebBrowser1->Navigate(rig_->folder.file("chapter02.html"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter02.html")));
        w.Timer1->setEnabled(true);  // a pending print stays pending
        const QRect size = w.WebBrowser1->geometry();
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(w.Timer1->enabled());
        w.Timer1->setEnabled(false);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        QCOMPARE(w.WebBrowser1->geometry(), size);
    }

    void linksLeadThroughTheBook()
    {
        QV101m& w = rig_->show();
        w.WebBrowser1->page()->runJavaScript(
            QStringLiteral("document.querySelector('a[href=\"chapter01.html\"]').click()"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter01.html")));
    }

    // Hostile pages: what a page does on its own never leaves the book; a click on a web link
    // goes to the user's browser, once.
    void pagesReadOnlyTheirOwnFolderAndNeverTheNetwork()
    {
        LoopbackServer server;
        server.server().Get(".*", [&server](const httplib::Request& request, httplib::Response&) {
            server.record(request);
        });
        const QString web = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
        QTemporaryFile outside;
        QVERIFY(outside.open());
        outside.write("secret");
        outside.close();
        QVERIFY(QFile::link(outside.fileName(), rig_->folder.file("link.txt")));
        const UdpListener stun;
        rig_->addHostilePage("probe.html");
        QV101m& w = rig_->show();
        const QString query = QStringLiteral("?outside=%1&web=%2&udp=%3")
                                  .arg(QUrl::fromLocalFile(outside.fileName()).toString(), web)
                                  .arg(stun.port());
        w.WebBrowser1->page()->setUrl(
            QUrl::fromLocalFile(rig_->folder.file("probe.html")).resolved(QUrl(query)));
        // Not through Navigate(), which takes no query: wait for the page itself.
        TRY_COMPARE_WITH_TIMEOUT(
            evaluate(w.WebBrowser1, QStringLiteral("document.title + ' ' + document.readyState")),
            QVariant(QStringLiteral("probe complete")), 15000);
        const QVariant results
            = evaluate(w.WebBrowser1, QStringLiteral("window.done.then(() => results)"), true);
        QCOMPARE(results.toMap(),
                 (QVariantMap{{"inBook", true},
                              {"passwd", false},
                              {"outside", false},
                              {"throughLink", false},
                              {"web", false}}));
        letEventsRun(300);
        QCOMPARE(server.targets(), QList<QByteArray>{});
        QVERIFY2(!stun.received(), "a page reached a UDP port through WebRTC");

        // The book itself keeps its pictures, stylesheet and anchors.
        w.WebBrowser1->Navigate(QV101m::wholeBookLocation());
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("Quorvel 101.HTM")));
        QCOMPARE(evaluate(w.WebBrowser1,
                          QStringLiteral(
                              "[...document.images].every(i => i.complete && i.naturalWidth > 0)"
                              " && document.images.length > 0"
                              " && document.styleSheets[0].cssRules.length > 0")),
                 QVariant(true));
        clickElement(w.WebBrowser1, QStringLiteral("a[href^='#']"));
        TRY_VERIFY(w.WebBrowser1->url().hasFragment());
    }

    void onlyAClickedWebLinkLeavesTheBookOncePerClick()
    {
        FakeDesktopOpener opener;
        rig_->addHostilePage("links.html");
        QV101m& w = rig_->show(QStringLiteral("links.html"));
        letEventsRun(1200);
        QCOMPARE(opener.opened(), QStringList{});
        QCOMPARE(w.WebBrowser1->url().fileName(), QStringLiteral("links.html"));

        const QStringList expected = {QStringLiteral("http://www.quorvel.example/news"),
                                      QStringLiteral("https://www.quorvel.example/shop")};
        for (const char* link : {"#web", "#popup", "#smb", "#burst"}) {
            clickElement(w.WebBrowser1, QLatin1String(link));
            letEventsRun(1100);  // hand-offs are spaced a second apart
        }
        TRY_COMPARE(opener.opened(), expected);
        QCOMPARE(w.WebBrowser1->url().fileName(), QStringLiteral("links.html"));
        clickElement(w.WebBrowser1, QStringLiteral("#inbook"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter02.html")));
        QCOMPARE(opener.opened(), expected);
    }

    void onlyTheAddressOfTheLinkClickedIsHandedOff()
    {
        FakeDesktopOpener opener;
        rig_->addHostilePage("handoff.html");
        QV101m& w = rig_->show(QStringLiteral("handoff.html"));
        QWidget* surface = w.WebBrowser1->webView()->focusProxy();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(surface, Qt::Key_PageDown);
        QTest::keyClick(surface, Qt::Key_Home);
        TRY_COMPARE(evaluate(w.WebBrowser1, QStringLiteral("scrollY")).toInt(), 0);
        for (int i = 0; i < 2; ++i)
            clickElement(w.WebBrowser1, QStringLiteral("#empty"));
        letEventsRun(1200);
        QCOMPARE(opener.opened(), QStringList{});
        clickElement(w.WebBrowser1, QStringLiteral("#web"));
        TRY_COMPARE(opener.opened(), QStringList{"http://www.quorvel.example/news"});
        letEventsRun(1100);  // hand-offs are spaced a second apart
        clickElement(w.WebBrowser1, QStringLiteral("#mail"));
        TRY_COMPARE(opener.opened(),
                    (QStringList{"http://www.quorvel.example/news",
                                 "mailto:author@quorvel.example?subject=Hi&body=x"}));
        letEventsRun(1200);
        QCOMPARE(opener.opened().size(), 2);
    }

    void aPageCannotTrapTheUserInDialogs()
    {
        rig_->addHostilePage("alerts.html");
        QV101m& w = rig_->show();
        // The page's dialogs run in loops of their own: answer them from the event loop.
        int answered = 0;
        QPointer<QDialog> openWhenClosed;
        bool closeInstead = false;
        bool closedWithDialogOpen = false;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            QDialog* dialog = openPageDialog();
            if (!dialog)
                return;
            if (closeInstead) {
                openWhenClosed = dialog;
                closedWithDialogOpen = true;
                w.close();
            } else {
                dialog->accept();
                ++answered;
            }
        });
        user.start(50);
        w.WebBrowser1->Navigate(rig_->folder.file("alerts.html"));
        TRY_VERIFY(evaluate(w.WebBrowser1, QStringLiteral("window.shown")).toInt() > 20);
        QCOMPARE(answered, 3);

        // Coming back to the page brings no new dialogs.
        QSignalSpy loaded(w.WebBrowser1, &platform::BrowserView::loadFinished);
        w.WebBrowser1->Navigate(rig_->folder.file("alerts.html"));
        TRY_VERIFY(!loaded.isEmpty());
        TRY_VERIFY(evaluate(w.WebBrowser1, QStringLiteral("window.shown")).toInt() > 20);
        QCOMPARE(answered, 3);

        // Another page has dialogs of its own; closing the window while one is open works.
        QVERIFY(QFile::copy(rig_->folder.file("alerts.html"), rig_->folder.file("more.html")));
        closeInstead = true;
        w.WebBrowser1->Navigate(rig_->folder.file("more.html"));
        TRY_VERIFY(!QV101m::loadedInstance());
        QVERIFY(closedWithDialogOpen);
        TRY_VERIFY(!openWhenClosed || !openWhenClosed->isVisible());
        QCOMPARE(answered, 3);
    }

    void reloadingAPageBringsNoNewDialogs()
    {
        rig_->addHostilePage("reload-dialogs.html");
        rig_->addHostilePage("alerts.html");
        QV101m& w = rig_->show();
        int answered = 0;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            if (QDialog* dialog = openPageDialog()) {
                dialog->accept();
                ++answered;
            }
        });
        user.start(50);
        w.WebBrowser1->Navigate(rig_->folder.file("reload-dialogs.html"));
        TRY_VERIFY_WITH_TIMEOUT(
            evaluate(w.WebBrowser1, QStringLiteral("Number(window.name)")).toInt() > 8, 20000);
        QCOMPARE(answered, 3);
        w.WebBrowser1->Navigate(rig_->folder.file("alerts.html"));
        TRY_COMPARE(answered, 6);
    }

    void aDialogShowsThePagesTextAsGivenAndFitsTheScreen()
    {
        rig_->addHostilePage("dialog-texts.html");
        QV101m& w = rig_->show(QStringLiteral("dialog-texts.html"));
        // The page's dialogs run in loops of their own: look at them from the event loop.
        QString shown;  // what a person sees, and hears from a screen reader
        QString value;
        qsizetype textLength = -1;
        QRect screen;
        QRect boxFrame;
        QRect okFrame;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            if (auto* input = topLevel<QInputDialog>()) {
                auto* label = input->findChild<QLabel*>();
                shown = label
                    ? QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name)
                    : QStringLiteral("no label");
                value = input->textValue();
                input->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(openPageDialog())) {
                textLength = box->text().size();
                screen = box->screen()->availableGeometry();
                boxFrame = box->frameGeometry();
                const QAbstractButton* ok = box->button(QMessageBox::Ok);
                okFrame = QRect(ok->mapToGlobal(QPoint()), ok->size());
                box->accept();
            }
        });
        user.start(50);
        w.WebBrowser1->page()->runJavaScript(QStringLiteral("ask.prompt()"));
        TRY_COMPARE(shown, QStringLiteral("Tom & Jerry"));
        QCOMPARE(value, QStringLiteral("&x"));

        w.WebBrowser1->page()->runJavaScript(QStringLiteral("ask.alert()"));
        TRY_VERIFY(textLength >= 0);
        QVERIFY(textLength < 5000);
        QVERIFY2(
            screen.contains(boxFrame),
            qPrintable(QStringLiteral("%1 x %2").arg(boxFrame.width()).arg(boxFrame.height())));
        QVERIFY(screen.contains(okFrame));
    }

    void aPagesConsoleIsLoggedRateLimitedAndEscaped()
    {
        static QStringList lines;
        lines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                const QByteArray category(context.category ? context.category : "");
                if (category == "js" || category == "da1011.page")
                    lines << text;
            });
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
        rig_->addHostilePage("console.html");
        QV101m& w = rig_->show(QStringLiteral("console.html"));
        TRY_COMPARE_WITH_TIMEOUT(w.WebBrowser1->title(), QStringLiteral("flooded"), 60000);
        // The page keeps writing: a line of it gets through once the log has room again.
        TRY_VERIFY_WITH_TIMEOUT(
            !lines.filter(QStringLiteral("\\x1b[2Jstill here\\u2067")).isEmpty(), 15000);
        QVERIFY2(lines.size() <= 50, qPrintable(QString::number(lines.size())));
        for (const QString& line : std::as_const(lines)) {
            for (const QChar c : line) {
                QVERIFY2(c.unicode() >= 0x20 && (c.unicode() < 0x7f || c.unicode() >= 0xa0)
                             && c.category() != QChar::Other_Format,
                         qPrintable(line.toUtf8().toPercentEncoding(" ")));
            }
        }
    }

    void onlyRegularFilesAreRead()
    {
        QCOMPARE(::mkfifo(QFile::encodeName(rig_->folder.file("fifo.png")).constData(), 0600), 0);
        rig_->addHostilePage("fifo.html");
        QV101m& w = rig_->show(QStringLiteral("fifo.html"));
        QCOMPARE(evaluate(w.WebBrowser1,
                          QStringLiteral("[pipe.complete && pipe.naturalWidth == 0,"
                                         " cover.naturalWidth > 0]")),
                 QVariant(QVariantList{true, true}));
    }

    void aRendererThatKeepsDyingGivesWayToANotice()
    {
        QV101m& w = rig_->show();
        for (int death = 1; death <= 4; ++death) {
            QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
            TRY_VERIFY(w.WebBrowser1->page()->renderProcessPid() > 0);
            const qint64 pid = w.WebBrowser1->page()->renderProcessPid();
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            TRY_VERIFY(w.WebBrowser1->page()->renderProcessPid() != pid);
        }
        TRY_COMPARE(w.WebBrowser1->title(), QStringLiteral("Page not shown"));
        QTest::mouseClick(w.Command2, Qt::LeftButton);  // the side panel still works
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
    }

    void locationsWithSpacesHashesAndDoubledSeparatorsAreFiles()
    {
        using platform::BrowserView;
        QCOMPARE(BrowserView::locationToUrl(QStringLiteral("//start.html")),
                 QUrl(QStringLiteral("file:///start.html")));
        QCOMPARE(BrowserView::locationToUrl(QStringLiteral("/a b/Quorvel 101.HTM"))
                     .toString(QUrl::FullyEncoded),
                 QStringLiteral("file:///a%20b/Quorvel%20101.HTM"));
        QCOMPARE(BrowserView::locationToUrl(QStringLiteral("/x#y/start.html")).toLocalFile(),
                 QStringLiteral("/x#y/start.html"));
    }

    void aHungPageGivesWayToTheTableOfContents()
    {
        rig_->addHostilePage("stuck.html");
        QV101m& w = rig_->show(QStringLiteral("stuck.html"));
        TRY_VERIFY_WITH_TIMEOUT(!answersWithin(w.WebBrowser1, 300), 10000);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(answersWithin(w.WebBrowser1, 5000));
    }

    void leavingAPageEndsItOnlyWhenItStopsAnswering_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("leftWhileBusy");
        QTest::addColumn<QString>("savedAs");  // where the page keeps the notes as it is left
        QTest::newRow("busy for 3 s when left")
            << QStringLiteral("busy.html") << true << QStringLiteral("busy-notes");
        QTest::newRow("busy for 3 s as it is left")
            << QStringLiteral("leave-slow.html") << false << QStringLiteral("leave-slow-notes");
        QTest::newRow("endless as it is left")
            << QStringLiteral("leave-hang.html") << false << QString();
    }
    void leavingAPageEndsItOnlyWhenItStopsAnswering()
    {
        QFETCH(QString, page);
        QFETCH(bool, leftWhileBusy);
        QFETCH(QString, savedAs);
        rig_->addHostilePage(qPrintable(page));
        QV101m& w = rig_->show(page);
        if (!savedAs.isEmpty())
            evaluate(w.WebBrowser1, QStringLiteral("notes.value = 'knots to try'"));
        if (leftWhileBusy)
            TRY_VERIFY_WITH_TIMEOUT(!answersWithin(w.WebBrowser1, 300), 10000);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        // The README: ended five seconds after its last answer, then a fresh renderer starts.
        QVERIFY2(clock.elapsed() < 12000, qPrintable(QString::number(clock.elapsed())));
        if (!savedAs.isEmpty())
            QCOMPARE(evaluate(w.WebBrowser1, QStringLiteral("localStorage['%1']").arg(savedAs)),
                     QVariant(QStringLiteral("knots to try")));
    }

    void aPageAsksWhetherToLeaveItOncePerRequestAtMost_data()
    {
        QTest::addColumn<int>("stays");
        QTest::addColumn<bool>("reloadAsks");
        QTest::addColumn<bool>("clickWhileAsked");
        QTest::newRow("three answers stay, then a click") << 3 << false << false;
        QTest::newRow("one answer stay, then a click while it asks") << 1 << false << true;
        QTest::newRow("F5 asks, then a click while it asks") << 0 << true << true;
    }
    void aPageAsksWhetherToLeaveItOncePerRequestAtMost()
    {
        QFETCH(int, stays);
        QFETCH(bool, reloadAsks);
        QFETCH(bool, clickWhileAsked);
        rig_->addHostilePage("leave-prompt.html");
        QV101m& w = rig_->show(QStringLiteral("leave-prompt.html"));
        // The engine asks only on a page the user has used.
        TRY_VERIFY([&w] {
            clickElement(w.WebBrowser1, QStringLiteral("#here"));
            return evaluate(w.WebBrowser1, QStringLiteral("navigator.userActivation.hasBeenActive"))
                .toBool();
        }());
        // The user acts from inside the page's dialog loop, as a real click comes: "stay" as
        // often as the row says, then "Table Of Contents" with the question still open (which
        // must answer it; if not, "stay", so that the test fails instead of waiting); once on
        // the contents, OK.
        int asked = 0;
        bool onContents = false;
        bool answeredByClick = false;
        QPointer<QDialog> seen;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            QDialog* dialog = openPageDialog();
            if (!dialog || dialog == seen)
                return;
            seen = dialog;
            ++asked;
            if (onContents) {
                dialog->accept();
            } else if (asked <= stays) {
                dialog->reject();
            } else {
                QTest::mouseClick(w.Command2, Qt::LeftButton);
                answeredByClick = !dialog->isVisible();
                if (!answeredByClick)
                    dialog->reject();
            }
        });
        user.start(50);
        for (int request = 1; request <= stays; ++request) {
            QTest::mouseClick(w.Command2, Qt::LeftButton);
            TRY_COMPARE(asked, request);
            TRY_COMPARE(w.WebBrowser1->url().fileName(), QStringLiteral("leave-prompt.html"));
        }
        if (reloadAsks)
            QTest::keyClick(w.WebBrowser1->webView()->focusProxy(), Qt::Key_F5);
        else
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        // Shown, not only asked for: the view names the page asked for before it comes.
        TRY_VERIFY(evaluate(w.WebBrowser1, QStringLiteral("location.pathname"))
                       .toString()
                       .endsWith(QStringLiteral("/start.html")));
        QCOMPARE(answeredByClick, clickWhileAsked);
        QCOMPARE(asked, stays + int{clickWhileAsked});
        // The questions were the page's own: the contents keep their dialogs.
        onContents = true;
        w.WebBrowser1->page()->runJavaScript(QStringLiteral("alert('the contents')"));
        TRY_COMPARE(asked, stays + int{clickWhileAsked} + 1);
    }

    void aDeadPageProcessBringsThePageShownBack()
    {
        QV101m& w = rig_->show(QStringLiteral("chapter03.html"));
        evaluate(w.WebBrowser1, QStringLiteral("window.scrollTo(0, 400)"));
        TRY_VERIFY(w.WebBrowser1->page()->scrollPosition().y() > 0);
        TRY_VERIFY(w.WebBrowser1->page()->renderProcessPid() > 0);
        QSignalSpy started(w.WebBrowser1, &platform::BrowserView::loadStarted);
        ::kill(static_cast<pid_t>(w.WebBrowser1->page()->renderProcessPid()), SIGKILL);
        TRY_VERIFY(!started.isEmpty());
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter03.html")));
        TRY_COMPARE(evaluate(w.WebBrowser1, QStringLiteral("window.scrollY")).toInt(), 400);
        // The keys reach the page again, as they did before.
        TRY_VERIFY(w.WebBrowser1->webView()->focusProxy()
                   && w.WebBrowser1->webView()->focusProxy()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        TRY_VERIFY(evaluate(w.WebBrowser1, QStringLiteral("window.scrollY")).toInt() > 400);
    }

    void aClickOnThePagesPrintButtonIsNeverDropped_data()
    {
        QTest::addColumn<int>("alerts");
        QTest::newRow("four clicks within 30 s") << 0;
        QTest::newRow("after three alerts") << 3;
    }
    void aClickOnThePagesPrintButtonIsNeverDropped()
    {
        QFETCH(int, alerts);
        int prompts = 0;
        rig_->watcher.emplace().onOtherDialog = [&prompts](QWidget* prompt) {
            ++prompts;
            QMetaObject::invokeMethod(
                prompt, [prompt] { static_cast<QDialog*>(prompt)->reject(); },
                Qt::QueuedConnection);
        };
        rig_->addHostilePage("print-button.html");
        QV101m& w = rig_->show(QStringLiteral("print-button.html"));
        // The page uses up its own dialogs first.
        int answered = 0;
        QTimer user;
        connect(&user, &QTimer::timeout, [&answered] {
            if (QDialog* dialog = openPageDialog()) {
                dialog->accept();
                ++answered;
            }
        });
        user.start(50);
        w.WebBrowser1->page()->runJavaScript(
            QStringLiteral("for (let i = 0; i < %1; ++i) alert(i)").arg(alerts));
        TRY_COMPARE(answered, alerts);
        for (int click = 1; click <= 4; ++click) {
            clickElement(w.WebBrowser1, QStringLiteral("#print"));
            TRY_COMPARE(prompts, click);
        }
        QVERIFY(rig_->watcher->seen().isEmpty());
    }
};

DA1011_TEST_MAIN(ReaderWindowTest)
#include "test_reader_window.moc"
