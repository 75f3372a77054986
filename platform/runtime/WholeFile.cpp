#include "platform/runtime/WholeFile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace platform {

bool writeAll(QFileDevice& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

QString reasonInWords(const QString& systemText)
{
    const auto says = [&systemText](int code) {
        return systemText.contains(QString::fromLocal8Bit(std::strerror(code)),
                                   Qt::CaseInsensitive);
    };
    if (says(ENOSPC) || says(EDQUOT))
        return QStringLiteral("the disk is full");
    if (says(EROFS))
        return QStringLiteral("the disk can only be read");
    if (says(EACCES) || says(EPERM))
        return QStringLiteral("you may not change files in that folder");
    if (says(ENOENT))
        return QStringLiteral("the folder does not exist");
    if (systemText.contains(QStringLiteral("is not writable")))
        return QStringLiteral("the file may not be changed");
    if (says(EISDIR) || systemText.contains(QStringLiteral("refers to a directory")))
        return QStringLiteral("a folder of that name is in the way");
    if (says(EIO))
        return QStringLiteral("the disk could not be written");
    if (systemText.isEmpty() || systemText == QStringLiteral("Unknown error"))
        return QStringLiteral("the reason is unknown");
    return systemText.left(1).toLower() + systemText.mid(1);
}

QString saveWhole(const QString& path, const QByteArray& bytes)
{
    // Unbuffered, so that a disk without room fails the write itself: a buffered write would
    // fail only in commit()'s flush, which commit() does not check.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, bytes)
        || !file.commit())
        return reasonInWords(file.errorString());
    return {};
}

}  // namespace platform
