#pragma once

#include "platform/print/PrintJob.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class QPrinter;
class QWebEngineView;
class QWidget;

namespace platform {

class LoadTracker;
class PagePrinter;
class RendererRecovery;

// The view's print command: waits for the page still loading, asks with the print prompt,
// runs the print job and waits for it, and holds the page shown meanwhile so that the job
// prints what it started with; what the reader asked for meanwhile comes afterwards.
class PrintCommand : public QObject {
    Q_OBJECT
public:
    PrintCommand(QWebEngineView* view, LoadTracker* loads, RendererRecovery* recovery,
                 PagePrinter* printer, QWidget* owner);
    ~PrintCommand() override;

    // The prompt is open or a job runs.
    bool running() const;
    // Prompts and prints the page shown; returns when the job has ended. A cancelled prompt
    // or job, or a failed job, raises PlatformError.
    void exec();
    QPrinter& settings();
    void printWhenLoaded();
    PrintJob* job() const { return job_; }
    // Keeps `url` for after the job while the page shown is held; false when it is not held.
    bool holds(const QUrl& url);
    // The view's window was closed (not merely hidden by the desktop).
    void windowClosed();

signals:
    void jobEnded();

private:
    void printAndWait(PrintJob* job);
    PrintJob* startJob(PrintJob::State first);
    void holdNavigation(bool held);
    bool jobRunning() const { return job_ && !job_->isFinished(); }

    QWebEngineView* view_;
    LoadTracker* loads_;
    RendererRecovery* recovery_;
    PagePrinter* printer_;
    QWidget* owner_;
    std::unique_ptr<QPrinter> settings_;
    QPointer<PrintJob> job_;
    bool holding_ = false;  // exec() is running: the page shown stays put
    QUrl heldUrl_;  // the newest place asked for while the page was held
    bool promptOpen_ = false;
    bool windowClosed_ = false;  // the window closed while the running print job went on
};

}  // namespace platform
