#include "platform/print/CupsQueue.h"
#include "platform/print/PdfFinisher.h"
#include "platform/print/PrintDecorations.h"
#include "support/PrintTools.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <exception>

namespace {

// A document of plain pages as Qt's PDF writer makes it, each page saying its number.
QByteArray plainPdf(int pages, const QPageLayout& layout)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(layout);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        painter.drawText(QPointF(0, 200), QStringLiteral("body %1").arg(page));
    }
    painter.end();
    return pdf;
}

}  // namespace

// The finishing of a printed PDF and the options a queue is given, without the web engine,
// so that they also run under the sanitizers.
class PdfFinishingTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void everyPageGetsTheTitleAndItsNumber_data()
    {
        QTest::addColumn<QPageLayout>("layout");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("title");
        const QMarginsF margins(57, 57, 57, 57);
        QTest::newRow("A4, three pages")
            << QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins) << 3
            << QStringLiteral("Quorvel 101");
        QTest::newRow("Letter landscape, twelve pages: two-digit numbers")
            << QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, margins) << 12
            << QStringLiteral("Knots (and) \\loops\\ \u00C9t\u00E9");
    }
    void everyPageGetsTheTitleAndItsNumber()
    {
        QFETCH(QPageLayout, layout);
        QFETCH(int, pages);
        QFETCH(QString, title);
        platform::PdfFinisher finisher(plainPdf(pages, layout));
        QCOMPARE(finisher.firstPageSize().toSize(),
                 layout.fullRect(QPageLayout::Point).size().toSize());
        const QByteArray finished
            = finisher.finish(platform::PrintDecorations::furnitureFor(title, layout), {},
                              {title, QStringLiteral("Tamsin Hale"), QStringLiteral("DA1011")});

        const QString path = dir_.filePath(QStringLiteral("finished.pdf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(finished) == finished.size());
        file.close();
        QCOMPARE(pdfPages(path), pages);
        QCOMPARE(pdfInfo(path, "Title"), title);
        QCOMPARE(pdfInfo(path, "Author"), QStringLiteral("Tamsin Hale"));
        QCOMPARE(pdfInfo(path, "Creator"), QStringLiteral("DA1011"));
        for (int page = 1; page <= pages; ++page) {
            const QStringList lines = linesOf(pdfText(path, page));
            QVERIFY2(lines.size() == 3, qPrintable(lines.join(" | ")));
            QCOMPARE(lines.first(), title);
            QCOMPARE(lines.at(1), QStringLiteral("body %1").arg(page));
            QCOMPARE(lines.last(), QStringLiteral("Page %1 of %2").arg(page).arg(pages));
        }
    }

    // The engine writes links to files as full addresses; the finished PDF names none.
    void linksToFilesNameNoFolder()
    {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QTextDocument page;
        page.setHtml(QStringLiteral(
            "<a href='file:///home/reader/book/chapter02.html#c02-a'>next</a>"
            " <a href='file:///home/reader/book/chapter01.html'>this page</a>"
            " <a href='file:///etc/passwd'>outside</a> <a href='file://server/book/x.html'>host</a>"
            " <a href='http://www.quorvel.example/'>web</a>"));
        page.print(&writer);
        buffer.close();

        const QByteArray finished = platform::PdfFinisher(pdf).finish(
            {}, {}, {QStringLiteral("Links"), {}, QStringLiteral("DA1011")},
            {QStringLiteral("/home/reader/book/chapter01.html"),
             QStringLiteral("/home/reader/book"),
             {}});
        const QString path = dir_.filePath(QStringLiteral("links.pdf"));
        const QString readable = dir_.filePath(QStringLiteral("links-qdf.pdf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(finished) == finished.size());
        file.close();
        const ToolRun qdf = runTool(QStringLiteral("qpdf"),
                                    {"--qdf", "--object-streams=disable", path, readable});
        QVERIFY2(qdf.exitCode == 0, qPrintable(qdf.err));
        QFile result(readable);
        QVERIFY(result.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(result.readAll());
        QStringList addresses;
        for (const QRegularExpressionMatch& uri :
             QRegularExpression(QStringLiteral("/URI \\((.*)\\)")).globalMatch(text))
            addresses << uri.captured(1);
        QCOMPARE(addresses, QStringList({"chapter02.html#c02-a", "http://www.quorvel.example/"}));
        QCOMPARE(text.count(QStringLiteral("/Dest [")), 1);  // this page: its first page
        QCOMPARE(text.count(QStringLiteral("/Subtype /Link")), 3);
    }

    void whatIsNoPdfIsRefused()
    {
        QVERIFY_THROWS_EXCEPTION(std::exception, platform::PdfFinisher(QByteArray("%PDF-1.4 no")));
    }

    void aQueueGetsWhatThePromptChose()
    {
        platform::QueueOrder order;
        order.copies = 3;
        order.collate = false;
        order.duplex = QPrinter::DuplexAuto;
        order.colorMode = QPrinter::GrayScale;
        order.layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, {});
        // The cut document's pages and the prompt's own choices win over the dialog's options.
        order.dialogOptions = {"page-ranges", "1-2",      "copies", "9",         "sides",
                               "one-sided",   "page-set", "odd",    "landscape", "true"};
        QList<QPair<QString, QString>> options;
        for (const auto& [name, value] : order.options())
            options.append({name, value});
        const QList<QPair<QString, QString>> expected
            = {{"page-set", "odd"},
               {"copies", "3"},
               {"multiple-document-handling", "separate-documents-uncollated-copies"},
               {"sides", "two-sided-short-edge"},
               {"media", "A4"},
               {"print-color-mode", "monochrome"}};
        QCOMPARE(options, expected);
    }
};

DA1011_TEST_MAIN(PdfFinishingTest)
#include "test_pdf_finishing.moc"
