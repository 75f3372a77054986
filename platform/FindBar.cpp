#include "platform/FindBar.h"

#include "platform/Accessibility.h"
#include "platform/Controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace platform {

namespace {

// How long after a search ends its last match may still become selected.
constexpr int kUnselectWaitMs = 2000;

}  // namespace

FindBar::FindBar(QWebEngineView* view, QWidget* over)
    : QFrame(over),
      view_(view),
      over_(over),
      field_(new QLineEdit(this)),
      previous_(makeCommandButton(this, QStringLiteral("Previous"))),
      next_(makeCommandButton(this, QStringLiteral("Next"))),
      result_(makeLabel(this, QString(), Qt::AlignLeft | Qt::AlignVCenter)),
      close_(makeCommandButton(this, QStringLiteral("Close")))
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAutoFillBackground(true);
    describeForScreenReaders(this, QStringLiteral("Find in page"), QAccessible::ToolBar);

    QLabel* caption = makeLabel(this, QStringLiteral("Find:"), Qt::AlignRight | Qt::AlignVCenter);
    caption->setBuddy(field_);  // names the text box for screen readers
    field_->setObjectName(QStringLiteral("FindText"));
    result_->setObjectName(QStringLiteral("FindResult"));
    previous_->setToolTip(QStringLiteral("Previous match (Shift+F3)"));
    next_->setToolTip(QStringLiteral("Next match (F3)"));
    close_->setToolTip(QStringLiteral("Close (Escape)"));
    previous_->setAccessibleName(QStringLiteral("Previous match"));
    next_->setAccessibleName(QStringLiteral("Next match"));
    close_->setAccessibleName(QStringLiteral("Close find bar"));
    // A click on a button or on the bar leaves the focus in the text box instead of handing it
    // on to the page below; Tab still reaches the buttons.
    for (QPushButton* button : {previous_, next_, close_})
        button->setFocusPolicy(Qt::TabFocus);
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(field_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(caption);
    layout->addWidget(field_, 1);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(result_, 1);
    layout->addWidget(close_);

    connect(field_, &QLineEdit::textEdited, this, [this] { search(false); });
    connect(previous_, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next_, &QPushButton::clicked, this, &FindBar::findNext);
    connect(close_, &QPushButton::clicked, this, &FindBar::close);
    // A new page has other matches: count them again.
    connect(view, &QWebEngineView::loadFinished, this, [this] {
        if (isVisible() && !field_->text().isEmpty())
            search(false);
    });
    field_->installEventFilter(this);
    over->installEventFilter(this);
    hide();
}

void FindBar::open()
{
    const bool wasOpen = isVisible();
    place();
    show();
    raise();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (!wasOpen && !field_->text().isEmpty())
        search(false);
}

void FindBar::close()
{
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    ++serial_;  // a search still under way no longer counts
    if (view_) {
        QWebEnginePage* page = view_->page();
        const bool matched = matches_ > 0;
        page->findText(QString());
        // Ending a search selects its last match a moment later; the page is to look as it did
        // before the search, so that selection is taken away again, and only that one.
        if (matched) {
            unselect_ = connect(page, &QWebEnginePage::selectionChanged, this, [this, page] {
                disconnect(unselect_);
                page->triggerAction(QWebEnginePage::Unselect);
            });
            QTimer::singleShot(kUnselectWaitMs, this, [this] { disconnect(unselect_); });
        }
        if (hadFocus)
            view_->setFocus(Qt::OtherFocusReason);
    }
    matches_ = 0;
    result_->clear();
}

void FindBar::findNext()
{
    if (!isVisible() || field_->text().isEmpty()) {
        open();
        return;
    }
    search(false);
}

void FindBar::findPrevious()
{
    if (!isVisible() || field_->text().isEmpty()) {
        open();
        return;
    }
    search(true);
}

QString FindBar::text() const
{
    return field_->text();
}

QString FindBar::resultText() const
{
    return result_->text();
}

void FindBar::search(bool backward)
{
    if (!view_)
        return;
    disconnect(unselect_);
    const int serial = ++serial_;
    const QString text = field_->text();
    if (text.isEmpty()) {
        matches_ = 0;
        result_->clear();
        view_->page()->findText(QString());
        return;
    }
    const QWebEnginePage::FindFlags flags
        = backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    QPointer<FindBar> self(this);
    view_->page()->findText(text, flags, [self, serial](const QWebEngineFindTextResult& result) {
        if (self)
            self->showResult(serial, result);
    });
}

void FindBar::showResult(int serial, const QWebEngineFindTextResult& result)
{
    if (serial != serial_)
        return;  // an answer to a search that a newer one replaced
    matches_ = result.numberOfMatches();
    result_->setText(
        QStringLiteral("%1 of %2").arg(result.activeMatch()).arg(result.numberOfMatches()));
    emit resultShown(result_->text());
}

void FindBar::place()
{
    const int height = sizeHint().height();
    setGeometry(0, qMax(0, over_->height() - height), over_->width(), height);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == over_ && event->type() == QEvent::Resize) {
        place();
        return false;
    }
    if (watched != field_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        search(key->modifiers() & Qt::ShiftModifier);
        return true;
    case Qt::Key_Escape:
        close();
        return true;
    default:
        return false;
    }
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

}  // namespace platform
