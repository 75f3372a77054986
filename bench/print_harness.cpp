// Times one print of a page to a PDF file, the way "Print Entire Book" does it once the
// print prompt has been confirmed with "Print to File (PDF)".
//
// Usage: print_harness [--qt-print|--bare] [--margins-mm MM] [--timeout SECONDS]
//                      [--cancel-at PHASE --cancel-after MS] FILE OUT.pdf
//   default      the reader's own path: platform::PagePrinter::print() with the printer
//                settings the prompt leaves behind, as a PrintJob that the reader's "Printing"
//                window (PrintProgress) watches
//   --no-window  the same without the "Printing" window, to see what the window costs
//   --cancel-at  cancel the job MS milliseconds after it entered PHASE (layout, finishing or
//                sending) and time the cancel to the printer's end; the file must not exist
//   --qt-print   the path the reader avoids: QWebEngineView::print() into a 300 dpi printer
//   --bare       the engine alone, the limit for the reader's path: QWebEnginePage::printToPdf()
//                of the loaded page straight into the file, with the same page layout and
//                nothing added (no page numbers, bookmarks or document information)
//   --margins-mm as if the margins had been set to MM on every side in the prompt; without
//                it, the 20 mm the reader's printer starts with
//
// The page is loaded first and not timed. Output on stdout, one "name value" a line:
//   load_ms      start of the load -> loadFinished(true)
//   print_ms     print started -> finished, with the file in place
//   page_layout  the page size and margins the job was given
//   cancel_ms    (--cancel-at) cancel -> the printer has ended the job and may print again
//   cancelled_in the phase the job was in when it was cancelled
//   settled_ms   (--cancel-at) cancel -> the job's last work on a pool thread has stopped too
// Exit status: 0 done, 1 the load or the print failed, 2 usage, 124 timed out.
#include "platform/print/PagePrinter.h"
#include "platform/print/PrintJob.h"
#include "platform/print/PrintProgress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <memory>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void complain(const QString& line)
{
    std::fputs(qPrintable(line), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// What the print prompt leaves in the reader's printer when "Print to File (PDF)" is chosen
// with A4 paper; a negative margin leaves the printer's own minimum.
void setUpAsThePromptLeavesIt(QPrinter& printer, const QString& outFile, const QString& title,
                              double marginsMm)
{
    printer.setDocName(title);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(outFile);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setCopyCount(1);
    if (marginsMm >= 0)
        printer.setPageMargins(QMarginsF(marginsMm, marginsMm, marginsMm, marginsMm),
                               QPageLayout::Millimeter);
}

QString describe(const QPageLayout& layout)
{
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    return QStringLiteral("%1 %2, margins %3/%4/%5/%6 mm (left/top/right/bottom)")
        .arg(layout.pageSize().name(),
             layout.orientation() == QPageLayout::Portrait ? QStringLiteral("portrait")
                                                           : QStringLiteral("landscape"))
        .arg(m.left(), 0, 'f', 1)
        .arg(m.top(), 0, 'f', 1)
        .arg(m.right(), 0, 'f', 1)
        .arg(m.bottom(), 0, 'f', 1);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);

    bool qtPrint = false;
    bool bare = false;
    double timeoutS = 300;
    double marginsMm = 20;  // what the reader's printer starts with
    QString cancelAt;
    bool window = true;
    int cancelAfterMs = 0;
    QStringList files;
    const QStringList args = QApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--qt-print"))
            qtPrint = true;
        else if (args[i] == QLatin1String("--bare"))
            bare = true;
        else if (args[i] == QLatin1String("--timeout") && i + 1 < args.size())
            timeoutS = args[++i].toDouble();
        else if (args[i] == QLatin1String("--margins-mm") && i + 1 < args.size())
            marginsMm = args[++i].toDouble();
        else if (args[i] == QLatin1String("--no-window"))
            window = false;
        else if (args[i] == QLatin1String("--cancel-at") && i + 1 < args.size())
            cancelAt = args[++i];
        else if (args[i] == QLatin1String("--cancel-after") && i + 1 < args.size())
            cancelAfterMs = args[++i].toInt();
        else
            files << args[i];
    }
    using platform::PrintJob;
    const QMap<QString, PrintJob::State> phases{
        {QStringLiteral("layout"), PrintJob::State::LayingOut},
        {QStringLiteral("finishing"), PrintJob::State::Finishing},
        {QStringLiteral("sending"), PrintJob::State::Sending}};
    if (files.size() != 2 || timeoutS <= 0 || (!cancelAt.isEmpty() && !phases.contains(cancelAt))) {
        complain(QStringLiteral("usage: print_harness [--qt-print|--bare] [--margins-mm MM] "
                                "[--timeout SECONDS] FILE OUT.pdf"));
        return 2;
    }
    const QString page = QFileInfo(files[0]).absoluteFilePath();
    const QString outFile = QFileInfo(files[1]).absoluteFilePath();
    QFile::remove(outFile);

    QTimer::singleShot(static_cast<int>(timeoutS * 1000), &application, [timeoutS] {
        complain(QStringLiteral("timed out after %1 s").arg(timeoutS));
        QCoreApplication::exit(124);
    });

    // Sized and shown like the reader's window, so the page is laid out as a reader sees it.
    QWebEngineView view;
    view.resize(1280, 900);
    view.show();

    platform::PagePrinter pagePrinter(&view);
    // The reader's printer is made once, high resolution, and handed to the prompt.
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QElapsedTimer clock;

    // The job as the reader runs it, with its window watching it.
    PrintJob job;
    if (window)
        new platform::PrintProgress(&job, &view);
    QElapsedTimer cancelClock;
    if (!cancelAt.isEmpty()) {
        QObject::connect(&job, &PrintJob::stateChanged, &application, [&](PrintJob::State state) {
            if (state != phases.value(cancelAt))
                return;
            QTimer::singleShot(cancelAfterMs, &application, [&] {
                say(QStringLiteral("cancelled_in %1")
                        .arg(QVariant::fromValue(job.state()).toString()));
                cancelClock.start();
                job.cancel();
            });
        });
    }

    const auto printed = [&](bool ok, const QString& error) {
        const qint64 ms = clock.elapsed();
        if (cancelClock.isValid()) {
            say(QStringLiteral("cancel_ms %1").arg(cancelClock.elapsed()));
            // The cancelled job's last step still runs on a pool thread and then hands its
            // end back to this thread; the application must not go before it has.
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::sendPostedEvents();
            say(QStringLiteral("settled_ms %1").arg(cancelClock.elapsed()));
            if (QFileInfo::exists(outFile)) {
                complain(QStringLiteral("a cancelled job left %1").arg(outFile));
                QCoreApplication::exit(1);
                return;
            }
            QCoreApplication::exit(0);
            return;
        }
        if (!ok) {
            complain(QStringLiteral("print failed: %1").arg(error));
            QCoreApplication::exit(1);
            return;
        }
        if (!QFileInfo::exists(outFile)) {
            complain(QStringLiteral("print reported success but %1 does not exist").arg(outFile));
            QCoreApplication::exit(1);
            return;
        }
        say(QStringLiteral("print_ms %1").arg(ms));
        QCoreApplication::exit(0);
    };
    QObject::connect(&pagePrinter, &platform::PagePrinter::finished, &application, printed);
    QObject::connect(&view, &QWebEngineView::printFinished, &application,
                     [&](bool ok) { printed(ok, QStringLiteral("QWebEngineView::print failed")); });
    QObject::connect(view.page(), &QWebEnginePage::pdfPrintingFinished, &application,
                     [&](const QString&, bool ok) {
                         printed(ok, QStringLiteral("QWebEnginePage::printToPdf failed"));
                     });

    QElapsedTimer loadClock;
    bool started = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, &application, [&](bool ok) {
        if (started)
            return;
        started = true;
        if (!ok) {
            complain(QStringLiteral("could not load %1").arg(page));
            QCoreApplication::exit(1);
            return;
        }
        say(QStringLiteral("load_ms %1").arg(loadClock.elapsed()));
        // Let the load's own follow-up work settle, as it has long before a user confirms
        // the prompt.
        QTimer::singleShot(200, &application, [&] {
            if (qtPrint) {
                // The view paints each page as a picture into this printer.
                printer->setResolution(300);
                setUpAsThePromptLeavesIt(*printer, outFile, view.page()->title(), marginsMm);
                say(QStringLiteral("page_layout %1").arg(describe(printer->pageLayout())));
                clock.start();
                view.print(printer.get());
            } else if (bare) {
                setUpAsThePromptLeavesIt(*printer, outFile, view.page()->title(), marginsMm);
                say(QStringLiteral("page_layout %1").arg(describe(printer->pageLayout())));
                clock.start();
                view.page()->printToPdf(outFile, printer->pageLayout());
            } else {
                setUpAsThePromptLeavesIt(*printer, outFile, view.page()->title(), marginsMm);
                say(QStringLiteral("page_layout %1").arg(describe(printer->pageLayout())));
                clock.start();
                pagePrinter.print(*printer, &job);
            }
        });
    });

    loadClock.start();
    view.setUrl(QUrl::fromLocalFile(page));
    return QApplication::exec();
}
