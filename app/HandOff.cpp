#include "app/HandOff.h"

#include "platform/Errors.h"
#include "platform/Module.h"

namespace handoff {

namespace {
ShowWindow g_showReader = nullptr;
}  // namespace

void registerReaderWindow(ShowWindow show)
{
    g_showReader = show;
}

void showReaderWindow()
{
    if (!g_showReader)
        platform::loadWebModule(QStringLiteral("DA1011-reader.so"));
    if (!g_showReader)
        throw platform::PlatformError(
            platform::kErrInternal, QStringLiteral("The reader window is missing from its module"));
    g_showReader();
}

}  // namespace handoff
