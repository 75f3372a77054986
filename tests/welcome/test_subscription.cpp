#include "platform/forms/Form.h"
#include "platform/runtime/AppInfo.h"
#include "reader/QV101m.h"
#include "support/TestMain.h"
#include "support/WelcomeRig.h"
#include "welcome/QV101.h"
#include "welcome/SubscriptionUrl.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace std::chrono_literals;

class SubscriptionTest : public QObject {
    Q_OBJECT

    std::optional<WelcomeRig> rig_;

private slots:
    void init()
    {
        LoopbackServer& server = *rig_.emplace().server;
        server.server().Get(
            ".*", [&server](const httplib::Request& request, httplib::Response& response) {
                server.record(request);
                response.set_content("subscribed", "text/plain");
            });
    }
    void cleanup()
    {
        rig_.reset();
        QVERIFY(!platform::Application::exitRequested());
    }

    void theAddressCarriesBothValuesEncodedInOrder()
    {
        QCOMPARE(subscriptionBase(),
                 QStringLiteral("http://www.quorvel.example/quorvelweekly/subscribe.cgi?email="));
        QCOMPARE(
            subscriptionUrl(QStringLiteral("http://h/p?email="), QStringLiteral("a&b=c#d e+f"),
                            QStringLiteral("J\u00f6rg ~x.y_z-")),
            QStringLiteral("http://h/p?email=a%26b%3Dc%23d%20e%2Bf&fname1=J%C3%B6rg%20~x.y_z-"));
        const QString raw = subscriptionUrl(QString(), QStringLiteral("x\r\n\t\x01y"), QString());
        for (QChar c : raw)
            QVERIFY(c.unicode() > 0x20 && c.unicode() < 0x7f);
    }

    void missingFieldsAreReportedAndNothingIsSent_data()
    {
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("message");
        QTest::newRow("both empty")
            << QString() << QString() << QStringLiteral("You Forgot to enter your first name");
        QTest::newRow("email empty") << QStringLiteral("Ann") << QString()
                                     << QStringLiteral("You Forgot to enter your email address");
        QTest::newRow("name empty") << QString() << QStringLiteral("a@b.example")
                                    << QStringLiteral("You Forgot to enter your first name");
    }
    void missingFieldsAreReportedAndNothingIsSent()
    {
        QFETCH(QString, firstName);
        QFETCH(QString, email);
        QFETCH(QString, message);
        QCOMPARE(rig_->subscribe(firstName, email, true), QStringList{message});
        QCOMPARE(rig_->watcher.seen().first().title, QStringLiteral("Quorvel 101"));
        QCOMPARE(rig_->watcher.seen().first().icon, QMessageBox::NoIcon);
        QVERIFY(rig_->server->targets().isEmpty());
        QV101* w = QV101::loadedInstance();
        QVERIFY(w);
        QCOMPARE(w->Text1->text(), firstName);
        QCOMPARE(w->Text2->text(), email);
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray());
        QVERIFY(!readerLoaded());
    }

    void theServerReceivesWhatWasTyped()
    {
        const QString name = QStringLiteral("  J\u00f6rg & Co = #1 ");
        const QString email = QStringLiteral("j+x@b.example&fname1=evil#frag");
        QCOMPARE(rig_->subscribe(name, email, false), QStringList{});
        const QList<QByteArray> targets = rig_->server->targets();
        QCOMPARE(targets.size(), 1);
        const QUrl url(QString::fromLatin1(targets.first()));
        QCOMPARE(url.host(), QStringLiteral("www.quorvel.example"));
        QCOMPARE(url.path(), QStringLiteral("/quorvelweekly/subscribe.cgi"));
        const QUrlQuery query(url);
        const auto items = query.queryItems(QUrl::FullyDecoded);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].first, QStringLiteral("email"));
        QCOMPARE(items[1].first, QStringLiteral("fname1"));
        QCOMPARE(
            QUrl::fromPercentEncoding(query.queryItemValue("email", QUrl::FullyEncoded).toLatin1()),
            email);
        QCOMPARE(QUrl::fromPercentEncoding(
                     query.queryItemValue("fname1", QUrl::FullyEncoded).toLatin1()),
                 name);
        QVERIFY(!QV101::loadedInstance());
        QVERIFY(readerLoaded());
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray());  // box unticked: left as it was
    }

    void theHourglassShowsWhileTheRequestRuns()
    {
        rig_->newServer().server().Get(".*",
                                       [](const httplib::Request&, httplib::Response& response) {
                                           std::this_thread::sleep_for(400ms);
                                           response.set_content("ok", "text/plain");
                                       });
        auto pointerDuring = platform::MousePointer::Default;
        Qt::CursorShape shapeDuring = Qt::ArrowCursor;
        QTimer::singleShot(150, this, [&] {
            if (QV101* live = QV101::loadedInstance())
                pointerDuring = live->mousePointer();
            if (QGuiApplication::overrideCursor())
                shapeDuring = QGuiApplication::overrideCursor()->shape();
        });
        rig_->subscribe(QStringLiteral("Ann"), QStringLiteral("a@b.example"), false);
        QCOMPARE(pointerDuring, platform::MousePointer::Hourglass);
        QCOMPARE(shapeDuring, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void aFailedRequestKeepsTheWindowAsItWas()
    {
        // Nothing listens on the proxy port any more: the connection is refused.
        rig_->server.reset();
        const QByteArray before("0\r\n");
        rig_->folder.write("dontshow.txt", before);
        QV101& w = fillWelcome(QStringLiteral("Ann"), QStringLiteral("a@b.example"), true);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(
            rig_->watcher.texts(),
            QStringList{QStringLiteral(
                "Sorry, your subscription could not be sent (the server could not be reached). "
                "Please check your Internet connection and try again.")});
        QCOMPARE(rig_->watcher.seen().first().title, QStringLiteral("Quorvel 101"));
        QCOMPARE(QV101::loadedInstance(), &w);
        QCOMPARE(w.Text1->text(), QStringLiteral("Ann"));
        QCOMPARE(w.Text2->text(), QStringLiteral("a@b.example"));
        QCOMPARE(w.Check1->checkState(), Qt::Checked);
        QCOMPARE(w.mousePointer(), platform::MousePointer::Default);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(rig_->folder.read("dontshow.txt"), before);
        QVERIFY(!readerLoaded());
    }

    void subscribingWithTheBoxTickedRemembersTheChoice()
    {
        QCOMPARE(rig_->subscribe(), QStringList{});
        QCOMPARE(rig_->server->targets().size(), 1);
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray("\x31\x0d\x0a"));
        QVERIFY(readerLoaded());
    }

    void aChoiceThatCannotBeSavedIsReportedAndTheBookStillOpens()
    {
        QFile::remove(rig_->folder.file("dontshow.txt"));
        QDir(rig_->folder.path()).mkdir("dontshow.txt");
        const ScopedUserConfig noUserFolder(ScopedUserConfig::unwritable());
        QV101& w = fillWelcome(QString(), QString(), true);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(rig_->watcher.seen().size(), 1);
        QCOMPARE(rig_->watcher.texts().first(),
                 QStringLiteral("Your choice could not be saved (a folder of that name is in the "
                                "way). The welcome window will be shown again next time."));
        QCOMPARE(rig_->watcher.seen().first().title, QStringLiteral("Quorvel 101"));
        QVERIFY(readerLoaded());
        QVERIFY(QFileInfo(rig_->folder.file("dontshow.txt")).isDir());
    }

    void startBookHandsOverToTheReaderOnce()
    {
        auto& registry = platform::FormRegistry::instance();
        QSignalSpy ended(&registry, &platform::FormRegistry::noWindowLoaded);
        rig_->folder.write("dontshow.txt", "0\r\n");
        QV101& w = fillWelcome(QString(), QString(), false);
        QPointer<QV101> old(&w);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(!QV101::loadedInstance());
        QV101m* reader = QV101m::loadedInstance();
        QVERIFY(reader);
        QVERIFY(reader->isVisible());
        QVERIFY(reader->windowState() & Qt::WindowMaximized);
        QCOMPARE(reader->windowTitle(), QStringLiteral("Quorvel 101"));
        QTRY_VERIFY(!old);
        QTest::qWait(50);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(QV101m::loadedInstance(), reader);
        QCOMPARE(rig_->folder.read("dontshow.txt"), QByteArray("0\r\n"));
        QVERIFY(rig_->server->targets().isEmpty());
    }

    void theNextStartSkipsTheWelcomeWindow()
    {
        rig_->folder.write("dontshow.txt", "1\r\n");
        QV101& w = QV101::instance();
        QVERIFY(!w.isLoaded());
        QVERIFY(!w.isVisible());
        QVERIFY(readerLoaded());
    }

    void otherFlagValuesShowTheWelcomeWindowAndStayAsTheyWere_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("0") << QByteArray("0\r\n");
        QTest::newRow("1 then 0") << QByteArray("1\r\n0\r\n");
        QTest::newRow("one with blank") << QByteArray("1 x\r\n");
        QTest::newRow("binary") << QByteArray("\x00\xff\x01", 3);
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte.append(static_cast<char>(i));
        QTest::newRow("every byte") << everyByte;
        QTest::newRow("only commas") << QByteArray(",,,,,,");
        QTest::newRow("unterminated quote") << QByteArray("\"0, 1\r\n");
        QTest::newRow("NULs") << QByteArray(16, '\0');
        QTest::newRow("1 in another encoding") << QByteArray("\xff\xfe"
                                                             "1\0\r\0\n\0",
                                                             8);
    }
    void otherFlagValuesShowTheWelcomeWindowAndStayAsTheyWere()
    {
        QFETCH(QByteArray, bytes);
        rig_->folder.write("dontshow.txt", bytes);
        QV101& w = QV101::instance();
        QVERIFY(w.isLoaded());
        QCOMPARE(w.Label2->text(), QV101::kLabel2Text);
        QVERIFY(!readerLoaded());
        QCOMPARE(rig_->folder.read("dontshow.txt"), bytes);
    }

    void aMissingFlagFileShowsTheWelcomeWindowAndWritesNothing()
    {
        QFile::remove(rig_->folder.file("dontshow.txt"));
        QV101& w = QV101::instance();
        QVERIFY(w.isLoaded());
        QVERIFY(!QFile::exists(rig_->folder.file("dontshow.txt")));
    }
};

DA1011_TEST_MAIN(SubscriptionTest)
#include "test_subscription.moc"
