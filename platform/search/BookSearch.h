#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

// Text folded for finding: case-blind (Unicode case folding) and accent-blind (decomposed,
// combining marks dropped), as UTF-8, with typographic quotes, primes, dashes, spaces and
// ligatures read as typed (’ as ', “ as ", – as -, ﬁ as fi). Runs of white space become one
// space. The same for every locale.
QByteArray foldForSearch(const QString& text);
// The folded form of one character that is not ASCII.
QByteArray foldCharacter(char32_t c);

// One match: a line of context around it with the match's place in that line, and which
// match of its page it is (the first is 1), counted as the page search counts them.
struct BookMatch {
    QString context;
    int markStart = 0;
    int markLength = 0;
    int occurrence = 0;
};

// The matches in one page, in the order they stand in it.
struct PageMatches {
    int order = 0;  // the page's place in reading order, from 0
    QString path;
    QString title;
    int count = 0;  // every match in the page
    QList<BookMatch> matches;  // those listed, at most the search's limit over all pages
};

struct SearchSummary {
    int matches = 0;
    int pages = 0;  // pages with a match
    int searched = 0;
    int skipped = 0;  // linked pages that could not be read (see BookIndex::search)
    bool cancelled = false;
};

// The text of a book's pages as read by BookIndex, kept to search again.
struct IndexedPage {
    qint64 size = -1;
    QDateTime modified;
    bool readable = false;
    QString title;
    QByteArray text;  // UTF-8, blocks on lines of their own
    QByteArray folded;  // foldForSearch(text)
    // (offset in folded, offset in text) after each character whose folded form is not as
    // long as it is; between two of them the offsets move together.
    std::vector<std::pair<qint32, qint32>> shifts;
    QStringList links;  // the pages it links to, as cleaned absolute paths, each once
};

// The pages of a book a reader reaches: the start page, then the pages its links lead to in
// link order, then theirs (breadth first), each page once. Only files ending in .html, .htm
// or .xhtml inside the folder count (the folder's confinement is the web view's, symbolic
// links followed); the pages left out are not read and not followed. A page's text is read
// when first searched and kept; a page whose size or time changed is read again.
class BookIndex {
public:
    BookIndex(const QString& folder, const QString& startPage, const QStringList& leftOut);

    // Searches every page in reading order and hands on each page with a match as soon as it
    // is done; onPage returning false stops the search (the summary says it was cancelled).
    // At most maxListed matches over all pages carry a context line. Pages that are missing,
    // unreadable, larger than kMaxPageBytes, not text, or outside the folder are skipped and
    // counted.
    SearchSummary search(const QString& query, int maxListed,
                         const std::function<bool(PageMatches&&)>& onPage);

    // Bytes held for the pages' text (text, folded text and their offsets), and the size of
    // the pages' text itself (UTF-8).
    qint64 keptTextBytes() const;
    qint64 textBytes() const;

private:
    const IndexedPage& page(const QString& realPath);

    QString folder_;
    QString startPage_;
    QStringList leftOut_;
    mutable QMutex mutex_;
    QHash<QString, IndexedPage> pages_;
};

// Runs a BookIndex's searches on a worker thread, one at a time, a new one cancelling the
// last; the pages' matches arrive on the owner's thread page by page.
class BookSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxListed = 1000;

    BookSearch(const QString& folder, const QString& startPage, const QStringList& leftOut,
               QObject* parent = nullptr);
    ~BookSearch() override;

    void start(const QString& query);
    void cancel();
    bool isRunning() const { return running_; }
    const BookIndex& index() const { return *index_; }

signals:
    void pageMatched(const platform::PageMatches& matches);
    void finished(const platform::SearchSummary& summary);

private:
    std::shared_ptr<BookIndex> index_;
    std::shared_ptr<std::atomic<int>> generation_;
    QThreadPool pool_;
    bool running_ = false;
};

}  // namespace platform
