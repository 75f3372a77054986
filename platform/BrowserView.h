#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QPrinter;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineView;

namespace platform {

class PagePrinter;

// The embedded browser view. Locations are file paths of the application's own pages;
// links inside the pages are followed by the view itself. A page that asks for a new
// window (target="_blank", window.open) has that address opened by the user's default
// browser or mail program instead, and the view stays where it is.
class BrowserView : public QWidget {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent);
    ~BrowserView() override;

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

    // The print command's status flags: 1 supported, 2 enabled (a page is held and none of
    // the view's print jobs is running).
    int QueryStatusWB(int command) const;
    // Shows the print prompt for the page shown and prints it when the user confirms; returns
    // when the job is done. A page still loading is waited for first, so that what is printed
    // is the whole page. A cancelled prompt or a failed job raises PlatformError.
    void ExecWB(int command, int option);
    // The print settings, remembered from one prompt to the next.
    QPrinter& printSettings();

    bool hasNavigated() const { return navigated_; }
    bool isLoading() const { return loading_; }
    QUrl url() const;
    QWebEnginePage* page() const;
    QString title() const;

    // Called when the page's renderer process has died, so the window can show a page again.
    void onPageProcessDied(std::function<void()> handler) { pageProcessDied_ = std::move(handler); }

signals:
    void loadStarted();
    // The page itself asked to be printed (window.print()).
    void printRequested();
    void loadFinished(bool ok);

private:
    static float checkedExtent(float twips);
    void applySize();
    void trackLoading(const QWebEngineLoadingInfo& info);
    void waitWhileLoading();
    void askDocumentWhetherLoaded();
    void printAndWait();

    QWebEngineView* view_;
    float widthTwips_;
    float heightTwips_;
    bool navigated_ = false;
    bool loading_ = false;
    QUrl pendingUrl_;
    bool ownStartAwaited_ = false;  // Navigate() was called and its load has not started yet
    PagePrinter* printer_;
    std::unique_ptr<QPrinter> settings_;
    bool promptOpen_ = false;
    std::function<void()> pageProcessDied_;
};

}  // namespace platform
