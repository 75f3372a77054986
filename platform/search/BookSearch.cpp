#include "platform/search/BookSearch.h"

#include "platform/runtime/FolderConfinement.h"
#include "platform/search/BookText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>
#include <QUrl>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <functional>
#include <queue>

namespace platform {

namespace {

// Context shown before and after a match, in characters, cut at a word.
constexpr int kContextBefore = 40;
constexpr int kContextAfter = 70;
// How often a running search hands its pages' matches to the owner's thread.
constexpr qint64 kHandOverEveryMs = 30;
// How often at most a search that reads pages says how far it has come.
constexpr qint64 kReportEveryMs = 100;

// Decodes the character at bytes[at] of valid UTF-8 and moves past it.
char32_t nextCharacter(const QByteArray& bytes, qsizetype& at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead
        : length == 2        ? (lead & 0x1F)
        : length == 3        ? (lead & 0x0F)
                             : (lead & 0x07);
    for (int i = 1; i < length && at + i < bytes.size(); ++i)
        c = (c << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
    at += length;
    return c;
}

// What books set in their typography stands for what a reader types: curly quotes and
// primes, dashes, the narrow and no-break spaces and the common ligatures.
const char* typedForm(char32_t c)
{
    switch (c) {
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x02BC:
    case 0x2032:
        return "'";
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033:
        return "\"";
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
        return "-";
    case 0x00A0:
    case 0x2002:
    case 0x2003:
    case 0x2004:
    case 0x2005:
    case 0x2006:
    case 0x2007:
    case 0x2008:
    case 0x2009:
    case 0x200A:
    case 0x202F:
    case 0x205F:
        return " ";
    case 0xFB00:
        return "ff";
    case 0xFB01:
        return "fi";
    case 0xFB02:
        return "fl";
    case 0xFB03:
        return "ffi";
    case 0xFB04:
        return "ffl";
    default:
        return nullptr;
    }
}

}  // namespace

QByteArray foldCharacter(char32_t c)
{
    // A Hangul syllable stays whole: decomposed into its letters it would take three times
    // its bytes in the index, and pages write syllables whole.
    if (c >= 0xAC00 && c <= 0xD7A3)
        return QString::fromUcs4(&c, 1).toUtf8();
    thread_local QHash<char32_t, QByteArray> folded;
    if (const auto found = folded.constFind(c); found != folded.constEnd())
        return *found;
    if (const char* typed = typedForm(c))
        return *folded.insert(c, QByteArray(typed));
    const QString decomposed
        = QString::fromUcs4(&c, 1).toCaseFolded().normalized(QString::NormalizationForm_D);
    QString kept;
    for (const QChar part : decomposed)
        if (part.category() != QChar::Mark_NonSpacing)
            kept.append(part);
    QByteArray result = kept.toCaseFolded().toUtf8();
    folded.insert(c, result);
    return result;
}

namespace {

// Folds UTF-8 text, noting whether folded and original offsets ever part.
QByteArray foldUtf8(const QByteArray& text, bool* sameOffsets)
{
    QByteArray folded;
    folded.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            folded.append(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte));
            ++at;
            continue;
        }
        const qsizetype start = at;
        const QByteArray part = foldCharacter(nextCharacter(text, at));
        folded.append(part);
        if (sameOffsets && part.size() != at - start)
            *sameOffsets = false;
    }
    return folded;
}

// Maps offsets in a page's folded text to offsets in its text, walking both side by side
// from where it last stopped: a page's matches are mapped in order, so a search walks a page
// at most once. Keeping a map instead would cost more than the text for some pages (one entry
// per accented letter).
class OffsetMap {
public:
    explicit OffsetMap(const IndexedPage& page) : page_(page) { }

    // The start, in the text, of the character whose folded form holds the folded offset.
    qsizetype start(qsizetype folded)
    {
        if (page_.sameOffsets)
            return folded;
        while (text_ < page_.text.size()) {
            qsizetype next = text_;
            const qsizetype length = foldedLength(next);
            if (folded_ + length > folded)
                break;
            folded_ += length;
            text_ = next;
        }
        return text_;
    }

    // The end, in the text, of the character whose folded form ends at the folded offset,
    // with the marks that follow it (they fold to nothing).
    qsizetype end(qsizetype folded)
    {
        if (page_.sameOffsets)
            return folded;
        while (text_ < page_.text.size()) {
            qsizetype next = text_;
            const qsizetype length = foldedLength(next);
            if (folded_ >= folded && length > 0)
                break;
            folded_ += length;
            text_ = next;
        }
        return text_;
    }

private:
    // The length of the folded form of the character at `at`, which it moves past, as
    // foldUtf8 folds it.
    qsizetype foldedLength(qsizetype& at) const
    {
        if (static_cast<unsigned char>(page_.text[at]) < 0x80) {
            ++at;
            return 1;
        }
        return foldCharacter(nextCharacter(page_.text, at)).size();
    }

    const IndexedPage& page_;
    qsizetype text_ = 0;
    qsizetype folded_ = 0;
};

BookMatch contextOf(const IndexedPage& page, qsizetype start, qsizetype end, int occurrence)
{
    const qsizetype lineStart = page.text.lastIndexOf('\n', start - 1) + 1;
    qsizetype lineEnd = page.text.indexOf('\n', end);
    if (lineEnd < 0)
        lineEnd = page.text.size();
    QString before = QString::fromUtf8(page.text.mid(lineStart, start - lineStart));
    const QString found = QString::fromUtf8(page.text.mid(start, end - start));
    QString after = QString::fromUtf8(page.text.mid(end, lineEnd - end));
    if (before.size() > kContextBefore) {
        before = before.right(kContextBefore);
        const qsizetype space = before.indexOf(QLatin1Char(' '));
        if (space >= 0 && space < before.size() - 1)
            before = before.mid(space + 1);
        before.prepend(QChar(0x2026));
    }
    if (after.size() > kContextAfter) {
        after.truncate(kContextAfter);
        const qsizetype space = after.lastIndexOf(QLatin1Char(' '));
        if (space > 0)
            after.truncate(space);
        after.append(QChar(0x2026));
    }
    BookMatch match;
    match.context = before + found + after;
    match.markStart = int(before.size());
    match.markLength = int(found.size());
    match.occurrence = occurrence;
    return match;
}

// The search yields to the window's thread whenever both want the processor.
void givePriorityToTheWindow()
{
#ifdef Q_OS_LINUX
    // Niceness is per thread on Linux; QThread's priorities do nothing for ordinary threads.
    thread_local const bool lowered = setpriority(PRIO_PROCESS, pid_t(gettid()), 10) == 0;
    Q_UNUSED(lowered);
#endif
}

bool isPageName(const QString& path)
{
    return path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".xhtml"), Qt::CaseInsensitive);
}

// The pages a page links to, as cleaned absolute paths, in link order and each once.
QStringList pageLinks(const QString& pagePath, const QStringList& hrefs)
{
    const QUrl base = QUrl::fromLocalFile(pagePath);
    QStringList links;
    QSet<QString> seen;
    for (const QString& href : hrefs) {
        const QUrl link(href.trimmed());
        if (!link.isValid() || (!link.scheme().isEmpty() && link.scheme() != QLatin1String("file")))
            continue;
        const QUrl resolved = base.resolved(link);
        if (resolved.scheme() != QLatin1String("file") || !resolved.host().isEmpty())
            continue;
        const QString path = QDir::cleanPath(resolved.toLocalFile());
        if (path.isEmpty() || path == pagePath || !isPageName(path) || seen.contains(path))
            continue;
        seen.insert(path);
        links.append(path);
    }
    return links;
}

}  // namespace

QByteArray foldForSearch(const QString& text)
{
    return foldUtf8(text.simplified().toUtf8(), nullptr);
}

BookIndex::BookIndex(const QString& folder, const QString& startPage, const QStringList& leftOut,
                     qint64 maxKeptBytes)
    : folder_(canonicalFolder(folder)),
      startPage_(QDir::cleanPath(startPage)),
      maxKeptBytes_(maxKeptBytes)
{
    for (const QString& path : leftOut) {
        const QString real = QFileInfo(path).canonicalFilePath();
        leftOut_.append(real.isEmpty() ? QDir::cleanPath(path) : real);
    }
}

namespace {

qint64 textBytesOf(const IndexedPage& page)
{
    return page.text.capacity() + page.folded.capacity();
}

// All a page holds, for the ceiling: a page of nothing but links holds more in them.
qint64 keptBytesOf(const IndexedPage& page)
{
    qint64 bytes = textBytesOf(page) + page.title.capacity() * qint64(sizeof(QChar));
    for (const QString& link : page.links)
        bytes += link.capacity() * qint64(sizeof(QChar));
    return bytes;
}

}  // namespace

const IndexedPage* BookIndex::page(const QString& realPath, const SearchWatch& watch)
{
    const QFileInfo info(realPath);
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    auto found = pages_.find(realPath);
    if (found != pages_.end() && found->size == size && found->modified == modified)
        return &*found;
    if (found != pages_.end()) {
        keptBytes_ -= keptBytesOf(*found);
        pages_.erase(found);
    }
    IndexedPage page;
    page.size = size;
    page.modified = modified;
    page.readAt = ++reads_;
    QFile file;
    // Opened first, then read from what was opened: the check that led here was made on the
    // path, and the folder may have changed since.
    if (info.isFile() && size <= kMaxPageBytes && openFileInFolder(file, folder_, realPath)) {
        // A file that grows while it is read is still read no further than the limit.
        const QByteArray bytes = file.read(kMaxPageBytes + 1);
        file.close();
        bool isPage = false;
        PageText text = readPageText(bytes, &isPage, watch.wanted);
        // A page left half-read would be searched as if that were all of it next time.
        if (watch.wanted && !watch.wanted())
            return nullptr;
        if (isPage) {
            page.readable = true;
            page.whole = text.whole;
            page.title = text.title.isEmpty() ? info.fileName() : text.title;
            page.text = std::move(text.text);
            page.text.squeeze();  // the text is kept
            page.folded = foldUtf8(page.text, &page.sameOffsets);
            page.folded.squeeze();
            page.links = pageLinks(realPath, text.links);
        }
    }
    keptBytes_ += keptBytesOf(page);
    readOrder_.emplace_back(page.readAt, realPath);
    const quint64 readAt = page.readAt;
    pages_.emplace(realPath, std::move(page));
    keepWithinCeiling(readAt);
    return &*pages_.constFind(realPath);
}

void BookIndex::keepWithinCeiling(quint64 newest)
{
    // Oldest first; the page just read stays even when it alone is above the ceiling, as it
    // is being searched. Entries of pages read again since then are only dropped.
    const auto isStale = [this](const std::pair<quint64, QString>& entry) {
        const auto found = pages_.constFind(entry.second);
        return found == pages_.cend() || found->readAt != entry.first;
    };
    while (!readOrder_.empty() && readOrder_.front().first != newest) {
        if (!isStale(readOrder_.front())) {
            if (keptBytes_ <= maxKeptBytes_)
                break;
            const auto found = pages_.find(readOrder_.front().second);
            keptBytes_ -= keptBytesOf(*found);
            pages_.erase(found);
        }
        readOrder_.pop_front();
    }
    if (readOrder_.size() > 2 * size_t(pages_.size()) + 16)
        readOrder_.erase(std::remove_if(readOrder_.begin(), readOrder_.end(), isStale),
                         readOrder_.end());
}

int BookIndex::walk(const std::function<bool(const QString&, const IndexedPage&)>& visit,
                    const SearchWatch& watch)
{
    int skipped = 0;
    std::queue<QString> queue;
    QSet<QString> seenLinks;  // as written, so that each link is looked up once
    QSet<QString> queued;  // real paths
    const auto offer = [&](const QString& path) {
        if (seenLinks.contains(path))
            return;
        seenLinks.insert(path);
        // Missing, or (symbolic links followed) outside the folder.
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty() || !isRealPathInFolder(folder_, canonical)) {
            ++skipped;
            return;
        }
        if (queued.contains(canonical) || leftOut_.contains(canonical))
            return;
        queued.insert(canonical);
        queue.push(canonical);
    };
    offer(startPage_);

    int gone = 0;  // pages taken from the queue
    while (!queue.empty()) {
        if (watch.wanted && !watch.wanted())
            return skipped;
        const QString path = queue.front();
        queue.pop();
        const quint64 readsBefore = reads_.load();
        const IndexedPage* const found = this->page(path, watch);
        if (!found)
            return skipped;
        const IndexedPage& page = *found;
        ++gone;
        if (watch.pageRead && reads_.load() != readsBefore)
            watch.pageRead(gone, bookPages_);
        if (!page.readable) {
            ++skipped;
            continue;
        }
        // Read only in part: its text up to there is searched, and it counts as not read.
        if (!page.whole)
            ++skipped;
        for (const QString& link : page.links)
            offer(link);
        if (!visit(path, page))
            return skipped;
    }
    bookPages_ = gone;
    return skipped;
}

SearchSummary BookIndex::search(const QString& query, int maxListed,
                                const std::function<bool(PageMatches&&)>& onPage,
                                const SearchWatch& watch)
{
    const QMutexLocker lock(&mutex_);
    SearchSummary summary;
    const QByteArray needle = foldForSearch(query);
    if (needle.isEmpty())
        return summary;
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    int listed = 0;
    int order = 0;
    summary.skipped = walk(
        [&](const QString& path, const IndexedPage& page) {
            ++summary.searched;
            PageMatches matches;
            matches.order = order++;
            OffsetMap offsets(page);
            const auto* const begin = page.folded.begin();
            for (const auto* at = begin; at != page.folded.end();) {
                const auto [from, to] = searcher(at, page.folded.end());
                if (from == page.folded.end())
                    break;
                ++matches.count;
                if (listed < maxListed) {
                    ++listed;
                    const qsizetype start = offsets.start(from - begin);
                    const qsizetype end = offsets.end(to - begin);
                    matches.matches.append(contextOf(page, start, end, matches.count));
                }
                at = to;
            }
            if (matches.count == 0)
                return true;
            summary.matches += matches.count;
            ++summary.pages;
            matches.path = path;
            matches.title = page.title;
            if (!onPage(std::move(matches))) {
                summary.cancelled = true;
                return false;
            }
            return true;
        },
        watch);
    if (watch.wanted && !watch.wanted())
        summary.cancelled = true;
    return summary;
}

QString BookIndex::pageAfter(const QString& path)
{
    const QMutexLocker lock(&mutex_);
    const QString current = QFileInfo(path).canonicalFilePath();
    bool found = false;
    QString next;
    walk([&](const QString& page, const IndexedPage&) {
        if (found) {
            next = page;
            return false;
        }
        found = page == current;
        return true;
    });
    return next;
}

qint64 BookIndex::keptTextBytes() const
{
    const QMutexLocker lock(&mutex_);
    qint64 bytes = 0;
    for (const IndexedPage& page : pages_)
        bytes += textBytesOf(page);
    return bytes;
}

qint64 BookIndex::textBytes() const
{
    const QMutexLocker lock(&mutex_);
    qint64 bytes = 0;
    for (const IndexedPage& page : pages_)
        bytes += page.text.size();
    return bytes;
}

BookSearch::BookSearch(const QString& folder, const QString& startPage, const QStringList& leftOut,
                       QObject* parent)
    : QObject(parent),
      index_(std::make_shared<BookIndex>(folder, startPage, leftOut)),
      generation_(std::make_shared<std::atomic<int>>(0))
{
    // One search at a time; a cancelled one stops at its next page.
    pool_.setMaxThreadCount(1);
}

BookSearch::~BookSearch()
{
    cancel();
    pool_.waitForDone();
}

void BookSearch::start(const QString& query)
{
    const int generation = ++*generation_;
    running_ = true;
    ++working_;
    // The worker may name this object: it outlives every search (see the destructor), and
    // what it posts here is dropped with it.
    BookSearch* self = this;
    pool_.start([self, index = index_, current = generation_, generation, query] {
        const auto stillWanted = [&] { return current->load() == generation; };
        if (!stillWanted()) {
            --self->working_;
            return;
        }
        givePriorityToTheWindow();
        // Pages are handed over in batches, the first at once and then a few times a second:
        // the owner's thread takes each batch in one go, and a batch per page of a large book
        // would keep it from everything else while they pile up.
        QList<PageMatches> batch;
        QElapsedTimer sinceHandOver;
        sinceHandOver.start();
        bool handedOver = false;
        const auto handOver = [&] {
            if (batch.isEmpty())
                return;
            QMetaObject::invokeMethod(
                self,
                [self, current, generation, pages = std::exchange(batch, {})] {
                    for (const PageMatches& matches : pages)
                        if (current->load() == generation)
                            emit self->pageMatched(matches);
                },
                Qt::QueuedConnection);
            handedOver = true;
            sinceHandOver.start();
        };
        // How far the reading has come, first once it has taken a moment (a book read in a
        // blink shows none) and then a few times a second: each report is a repaint.
        QElapsedTimer sinceReport;
        sinceReport.start();
        SearchWatch watch;
        watch.wanted = stillWanted;
        watch.pageRead = [&](int pages, int total) {
            if (sinceReport.elapsed() < kReportEveryMs)
                return;
            sinceReport.start();
            QMetaObject::invokeMethod(
                self,
                [self, current, generation, pages, total] {
                    if (current->load() == generation)
                        emit self->readingPages(pages, total);
                },
                Qt::QueuedConnection);
        };
        const SearchSummary summary = index->search(
            query, kMaxListed,
            [&](PageMatches&& matches) {
                if (!stillWanted())
                    return false;
                batch.append(std::move(matches));
                if (!handedOver || sinceHandOver.elapsed() >= kHandOverEveryMs)
                    handOver();
                return true;
            },
            watch);
        handOver();
        // Before the search is reported done, so that it is no longer running when it is.
        --self->working_;
        QMetaObject::invokeMethod(
            self,
            [self, current, generation, summary] {
                if (current->load() != generation)
                    return;
                self->running_ = false;
                emit self->finished(summary);
            },
            Qt::QueuedConnection);
    });
}

void BookSearch::cancel()
{
    ++*generation_;
    running_ = false;
}

}  // namespace platform
