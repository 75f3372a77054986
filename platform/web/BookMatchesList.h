#pragma once

#include <QListWidget>
#include <QPointer>

class QWebEngineView;

namespace platform {

class BookSearch;
struct PageMatches;
struct SearchSummary;

// The list of every match in the whole book, one row per match with its chapter and a line of
// context, the match itself drawn in bold on the highlight colour. It runs the book's search
// and words its count for the find bar's count line: "Reading the book… 1,234 of 5,001 pages"
// while the first search reads the pages, then "N matches in M pages" or "No matches". A
// match chosen opens its page in the view like a link; once the page is there, landOn asks
// for that match to be selected.
class BookMatchesList : public QListWidget {
    Q_OBJECT
public:
    BookMatchesList(QWebEngineView* view, QWidget* parent);

    // The book searched: its folder, start page and the pages left out.
    void searchBook(const QString& folder, const QString& startPage, const QStringList& leftOut);
    bool hasBook() const { return book_ != nullptr; }
    // Lists the matches of the text, replacing those listed; empty text lists nothing.
    void searchFor(const QString& text);
    // Stops the search, its reading of pages and a landing still to come.
    void stop();
    // Moves the current row by step, over the rows that are no match.
    void moveBy(int step);
    // Opens the page of the current row at its match.
    void openCurrent() { openMatch(currentItem()); }

signals:
    // The count line's words; empty while there is nothing to count.
    void countChanged(const QString& text);
    // A match was chosen: answers still due about the page shown no longer count.
    void matchOpened();
    // The page of the chosen match is shown: select the occurrence-th match of text in it.
    void landOn(const QString& text, int occurrence);

private:
    void addMatches(const PageMatches& matches);
    void showReading(int pages, int total);
    void finish(const SearchSummary& summary);
    void openMatch(QListWidgetItem* item);

    QPointer<QWebEngineView> view_;
    BookSearch* book_ = nullptr;
    QString query_;
    int matches_ = 0;
    int pages_ = 0;
    // Whether the count line tells of the pages read rather than of the matches so far.
    bool reading_ = false;
    // The match to land on once its page has loaded.
    QString landingText_;
    int landingOccurrence_ = 0;
    bool landingPending_ = false;
};

}  // namespace platform
