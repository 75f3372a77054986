#include "platform/print/PagePrinter.h"

#include "platform/print/CupsQueue.h"
#include "platform/print/PdfFinisher.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/print/PrintDecorations.h"
#include "platform/print/PrintJob.h"
#include "platform/print/PrintScripts.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Limits.h"
#include "platform/runtime/Trace.h"
#include "platform/runtime/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QPageLayout>
#include <QPageRanges>
#include <QPageSize>
#include <QPrinter>
#include <QPromise>
#include <QRandomGenerator>
#include <QUrl>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

namespace {

// The page's own beforeprint and afterprint handlers, run by the job itself before it asks
// the engine for the PDF and once it has it: the engine's own print events do not reach the
// page (the web view holds them back), since a renderer that dies while the engine prints
// ends the whole program. Dying here, it ends only the job.
const char* const kBeforePrint = "dispatchEvent(new Event('beforeprint'));";
const char* const kAfterPrint = "dispatchEvent(new Event('afterprint'));";

// Pages times new destinations: the engine checks every destination on every page it prints,
// at some 10 microseconds a check, so this is about half a second at most.
constexpr int kMarkerBudget = 50000;

// What the prompt chose, taken when the job starts so the caller's printer may be reused or
// destroyed while the job runs.
struct Order {
    bool toFile = false;
    QString fileName;
    QPageLayout layout;
    // Empty means every page. Only the dialog's "Pages" choice selects pages: a printer
    // remembers the last ranges even after "All" is chosen again.
    QPageRanges ranges;
    QueueOrder queue;  // for a printer queue only
    QString title;

    static Order from(const QPrinter& printer, const QString& pageTitle)
    {
        Order order;
        order.toFile = printer.outputFormat() == QPrinter::PdfFormat;
        order.fileName = printer.outputFileName();
        order.layout = printer.pageLayout();
        if (printer.printRange() == QPrinter::PageRange)
            order.ranges = printer.pageRanges();
        if (!order.toFile)
            order.queue = QueueOrder::from(printer);
        order.title = pageTitle.isEmpty() ? printer.docName() : pageTitle;
        if (order.title.isEmpty())
            order.title = PagePrinter::tr("Document");
        return order;
    }
};

// What a page gives as its title, author or a heading, as text for the document: control
// characters (NUL, BEL, ESC, ...) would go into the outline and the document's information
// as they are, where a viewer or a terminal showing them takes them for commands.
QString printableText(const QVariant& given)
{
    QString text = given.toString();
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return text.simplified();
}

// What the printed document says of itself beyond the engine's PDF.
struct Document {
    PdfDocumentInfo info;
    std::vector<PdfHeading> headings;
    QFuture<PageFurniture> furniture;  // drawn for the paper of the print settings
    PdfLinkBase links;

    // From the answer of mark-headings.js for the page at pageUrl; untitledName is the title
    // of a page without one.
    static Document from(const QVariant& answer, const QUrl& pageUrl, const QString& untitledName)
    {
        const QVariantMap facts = answer.toMap();
        Document document;
        document.info
            = {printableText(facts.value(QStringLiteral("title"))),
               printableText(facts.value(QStringLiteral("author"))), Application::title()};
        if (document.info.title.isEmpty())
            document.info.title = untitledName;
        for (const QVariant& entry : facts.value(QStringLiteral("headings")).toList()) {
            const QVariantMap heading = entry.toMap();
            document.headings.push_back({heading.value(QStringLiteral("destination")).toString(),
                                         printableText(heading.value(QStringLiteral("title"))),
                                         heading.value(QStringLiteral("level")).toInt()});
        }
        document.links.page = pageUrl.isLocalFile() ? pageUrl.toLocalFile() : QString();
        document.links.folder = Application::path();
        for (const QVariant& entry : facts.value(QStringLiteral("places")).toList()) {
            const QVariantMap place = entry.toMap();
            document.links.places.emplace(
                PdfLinkBase::keyOf(QUrl(place.value(QStringLiteral("link")).toString())),
                place.value(QStringLiteral("destination")).toString());
        }
        return document;
    }
};

QWebEnginePage* shown(const QPointer<QWebEnginePage>& page)
{
    if (!page)
        throw PlatformError(kErrPrintFailed, PagePrinter::tr("There is no page to print."));
    return page;
}

// The page's answer to a script run in the program's own world, where the page's scripts
// cannot answer in its place. Cancelled when the page goes away without answering.
QFuture<QVariant> answerOf(const QPointer<QWebEnginePage>& page, const QString& script)
{
    auto promise = std::make_shared<QPromise<QVariant>>();
    promise->start();
    shown(page)->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                               [promise](const QVariant& answer) {
                                   promise->addResult(answer);
                                   promise->finish();
                               });
    return promise->future();
}

// The engine's own PDF of the page, empty when it made none.
QFuture<QByteArray> enginePdfOf(const QPointer<QWebEnginePage>& page, const QPageLayout& layout,
                                const QPageRanges& ranges)
{
    auto promise = std::make_shared<QPromise<QByteArray>>();
    promise->start();
    PendingPdfPages::begin(shown(page));
    qCDebug(lcPage) << "asked the engine for the page's PDF";
    page->printToPdf(
        [promise, page](const QByteArray& pdf) {
            PendingPdfPages::end(page);
            promise->addResult(pdf);
            promise->finish();
        },
        layout, ranges);
    return promise->future();
}

// Paper on which less than an inch each way is left inside the job's margins.
void refuseTooSmallPaper(const QVariant& answer, const QPageLayout& layout)
{
    const QVariantList paper = answer.toList();
    if (paper.size() != 2)
        return;
    constexpr double kPointsPerPixel = 0.75;
    constexpr double kLeastPoints = 72;
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    if (paper[0].toDouble() * kPointsPerPixel - margins.left() - margins.right() >= kLeastPoints
        && paper[1].toDouble() * kPointsPerPixel - margins.top() - margins.bottom() >= kLeastPoints)
        return;
    constexpr double kMillimetresPerPixel = 25.4 / 96;
    throw PlatformError(kErrPrintFailed,
                        PagePrinter::tr("The page asks for paper of %1 x %2 mm, too small to "
                                        "print on, so it could not be printed.")
                            .arg(paper[0].toDouble() * kMillimetresPerPixel, 0, 'f', 1)
                            .arg(paper[1].toDouble() * kMillimetresPerPixel, 0, 'f', 1));
}

QString markScript(const QString& marker, const QPageLayout& layout)
{
    return printScript(QStringLiteral("mark-headings.js"))
        .arg(marker)
        .arg(qMax(1.0, layout.paintRect(QPageLayout::Point).height() * 96 / 72))
        .arg(kMarkerBudget);
}

// Paper of the given size in points, with the job's margins.
QPageLayout paperOf(const QSizeF& points, const QPageLayout& layout)
{
    return {QPageSize(points, QPageSize::Point), QPageLayout::Portrait,
            layout.margins(QPageLayout::Point), QPageLayout::Point};
}

// The document a reader keeps. Anything the finishing cannot do leaves the engine's PDF as
// it is: the print goes ahead without the extras.
QByteArray finishedPdf(const QByteArray& enginePdf, const std::shared_ptr<Document>& document,
                       const QPageLayout& layout)
{
    try {
        PdfFinisher finisher(enginePdf);
        PageFurniture furniture = document->furniture.result();
        // The page's own style may have chosen other paper than the print settings.
        const QSizeF printedOn = finisher.firstPageSize();
        const QSizeF asked = layout.fullRect(QPageLayout::Point).size();
        if (printedOn.width() > 0 && printedOn.height() > 0
            && (qAbs(printedOn.width() - asked.width()) > 0.5
                || qAbs(printedOn.height() - asked.height()) > 0.5))
            furniture
                = PrintDecorations::furnitureFor(document->info.title, paperOf(printedOn, layout));
        return finisher.finish(furniture, document->headings, document->info, document->links);
    } catch (const std::exception& error) {
        qWarning("The printed page's PDF could not be finished: %s", error.what());
        return enginePdf;
    }
}

// Gives the PDF where the prompt said: to a file at once, to a queue on a pool thread, as
// handing a long document to the scheduler takes a while. The future holds why it could
// not, in a user's words, or nothing.
QFuture<QString> deliver(const Order& order, const QByteArray& pdf,
                         const std::shared_ptr<const std::atomic_bool>& stop)
{
    if (!order.toFile)
        return QtConcurrent::run(&CupsQueue::submit, order.queue, order.title, pdf, stop);
    QString failure = saveWhole(order.fileName, pdf);
    if (!failure.isEmpty())
        failure = PagePrinter::tr("The PDF file \"%1\" could not be written (%2).")
                      .arg(QDir::toNativeSeparators(order.fileName), failure);
    return QtFuture::makeReadyFuture(failure);
}

}  // namespace

// The steps of one job run with this object as their context, so on the printer's thread. It
// lives as long as a step may still run, even once the printer is gone, and goes with
// deleteLater() so that a pool thread may be the last to let go of it.
class PagePrinter::Job : public QObject {
public:
    Job(PagePrinter* printer, quint64 number) : printer_(printer), number_(number) { }

    static std::shared_ptr<Job> start(PagePrinter* printer, quint64 number)
    {
        return {new Job(printer, number), [](Job* job) { job->deleteLater(); }};
    }

    // A job that was abandoned, has ended or whose printer is gone takes no further step.
    void check() const
    {
        if (!printer_ || !printer_->isCurrent(number_))
            throw PlatformError(kErrPrintCancelled, QStringLiteral("The job was abandoned"));
    }
    // The job's next phase, once it has been checked that the job goes on.
    void enter(PrintJob::State phase) const
    {
        check();
        printer_->job_->enter(phase);
        check();  // a watcher may have cancelled it
    }
    void answered() const
    {
        if (printer_)
            printer_->answeredJob_ = number_;
    }
    void end(const QString& failure) const
    {
        if (printer_ && printer_->isCurrent(number_))
            printer_->complete(failure.isEmpty(), failure);
    }

private:
    QPointer<PagePrinter> printer_;
    quint64 number_;
};

PagePrinter::PagePrinter(QWebEngineView* view, QObject* parent)
    : QObject(parent), view_(view), deadline_(new QTimer(this))
{
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        complete(false, tr("The page did not finish printing in time, so printing was stopped."));
    });
}

PagePrinter::~PagePrinter() = default;

bool PagePrinter::isCurrent(quint64 job) const
{
    return busy_ && job == jobNumber_ && job_ && !job_->isFinished();
}

PrintJob* PagePrinter::print(const QPrinter& settings, PrintJob* job)
{
    if (busy_)
        throw PlatformError(kErrPrintFailed, tr("The page is still being printed."));
    busy_ = true;
    ++jobNumber_;
    stop_ = std::make_shared<std::atomic_bool>(false);
    if (!job) {
        ownJob_ = std::make_unique<PrintJob>();
        job = ownJob_.get();
    }
    job_ = job;
    // The cancel is answered from the event loop, so that a job cancelled as it starts still
    // reports its end only after print() has returned.
    connect(job, &PrintJob::stateChanged, this, [this, number = jobNumber_](PrintJob::State state) {
        if (state != PrintJob::State::Cancelled)
            return;
        stop_->store(true);
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                if (busy_ && number == jobNumber_)
                    complete(false, tr("Printing was stopped."));
            },
            Qt::QueuedConnection);
    });
    job->enter(PrintJob::State::LayingOut);
    if (!view_) {
        failLater(tr("There is no page to print."));
        return job;
    }
    const QPointer<QWebEnginePage> page = view_->page();
    const Order order = Order::from(settings, page->title());
    if (order.toFile && order.fileName.isEmpty()) {
        failLater(tr("No file name was given for the PDF file."));
        return job;
    }
    if (job->title().isEmpty())
        job->setTitle(order.title);
    job->setDestination(
        order.toFile ? QFileInfo(order.fileName).fileName() : settings.printerName(), order.toFile);
    watch(jobNumber_);
    const std::shared_ptr<const std::atomic_bool> stop = stop_;
    qCDebug(lcPage) << "a print job started: the page's print handlers run";
    const std::shared_ptr<Job> step = Job::start(this, jobNumber_);
    // A page without a title is printed under the name of the window that shows it.
    const QString windowTitle = view_->window()->windowTitle();
    const QString untitledName = windowTitle.isEmpty() ? order.title : windowTitle;
    const QString marker
        = QStringLiteral("print-mark-%1")
              .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    const auto document = std::make_shared<Document>();

    // A page whose renderer is caught in an endless script would never answer a PDF request,
    // and the engine aborts the whole process when such a page is closed or its renderer ends
    // with the request outstanding. So the page first says what paper its style asks for, in
    // the time watch() gives it, and the PDF is asked for only once it has answered.
    answerOf(page, QLatin1String(kBeforePrint) + printScript(QStringLiteral("smallest-paper.js")))
        .then(step.get(),
              [=](const QVariant& paper) {
                  step->check();
                  step->answered();
                  refuseTooSmallPaper(paper, order.layout);
                  // The engine says where headings land only for elements that links point
                  // at, so headings no link reaches get an empty marker and a hidden link to
                  // it; the answer holds the page's title, author and headings.
                  return answerOf(page, markScript(marker, order.layout));
              })
        .unwrap()
        .then(step.get(),
              [=](const QVariant& facts) {
                  step->check();
                  *document = Document::from(facts, page ? page->url() : QUrl(), untitledName);
                  // The furniture is drawn while the engine prints.
                  document->furniture = QtConcurrent::run(
                      &PrintDecorations::furnitureFor, document->info.title,
                      paperOf(order.layout.fullRect(QPageLayout::Point).size(), order.layout));
                  return enginePdfOf(page, order.layout, order.ranges);
              })
        .unwrap()
        .then(step.get(),
              [=](const QByteArray& pdf) {
                  // The markers go as soon as the engine has the page, whatever became of
                  // the job.
                  if (page)
                      page->runJavaScript(
                          printScript(QStringLiteral("unmark-headings.js")).arg(marker)
                              + QLatin1String(kAfterPrint),
                          QWebEngineScript::ApplicationWorld);
                  step->check();
                  if (pdf.isEmpty() && order.ranges.isEmpty())
                      throw PlatformError(kErrPrintFailed,
                                          tr("The page could not be made into a PDF document."));
                  if (pdf.isEmpty())
                      throw PlatformError(kErrPrintFailed,
                                          tr("The page could not be made into a PDF document. "
                                             "Check that the pages %1 exist.")
                                              .arg(order.ranges.toString()));
                  // qpdf reads and writes a long document for seconds: on a pool thread.
                  step->enter(PrintJob::State::Finishing);
                  return QtConcurrent::run(&finishedPdf, pdf, document, order.layout);
              })
        .unwrap()
        .then(step.get(),
              [=](const QByteArray& finished) {
                  step->enter(PrintJob::State::Sending);
                  return deliver(order, finished, stop);
              })
        .unwrap()
        .then(step.get(), [step](const QString& failure) { step->end(failure); })
        .onFailed(step.get(),
                  [step](const PlatformError& error) { step->end(error.description()); })
        .onFailed(step.get(),
                  [step] { step->end(tr("The page could not be made into a PDF document.")); })
        .onCanceled(step.get(), [step] { step->end(tr("Printing was stopped.")); });
    return job;
}

void PagePrinter::watch(quint64 job)
{
    const Limits& limits = Limits::current();
    deadline_->start(limits.printTimeLimitMs);
    // The page's renderer dying takes the job with it: no answer would ever come.
    rendererWatch_ = connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this, [this] {
        complete(false,
                 tr("The page could not be printed: it stopped working while it was "
                    "being printed (it may have run out of memory)."));
    });
    QTimer::singleShot(qMin(limits.printTimeLimitMs, limits.printAnswerMs), this, [this, job] {
        if (isCurrent(job) && answeredJob_ != job)
            complete(false, tr("The page is not responding, so it could not be printed."));
    });
}

void PagePrinter::complete(bool ok, const QString& errorDescription)
{
    if (!busy_)
        return;  // the job was abandoned already
    busy_ = false;
    deadline_->stop();
    disconnect(rendererWatch_);
    stop_->store(true);
    if (job_) {
        disconnect(job_, nullptr, this, nullptr);
        if (ok)
            job_->succeed();
        else
            job_->fail(errorDescription);  // a cancelled job stays cancelled
    }
    emit finished(ok, ok ? QString() : errorDescription);
}

void PagePrinter::abandon()
{
    complete(false, tr("Printing was stopped."));
}

void PagePrinter::failLater(const QString& errorDescription)
{
    // Reported from the event loop like every other outcome, so a caller never sees
    // finished() before print() has returned.
    QMetaObject::invokeMethod(
        this,
        [this, errorDescription, number = jobNumber_] {
            if (isCurrent(number))
                complete(false, errorDescription);
        },
        Qt::QueuedConnection);
}

}  // namespace platform
