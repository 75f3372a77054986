#include "platform/TextFile.h"

#include "platform/Errors.h"

#include <QFileInfo>
#include <QSaveFile>

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

void writeLineAtomically(const QString& path, const QString& text)
{
    QSaveFile file(path);
    QByteArray line = text.toLatin1();
    line.append("\r\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(line) != line.size() || !file.commit()) {
        const QString reason
            = file.errorString().isEmpty() ? QStringLiteral("unknown error") : file.errorString();
        file.cancelWriting();
        throw PlatformError(kErrPathFileAccess, reason);
    }
}

}  // namespace platform
