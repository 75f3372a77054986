#pragma once

#include "platform/runtime/RateLimit.h"

#include <QObject>
#include <QPointF>
#include <QUrl>

#include <functional>

class QWebEngineView;
class QWidget;

namespace platform {

class ConfinedPage;
class LoadTracker;

// The page a view shows: always a ConfinedPage once a BrowserView holds the view.
ConfinedPage* shownPage(const QWebEngineView* view);

// A page whose renderer died, or is to be ended: the one swap to a fresh page, the page shown
// again where the reader had scrolled it, and the budget of restarts, after which a short
// notice of the view's own is shown instead.
class RendererRecovery : public QObject {
    Q_OBJECT
public:
    RendererRecovery(QWebEngineView* view, LoadTracker* loads, QWidget* owner);

    // The folder a fresh page is confined to, as the page it replaces was.
    void confineTo(const QString& folder) { folder_ = folder; }

    // Puts a fresh page with the same confinement in the view in place of the one shown (one
    // the engine will not serve again: a PDF it never delivered blocks every later one) and
    // loads `show` in it; with none, what the old page showed waits for reloadWhereItWas().
    // The old page is kept until it may be destroyed.
    void swapPage(const QUrl& show);
    // Ends the renderer of a page that does not answer, so that `next` comes once it is gone;
    // false when it may not be ended (another renderer, or one the engine owes a PDF).
    bool endRenderer(qint64 renderer, const QUrl& next);

    // Called from the page: its renderer ended, other than normally.
    void onRendererTerminated();
    // Called from the page: it was scrolled.
    void onScrolled(const QPointF& position);

    void onPageProcessDied(std::function<void()> handler) { pageProcessDied_ = std::move(handler); }
    bool reloadWhereItWas();
    // The view ended the renderer itself and waits for it to be gone.
    bool endingRenderer() const { return !afterHungPage_.isEmpty(); }

signals:
    // A fresh page is in the view; the view connects to it.
    void pageSwapped(platform::ConfinedPage* fresh);

private:
    QWebEngineView* view_;
    LoadTracker* loads_;
    QWidget* owner_;
    QString folder_;
    QUrl afterHungPage_;  // shown once the renderer the view ended is gone
    QPointF place_;  // where the page was scrolled to while its renderer lived
    QUrl replacedUrl_;  // what a page replaced after its renderer died showed
    std::function<void()> pageProcessDied_;
    RateLimit restarts_;
};

}  // namespace platform
