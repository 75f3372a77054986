#pragma once

#include "platform/print/PrintJob.h"
#include "platform/runtime/RateLimit.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFlags>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QPrinter;
class QTimer;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineView;

namespace platform {

class ConfinedPage;
class PagePrinter;

// The commands ExecWB runs and QueryStatusWB reports on; printing is the only one.
enum class BrowserCommand { Print = 6 };
// How ExecWB runs a command: printing always asks the user first.
enum class CommandOption { PromptUser = 1 };
// What QueryStatusWB says of a command.
enum class CommandState { Supported = 1, Enabled = 2 };
Q_DECLARE_FLAGS(CommandStatus, CommandState)
Q_DECLARE_OPERATORS_FOR_FLAGS(CommandStatus)

// The embedded browser view. Locations are file paths of the application's own pages;
// links inside the pages are followed by the view itself. Pages are untrusted: they stay
// inside the folder the view is confined to, and only a web or mail link the user clicks
// leaves it, handed to the user's browser or mail program (see ConfinedPage).
class BrowserView : public QWidget {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent);
    ~BrowserView() override;

    // Pages may read and navigate only within this folder; until it is set, within none.
    void confineTo(const QString& folder);

    // Starts loading the file at the given path and returns at once.
    void Navigate(const QString& location);
    static QUrl locationToUrl(const QString& location);

    // The view's outer size in twips. A value the view cannot take (negative, not finite,
    // larger than a widget can be) raises PlatformError and leaves the old size.
    float Width() const { return widthTwips_; }
    float Height() const { return heightTwips_; }
    void setWidth(float twips);
    void setHeight(float twips);

    // Left and Top in twips, from the window's client area.
    void placeAt(int leftTwips, int topTwips);

    // The print command is supported, and enabled while a page is held and none of the
    // view's print jobs is running. Any other command raises PlatformError.
    CommandStatus QueryStatusWB(BrowserCommand command) const;
    // Shows the print prompt for the page shown and prints it when the user confirms; returns
    // when the job is done. A page still loading is waited for first, so that what is printed
    // is the whole page. A cancelled prompt or a failed job raises PlatformError.
    void ExecWB(BrowserCommand command, CommandOption option);
    // The print settings, remembered from one prompt to the next.
    QPrinter& printSettings();
    // Starts the job of a print that comes once the page now loading has loaded ("Print
    // Entire Book"): it waits for the book from now on, and the next ExecWB prints it. Does
    // nothing while a job runs.
    void printWhenLoaded();
    // The running print job, or the last one; null before the first. Its "Printing" window
    // belongs to this view's window. From the print delay's end (ExecWB) to the job's end the
    // page shown stays put: Navigate(), a link or Back is carried out once the job has ended.
    PrintJob* printJob() const { return job_; }

    bool isLoading() const { return loading_; }
    QUrl url() const;
    QWebEnginePage* page() const;
    QWebEngineView* webView() const { return view_; }
    QString title() const;

    // Called when the page's renderer process has died, so the window can show a page again;
    // after a few deaths within a minute the view shows a short notice of its own instead.
    void onPageProcessDied(std::function<void()> handler) { pageProcessDied_ = std::move(handler); }
    // Shows the page that was shown again, reloaded, at the place it was scrolled to (which
    // the engine forgets with its renderer); false when no page was shown.
    bool reloadWhereItWas();

    // A print job that has not finished after this long is abandoned (default two minutes).
    void setPrintTimeLimit(int milliseconds);

signals:
    void loadStarted();
    // The page itself asked to be printed (window.print()) while nothing else is open. A
    // request that follows the user's click or key press in the view is always passed on;
    // one the page makes on its own counts against its budget of dialogs.
    void printRequested();
    // The same, while a dialog, a print job or a message box is open: it is refused, and the
    // user is to be told that printing is not possible now.
    void printRefused();
    void loadFinished(bool ok);
    // A print job has ended, done, failed or cancelled.
    void printJobEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static float checkedExtent(float twips);
    void onPagePrintRequested();
    void onRendererTerminated();
    void attachPage();
    void replacePage();
    void load(const QUrl& url);
    void watchForHang(const QUrl& url);
    void checkLeavingPage();
    void stopWatchingForHang();
    void endHungPage(const QUrl& url, qint64 renderer);
    void applySize();
    void trackLoading(const QWebEngineLoadingInfo& info);
    void waitWhileLoading(const PrintJob* job);
    void askDocumentWhetherLoaded();
    void printAndWait(PrintJob* job);
    PrintJob* startPrintJob(PrintJob::State first);
    void endPrintJob(PrintJob* job);
    void holdNavigation(bool held);
    bool jobRunning() const { return job_ && !job_->isFinished(); }

    QWebEngineView* view_;
    ConfinedPage* page_;
    QString folder_;
    float widthTwips_;
    float heightTwips_;
    bool navigated_ = false;
    bool loading_ = false;
    QUrl pendingUrl_;
    bool ownStartAwaited_ = false;  // Navigate() was called and its load has not started yet
    PagePrinter* printer_;
    std::unique_ptr<QPrinter> settings_;
    QPointer<PrintJob> job_;
    bool holding_ = false;  // ExecWB is running: the page shown stays put
    QUrl heldUrl_;  // Navigate()'s newest place while the page was held
    quint64 loads_ = 0;  // loads asked for so far
    bool promptOpen_ = false;
    bool windowClosed_ = false;  // the window closed while the running print job went on
    QUrl afterHungPage_;  // shown once the renderer the view ended is gone
    // The page being left while the next one is asked for, and how long since it last answered.
    QTimer* hangWatch_;
    QPointer<ConfinedPage> leavingPage_;
    QUrl leavingFor_;
    qint64 leavingRenderer_ = 0;
    QElapsedTimer sinceAnswer_;
    quint64 leaveNumber_ = 0;  // which leaving the answers belong to
    bool busyPointer_ = false;  // the hourglass is the watch's
    QElapsedTimer sinceAsked_;
    bool leaveStarted_ = false;  // the next page's load has started
    QPointF place_;  // where the page was scrolled to while its renderer lived
    QUrl replacedUrl_;  // what a page replaced after its renderer died showed
    std::function<void()> pageProcessDied_;
    // A page whose renderer keeps dying is shown again three times a minute, no more.
    RateLimit restarts_{3, 60'000};
};

}  // namespace platform
