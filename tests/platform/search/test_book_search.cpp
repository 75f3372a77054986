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
        QCOMPARE(page.text, text);
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
