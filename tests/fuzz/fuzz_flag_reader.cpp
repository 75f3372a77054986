// Feeds arbitrary bytes to the flag file's item reader: it must end, never hold more than its
// bounded item length, and never read past what it was given.
#include "platform/runtime/TextFile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    platform::SequentialReader reader(buffer);
    size_t items = 0;
    while (!reader.atEnd()) {
        const QString item = reader.readItem();
        if (item.size() > platform::SequentialReader::kMaxItemLength)
            std::abort();
        // Every item consumes at least one byte, so there can be no more items than bytes.
        if (++items > size)
            std::abort();
    }
    return 0;
}
