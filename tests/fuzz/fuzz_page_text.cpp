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
    if (page.text.contains(QLatin1Char('\r')) || page.text.contains(QLatin1Char('\t'))
        || page.text.contains(QLatin1String("  ")) || page.text.contains(QLatin1String("\n\n"))
        || page.text.startsWith(QLatin1Char(' ')) || page.text.startsWith(QLatin1Char('\n')))
        std::abort();
    return 0;
}
