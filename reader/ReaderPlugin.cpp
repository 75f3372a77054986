#include "reader/ReaderPlugin.h"

#include "reader/QV101m.h"

void ReaderPlugin::showReaderWindow()
{
    // Without an owner, maximized as designed.
    QV101m::instance().ShowMaximized();
}
