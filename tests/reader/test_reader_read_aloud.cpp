#include "platform/speech/Sentences.h"
#include "platform/speech/Speaker.h"
#include "platform/web/BrowserView.h"
#include "platform/web/FindBar.h"
#include "platform/web/PageReader.h"
#include "platform/web/ReadAloudBar.h"
#include "reader/QV101m.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"
#include "support/Waiting.h"
#include "support/speech/TestSpeechEngine.h"

#include <QPushButton>
#include <QTest>

namespace {

const QByteArray kChapter
    = "<html><head><title>One</title><style>.gone{display:none}</style>"
      "<script>var unread = 'Not this.';</script></head><body>"
      "<h1>Chapter one</h1><p>Quorvels hum at night. Do they sing?</p>"
      "<p class=gone>Hidden words.</p><div style='visibility:hidden'>Unseen words.</div>"
      "<ul><li>First item.</li></ul><table><tr><td>Cell text.</td></tr></table>"
      "<p>Last <b>bold</b> words here. <a id=next href='chapter03.html'>On</a></p>"
      "</body></html>";
const QStringList kChapterSentences = {"Chapter one",
                                       "Quorvels hum at night.",
                                       "Do they sing?",
                                       "First item.",
                                       "Cell text.",
                                       "Last bold words here.",
                                       "On"};

}  // namespace

// Reading a page aloud in the real reader window, with a test engine in place of the
// desktop's voices: what is said, in which order, what the page shows, and what ends it.
class ReaderReadAloudTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;

    static void readAloudKey() { pressKey(Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier); }

    static platform::PageReader* reader(QV101m& w) { return w.findChild<platform::PageReader*>(); }
    static QStringList said()
    {
        return TestSpeechEngine::last() ? TestSpeechEngine::last()->said : QStringList();
    }
    static QString selection(QV101m& w)
    {
        return evaluate(w.WebBrowser1, QStringLiteral("getSelection().toString()"))
            .toString()
            .simplified();
    }

    // The chapter shown and being read: its first sentence said.
    QV101m& startReading()
    {
        rig_->folder.write(QStringLiteral("chapter01.html"), kChapter);
        QV101m& w = rig_->show(QStringLiteral("chapter01.html"));
        readAloudKey();
        [[maybe_unused]] const bool spoke = waitUntil([] { return !said().isEmpty(); }, 10000);
        return w;
    }

private slots:
    void initTestCase() { platform::Speaker::useEngine(QLatin1String(TestSpeechEngine::kName)); }
    void init()
    {
        TestSpeechEngine::holdSentences(true);
        if (TestSpeechEngine::last())
            TestSpeechEngine::last()->said.clear();
        rig_.emplace();
    }
    void cleanup() { rig_.reset(); }

    void aChapterIsSpokenInOrderShownAndFollowedByTheNext()
    {
        QV101m& w = startReading();
        TestSpeechEngine* engine = TestSpeechEngine::last();
        QVERIFY(engine);
        auto* bar = w.findChild<platform::ReadAloudBar*>();
        QVERIFY(bar && bar->isVisible());
        QCOMPARE(bar->accessibleName(), QStringLiteral("Reading aloud"));
        for (int i = 0; i < kChapterSentences.size(); ++i) {
            TRY_COMPARE(said().size(), i + 1);
            QCOMPARE(said().at(i), kChapterSentences.at(i));
            TRY_COMPARE(selection(w), kChapterSentences.at(i));
            if (i == 1) {
                auto* pause = bar->findChild<QPushButton*>(QStringLiteral("ReadAloudPause"));
                readAloudKey();
                QCOMPARE(engine->state(), QTextToSpeech::Paused);
                QCOMPARE(pause->text(), QStringLiteral("Resume"));
                QCOMPARE(pause->accessibleName(), QStringLiteral("Resume reading"));
                readAloudKey();
                QCOMPARE(engine->state(), QTextToSpeech::Speaking);
                QCOMPARE(pause->text(), QStringLiteral("Pause"));
                QCOMPARE(said().size(), i + 1);
            }
            engine->finishSentence();
        }
        // On into the next page in the book's reading order, read from its top.
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter02.html")));
        TRY_COMPARE(said().size(), kChapterSentences.size() + 1);
        // (Its first visible text is the row of links above the chapter.)
        QVERIFY2(said().constLast().startsWith(QLatin1String("Contents")),
                 qPrintable(said().constLast()));
        TRY_COMPARE(selection(w), said().constLast());
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Reading);
        // Escape stops it: the voice stops, the bar and the selection go.
        pressKey(Qt::Key_Escape);
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Stopped);
        QCOMPARE(engine->state(), QTextToSpeech::Ready);
        QVERIFY(!bar->isVisible());
        TRY_COMPARE(selection(w), QString());
        // The page's own scripts see nothing of the reading.
        QCOMPARE(evaluate(w.WebBrowser1, QStringLiteral("typeof window.__da1011Aloud")),
                 QVariant(QStringLiteral("undefined")));
    }

    void theBarSitsAboveTheFindBarAndEscapeClosesTheInnerOneFirst()
    {
        QV101m& w = startReading();
        auto* bar = w.findChild<platform::ReadAloudBar*>();
        auto* findBar = w.findChild<platform::FindBar*>();
        pressKey(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findBar->isVisible());
        TRY_VERIFY(bar->geometry().bottom() < findBar->geometry().top());
        pressKey(Qt::Key_Escape);
        QVERIFY(!findBar->isVisible());
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Reading);
        TRY_COMPARE(bar->geometry().bottom(), w.WebBrowser1->height() - 1);
        w.WebBrowser1->setFocus();
        pressKey(Qt::Key_Escape);
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Stopped);
    }

    void readingStartsAtTheSelection()
    {
        rig_->folder.write(QStringLiteral("chapter01.html"), kChapter);
        QV101m& w = rig_->show(QStringLiteral("chapter01.html"));
        evaluate(w.WebBrowser1,
                 QStringLiteral("getSelection().selectAllChildren(document.querySelector('li'))"));
        readAloudKey();
        TRY_COMPARE(said(), QStringList{QStringLiteral("First item.")});
    }

    void anotherPageStopsTheReading_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a link") << "link";
        QTest::newRow("Back") << "back";
        QTest::newRow("Table Of Contents") << "contents";
        QTest::newRow("reload") << "reload";
    }
    void anotherPageStopsTheReading()
    {
        QFETCH(QString, how);
        QV101m& w = startReading();
        QCOMPARE(said().size(), 1);
        if (how == QLatin1String("link"))
            clickElement(w.WebBrowser1, QStringLiteral("#next"));
        else if (how == QLatin1String("back"))
            pressKey(Qt::Key_Left, Qt::AltModifier);
        else if (how == QLatin1String("contents"))
            w.Command2->click();
        else
            pressKey(Qt::Key_F5);
        TRY_COMPARE(reader(w)->state(), platform::PageReader::State::Stopped);
        QCOMPARE(TestSpeechEngine::last()->state(), QTextToSpeech::Ready);
        TestSpeechEngine::last()->finishSentence();
        letEventsRun(200);
        QCOMPARE(said().size(), 1);
    }

    void theSpeedStaysBetweenHalfAndDoubleUntilTheProgramEnds()
    {
        QV101m& w = startReading();
        auto* bar = w.findChild<platform::ReadAloudBar*>();
        auto* faster = bar->findChild<QPushButton*>(QStringLiteral("ReadAloudFaster"));
        auto* slower = bar->findChild<QPushButton*>(QStringLiteral("ReadAloudSlower"));
        QCOMPARE(faster->accessibleName(), QStringLiteral("Read faster"));
        for (int i = 0; i < 6; ++i)
            faster->click();
        QCOMPARE(bar->speedText(), QStringLiteral("2x"));
        QVERIFY(!faster->isEnabled());
        QCOMPARE(TestSpeechEngine::last()->rate(), 1.0);
        for (int i = 0; i < 8; ++i)
            slower->click();
        QCOMPARE(bar->speedText(), QStringLiteral("0.5x"));
        QCOMPARE(TestSpeechEngine::last()->rate(), -1.0);
        faster->click();
        QCOMPARE(bar->speedText(), QStringLiteral("0.75x"));
        // A new window and a new reading keep it.
        rig_.reset();
        rig_.emplace();
        QV101m& again = startReading();
        QCOMPARE(again.findChild<platform::ReadAloudBar*>()->speedText(), QStringLiteral("0.75x"));
        QCOMPARE(TestSpeechEngine::last()->rate(), platform::Speaker::rateFor(0.75));
        while (platform::PageReader::speed() < 1.0)
            again.findChild<QPushButton*>(QStringLiteral("ReadAloudFaster"))->click();
    }

    void withoutASpeechServiceTheCommandSaysSoOnce()
    {
        platform::Speaker::useEngine(QStringLiteral("no-such-engine"));
        QV101m& w = rig_->show(QStringLiteral("chapter01.html"));
        rig_->watcher.emplace();
        for (int i = 0; i < 2; ++i) {
            QApplication::setActiveWindow(&w);
            TRY_VERIFY(QApplication::activeWindow() == &w);
            w.WebBrowser1->setFocus();
            readAloudKey();
            TRY_COMPARE(rig_->watcher->texts().size(), 1);
        }
        QCOMPARE(rig_->watcher->texts().constFirst(),
                 QStringLiteral("Reading aloud needs a speech service (speech-dispatcher)."));
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Stopped);
        QVERIFY(!w.findChild<platform::ReadAloudBar*>()->isVisible());
        platform::Speaker::useEngine(QLatin1String(TestSpeechEngine::kName));
    }

    // Pages made to stall the window or fill its memory are read a bounded piece at a time.
    void aHostilePageIsReadInBoundedPieces_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("a million sentences")
            << "<p>" + QByteArray("Go. ").repeated(1'000'000) + "</p>";
        QTest::newRow("a sentence of 10 MB")
            << QByteArray("<p id=t></p><script>t.textContent = 'word '.repeat(2e6)</script>");
        QTest::newRow("a hundred thousand empty elements before the text")
            << QByteArray("<div></div>").repeated(100'000) + "<p>Found. At last.</p>"
                + QByteArray("<p>More.</p>").repeated(100);
        QTest::newRow("text that changes while it is read")
            << QByteArray("<p id=t>Start.</p><script>let n = 0; setInterval(() => {"
                          " document.body.innerHTML = '<p>' + 'Changed ' + (++n) + '. "
                          "'.repeat(50) + '</p>'; }, 5)</script>");
    }
    void aHostilePageIsReadInBoundedPieces()
    {
        QFETCH(QByteArray, page);
        TestSpeechEngine::holdSentences(false);
        rig_->folder.write(QStringLiteral("chapter01.html"), "<html><body>" + page);
        QV101m& w = rig_->show(QStringLiteral("chapter01.html"));
        readAloudKey();
        TRY_VERIFY_WITH_TIMEOUT(said().size() >= 20, 30000);
        for (const QString& sentence : said())
            QVERIFY(sentence.size() <= platform::kMaxSentenceLength);
        // The window answers while the page is read.
        pressKey(Qt::Key_Escape);
        QCOMPARE(reader(w)->state(), platform::PageReader::State::Stopped);
    }
};

DA1011_TEST_MAIN(ReaderReadAloudTest)
#include "test_reader_read_aloud.moc"
