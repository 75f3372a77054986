#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QTimer;
class QWebEngineView;
class QWidget;

namespace platform {

class ConfinedPage;
class LoadTracker;
class PagePrinter;
class RendererRecovery;

// The page shown must let the next one come: a page caught in an endless script, shown or in
// its own handlers as it is left, never does. Until the next page has loaded, the page being
// left is asked for an answer a few times a second; the hourglass shows once it has kept the
// next page waiting for a moment, and its renderer is ended once no answer has come for
// Limits::unansweredPageMs.
class HungPageWatch : public QObject {
    Q_OBJECT
public:
    HungPageWatch(QWebEngineView* view, LoadTracker* loads, RendererRecovery* recovery,
                  PagePrinter* printer, QWidget* owner);

    // The page shown is being left for `url`.
    void watch(const QUrl& url);
    void stop();

private:
    void check();
    void noteStarted(const QUrl& url);
    void endHungPage(const QUrl& url, qint64 renderer);

    QWebEngineView* view_;
    LoadTracker* loads_;
    RendererRecovery* recovery_;
    PagePrinter* printer_;
    QWidget* owner_;
    QTimer* timer_;
    // The page being left while the next one is asked for, and how long since it last answered.
    QPointer<ConfinedPage> leavingPage_;
    QUrl leavingFor_;
    qint64 leavingRenderer_ = 0;
    QElapsedTimer sinceAnswer_;
    quint64 leaveNumber_ = 0;  // which leaving the answers belong to
    bool busyPointer_ = false;  // the hourglass is the watch's
    QElapsedTimer sinceAsked_;
    bool leaveStarted_ = false;  // the next page's load has started
};

}  // namespace platform
