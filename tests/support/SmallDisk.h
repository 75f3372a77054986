#pragma once

// Real file-system conditions for tests that run as root: a tiny disk that can be filled up,
// and a folder in which no file may be added. Each says why when it cannot be set up, so the
// test can be skipped with that reason.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

inline bool runQuietly(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// A 64 KiB tmpfs mounted on a fresh folder for the object's life.
class SmallDisk {
public:
    SmallDisk()
    {
        if (!runQuietly("mount", {"-t", "tmpfs", "-o", "size=64k,mode=0755", "tmpfs", dir_.path()}))
            problem_ = QStringLiteral("a tmpfs cannot be mounted here (needs root)");
    }
    ~SmallDisk()
    {
        if (problem_.isEmpty())
            runQuietly("umount", {"-l", dir_.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    QString problem() const { return problem_; }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    // Takes every free block but leaveFree bytes' worth, so that a write that needs more fails
    // with ENOSPC.
    void fill(qint64 leaveFree = 0) const
    {
        QFile filler(file(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'f');
        while (filler.write(block) > 0) { }
        while (filler.write(block.left(1)) > 0) { }
        if (leaveFree > 0)
            filler.resize(qMax<qint64>(0, filler.size() - leaveFree));
    }

private:
    QTemporaryDir dir_;
    QString problem_;
};

// Makes a folder refuse new files (even to root) for the object's life, its files staying
// writable: the immutable attribute on the folder.
class NoNewFiles {
public:
    explicit NoNewFiles(const QString& folder) : folder_(folder)
    {
        if (!runQuietly("chattr", {"+i", folder_}))
            problem_
                = QStringLiteral("chattr +i does not work here (needs root and ext4 or alike)");
    }
    ~NoNewFiles()
    {
        if (problem_.isEmpty())
            runQuietly("chattr", {"-i", folder_});
    }
    NoNewFiles(const NoNewFiles&) = delete;
    NoNewFiles& operator=(const NoNewFiles&) = delete;

    QString problem() const { return problem_; }

private:
    QString folder_;
    QString problem_;
};
