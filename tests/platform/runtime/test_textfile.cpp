#include "platform/runtime/Errors.h"
#include "platform/runtime/TextFile.h"
#include "support/SmallDisk.h"
#include "support/UserConfig.h"
#include "welcome/SkipFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::PlatformError;
using platform::SequentialReader;

class TextFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QTemporaryDir userConfig_;
    ScopedUserConfig isolated_{userConfig_.path()};

    QString put(const QByteArray& bytes, const QString& name = QStringLiteral("items.txt"))
    {
        QString path = dir_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        return path;
    }

    QStringList items(const QByteArray& bytes)
    {
        SequentialReader reader(put(bytes));
        QStringList list;
        while (!reader.atEnd())
            list << reader.readItem();
        return list;
    }

private slots:
    void itemsAreSplitAtCommasAndEveryKindOfLineEnd_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("written flag") << QByteArray("1\r\n") << QStringList{"1"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        QTest::newRow("no line end") << QByteArray("1") << QStringList{"1"};
        QTest::newRow("LF lines") << QByteArray("1\n0\n") << QStringList{"1", "0"};
        QTest::newRow("CR lines") << QByteArray("0\r1\r") << QStringList{"0", "1"};
        QTest::newRow("commas") << QByteArray("a,b , c\r\n") << QStringList{"a", "b", "c"};
        QTest::newRow("blanks dropped") << QByteArray(" \t1\t \r\n") << QStringList{"1"};
        QTest::newRow("inner blanks kept") << QByteArray("a b\r\n") << QStringList{"a b"};
        QTest::newRow("quoted with comma")
            << QByteArray("\"x, y\",1\r\n") << QStringList{"x, y", "1"};
        QTest::newRow("quoted one") << QByteArray("\"1\"\r\n") << QStringList{"1"};
        QTest::newRow("quoted then junk")
            << QByteArray("\"1\" junk,2\r\n") << QStringList{"1", "2"};
        QTest::newRow("unterminated quote") << QByteArray("\"1\r\n0") << QStringList{"1\r\n0"};
        QTest::newRow("only commas") << QByteArray(",,,") << QStringList{"", "", ""};
        QTest::newRow("blank line in between") << QByteArray("1\r\n\r\n") << QStringList{"1", ""};
        QTest::newRow("8-bit bytes")
            << QByteArray("caf\xe9\r\n") << QStringList{QStringLiteral("caf\u00e9")};
    }
    void itemsAreSplitAtCommasAndEveryKindOfLineEnd()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(items(bytes), expected);
    }

    void binaryBytesAndNulsAreReadWithoutHarm()
    {
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(static_cast<char>((i * 37) & 0xff));
        const QStringList list = items(bytes);
        QVERIFY(!list.isEmpty());
    }

    void aHugeItemIsStreamedAndBounded()
    {
        // 20 MB without a single separator: the reader keeps a bounded prefix of the item.
        QByteArray chunk(qsizetype{1024} * 1024, 'x');
        const QString path = dir_.filePath(QStringLiteral("huge.txt"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            for (int i = 0; i < 20; ++i)
                file.write(chunk);
            file.write("\r\n1\r\n");
        }
        SequentialReader reader(path);
        const QString first = reader.readItem();
        QCOMPARE(first.size(), SequentialReader::kMaxItemLength);
        QCOMPARE(reader.readItem(), QStringLiteral("1"));
        QVERIFY(reader.atEnd());
    }

    void openingAMissingFileOrAFolderRaisesAFileError()
    {
        try {
            SequentialReader reader(dir_.filePath(QStringLiteral("absent.txt")));
            QFAIL("no error raised");
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), platform::kErrFileNotFound);
        }
        QDir(dir_.path()).mkdir(QStringLiteral("folder.txt"));
        QVERIFY_THROWS_EXCEPTION(PlatformError,
                                 SequentialReader(dir_.filePath(QStringLiteral("folder.txt"))));
    }

    void theWriterLeavesExactlyOneLineEndingInCrLf()
    {
        const QString path = put("old content that is much longer\r\n2\r\n");
        platform::writeLineAtomically(path, QStringLiteral("1"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\x31\x0d\x0a"));
    }

    void aFailedWriteRaisesAndLeavesNoTrace()
    {
        // A folder in the file's place cannot be replaced by a file.
        QDir(dir_.path()).mkdir(QStringLiteral("blocked.txt"));
        const QString blocked = dir_.filePath(QStringLiteral("blocked.txt"));
        try {
            platform::writeLineAtomically(blocked, QStringLiteral("1"));
            QFAIL("no error raised");
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), platform::kErrPathFileAccess);
            QVERIFY(!error.description().isEmpty());
        }
        QVERIFY(QFileInfo(blocked).isDir());
        const QString inMissingFolder = dir_.filePath(QStringLiteral("no/such/folder/f.txt"));
        QVERIFY_THROWS_EXCEPTION(
            PlatformError, platform::writeLineAtomically(inMissingFolder, QStringLiteral("1")));
        QVERIFY(!QFile::exists(inMissingFolder));
    }

    void aFolderThatTakesNoNewFileHasItsWritableFileChangedInPlace()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("dontshow.txt"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("0\r\n") == 3);
        old.close();
        const NoNewFiles locked(folder.path());
        if (!locked.problem().isEmpty())
            QSKIP(qPrintable(locked.problem()));
        platform::writeLineAtomically(path, QStringLiteral("1"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("1\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"dontshow.txt"});
    }

    void aSaveTouchesNoOtherFile()
    {
        // Files named like a save's temporary file are the user's: none is removed, however
        // old or short, and no temporary file of the save is left beside them.
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const auto put = [&](const QString& name, const QByteArray& bytes, int ageSeconds) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            file.flush();
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
        };
        put("dontshow.txt.aB3xYz", "1", 60);
        put("dontshow.txt.Qw12Er", "1\r\n", 60);
        put("dontshow.txt.Zz9Zz9", "", 0);
        put("dontshow.txt.backup", "0", 60);
        put("dontshow.txt.bAckUp", "someone's own longer file", 60);
        put("dontshow.txt.bak", "", 60);
        const QStringList before = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        platform::writeLineAtomically(dir.filePath("dontshow.txt"), QStringLiteral("1"));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList{"dontshow.txt"} + before);
        QFile backup(dir.filePath("dontshow.txt.backup"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray("0"));
    }

    void theSkipDecisionFollowsTheFilesLastItem_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("value");
        QTest::newRow("as written") << QByteArray("1\r\n") << QStringLiteral("1");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("zero") << QByteArray("0\r\n") << QStringLiteral("0");
        QTest::newRow("1 then 0") << QByteArray("1\r\n0\r\n") << QStringLiteral("0");
        QTest::newRow("0 then 1") << QByteArray("0\r\n1\r\n") << QStringLiteral("1");
        QTest::newRow("quoted 1") << QByteArray("\"1\"\r\n") << QStringLiteral("1");
        QTest::newRow("plain word") << QByteArray("yes\r\n") << QStringLiteral("yes");
    }
    void theSkipDecisionFollowsTheFilesLastItem()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, value);
        put(bytes, QStringLiteral("dontshow.txt"));
        QCOMPARE(skipfile::read(dir_.path()), value);
    }

    void aMissingOrUnreadableFlagFileReadsAsNoItem()
    {
        QTemporaryDir empty;
        QCOMPARE(skipfile::read(empty.path()), QString());
        QVERIFY(!QFile::exists(skipfile::pathIn(empty.path())));
        QDir(empty.path()).mkdir(QStringLiteral("dontshow.txt"));
        QCOMPARE(skipfile::read(empty.path()), QString());
    }

    void theFlagWrittenReadsBackAsOne()
    {
        QTemporaryDir folder;
        skipfile::write(folder.path());
        QCOMPARE(skipfile::read(folder.path()), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "test_textfile.moc"
