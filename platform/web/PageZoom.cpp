#include "platform/web/PageZoom.h"

#include <QChildEvent>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace platform {

namespace {

// The steps readers know from web browsers.
constexpr std::array kSteps
    = {0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};

bool same(double a, double b)
{
    return std::abs(a - b) < 0.001;
}

}  // namespace

PageZoom::PageZoom(QWebEngineView* view) : QObject(view), view_(view)
{
    // The engine forgets a zoom on some navigations; the reader's choice holds for the session.
    connect(view, &QWebEngineView::loadStarted, this, &PageZoom::apply);
    connect(view, &QWebEngineView::urlChanged, this, &PageZoom::apply);
    connect(view, &QWebEngineView::loadFinished, this, &PageZoom::apply);
    // The wheel reaches the widget that draws the page, which the view may replace (a new
    // renderer after a crash), so every child of the view is watched.
    view->installEventFilter(this);
    for (QObject* child : view->children())
        watchChild(child);
}

void PageZoom::zoomIn()
{
    const auto* const next = std::find_if(kSteps.begin(), kSteps.end(),
                                          [this](double step) { return step > factor_ + 0.001; });
    setFactor(next == kSteps.end() ? kMaximum : *next);
}

void PageZoom::zoomOut()
{
    const auto previous = std::find_if(kSteps.rbegin(), kSteps.rend(),
                                       [this](double step) { return step < factor_ - 0.001; });
    setFactor(previous == kSteps.rend() ? kMinimum : *previous);
}

void PageZoom::reset()
{
    setFactor(1.0);
}

void PageZoom::setFactor(double factor)
{
    factor = std::clamp(factor, kMinimum, kMaximum);
    factor_ = factor;
    apply();
}

void PageZoom::apply()
{
    if (view_ && !same(view_->zoomFactor(), factor_))
        view_->setZoomFactor(factor_);
}

void PageZoom::watchChild(QObject* child)
{
    if (child->isWidgetType())
        child->installEventFilter(this);
}

bool PageZoom::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::ChildAdded) {
        watchChild(static_cast<QChildEvent*>(event)->child());
        return false;
    }
    if (event->type() != QEvent::Wheel)
        return false;
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // One notch of a common wheel is 120; finer wheels and touchpads send parts of a notch.
    constexpr int kNotch = 120;
    const int delta = wheel->angleDelta().y();
    if ((delta > 0) != (wheelTravel_ > 0))
        wheelTravel_ = 0;
    wheelTravel_ += delta;
    for (; wheelTravel_ >= kNotch; wheelTravel_ -= kNotch)
        zoomIn();
    for (; wheelTravel_ <= -kNotch; wheelTravel_ += kNotch)
        zoomOut();
    return true;
}

}  // namespace platform
