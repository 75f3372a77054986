#include "platform/web/BookMatchesList.h"

#include "platform/search/BookSearch.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QWebEngineView>

namespace platform {

namespace {

enum MatchRole {
    PathRole = Qt::UserRole,
    OccurrenceRole,
    MarkStartRole,
    MarkLengthRole,
    TitleLengthRole,
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
        const int title = qMin(index.data(TitleLengthRole).toInt(), start);
        const bool selected = option.state & QStyle::State_Selected;
        const QColor ink
            = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &plain, plain.widget);
        area.adjust(2, 0, -2, 0);
        painter->save();
        painter->setClipRect(area);
        QFont bold = option.font;
        bold.setBold(true);
        const QFontMetrics plainMetrics(option.font);
        const QFontMetrics boldMetrics(bold);
        QString heading = text.left(title);
        QString before = text.mid(title, start - title);
        const QString mark = text.mid(start, length);
        // In a narrow list the chapter's name and the words before the match give way, so
        // that the match itself stays in sight.
        const int markWidth = boldMetrics.horizontalAdvance(mark);
        if (plainMetrics.horizontalAdvance(heading + before) + markWidth > area.width()) {
            const QString separator = QStringLiteral(" \u2014 ");
            if (heading.endsWith(separator)
                && plainMetrics.horizontalAdvance(heading) > area.width() / 3)
                heading = plainMetrics.elidedText(heading.chopped(separator.size()), Qt::ElideRight,
                                                  area.width() / 3)
                    + separator;
            before = plainMetrics.elidedText(
                before, Qt::ElideLeft,
                qMax(0, area.width() - plainMetrics.horizontalAdvance(heading) - markWidth));
        }
        const QString pieces[] = {heading + before, mark, text.mid(start + length)};
        int x = area.left();
        for (int i = 0; i < 3 && x < area.right(); ++i) {
            painter->setFont(i == 1 ? bold : option.font);
            painter->setPen(ink);
            const QFontMetrics metrics(painter->font());
            // What does not fit ends in an ellipsis.
            const QString piece
                = metrics.elidedText(pieces[i], Qt::ElideRight, area.right() + 1 - x);
            const int width = metrics.horizontalAdvance(piece);
            const QRect box(x, area.top(), width, area.height());
            if (i == 1 && !selected) {
                painter->fillRect(box, QColor(255, 200, 60));
                painter->setPen(Qt::black);
            }
            painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece);
            x += width;
            if (piece != pieces[i])
                break;
        }
        painter->restore();
    }
};

}  // namespace

BookMatchesList::BookMatchesList(QWebEngineView* view, QWidget* parent)
    : QListWidget(parent), view_(view)
{
    setObjectName(QStringLiteral("BookMatches"));
    setAccessibleName(QStringLiteral("Matches in the book"));
    setItemDelegate(new MatchDelegate(this));
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideRight);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QListWidget::itemActivated, this, &BookMatchesList::openMatch);
    connect(this, &QListWidget::itemClicked, this, &BookMatchesList::openMatch);
    connect(view, &QWebEngineView::loadFinished, this, [this] {
        if (!landingPending_)
            return;
        landingPending_ = false;
        if (!landingText_.isEmpty())
            emit landOn(landingText_, landingOccurrence_);
    });
}

void BookMatchesList::searchBook(const QString& folder, const QString& startPage,
                                 const QStringList& leftOut)
{
    delete book_;
    book_ = new BookSearch(folder, startPage, leftOut, this);
    connect(book_, &BookSearch::pageMatched, this, &BookMatchesList::addMatches);
    connect(book_, &BookSearch::readingPages, this, &BookMatchesList::showReading);
    connect(book_, &BookSearch::finished, this, &BookMatchesList::finish);
}

void BookMatchesList::searchFor(const QString& text)
{
    clear();
    matches_ = 0;
    pages_ = 0;
    reading_ = false;
    query_ = text;
    if (!book_)
        return;
    if (text.trimmed().isEmpty()) {
        book_->cancel();
        emit countChanged(QString());
        return;
    }
    emit countChanged(QStringLiteral("Searching\u2026"));
    book_->start(text);
}

void BookMatchesList::stop()
{
    if (book_)
        book_->cancel();
    landingPending_ = false;
}

void BookMatchesList::addMatches(const PageMatches& matches)
{
    matches_ += matches.count;
    ++pages_;
    const QString title = matches.title + QStringLiteral(" \u2014 ");
    for (const BookMatch& match : matches.matches) {
        auto* item = new QListWidgetItem(title + match.context);
        item->setData(PathRole, matches.path);
        item->setData(OccurrenceRole, match.occurrence);
        item->setData(MarkStartRole, int(title.size()) + match.markStart);
        item->setData(MarkLengthRole, match.markLength);
        item->setData(TitleLengthRole, int(title.size()));
        addItem(item);
    }
    if (!currentItem() && count() > 0)
        setCurrentRow(0);
    if (!reading_)
        emit countChanged(counted(matches_, "match", "matches") + QStringLiteral(" in ")
                          + counted(pages_, "page", "pages"));
}

void BookMatchesList::showReading(int pages, int total)
{
    // Large numbers, grouped as the reader's locale groups them.
    const QLocale locale;
    reading_ = true;
    emit countChanged(
        total > 0 ? QStringLiteral("Reading the book\u2026 %1 of %2 pages")
                        .arg(locale.toString(pages), locale.toString(total))
                  : QStringLiteral("Reading the book\u2026 %1 %2")
                        .arg(locale.toString(pages), QLatin1String(pages == 1 ? "page" : "pages")));
}

void BookMatchesList::finish(const SearchSummary& summary)
{
    reading_ = false;
    const auto note = [this](const QString& text) {
        auto* item = new QListWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled);  // read, not chosen
        addItem(item);
    };
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    if (summary.matches > BookSearch::kMaxListed)
        note(QStringLiteral("first %1 of %2 shown")
                 .arg(english.toString(BookSearch::kMaxListed), english.toString(summary.matches)));
    if (summary.skipped > 0)
        note(counted(summary.skipped, "page", "pages") + QStringLiteral(" could not be read"));
    if (summary.matches == 0)
        emit countChanged(QStringLiteral("No matches"));
    else
        emit countChanged(counted(summary.matches, "match", "matches") + QStringLiteral(" in ")
                          + counted(summary.pages, "page", "pages"));
}

void BookMatchesList::moveBy(int step)
{
    for (int row = currentRow() + step; row >= 0 && row < count(); row += step) {
        if (item(row)->flags() & Qt::ItemIsSelectable) {
            setCurrentRow(row);
            scrollToItem(item(row));
            return;
        }
    }
}

void BookMatchesList::openMatch(QListWidgetItem* item)
{
    if (!item || !(item->flags() & Qt::ItemIsSelectable) || !view_)
        return;
    setCurrentItem(item);
    const QUrl url = QUrl::fromLocalFile(item->data(PathRole).toString());
    landingText_ = query_.simplified();
    landingOccurrence_ = item->data(OccurrenceRole).toInt();
    emit matchOpened();
    if (view_->url().adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) == url) {
        landingPending_ = false;
        if (!landingText_.isEmpty())
            emit landOn(landingText_, landingOccurrence_);
    } else {
        landingPending_ = true;
        view_->setUrl(url);  // followed like a link: Back returns to the page before
    }
}

}  // namespace platform
