#include "platform/web/PrintCommand.h"

#include "platform/print/PagePrinter.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/print/PrintProgress.h"
#include "platform/print/PrintPrompt.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Limits.h"
#include "platform/runtime/MessageBox.h"
#include "platform/web/ConfinedPage.h"
#include "platform/web/LoadTracker.h"
#include "platform/web/RendererRecovery.h"

#include <QEventLoop>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWebEngineView>
#include <QWidget>

#include <utility>

namespace platform {

PrintCommand::PrintCommand(QWebEngineView* view, LoadTracker* loads, RendererRecovery* recovery,
                           PagePrinter* printer, QWidget* owner)
    : QObject(owner),
      view_(view),
      loads_(loads),
      recovery_(recovery),
      printer_(printer),
      owner_(owner)
{
}

PrintCommand::~PrintCommand() = default;

bool PrintCommand::running() const
{
    return promptOpen_ || printer_->busy();
}

QPrinter& PrintCommand::settings()
{
    if (!settings_) {
        settings_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // A printer's own minimum margins put text a few millimetres from the paper's edge,
        // where many printers cannot reach; pages get the usual two centimetres instead.
        settings_->setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    }
    return *settings_;
}

void PrintCommand::windowClosed()
{
    // A print job may finish after its window has closed, but only for a few seconds, and
    // its outcome is not shown any more.
    if (!printer_->busy())
        return;
    windowClosed_ = true;
    QTimer::singleShot(Limits::current().closedPrintJobMs, this, [this] {
        if (printer_->busy())
            printer_->abandon();
    });
}

void PrintCommand::exec()
{
    if (!loads_->navigated())
        throw PlatformError(kErrPrintFailed, QStringLiteral("There is no page to print"));
    if (running())
        throw PlatformError(kErrPrintFailed, QStringLiteral("A print job is already running"));
    windowClosed_ = false;
    // "Print Entire Book" started its job with the click; any other starts once the prompt
    // is confirmed.
    QPointer<PrintJob> job = jobRunning() ? job_ : nullptr;
    const auto stopIfCancelled = [&job] {
        if (job && job->isFinished())
            throw PlatformError(kErrPrintCancelled, QStringLiteral("Printing was cancelled"));
    };
    // From here until the job has ended, what the reader does next waits for it.
    holdNavigation(true);
    try {
        {
            const QScopedValueRollback promptOpen(promptOpen_, true);
            loads_->waitWhileLoading(job);
            stopIfCancelled();
            QPrinter& printer = settings();
            printer.setDocName(view_->title());
            if (!SessionPrintChoice::ask(printer, view_->title(), view_->url(), owner_->window()))
                throw PlatformError(kErrPrintCancelled, QStringLiteral("Printing was cancelled"));
            stopIfCancelled();
        }
        if (!job)
            job = startJob(PrintJob::State::LayingOut);
        printAndWait(job);
    } catch (...) {
        if (job)
            job->cancel();
        holdNavigation(false);
        throw;
    }
    holdNavigation(false);
}

bool PrintCommand::holds(const QUrl& url)
{
    if (!holding_)
        return false;
    heldUrl_ = url;
    return true;
}

void PrintCommand::holdNavigation(bool held)
{
    holding_ = held;
    ConfinedPage* page = shownPage(view_);
    if (held) {
        page->holdNavigation(true);
        return;
    }
    QUrl wanted = page->takeHeldNavigation();
    page->holdNavigation(false);
    if (!heldUrl_.isEmpty())
        wanted = std::exchange(heldUrl_, QUrl());
    // The reader's last wish while the job ran, unless the reader has asked for another
    // page since the job ended.
    if (!wanted.isEmpty() && !windowClosed_)
        QTimer::singleShot(0, this, [this, wanted, loads = loads_->loads()] {
            if (!holding_ && loads_->loads() == loads)
                loads_->load(wanted);
        });
}

void PrintCommand::printWhenLoaded()
{
    if (jobRunning())
        return;
    PrintJob* job = startJob(PrintJob::State::WaitingForBook);
    connect(view_, &QWebEngineView::loadProgress, job, [job](int percent) {
        if (job->state() == PrintJob::State::WaitingForBook)
            job->setProgress(percent, 100);
    });
    connect(view_, &QWebEngineView::titleChanged, job, &PrintJob::setTitle);
}

PrintJob* PrintCommand::startJob(PrintJob::State first)
{
    if (job_)
        job_->deleteLater();  // long ended
    job_ = new PrintJob(owner_, first);
    job_->setTitle(view_->title().isEmpty() ? owner_->window()->windowTitle() : view_->title());
    new PrintProgress(job_, owner_->window());
    connect(job_, &PrintJob::stateChanged, this, [this, job = job_.data()] {
        if (job->isFinished() && job == job_)
            emit jobEnded();
    });
    return job_;
}

void PrintCommand::printAndWait(PrintJob* job)
{
    bool done = false;
    bool ok = false;
    QString failure;
    QEventLoop loop;
    connect(printer_, &PagePrinter::finished, &loop, [&](bool success, const QString& description) {
        done = true;
        ok = success;
        failure = description;
        loop.quit();
    });
    printer_->print(settings(), job);
    if (!done)
        loop.exec();
    if (!done)
        throw PlatformError(kErrPrintFailed, QStringLiteral("Printing was interrupted"));
    // A page still owed its PDF will get no other from the engine: printing goes on with a
    // fresh page showing the same address.
    if (PendingPdfPages::owes(shownPage(view_)) && !windowClosed_)
        recovery_->swapPage(view_->url());
    if (!ok && windowClosed_)
        throw PlatformError(kErrPrintFailed, failure);
    // The reader stopped it: nothing to tell.
    if (job->state() == PrintJob::State::Cancelled)
        throw PlatformError(kErrPrintCancelled, failure);
    if (!ok) {
        // The window's print command ignores failures; the job's own layer says once what
        // became of it, so a PDF that was never written does not pass for a success.
        MsgBox(failure);
        throw PlatformError(kErrPrintFailed, failure);
    }
}

}  // namespace platform
