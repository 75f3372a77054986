#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

// Makes a real folder and the files in it unwritable while the object lives, the way an
// installed program's folder is for its users. Root writes through permission bits, so
// as root the folder is bind-mounted read-only onto itself, or else marked immutable;
// reason() says why neither worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder)
        : folder_(folder), native_(QFile::encodeName(folder))
    {
        if (::geteuid() != 0) {
            setWritable(false);
            how_ = How::Permissions;
        } else if (::mount(native_.constData(), native_.constData(), nullptr, MS_BIND, nullptr)
                   == 0) {
            how_ = How::BindMount;
            if (::mount(nullptr, native_.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                        nullptr)
                != 0)
                reason_ = QStringLiteral("a read-only bind mount is not allowed here");
        } else if (setImmutable(true)) {
            how_ = How::Immutable;
        } else {
            reason_ = QStringLiteral("as root, neither a read-only bind mount nor the immutable "
                                     "flag (CAP_SYS_ADMIN, CAP_LINUX_IMMUTABLE) is available");
        }
        if (reason_.isEmpty()
            && QFile(QDir(folder_).filePath(QStringLiteral(".probe"))).open(QIODevice::WriteOnly))
            reason_ = QStringLiteral("the folder stayed writable");
    }
    ~ReadOnlyFolder()
    {
        switch (how_) {
        case How::Permissions:
            setWritable(true);
            break;
        case How::BindMount:
            ::umount2(native_.constData(), MNT_DETACH);
            break;
        case How::Immutable:
            setImmutable(false);
            break;
        case How::None:
            break;
        }
        QFile::remove(QDir(folder_).filePath(QStringLiteral(".probe")));
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Empty when the folder is read-only; else why not, for QSKIP.
    QString reason() const { return reason_; }

private:
    enum class How { None, Permissions, BindMount, Immutable };

    QStringList entries() const
    {
        QStringList paths{folder_};
        for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
            paths << QDir(folder_).filePath(name);
        return paths;
    }
    void setWritable(bool writable) const
    {
        for (const QString& path : entries()) {
            auto permissions = QFile::permissions(path);
            // Qt sets the owner's write bit from either flag.
            permissions.setFlag(QFileDevice::WriteOwner, writable);
            permissions.setFlag(QFileDevice::WriteUser, writable);
            QFile::setPermissions(path, permissions);
        }
    }
    bool setImmutable(bool on) const
    {
        bool ok = true;
        for (const QString& path : entries()) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            int flags = 0;
            ok = ok && fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            if (fd >= 0)
                ::close(fd);
        }
        return ok;
    }

    QString folder_;
    QByteArray native_;
    How how_ = How::None;
    QString reason_;
};
