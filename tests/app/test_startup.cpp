#include "app/Startup.h"
#include "platform/AppInfo.h"
#include "reader/QV101m.h"
#include "support/TempAppFolder.h"
#include "support/TestMain.h"
#include "welcome/QV101.h"

#include <QProcess>
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

    void theBuiltApplicationFolderHoldsWhatTheProgramNeeds()
    {
        const QDir app(QStringLiteral(DA1011_APP_DIR));
        for (const char* name : {"DA1011", "dontshow.txt", "start.html", "Quorvel 101.HTM"})
            QVERIFY2(app.exists(QString::fromLatin1(name)), name);
    }
};

DA1011_TEST_MAIN(StartupTest)
#include "test_startup.moc"
