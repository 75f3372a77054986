#include "platform/web/FindBar.h"

#include "platform/forms/Accessibility.h"
#include "platform/forms/Controls.h"
#include "platform/search/BookSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace platform {

namespace {

// How long after a search ends its last match may still become selected.
constexpr int kUnselectWaitMs = 2000;
// The share of the widget below that the bar covers while it lists the book's matches.
constexpr double kListShare = 0.4;
constexpr int kMinListHeight = 120;

enum MatchRole {
    PathRole = Qt::UserRole,
    OccurrenceRole,
    MarkStartRole,
    MarkLengthRole,
};

QString counted(int number, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(
        QLocale(QLocale::English, QLocale::UnitedStates).toString(number),
        QLatin1String(number == 1 ? one : many));
}

// Draws a row of the list of matches with the match itself in bold on the highlight colour;
// screen readers read the row's plain text.
class MatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const int length = index.data(MarkLengthRole).toInt();
        if (length <= 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        const QString text = plain.text;
        plain.text.clear();
        QStyle* style = plain.widget ? plain.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, plain.widget);

        const int start = index.data(MarkStartRole).toInt();
        const bool selected = option.state & QStyle::State_Selected;
        const QColor ink
            = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &plain, plain.widget);
        area.adjust(2, 0, -2, 0);
        painter->save();
        painter->setClipRect(area);
        QFont bold = option.font;
        bold.setBold(true);
        const QString pieces[]
            = {text.left(start), text.mid(start, length), text.mid(start + length)};
        int x = area.left();
        for (int i = 0; i < 3; ++i) {
            painter->setFont(i == 1 ? bold : option.font);
            painter->setPen(ink);
            const int width = QFontMetrics(painter->font()).horizontalAdvance(pieces[i]);
            const QRect box(x, area.top(), width, area.height());
            if (i == 1 && !selected) {
                painter->fillRect(box, QColor(255, 200, 60));
                painter->setPen(Qt::black);
            }
            painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              pieces[i]);
            x += width;
        }
        painter->restore();
    }
};

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
      list_(new QListWidget(this))
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
    wholeBook_->setObjectName(QStringLiteral("FindWholeBook"));
    wholeBook_->setToolTip(QStringLiteral("Find in every page of the book (Ctrl+Shift+F)"));
    wholeBook_->setEnabled(false);  // until there is a book to search
    list_->setObjectName(QStringLiteral("BookMatches"));
    list_->setAccessibleName(QStringLiteral("Matches in the book"));
    list_->setItemDelegate(new MatchDelegate(list_));
    list_->setUniformItemSizes(true);
    list_->setTextElideMode(Qt::ElideRight);
    list_->setFocusPolicy(Qt::StrongFocus);
    list_->hide();
    // A click on a button or on the bar leaves the focus in the text box instead of handing it
    // on to the page below; Tab still reaches the buttons.
    for (QPushButton* button : {previous_, next_, close_})
        button->setFocusPolicy(Qt::TabFocus);
    wholeBook_->setFocusPolicy(Qt::TabFocus);
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(field_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 3, 6, 3);
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    column->addLayout(layout);
    column->addWidget(list_, 1);
    layout->addWidget(caption);
    layout->addWidget(field_, 1);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(result_, 1);
    layout->addWidget(wholeBook_);
    layout->addWidget(close_);

    connect(field_, &QLineEdit::textEdited, this, [this] {
        if (searchesWholeBook())
            searchBookFor(field_->text());
        else
            search(false);
    });
    connect(wholeBook_, &QCheckBox::toggled, this, &FindBar::setWholeBook);
    connect(list_, &QListWidget::itemActivated, this, &FindBar::openMatch);
    connect(list_, &QListWidget::itemClicked, this, &FindBar::openMatch);
    connect(previous_, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next_, &QPushButton::clicked, this, &FindBar::findNext);
    connect(close_, &QPushButton::clicked, this, &FindBar::close);
    // A new page has other matches: count them again.
    connect(view, &QWebEngineView::loadFinished, this, [this] {
        if (landingPending_)
            landOnMatch();
        else if (isVisible() && !field_->text().isEmpty() && !searchesWholeBook())
            search(false);
    });
    field_->installEventFilter(this);
    over->installEventFilter(this);
    hide();
}

void FindBar::searchBook(const QString& folder, const QString& startPage,
                         const QStringList& leftOut)
{
    delete book_;
    book_ = new BookSearch(folder, startPage, leftOut, this);
    connect(book_, &BookSearch::pageMatched, this, &FindBar::addMatches);
    connect(book_, &BookSearch::finished, this, &FindBar::finishBookSearch);
    wholeBook_->setEnabled(true);
}

bool FindBar::searchesWholeBook() const
{
    return book_ && wholeBook_->isChecked();
}

void FindBar::openWholeBook()
{
    if (!book_) {
        open();
        return;
    }
    const bool wasOpen = isVisible();
    if (!wholeBook_->isChecked())
        wholeBook_->setChecked(true);  // searches the text already there
    else if (!wasOpen && !field_->text().isEmpty())
        searchBookFor(field_->text());
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
        searchBookFor(field_->text());
    } else {
        if (book_)
            book_->cancel();
        list_->clear();
        if (isVisible())
            search(false);
    }
    place();
}

void FindBar::searchBookFor(const QString& text)
{
    list_->clear();
    bookMatches_ = 0;
    bookPages_ = 0;
    if (text.trimmed().isEmpty()) {
        book_->cancel();
        showBookCount(QString());
        return;
    }
    showBookCount(QStringLiteral("Searching\u2026"));
    book_->start(text);
}

void FindBar::addMatches(const PageMatches& matches)
{
    bookMatches_ += matches.count;
    ++bookPages_;
    const QString title = matches.title + QStringLiteral(" \u2014 ");
    for (const BookMatch& match : matches.matches) {
        auto* item = new QListWidgetItem(title + match.context);
        item->setData(PathRole, matches.path);
        item->setData(OccurrenceRole, match.occurrence);
        item->setData(MarkStartRole, int(title.size()) + match.markStart);
        item->setData(MarkLengthRole, match.markLength);
        list_->addItem(item);
    }
    if (!list_->currentItem() && list_->count() > 0)
        list_->setCurrentRow(0);
    showBookCount(counted(bookMatches_, "match", "matches") + QStringLiteral(" in ")
                  + counted(bookPages_, "page", "pages"));
}

void FindBar::finishBookSearch(const SearchSummary& summary)
{
    const auto note = [this](const QString& text) {
        auto* item = new QListWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled);  // read, not chosen
        list_->addItem(item);
    };
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    if (summary.matches > BookSearch::kMaxListed)
        note(QStringLiteral("first %1 of %2 shown")
                 .arg(english.toString(BookSearch::kMaxListed), english.toString(summary.matches)));
    if (summary.skipped > 0)
        note(counted(summary.skipped, "page", "pages") + QStringLiteral(" could not be read"));
    if (summary.matches == 0)
        showBookCount(QStringLiteral("No matches"));
    else
        showBookCount(counted(summary.matches, "match", "matches") + QStringLiteral(" in ")
                      + counted(summary.pages, "page", "pages"));
}

void FindBar::showBookCount(const QString& text)
{
    result_->setText(text);
    setAccessibleDescription(text);
}

void FindBar::moveInList(int step)
{
    for (int row = list_->currentRow() + step; row >= 0 && row < list_->count(); row += step) {
        if (list_->item(row)->flags() & Qt::ItemIsSelectable) {
            list_->setCurrentRow(row);
            list_->scrollToItem(list_->item(row));
            return;
        }
    }
}

void FindBar::openMatch(QListWidgetItem* item)
{
    if (!item || !(item->flags() & Qt::ItemIsSelectable) || !view_)
        return;
    list_->setCurrentItem(item);
    const QUrl url = QUrl::fromLocalFile(item->data(PathRole).toString());
    landingText_ = field_->text().simplified();
    landingOccurrence_ = item->data(OccurrenceRole).toInt();
    landingPending_ = true;
    ++serial_;
    if (view_->url().adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) == url)
        landOnMatch();
    else
        view_->setUrl(url);  // followed like a link: Back returns to the page before
}

void FindBar::landOnMatch()
{
    landingPending_ = false;
    if (!view_ || landingText_.isEmpty())
        return;
    disconnect(unselect_);
    // The page search counts matches as the book search does, in the order of the page; the
    // match wanted is reached by stepping to it.
    const int serial = ++serial_;
    QPointer<FindBar> self(this);
    view_->page()->findText(QString());
    view_->page()->findText(landingText_, {},
                            [self, serial](const QWebEngineFindTextResult& result) {
                                if (self)
                                    self->stepToOccurrence(serial, result);
                            });
}

void FindBar::stepToOccurrence(int serial, const QWebEngineFindTextResult& result)
{
    if (serial != serial_ || !view_)
        return;
    matches_ = result.numberOfMatches();
    const int wanted = qMin(landingOccurrence_, result.numberOfMatches());
    if (result.activeMatch() >= wanted || result.activeMatch() <= 0)
        return;
    QPointer<FindBar> self(this);
    view_->page()->findText(landingText_, {}, [self, serial](const QWebEngineFindTextResult& next) {
        if (self)
            self->stepToOccurrence(serial, next);
    });
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
    landingPending_ = false;
    if (book_)
        book_->cancel();
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
    if (searchesWholeBook()) {
        moveInList(1);
        openMatch(list_->currentItem());
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
        moveInList(-1);
        openMatch(list_->currentItem());
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
}

void FindBar::place()
{
    int height = sizeHint().height();
    if (list_->isVisibleTo(this))
        height = qMax(height, qMax(kMinListHeight, int(over_->height() * kListShare)));
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
            moveInList(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openMatch(list_->currentItem());
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
