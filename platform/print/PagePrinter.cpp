#include "platform/print/PagePrinter.h"

#include "platform/print/PrintScripts.h"
#include "platform/print/PrintedPdf.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/TextFile.h"

#include <QDir>
#include <QFuture>
#include <QPageLayout>
#include <QPageRanges>
#include <QPrintEngine>
#include <QPrinter>
#include <QSaveFile>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <utility>
#include <vector>

#include <cups/cups.h>

namespace platform {

// What a job needs from the dialog's printer, taken when the job starts so the caller's
// printer may be reused or destroyed while the job runs.
struct PagePrinter::Job {
    bool toFile = false;
    QString fileName;
    QPageLayout layout;
    // Empty means every page. Only the dialog's "Pages" choice selects pages: a printer
    // remembers the last ranges even after "All" is chosen again.
    QPageRanges ranges;
    QString printerName;
    int copies = 1;
    bool collate = true;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QStringList dialogOptions;  // name, value, name, value, ...
    QString title;

    static Job from(const QPrinter& printer, const QString& title);
    std::vector<std::pair<QString, QString>> queueOptions() const;
};

namespace {

// How long a page may take to show that its renderer is answering at all.
constexpr int kResponsivenessWaitMs = 10'000;

// Paper on which less than an inch each way is left inside the job's margins.
bool tooSmallToPrintOn(const QVariant& answer, const QPageLayout& layout)
{
    const QVariantList paper = answer.toList();
    if (paper.size() != 2)
        return false;
    constexpr double kPointsPerPixel = 0.75;
    constexpr double kLeastPoints = 72;
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    return paper[0].toDouble() * kPointsPerPixel - margins.left() - margins.right() < kLeastPoints
        || paper[1].toDouble() * kPointsPerPixel - margins.top() - margins.bottom() < kLeastPoints;
}

// Writes the whole document or nothing: the bytes go to a temporary file in the target's
// folder that replaces the target only once everything is on disk. Unbuffered, so that a
// disk without room fails the write itself: a buffered write would fail only in commit()'s
// flush, which commit() does not check.
QString savePdf(const QString& fileName, const QByteArray& pdf)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, pdf)
        || !file.commit())
        return PagePrinter::tr("The PDF file \"%1\" could not be written (%2).")
            .arg(QDir::toNativeSeparators(fileName), reasonInWords(file.errorString()));
    return {};
}

}  // namespace

PagePrinter::Job PagePrinter::Job::from(const QPrinter& printer, const QString& title)
{
    Job job;
    job.toFile = printer.outputFormat() == QPrinter::PdfFormat;
    job.fileName = printer.outputFileName();
    job.layout = printer.pageLayout();
    if (printer.printRange() == QPrinter::PageRange)
        job.ranges = printer.pageRanges();
    job.printerName = printer.printerName();
    job.copies = qMax(1, printer.copyCount());
    job.collate = printer.collateCopies();
    job.duplex = printer.duplex();
    job.colorMode = printer.colorMode();
    if (!job.toFile)
        job.dialogOptions = dialogJobOptions(printer);
    job.title = title.isEmpty() ? printer.docName() : title;
    if (job.title.isEmpty())
        job.title = tr("Document");
    return job;
}

QStringList PagePrinter::dialogJobOptions(const QPrinter& printer)
{
    // Qt has no public API for the options its print dialog collects for a CUPS queue: the
    // dialog leaves them, as names and values, on the printer's engine under a private
    // property key of Qt's CUPS support. Only the Qt versions checked are trusted with it;
    // test_page_printer runs the real dialog and fails when the key no longer carries them.
    // With any other Qt none is passed on, and the queue uses its own defaults for them.
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(7, 0, 0)
    constexpr auto kDialogJobOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);
    if (printer.printEngine())
        return printer.printEngine()->property(kDialogJobOptionsKey).toStringList();
#else
    Q_UNUSED(printer);
#endif
    return {};
}

PagePrinter::PagePrinter(QWebEngineView* view, QObject* parent)
    : QObject(parent), view_(view), deadline_(new QTimer(this))
{
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        complete(false, tr("The page did not finish printing in time, so printing was stopped."));
    });
}

PagePrinter::~PagePrinter() = default;

void PagePrinter::print(const QPrinter& settings)
{
    if (busy_)
        throw PlatformError(kErrPrintFailed, tr("The page is still being printed."));
    busy_ = true;
    ++jobNumber_;

    if (!view_) {
        failLater(tr("There is no page to print."));
        return;
    }
    deadline_->start(timeLimitMs_);
    // The page's renderer dying takes the job with it: no answer would ever come.
    rendererWatch_ = connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this, [this] {
        complete(false, tr("The page stopped working while it was being printed."));
    });
    const Job job = Job::from(settings, view_->page()->title());
    if (job.toFile)
        printToFile(job);
    else
        printOnQueue(job);
}

void PagePrinter::printToFile(const Job& job)
{
    if (job.fileName.isEmpty()) {
        failLater(tr("No file name was given for the PDF file."));
        return;
    }
    makePdf(job, [this, fileName = job.fileName](const QByteArray& pdf) {
        const QString error = savePdf(fileName, pdf);
        complete(error.isEmpty(), error);
    });
}

void PagePrinter::makePdf(const Job& job, std::function<void(const QByteArray&)> use)
{
    // A page whose renderer is caught in an endless script would never answer a PDF request,
    // and the engine aborts the whole process when such a page is closed or its renderer ends
    // with the request outstanding. So the page is first asked a question (the paper its
    // style asks for), and the PDF is requested only once it has answered.
    QPointer<PagePrinter> self(this);
    const quint64 number = jobNumber_;
    QTimer::singleShot(qMin(timeLimitMs_, kResponsivenessWaitMs), this, [this, number] {
        if (isCurrent(number) && answeredJob_ != number)
            complete(false, tr("The page is not responding, so it could not be printed."));
    });
    view_->page()->runJavaScript(
        printScript(QStringLiteral("smallest-paper.js")), QWebEngineScript::ApplicationWorld,
        [self, job, use = std::move(use), number](const QVariant& paper) mutable {
            if (!self || !self->isCurrent(number))
                return;
            self->answeredJob_ = number;
            if (tooSmallToPrintOn(paper, job.layout)) {
                const QVariantList size = paper.toList();
                constexpr double kMillimetresPerPixel = 25.4 / 96;
                self->complete(false,
                               tr("The page asks for paper of %1 x %2 mm, too small to "
                                  "print on, so it could not be printed.")
                                   .arg(size[0].toDouble() * kMillimetresPerPixel, 0, 'f', 1)
                                   .arg(size[1].toDouble() * kMillimetresPerPixel, 0, 'f', 1));
                return;
            }
            self->requestPdf(job, std::move(use));
        });
}

void PagePrinter::requestPdf(const Job& job, std::function<void(const QByteArray&)> use)
{
    // The page answers whenever its renderer is done, possibly after this object is gone.
    QPointer<PagePrinter> self(this);
    // The engine's PDF comes back with a running title, page numbers, bookmarks and the
    // document information added. A page without a title is printed under the name of the
    // window that shows it. (Should the job be abandoned, this goes when the printer does.)
    const QString windowTitle = view_->window()->windowTitle();
    auto* printed = new PrintedPdf(view_->page(), windowTitle.isEmpty() ? job.title : windowTitle,
                                   Application::title(), this);
    printed->make(job.layout, job.ranges,
                  [self, printed, use = std::move(use), ranges = job.ranges,
                   number = jobNumber_](const QByteArray& pdf) {
                      printed->deleteLater();
                      // An abandoned job's late answer is dropped.
                      if (!self || !self->isCurrent(number))
                          return;
                      if (!pdf.isEmpty())
                          use(pdf);
                      else if (ranges.isEmpty())
                          self->complete(false,
                                         tr("The page could not be made into a PDF document."));
                      else
                          self->complete(false,
                                         tr("The page could not be made into a PDF document. "
                                            "Check that the pages %1 exist.")
                                             .arg(ranges.toString()));
                  });
}

void PagePrinter::complete(bool ok, const QString& errorDescription)
{
    if (!busy_)
        return;  // the job was abandoned already
    busy_ = false;
    deadline_->stop();
    disconnect(rendererWatch_);
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

namespace {

// A cups_option_t array that frees itself.
class CupsOptions {
public:
    CupsOptions() = default;
    CupsOptions(const CupsOptions&) = delete;
    CupsOptions& operator=(const CupsOptions&) = delete;
    ~CupsOptions() { cupsFreeOptions(count_, options_); }

    void set(const QString& name, const QString& value)
    {
        count_ = cupsAddOption(name.toUtf8().constData(), value.toUtf8().constData(), count_,
                               &options_);
    }
    int count() const { return count_; }
    cups_option_t* data() const { return options_; }

private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestDeleter>;

struct QueueJob {
    QString printerName;  // "queue" or "queue/instance"; empty for the default queue
    QString title;
    QByteArray pdf;
    std::vector<std::pair<QString, QString>> options;
};

struct QueueOutcome {
    bool ok = false;
    QString error;
};

QString cupsError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

QString sidesFor(const QPrinter::DuplexMode duplex, const QPageLayout& layout)
{
    switch (duplex) {
    case QPrinter::DuplexNone:
        return QStringLiteral("one-sided");
    case QPrinter::DuplexLongSide:
        return QStringLiteral("two-sided-long-edge");
    case QPrinter::DuplexShortSide:
        return QStringLiteral("two-sided-short-edge");
    case QPrinter::DuplexAuto:
        break;
    }
    // Binding along the long edge of the sheet as it is read.
    return layout.orientation() == QPageLayout::Portrait ? QStringLiteral("two-sided-long-edge")
                                                         : QStringLiteral("two-sided-short-edge");
}

// Hands the document to the print system. Blocks until the scheduler has taken it, so it
// runs on a worker thread; CUPS keeps its connection and last error per thread.
QueueOutcome submit(const QueueJob& job)
{
    const QByteArray fullName = job.printerName.toUtf8();
    const qsizetype slash = fullName.indexOf('/');
    const QByteArray queueName = slash < 0 ? fullName : fullName.left(slash);
    const QByteArray instance = slash < 0 ? QByteArray() : fullName.mid(slash + 1);

    Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT,
                               queueName.isEmpty() ? nullptr : queueName.constData(),
                               instance.isEmpty() ? nullptr : instance.constData()));
    if (!dest) {
        const QString reason = cupsError();
        if (job.printerName.isEmpty())
            return {false, PagePrinter::tr("No printer is set up. (%1)").arg(reason)};
        return {false,
                PagePrinter::tr("The printer \"%1\" is not available. (%2)")
                    .arg(job.printerName, reason)};
    }
    const QString shownName = QString::fromUtf8(dest->name);

    // An instance's saved defaults first, then what was chosen for this job.
    CupsOptions options;
    for (int i = 0; i < dest->num_options; ++i)
        options.set(QString::fromUtf8(dest->options[i].name),
                    QString::fromUtf8(dest->options[i].value));
    for (const auto& [name, value] : job.options)
        options.set(name, value);

    const QByteArray title = job.title.toUtf8();
    const int jobId = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.constData(),
                                    options.count(), options.data());
    if (jobId <= 0)
        return {false,
                PagePrinter::tr("The printer \"%1\" did not accept the job (%2).")
                    .arg(shownName, cupsError())};

    const auto abandon = [&](const QString& reason) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, dest->name, jobId, 0);
        return QueueOutcome{false,
                            PagePrinter::tr("The document could not be sent to the "
                                            "printer \"%1\": %2")
                                .arg(shownName, reason)};
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, jobId, title.constData(), CUPS_FORMAT_PDF,
                          1)
        != HTTP_STATUS_CONTINUE)
        return abandon(cupsError());
    constexpr qsizetype kChunk = qsizetype{64} * 1024;
    for (qsizetype at = 0; at < job.pdf.size(); at += kChunk) {
        const qsizetype length = qMin(kChunk, job.pdf.size() - at);
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, job.pdf.constData() + at,
                                 static_cast<size_t>(length))
            != HTTP_STATUS_CONTINUE) {
            const QString reason = cupsError();
            cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name);
            return abandon(reason);
        }
    }
    // Every status up to the last "successful-ok" one means the scheduler kept the job.
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) > IPP_STATUS_OK_EVENTS_COMPLETE)
        return abandon(cupsError());
    return {true, {}};
}

}  // namespace

// The options a queue is given. The PDF has been cut to the chosen pages already, so
// "page-ranges" is never passed on: the queue would count pages in the cut document and
// print the wrong ones or none. The pages already have the chosen size and orientation, so
// only the paper is named, never a rotation. What the dialog set explicitly (copies,
// collation, sides) wins over the same setting among its job options.
std::vector<std::pair<QString, QString>> PagePrinter::Job::queueOptions() const
{
    static const QStringList kOwnNames = {
        QStringLiteral("page-ranges"), QStringLiteral("copies"),
        QStringLiteral("collate"),     QStringLiteral("multiple-document-handling"),
        QStringLiteral("sides"),       QStringLiteral("Duplex"),
        QStringLiteral("landscape"),   QStringLiteral("orientation-requested"),
    };
    std::vector<std::pair<QString, QString>> options;
    for (qsizetype i = 0; i + 1 < dialogOptions.size(); i += 2) {
        if (!kOwnNames.contains(dialogOptions[i], Qt::CaseInsensitive))
            options.emplace_back(dialogOptions[i], dialogOptions[i + 1]);
    }
    options.emplace_back(QStringLiteral("copies"), QString::number(copies));
    options.emplace_back(QStringLiteral("multiple-document-handling"),
                         collate ? QStringLiteral("separate-documents-collated-copies")
                                 : QStringLiteral("separate-documents-uncollated-copies"));
    options.emplace_back(QStringLiteral("sides"), sidesFor(duplex, layout));
    if (layout.pageSize().id() != QPageSize::Custom)
        options.emplace_back(QStringLiteral("media"), layout.pageSize().key());
    if (colorMode == QPrinter::GrayScale)
        options.emplace_back(QStringLiteral("print-color-mode"), QStringLiteral("monochrome"));
    return options;
}

void PagePrinter::printOnQueue(const Job& job)
{
    makePdf(job, [this, job](const QByteArray& pdf) {
        // Continues on this object's thread, and not at all once this object is gone.
        // Handing a long document to the scheduler takes a while: on a pool thread.
        QtConcurrent::run([queued = QueueJob{job.printerName, job.title, pdf, job.queueOptions()}] {
            return submit(queued);
        }).then(this, [this, number = jobNumber_](const QueueOutcome& result) {
            if (isCurrent(number))
                complete(result.ok, result.error);
        });
    });
}

}  // namespace platform
