#include "platform/BrowserView.h"
#include "platform/Errors.h"
#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "reader/QV101m.h"
#include "support/TempAppFolder.h"
#include "support/TestMain.h"
#include "support/TwipsPlaces.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

// Collects the addresses handed to the user's default browser or mail program.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
    UrlCatcher()
    {
        for (const char* scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
public slots:
    void open(const QUrl& url) { urls << url; }
};

class ReaderWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder_;

    static bool waitForLoad(platform::BrowserView* view, const QString& fileName)
    {
        return QTest::qWaitFor(
            [&] { return view->url().fileName() == fileName && !view->isLoading(); }, 15000);
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
    void init() { folder_ = std::make_unique<TempAppFolder>(); }
    void cleanup()
    {
        if (QV101m* window = QV101m::loadedInstance())
            window->Unload();
        QTest::qWait(0);
        folder_.reset();
    }

    void theWindowOpensMaximizedOnTheStartPage()
    {
        QVERIFY(folder_->path().contains(QLatin1Char(' ')));
        QV101m& w = QV101m::instance();
        QVERIFY(!w.Timer1->enabled());
        QCOMPARE(w.Timer1->interval(), 1000);
        w.ShowMaximized();
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorvel 101"));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
        QCOMPARE(w.WebBrowser1->url(), QUrl::fromLocalFile(folder_->file("start.html")));
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
        QTRY_COMPARE(w.size(), QSize(394, 414));  // 5910 x 6210 twips
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
        QTRY_VERIFY(w.WebBrowser1->isAncestorOf(QApplication::focusWidget())
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

    void aRefusedWidthKeepsTheOldWidthWhileTheHeightIsStillSet()
    {
        QV101m& w = QV101m::instance();
        resizeOuter(w, 9000, 7500);
        const float oldWidth = w.WebBrowser1->Width();
        resizeOuter(w, 1500, 6000);  // narrower than the picture plus 500: a negative width
        QCOMPARE(w.WebBrowser1->Width(), oldWidth);
        QCOMPARE(w.WebBrowser1->Height(), 6000.0f - 700.0f);
    }

    void aRefusedHeightKeepsTheOldHeightWhileTheWidthIsStillSet()
    {
        QV101m& w = QV101m::instance();
        resizeOuter(w, 9000, 7500);
        const float oldHeight = w.WebBrowser1->Height();
        resizeOuter(w, 7995, 600);
        QCOMPARE(w.WebBrowser1->Height(), oldHeight);
        QCOMPARE(w.WebBrowser1->Width(), 7995.0f - 2420.0f);
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
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
        QSignalSpy started(w.WebBrowser1, &platform::BrowserView::loadStarted);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QTRY_COMPARE(started.count(), 1);  // loaded again although it is shown
        QVERIFY(!w.Timer1->enabled());

        w.WebBrowser1->Navigate(folder_->file("chapter02.html"));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("chapter02.html")));
        w.Timer1->setEnabled(true);  // a pending print stays pending
        const QRect size = w.WebBrowser1->geometry();
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(w.Timer1->enabled());
        w.Timer1->setEnabled(false);
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
        QCOMPARE(w.WebBrowser1->geometry(), size);
    }

    void linksLeadThroughTheBook()
    {
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
        w.WebBrowser1->page()->runJavaScript(
            QStringLiteral("document.querySelector('a[href=\"chapter01.html\"]').click()"));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("chapter01.html")));
    }

    void aNewWindowRequestGoesToTheDefaultBrowser()
    {
        UrlCatcher catcher;
        folder_->write("popup.html",
                       "<html><head><title>popup</title></head><body>"
                       "<a id=l target=_blank href='http://www.quorvel.example/news'>news</a>"
                       "</body></html>");
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        w.WebBrowser1->Navigate(folder_->file("popup.html"));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("popup.html")));
        w.WebBrowser1->page()->runJavaScript(
            QStringLiteral("document.getElementById('l').click()"));
        QTRY_COMPARE(catcher.urls,
                     QList<QUrl>{QUrl(QStringLiteral("http://www.quorvel.example/news"))});
        w.WebBrowser1->page()->runJavaScript(
            QStringLiteral("window.open('mailto:editor@quorvel.example')"));
        QTRY_COMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls.last(), QUrl(QStringLiteral("mailto:editor@quorvel.example")));
        QTest::qWait(200);
        QCOMPARE(w.WebBrowser1->url().fileName(), QStringLiteral("popup.html"));
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

    void aDeadPageProcessBringsTheStartPageBack()
    {
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
        w.WebBrowser1->Navigate(folder_->file("chapter03.html"));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("chapter03.html")));
        w.WebBrowser1->page()->load(QUrl(QStringLiteral("chrome://crash")));
        QVERIFY(waitForLoad(w.WebBrowser1, QStringLiteral("start.html")));
    }
};

DA1011_TEST_MAIN(ReaderWindowTest)
#include "test_reader_window.moc"
