// Feeds arbitrary bytes to the whole-book search's page reader as if they were a page: it
// must end, never crash, and give only text that holds no markup of its own making (no
// carriage returns or tabs, no doubled spaces, no empty lines).
#include "platform/search/BookText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    bool isPage = false;
    const platform::PageText page = platform::readPageText(bytes, &isPage);
    if (!isPage && (!page.text.isEmpty() || !page.links.isEmpty()))
        std::abort();
    if (page.text.contains('\r') || page.text.contains('\t') || page.text.contains("  ")
        || page.text.contains("\n\n") || page.text.startsWith(' ') || page.text.startsWith('\n')
        || !QByteArrayView(page.text).isValidUtf8())
        std::abort();
    return 0;
}
