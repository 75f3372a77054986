#include "app/HandOff.h"

#include "platform/runtime/Plugins.h"
#include "reader/ReaderWindowFactory.h"

namespace handoff {

void showReaderWindow()
{
    // The plugin stays loaded for the rest of the run: its window and statics live in it.
    static ReaderWindowFactory* factory = nullptr;
    if (!factory) {
        platform::prepareWebEngine();
        factory = &platform::loadPlugin<ReaderWindowFactory>(QStringLiteral(DA1011_READER_PLUGIN));
    }
    factory->showReaderWindow();
}

}  // namespace handoff
