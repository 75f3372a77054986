#pragma once

#include <QString>

// The flag file "dontshow.txt": "1" as its last item means the welcome window is skipped at
// start. It lives in the application folder; where that folder cannot be written (a
// system-wide install), the same file in the per-user config folder stands in for it.
namespace skipfile {

QString pathIn(const QString& appFolder);
// The per-user stand-in: $XDG_CONFIG_HOME/DA1011/dontshow.txt, else ~/.config/DA1011/.
QString userPath();

// "1" when either file's last item is "1"; otherwise the application folder's file's last
// item, or empty text when it holds none. A missing or unreadable file reads as empty text:
// the welcome window is then shown and nothing is written.
QString read(const QString& appFolder);

// Makes the application folder's file hold "1" followed by CR LF, replacing it atomically;
// when that fails, the per-user file instead (its folder is created). Raises
// platform::PlatformError, naming both failures, only when neither can be written; an old
// file stays whole.
void write(const QString& appFolder);

}  // namespace skipfile
