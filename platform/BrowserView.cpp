#include "platform/BrowserView.h"

#include "platform/Errors.h"
#include "platform/Twips.h"

#include <QDesktopServices>
#include <QDir>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>

namespace platform {

BrowserView::BrowserView(QWidget* parent)
    : QWidget(parent), view_(new QWebEngineView(this)),
      widthTwips_(static_cast<float>(pixelsToTwips(width()))),
      heightTwips_(static_cast<float>(pixelsToTwips(height())))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(view_);

    QWebEnginePage* page = view_->page();
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [](QWebEngineNewWindowRequest& request) {
                QDesktopServices::openUrl(request.requestedUrl());
            });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus && pageProcessDied_)
                    Handler::run(pageProcessDied_);
            });
    connect(view_, &QWebEngineView::loadStarted, this, [this] {
        loading_ = true;
        emit loadStarted();
    });
    connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
        loading_ = false;
        emit loadFinished(ok);
    });
}

BrowserView::~BrowserView() = default;

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
    navigated_ = true;
    loading_ = true;  // from now on, until the view reports the load finished
    view_->setUrl(url);
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

int BrowserView::QueryStatusWB(int command) const
{
    if (command != 6)
        throw PlatformError(kErrInvalidPropertyValue, QStringLiteral("Unsupported command"));
    return 1 | (navigated_ ? 2 : 0);
}

void BrowserView::ExecWB(int command, int)
{
    if (command != 6)
        throw PlatformError(kErrInvalidPropertyValue, QStringLiteral("Unsupported command"));
    throw PlatformError(kErrPrintFailed, QStringLiteral("Printing is not available"));
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
