#include "platform/runtime/TextFile.h"

#include "platform/runtime/Errors.h"
#include "platform/runtime/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
}

QString whyNotWritable(const QString& path)
{
    // Asked of the system, not tried: finding out must neither create nor remove a file.
    // A file that is there is written in place or replaced, so its own permission decides;
    // a file that is not there yet needs a folder that takes new files.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return reasonInWords(QString::fromLocal8Bit(std::strerror(EISDIR)));
    const QString asked = info.exists() ? path : info.absolutePath();
    const QByteArray native = QFile::encodeName(asked);
    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) == 0)
        return {};
    const int refused = errno;
    return reasonInWords(QString::fromLocal8Bit(std::strerror(refused)));
}

}  // namespace platform
