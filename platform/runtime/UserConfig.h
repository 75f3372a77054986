#pragma once

#include <QString>

namespace platform {

// The per-user folder for the program's own files: $XDG_CONFIG_HOME/DA1011, or
// ~/.config/DA1011 when that variable is unset, empty or not an absolute path. The folder
// may not exist yet.
QString userConfigPath();

}  // namespace platform
