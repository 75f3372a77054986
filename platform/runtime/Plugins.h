#pragma once

#include <QObject>
#include <QString>

namespace platform {

// Finds the plugin of the program that offers the interface with the given id: one linked
// into the process, or else the file baseName (without suffix) in the program's library folder
// lib/ of the application folder (the executable's own), which stays loaded for the rest of
// the run. Raises PlatformError
// when there is none, with the loader's reason.
QObject& loadPluginObject(const QString& baseName, const char* interfaceId);

template <class Interface> Interface& loadPlugin(const QString& baseName)
{
    QObject& plugin = loadPluginObject(baseName, qobject_interface_iid<Interface*>());
    return *qobject_cast<Interface*>(&plugin);
}

// The web engine renders through a graphics context shared with the application's windows,
// which an application normally asks for before it starts. The program sets it up here, just
// before it loads the plugin with the web view, so that starts that never show a web view do
// not pay for it.
void prepareWebEngine();

}  // namespace platform
