#include <QPointer>

#include "platform/print/PrintFileName.h"
#include "platform/runtime/Errors.h"
#include "platform/web/BrowserView.h"
#include "support/ModalWatcher.h"
#include "support/PrintPrompt.h"
#include "support/PrintTools.h"
#include "support/TestMain.h"

#include <QPrintDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::BrowserCommand;
using platform::CommandOption;

// The file name the print prompt offers, and the choice it remembers between prompts.
class PrintFileNameTest : public QObject {
    Q_OBJECT

private slots:
    void aPageTitleBecomesAFileNameEveryFileSystemTakes_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        const QString page = QStringLiteral("file:///tmp/app/Quorvel%20101.HTM");
        QTest::newRow("plain") << "Quorvel 101" << page << "Quorvel 101.pdf";
        QTest::newRow("address as title") << page << page << "Quorvel 101.pdf";
        QTest::newRow("no title") << ""
                                  << "file:///tmp/app/chapter03.html"
                                  << "chapter03.pdf";
        QTest::newRow("refused characters") << "Chapter 3: Cord? <Tally> \"Board\" | a*b\\c" << page
                                            << "Chapter 3 Cord Tally Board a b c.pdf";
        QTest::newRow("climbing") << "../../x" << page << "x.pdf";
        QTest::newRow("hidden") << ".profile" << page << "profile.pdf";
        QTest::newRow("controls") << "a\tb\nc\x01" << page << "a b c.pdf";
        QTest::newRow("only dots") << "..." << page << "document.pdf";
        QTest::newRow("trailing dots") << "The end. . " << page << "The end.pdf";
        QTest::newRow("device name") << "CON" << page << "CON_.pdf";
        QTest::newRow("device name with an extension") << "con.txt" << page << "con_.txt.pdf";
        QTest::newRow("device name with two extensions") << "LPT1.a.b" << page << "LPT1_.a.b.pdf";
        QTest::newRow("not a device name") << "CONSOLE.txt" << page << "CONSOLE.txt.pdf";
        // Format characters reorder or hide what the name shows: "Report \u202Egnp" reads as
        // "Report png" backwards.
        QTest::newRow("format characters")
            << QString::fromUtf8("Report \u202Egnp\u200B\u2066x\u00AD\uFEFF\U000E0041") << page
            << "Report gnpx.pdf";
        QTest::newRow("C1 controls") << QString::fromUtf8("a\u0085b\u009Bc") << page << "a b c.pdf";
        QTest::newRow("long") << QString(300, QLatin1Char('w')) << page
                              << QString(80, QLatin1Char('w')) + ".pdf";
        // Four bytes a character in UTF-8, two units in UTF-16: never cut in half.
        QTest::newRow("long, outside the BMP")
            << QString(300, QChar(0xD83D)).replace(QChar(0xD83D), QStringLiteral("\U0001F600"))
            << page
            << QString(40, QChar(0xD83D)).replace(QChar(0xD83D), QStringLiteral("\U0001F600"))
                + ".pdf";
    }
    void aPageTitleBecomesAFileNameEveryFileSystemTakes()
    {
        QFETCH(QString, title);
        QFETCH(QString, url);
        QFETCH(QString, name);
        QCOMPARE(platform::printFileName(title, QUrl(url)), name);
    }

    void thePromptOffersTheNameInTheDocumentsFolderAndTheLastChoice()
    {
        QTemporaryDir home;
        QDir(home.path()).mkpath("config");
        QDir(home.path()).mkpath("My Documents");
        QDir(home.path()).mkpath("elsewhere");
        {
            QFile dirs(home.filePath("config/user-dirs.dirs"));
            QVERIFY(dirs.open(QIODevice::WriteOnly));
            dirs.write("XDG_DOCUMENTS_DIR=\"" + home.filePath("My Documents").toUtf8() + "\"\n");
        }
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        const QString page = home.filePath("page.html");
        {
            QFile html(page);
            QVERIFY(html.open(QIODevice::WriteOnly));
            html.write("<html><head><title>Chapter 3: Cord/../x?</title></head><body>Text</body>");
        }
        const TestQueue& queue = TestQueue::get();

        platform::BrowserView view(nullptr);
        view.confineTo(QFileInfo(page).absolutePath());
        view.Navigate(page);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isLoading(), 20000);

        struct Seen {
            QString printer;
            QString fileName;
        };
        QList<Seen> seen;
        std::function<void(QPrintDialog*)> answer;
        ModalWatcher watcher;
        watcher.onOtherDialog = [&](QWidget* dialog) {
            auto* prompt = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(prompt);
            // Looked at once the prompt is shown and settled, as the user sees it.
            QTimer::singleShot(100, prompt, [&, prompt] {
                seen << Seen{promptPrinters(prompt)->currentText(), promptFileName(prompt)->text()};
                answer(prompt);
                QMetaObject::invokeMethod(prompt, &QDialog::accept, Qt::QueuedConnection);
            });
        };
        const QString offered = QStringLiteral("Chapter 3 Cord .. x.pdf");

        answer = [&](QPrintDialog* prompt) {
            choosePdfFile(prompt, home.filePath("elsewhere/mine.pdf"));
        };
        view.ExecWB(BrowserCommand::Print, CommandOption::PromptUser);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].fileName, home.filePath("My Documents/") + offered);
        QVERIFY(QFile::exists(home.filePath("elsewhere/mine.pdf")));

        // "Print to File" and its folder are offered again; then a printer is chosen.
        answer = [&](QPrintDialog* prompt) {
            if (queue.problem.isEmpty())
                choosePrinter(prompt, queue.name);
        };
        view.ExecWB(BrowserCommand::Print, CommandOption::PromptUser);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1].printer, QStringLiteral("Print to File (PDF)"));
        QCOMPARE(seen[1].fileName, home.filePath("elsewhere/") + offered);
        if (!queue.problem.isEmpty())
            QSKIP(qPrintable(queue.problem));

        answer = [](QPrintDialog*) {};
        view.ExecWB(BrowserCommand::Print, CommandOption::PromptUser);
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[2].printer, queue.name);
        QCOMPARE(seen[2].fileName, home.filePath("elsewhere/") + offered);
        qunsetenv("XDG_CONFIG_HOME");
    }
};

DA1011_TEST_MAIN(PrintFileNameTest)
#include "test_print_file_name.moc"
