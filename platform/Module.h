#pragma once

#include <QString>

namespace platform {

// Loads a module of the program (a shared library beside the executable) and keeps it for
// the rest of the run. Its start-up code runs on load. Raises PlatformError when it cannot
// be loaded, with the loader's reason.
void loadModule(const QString& name);

// The same for a module that holds a web view: the web engine renders through a graphics
// context shared with the application's windows, which an application normally sets up when
// it starts. The program sets it up here instead, so that starts that never show a web view
// do not pay for it.
void loadWebModule(const QString& name);

}  // namespace platform
