#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class QPrinter;
class QWebEngineView;

namespace platform {

class PrintJob;

// Prints the page a web view shows, using the settings a print prompt left in a QPrinter.
//
// Every job goes through the page's own PDF output, so the result is vector text whatever
// the destination, and is made into the document a reader keeps: a running title and
// "Page p of P" on every sheet, a bookmark for each heading (h1 to h3) on the page where it
// stands, the page's internal links and the document information (title, author, creator).
// A PDF file is written beside its target and renamed into place, so it appears whole or not
// at all; a printer queue gets the same PDF in one job. The steps of a job, from the page's
// first answer to the file or the queue, are written in order in print().
//
// A job runs asynchronously and ends with exactly one finished() signal. Its phases and its
// cancel are those of a PrintJob.
class PagePrinter : public QObject {
    Q_OBJECT
public:
    explicit PagePrinter(QWebEngineView* view, QObject* parent = nullptr);
    ~PagePrinter() override;

    // Starts printing the view's current page with the given printer's settings and returns
    // at once; a job not finished within Limits::printTimeLimitMs fails, so that a page that
    // never answers cannot keep printing unavailable. The settings are copied, so the printer
    // may go away as soon as this returns.
    // Pages are selected as a print dialog leaves them: pageRanges() when printRange() is
    // PageRange, every page otherwise.
    // Raises PlatformError (kErrPrintFailed) while another job of this printer is running.
    // The job is the given one, which must outlive it, or one of the printer's own; cancelling
    // it ends the job without its file or queue entry.
    PrintJob* print(const QPrinter& settings, PrintJob* job = nullptr);

    // Ends the running job at once as failed; whatever the page answers later is dropped.
    void abandon();

    // True from print() until finished() has been emitted.
    bool busy() const { return busy_; }

signals:
    // ok is false when nothing (or, for a printer queue, no job) was produced; the
    // description then says why in words a user understands.
    void finished(bool ok, const QString& errorDescription);

private:
    class Job;
    void watch(quint64 job);
    void complete(bool ok, const QString& errorDescription);
    void failLater(const QString& errorDescription);

    bool isCurrent(quint64 job) const;

    QPointer<QWebEngineView> view_;
    bool busy_ = false;
    quint64 jobNumber_ = 0;
    quint64 answeredJob_ = 0;  // the newest job whose page answered before its PDF was asked for
    QTimer* deadline_;
    QMetaObject::Connection rendererWatch_;
    QPointer<PrintJob> job_;
    std::unique_ptr<PrintJob> ownJob_;
    // Set once the running job has ended, so that a queue still being fed drops it.
    std::shared_ptr<std::atomic_bool> stop_;
};

}  // namespace platform
