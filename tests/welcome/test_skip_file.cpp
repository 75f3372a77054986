// Where the flag file is read and written: the application folder first, the per-user config
// folder where the application folder cannot be written.
#include "platform/Errors.h"
#include "platform/UserConfig.h"
#include "support/ReadOnlyFolder.h"
#include "support/UserConfig.h"
#include "welcome/SkipFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class SkipFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString app_;
    QString config_;

    static void put(const QString& path, const std::optional<QByteArray>& bytes)
    {
        QFile::remove(path);
        QFile file(path);
        if (bytes && file.open(QIODevice::WriteOnly))
            file.write(*bytes);
    }
    static std::optional<QByteArray> bytesOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
    }

private slots:
    void init()
    {
        QDir(root_.path()).removeRecursively();
        app_ = root_.filePath(QStringLiteral("app"));
        config_ = root_.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(app_));
        QVERIFY(QDir().mkpath(config_));
    }

    void thePerUserFolderFollowsXdgConfigHome_data()
    {
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/x/cfg/") << QStringLiteral("/x/cfg/DA1011");
        QTest::newRow("unset") << QByteArray() << QStringLiteral("/home/ann/.config/DA1011");
        QTest::newRow("relative, ignored")
            << QByteArray("cfg") << QStringLiteral("/home/ann/.config/DA1011");
    }
    void thePerUserFolderFollowsXdgConfigHome()
    {
        QFETCH(QByteArray, xdg);
        QFETCH(QString, expected);
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "/home/ann");
        ScopedUserConfig config{QString::fromLatin1(xdg)};
        if (xdg.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(platform::userConfigPath(), expected);
        QCOMPARE(skipfile::userPath(), expected + QStringLiteral("/dontshow.txt"));
        qputenv("HOME", home);
    }

    void eitherFileSaying1SkipsTheWelcomeWindow_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("app");
        QTest::addColumn<std::optional<QByteArray>>("user");
        QTest::addColumn<QString>("value");
        const std::optional<QByteArray> none;
        QTest::newRow("app 1") << std::optional<QByteArray>("1\r\n") << none << "1";
        QTest::newRow("user 1") << std::optional<QByteArray>("")
                                << std::optional<QByteArray>("1\r\n") << "1";
        QTest::newRow("app missing, user 1") << none << std::optional<QByteArray>("1\r\n") << "1";
        QTest::newRow("app 0, user 1")
            << std::optional<QByteArray>("0\r\n") << std::optional<QByteArray>("0\r\n1\r\n") << "1";
        QTest::newRow("app 1, user 0")
            << std::optional<QByteArray>("1\r\n") << std::optional<QByteArray>("0\r\n") << "1";
        QTest::newRow("user 1 then 0")
            << std::optional<QByteArray>("") << std::optional<QByteArray>("1\r\n0\r\n") << "";
        QTest::newRow("both other")
            << std::optional<QByteArray>("no\r\n") << std::optional<QByteArray>("0\r\n") << "no";
    }
    void eitherFileSaying1SkipsTheWelcomeWindow()
    {
        QFETCH(std::optional<QByteArray>, app);
        QFETCH(std::optional<QByteArray>, user);
        QFETCH(QString, value);
        ScopedUserConfig config{config_};
        QVERIFY(QDir().mkpath(platform::userConfigPath()));
        put(skipfile::pathIn(app_), app);
        put(skipfile::userPath(), user);
        QCOMPARE(skipfile::read(app_), value);
    }

    void theChoiceGoesToTheAppFolderElseToTheUser_data()
    {
        QTest::addColumn<bool>("appWritable");
        QTest::addColumn<bool>("userWritable");
        QTest::addColumn<std::optional<QByteArray>>("app");
        QTest::addColumn<std::optional<QByteArray>>("user");
        QTest::addColumn<bool>("raised");
        const std::optional<QByteArray> one("1\r\n");
        const std::optional<QByteArray> old("0\r\n");
        const std::optional<QByteArray> none;
        QTest::newRow("app folder writable") << true << true << one << none << false;
        QTest::newRow("app folder read-only") << false << true << old << one << false;
        QTest::newRow("neither writable") << false << false << old << none << true;
    }
    void theChoiceGoesToTheAppFolderElseToTheUser()
    {
        QFETCH(bool, appWritable);
        QFETCH(bool, userWritable);
        QFETCH(std::optional<QByteArray>, app);
        QFETCH(std::optional<QByteArray>, user);
        QFETCH(bool, raised);
        put(skipfile::pathIn(app_), QByteArray("0\r\n"));
        ScopedUserConfig config{userWritable ? config_ : ScopedUserConfig::unwritable()};
        {
            std::optional<ReadOnlyFolder> readOnly;
            if (!appWritable) {
                readOnly.emplace(app_);
                if (!readOnly->reason().isEmpty())
                    QSKIP(qPrintable(readOnly->reason()));
            }
            bool thrown = false;
            try {
                skipfile::write(app_);
            } catch (const platform::PlatformError& error) {
                thrown = true;
                QVERIFY2(error.description().contains(skipfile::userPath()),
                         qPrintable(error.description()));
            }
            QCOMPARE(thrown, raised);
            QCOMPARE(bytesOf(skipfile::pathIn(app_)), app);
            QCOMPARE(bytesOf(config_ + QStringLiteral("/DA1011/dontshow.txt")), user);
            if (!raised)
                QCOMPARE(skipfile::read(app_), QStringLiteral("1"));
        }
    }
};

QTEST_GUILESS_MAIN(SkipFileTest)
#include "test_skip_file.moc"
