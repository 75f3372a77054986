#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace platform {

// Reads a sequential text file item by item. Items are separated by commas or line ends
// (CR LF, LF or CR); spaces and tabs around an unquoted item are dropped; a double-quoted
// item is taken without its quotes and may hold commas and line ends. Bytes are 8-bit
// characters. The file is streamed in blocks, never read into memory whole, and an item
// keeps at most kMaxItemLength characters.
class SequentialReader {
public:
    static constexpr qsizetype kMaxItemLength = qsizetype{64} * 1024;

    // Raises PlatformError when the file cannot be opened for reading.
    explicit SequentialReader(const QString& path);
    // Reads from a device that is already open; the device must outlive the reader.
    explicit SequentialReader(QIODevice& device);

    bool atEnd();
    QString readItem();

private:
    int peek();  // -1 at the end of the file
    int get();
    bool fill();
    void skipLineEnd(int first);

    QFile file_;
    QIODevice* device_;
    QByteArray block_;
    qsizetype pos_ = 0;
};

// Makes the file hold exactly one line: the text followed by CR LF. The file is replaced
// atomically, so a failed write leaves the old file whole; where the folder takes no new
// file but the file itself is writable, it is overwritten in place. No other file is touched.
// Raises PlatformError on failure, its description the reason in a user's words.
void writeLineAtomically(const QString& path, const QString& text);

// Why writeLineAtomically would be refused the file, in a user's words; empty when it may
// write it: the file is there and may be changed, or it is not there and its folder takes
// new files. A full disk is found only by writing.
QString whyNotWritable(const QString& path);

}  // namespace platform
