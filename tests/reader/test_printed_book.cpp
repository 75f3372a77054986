#include "platform/forms/Timer.h"
#include "platform/print/PagePrinter.h"
#include "platform/web/BrowserView.h"
#include "reader/QV101m.h"
#include "support/PdfOutline.h"
#include "support/PrintPrompt.h"
#include "support/PrintTools.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"
#include "support/Waiting.h"

#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <algorithm>

namespace {

const QString kBookTitle = QStringLiteral("Quorvel 101 - The Whole Book");

// The text of each page, with its lines folded.
QStringList pageTexts(const QString& pdf)
{
    QStringList pages = pdfText(pdf).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Every page starts with the title and ends with its number.
QString furnitureProblem(const QStringList& pages, const QString& title)
{
    for (int i = 0; i < pages.size(); ++i) {
        const QStringList lines = linesOf(pages[i]);
        const QString number = QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages.size());
        if (lines.size() < 2 || lines.first() != title || lines.last() != number)
            return QStringLiteral("page %1 reads \"%2\" ... \"%3\"")
                .arg(i + 1)
                .arg(lines.value(0), lines.value(lines.size() - 1));
    }
    return {};
}

}  // namespace

// Prints through the reader's real print prompt and reads the PDF back with poppler's tools
// and qpdf: what a reader keeps of a print.
class PrintedBookTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;
    QString queue_;  // print on this queue instead of to the PDF file

    QString pdfPath() const { return rig_->folder.file("printed.pdf"); }

private slots:
    void init()
    {
        rig_.emplace();
        queue_.clear();
        rig_->watcher.emplace().onOtherDialog = [this](QWidget* dialog) {
            auto* prompt = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(prompt);
            if (queue_.isEmpty())
                choosePdfFile(prompt, pdfPath());
            else
                choosePrinter(prompt, queue_);
            QMetaObject::invokeMethod(prompt, &QDialog::accept, Qt::QueuedConnection);
        };
    }
    void cleanup() { rig_.reset(); }

    // The whole book: title and page number on every page, a bookmark per chapter on the page
    // that begins it, contents links that jump there, the document's information, and no
    // heading left alone at the foot of a page.
    void theWholeBookIsAFinishedDocument()
    {
        QV101m& w = rig_->show();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        TRY_VERIFY_WITH_TIMEOUT(!w.Timer1->enabled(), 30000);
        QVERIFY(rig_->watcher->seen().isEmpty());

        QCOMPARE(pdfInfo(pdfPath(), "Title"), kBookTitle);
        QCOMPARE(pdfInfo(pdfPath(), "Author"), QStringLiteral("Tamsin Hale"));
        QCOMPARE(pdfInfo(pdfPath(), "Creator"), QStringLiteral("DA1011"));
        const QStringList pages = pageTexts(pdfPath());
        QVERIFY(pages.size() >= 50);
        QCOMPARE(pages.size(), pdfPages(pdfPath()));
        const QString problem = furnitureProblem(pages, kBookTitle);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        const PdfNavigation navigation = PdfNavigation::read(pdfPath());
        QVERIFY2(navigation.error.isEmpty(), qPrintable(navigation.error));
        QList<int> chapterPages;
        for (const PdfBookmark& mark : navigation.bookmarks) {
            if (!mark.title.startsWith(QStringLiteral("Chapter ")))
                continue;
            QVERIFY2(mark.page > 0, qPrintable(mark.title));
            // The chapter's heading is the first thing under the running title of its page.
            QCOMPARE(linesOf(pages[mark.page - 1]).value(1), mark.title);
            QVERIFY2(mark.children > 0, qPrintable(mark.title));  // its sections
            chapterPages << mark.page;
        }
        QCOMPARE(chapterPages.size(), 10);
        QVERIFY(std::is_sorted(chapterPages.begin(), chapterPages.end()));

        // The contents page links to every chapter's first page.
        QList<int> linked;
        for (const PdfLink& link : navigation.links)
            if (link.from == 2)
                linked << link.to;
        QCOMPARE(linked, chapterPages);

        const ToolRun stranded
            = runTool(QStringLiteral("python3"),
                      {QStringLiteral(DA1011_SOURCE_DIR "/bench/stranded_headings.py"),
                       rig_->folder.file("Quorvel 101.HTM"), pdfPath(), QStringLiteral("--list")});
        QVERIFY2(stranded.exitCode == 0, qPrintable(stranded.out + stranded.err));
    }

    void aPageIsPrintedUnderItsOwnTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("printedTitle");
        QTest::addColumn<QString>("fontFamily");  // a font the title needs; skipped without
        QTest::newRow("Greek") << QStringLiteral("Κόμπος και ρίψη: ένας οδηγός")
                               << QStringLiteral("Κόμπος και ρίψη: ένας οδηγός") << QString();
        QTest::newRow("Chinese") << QStringLiteral("绳结入门：旋转与抛掷")
                                 << QStringLiteral("绳结入门：旋转与抛掷") << QStringLiteral("zh");
        QTest::newRow("markup in the title is text")
            << QStringLiteral("Knots &lt;b&gt;&amp; loops") << QStringLiteral("Knots <b>& loops")
            << QString();
        QTest::newRow("no title: the book's name")
            << QString() << QStringLiteral("Quorvel 101") << QString();
    }

    // A page of its own, printed with "Print Current Page": title and number on its pages,
    // a bookmark for each of its headings and sections nested under them.
    void aPageIsPrintedUnderItsOwnTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, printedTitle);
        QFETCH(QString, fontFamily);
        if (!fontFamily.isEmpty()
            && runTool("fc-list", {QStringLiteral(":lang=%1").arg(fontFamily)}).out.isEmpty())
            QSKIP("no font for the title's script is installed");
        QByteArray page = "<!DOCTYPE html><html><head><meta charset='utf-8'>";
        if (!title.isEmpty())
            page += "<title>" + title.toUtf8() + "</title>";
        page += "</head><body><h1>Knots</h1><p>Text.</p><h2>Tying</h2>"
                "<p style='break-after:page'>More.</p><h2>Casting</h2><p>The end.</p>"
                "</body></html>";
        rig_->folder.write("own.html", page);
        QV101m& w = rig_->show(QStringLiteral("own.html"));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(rig_->watcher->seen().isEmpty());

        QCOMPARE(pdfInfo(pdfPath(), "Title"), printedTitle);
        const QStringList pages = pageTexts(pdfPath());
        QCOMPARE(pages.size(), 2);
        const QString problem = furnitureProblem(pages, printedTitle);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const PdfNavigation navigation = PdfNavigation::read(pdfPath());
        QCOMPARE(navigation.bookmarks.size(), 1);
        QCOMPARE(navigation.bookmarks.first().title, QStringLiteral("Knots"));
        QCOMPARE(navigation.bookmarks.first().page, 1);
        QCOMPARE(navigation.bookmarks.first().children, 2);
    }

    // The PDF names no folder of the reader's: a link to a place the page holds jumps there
    // (also a link to the page itself, or to another chapter whose text it holds), a link to
    // another file of the book names it relative to the book, one to a file outside the book
    // is dropped; web links stay as they are.
    void noLinkNamesTheReadersFolders()
    {
        rig_->folder.write(
            "own.html",
            "<!DOCTYPE html><html><head><title>Links</title></head><body>"
            "<p><a href='chapter04.html'>next</a> <a href='chapter04.html#c04-x'>there</a>"
            " <a href='own.html'>this page</a>"
            " <a href='chapter03.html#c03-x'>held</a> <a href='chapter03.html'>held chapter</a>"
            " <a href='./odd:name.html'>odd</a> <a href='../outside.html'>outside</a>"
            " <a href='/etc/hostname'>system</a>"
            " <a href='http://www.quorvel.example/'>web</a></p>"
            "<div style='break-before:page'><a id='chapter03' name='chapter03'></a>"
            "<h1>Chapter 3</h1></div>"
            "<p style='break-before:page' id='c03-x'>The place.</p></body></html>");
        QV101m& w = rig_->show(QStringLiteral("own.html"));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(rig_->watcher->seen().isEmpty());

        QPDF pdf;
        pdf.processFile(pdfPath().toLocal8Bit().constData());
        QStringList addresses;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
            for (QPDFAnnotationObjectHelper& link : page.getAnnotations("/Link")) {
                QPDFObjectHandle action = link.getObjectHandle().getKey("/A");
                if (action.isDictionary() && action.getKey("/URI").isString())
                    addresses << QString::fromStdString(action.getKey("/URI").getStringValue());
            }
        addresses.sort();
        QCOMPARE(addresses,
                 QStringList({"./odd:name.html", "chapter04.html", "chapter04.html#c04-x",
                              "http://www.quorvel.example/"}));
        QList<int> jumps;
        for (const PdfLink& link : PdfNavigation::read(pdfPath()).links)
            if (link.from == 1)
                jumps << link.to;
        std::sort(jumps.begin(), jumps.end());
        QCOMPARE(jumps, QList<int>({1, 2, 3}));
    }

    // Control characters that a page puts into its title, author or headings stay out of the
    // document's information and outline.
    void controlCharactersStayOutOfTheDocument()
    {
        rig_->addHostilePage("controls.html");
        QV101m& w = rig_->show(QStringLiteral("controls.html"));
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(rig_->watcher->seen().isEmpty());
        QPDF pdf;
        pdf.processFile(pdfPath().toLocal8Bit().constData());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        QCOMPARE(QString::fromStdString(info.getKey("/Title").getUTF8Value()),
                 QStringLiteral("Tom [2J and Jerry"));
        QCOMPARE(QString::fromStdString(info.getKey("/Author").getUTF8Value()),
                 QStringLiteral("Tamsin ]0; Hale"));
        const PdfNavigation navigation = PdfNavigation::read(pdfPath());
        QCOMPARE(navigation.bookmarks.size(), 1);
        QCOMPARE(navigation.bookmarks.first().title, QStringLiteral("Knots and loops"));
    }

    void pageNumbersCountThePagesPrinted_data()
    {
        QTest::addColumn<QString>("ranges");
        QTest::addColumn<int>("pages");
        QTest::newRow("all") << QString() << 71;
        QTest::newRow("3-5") << QStringLiteral("3-5") << 3;
        QTest::newRow("9,15") << QStringLiteral("9,15") << 2;
    }

    // The chosen pages are numbered 1 to their count, and bookmarks point only at chapters
    // that were printed.
    void pageNumbersCountThePagesPrinted()
    {
        QFETCH(QString, ranges);
        QFETCH(int, pages);
        QV101m& w = rig_->show(QStringLiteral("Quorvel 101.HTM"));
        QPrinter settings(QPrinter::HighResolution);
        settings.setOutputFormat(QPrinter::PdfFormat);
        settings.setOutputFileName(pdfPath());
        settings.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        if (!ranges.isEmpty()) {
            settings.setPrintRange(QPrinter::PageRange);
            settings.setPageRanges(QPageRanges::fromString(ranges));
        }
        platform::PagePrinter printer(w.WebBrowser1->findChild<QWebEngineView*>());
        QSignalSpy finished(&printer, &platform::PagePrinter::finished);
        printer.print(settings);
        QVERIFY(finished.wait(60000));
        QVERIFY2(finished.first().first().toBool(), qPrintable(finished.first().at(1).toString()));
        const QStringList texts = pageTexts(pdfPath());
        QCOMPARE(texts.size(), pages);
        const QString problem = furnitureProblem(texts, kBookTitle);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (const PdfBookmark& mark : PdfNavigation::read(pdfPath()).bookmarks)
            QVERIFY2(mark.page >= 1 && mark.page <= pages, qPrintable(mark.title));
    }

    // A printer queue gets the same finished PDF as a file would: title and page numbers on
    // every page, even on paper other than the page's own.
    void aQueueGetsTheFinishedDocument()
    {
        const TestQueue& queue = TestQueue::get();
        if (!queue.problem.isEmpty())
            QSKIP(qPrintable(queue.problem));
        QFile::remove(queue.output);
        QV101m& w = rig_->show(QStringLiteral("chapter05.html"));
        queue_ = queue.name;
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QVERIFY(rig_->watcher->seen().isEmpty());
        TRY_VERIFY_WITH_TIMEOUT(QFile::exists(queue.output) && queue.idle(), 60000);
        const QString title = QStringLiteral("Chapter 5: The Wheel - Quorvel 101");
        QCOMPARE(pdfInfo(queue.output, "Title"), title);
        const QString problem = furnitureProblem(pageTexts(queue.output), title);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        // (The queue's filters write the document anew for the printer; bookmarks, which
        // mean nothing on paper, do not survive them.)
    }
};

DA1011_TEST_MAIN(PrintedBookTest)
#include "test_printed_book.moc"
