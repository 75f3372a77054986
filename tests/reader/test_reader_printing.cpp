#include "platform/forms/Form.h"
#include "platform/forms/Timer.h"
#include "platform/print/PrintJob.h"
#include "platform/print/PrintProgress.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Limits.h"
#include "platform/web/BrowserView.h"
#include "reader/QV101m.h"
#include "support/PrintPrompt.h"
#include "support/PrintTools.h"
#include "support/ReaderRig.h"
#include "support/SmallDisk.h"
#include "support/TestMain.h"
#include "support/Waiting.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <csignal>

using namespace std::chrono_literals;

namespace {

const QString kLastWords = QStringLiteral("The last knot is always tied by hand.");
const QString kDisabled = QStringLiteral("Sorry, the Print command is currently disabled.");

}  // namespace

// Drives the real print prompt: every prompt that opens is answered as the test says and
// timed from the test's start.
class ReaderPrintingTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;
    QElapsedTimer clock_;
    QList<qint64> promptsAt_;
    bool acceptPrompts_ = true;
    bool toPdfFile_ = true;
    std::function<void()> whilePrompting_;

    QString pdfPath() const { return rig_->folder.file("printed.pdf"); }

    static bool printingEnabled(QV101m& w)
    {
        return w.WebBrowser1->QueryStatusWB(platform::BrowserCommand::Print)
            .testFlag(platform::CommandState::Enabled);
    }

    static QString normalized(const QString& text) { return text.simplified(); }

    // After a job that failed with one message, printing works at once: chapter 3 prints.
    void printsChapter3AfterOneFailure(QV101m& w)
    {
        w.WebBrowser1->Navigate(rig_->folder.file("chapter03.html"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter03.html")));
        TRY_VERIFY(printingEnabled(w));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 2);
        QCOMPARE(rig_->watcher->texts().size(), 1);
        QVERIFY(normalized(pdfText(pdfPath())).contains(QStringLiteral("Chapter 3:")));
    }

private slots:
    void initTestCase()
    {
        // With a smaller script heap, a page that exhausts it kills its renderer in seconds
        // rather than minutes; the book's pages need far less.
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --js-flags=--max-old-space-size=256");
    }
    void init()
    {
        rig_.emplace();
        promptsAt_.clear();
        acceptPrompts_ = true;
        toPdfFile_ = true;
        whilePrompting_ = nullptr;
        rig_->watcher.emplace().onOtherDialog = [this](QWidget* dialog) {
            auto* prompt = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(prompt);
            promptsAt_ << clock_.elapsed();
            if (toPdfFile_)
                choosePdfFile(prompt, pdfPath());
            if (whilePrompting_)
                whilePrompting_();
            const bool accept = acceptPrompts_;
            QMetaObject::invokeMethod(
                prompt, [prompt, accept] { accept ? prompt->accept() : prompt->reject(); },
                Qt::QueuedConnection);
        };
        clock_.start();
    }
    void cleanup()
    {
        rig_.reset();
        platform::Limits::current() = platform::Limits();
    }

    void printCurrentPagePrintsTheChapterShown()
    {
        QV101m& w = rig_->show(QStringLiteral("chapter03.html"));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(rig_->watcher->seen().isEmpty());
        const QString text = normalized(pdfText(pdfPath()));
        QVERIFY2(text.contains(QStringLiteral("Chapter 3: Cord, Tally and Board")),
                 qPrintable(text.left(300)));
        QVERIFY(!text.contains(QStringLiteral("Chapter 4:")));
        QVERIFY(!w.Timer1->enabled());
        // Text keeps a margin of about two centimetres (57 points) from the paper's edge; only
        // the running title stands above it.
        const ToolRun box = runTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdfPath(), "-"});
        const QRegularExpression word(
            QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
        QRegularExpressionMatch first;
        for (auto words = word.globalMatch(box.out); words.hasNext() && !first.hasMatch();) {
            const auto found = words.next();
            if (found.captured(2).toDouble() >= 40)
                first = found;
        }
        QVERIFY2(first.hasMatch(), qPrintable(box.out.left(300)));
        QVERIFY2(first.captured(1).toDouble() >= 50 && first.captured(2).toDouble() >= 50,
                 qPrintable(first.captured(0)));
    }

    void printEntireBookPrintsTheWholeBookAfterTheDelay()
    {
        QV101m& w = rig_->show();
        clock_.restart();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QVERIFY(w.Timer1->enabled());
        QVERIFY(promptsAt_.isEmpty());
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY2(promptsAt_.first() >= 900, qPrintable(QString::number(promptsAt_.first())));
        QCOMPARE(w.WebBrowser1->url().fileName(), QStringLiteral("Quorvel 101.HTM"));
        const QString text = normalized(pdfText(pdfPath()));
        QVERIFY(text.contains(QStringLiteral("Chapter 1: What Is Quorvel?")));
        QVERIFY(text.contains(kLastWords));
        QVERIFY(pdfPages(pdfPath()) >= 50);
        letEventsRun(1500);
        QCOMPARE(promptsAt_.size(), 1);  // one attempt, then the delay is off
    }

    void printEntireBookPressedAsTheStartPageBeginsToLoadStillPrompts()
    {
        // The press lands between the view starting the start page and the program hearing
        // of it: that late news must not be taken for the whole book's load.
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        QSignalSpy finished(w.WebBrowser1, &platform::BrowserView::loadFinished);
        connect(
            w.WebBrowser1, &platform::BrowserView::loadStarted, &w, [&w] { w.Command1->click(); },
            Qt::SingleShotConnection);
        TRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty()
                                    && w.WebBrowser1->url().fileName()
                                        == QStringLiteral("Quorvel 101.HTM"),
                                30000);
        QVERIFY(!w.WebBrowser1->isLoading());
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
    }

    void tableOfContentsWithinTheDelayPrintsTheStartPage()
    {
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        letEventsRun(200);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(w.Timer1->enabled());
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QCOMPARE(promptsAt_.size(), 1);
        const QString text = normalized(pdfText(pdfPath()));
        QVERIFY(text.contains(QStringLiteral("Contents")));
        QVERIFY(!text.contains(kLastWords));
        QVERIFY(pdfPages(pdfPath()) < 5);
    }

    void pressingPrintEntireBookTwiceGivesOneAttempt()
    {
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        letEventsRun(300);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        letEventsRun(1500);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
    }

    void aCancelledPromptShowsNoMessage()
    {
        acceptPrompts_ = false;
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        letEventsRun(100);
        QVERIFY(rig_->watcher->seen().isEmpty());
        QVERIFY(!QFile::exists(pdfPath()));
        QVERIFY(QV101m::loadedInstance());
    }

    void aSecondRequestWhileAJobRunsIsToldPrintingIsDisabled()
    {
        QV101m& w = rig_->show(QStringLiteral("Quorvel 101.HTM"));
        // Right after the prompt is confirmed the whole book is being printed; press again.
        whilePrompting_ = [&w] { QTimer::singleShot(50, &w, [&w] { w.Command3->click(); }); };
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(rig_->watcher->texts(), QStringList{kDisabled});
        QCOMPARE(rig_->watcher->seen().first().title, QStringLiteral("DA1011"));
        QCOMPARE(rig_->watcher->seen().first().buttons,
                 QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(rig_->watcher->seen().first().icon, QMessageBox::NoIcon);
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
        // With the job done, printing is enabled again.
        QVERIFY(printingEnabled(w));
    }

    void ctrlPIsPrintCurrentPage()
    {
        QV101m& w = rig_->show(QStringLiteral("Quorvel 101.HTM"));
        const auto ctrlP = [&w] {
            QApplication::setActiveWindow(&w);
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : &w, Qt::Key_P, Qt::ControlModifier);
        };
        // The same status check as the button: a second request while the first job prints is
        // told that printing is disabled.
        whilePrompting_ = [&w, ctrlP] { QTimer::singleShot(50, &w, ctrlP); };
        ctrlP();
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(rig_->watcher->texts(), QStringList{kDisabled});
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
    }

    // The "Printing" window of a whole-book print: each phase in words while the job runs,
    // gone when it ends; Escape cancels it quietly, keeps the older file and leaves printing
    // working.
    void theProgressWindowShowsThePhasesAndEscapeCancels()
    {
        using platform::PrintJob;
        QV101m& w = rig_->show();
        QStringList phases;
        QPointer<platform::PrintProgress> progress;
        PrintJob::State cancelAt = PrintJob::State::Done;  // none
        const auto start = [&](bool escapeWhileLoading) {
            QTest::mouseClick(w.Command1, Qt::LeftButton);
            PrintJob* job = w.WebBrowser1->printJob();
            QVERIFY(job);
            QCOMPARE(job->state(), PrintJob::State::WaitingForBook);
            progress = w.findChild<platform::PrintProgress*>();
            QVERIFY(progress);
            connect(job, &PrintJob::stateChanged, progress, [&](PrintJob::State state) {
                if (!progress || job->isFinished())
                    return;
                phases << progress->findChildren<QLabel*>().at(1)->text();
                if (state == cancelAt)
                    QMetaObject::invokeMethod(
                        progress, [&] { QTest::keyClick(progress, Qt::Key_Escape); },
                        Qt::QueuedConnection);
            });
            TRY_VERIFY(progress && progress->isVisible());
            QCOMPARE(progress->windowTitle(), QStringLiteral("Printing - DA1011"));
            QCOMPARE(progress->findChildren<QLabel*>().at(1)->text(),
                     QStringLiteral("Loading the book\u2026"));
            if (escapeWhileLoading)
                QTest::keyClick(progress, Qt::Key_Escape);
            TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 60000);
            TRY_VERIFY(!progress);
        };

        start(false);
        QCOMPARE(w.WebBrowser1->printJob()->state(), PrintJob::State::Done);
        QCOMPARE(phases,
                 QStringList({QStringLiteral("Laying out pages\u2026"),
                              QStringLiteral("Adding page numbers\u2026"),
                              QStringLiteral("Saving printed.pdf\u2026")}));
        QFile printed(pdfPath());
        QVERIFY(printed.open(QIODevice::ReadOnly));
        const QByteArray firstPdf = printed.readAll();
        printed.close();
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));

        for (const bool whileLoading : {true, false}) {
            phases.clear();
            cancelAt = whileLoading ? PrintJob::State::Done : PrintJob::State::LayingOut;
            start(whileLoading);
            QCOMPARE(w.WebBrowser1->printJob()->state(), PrintJob::State::Cancelled);
            QCOMPARE(phases,
                     whileLoading ? QStringList{}
                                  : QStringList{QStringLiteral("Laying out pages\u2026")});
            QVERIFY(rig_->watcher->seen().isEmpty());
            QVERIFY(printed.open(QIODevice::ReadOnly));
            QCOMPARE(printed.readAll(), firstPdf);
            printed.close();
        }
        TRY_VERIFY(printingEnabled(w));
        QFile::remove(pdfPath());
        const qsizetype prompts = promptsAt_.size();
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), prompts + 1);
        QVERIFY(rig_->watcher->seen().isEmpty());
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
    }

    // "Table Of Contents" while the whole book prints: the book is printed whole, and the
    // contents come once it is done.
    void readingOnWhileTheBookPrintsLeavesThePrintWhole()
    {
        QV101m& w = rig_->show();
        // Clicked as soon as the prompt has gone and the job runs.
        QTimer printing;
        connect(&printing, &QTimer::timeout, &w, [&] {
            if (QApplication::activeModalWidget() || printingEnabled(w))
                return;
            printing.stop();
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        });
        whilePrompting_ = [&printing] { printing.start(1); };
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 60000);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(rig_->watcher->seen().isEmpty());
        const QString text = normalized(pdfText(pdfPath()));
        QVERIFY(text.contains(QStringLiteral("Chapter 1: What Is Quorvel?")));
        QVERIFY(text.contains(kLastWords));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
    }

    void closingTheWindowWhileItPrintsIsSafe()
    {
        QV101m& w = rig_->show(QStringLiteral("Quorvel 101.HTM"));
        QPointer<QV101m> window(&w);
        whilePrompting_ = [&w] { QTimer::singleShot(50, &w, [&w] { w.close(); }); };
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(window);  // still there for the handler that printed
        QVERIFY(!QV101m::loadedInstance());
        QVERIFY(normalized(pdfText(pdfPath())).contains(kLastWords));
        TRY_VERIFY(!window);
    }

    void aPdfThatCannotBeWrittenIsReportedOnce_data()
    {
        QTest::addColumn<qint64>("free");
        QTest::newRow("full") << qint64{0};
        QTest::newRow("room for a part of it") << qint64{8192};
    }
    void aPdfThatCannotBeWrittenIsReportedOnce()
    {
        QFETCH(qint64, free);
        SmallDisk disk;
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(disk.problem()));
        disk.fill(free);
        const QString target = disk.file("printed.pdf");
        whilePrompting_ = [&target] {
            promptFileName(qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
                ->setText(target);
        };
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(rig_->watcher->texts(),
                 QStringList{QStringLiteral("The PDF file \"%1\" could not be written (the disk is "
                                            "full).")
                                 .arg(target)});
        QCOMPARE(rig_->watcher->seen().first().title, QStringLiteral("DA1011"));
        QVERIFY(!QFile::exists(target));
        QVERIFY(QV101m::loadedInstance());
    }

    void theStatusFlagsFollowTheView()
    {
        platform::BrowserView view(nullptr);
        using platform::BrowserCommand;
        using platform::CommandState;
        // Supported, but nothing to print yet.
        QCOMPARE(view.QueryStatusWB(BrowserCommand::Print),
                 platform::CommandStatus(CommandState::Supported));
        QVERIFY_THROWS_EXCEPTION(
            platform::PlatformError,
            view.ExecWB(BrowserCommand::Print, platform::CommandOption::PromptUser));
        QVERIFY_THROWS_EXCEPTION(platform::PlatformError,
                                 view.QueryStatusWB(static_cast<BrowserCommand>(7)));
        view.Navigate(rig_->folder.file("start.html"));
        QCOMPARE(view.QueryStatusWB(BrowserCommand::Print),
                 CommandState::Supported | CommandState::Enabled);
    }

    void aSlowWholeBookIsStillPrintedWhole()
    {
        // The whole-book page is held up by a script that runs for a while: until it ends,
        // the end of the book is not even parsed.
        rig_->folder.write(
            "Quorvel 101.HTM",
            "<html><head><title>book</title></head><body><h1>The first chapter</h1>"
            "<script>const end = Date.now() + 2500; while (Date.now() < end) {}</script>"
            "<p>"
                + kLastWords.toUtf8() + "</p></body></html>");
        QV101m& w = rig_->show();
        // From the click on, the reader waits under the hourglass; the prompt comes under the
        // normal pointer. Sampled from a timer of its own: the wait runs in a loop of its own.
        bool hourglassWhileWaiting = false;
        bool normalWhileWaiting = false;
        std::optional<platform::MousePointer> pointerAtPrompt;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            const bool hourglass = w.mousePointer() == platform::MousePointer::Hourglass && cursor
                && cursor->shape() == Qt::WaitCursor;
            hourglassWhileWaiting = hourglassWhileWaiting || (hourglass && promptsAt_.isEmpty());
            normalWhileWaiting = normalWhileWaiting
                || (!hourglass && promptsAt_.isEmpty() && !QApplication::activeModalWidget());
        });
        whilePrompting_ = [&] { pointerAtPrompt = w.mousePointer(); };
        clock_.restart();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        sampler.start(50);
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY2(promptsAt_.first() >= 2400, qPrintable(QString::number(promptsAt_.first())));
        QVERIFY(hourglassWhileWaiting);
        QVERIFY(!normalWhileWaiting);
        QCOMPARE(pointerAtPrompt, std::optional(platform::MousePointer::Default));
        QVERIFY(!QGuiApplication::overrideCursor());
        const QString text = normalized(pdfText(pdfPath()));
        QVERIFY2(text.contains(QStringLiteral("The first chapter")), qPrintable(text));
        QVERIFY2(text.contains(kLastWords), qPrintable(text));
    }

    void aMissingWholeBookPrintsWhatTheViewShows()
    {
        QFile::remove(rig_->folder.file("Quorvel 101.HTM"));
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(QV101m::loadedInstance());
    }

    void aPageAskingToPrintOverAndOverGetsOneDialogAtATime()
    {
        rig_->addHostilePage("print-loop.html");
        acceptPrompts_ = false;
        ModalWatcher messages;  // answers the refusals shown over the prompt
        int dialogsAtOnce = 0;
        whilePrompting_ = [&dialogsAtOnce] {
            letEventsRun(300);  // the page keeps asking meanwhile
            for (QWidget* widget : QApplication::topLevelWidgets())
                dialogsAtOnce += widget->isVisible() && qobject_cast<QDialog*>(widget) ? 1 : 0;
        };
        QV101m& w = rig_->show();
        w.WebBrowser1->Navigate(rig_->folder.file("print-loop.html"));
        // The rig's watcher may be the first to see a refusal.
        const auto refusals = [&] { return messages.texts() + rig_->watcher->texts(); };
        TRY_COMPARE(promptsAt_.size() + refusals().size(), 3);
        letEventsRun(1500);
        // One prompt; what the page asks for while it is open is refused and told, and the
        // rest are suppressed until the next page.
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(refusals(), QStringList(2, kDisabled));
        QCOMPARE(dialogsAtOnce, 1);
    }

    void aPrintJobEndsWhenItsRendererDiesOrItTakesTooLong()
    {
        QV101m& w = rig_->show(QStringLiteral("Quorvel 101.HTM"));
        whilePrompting_ = [&w] {
            QTimer::singleShot(100, &w, [&w] {
                ::kill(static_cast<pid_t>(w.WebBrowser1->page()->renderProcessPid()), SIGKILL);
            });
        };
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(!QFile::exists(pdfPath()));
        TRY_VERIFY(printingEnabled(w));
        // The page comes back in a renderer of its own, whether or not the engine was
        // printing it when its renderer died.
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("Quorvel 101.HTM")));

        // A page that never answers is given up on; closing the window then is safe too.
        whilePrompting_ = nullptr;

        rig_->addHostilePage("stuck.html");
        w.WebBrowser1->Navigate(rig_->folder.file("stuck.html"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("stuck.html")));
        letEventsRun(600);
        platform::Limits::current().printTimeLimitMs = 2000;

        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 2);
        QVERIFY(!QFile::exists(pdfPath()));
        QVERIFY(printingEnabled(w));
        QPointer<QV101m> window(&w);

        w.close();
        TRY_VERIFY(!window);
    }

    void aRendererOutOfMemoryWhilePrintingLeavesTheReaderAndPrinting()
    {
        rig_->addHostilePage("print-oom.html");
        QV101m& w = rig_->show(QStringLiteral("print-oom.html"));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        const QStringList told = rig_->watcher->texts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().startsWith(QStringLiteral("The page could not be printed: ")),
                 qPrintable(told.first()));
        QVERIFY(!QFile::exists(pdfPath()));

        printsChapter3AfterOneFailure(w);
    }

    void aPageWithPaperTooSmallFailsAtOnce()
    {
        rig_->addHostilePage("tiny-paper.html");
        QV101m& w = rig_->show(QStringLiteral("tiny-paper.html"));
        platform::Limits::current().printTimeLimitMs = 20000;
        clock_.restart();
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY2(clock_.elapsed() < 10000, qPrintable(QString::number(clock_.elapsed())));
        QCOMPARE(rig_->watcher->texts(),
                 QStringList{QStringLiteral("The page asks for paper of 0.3 x 0.3 mm, too small to "
                                            "print on, so it could not be printed.")});
        QVERIFY(!QFile::exists(pdfPath()));
    }

    void aPrintJobThatNeverEndsLeavesPrintingWorking()
    {
        rig_->addHostilePage("print-hang.html");
        QV101m& w = rig_->show(QStringLiteral("print-hang.html"));
        platform::Limits::current().printTimeLimitMs = 3000;
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(rig_->watcher->texts(),
                 QStringList{QStringLiteral(
                     "The page did not finish printing in time, so printing was stopped.")});
        QVERIFY(!QFile::exists(pdfPath()));

        printsChapter3AfterOneFailure(w);
    }

    void closingTheWindowDuringAStuckPrintJobEndsItQuietly()
    {
        rig_->addHostilePage("print-hang.html");
        QV101m& w = rig_->show(QStringLiteral("print-hang.html"));
        platform::Limits::current().printTimeLimitMs = 60000;
        QPointer<QV101m> window(&w);
        whilePrompting_ = [&w] { QTimer::singleShot(500, &w, [&w] { w.close(); }); };
        clock_.restart();
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        TRY_VERIFY_WITH_TIMEOUT(!window, 15000);
        QVERIFY2(clock_.elapsed() < 10000, qPrintable(QString::number(clock_.elapsed())));
        QVERIFY(rig_->watcher->seen().isEmpty());
    }

    void aPagesRequestWhileAPromptIsOpenIsToldPrintingIsDisabled()
    {
        acceptPrompts_ = false;
        ModalWatcher messages;  // answers the message shown over the prompt
        QV101m& w = rig_->show();
        bool told = false;
        whilePrompting_ = [&] {
            w.WebBrowser1->page()->runJavaScript(QStringLiteral("window.print()"));
            told = waitUntil([&messages] { return !messages.seen().isEmpty(); }, 10000);
        };
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(told);
        QCOMPARE(promptsAt_.size(), 1);
        QCOMPARE(messages.texts(), QStringList{kDisabled});
        QCOMPARE(messages.seen().first().title, QStringLiteral("DA1011"));
        QVERIFY(rig_->watcher->seen().isEmpty());
    }

    void aPagesOwnPrintButtonPrintsThePage()
    {
        QV101m& w = rig_->show();
        w.WebBrowser1->page()->runJavaScript(QStringLiteral("window.print()"));
        TRY_COMPARE(promptsAt_.size(), 1);
        TRY_VERIFY(QFile::exists(pdfPath()));
        QVERIFY(normalized(pdfText(pdfPath())).contains(QStringLiteral("Contents")));
    }

    void printCurrentPageReachesARealPrintQueue()
    {
        const TestQueue& queue = TestQueue::get();
        if (!queue.problem.isEmpty())
            QSKIP(qPrintable(queue.problem));
        QFile::remove(queue.output);
        QV101m& w = rig_->show(QStringLiteral("chapter05.html"));
        toPdfFile_ = false;
        whilePrompting_ = [&queue] {
            choosePrinter(qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()),
                          queue.name);
        };
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QCOMPARE(promptsAt_.size(), 1);
        QVERIFY(rig_->watcher->seen().isEmpty());
        TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue.output) && queue.idle(), 60000);
        const QString text = normalized(pdfText(queue.output));
        QVERIFY2(text.contains(QStringLiteral("Chapter 5: The Wheel")), qPrintable(text.left(300)));
    }
};

DA1011_TEST_MAIN(ReaderPrintingTest)
#include "test_reader_printing.moc"
