#include "app/Startup.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Plugins.h"
#include "platform/web/BrowserView.h"
#include "reader/QV101m.h"
#include "reader/ReaderWindowFactory.h"
#include "support/ModalWatcher.h"
#include "support/PrintPrompt.h"
#include "support/PrintTools.h"
#include "support/TempAppFolder.h"
#include "support/TestMain.h"
#include "welcome/QV101.h"

#include <QPluginLoader>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Runs the program's real start-up and event loop in this process.
class StartupTest : public QObject {
    Q_OBJECT

    // The program's real start-up and event loop; a program that never ends fails with 99.
    static int runProgramAtMost20s()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &guard, [] { QCoreApplication::exit(99); });
        guard.start(20000);
        return runProgram();
    }

private slots:
    void init() { platform::Application::resetExitRequest(); }

    void closingTheWelcomeWindowEndsTheProgram()
    {
        TempAppFolder folder;
        bool welcomeShown = false;
        QTimer::singleShot(200, this, [&] {
            QV101* welcome = QV101::loadedInstance();
            welcomeShown = welcome && welcome->isVisible();
            if (welcome)
                welcome->close();
        });
        QCOMPARE(runProgramAtMost20s(), 0);
        QVERIFY(welcomeShown);
        QVERIFY(!QV101m::loadedInstance());
        QCOMPARE(folder.read("dontshow.txt"), QByteArray());
    }

    void withTheFlagSetTheReaderIsTheOnlyWindowAndClosingItEnds()
    {
        TempAppFolder folder;
        folder.write("dontshow.txt", "1\r\n");
        bool readerShown = false;
        bool welcomeEverVisible = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QV101* welcome = QV101::loadedInstance(); welcome && welcome->isVisible())
                welcomeEverVisible = true;
        });
        watch.start(1);
        QTimer::singleShot(300, this, [&] {
            QV101m* reader = QV101m::loadedInstance();
            readerShown = reader && reader->isVisible();
            if (reader)
                reader->close();
        });
        QCOMPARE(runProgramAtMost20s(), 0);
        QVERIFY(readerShown);
        QVERIFY(!welcomeEverVisible);
    }

    void closingTheReaderWhileItPrintsEndsOnlyOnceTheJobIsDone()
    {
        TempAppFolder folder;
        folder.write("dontshow.txt", "1\r\n");
        const QString pdf = folder.file("printed.pdf");
        ModalWatcher watcher;
        watcher.onOtherDialog = [&](QWidget* dialog) {
            auto* prompt = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(prompt);
            choosePdfFile(prompt, pdf);
            // The user closes the window while the whole book is being printed.
            QTimer::singleShot(50, this, [] {
                if (QV101m* reader = QV101m::loadedInstance())
                    reader->close();
            });
            QMetaObject::invokeMethod(prompt, &QDialog::accept, Qt::QueuedConnection);
        };
        QTimer drive;
        bool printed = false;
        connect(&drive, &QTimer::timeout, this, [&] {
            QV101m* reader = QV101m::loadedInstance();
            if (!reader || reader->WebBrowser1->isLoading())
                return;
            if (reader->WebBrowser1->url().fileName() != QStringLiteral("Quorvel 101.HTM")) {
                reader->WebBrowser1->Navigate(QV101m::wholeBookLocation());
                return;
            }
            drive.stop();
            printed = true;
            reader->Command3->click();
        });
        drive.start(50);
        QCOMPARE(runProgramAtMost20s(), 0);
        QVERIFY(printed);
        QVERIFY(pdfText(pdf).simplified().contains(
            QStringLiteral("The last knot is always tied by hand.")));
    }

    // Copying the folder copies the program and nothing of the build.
    void theBuiltApplicationFolderHoldsOnlyWhatTheProgramNeeds()
    {
        const QDir app(QStringLiteral(DA1011_APP_DIR));
        for (const char* name :
             {"DA1011", "dontshow.txt", "start.html", "Quorvel 101.HTM", "lib/DA1011"})
            QVERIFY2(app.exists(QString::fromLatin1(name)), name);
        const QDir book(QStringLiteral(DA1011_BOOK_DIR));
        const auto hidden = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
        for (const QString& name : app.entryList(hidden))
            QVERIFY2(book.exists(name) || name == u"DA1011" || name == u"dontshow.txt"
                         || name == u"lib",
                     qPrintable(name));
        for (const QString& name : QDir(app.filePath(QStringLiteral("lib"))).entryList(hidden))
            QVERIFY2(name == u"DA1011" || name == u"DA1011-reader.so"
                         || name.startsWith(u"libda1011.so."),
                     qPrintable(name));
    }

    // Anyone handing over the book may have put files in its folder, also in subfolders
    // where Qt would look for plugins.
    void theShippedReaderPluginOffersTheReaderWindow()
    {
        const QPluginLoader shipped(QStringLiteral(DA1011_APP_DIR "/lib/DA1011-reader"));
        QCOMPARE(shipped.metaData().value(QLatin1String("IID")).toString(),
                 QStringLiteral(ReaderWindowFactory_iid));
        QCOMPARE(shipped.metaData().value(QLatin1String("className")).toString(),
                 QStringLiteral("ReaderPlugin"));
        // Linked in, as here, the same plugin is found before any file is looked for.
        auto& linked = platform::loadPlugin<ReaderWindowFactory>(QStringLiteral("no-such-file"));
        QCOMPARE(dynamic_cast<QObject&>(linked).metaObject()->className(), "ReaderPlugin");
    }

    void qtLoadsNoPluginFromTheApplicationFolderAfterStart()
    {
        const QString folder = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
        QVERIFY(!QCoreApplication::libraryPaths().contains(folder));
    }
};

DA1011_TEST_MAIN(StartupTest)
#include "test_startup.moc"
