#include "platform/TextFile.h"

#include "platform/Errors.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr qsizetype kBlockSize = qsizetype{64} * 1024;

bool isBlank(int c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(int c)
{
    return c == '\r' || c == '\n';
}

void appendBounded(QString& item, int c)
{
    if (item.size() < SequentialReader::kMaxItemLength)
        item.append(QChar(static_cast<char16_t>(c)));
}

}  // namespace

SequentialReader::SequentialReader(const QString& path) : file_(path), device_(&file_)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw PlatformError(kErrFileNotFound, QStringLiteral("File not found: %1").arg(path));
    // Only a regular file: opening a pipe or a device could wait for ever or never end.
    if (!info.isFile() || !file_.open(QIODevice::ReadOnly)) {
        throw PlatformError(kErrPathFileAccess,
                            QStringLiteral("Path/File access error: %1").arg(path));
    }
}

SequentialReader::SequentialReader(QIODevice& device) : device_(&device)
{
}

bool SequentialReader::fill()
{
    if (pos_ < block_.size())
        return true;
    block_ = device_->read(kBlockSize);
    pos_ = 0;
    if (block_.isEmpty() && !device_->atEnd() && !device_->errorString().isEmpty())
        throw PlatformError(kErrDeviceIo,
                            QStringLiteral("Device I/O error: %1").arg(device_->errorString()));
    return !block_.isEmpty();
}

int SequentialReader::peek()
{
    return fill() ? static_cast<unsigned char>(block_[pos_]) : -1;
}

int SequentialReader::get()
{
    const int c = peek();
    if (c >= 0)
        ++pos_;
    return c;
}

bool SequentialReader::atEnd()
{
    return peek() < 0;
}

void SequentialReader::skipLineEnd(int first)
{
    if (first == '\r' && peek() == '\n')
        get();
}

QString SequentialReader::readItem()
{
    while (isBlank(peek()))
        get();

    QString item;
    int c = get();
    if (c < 0)
        return item;

    if (c == '"') {
        // A quoted item ends at the next quote (or the end of the file); whatever follows
        // it up to the next separator is dropped.
        while ((c = get()) >= 0 && c != '"')
            appendBounded(item, c);
        while ((c = get()) >= 0 && c != ',' && !isLineEnd(c)) { }
        if (isLineEnd(c))
            skipLineEnd(c);
        return item;
    }

    qsizetype keep = 0;  // length up to the last non-blank character
    for (; c >= 0 && c != ',' && !isLineEnd(c); c = get()) {
        appendBounded(item, c);
        if (!isBlank(c))
            keep = item.size();
    }
    if (isLineEnd(c))
        skipLineEnd(c);
    item.truncate(keep);
    return item;
}

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

namespace {

[[noreturn]] void raiseWriteError(const QFileDevice& file)
{
    throw PlatformError(kErrPathFileAccess, reasonInWords(file.errorString()));
}

// Where the folder refuses a new file but the file itself may be written (a folder that is
// read-only, or that may not be added to, holding a writable file), the file is changed in
// place. The new bytes overwrite the old ones before the rest is cut off, so a failed write
// on a full disk leaves the old text readable rather than an empty file.
bool writeInPlace(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isWritable())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    if (!writeAll(file, bytes) || !file.resize(bytes.size()))
        raiseWriteError(file);
    return true;
}

// A save that was killed while it wrote leaves its temporary file ("NAME.XXXXXX") beside
// the target. Only files that cannot be a save still running (untouched for ten seconds) and
// are no longer than what is written now are taken for such leftovers.
void removeLeftoversOfEarlierSaves(const QString& path, qint64 maxSize)
{
    const QFileInfo target(path);
    const QRegularExpression leftover(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(target.fileName())));
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-10);
    const QDir folder = target.dir();
    for (const QFileInfo& file :
         folder.entryInfoList({target.fileName() + QStringLiteral(".*")},
                              QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (leftover.match(file.fileName()).hasMatch() && file.size() <= maxSize
            && file.lastModified() < staleBefore)
            QFile::remove(file.filePath());
    }
}

}  // namespace

void writeLineAtomically(const QString& path, const QString& text)
{
    QByteArray line = text.toLatin1();
    line.append("\r\n");
    QSaveFile file(path);
    // Unbuffered, so that a write the disk has no room for fails here; a buffered one fails
    // only in commit()'s flush, which commit() does not check, and an empty file replaces the
    // old one.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!writeAll(file, line) || !file.commit()) {
            const QString reason = reasonInWords(file.errorString());
            file.cancelWriting();
            throw PlatformError(kErrPathFileAccess, reason);
        }
    } else if (!writeInPlace(path, line)) {
        raiseWriteError(file);
    }
    removeLeftoversOfEarlierSaves(path, line.size());
}

}  // namespace platform
