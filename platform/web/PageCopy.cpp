#include "platform/web/PageCopy.h"

#include <QChildEvent>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace platform {

PageCopy::PageCopy(QWebEngineView* view) : QObject(view), view_(view)
{
    // The keys reach the page through the view's render widget, which the view may replace.
    view_->installEventFilter(this);
    for (QWidget* child : view_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);
}

void PageCopy::copySelection(const QWebEngineView* view)
{
    const QString text = view->page()->selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

bool PageCopy::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ChildAdded && watched == view_) {
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
        return false;
    }
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool cut = key->matches(QKeySequence::Cut);
    if (!cut && !key->matches(QKeySequence::Copy))
        return false;
    // Taken here rather than by the engine, which would hand them to the page first.
    key->accept();
    if (event->type() == QEvent::KeyPress) {
        copySelection(view_);
        if (cut) {
            // What was cut leaves an editable field as if deleted; elsewhere nothing happens.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(watched, &press);
            QCoreApplication::sendEvent(watched, &release);
        }
    }
    return true;
}

}  // namespace platform
