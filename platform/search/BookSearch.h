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
#include <deque>
#include <functional>
#include <memory>
#include <utility>

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
    int skipped = 0;  // pages not read, or not to their end (see BookIndex::search)
    bool cancelled = false;
};

// How a search that reads pages is followed and stopped.
struct SearchWatch {
    // Asked before each page and now and then while one is read: false stops the search,
    // and a page stopped half-way is not kept.
    std::function<bool()> wanted;
    // After each page read from its file (not from the text kept): the pages gone through so
    // far in this search, and the book's pages as its last whole walk counted them (0 before
    // there was one).
    std::function<void(int pages, int total)> pageRead;
};

// The text of a book's pages as read by BookIndex, kept to search again.
struct IndexedPage {
    qint64 size = -1;
    QDateTime modified;
    bool readable = false;
    bool whole = false;  // read to its end (see PageText::whole)
    QString title;
    QByteArray text;  // UTF-8, blocks on lines of their own
    QByteArray folded;  // foldForSearch(text)
    // Whether every character folds to as many bytes as it has, so that an offset in folded
    // is the same offset in text; where not, the two are walked side by side to map a match.
    bool sameOffsets = true;
    QStringList links;  // the pages it links to, as cleaned absolute paths, each once
    quint64 readAt = 0;  // when it was read, in the index's count of pages read
};

// The most the index keeps of its pages (text, folded text, links) over all pages: 128 MiB,
// about what a page of the largest size read (kMaxPageBytes) may take, and many times the
// text of the sample book. Beyond it the pages read longest ago are dropped, and read again
// when next searched.
constexpr qint64 kMaxKeptTextBytes = qint64(128) << 20;

// The pages of a book a reader reaches: the start page, then the pages its links lead to in
// link order, then theirs (breadth first), each page once. Only files ending in .html, .htm
// or .xhtml inside the folder count (the folder's confinement is the web view's, symbolic
// links followed); the pages left out are not read and not followed. A page is opened at the
// real path that was checked, following no link on the way, so a folder changed meanwhile
// cannot lead it outside. A page's text is read when first searched and kept, up to
// maxKeptBytes over all pages; a page whose size or time changed is read again.
class BookIndex {
public:
    BookIndex(const QString& folder, const QString& startPage, const QStringList& leftOut,
              qint64 maxKeptBytes = kMaxKeptTextBytes);

    // Searches every page in reading order and hands on each page with a match as soon as it
    // is done; onPage returning false stops the search (the summary says it was cancelled).
    // At most maxListed matches over all pages carry a context line. Pages that are missing,
    // unreadable, larger than kMaxPageBytes, not text, or outside the folder are skipped and
    // counted; so is a page the parser could not read to its end, whose text up to there is
    // searched all the same. The watch, where given, is told of each page read from its file
    // and may stop the search between pages and in the middle of reading one.
    SearchSummary search(const QString& query, int maxListed,
                         const std::function<bool(PageMatches&&)>& onPage,
                         const SearchWatch& watch = {});

    // The readable page that follows the given one in reading order; empty after the last
    // page, or when the given one is not in the book (the start page's links never lead
    // there, or it is left out).
    QString pageAfter(const QString& path);

    // Bytes held for the pages' text (text and folded text), and the size of the pages' text
    // itself (UTF-8).
    qint64 keptTextBytes() const;
    qint64 textBytes() const;
    // How many times a page has been opened and read over the index's life; asked without
    // waiting for a search under way.
    quint64 pagesRead() const { return reads_.load(); }

private:
    // Null when the watch stopped the reading.
    const IndexedPage* page(const QString& realPath, const SearchWatch& watch);
    void keepWithinCeiling(quint64 newest);
    // Visits the readable pages in reading order until visit returns false or the watch
    // stops it; returns how many linked pages could not be read. Called with the mutex held.
    int walk(const std::function<bool(const QString& path, const IndexedPage& page)>& visit,
             const SearchWatch& watch = {});

    QString folder_;
    QString startPage_;
    QStringList leftOut_;
    qint64 maxKeptBytes_;
    mutable QMutex mutex_;
    QHash<QString, IndexedPage> pages_;
    qint64 keptBytes_ = 0;
    std::atomic<quint64> reads_{0};
    int bookPages_ = 0;  // as the last whole walk counted them
    std::deque<std::pair<quint64, QString>> readOrder_;  // (readAt, path), oldest first
};

// Runs a BookIndex's searches on a worker thread, one at a time, a new one cancelling the
// last; the pages' matches arrive on the owner's thread page by page, and while pages are
// read from their files, how far the reading has come, a few times a second.
class BookSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxListed = 1000;

    BookSearch(const QString& folder, const QString& startPage, const QStringList& leftOut,
               QObject* parent = nullptr);
    ~BookSearch() override;

    void start(const QString& query);
    // Stops the search under way, reading included: the worker leaves it at its next page,
    // or sooner inside a long one.
    void cancel();
    // A search is under way, or a cancelled one has yet to let go of the worker.
    bool isRunning() const { return running_ || working_.load() > 0; }
    const BookIndex& index() const { return *index_; }

signals:
    void pageMatched(const platform::PageMatches& matches);
    // The search is reading pages from their files: it has gone through this many pages of
    // the book, of total (0 while the book's size is not known yet).
    void readingPages(int pages, int total);
    void finished(const platform::SearchSummary& summary);

private:
    std::shared_ptr<BookIndex> index_;
    std::shared_ptr<std::atomic<int>> generation_;
    QThreadPool pool_;
    bool running_ = false;
    std::atomic<int> working_{0};  // searches started and not yet left by the worker
};

}  // namespace platform
