#include "platform/web/LoadTracker.h"

#include "platform/forms/Form.h"
#include "platform/print/PrintJob.h"
#include "platform/runtime/Limits.h"
#include "platform/web/PageAnswer.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace platform {

LoadTracker::LoadTracker(QWebEngineView* view, QWidget* owner)
    : QObject(owner), view_(view), owner_(owner)
{
}

void LoadTracker::load(const QUrl& url)
{
    navigated_ = true;
    ++loads_;
    loading_ = true;
    pendingUrl_ = url;
    ownStartAwaited_ = true;
    view_->setUrl(url);
}

void LoadTracker::cancel()
{
    loading_ = false;
    ownStartAwaited_ = false;
}

void LoadTracker::track(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        loading_ = true;
        // The news that an earlier navigation started can arrive after a newer load():
        // it must not take the newer one's place, or the newer load's end would go unseen.
        // A load the page starts itself (a link) is followed once load()'s has started
        // or any load has ended.
        if (!ownStartAwaited_ || info.url() == pendingUrl_) {
            pendingUrl_ = info.url();
            ownStartAwaited_ = false;
        }
        emit started(info.url());
    } else {
        // The end of an earlier load that a newer navigation cut short is not the end of
        // the newer one.
        if (info.url() == pendingUrl_)
            loading_ = false;
        ownStartAwaited_ = false;
    }
}

void LoadTracker::waitWhileLoading(const PrintJob* job)
{
    if (!loading_)
        return;
    const Limits& limits = Limits::current();
    QEventLoop loop;
    // Cancelling the job ends the wait for its book.
    if (job)
        connect(job, &PrintJob::stateChanged, &loop, &QEventLoop::quit);
    QTimer patience;
    patience.setSingleShot(true);
    connect(&patience, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(view_->page(), &QWebEnginePage::loadingChanged, &loop, [this, &loop] {
        if (!loading_)
            loop.quit();
    });
    // The view may never report the end of the load (see askDocumentWhetherLoaded), so the
    // document is asked as well.
    QTimer ask;
    connect(&ask, &QTimer::timeout, &loop, [this, &loop] {
        if (!loading_)
            loop.quit();
        else
            askDocumentWhetherLoaded();
    });
    ask.start(limits.askDocumentEveryMs);
    patience.start(limits.printLoadWaitMs);
    // The user waits too: the hourglass until the page has loaded or the wait is given up,
    // so that the prompt comes up under the normal pointer.
    const QPointer<Form> form = qobject_cast<Form*>(owner_->window());
    if (form)
        form->setMousePointer(MousePointer::Hourglass);
    loop.exec();
    if (form)
        form->setMousePointer(MousePointer::Default);
}

void LoadTracker::askDocumentWhetherLoaded()
{
    // Qt WebEngine 6.4 reports neither the start nor the end of a load that begins while the
    // page before it is still finishing: its load tracking ends with the older page and is
    // not set up again for the newer one. The document shown knows whether it is the one
    // asked for and whether it is complete.
    const QUrl asked = pendingUrl_;
    askPage(view_->page(), QStringLiteral("[document.readyState, location.href]"),
            Limits::current().printLoadWaitMs, this,
            [this, asked](const std::optional<QVariant>& answer) {
                const QVariantList state = answer ? answer->toList() : QVariantList();
                if (!loading_ || pendingUrl_ != asked || state.size() != 2)
                    return;
                const QUrl shown(state.at(1).toString());
                if (state.at(0).toString() == QStringLiteral("complete")
                    && shown.adjusted(QUrl::RemoveFragment) == asked.adjusted(QUrl::RemoveFragment))
                    loading_ = false;
            });
}

}  // namespace platform
