#include "platform/web/FindBar.h"

#include "platform/forms/Accessibility.h"
#include "platform/forms/Controls.h"
#include "platform/search/ShownText.h"
#include "platform/web/BookMatchesList.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace platform {

namespace {

// The share of the widget below that the bar covers while it lists the book's matches, and
// the most it covers in a small window, so that a match shown still has room above it.
constexpr double kListShare = 0.4;
constexpr double kMaxShare = 0.6;
constexpr int kMinListRows = 3;
// The text box holds at least this many characters, and in a wide bar this many.
constexpr int kFieldCharacters = 15;
constexpr int kWideFieldCharacters = 25;
// The longest counts the bar plans room for on its first line.
constexpr char16_t kWideCount[] = u"9,999 matches in 999 pages";
constexpr char16_t kWideReading[] = u"Reading the book\u2026 9,999 of 9,999 pages";

}  // namespace

FindBar::FindBar(QWebEngineView* view, QWidget* over)
    : QFrame(over),
      view_(view),
      over_(over),
      field_(new QLineEdit(this)),
      previous_(makeCommandButton(this, QStringLiteral("Previous"))),
      next_(makeCommandButton(this, QStringLiteral("Next"))),
      result_(makeLabel(this, QString(), Qt::AlignLeft | Qt::AlignVCenter)),
      wholeBook_(new QCheckBox(QStringLiteral("&Whole book"), this)),
      close_(makeCommandButton(this, QStringLiteral("Close"))),
      caption_(makeLabel(this, QStringLiteral("Find:"), Qt::AlignRight | Qt::AlignVCenter)),
      list_(new BookMatchesList(view, this))
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAutoFillBackground(true);
    describeForScreenReaders(this, QStringLiteral("Find in page"), QAccessible::ToolBar);

    caption_->setBuddy(field_);  // names the text box for screen readers
    field_->setObjectName(QStringLiteral("FindText"));
    result_->setObjectName(QStringLiteral("FindResult"));
    previous_->setToolTip(QStringLiteral("Previous match (Shift+F3)"));
    next_->setToolTip(QStringLiteral("Next match (F3)"));
    close_->setToolTip(QStringLiteral("Close (Escape)"));
    previous_->setAccessibleName(QStringLiteral("Previous match"));
    next_->setAccessibleName(QStringLiteral("Next match"));
    close_->setAccessibleName(QStringLiteral("Close find bar"));
    wholeBook_->setObjectName(QStringLiteral("FindWholeBook"));
    wholeBook_->setToolTip(QStringLiteral("Find in every page of the book (Ctrl+Shift+F)"));
    wholeBook_->setEnabled(false);  // until there is a book to search
    list_->hide();
    // A click on a button or on the bar leaves the focus in the text box instead of handing it
    // on to the page below; Tab still reaches the buttons.
    for (QPushButton* button : {previous_, next_, close_})
        button->setFocusPolicy(Qt::TabFocus);
    wholeBook_->setFocusPolicy(Qt::TabFocus);
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(field_);

    field_->setMinimumWidth(field_->fontMetrics().averageCharWidth() * kFieldCharacters
                            + field_->sizeHint().height() / 2);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 3, 6, 3);
    for (int i = 0; i < 4; ++i) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        column->addLayout(row);
        rows_.append(row);
    }
    column->addWidget(list_, 1);
    arrange();

    connect(field_, &QLineEdit::textEdited, this, [this] {
        if (searchesWholeBook())
            list_->searchFor(field_->text());
        else
            search(false);
    });
    connect(wholeBook_, &QCheckBox::toggled, this, &FindBar::setWholeBook);
    connect(list_, &BookMatchesList::countChanged, this, &FindBar::showBookCount);
    connect(list_, &BookMatchesList::matchOpened, this, [this] { ++serial_; });
    connect(list_, &BookMatchesList::landOn, this, [this](const QString& text, int occurrence) {
        landingText_ = text;
        landingOccurrence_ = occurrence;
        findInPage(Goal::Landing);
    });
    connect(previous_, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next_, &QPushButton::clicked, this, &FindBar::findNext);
    connect(close_, &QPushButton::clicked, this, &FindBar::close);
    // A new page has other matches: count them again.
    connect(view, &QWebEngineView::loadFinished, this, [this] {
        // What was selected went with the page before.
        selectedStart_ = selectedEnd_ = -1;
        active_ = 0;
        // In the whole book the list lands on the match it opened (see landOn).
        if (isVisible() && !field_->text().isEmpty() && !searchesWholeBook())
            search(false);
    });
    field_->installEventFilter(this);
    over->installEventFilter(this);
    hide();
}

void FindBar::searchBook(const QString& folder, const QString& startPage,
                         const QStringList& leftOut)
{
    list_->searchBook(folder, startPage, leftOut);
    wholeBook_->setEnabled(true);
}

bool FindBar::searchesWholeBook() const
{
    return list_->hasBook() && wholeBook_->isChecked();
}

void FindBar::openWholeBook()
{
    if (!list_->hasBook()) {
        open();
        return;
    }
    const bool wasOpen = isVisible();
    if (!wholeBook_->isChecked())
        wholeBook_->setChecked(true);  // searches the text already there
    else if (!wasOpen && !field_->text().isEmpty())
        list_->searchFor(field_->text());
    place();
    show();
    raise();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void FindBar::setWholeBook(bool wholeBook)
{
    list_->setVisible(wholeBook);
    result_->clear();
    setAccessibleDescription(QString());
    if (wholeBook) {
        ++serial_;
        list_->searchFor(field_->text());
    } else {
        list_->stop();
        list_->clear();
        if (isVisible())
            search(false);
    }
    place();
}

void FindBar::showBookCount(const QString& text)
{
    result_->setText(text);
    setAccessibleDescription(text);
    // A longer count may take another line of a narrow bar.
    if (isVisible())
        place();
}

void FindBar::findInPage(Goal goal)
{
    if (!view_)
        return;
    const int serial = ++serial_;
    const QString query = goal == Goal::Landing ? landingText_ : field_->text();
    if (query.trimmed().isEmpty()) {
        clearFound();
        matches_ = 0;
        result_->clear();
        return;
    }
    // The page's text is read anew each time: a page may change it, and a new page has its
    // own. A page without the program's script (an error page) has no text to find in.
    QPointer<FindBar> self(this);
    view_->page()->runJavaScript(
        QStringLiteral("window.__da1011Find ? window.__da1011Find.text() : ''"),
        QWebEngineScript::ApplicationWorld, [self, serial, goal, query](const QVariant& text) {
            if (self && serial == self->serial_)
                self->showFound(goal, query, text.toString());
        });
}

void FindBar::showFound(Goal goal, const QString& query, const QString& text)
{
    const QList<TextSpan> spans = findInShownText(text, query);
    const int count = int(spans.size());
    const bool again = query == shownQuery_ && active_ > 0;
    int active = 1;
    switch (goal) {
    case Goal::First:
        break;
    case Goal::Next:
        active = again ? active_ % qMax(count, 1) + 1 : 1;
        break;
    case Goal::Previous:
        active = again ? (active_ + count - 2) % qMax(count, 1) + 1 : count;
        break;
    case Goal::Landing:
        active = qMin(landingOccurrence_, count);
        break;
    }
    if (count == 0)
        active = 0;
    clearFound();
    matches_ = count;
    shownQuery_ = query;
    active_ = active;
    if (goal != Goal::Landing)
        result_->setText(QStringLiteral("%1 of %2").arg(active).arg(count));
    if (active == 0 || !view_)
        return;
    const TextSpan span = spans[active - 1];
    selectedStart_ = span.start;
    selectedEnd_ = span.end;
    view_->page()->runJavaScript(QStringLiteral("window.__da1011Find.select(%1, %2, %3)")
                                     .arg(span.start)
                                     .arg(span.end)
                                     .arg(freeHeight()),
                                 QWebEngineScript::ApplicationWorld);
}

void FindBar::clearFound()
{
    if (selectedStart_ < 0 || !view_) {
        selectedStart_ = selectedEnd_ = -1;
        return;
    }
    // Only the selection the bar made goes, not one the reader has made since.
    view_->page()->runJavaScript(
        QStringLiteral("window.__da1011Find && window.__da1011Find.clear(%1, %2)")
            .arg(selectedStart_)
            .arg(selectedEnd_),
        QWebEngineScript::ApplicationWorld);
    selectedStart_ = selectedEnd_ = -1;
}

double FindBar::freeHeight() const
{
    if (!view_)
        return 0;
    const double zoom = view_->zoomFactor() > 0 ? view_->zoomFactor() : 1.0;
    const int top = isVisible() ? view_->mapFrom(over_, QPoint(0, y())).y() : view_->height();
    return qBound(0, top, view_->height()) / zoom;
}

void FindBar::open()
{
    if (wholeBook_->isChecked())
        wholeBook_->setChecked(false);  // Ctrl+F finds in the page
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
    list_->stop();
    // The page is to look as it did before the search.
    clearFound();
    if (view_ && hadFocus)
        view_->setFocus(Qt::OtherFocusReason);
    matches_ = 0;
    active_ = 0;
    result_->clear();
}

void FindBar::findNext()
{
    if (!isVisible() || field_->text().isEmpty()) {
        open();
        return;
    }
    if (searchesWholeBook()) {
        list_->moveBy(1);
        list_->openCurrent();
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
    if (searchesWholeBook()) {
        list_->moveBy(-1);
        list_->openCurrent();
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
    const bool again = field_->text() == shownQuery_ && active_ > 0;
    findInPage(!again ? Goal::First : backward ? Goal::Previous : Goal::Next);
}

void FindBar::arrange()
{
    const int width = over_->width();
    if (width == arrangedFor_)
        return;
    arrangedFor_ = width;
    const int spacing = qMax(0, rows_[0]->spacing());
    const QMargins margins = layout()->contentsMargins();
    const auto fits = [&](std::initializer_list<int> widths) {
        int total = margins.left() + margins.right() + spacing * int(widths.size() - 1);
        for (const int w : widths)
            total += w;
        return total <= width;
    };
    QPushButton* const buttons[] = {previous_, next_, close_};
    const QString captions[]
        = {QStringLiteral("Previous"), QStringLiteral("Next"), QStringLiteral("Close")};
    const QStyle::StandardPixmap icons[]
        = {QStyle::SP_ArrowUp, QStyle::SP_ArrowDown, QStyle::SP_DialogCloseButton};
    // Each button's width with its caption and with its icon alone.
    int withText = 0;
    int withIcon = 0;
    for (int i = 0; i < 3; ++i) {
        QStyleOptionButton option;
        option.initFrom(buttons[i]);
        option.text = captions[i];
        const QFontMetrics metrics = buttons[i]->fontMetrics();
        withText += style()
                        ->sizeFromContents(
                            QStyle::CT_PushButton, &option,
                            {metrics.horizontalAdvance(captions[i]), metrics.height()}, buttons[i])
                        .width()
            + spacing;
        option.text.clear();
        option.icon = style()->standardIcon(icons[i], nullptr, buttons[i]);
        option.iconSize = buttons[i]->iconSize();
        withIcon
            += style()
                   ->sizeFromContents(QStyle::CT_PushButton, &option, option.iconSize, buttons[i])
                   .width()
            + spacing;
    }
    const int caption = caption_->sizeHint().width();
    const int field = field_->minimumWidth();
    const int wideField = field_->fontMetrics().averageCharWidth() * kWideFieldCharacters;
    const int count
        = qMax(result_->fontMetrics().horizontalAdvance(QString::fromUtf16(kWideCount)),
               result_->fontMetrics().horizontalAdvance(QString::fromUtf16(kWideReading)));
    const int box = wholeBook_->sizeHint().width();

    // One line where everything fits; else the count and "Whole book" on a second; else the
    // buttons on a second line and the count on a third; in the narrowest bar "Whole book"
    // on a line of its own.
    const bool oneLine = fits({caption, wideField, withText, count, box});
    const bool twoLines = !oneLine && fits({caption, field, withIcon});
    const bool showText = oneLine || (twoLines && fits({caption, field, withText}));
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = buttons[i];
        button->setText(showText ? captions[i] : QString());
        button->setIcon(showText ? QIcon() : style()->standardIcon(icons[i], nullptr, button));
    }
    for (QBoxLayout* row : std::as_const(rows_))
        while (QLayoutItem* item = row->takeAt(0))
            delete item;
    const auto put = [](QBoxLayout* row, QWidget* widget, int stretch = 0) {
        row->addWidget(widget, stretch);
    };
    put(rows_[0], caption_);
    put(rows_[0], field_, 1);
    if (oneLine) {
        for (QWidget* w : {static_cast<QWidget*>(previous_), static_cast<QWidget*>(next_)})
            put(rows_[0], w);
        put(rows_[0], result_, 1);
        put(rows_[0], wholeBook_);
        put(rows_[0], close_);
    } else if (twoLines) {
        put(rows_[0], previous_);
        put(rows_[0], next_);
        put(rows_[0], close_);
        put(rows_[1], result_, 1);
        put(rows_[1], wholeBook_);
    } else if (fits({withIcon, box})) {
        put(rows_[1], previous_);
        put(rows_[1], next_);
        put(rows_[1], wholeBook_);
        rows_[1]->addStretch(1);
        put(rows_[1], close_);
        put(rows_[2], result_, 1);
    } else {
        put(rows_[1], previous_);
        put(rows_[1], next_);
        rows_[1]->addStretch(1);
        put(rows_[1], close_);
        put(rows_[2], wholeBook_);
        put(rows_[3], result_, 1);
    }
    // A count that still does not fit breaks onto a second line of its own.
    result_->setWordWrap(!oneLine);
}

void FindBar::place()
{
    arrange();
    const QMargins margins = layout()->contentsMargins();
    int height = 0;
    for (const QBoxLayout* row : std::as_const(rows_))
        if (row->count() > 0)
            height += (row->hasHeightForWidth() ? row->totalHeightForWidth(
                           over_->width() - margins.left() - margins.right())
                                                : row->sizeHint().height())
                + layout()->spacing();
    height += margins.top() + margins.bottom() - layout()->spacing();
    if (list_->isVisibleTo(this)) {
        const int listRows
            = list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0) : fontMetrics().height() + 4;
        const int least
            = height + layout()->spacing() + kMinListRows * listRows + 2 * list_->frameWidth();
        height = qMax(least, int(over_->height() * kListShare));
        height = qMin(height, qMax(least, int(over_->height() * kMaxShare)));
    }
    height = qMin(height, over_->height());
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
    if (searchesWholeBook()) {
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            list_->moveBy(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            list_->openCurrent();
            return true;
        default:
            break;
        }
    }
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
