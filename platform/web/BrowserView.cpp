#include "platform/web/BrowserView.h"

#include "platform/forms/Twips.h"
#include "platform/print/PagePrinter.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/Trace.h"
#include "platform/web/ConfinedPage.h"
#include "platform/web/HungPageWatch.h"
#include "platform/web/LoadTracker.h"
#include "platform/web/PrintCommand.h"
#include "platform/web/RendererRecovery.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHideEvent>
#include <QLibraryInfo>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>

namespace platform {

namespace {

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
      widthTwips_(static_cast<float>(pixelsToTwips(width()))),
      heightTwips_(static_cast<float>(pixelsToTwips(height()))),
      printer_(new PagePrinter(view_, this)),
      loads_(new LoadTracker(view_, this)),
      recovery_(new RendererRecovery(view_, loads_, this)),
      hangWatch_(new HungPageWatch(view_, loads_, recovery_, printer_, this)),
      print_(new PrintCommand(view_, loads_, recovery_, printer_, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(view_);
    // The user's clicks and keys reach the page through the view's render widget.
    view_->installEventFilter(this);
    auto* page = new ConfinedPage(view_);
    view_->setPage(page);
    attachPage(page);
    connect(recovery_, &RendererRecovery::pageSwapped, this, &BrowserView::attachPage);
    for (QWidget* child : view_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);

    connect(view_, &QWebEngineView::loadStarted, this, &BrowserView::loadStarted);
    connect(view_, &QWebEngineView::loadFinished, this, &BrowserView::loadFinished);
    connect(view_, &QWebEngineView::printRequested, this, &BrowserView::onPagePrintRequested);
    connect(print_, &PrintCommand::jobEnded, this, &BrowserView::printJobEnded);
}

BrowserView::~BrowserView()
{
    // The view would take its page with it; one the engine still owes a PDF must live on.
    if (ConfinedPage* page = shownPage(view_); PendingPdfPages::owes(page))
        PendingPdfPages::retire(page);
}

void BrowserView::attachPage(ConfinedPage* page)
{
    // Connected with the view as the context, so that a page swap takes them all off the old
    // page.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    recovery_->onRendererTerminated();
            });
    connect(page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { loads_->track(info); });
    // The user chose to stay: the page asked for is not coming.
    connect(page, &ConfinedPage::leaveCancelled, this, [this] {
        loads_->cancel();
        hangWatch_->stop();
    });
    connect(page, &QWebEnginePage::scrollPositionChanged, this,
            [this](const QPointF& position) { recovery_->onScrolled(position); });
}

void BrowserView::onPageProcessDied(std::function<void()> handler)
{
    recovery_->onPageProcessDied(std::move(handler));
}

bool BrowserView::reloadWhereItWas()
{
    return recovery_->reloadWhereItWas();
}

void BrowserView::confineTo(const QString& folder)
{
    recovery_->confineTo(folder);
    shownPage(view_)->confineTo(folder);
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
        shownPage(view_)->noteUserInput();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void BrowserView::hideEvent(QHideEvent* event)
{
    // The window going away answers the page's open dialog, so that closing it always works.
    shownPage(view_)->dismissDialog();
    if (!event->spontaneous())
        print_->windowClosed();
    QWidget::hideEvent(event);
}

void BrowserView::onPagePrintRequested()
{
    // The page's own print button, clicked, is the user's request like the side panel's and is
    // never dropped. What a page asks for on its own shares the budget of its other dialogs,
    // so that it can neither flood the user with prompts nor with refusals.
    ConfinedPage* page = shownPage(view_);
    const bool usersOwn = page->takeUserInput();
    if (!usersOwn && !page->admitPageDialog())
        return;
    if (Handler::running() || QApplication::activeModalWidget() || print_->running()
        || page->dialogOpen()) {
        qCInfo(lcPage) << "refused the page's print request while a dialog or job is open";
        emit printRefused();
        return;
    }
    emit printRequested();
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
    if (print_->holds(url))
        return;
    // The user's request to go: the page may ask once whether to leave it, and a question it
    // has open is answered "leave".
    const bool answered = shownPage(view_)->noteLeaveRequested();
    const bool leaving = loads_->navigated();
    // Answered "leave", the question was about going to this very page, which now comes.
    if (!answered || !loads_->isLoading() || loads_->pending() != url)
        loads_->load(url);
    if (leaving)
        hangWatch_->watch(url);
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

CommandStatus BrowserView::QueryStatusWB(BrowserCommand command) const
{
    checkCommand(command);
    CommandStatus status = CommandState::Supported;
    status.setFlag(CommandState::Enabled, loads_->navigated() && !print_->running());
    return status;
}

void BrowserView::ExecWB(BrowserCommand command, CommandOption)
{
    checkCommand(command);
    print_->exec();
}

QPrinter& BrowserView::printSettings()
{
    return print_->settings();
}

void BrowserView::printWhenLoaded()
{
    print_->printWhenLoaded();
}

PrintJob* BrowserView::printJob() const
{
    return print_->job();
}

bool BrowserView::isLoading() const
{
    return loads_->isLoading();
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
