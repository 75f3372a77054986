#include "platform/web/HungPageWatch.h"

#include "platform/forms/Form.h"
#include "platform/print/PagePrinter.h"
#include "platform/runtime/Limits.h"
#include "platform/runtime/Trace.h"
#include "platform/web/ConfinedPage.h"
#include "platform/web/LoadTracker.h"
#include "platform/web/PageAnswer.h"
#include "platform/web/RendererRecovery.h"

#include <QTimer>
#include <QWebEngineView>
#include <QWidget>

#include <utility>

namespace platform {

HungPageWatch::HungPageWatch(QWebEngineView* view, LoadTracker* loads, RendererRecovery* recovery,
                             PagePrinter* printer, QWidget* owner)
    : QObject(owner),
      view_(view),
      loads_(loads),
      recovery_(recovery),
      printer_(printer),
      owner_(owner),
      timer_(new QTimer(this))
{
    connect(timer_, &QTimer::timeout, this, &HungPageWatch::check);
    connect(loads_, &LoadTracker::started, this, &HungPageWatch::noteStarted);
}

void HungPageWatch::watch(const QUrl& url)
{
    stop();
    ConfinedPage* page = shownPage(view_);
    leavingPage_ = page;
    leavingFor_ = url;
    leavingRenderer_ = page->renderProcessPid();
    sinceAnswer_.start();
    sinceAsked_.start();
    leaveStarted_ = false;
    timer_->setInterval(Limits::current().askLeavingPageEveryMs);
    timer_->start();
    check();
}

void HungPageWatch::noteStarted(const QUrl& url)
{
    if (url == leavingFor_)
        leaveStarted_ = true;
}

void HungPageWatch::check()
{
    ConfinedPage* page = shownPage(view_);
    if (leavingPage_ != page || !loads_->isLoading() || loads_->pending() != leavingFor_
        || recovery_->endingRenderer()) {
        stop();
        return;
    }
    const Limits& limits = Limits::current();
    // A page waiting for the user's answer to its dialog is not stuck.
    if (page->dialogOpen())
        sinceAnswer_.restart();
    if (sinceAnswer_.hasExpired(limits.unansweredPageMs)) {
        const QUrl url = leavingFor_;
        const qint64 renderer = leavingRenderer_;
        stop();
        endHungPage(url, renderer);
        return;
    }
    // The engine may drop a request that comes while it still settles the user's last choice
    // to stay on the page; a page that answers (one of the last two questions) but has not
    // started to make way is asked once more (and does not ask the user again whether to
    // leave).
    const qint64 answering = qint64{2} * limits.askLeavingPageEveryMs;
    if (!leaveStarted_ && !page->dialogOpen() && sinceAsked_.hasExpired(limits.leaveStartMs)
        && !sinceAnswer_.hasExpired(answering)) {
        leaveStarted_ = true;
        view_->setUrl(leavingFor_);
    }
    if (sinceAnswer_.hasExpired(limits.busyPointerMs) && !busyPointer_) {
        if (auto* form = qobject_cast<Form*>(owner_->window());
            form && form->mousePointer() == MousePointer::Default) {
            form->setMousePointer(MousePointer::Hourglass);
            busyPointer_ = true;
        }
    }
    // An answer later than the limit would come too late for the page anyway.
    askPage(page, QStringLiteral("0"), limits.unansweredPageMs, this,
            [this, leaving = leaveNumber_](const std::optional<QVariant>& answer) {
                if (answer && leaveNumber_ == leaving)
                    sinceAnswer_.restart();
            });
}

void HungPageWatch::stop()
{
    timer_->stop();
    ++leaveNumber_;
    leavingPage_ = nullptr;
    if (std::exchange(busyPointer_, false)) {
        if (auto* form = qobject_cast<Form*>(owner_->window());
            form && form->mousePointer() == MousePointer::Hourglass)
            form->setMousePointer(MousePointer::Default);
    }
}

void HungPageWatch::endHungPage(const QUrl& url, qint64 renderer)
{
    qCInfo(lcPage) << "the page does not answer; its renderer is ended to show the next page";
    if (recovery_->endRenderer(renderer, url))
        return;
    if (printer_->busy())
        printer_->abandon();
    recovery_->swapPage(url);
}

}  // namespace platform
