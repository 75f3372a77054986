#pragma once

#include <QString>

// The flag file "dontshow.txt": "1" as its last item means the welcome window is skipped at
// start. It lives in the application folder; where that folder's file cannot be written (a
// system-wide install), the same file in the per-user config folder stands in for it. Each
// layout has one file that decides: never both.
namespace skipfile {

QString pathIn(const QString& appFolder);
// The per-user stand-in: $XDG_CONFIG_HOME/DA1011/dontshow.txt, else ~/.config/DA1011/.
QString userPath();

// The last item of the file that decides: the application folder's wherever it can be
// written; elsewhere the per-user file once it exists, and until then the application
// folder's as shipped. Empty text when it holds none. A missing or unreadable
// file reads as empty text: the welcome window is then shown and nothing is written.
QString read(const QString& appFolder);

// Makes the application folder's file hold "1" followed by CR LF, replacing it atomically;
// where that file cannot be written (platform::whyNotWritable), the per-user file instead
// (its folder is created). Raises platform::PlatformError when the choice cannot be saved,
// with the application folder's reason; an old file stays whole.
void write(const QString& appFolder);

}  // namespace skipfile
