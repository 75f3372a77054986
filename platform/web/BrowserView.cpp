#include "platform/web/BrowserView.h"

#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "platform/print/PagePrinter.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/print/PrintProgress.h"
#include "platform/print/PrintPrompt.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/MessageBox.h"
#include "platform/runtime/Trace.h"
#include "platform/web/ConfinedPage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHideEvent>
#include <QLibraryInfo>
#include <QPointer>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <cmath>
#include <memory>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace platform {

namespace {

// How long a print request waits for a page that is still loading before it prints what the
// view shows; a load that never ends must not hold the prompt back for ever.
constexpr int kLoadWaitMs = 60'000;
constexpr int kAskDocumentEveryMs = 250;
// A page that has not answered for this long while it is asked to make way for another is
// stuck (an endless script), and its renderer is ended so that the next page can come. A page
// that is merely busy (saving what the reader typed as it is left, say) answers within it and
// is left to finish. Browsers wait longer before they offer to end a page, but they leave the
// user on the page meanwhile; here the user has asked to go on and waits.
constexpr int kUnansweredPageMs = 5000;
constexpr int kAskLeavingPageEveryMs = 250;
// The hourglass shows once the page being left has kept the next one waiting this long.
constexpr int kBusyPointerMs = 500;
// The next page's load has started by now when the page being left answers, that is has
// answered one of the last two questions.
constexpr int kLeaveStartMs = 1000;
constexpr qint64 kAnsweringMs = qint64{2} * kAskLeavingPageEveryMs;
// A print job still running this long after its window was closed is given up, so that
// closing the window always ends the program within seconds.
constexpr int kClosedJobGraceMs = 5000;

const char* const kPageNotShown
    = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Page not shown</title></head>"
      "<body style=\"font-family: sans-serif; margin: 2em\"><h1>This page could not be shown.</h1>"
      "<p>It stopped working several times in a row.</p></body></html>";

void checkCommand(BrowserCommand command)
{
    if (command != BrowserCommand::Print)
        throw PlatformError(kErrInvalidPropertyValue,
                            QStringLiteral("Command %1 is not supported").arg(int(command)));
}

// Settles, before the web engine starts, what no page may do through a back door the request
// filter does not see: WebRTC reaches any host over UDP unless told to use a proxy only (and
// there is none), and over TCP and TLS to any address or host name it is given. The engine
// resolves no host name at all (the book's pages are files), so no connection of the engine
// can find a host, and no name a page picks reaches the system's resolvers. The book plays no
// protected media: without a path of its own (Qt's switch --widevine-path) the engine looks
// for a content decryption module in Qt's plugin folder, else beside the executable, and in
// other browsers' profiles, and loads the one it finds when a page asks for protected media;
// a file inside /dev/null can never exist, so it finds none. Spelling dictionaries are looked
// for beside the executable before Qt's folder; the engine is given Qt's folder alone. Called
// before the first view exists; later calls change nothing.
QWebEngineView* makeWebView(QWidget* parent)
{
    static const bool prepared = [] {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        for (const QByteArray& flag :
             {QByteArrayLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp"),
              QByteArrayLiteral("\"--host-resolver-rules=MAP * ~NOTFOUND\""),
              QByteArrayLiteral("--widevine-path=/dev/null/libwidevinecdm.so")}) {
            if (!flags.contains(flag))
                flags = (flags + ' ' + flag).trimmed();
        }
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        qputenv("QTWEBENGINE_DICTIONARIES_PATH",
                QFile::encodeName(QLibraryInfo::path(QLibraryInfo::DataPath)
                                  + QStringLiteral("/qtwebengine_dictionaries")));
        return true;
    }();
    Q_UNUSED(prepared);
    return new QWebEngineView(parent);
}

}  // namespace

BrowserView::BrowserView(QWidget* parent)
    : QWidget(parent),
      view_(makeWebView(this)),
      page_(new ConfinedPage(view_)),
      widthTwips_(static_cast<float>(pixelsToTwips(width()))),
      heightTwips_(static_cast<float>(pixelsToTwips(height()))),
      printer_(new PagePrinter(view_, this)),
      hangWatch_(new QTimer(this))
{
    hangWatch_->setInterval(kAskLeavingPageEveryMs);
    connect(hangWatch_, &QTimer::timeout, this, &BrowserView::checkLeavingPage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(view_);
    // The user's clicks and keys reach the page through the view's render widget.
    view_->installEventFilter(this);
    view_->setPage(page_);
    attachPage();
    for (QWidget* child : view_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);

    connect(view_, &QWebEngineView::loadStarted, this, &BrowserView::loadStarted);
    connect(view_, &QWebEngineView::loadFinished, this, &BrowserView::loadFinished);
    connect(view_, &QWebEngineView::printRequested, this, &BrowserView::onPagePrintRequested);
}

BrowserView::~BrowserView()
{
    // The view would take its page with it; one the engine still owes a PDF must live on.
    if (PendingPdfPages::owes(page_))
        PendingPdfPages::retire(page_);
}

void BrowserView::attachPage()
{
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    onRendererTerminated();
            });
    connect(page_, &QWebEnginePage::loadingChanged, this, &BrowserView::trackLoading);
    // The user chose to stay: the page asked for is not coming.
    connect(page_, &ConfinedPage::leaveCancelled, this, [this] {
        loading_ = false;
        ownStartAwaited_ = false;
        stopWatchingForHang();
    });
    connect(page_, &QWebEnginePage::scrollPositionChanged, this, [this](const QPointF& position) {
        if (page_->renderProcessPid() > 0)
            place_ = position;
    });
}

bool BrowserView::reloadWhereItWas()
{
    // A page that gave way to a fresh one when its renderer died shows nothing yet: what the
    // old one showed is loaded in it.
    const QUrl lost = std::exchange(replacedUrl_, QUrl());
    const bool replaced = url().isEmpty();
    const QUrl shown = replaced ? lost : url();
    if (shown.isEmpty())
        return false;
    const QPointF at = std::exchange(place_, QPointF());
    if (replaced)
        load(shown);
    else
        page_->triggerAction(QWebEnginePage::Reload);
    if (!at.isNull()) {
        connect(
            this, &BrowserView::loadFinished, this,
            [this, shown, at](bool ok) {
                if (ok && url() == shown)
                    page_->runJavaScript(
                        QStringLiteral("window.scrollTo(%1, %2)").arg(at.x()).arg(at.y()),
                        QWebEngineScript::ApplicationWorld);
            },
            Qt::SingleShotConnection);
    }
    return true;
}

void BrowserView::replacePage()
{
    // A page the engine will not serve again (a PDF it never delivered blocks every later
    // one) gives way to a fresh page with the same confinement; the old one is kept until it
    // may be destroyed.
    ConfinedPage* old = page_;
    disconnect(old, nullptr, this, nullptr);
    old->setParent(nullptr);  // the view must not take it along when it lets it go
    page_ = new ConfinedPage(view_);
    page_->confineTo(folder_);
    view_->setPage(page_);
    attachPage();
    PendingPdfPages::retire(old);
}

void BrowserView::confineTo(const QString& folder)
{
    folder_ = folder;
    page_->confineTo(folder);
}

void BrowserView::setPrintTimeLimit(int milliseconds)
{
    printer_->setTimeLimit(milliseconds);
}

bool BrowserView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == view_) {
            if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
                child->installEventFilter(this);
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::TouchBegin:
        page_->noteUserInput();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void BrowserView::hideEvent(QHideEvent* event)
{
    // The window going away answers the page's open dialog, so that closing it always works.
    page_->dismissDialog();
    // A print job may finish after its window has closed, but only for a few seconds, and
    // its outcome is not shown any more.
    if (!event->spontaneous() && printer_->busy()) {
        windowClosed_ = true;
        QTimer::singleShot(kClosedJobGraceMs, this, [this] {
            if (printer_->busy())
                printer_->abandon();
        });
    }
    QWidget::hideEvent(event);
}

void BrowserView::onPagePrintRequested()
{
    // The page's own print button, clicked, is the user's request like the side panel's and is
    // never dropped. What a page asks for on its own shares the budget of its other dialogs,
    // so that it can neither flood the user with prompts nor with refusals.
    const bool usersOwn = page_->takeUserInput();
    if (!usersOwn && !page_->admitPageDialog())
        return;
    if (Handler::running() || QApplication::activeModalWidget() || promptOpen_ || printer_->busy()
        || page_->dialogOpen()) {
        qCInfo(lcPage) << "refused the page's print request while a dialog or job is open";
        emit printRefused();
        return;
    }
    emit printRequested();
}

void BrowserView::onRendererTerminated()
{
    if (PendingPdfPages::owes(page_)) {
        replacedUrl_ = url();
        replacePage();
    }
    if (!afterHungPage_.isEmpty()) {
        // Ended by the view itself: the page asked for comes, and this is no crash.
        load(std::exchange(afterHungPage_, QUrl()));
        return;
    }
    if (!restarts_.admit()) {
        qCInfo(lcPage) << "the page's renderer keeps dying; showing a notice instead";
        navigated_ = true;
        view_->setHtml(QString::fromUtf8(kPageNotShown));
        return;
    }
    // The keys went to the page before: they go to the page that comes back, whose view
    // takes the focus again once it has loaded (unless the reader has moved it meanwhile).
    const auto keysInView = [this] {
        const QWidget* focused = window()->focusWidget();
        return !focused || focused == this || isAncestorOf(focused);
    };
    if (keysInView())
        connect(
            this, &BrowserView::loadFinished, this,
            [this, keysInView] {
                if (keysInView())
                    view_->setFocus(Qt::OtherFocusReason);
            },
            Qt::SingleShotConnection);
    if (pageProcessDied_)
        Handler::run(pageProcessDied_);
}

QUrl BrowserView::locationToUrl(const QString& location)
{
    // A path joined to a root folder carries a doubled separator ("//start.html"), which
    // would otherwise read as a network share; spaces and '#' belong to the file name.
    return QUrl::fromLocalFile(QDir::cleanPath(QDir::fromNativeSeparators(location)));
}

void BrowserView::Navigate(const QString& location)
{
    const QUrl url = locationToUrl(location);
    if (!url.isValid())
        throw PlatformError(kErrInvalidPropertyValue,
                            QStringLiteral("The location is not valid: %1").arg(location));
    // What a print job prints stays shown until it has ended.
    if (holding_) {
        heldUrl_ = url;
        return;
    }
    // The user's request to go: the page may ask once whether to leave it, and a question it
    // has open is answered "leave".
    const bool answered = page_->noteLeaveRequested();
    const bool leaving = navigated_;
    // Answered "leave", the question was about going to this very page, which now comes.
    if (!answered || !loading_ || pendingUrl_ != url)
        load(url);
    if (leaving)
        watchForHang(url);
}

void BrowserView::load(const QUrl& url)
{
    navigated_ = true;
    ++loads_;
    loading_ = true;  // from now on, until the view reports this load ended
    pendingUrl_ = url;
    ownStartAwaited_ = true;
    view_->setUrl(url);
}

void BrowserView::watchForHang(const QUrl& url)
{
    // The page shown must let the next one come: a page caught in an endless script, shown or
    // in its own handlers as it is left, never does. Until the next page has loaded, the page
    // is asked for a trivial answer in the program's own script world a few times a second;
    // its renderer answers between two of the page's scripts, and is ended once none has
    // come for a while.
    stopWatchingForHang();
    leavingPage_ = page_;
    leavingFor_ = url;
    leavingRenderer_ = page_->renderProcessPid();
    sinceAnswer_.start();
    sinceAsked_.start();
    leaveStarted_ = false;
    hangWatch_->start();
    checkLeavingPage();
}

void BrowserView::checkLeavingPage()
{
    if (leavingPage_ != page_ || !loading_ || pendingUrl_ != leavingFor_
        || !afterHungPage_.isEmpty()) {
        stopWatchingForHang();
        return;
    }
    // A page waiting for the user's answer to its dialog is not stuck.
    if (page_->dialogOpen())
        sinceAnswer_.restart();
    if (sinceAnswer_.hasExpired(kUnansweredPageMs)) {
        const QUrl url = leavingFor_;
        const qint64 renderer = leavingRenderer_;
        stopWatchingForHang();
        endHungPage(url, renderer);
        return;
    }
    // The engine may drop a request that comes while it still settles the user's last choice
    // to stay on the page; a page that answers but has not started to make way is asked once
    // more (and does not ask the user again whether to leave).
    if (!leaveStarted_ && !page_->dialogOpen() && sinceAsked_.hasExpired(kLeaveStartMs)
        && !sinceAnswer_.hasExpired(kAnsweringMs)) {
        leaveStarted_ = true;
        view_->setUrl(leavingFor_);
    }
    if (sinceAnswer_.hasExpired(kBusyPointerMs) && !busyPointer_) {
        if (auto* form = qobject_cast<Form*>(window());
            form && form->mousePointer() == MousePointer::Default) {
            form->setMousePointer(MousePointer::Hourglass);
            busyPointer_ = true;
        }
    }
    page_->runJavaScript(
        QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
        [self = QPointer<BrowserView>(this), leaving = leaveNumber_](const QVariant&) {
            if (self && self->leaveNumber_ == leaving)
                self->sinceAnswer_.restart();
        });
}

void BrowserView::stopWatchingForHang()
{
    hangWatch_->stop();
    ++leaveNumber_;
    leavingPage_ = nullptr;
    if (std::exchange(busyPointer_, false)) {
        if (auto* form = qobject_cast<Form*>(window());
            form && form->mousePointer() == MousePointer::Hourglass)
            form->setMousePointer(MousePointer::Default);
    }
}

void BrowserView::endHungPage(const QUrl& url, qint64 renderer)
{
    qCInfo(lcPage) << "the page does not answer; its renderer is ended to show the next page";
#ifdef Q_OS_UNIX
    // Ending a renderer is safe unless the engine still owes the page a PDF.
    if (!PendingPdfPages::owes(page_) && renderer > 0 && renderer == page_->renderProcessPid()
        && renderer != QCoreApplication::applicationPid()) {
        afterHungPage_ = url;
        ::kill(static_cast<pid_t>(renderer), SIGKILL);
        return;
    }
#else
    Q_UNUSED(renderer);
#endif
    if (printer_->busy())
        printer_->abandon();
    replacePage();
    load(url);
}

float BrowserView::checkedExtent(float twips)
{
    constexpr float kMaxTwips = static_cast<float>(QWIDGETSIZE_MAX) * kTwipsPerPixel;
    if (!std::isfinite(twips) || twips < 0.0f || twips > kMaxTwips)
        throw PlatformError(kErrInvalidPropertyValue, QStringLiteral("Invalid property value"));
    return twips;
}

void BrowserView::setWidth(float twips)
{
    widthTwips_ = checkedExtent(twips);
    applySize();
}

void BrowserView::setHeight(float twips)
{
    heightTwips_ = checkedExtent(twips);
    applySize();
}

void BrowserView::placeAt(int leftTwips, int topTwips)
{
    move(twipsToPixels(leftTwips), twipsToPixels(topTwips));
}

void BrowserView::applySize()
{
    resize(twipsToPixels(widthTwips_), twipsToPixels(heightTwips_));
}

void BrowserView::trackLoading(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        loading_ = true;
        // The news that an earlier navigation started can arrive after a newer Navigate():
        // it must not take the newer one's place, or the newer load's end would go unseen.
        // A load the page starts itself (a link) is followed once Navigate()'s has started
        // or any load has ended.
        if (!ownStartAwaited_ || info.url() == pendingUrl_) {
            pendingUrl_ = info.url();
            ownStartAwaited_ = false;
        }
        if (info.url() == leavingFor_)
            leaveStarted_ = true;
    } else {
        // The end of an earlier load that a newer navigation cut short is not the end of
        // the newer one.
        if (info.url() == pendingUrl_)
            loading_ = false;
        ownStartAwaited_ = false;
    }
}

CommandStatus BrowserView::QueryStatusWB(BrowserCommand command) const
{
    checkCommand(command);
    const bool jobRunning = promptOpen_ || printer_->busy();
    CommandStatus status = CommandState::Supported;
    status.setFlag(CommandState::Enabled, navigated_ && !jobRunning);
    return status;
}

QPrinter& BrowserView::printSettings()
{
    if (!settings_) {
        settings_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // A printer's own minimum margins put text a few millimetres from the paper's edge,
        // where many printers cannot reach; pages get the usual two centimetres instead.
        settings_->setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    }
    return *settings_;
}

void BrowserView::ExecWB(BrowserCommand command, CommandOption)
{
    checkCommand(command);
    if (!navigated_)
        throw PlatformError(kErrPrintFailed, QStringLiteral("There is no page to print"));
    if (promptOpen_ || printer_->busy())
        throw PlatformError(kErrPrintFailed, QStringLiteral("A print job is already running"));
    windowClosed_ = false;
    // "Print Entire Book" started its job with the click; any other starts once the prompt
    // is confirmed.
    QPointer<PrintJob> job = jobRunning() ? job_ : nullptr;
    const auto stopIfCancelled = [&job] {
        if (job && job->isFinished())
            throw PlatformError(kErrPrintCancelled, QStringLiteral("Printing was cancelled"));
    };
    // From here until the job has ended, what the reader does next waits for it.
    holdNavigation(true);
    try {
        {
            const QScopedValueRollback promptOpen(promptOpen_, true);
            waitWhileLoading(job);
            stopIfCancelled();
            QPrinter& settings = printSettings();
            settings.setDocName(title());
            if (!SessionPrintChoice::ask(settings, title(), url(), window()))
                throw PlatformError(kErrPrintCancelled, QStringLiteral("Printing was cancelled"));
            stopIfCancelled();
        }
        if (!job)
            job = startPrintJob(PrintJob::State::LayingOut);
        printAndWait(job);
    } catch (...) {
        if (job)
            job->cancel();
        holdNavigation(false);
        throw;
    }
    holdNavigation(false);
}

void BrowserView::holdNavigation(bool held)
{
    holding_ = held;
    if (held) {
        page_->holdNavigation(true);
        return;
    }
    QUrl wanted = page_->takeHeldNavigation();
    page_->holdNavigation(false);
    if (!heldUrl_.isEmpty())
        wanted = std::exchange(heldUrl_, QUrl());
    // The reader's last wish while the job ran, unless the reader has asked for another
    // page since the job ended.
    if (!wanted.isEmpty() && !windowClosed_)
        QTimer::singleShot(0, this, [this, wanted, loads = loads_] {
            if (!holding_ && loads_ == loads)
                load(wanted);
        });
}

void BrowserView::printWhenLoaded()
{
    if (jobRunning())
        return;
    PrintJob* job = startPrintJob(PrintJob::State::WaitingForBook);
    connect(view_, &QWebEngineView::loadProgress, job, [job](int percent) {
        if (job->state() == PrintJob::State::WaitingForBook)
            job->setProgress(percent, 100);
    });
    connect(view_, &QWebEngineView::titleChanged, job, &PrintJob::setTitle);
}

PrintJob* BrowserView::startPrintJob(PrintJob::State first)
{
    if (job_)
        job_->deleteLater();  // long ended
    job_ = new PrintJob(this, first);
    job_->setTitle(title().isEmpty() ? window()->windowTitle() : title());
    new PrintProgress(job_, window());
    connect(job_, &PrintJob::stateChanged, this, [this, job = job_.data()] {
        if (job->isFinished())
            endPrintJob(job);
    });
    return job_;
}

void BrowserView::endPrintJob(PrintJob* job)
{
    if (job == job_)
        emit printJobEnded();
}

void BrowserView::waitWhileLoading(const PrintJob* job)
{
    if (!loading_)
        return;
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
    ask.start(kAskDocumentEveryMs);
    patience.start(kLoadWaitMs);
    // The user waits too: the hourglass until the page has loaded or the wait is given up,
    // so that the prompt comes up under the normal pointer.
    const QPointer<Form> form = qobject_cast<Form*>(window());
    if (form)
        form->setMousePointer(MousePointer::Hourglass);
    loop.exec();
    if (form)
        form->setMousePointer(MousePointer::Default);
}

void BrowserView::askDocumentWhetherLoaded()
{
    // Qt WebEngine 6.4 reports neither the start nor the end of a load that begins while the
    // page before it is still finishing: its load tracking ends with the older page and is
    // not set up again for the newer one. The document shown knows whether it is the one
    // asked for and whether it is complete. Asked in the program's own script world, where
    // the page's scripts cannot answer in its place.
    const QUrl asked = pendingUrl_;
    view_->page()->runJavaScript(
        QStringLiteral("[document.readyState, location.href]"), QWebEngineScript::ApplicationWorld,
        [self = QPointer<BrowserView>(this), asked](const QVariant& answer) {
            const QVariantList state = answer.toList();
            if (!self || !self->loading_ || self->pendingUrl_ != asked || state.size() != 2)
                return;
            const QUrl shown(state.at(1).toString());
            if (state.at(0).toString() == QStringLiteral("complete")
                && shown.adjusted(QUrl::RemoveFragment) == asked.adjusted(QUrl::RemoveFragment))
                self->loading_ = false;
        });
}

void BrowserView::printAndWait(PrintJob* job)
{
    bool done = false;
    bool ok = false;
    QString failure;
    QEventLoop loop;
    connect(printer_, &PagePrinter::finished, &loop, [&](bool success, const QString& description) {
        done = true;
        ok = success;
        failure = description;
        loop.quit();
    });
    printer_->print(printSettings(), job);
    if (!done)
        loop.exec();
    if (!done)
        throw PlatformError(kErrPrintFailed, QStringLiteral("Printing was interrupted"));
    // A page still owed its PDF will get no other from the engine: printing goes on with a
    // fresh page showing the same address.
    if (PendingPdfPages::owes(page_) && !windowClosed_) {
        const QUrl shown = view_->url();
        replacePage();
        load(shown);
    }
    if (!ok && windowClosed_)
        throw PlatformError(kErrPrintFailed, failure);
    // The reader stopped it: nothing to tell.
    if (job->state() == PrintJob::State::Cancelled)
        throw PlatformError(kErrPrintCancelled, failure);
    if (!ok) {
        // The window's print command ignores failures; the job's own layer says once what
        // became of it, so a PDF that was never written does not pass for a success.
        MsgBox(failure);
        throw PlatformError(kErrPrintFailed, failure);
    }
}

QUrl BrowserView::url() const
{
    return view_->url();
}

QWebEnginePage* BrowserView::page() const
{
    return view_->page();
}

QString BrowserView::title() const
{
    return view_->title();
}

}  // namespace platform
