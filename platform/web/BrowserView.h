#pragma once

#include "platform/print/PrintJob.h"

#include <QFlags>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QPrinter;
class QWebEnginePage;
class QWebEngineView;

namespace platform {

class ConfinedPage;
class HungPageWatch;
class LoadTracker;
class PagePrinter;
class PrintCommand;
class RendererRecovery;

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
// leaves it, handed to the user's browser or mail program (see ConfinedPage). The view is
// the front of a few pieces with one job each: LoadTracker, HungPageWatch, RendererRecovery
// and PrintCommand; the page's own print requests are its own.
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
    PrintJob* printJob() const;

    bool isLoading() const;
    QUrl url() const;
    QWebEnginePage* page() const;
    QWebEngineView* webView() const { return view_; }
    QString title() const;

    // Called when the page's renderer process has died, so the window can show a page again;
    // after a few deaths within a minute the view shows a short notice of its own instead.
    void onPageProcessDied(std::function<void()> handler);
    // Shows the page that was shown again, reloaded, at the place it was scrolled to (which
    // the engine forgets with its renderer); false when no page was shown.
    bool reloadWhereItWas();

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
    void attachPage(ConfinedPage* page);
    void applySize();

    QWebEngineView* view_;
    float widthTwips_;
    float heightTwips_;
    PagePrinter* printer_;
    LoadTracker* loads_;
    RendererRecovery* recovery_;
    HungPageWatch* hangWatch_;
    PrintCommand* print_;
};

}  // namespace platform
