// Times the whole-book search as the find bar runs it: on its worker thread, with each
// page's matches added to a list on this thread as they arrive (as the bar adds its rows),
// while a timer on this thread notes the longest time the event loop did not get round to it.
//
// Usage: search_harness FOLDER FIRST_QUERY LATER_QUERY [LATER_RUNS]
// Prints "name value" lines: first_ms, first_results_ms, later_ms (median of the later runs),
// later_first_results_ms, stall_ms (longest over all searches), reading_reports (how often the
// first search said how far it had read), cancel_ms and read_after_cancel (a first search
// cancelled at its first such report: the time until its worker let go, and the pages it
// opened meanwhile), matches, pages, kept_bytes,
// text_bytes, and the process's memory: rss_before_mib (before the first search),
// rss_after_mib (after the last, with the pages' text kept) and peak_rss_mib.
#include "platform/search/BookSearch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

struct Run {
    double totalMs = 0;
    double firstResultsMs = -1;
    double stallMs = 0;
    int readingReports = 0;
    platform::SearchSummary summary;
};

// The find bar's count line while pages are read.
void showReading(QLabel& count, int pages, int total)
{
    const QLocale locale;
    count.setText(
        total > 0 ? QStringLiteral("Reading the book\u2026 %1 of %2 pages")
                        .arg(locale.toString(pages), locale.toString(total))
                  : QStringLiteral("Reading the book\u2026 %1 pages").arg(locale.toString(pages)));
}

Run runOnce(platform::BookSearch& search, QListWidget& list, QLabel& count, const QString& query)
{
    Run run;
    QEventLoop loop;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        run.stallMs = std::max(run.stallMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    const auto rows = QObject::connect(
        &search, &platform::BookSearch::pageMatched, &loop, [&](const platform::PageMatches& page) {
            if (run.firstResultsMs < 0)
                run.firstResultsMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            for (const platform::BookMatch& match : page.matches)
                list.addItem(page.title + QStringLiteral(" \u2014 ") + match.context);
        });
    const auto reading = QObject::connect(&search, &platform::BookSearch::readingPages, &loop,
                                          [&](int pages, int total) {
                                              ++run.readingReports;
                                              showReading(count, pages, total);
                                          });
    const auto done = QObject::connect(&search, &platform::BookSearch::finished, &loop,
                                       [&](const platform::SearchSummary& summary) {
                                           run.summary = summary;
                                           run.totalMs
                                               = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                                           loop.quit();
                                       });
    list.clear();
    clock.start();
    sinceTick.start();
    tick.start();
    search.start(query);
    loop.exec();
    QObject::disconnect(rows);
    QObject::disconnect(reading);
    QObject::disconnect(done);
    return run;
}

struct Cancelled {
    double ms = -1;  // from cancel() until the worker let go
    quint64 pagesRead = 0;  // pages opened meanwhile
};

// A first search of the book, cancelled as soon as it says how far it has read.
Cancelled cancelWhileReading(const QString& folder, const QString& query)
{
    platform::BookSearch search(folder, folder + QStringLiteral("/start.html"),
                                {folder + QStringLiteral("/Quorvel 101.HTM")});
    QEventLoop loop;
    QObject::connect(&search, &platform::BookSearch::readingPages, &loop, &QEventLoop::quit);
    QObject::connect(&search, &platform::BookSearch::finished, &loop, &QEventLoop::quit);
    search.start(query);
    loop.exec();
    Cancelled cancelled;
    if (!search.isRunning())
        return cancelled;  // read before its first report
    const quint64 read = search.index().pagesRead();
    QElapsedTimer clock;
    clock.start();
    search.cancel();
    while (search.isRunning())
        QThread::usleep(100);
    cancelled.ms = double(clock.nsecsElapsed()) / 1e6;
    cancelled.pagesRead = search.index().pagesRead() - read;
    return cancelled;
}

double residentMib()
{
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakResidentMib()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: search_harness FOLDER FIRST_QUERY LATER_QUERY [RUNS]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int laterRuns = argc > 4 ? std::max(1, atoi(argv[4])) : 5;
    platform::BookSearch search(folder, folder + QStringLiteral("/start.html"),
                                {folder + QStringLiteral("/Quorvel 101.HTM")});
    QListWidget list;
    list.resize(600, 300);
    list.show();
    QLabel count;
    count.show();

    // The longest stall of an idle event loop on this machine, for comparison.
    double idleStall = 0;
    {
        QEventLoop loop;
        QElapsedTimer sinceTick;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            idleStall = std::max(idleStall, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        sinceTick.start();
        tick.start();
        loop.exec();
    }
    const double rssBefore = residentMib();
    const Run first = runOnce(search, list, count, QString::fromLocal8Bit(argv[2]));
    std::vector<double> later;
    std::vector<double> laterFirst;
    double stall = first.stallMs;
    Run last;
    for (int i = 0; i < laterRuns; ++i) {
        last = runOnce(search, list, count, QString::fromLocal8Bit(argv[3]));
        later.push_back(last.totalMs);
        laterFirst.push_back(last.firstResultsMs);
        stall = std::max(stall, last.stallMs);
    }
    std::printf("first_ms %.1f\nfirst_results_ms %.1f\nlater_ms %.1f\nlater_first_results_ms "
                "%.1f\nstall_ms %.1f\nmatches %d\npages %d\nsearched %d\nskipped %d\n"
                "kept_bytes %lld\ntext_bytes %lld\nidle_stall_ms %.1f\nrss_before_mib %.1f\n"
                "rss_after_mib %.1f\npeak_rss_mib %.1f\n",
                first.totalMs, first.firstResultsMs, median(later), median(laterFirst), stall,
                last.summary.matches, last.summary.pages, last.summary.searched,
                last.summary.skipped, static_cast<long long>(search.index().keptTextBytes()),
                static_cast<long long>(search.index().textBytes()), idleStall, rssBefore,
                residentMib(), peakResidentMib());
    const Cancelled cancelled = cancelWhileReading(folder, QString::fromLocal8Bit(argv[2]));
    std::printf("reading_reports %d\ncancel_ms %.1f\nread_after_cancel %llu\n",
                first.readingReports, cancelled.ms,
                static_cast<unsigned long long>(cancelled.pagesRead));
    return 0;
}
