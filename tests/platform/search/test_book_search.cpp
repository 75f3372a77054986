#include "platform/search/BookSearch.h"
#include "platform/search/BookText.h"
#include "platform/search/ShownText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(platform::PageMatches)
Q_DECLARE_METATYPE(platform::SearchSummary)

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
}

struct Found {
    QStringList pages;  // file names, in the order handed on
    QStringList rows;  // "title: context" with the match in [brackets]
    platform::SearchSummary summary;
};

Found searchIn(platform::BookIndex& index, const QString& query)
{
    Found found;
    found.summary = index.search(query, 1000, [&](platform::PageMatches&& page) {
        found.pages << QFileInfo(page.path).fileName();
        for (const platform::BookMatch& m : page.matches) {
            QString context = m.context;
            context.insert(m.markStart + m.markLength, QLatin1Char(']'));
            context.insert(m.markStart, QLatin1Char('['));
            found.rows << page.title + QStringLiteral(": ") + context;
        }
        return true;
    });
    return found;
}

// A book whose pages link to each other in an order of their own, with a page left out.
void writeLinkedBook(const QTemporaryDir& dir)
{
    write(dir.filePath("start.html"),
          "<a href='b.html#top'>b</a><a href='sub/a.htm?x'>a</a><a href='whole.HTM'>all</a>"
          "<a href='http://example.invalid/x.html'>web</a><a href='pic.png'>pic</a> knot");
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    write(dir.filePath("b.html"),
          "<title>Bee</title><a href='start.html'>up</a> knot "
          "<a href='sub/a.htm'>a</a><a href='c.html'>c</a>");
    write(dir.filePath("sub/a.htm"), "<h1>Ay</h1><a href='../c.html'>c</a> KNOT knot");
    write(dir.filePath("c.html"), "<p>knot");
    write(dir.filePath("whole.HTM"), "<p>knot everywhere");
    write(dir.filePath("lone.html"), "<p>no link leads here");
}

}  // namespace

// The whole-book search without a web view: what is read of a page, how text is matched,
// the order of pages, and books made to break it.
class BookSearchTest : public QObject {
    Q_OBJECT

private slots:
    void pageTextIsWhatAPersonReads_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("inline tags join words")
            << QByteArray("<title>T</title><p>Quor<b>vel</b> <i>is</i>\n  fun</p><p>Two</p>")
            << "Quorvel is fun\nTwo"
            << "T";
        QTest::newRow("entities") << QByteArray("<p>caf&eacute; &amp; &#x263A;&nbsp;x &lt;b&gt;")
                                  << QString::fromUtf8("café & \u263A x <b>") << "";
        QTest::newRow("script, style and hidden text left out")
            << QByteArray("<head><style>p{}</style><script>var a='x';</script></head><body>"
                          "A<script>hidden()</script>B<noscript>N</noscript><template>T</template>"
                          "<div hidden>H</div><p>C</p>")
            << "AB\nC"
            << "";
        QTest::newRow("first heading is the title")
            << QByteArray("<title>Doc</title><h1>Chapter <em>One</em></h1><h1>Two</h1>")
            << "Chapter One\nTwo"
            << "Chapter One";
        QTest::newRow("declared Windows-1252")
            << QByteArray("<meta charset=windows-1252><p>caf\xE9 \x93quoted\x94")
            << QString::fromUtf8("café \u201Cquoted\u201D") << "";
        QTest::newRow("declared KOI8-R")
            << QByteArray("<meta http-equiv=Content-Type content='text/html; charset=koi8-r'>"
                          "<p>\xF0\xD2\xC9\xD7\xC5\xD4")
            << QString::fromUtf8("Привет") << "";
        QTest::newRow("undeclared, not UTF-8: Windows-1252")
            << QByteArray("<p>na\xEFve") << QString::fromUtf8("naïve") << "";
        QTest::newRow("undeclared UTF-8")
            << QByteArray("<p>na\xC3\xAFve") << QString::fromUtf8("naïve") << "";
        QTest::newRow("says UTF-8, is not")
            << QByteArray("<meta charset=utf-8><p>a\xE9z") << QString::fromUtf8("a\uFFFDz") << "";
        QTest::newRow("unknown charset")
            << QByteArray("<meta charset=x-nonsense><p>plain") << "plain"
            << "";
        QTest::newRow("zero-width no-break spaces")
            << QByteArray("<p>\x08\xEF\xBB\xBF a\xEF\xBB\xBF"
                          "b")
            << "ab"
            << "";
        QTest::newRow("UTF-16 with its mark") << QByteArray("\xFF\xFE<\0p\0>\0h\0i\0", 12) << "hi"
                                              << "";
        QTest::newRow("binary junk") << QByteArray("\x7F"
                                                   "ELF\x02\x01\x01\0\0\0<p>x",
                                                   14)
                                     << ""
                                     << "";
    }
    void pageTextIsWhatAPersonReads()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, text);
        QFETCH(QString, title);
        bool isPage = false;
        const platform::PageText page = platform::readPageText(html, &isPage);
        QCOMPARE(QString::fromUtf8(page.text), text);
        QCOMPARE(page.title, title);
        QCOMPARE(isPage, !text.isEmpty());
    }

    void matchesAreCaseAndAccentBlind_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("case") << QByteArray("<p>QUORVEL and Quorvel") << "quorvel"
                              << QStringList{"P: [QUORVEL] and Quorvel",
                                             "P: QUORVEL and [Quorvel]"};
        QTest::newRow("accents both ways")
            << QByteArray("<p>Un caf\xC3\xA9, un cafe") << QString::fromUtf8("CAFÉ")
            << QStringList{QString::fromUtf8("P: Un [café], un cafe"),
                           QString::fromUtf8("P: Un café, un [cafe]")};
        QTest::newRow("split across tags, several words")
            << QByteArray("<p>the <b>tal</b>ly\n   board</p>") << "Tally  Board"
            << QStringList{"P: the [tally board]"};
        QTest::newRow("not across blocks")
            << QByteArray("<p>tally</p><p>board</p>") << "tally board" << QStringList{};
        QTest::newRow("long line cut at words")
            << QByteArray("<p>one two three four five six seven eight nine ten eleven twelve "
                          "knot thirteen fourteen fifteen sixteen seventeen eighteen nineteen "
                          "twenty twenty-one twenty-two")
            << "knot"
            << QStringList{QString::fromUtf8("P: …six seven eight nine ten eleven twelve [knot] "
                                             "thirteen fourteen fifteen sixteen seventeen "
                                             "eighteen nineteen twenty…")};
        QTest::newRow("decomposed accent kept with its letter")
            << QByteArray("<p>Un Cafe\xCC\x81 noir") << "cafe"
            << QStringList{QString::fromUtf8("P: Un [Cafe\u0301] noir")};
        QTest::newRow("only marks: nothing")
            << QByteArray("<p>x") << QString::fromUtf8("\u0301") << QStringList{};
        QTest::newRow("dotted and dotless I alike in every locale")
            << QByteArray("<p>If WHEELING") << "if wheeling" << QStringList{"P: [If WHEELING]"};
        QTest::newRow("curly apostrophe typed straight")
            << QByteArray("<p>the user\xE2\x80\x99s and user's") << "User's"
            << QStringList{QString::fromUtf8("P: the [user’s] and user's"),
                           QString::fromUtf8("P: the user’s and [user's]")};
        QTest::newRow("straight apostrophe typed curly")
            << QByteArray("<p>user's, user\xCA\xBCs") << QString::fromUtf8("user‘s")
            << QStringList{QString::fromUtf8("P: [user's], userʼs"),
                           QString::fromUtf8("P: user's, [userʼs]")};
        QTest::newRow("quotes, dashes, narrow spaces, ligatures")
            << QByteArray("<p>\xE2\x80\x9C\xEF\xAC\x81ne\xE2\x80\x9D one\xE2\x80\x94two "
                          "5\xE2\x80\x89km \xEF\xAC\x82"
                          "at")
            << "\"fine\" one-two 5 km flat"
            << QStringList{QString::fromUtf8("P: [“ﬁne” one—two 5\u2009km ﬂat]")};
    }
    void matchesAreCaseAndAccentBlind()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, query);
        QFETCH(QStringList, rows);
        // The search folds the same way whatever the locale; Turkish parts I and i most.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        QTemporaryDir dir;
        write(dir.filePath("start.html"), "<title>P</title>" + body);
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        QCOMPARE(searchIn(index, query).rows, rows);
        // The page's text as the view shows it counts the same matches.
        const QString shown = platform::readPageText("<title>P</title>" + body).text;
        QCOMPARE(platform::findInShownText(shown, query).size(), rows.size());
    }

    void pagesComeInReadingOrderEachOnce()
    {
        QTemporaryDir dir;
        writeLinkedBook(dir);
        platform::BookIndex index(dir.path(), dir.filePath("start.html"),
                                  {dir.filePath("whole.HTM")});
        Found found = searchIn(index, "knot");
        QCOMPARE(found.pages, (QStringList{"start.html", "b.html", "a.htm", "c.html"}));
        QCOMPARE(found.summary.matches, 5);
        QCOMPARE(found.summary.pages, 4);
        QCOMPARE(found.summary.skipped, 0);
        QCOMPARE(found.rows.at(1), QStringLiteral("Bee: up [knot] ac"));
        QCOMPARE(found.rows.at(2), QStringLiteral("Ay: c [KNOT] knot"));
        // A page changed on disk is read again; the others are kept.
        write(dir.filePath("c.html"), "<p>no more");
        QFile(dir.filePath("c.html"))
            .setFileTime(QDateTime::currentDateTime().addSecs(5),
                         QFileDevice::FileModificationTime);
        found = searchIn(index, "knot");
        QCOMPARE(found.pages, (QStringList{"start.html", "b.html", "a.htm"}));
    }

    // Reading aloud goes on with the page that the search reads next.
    void thePageAfterAPageIsTheNextInReadingOrder_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("next");
        QTest::newRow("start") << "start.html"
                               << "b.html";
        QTest::newRow("linked from the start page") << "b.html"
                                                    << "sub/a.htm";
        QTest::newRow("in a subfolder") << "sub/a.htm"
                                        << "c.html";
        QTest::newRow("the last page") << "c.html"
                                       << "";
        QTest::newRow("left out") << "whole.HTM"
                                  << "";
        QTest::newRow("no link leads there") << "lone.html"
                                             << "";
        QTest::newRow("missing") << "gone.html"
                                 << "";
    }
    void thePageAfterAPageIsTheNextInReadingOrder()
    {
        QFETCH(QString, page);
        QFETCH(QString, next);
        QTemporaryDir dir;
        writeLinkedBook(dir);
        platform::BookIndex index(dir.path(), dir.filePath("start.html"),
                                  {dir.filePath("whole.HTM")});
        const QString after = index.pageAfter(dir.filePath(page));
        QCOMPARE(after,
                 next.isEmpty() ? QString() : QFileInfo(dir.filePath(next)).canonicalFilePath());
    }

    void aHostileBookIsSearchedToTheEndWithinItsFolder()
    {
        QTemporaryDir outside;
        write(outside.filePath("secret.html"), "<p>secret knot");
        QTemporaryDir dir;
        QByteArray links;
        for (int i = 0; i < 100000; ++i)
            links += "<a href='missing" + QByteArray::number(i % 50) + ".html'>m</a>";
        write(dir.filePath("start.html"),
              "<p>knot</p><a href='big.html'></a><a href='junk.html'></a><a href='lying.html'></a>"
              "<a href='many.html'></a><a href='loop.html'></a><a href='out.html'></a>"
              "<a href='../"
                  + QFileInfo(outside.path()).fileName().toUtf8()
                  + "/secret.html'></a>"
                    "<a href='file:///etc/passwd.html'></a>");
        {
            QFile big(dir.filePath("big.html"));
            QVERIFY(big.open(QIODevice::WriteOnly));
            big.write("<p>knot");
            QVERIFY(big.resize(qint64(100) << 20));  // 100 MB
        }
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 256);
        write(dir.filePath("junk.html"), junk + "knot");
        write(dir.filePath("lying.html"), "<meta charset=utf-16><p>kn\xFF\xFEot kn\xC3\xB6t");
        write(dir.filePath("many.html"), links + "<p>knot");
        write(dir.filePath("loop.html"), "<a href='loop.html'></a><a href='start.html'></a>knot");
        QVERIFY(QFile::link(outside.filePath("secret.html"), dir.filePath("out.html")));

        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        QElapsedTimer clock;
        clock.start();
        const Found found = searchIn(index, "knot");
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(found.pages, (QStringList{"start.html", "lying.html", "many.html", "loop.html"}));
        for (const QString& row : found.rows)
            QVERIFY(!row.contains(QLatin1String("secret")));
        // big, junk, the link out, the way out, /etc and the 50 missing pages.
        QCOMPARE(found.summary.skipped, 55);
        QVERIFY(!found.summary.cancelled);
    }

    // The links of a page are checked as it is searched, and the pages they lead to are read
    // later: here the book changes in between, as a hostile folder may at any moment.
    void aPageSwappedForALinkAfterItsCheckIsNotRead_data()
    {
        QTest::addColumn<QString>("swapped");
        QTest::newRow("the page") << "race.html";
        QTest::newRow("a folder on its way") << "sub";
    }
    void aPageSwappedForALinkAfterItsCheckIsNotRead()
    {
        QFETCH(QString, swapped);
        QTemporaryDir outside;
        QTemporaryDir dir;
        for (const QTemporaryDir* folder : {&outside, &dir})
            QVERIFY(QDir(folder->path()).mkdir("sub"));
        write(outside.filePath("race.html"), "<p>secret knot");
        write(outside.filePath("sub/race.html"), "<p>secret knot");
        write(dir.filePath("start.html"),
              "<p>knot<a href='race.html'></a><a href='sub/race.html'></a>");
        write(dir.filePath("race.html"), "<p>plain");
        write(dir.filePath("sub/race.html"), "<p>plain");
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        bool linked = false;
        QStringList pages;
        const platform::SearchSummary summary
            = index.search("knot", 1000, [&](platform::PageMatches&& page) {
                  pages << page.path;
                  linked = linked
                      || (QDir(dir.path()).rename(swapped, swapped + ".old")
                          && QFile::link(outside.filePath(swapped), dir.filePath(swapped)));
                  return true;
              });
        QVERIFY(linked);
        QCOMPARE(pages, QStringList{QFileInfo(dir.filePath("start.html")).canonicalFilePath()});
        QCOMPARE(summary.skipped, 1);
    }

    // Each page links to b.html at its end; what stands before that must not hide it.
    void aPageIsReadWholeOrCountedAsNotRead_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("skipped");
        QTest::newRow("300 nested elements") << QByteArray("<div>").repeated(300) + "<p>knot"
                                             << QStringList{"start.html", "b.html"} << 0;
        QTest::newRow("one word of 16 MB")
            << "<p>knot" + QByteArray(16'000'000, 'a') << QStringList{"start.html", "b.html"} << 0;
        QTest::newRow("Shift_JIS with a byte that is not")
            << QByteArray("<meta charset=shift_jis><p>knot \xFF\xFE\xFF")
            << QStringList{"start.html"} << 1;
    }
    void aPageIsReadWholeOrCountedAsNotRead()
    {
        QFETCH(QByteArray, start);
        QFETCH(QStringList, pages);
        QFETCH(int, skipped);
        QTemporaryDir dir;
        write(dir.filePath("start.html"), start + " <a href='b.html'>knot</a> knot");
        write(dir.filePath("b.html"), "<p>knot");
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        const Found found = searchIn(index, "knot");
        QCOMPARE(found.pages, pages);
        QCOMPARE(found.summary.skipped, skipped);
    }

    // What is kept of a page is its text, its folded text and nothing that grows with either.
    void keptTextIsAtMostThreeTimesTheText_data()
    {
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QByteArray>("letter");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("query");
        QTest::newRow("windows-1252 é")
            << QByteArray("windows-1252") << QByteArray("\xE9") << QString::fromUtf8("é") << "xE";
        QTest::newRow("windows-1252 €") << QByteArray("windows-1252") << QByteArray("\x80")
                                        << QString::fromUtf8("€") << QString::fromUtf8("x€");
        QTest::newRow("UTF-8 É") << QByteArray("utf-8") << QByteArray("\xC3\x89")
                                 << QString::fromUtf8("É") << "xe";
        QTest::newRow("UTF-8 Bengali ো, folded twice as long")
            << QByteArray("utf-8") << QByteArray("\xE0\xA7\x8B") << QString::fromUtf8("\u09CB")
            << QString::fromUtf8("x\u09C7\u09BE");
        QTest::newRow("KOI8-R Ё") << QByteArray("koi8-r") << QByteArray("\xB3")
                                  << QString::fromUtf8("Ё") << QString::fromUtf8("xе");
        QTest::newRow("EUC-KR 한") << QByteArray("euc-kr") << QByteArray("\xC7\xD1")
                                   << QString::fromUtf8("한") << QString::fromUtf8("x한");
    }
    void keptTextIsAtMostThreeTimesTheText()
    {
        QFETCH(QByteArray, charset);
        QFETCH(QByteArray, letter);
        QFETCH(QString, shown);
        QFETCH(QString, query);
        QTemporaryDir dir;
        write(dir.filePath("start.html"),
              "<meta charset=" + charset + "><title>P</title><p>" + letter.repeated(1 << 18) + " x"
                  + letter);
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        const Found found = searchIn(index, query);
        QCOMPARE(found.rows.size(), 1);
        QVERIFY2(found.rows.at(0).endsWith(QStringLiteral(" [x") + shown + QLatin1Char(']')),
                 qPrintable(found.rows.at(0)));
        QVERIFY2(index.keptTextBytes() <= 3 * index.textBytes(),
                 qPrintable(QStringLiteral("%1 kept for %2")
                                .arg(index.keptTextBytes())
                                .arg(index.textBytes())));
    }

    void theIndexKeepsWithinItsCeilingAndReadsTheRestAgain()
    {
        QTemporaryDir dir;
        QByteArray start;
        for (int i = 0; i < 8; ++i) {
            const QByteArray name = "p" + QByteArray::number(i) + ".html";
            start += "<a href='" + name + "'></a>";
            write(dir.filePath(name), "<p>" + QByteArray("alpha ").repeated(20'000) + "knot");
        }
        write(dir.filePath("start.html"), start);
        constexpr qint64 kCeiling = 500'000;
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {}, kCeiling);
        const Found first = searchIn(index, "knot");
        QCOMPARE(first.summary.pages, 8);
        QVERIFY(index.keptTextBytes() <= kCeiling);
        QVERIFY(index.keptTextBytes() > kCeiling / 2);
        const Found again = searchIn(index, "knot");
        QCOMPARE(again.rows, first.rows);
        QVERIFY(index.keptTextBytes() <= kCeiling);
    }

    void aPageStoppedHalfReadIsNotKept()
    {
        QTemporaryDir dir;
        write(dir.filePath("start.html"), "<a href='long.html'>on</a>");
        const QByteArray page = QByteArray("<p>alpha beta").repeated(100'000) + " omega";
        write(dir.filePath("long.html"), page);
        // Reading stops inside a page.
        QVERIFY(platform::readPageText(page, nullptr, [] { return false; }).text.size()
                < page.size() / 10);
        platform::BookIndex index(dir.path(), dir.filePath("start.html"), {});
        // Wanted until the long page is under way, then stopped inside it.
        int asked = 0;
        platform::SearchWatch watch;
        watch.wanted = [&] { return ++asked <= 3; };
        const auto found = [](platform::PageMatches&&) { return true; };
        const platform::SearchSummary stopped = index.search("omega", 10, found, watch);
        QVERIFY(stopped.cancelled);
        QCOMPARE(stopped.matches, 0);
        QCOMPARE(index.pagesRead(), quint64(2));
        // Read again, whole, when next searched.
        QCOMPARE(searchIn(index, "omega").summary.matches, 1);
        QCOMPARE(index.pagesRead(), quint64(3));
    }

    void searchesRunAsideAndANewOneCancelsTheLast()
    {
        qRegisterMetaType<platform::PageMatches>();
        qRegisterMetaType<platform::SearchSummary>();
        QTemporaryDir dir;
        QByteArray start;
        for (int i = 0; i < 200; ++i) {
            const QByteArray name = "p" + QByteArray::number(i) + ".html";
            start += "<a href='" + name + "'></a>";
            write(dir.filePath(name), QByteArray("<p>alpha beta ").repeated(200));
        }
        write(dir.filePath("start.html"), start);
        platform::BookSearch search(dir.path(), dir.filePath("start.html"), {});
        QSignalSpy pages(&search, &platform::BookSearch::pageMatched);
        QSignalSpy finished(&search, &platform::BookSearch::finished);
        search.start("alpha");
        search.start("beta");
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.count(), 1);
        const auto summary = finished.at(0).at(0).value<platform::SearchSummary>();
        QCOMPARE(summary.matches, 200 * 200);
        QCOMPARE(pages.count(), 200);
        const auto first = pages.at(0).at(0).value<platform::PageMatches>();
        QCOMPARE(first.matches.at(0).context.mid(first.matches.at(0).markStart, 4),
                 QStringLiteral("beta"));
        // At most 1,000 matches carry a line; all are counted.
        int listed = 0;
        for (const QList<QVariant>& page : pages)
            listed += int(page.at(0).value<platform::PageMatches>().matches.size());
        QCOMPARE(listed, platform::BookSearch::kMaxListed);
        QVERIFY(!search.isRunning());
        QVERIFY(search.index().keptTextBytes() <= 3 * search.index().textBytes());
    }
};

QTEST_GUILESS_MAIN(BookSearchTest)
#include "test_book_search.moc"
