#include "platform/forms/Form.h"
#include "platform/web/BrowserView.h"
#include "support/SmallDisk.h"
#include "support/TestMain.h"
#include "support/WelcomeRig.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString kSendFailed = QStringLiteral(
    "Sorry, your subscription could not be sent (%1). Please check your Internet connection "
    "and try again.");

}  // namespace

// Bad input and faults the program must survive: nothing lost, no crash, a clear message
// where the reader must know.
class BadInputTest : public QObject {
    Q_OBJECT

    std::optional<WelcomeRig> rig_;

private slots:
    void init() { rig_.emplace(); }
    void cleanup()
    {
        rig_.reset();
        QVERIFY(!platform::Application::exitRequested());
    }

    // --- the flag file -------------------------------------------------------------------

    void aHugeFlagFileIsReadInBoundedMemory()
    {
        // 100 MB of one unbroken item, then a last item other than "1".
        {
            QFile file(rig_->folder.file("dontshow.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray block(qsizetype{1024} * 1024, 'x');
            for (int i = 0; i < 100; ++i)
                file.write(block);
            file.write("\r\n0\r\n");
        }
        QV101& w = QV101::instance();
        QVERIFY(w.isLoaded());
        QVERIFY(!readerLoaded());
        QCOMPARE(QFileInfo(rig_->folder.file("dontshow.txt")).size(),
                 qint64{100} * 1024 * 1024 + 5);
    }

    void aFolderOrAPipeInPlaceOfTheFlagFileShowsTheWelcomeWindow()
    {
        QFile::remove(rig_->folder.file("dontshow.txt"));
        QVERIFY(QDir(rig_->folder.path()).mkdir("dontshow.txt"));
        QVERIFY(QV101::instance().isLoaded());
        QV101::instance().Unload();
        QTest::qWait(0);
        QVERIFY(QDir(rig_->folder.path()).rmdir("dontshow.txt"));
        // A named pipe would block a reader that opened it: it must not even be opened.
        QCOMPARE(::mkfifo(QFile::encodeName(rig_->folder.file("dontshow.txt")).constData(), 0600),
                 0);
        QVERIFY(QV101::instance().isLoaded());
    }

    void anUnreadableFlagFileShowsTheWelcomeWindow()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file; the folder-in-its-place case covers an unopenable file");
        rig_->folder.write("dontshow.txt", "1\r\n");
        QFile::setPermissions(rig_->folder.file("dontshow.txt"), QFileDevice::WriteOwner);
        QVERIFY(QV101::instance().isLoaded());
    }

    void aFolderThatCannotBeWrittenKeepsTheChoiceUnsavedButOpensTheBook()
    {
        // Nothing can be created in /proc, not even by root: a read-only application folder.
        platform::Application::setPathOverride(QStringLiteral("/proc/self"));
        const ScopedUserConfig noUserFolder(ScopedUserConfig::unwritable());
        QV101& w = fillWelcome(QString(), QString(), true);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        platform::Application::setPathOverride(rig_->folder.path());
        QCOMPARE(rig_->watcher.seen().size(), 1);
        QVERIFY2(rig_->watcher.texts().first().startsWith(
                     QStringLiteral("Your choice could not be saved (")),
                 qPrintable(rig_->watcher.texts().first()));
        QVERIFY(readerLoaded());
    }

    void aFullDiskKeepsTheFlagFileWholeAndSaysWhatFollows()
    {
        SmallDisk disk;
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(disk.problem()));
        QFile::copy(rig_->folder.file("dontshow.txt"), disk.file("dontshow.txt"));
        QFile old(disk.file("dontshow.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("0\r\n") == 3);
        old.close();
        disk.fill();
        platform::Application::setPathOverride(disk.path());
        const ScopedUserConfig noUserFolder(ScopedUserConfig::unwritable());
        QV101& w = fillWelcome(QString(), QString(), true);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(
            rig_->watcher.texts(),
            QStringList{QStringLiteral("Your choice could not be saved (the disk is full). The "
                                       "welcome window will be shown again next time.")});
        QVERIFY(readerLoaded());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("0\r\n"));
        platform::Application::setPathOverride(rig_->folder.path());
    }

    // --- the subscription server ---------------------------------------------------------

    void aRefusedConnectionIsReported()
    {
        rig_->server.reset();
        QCOMPARE(rig_->subscribe(),
                 QStringList{kSendFailed.arg("the server could not be reached")});
        QVERIFY(QV101::loadedInstance());
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray());
    }

    void anyAnswerOfTheServerCountsAsSent_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("500") << 500;
        QTest::newRow("redirect") << 302;
    }
    void anyAnswerOfTheServerCountsAsSent()
    {
        QFETCH(int, status);
        int requests = 0;
        rig_->server->server().Get(
            ".*", [&](const httplib::Request& request, httplib::Response& response) {
                ++requests;
                response.status = status;
                if (status == 302)
                    response.set_header("Location", request.target + "&again=1");
            });
        QCOMPARE(rig_->subscribe(), QStringList{});
        QCOMPARE(requests, 1);  // a redirect is not followed
        QVERIFY(readerLoaded());
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray("1\r\n"));
    }

    void aStalledOrEndlessAnswerEndsAtTheTimeoutWithAMessage_data()
    {
        QTest::addColumn<bool>("endless");
        QTest::newRow("stalls") << false;
        QTest::newRow("never-ending body") << true;
    }
    void aStalledOrEndlessAnswerEndsAtTheTimeoutWithAMessage()
    {
        QFETCH(bool, endless);
        rig_->server->server().Get(
            ".*", [endless](const httplib::Request&, httplib::Response& response) {
                if (!endless) {
                    std::this_thread::sleep_for(1500ms);
                    return;
                }
                response.set_chunked_content_provider(
                    "text/plain", [](size_t, httplib::DataSink& sink) {
                        static const std::string block(size_t{64} * 1024, 'z');
                        return sink.write(block.data(), block.size());
                    });
            });
        QV101::instance().Inet1.setTimeout(400ms);
        QCOMPARE(rig_->subscribe(),
                 QStringList{kSendFailed.arg("the server did not answer in time")});
        QVERIFY(QV101::loadedInstance());
        QVERIFY(!readerLoaded());
    }

    void longFieldsAndLineBreaksAreSentAsTyped()
    {
        QList<QByteArray> targets;
        rig_->server->server().Get(".*", [&](const httplib::Request& request, httplib::Response&) {
            targets << QByteArray::fromStdString(request.target);
        });
        const QString name = QStringLiteral("line one\nline two\r\n\ttab");
        QCOMPARE(rig_->subscribe(name, QStringLiteral("a@b.example"), false), QStringList{});
        QCOMPARE(targets.size(), 1);
        QVERIFY(targets.first().endsWith("&fname1=line%20one%0Aline%20two%0D%0A%09tab"));

        // 10,000 characters: the request goes out whole; an answer of any kind counts.
        unloadAllWindows();
        const QString longName(10000, QLatin1Char('n'));
        QCOMPARE(rig_->subscribe(longName, QStringLiteral("a@b.example"), false), QStringList{});
        QVERIFY(readerLoaded());
    }

    // --- the book ------------------------------------------------------------------------

    void aMissingStartPageLeavesTheReaderWorking()
    {
        QFile::remove(rig_->folder.file("start.html"));
        QV101m& reader = QV101m::instance();
        reader.ShowMaximized();
        QVERIFY(QTest::qWaitFor([&] { return !reader.WebBrowser1->isLoading(); }, 20000));
        QTest::mouseClick(reader.Command2, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !reader.WebBrowser1->isLoading(); }, 20000));
        QVERIFY(QV101m::loadedInstance());
        QVERIFY(rig_->watcher.seen().isEmpty());
    }
};

DA1011_TEST_MAIN(BadInputTest)
#include "test_bad_input.moc"
