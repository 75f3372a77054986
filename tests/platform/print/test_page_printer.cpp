#include "platform/print/CupsQueue.h"
#include "platform/print/PagePrinter.h"
#include "platform/print/PrintJob.h"

#include "platform/runtime/Errors.h"
#include "support/PrintTools.h"
#include "support/TestMain.h"
#include "support/Waiting.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using platform::PagePrinter;
using platform::PrintJob;

namespace {

constexpr int kLongPages = 60;
constexpr int kJobTimeoutMs = 60000;

QString sectionToken(int page)
{
    return QStringLiteral("QVSEC%1").arg(page, 4, 10, QLatin1Char('0'));
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// One page with a few known words.
QByteArray shortPage(const QString& token)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset='utf-8'>"
                          "<title>Quorvel print check</title>"
                          "<style>body{margin:0;font:14pt 'DejaVu Sans',sans-serif}</style></head>"
                          "<body><p>Quorvel reading room %1</p><p>The second line of the page.</p>"
                          "</body></html>")
        .arg(token)
        .toUtf8();
}

// kLongPages pages of running text; each starts on a new sheet and carries its number.
QByteArray longPage()
{
    QString html = QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Quorvel long page</title>"
        "<style>body{margin:0;font:11pt 'DejaVu Serif',serif}"
        "section{break-after:page}p{margin:0 0 6pt 0}</style></head><body>");
    for (int page = 1; page <= kLongPages; ++page) {
        html += QStringLiteral("<section><h2>Section %1 %2</h2>").arg(page).arg(sectionToken(page));
        for (int paragraph = 0; paragraph < 8; ++paragraph)
            html += QStringLiteral(
                "<p>Quorvel keeps its pages in order so a reader can come back to them. "
                "Each line here is ordinary text of the kind a book is made of, long "
                "enough to wrap and fill most of the sheet it is printed on.</p>");
        html += QStringLiteral("</section>");
    }
    html += QStringLiteral("</body></html>");
    return html.toUtf8();
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& fileName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(fileName);
    return printer;
}

void choosePages(QPrinter& printer, const QPageRanges& ranges)
{
    printer.setPrintRange(QPrinter::PageRange);
    printer.setPageRanges(ranges);
}

}  // namespace

class TestPagePrinter : public QObject {
    Q_OBJECT

private:
    struct Outcome {
        bool ok = false;
        QString description;
    };

    bool load(const QString& file)
    {
        QSignalSpy loaded(view_.get(), &QWebEngineView::loadFinished);
        view_->load(QUrl::fromLocalFile(dir_.filePath(file)));
        if (!loaded.wait(30000) || !loaded.first().first().toBool())
            return false;
        current_ = file;
        return true;
    }

    // Runs one job to its end and returns its outcome; fails the test if it never ends.
    Outcome printAndWait(PagePrinter& printer, const QPrinter& settings)
    {
        QSignalSpy finished(&printer, &PagePrinter::finished);
        printer.print(settings);
        if (finished.isEmpty() && !finished.wait(kJobTimeoutMs))
            return {false, QStringLiteral("the job did not end in time")};
        return {finished.first().at(0).toBool(), finished.first().at(1).toString()};
    }

    // The test queue made by the project's script; returns why there is none, or nothing.
    QString queueSkipReason()
    {
        queue_ = &TestQueue::get();
        return queue_->problem;
    }

    QTemporaryDir dir_;
    std::unique_ptr<QWebEngineView> view_;
    QString current_;
    QString token_ = QUuid::createUuid().toString(QUuid::Id128).left(12).toUpper();
    const TestQueue* queue_ = nullptr;

private slots:
    void initTestCase();
    void cleanupTestCase();

    void writesPdfWithTheTextOfThePage();
    void isBusyUntilTheJobEnds();
    void printsOnlyTheChosenPages_data();
    void printsOnlyTheChosenPages();
    void printsEveryPageWhenTheDialogSaysAll();
    void followsThePageLayout();
    void missingFolderFailsAndLeavesNoFile();
    void unwritableTargetFailsAndLeavesTheFolderAsItWas();
    void replacesAnOlderFileWhole();
    void pdfWithoutFileNameFails();
    void goingAwayMidJobIsQuiet();
    void printsOnTheTestQueue();
    void queueGetsCopiesInTheChosenOrder();
    void queueGetsTheDialogsJobOptions();
    void removedQueueFails();
    void cancelEndsTheJobAtEachPhase_data();
    void cancelEndsTheJobAtEachPhase();
};

void TestPagePrinter::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(writeFile(dir_.filePath("short.html"), shortPage(token_)));
    QVERIFY(writeFile(dir_.filePath("long.html"), longPage()));
    for (const char* tool : {"pdftotext", "pdfinfo"})
        QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                 "poppler-utils is needed: scripts/install-deps.sh test");
    view_ = std::make_unique<QWebEngineView>();
    view_->resize(800, 600);
    view_->show();
    QVERIFY(load("short.html"));
}

void TestPagePrinter::cleanupTestCase()
{
    view_.reset();
}

void TestPagePrinter::writesPdfWithTheTextOfThePage()
{
    QVERIFY(load("short.html"));
    PagePrinter printer(view_.get());
    const QString target = dir_.filePath("short.pdf");
    const auto settings = pdfPrinter(target);

    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    QVERIFY(outcome.description.isEmpty());
    QVERIFY(QFile::exists(target));
    QCOMPARE(pdfPages(target), 1);
    const QString text = pdfText(target);
    QVERIFY2(text.contains("Quorvel reading room " + token_), qPrintable(text));
    QVERIFY(text.contains("The second line of the page."));
    // Text, not pictures of text: a page of words stays small.
    QVERIFY2(QFileInfo(target).size() < qint64{200} * 1024,
             qPrintable(QString::number(QFileInfo(target).size())));
}

void TestPagePrinter::isBusyUntilTheJobEnds()
{
    QVERIFY(load("long.html"));
    PagePrinter printer(view_.get());
    QVERIFY(!printer.busy());
    const QString target = dir_.filePath("busy.pdf");
    QSignalSpy finished(&printer, &PagePrinter::finished);
    {
        // The settings may go away as soon as the job has started.
        const auto settings = pdfPrinter(target);
        printer.print(*settings);
    }
    QVERIFY(printer.busy());
    QVERIFY(finished.isEmpty());

    const auto other = pdfPrinter(dir_.filePath("second.pdf"));
    try {
        printer.print(*other);
        QFAIL("a second job was started while the first was running");
    } catch (const platform::PlatformError& error) {
        QCOMPARE(error.number(), platform::kErrPrintFailed);
        QVERIFY(!error.description().isEmpty());
    }

    TRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kJobTimeoutMs);
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QVERIFY(!printer.busy());
    QCOMPARE(pdfPages(target), kLongPages);
    QVERIFY(!QFile::exists(dir_.filePath("second.pdf")));
    // Exactly one outcome per job.
    letEventsRun(300);
    QCOMPARE(finished.size(), 1);
}

void TestPagePrinter::printsOnlyTheChosenPages_data()
{
    QTest::addColumn<QString>("ranges");
    QTest::addColumn<QList<int>>("sections");
    QTest::newRow("2-3") << QStringLiteral("2-3") << QList<int>{2, 3};
    QTest::newRow("2,5-6") << QStringLiteral("2,5-6") << QList<int>{2, 5, 6};
}

void TestPagePrinter::printsOnlyTheChosenPages()
{
    QFETCH(QString, ranges);
    QFETCH(QList<int>, sections);
    QVERIFY(load("long.html"));
    PagePrinter printer(view_.get());
    const QString target = dir_.filePath(QStringLiteral("pages %1.pdf").arg(ranges));
    const auto settings = pdfPrinter(target);
    choosePages(*settings, QPageRanges::fromString(ranges));
    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    QCOMPARE(pdfPages(target), int(sections.size()));
    for (int page = 1; page <= sections.size(); ++page)
        QVERIFY(pdfText(target, page).contains(sectionToken(sections[page - 1])));
    const QString all = pdfText(target);
    QVERIFY(!all.contains(sectionToken(1)));
    QVERIFY(!all.contains(sectionToken(4)));
}

void TestPagePrinter::printsEveryPageWhenTheDialogSaysAll()
{
    QVERIFY(load("long.html"));
    PagePrinter printer(view_.get());
    const QString target = dir_.filePath("all.pdf");
    const auto settings = pdfPrinter(target);
    // Ranges left over from an earlier "Pages" choice do not count once "All" is chosen.
    QPageRanges stale;
    stale.addRange(2, 3);
    settings->setPageRanges(stale);
    settings->setPrintRange(QPrinter::AllPages);

    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = printAndWait(printer, *settings);
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    qInfo("%d pages to PDF in %lld ms, %lld bytes", kLongPages, elapsed, QFileInfo(target).size());
    QCOMPARE(pdfPages(target), kLongPages);
    QVERIFY(pdfText(target, 1).contains(sectionToken(1)));
    QVERIFY(pdfText(target, kLongPages).contains(sectionToken(kLongPages)));
}

void TestPagePrinter::followsThePageLayout()
{
    QVERIFY(load("short.html"));
    PagePrinter printer(view_.get());
    const QString target = dir_.filePath("layout.pdf");
    const auto settings = pdfPrinter(target);
    settings->setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                        QMarginsF(30, 20, 10, 10), QPageLayout::Millimeter));

    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    // A5 across: 210 x 148 mm.
    const QString size = pdfInfo(target, "Page size");
    const QRegularExpression points(QStringLiteral("^([0-9.]+) x ([0-9.]+) pts"));
    const auto match = points.match(size);
    QVERIFY2(match.hasMatch(), qPrintable(size));
    QVERIFY2(qAbs(match.captured(1).toDouble() - 595.3) < 2, qPrintable(size));
    QVERIFY2(qAbs(match.captured(2).toDouble() - 419.5) < 2, qPrintable(size));

    // The first word starts inside the left and top margins (30 mm = 85 pt, 20 mm = 57 pt);
    // only the running title stands above them.
    const ToolRun bbox = runTool("pdftotext", {"-bbox", target, "-"});
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>Quorvel</word>"));
    QRegularExpressionMatch first;
    for (auto words = word.globalMatch(bbox.out); words.hasNext() && !first.hasMatch();) {
        const auto found = words.next();
        if (found.captured(2).toDouble() >= 40)
            first = found;
    }
    QVERIFY2(first.hasMatch(), qPrintable(bbox.out));
    const double left = first.captured(1).toDouble();
    const double top = first.captured(2).toDouble();
    QVERIFY2(left >= 84 && left < 100, qPrintable(QString::number(left)));
    QVERIFY2(top >= 56 && top < 90, qPrintable(QString::number(top)));
}

void TestPagePrinter::missingFolderFailsAndLeavesNoFile()
{
    QVERIFY(load("short.html"));
    PagePrinter printer(view_.get());
    const QString folder = dir_.filePath("no-such-folder");
    const QString target = folder + "/out.pdf";
    const auto settings = pdfPrinter(target);

    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY(!outcome.ok);
    qInfo("%s", qPrintable(outcome.description));
    QVERIFY2(outcome.description.contains(target), qPrintable(outcome.description));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(!printer.busy());
}

void TestPagePrinter::unwritableTargetFailsAndLeavesTheFolderAsItWas()
{
    QVERIFY(load("short.html"));
    PagePrinter printer(view_.get());
    // A folder where the file should go cannot be replaced by it.
    const QString folder = dir_.filePath("occupied");
    QVERIFY(QDir().mkpath(folder + "/out.pdf"));
    const QStringList before
        = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const auto settings = pdfPrinter(folder + "/out.pdf");

    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY(!outcome.ok);
    qInfo("%s", qPrintable(outcome.description));
    QVERIFY(!outcome.description.isEmpty());
    QVERIFY(QFileInfo(folder + "/out.pdf").isDir());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             before);
}

void TestPagePrinter::replacesAnOlderFileWhole()
{
    QVERIFY(load("short.html"));
    PagePrinter printer(view_.get());
    const QString target = dir_.filePath("again.pdf");
    QVERIFY(writeFile(target, QByteArray(qsizetype{5} * 1024 * 1024, 'x')));
    const auto settings = pdfPrinter(target);

    const Outcome outcome = printAndWait(printer, *settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(!pdf.contains("xxxxxxxx"));
    QVERIFY(pdfText(target).contains(token_));
    QCOMPARE(QDir(dir_.path()).entryList({"again.pdf*"}, QDir::Files | QDir::Hidden),
             QStringList{"again.pdf"});
}

void TestPagePrinter::pdfWithoutFileNameFails()
{
    PagePrinter printer(view_.get());
    QPrinter settings(QPrinter::HighResolution);
    settings.setOutputFormat(QPrinter::PdfFormat);
    QCOMPARE(settings.outputFormat(), QPrinter::PdfFormat);

    QSignalSpy finished(&printer, &PagePrinter::finished);
    printer.print(settings);
    // Reported from the event loop, never from inside print().
    QVERIFY(finished.isEmpty());
    QVERIFY(printer.busy());
    TRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QVERIFY(!finished.first().at(0).toBool());
    QVERIFY(!finished.first().at(1).toString().isEmpty());
    QVERIFY(!printer.busy());
}

void TestPagePrinter::goingAwayMidJobIsQuiet()
{
    QVERIFY(load("long.html"));
    const QString target = dir_.filePath("abandoned.pdf");
    {
        PagePrinter printer(view_.get());
        printer.print(*pdfPrinter(target));
        QVERIFY(printer.busy());
    }
    // The page still answers (its answers come in order, so the job's came before this
    // one); nobody is left to take the result, and nothing breaks.
    bool answered = false;
    view_->page()->runJavaScript(QStringLiteral("1"),
                                 [&answered](const QVariant&) { answered = true; });
    TRY_VERIFY(answered);
    QVERIFY(!QFile::exists(target));

    // The view can print again afterwards.
    PagePrinter printer(view_.get());
    const Outcome outcome = printAndWait(printer, *pdfPrinter(target));
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    QCOMPARE(pdfPages(target), kLongPages);
}

void TestPagePrinter::printsOnTheTestQueue()
{
    if (const QString reason = queueSkipReason(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(load("short.html"));
    QFile::remove(queue_->output);

    PagePrinter printer(view_.get());
    QPrinter settings(QPrinter::HighResolution);
    settings.setPrinterName(queue_->name);
    QCOMPARE(settings.outputFormat(), QPrinter::NativeFormat);
    settings.setDuplex(QPrinter::DuplexLongSide);
    const Outcome outcome = printAndWait(printer, settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));

    TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue_->output) && queue_->idle(), kJobTimeoutMs);
    QCOMPARE(pdfPages(queue_->output), 1);
    const QString text = pdfText(queue_->output);
    QVERIFY2(text.contains("Quorvel reading room " + token_), qPrintable(text));

    // The generic PDF driver writes the job's name and binding into the file's header.
    QFile file(queue_->output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(4096);
    QVERIFY2(head.contains("Quorvel print check"), head.constData());
    QVERIFY2(head.contains("DUPLEX=ON") && head.contains("LONGEDGE"), head.constData());
}

void TestPagePrinter::queueGetsCopiesInTheChosenOrder()
{
    if (const QString reason = queueSkipReason(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(load("long.html"));
    PagePrinter printer(view_.get());

    for (const bool collate : {true, false}) {
        QFile::remove(queue_->output);
        QPrinter settings(QPrinter::HighResolution);
        settings.setPrinterName(queue_->name);
        QPageRanges ranges;
        ranges.addRange(2, 3);
        choosePages(settings, ranges);
        settings.setCopyCount(2);
        settings.setCollateCopies(collate);

        const Outcome outcome = printAndWait(printer, settings);
        QVERIFY2(outcome.ok, qPrintable(outcome.description));
        TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue_->output) && queue_->idle(), kJobTimeoutMs);

        // Pages 2 and 3 twice: cut once, not again by the queue.
        QCOMPARE(pdfPages(queue_->output), 4);
        const QList<int> expected = collate ? QList<int>{2, 3, 2, 3} : QList<int>{2, 2, 3, 3};
        for (int sheet = 1; sheet <= 4; ++sheet) {
            const QString text = pdfText(queue_->output, sheet);
            QVERIFY2(text.contains(sectionToken(expected[sheet - 1])),
                     qPrintable(QStringLiteral("collate=%1 sheet %2: %3")
                                    .arg(collate)
                                    .arg(sheet)
                                    .arg(text.left(200))));
        }
    }
}

void TestPagePrinter::queueGetsTheDialogsJobOptions()
{
    if (const QString reason = queueSkipReason(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(load("long.html"));
    QFile::remove(queue_->output);
    PagePrinter printer(view_.get());
    QPrinter settings(QPrinter::HighResolution);
    settings.setPrinterName(queue_->name);
    {
        // "Page set: Odd Pages" on the real dialog's Options page, then "Print".
        QPrintDialog dialog(&settings);
        auto* pageSet = dialog.findChild<QComboBox*>(QStringLiteral("pageSetCombo"));
        QVERIFY(pageSet && pageSet->isEnabled());
        pageSet->setCurrentIndex(pageSet->findText(QStringLiteral("Odd Pages")));
        QCOMPARE(pageSet->currentText(), QStringLiteral("Odd Pages"));
        dialog.show();
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    const QStringList options = platform::CupsQueue::dialogJobOptions(settings);
    const qsizetype pageSet = options.indexOf(QStringLiteral("page-set"));
    QVERIFY2(pageSet >= 0 && pageSet % 2 == 0 && options.value(pageSet + 1) == "odd",
             qPrintable("Qt no longer keeps the print dialog's job options where CupsQueue "
                        "reads them, so choices such as odd pages never reach the printer; "
                        "read: ["
                        + options.join(", ") + "]"));
    QPageRanges ranges;
    ranges.addRange(1, 4);
    choosePages(settings, ranges);

    const Outcome outcome = printAndWait(printer, settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.description));
    TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue_->output) && queue_->idle(), kJobTimeoutMs);
    QCOMPARE(pdfPages(queue_->output), 2);
    QVERIFY(pdfText(queue_->output, 1).contains(sectionToken(1)));
    QVERIFY(pdfText(queue_->output, 2).contains(sectionToken(3)));
}

void TestPagePrinter::removedQueueFails()
{
    if (const QString reason = queueSkipReason(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(load("short.html"));
    // A queue taken away between the dialog and the job: the dialog only offers queues
    // that exist, and Qt swaps an unknown name for the default printer.
    const QString gone = QStringLiteral("DA1011-gone");
    const ToolRun added = runTool("lpadmin",
                                  {"-p", gone, "-v", "file:///dev/null", "-P",
                                   "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd", "-E"});
    QVERIFY2(added.exitCode == 0, qPrintable(added.err));
    QPrinter settings(QPrinter::HighResolution);
    settings.setPrinterName(gone);
    const ToolRun removed = runTool("lpadmin", {"-x", gone});
    QCOMPARE(settings.printerName(), gone);
    QVERIFY2(removed.exitCode == 0, qPrintable(removed.err));

    PagePrinter printer(view_.get());
    const Outcome outcome = printAndWait(printer, settings);
    QVERIFY(!outcome.ok);
    qInfo("%s", qPrintable(outcome.description));
    QVERIFY2(outcome.description.contains(gone), qPrintable(outcome.description));
    QVERIFY(!printer.busy());
}

void TestPagePrinter::cancelEndsTheJobAtEachPhase_data()
{
    QTest::addColumn<PrintJob::State>("phase");
    QTest::addColumn<bool>("toQueue");
    QTest::addColumn<bool>("replacing");
    QTest::newRow("laying out, new file") << PrintJob::State::LayingOut << false << false;
    QTest::newRow("laying out, replacing") << PrintJob::State::LayingOut << false << true;
    QTest::newRow("adding page numbers") << PrintJob::State::Finishing << false << true;
    QTest::newRow("saving") << PrintJob::State::Sending << false << true;
    QTest::newRow("laying out, to a queue") << PrintJob::State::LayingOut << true << false;
    QTest::newRow("sending to a queue") << PrintJob::State::Sending << true << false;
}

void TestPagePrinter::cancelEndsTheJobAtEachPhase()
{
    QFETCH(PrintJob::State, phase);
    QFETCH(bool, toQueue);
    QFETCH(bool, replacing);
    if (toQueue) {
        if (const QString reason = queueSkipReason(); !reason.isEmpty())
            QSKIP(qPrintable(reason));
        QFile::remove(queue_->output);
    }
    QVERIFY(load("long.html"));
    const QString target = dir_.filePath("cancelled.pdf");
    QFile::remove(target);
    const QByteArray earlier = "%PDF-1.4 the reader's earlier file";
    if (replacing)
        QVERIFY(writeFile(target, earlier));
    auto settings = pdfPrinter(target);
    if (toQueue) {
        settings->setOutputFormat(QPrinter::NativeFormat);
        settings->setPrinterName(queue_->name);
    }

    PagePrinter printer(view_.get());
    PrintJob job;
    QList<PrintJob::State> states;
    connect(&job, &PrintJob::stateChanged, this, [&](PrintJob::State state) {
        states << state;
        if (state == phase)
            job.cancel();
    });
    QSignalSpy finished(&printer, &PagePrinter::finished);
    QCOMPARE(printer.print(*settings, &job), &job);
    TRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kJobTimeoutMs);
    QVERIFY(!finished.first().at(0).toBool());
    QCOMPARE(job.state(), PrintJob::State::Cancelled);
    QCOMPARE(states.last(), PrintJob::State::Cancelled);
    QCOMPARE(states.count(PrintJob::State::Cancelled), 1);
    QVERIFY(!printer.busy());

    // No file, or the one it was to replace with its bytes, and nothing beside it.
    QCOMPARE(QDir(dir_.path()).entryList({"cancelled.pdf*"}, QDir::Files | QDir::Hidden),
             replacing ? QStringList{"cancelled.pdf"} : QStringList{});
    if (replacing) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), earlier);
    }
    if (toQueue) {
        TRY_VERIFY_WITH_TIMEOUT(queue_->idle(), kJobTimeoutMs);
        QVERIFY(!QFile::exists(queue_->output));
    }

    // A print works right after, with the printer's own job.
    const Outcome again = printAndWait(printer, *settings);
    QVERIFY2(again.ok, qPrintable(again.description));
    QCOMPARE(job.state(), PrintJob::State::Cancelled);
    if (toQueue)
        TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue_->output) && queue_->idle(), kJobTimeoutMs);
    QCOMPARE(pdfPages(toQueue ? queue_->output : target), kLongPages);
}

DA1011_TEST_MAIN(TestPagePrinter)
#include "test_page_printer.moc"
