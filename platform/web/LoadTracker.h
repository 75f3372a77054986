#pragma once

#include <QObject>
#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEngineView;
class QWidget;

namespace platform {

class PrintJob;

// Whether the view is loading a page, and which: the loads the view asks for, the news of
// their start and end from the engine, and the document itself where that news never comes.
// While a print waits for the page, the pointer is an hourglass.
class LoadTracker : public QObject {
    Q_OBJECT
public:
    LoadTracker(QWebEngineView* view, QWidget* owner);

    // Loads the page at `url` in the view: loading from now on, until the view reports this
    // load ended.
    void load(const QUrl& url);
    // Something is shown in the view without a load asked for (a notice of the view's own).
    void noteShown() { navigated_ = true; }
    // The page asked for is not coming (the user chose to stay on the page shown).
    void cancel();
    void track(const QWebEngineLoadingInfo& info);

    bool navigated() const { return navigated_; }
    bool isLoading() const { return loading_; }
    // The page now loading, or the last loaded.
    QUrl pending() const { return pendingUrl_; }
    // How many loads were asked for so far.
    quint64 loads() const { return loads_; }

    // Waits while the page is loading, with the hourglass, for at most
    // Limits::printLoadWaitMs, or until the job (if any) changes state.
    void waitWhileLoading(const PrintJob* job);

signals:
    // The engine started loading `url`.
    void started(const QUrl& url);

private:
    void askDocumentWhetherLoaded();

    QWebEngineView* view_;
    QWidget* owner_;
    bool navigated_ = false;
    bool loading_ = false;
    QUrl pendingUrl_;
    bool ownStartAwaited_ = false;  // load() was called and its load has not started yet
    quint64 loads_ = 0;
};

}  // namespace platform
