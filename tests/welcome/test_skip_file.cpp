// Where the flag file is read and written: the application folder first, the per-user config
// folder where the application folder cannot be written.
#include "platform/runtime/Errors.h"
#include "platform/runtime/UserConfig.h"
#include "support/ReadOnlyFolder.h"
#include "support/UserConfig.h"
#include "welcome/SkipFile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <unistd.h>

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

    void oneFileDecidesInEachLayout_data()
    {
        QTest::addColumn<bool>("appWritable");
        QTest::addColumn<std::optional<QByteArray>>("app");
        QTest::addColumn<std::optional<QByteArray>>("user");
        QTest::addColumn<QString>("value");
        const std::optional<QByteArray> none;
        const std::optional<QByteArray> one("1\r\n");
        const std::optional<QByteArray> empty("");
        // A folder the user may write: its own file decides, the per-user file is not read.
        QTest::newRow("app 1") << true << one << none << "1";
        QTest::newRow("user 1") << true << empty << one << "";
        QTest::newRow("app missing, user 1") << true << none << one << "";
        QTest::newRow("app 0, user 1") << true << std::optional<QByteArray>("0\r\n")
                                       << std::optional<QByteArray>("0\r\n1\r\n") << "0";
        QTest::newRow("app 1, user 0") << true << one << std::optional<QByteArray>("0\r\n") << "1";
        QTest::newRow("both other") << true << std::optional<QByteArray>("no\r\n")
                                    << std::optional<QByteArray>("0\r\n") << "no";
        // A read-only folder: the per-user file stands in once it exists.
        QTest::newRow("read-only, user 1") << false << empty << one << "1";
        QTest::newRow("read-only, app missing, user 1") << false << none << one << "1";
        QTest::newRow("read-only, user 1 then 0")
            << false << empty << std::optional<QByteArray>("1\r\n0\r\n") << "0";
        QTest::newRow("read-only, app 1, user 0")
            << false << one << std::optional<QByteArray>("0\r\n") << "0";
        QTest::newRow("read-only, no user file")
            << false << std::optional<QByteArray>("no\r\n") << none << "no";
    }
    void oneFileDecidesInEachLayout()
    {
        QFETCH(bool, appWritable);
        QFETCH(std::optional<QByteArray>, app);
        QFETCH(std::optional<QByteArray>, user);
        QFETCH(QString, value);
        ScopedUserConfig config{config_};
        QVERIFY(QDir().mkpath(platform::userConfigPath()));
        put(skipfile::pathIn(app_), app);
        put(skipfile::userPath(), user);
        std::optional<ReadOnlyFolder> readOnly;
        if (!appWritable) {
            readOnly.emplace(app_);
            if (!readOnly->reason().isEmpty())
                QSKIP(qPrintable(readOnly->reason()));
        }
        QCOMPARE(skipfile::read(app_), value);
    }

    void theChoiceGoesToTheAppFolderElseToTheUser_data()
    {
        QTest::addColumn<bool>("appWritable");
        QTest::addColumn<bool>("userWritable");
        QTest::addColumn<std::optional<QByteArray>>("app");
        QTest::addColumn<std::optional<QByteArray>>("user");
        QTest::addColumn<bool>("raised");
        QTest::addColumn<bool>("bitsOnly");
        const std::optional<QByteArray> one("1\r\n");
        const std::optional<QByteArray> old("0\r\n");
        const std::optional<QByteArray> none;
        QTest::newRow("app folder writable") << true << true << one << none << false << false;
        QTest::newRow("app folder read-only") << false << true << old << one << false << false;
        QTest::newRow("neither writable") << false << false << old << none << true << false;
        // An installed folder, read-only by its permissions: root still writes it.
        const bool root = ::geteuid() == 0;
        QTest::newRow("installed, no write bits")
            << false << true << (root ? one : old) << (root ? none : one) << false << true;
    }
    void theChoiceGoesToTheAppFolderElseToTheUser()
    {
        QFETCH(bool, appWritable);
        QFETCH(bool, userWritable);
        QFETCH(std::optional<QByteArray>, app);
        QFETCH(std::optional<QByteArray>, user);
        QFETCH(bool, raised);
        QFETCH(bool, bitsOnly);
        put(skipfile::pathIn(app_), QByteArray("0\r\n"));
        ScopedUserConfig config{userWritable ? config_ : ScopedUserConfig::unwritable()};
        {
            const QFileDevice::Permissions readOnlyBits = QFileDevice::ReadOwner
                | QFileDevice::ReadUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
            const QFileDevice::Permissions searchBits = QFileDevice::ExeOwner | QFileDevice::ExeUser
                | QFileDevice::ExeGroup | QFileDevice::ExeOther;
            const auto bitsBack = qScopeGuard([&] {
                QFile::setPermissions(app_, readOnlyBits | searchBits | QFileDevice::WriteOwner);
            });
            if (bitsOnly) {
                QVERIFY(QFile::setPermissions(skipfile::pathIn(app_), readOnlyBits));
                QVERIFY(QFile::setPermissions(app_, readOnlyBits | searchBits));
            }
            std::optional<ReadOnlyFolder> readOnly;
            if (!appWritable && !bitsOnly) {
                readOnly.emplace(app_);
                if (!readOnly->reason().isEmpty())
                    QSKIP(qPrintable(readOnly->reason()));
            }
            bool thrown = false;
            try {
                skipfile::write(app_);
            } catch (const platform::PlatformError& error) {
                thrown = true;
                // the reason told is the application folder's, where the choice belongs
                QVERIFY2(!error.description().contains(skipfile::userPath()),
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
