#include "platform/runtime/FolderConfinement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <utility>

namespace platform {

QString canonicalFolder(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

bool isInsideFolder(const QString& canonicalFolder, const QString& path)
{
    if (canonicalFolder.isEmpty())
        return false;
    // Links inside the folder that point elsewhere are followed to where they point.
    const QString cleaned = QDir::cleanPath(path);
    const QString canonical = QFileInfo(cleaned).canonicalFilePath();
    return isRealPathInFolder(canonicalFolder, canonical.isEmpty() ? cleaned : canonical);
}

bool isRealPathInFolder(const QString& canonicalFolder, const QString& real)
{
    if (canonicalFolder.isEmpty())
        return false;
    return real == canonicalFolder || real.startsWith(canonicalFolder + QLatin1Char('/'))
        || (canonicalFolder == QLatin1String("/") && real.startsWith(canonicalFolder));
}

bool isFileInsideFolder(const QString& canonicalFolder, const QUrl& url)
{
    if (url.scheme() != QLatin1String("file") || !url.host().isEmpty())
        return false;
    return isInsideFolder(canonicalFolder, url.toLocalFile());
}

#ifdef Q_OS_UNIX
namespace {

// A descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) { }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

}  // namespace
#endif

bool openFileInFolder(QFile& file, const QString& canonicalFolder, const QString& realPath)
{
    if (!isRealPathInFolder(canonicalFolder, realPath) || realPath == canonicalFolder)
        return false;
#ifdef Q_OS_UNIX
    const QString relative = realPath.mid(canonicalFolder.size())
                                 .section(QLatin1Char('/'), 0, -1, QString::SectionSkipEmpty);
    const QStringList names = relative.split(QLatin1Char('/'));
    Descriptor at(
        ::open(QFile::encodeName(canonicalFolder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (at.get() < 0)
        return false;
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        if (names[i] == QLatin1String("..") || names[i] == QLatin1String("."))
            return false;
        // O_NOFOLLOW with O_PATH would open a link itself: O_DIRECTORY refuses it.
        Descriptor next(::openat(at.get(), QFile::encodeName(names[i]).constData(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0)
            return false;
        at.reset(next.release());
    }
    Descriptor opened(::openat(at.get(), QFile::encodeName(names.last()).constData(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status = {};
    if (opened.get() < 0 || ::fstat(opened.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (!file.open(opened.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return false;
    opened.release();
    return true;
#else
    file.setFileName(realPath);
    return QFileInfo(realPath).isFile() && file.open(QIODevice::ReadOnly);
#endif
}

}  // namespace platform
