#include "platform/web/RendererRecovery.h"

#include "platform/print/PendingPdfPages.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/Limits.h"
#include "platform/runtime/Trace.h"
#include "platform/web/ConfinedPage.h"
#include "platform/web/LoadTracker.h"

#include <QCoreApplication>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWidget>

#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace platform {

namespace {

const char* const kPageNotShown
    = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Page not shown</title></head>"
      "<body style=\"font-family: sans-serif; margin: 2em\"><h1>This page could not be shown.</h1>"
      "<p>It stopped working several times in a row.</p></body></html>";

}  // namespace

ConfinedPage* shownPage(const QWebEngineView* view)
{
    return static_cast<ConfinedPage*>(view->page());
}

RendererRecovery::RendererRecovery(QWebEngineView* view, LoadTracker* loads, QWidget* owner)
    : QObject(owner),
      view_(view),
      loads_(loads),
      owner_(owner),
      restarts_(Limits::current().rendererRestarts, Limits::current().rendererRestartWindowMs)
{
}

void RendererRecovery::swapPage(const QUrl& show)
{
    ConfinedPage* old = shownPage(view_);
    // The view's own connections to the old page go with it; others (a print job's) stay.
    disconnect(old, nullptr, owner_, nullptr);
    disconnect(old, nullptr, this, nullptr);
    old->setParent(nullptr);  // the view must not take it along when it lets it go
    auto* fresh = new ConfinedPage(view_);
    fresh->confineTo(folder_);
    view_->setPage(fresh);
    emit pageSwapped(fresh);
    PendingPdfPages::retire(old);
    if (!show.isEmpty())
        loads_->load(show);
}

bool RendererRecovery::endRenderer(qint64 renderer, const QUrl& next)
{
#ifdef Q_OS_UNIX
    // Ending a renderer is safe unless the engine still owes the page a PDF.
    const ConfinedPage* page = shownPage(view_);
    if (!PendingPdfPages::owes(page) && renderer > 0 && renderer == page->renderProcessPid()
        && renderer != QCoreApplication::applicationPid()) {
        afterHungPage_ = next;
        ::kill(static_cast<pid_t>(renderer), SIGKILL);
        return true;
    }
#else
    Q_UNUSED(renderer);
    Q_UNUSED(next);
#endif
    return false;
}

void RendererRecovery::onScrolled(const QPointF& position)
{
    if (shownPage(view_)->renderProcessPid() > 0)
        place_ = position;
}

void RendererRecovery::onRendererTerminated()
{
    if (PendingPdfPages::owes(shownPage(view_))) {
        replacedUrl_ = view_->url();
        swapPage(QUrl());
    }
    if (!afterHungPage_.isEmpty()) {
        // Ended by the view itself: the page asked for comes, and this is no crash.
        loads_->load(std::exchange(afterHungPage_, QUrl()));
        return;
    }
    if (!restarts_.admit()) {
        qCInfo(lcPage) << "the page's renderer keeps dying; showing a notice instead";
        loads_->noteShown();
        view_->setHtml(QString::fromUtf8(kPageNotShown));
        return;
    }
    // The keys went to the page before: they go to the page that comes back, whose view
    // takes the focus again once it has loaded (unless the reader has moved it meanwhile).
    const auto keysInView = [this] {
        const QWidget* focused = owner_->window()->focusWidget();
        return !focused || focused == owner_ || owner_->isAncestorOf(focused);
    };
    if (keysInView())
        connect(
            view_, &QWebEngineView::loadFinished, this,
            [this, keysInView] {
                if (keysInView())
                    view_->setFocus(Qt::OtherFocusReason);
            },
            Qt::SingleShotConnection);
    if (pageProcessDied_)
        Handler::run(pageProcessDied_);
}

bool RendererRecovery::reloadWhereItWas()
{
    // A page that gave way to a fresh one when its renderer died shows nothing yet: what the
    // old one showed is loaded in it.
    const QUrl lost = std::exchange(replacedUrl_, QUrl());
    const bool replaced = view_->url().isEmpty();
    const QUrl shown = replaced ? lost : view_->url();
    if (shown.isEmpty())
        return false;
    const QPointF at = std::exchange(place_, QPointF());
    if (replaced)
        loads_->load(shown);
    else
        shownPage(view_)->triggerAction(QWebEnginePage::Reload);
    if (!at.isNull()) {
        connect(
            view_, &QWebEngineView::loadFinished, this,
            [this, shown, at](bool ok) {
                if (ok && view_->url() == shown)
                    shownPage(view_)->runJavaScript(
                        QStringLiteral("window.scrollTo(%1, %2)").arg(at.x()).arg(at.y()),
                        QWebEngineScript::ApplicationWorld);
            },
            Qt::SingleShotConnection);
    }
    return true;
}

}  // namespace platform
