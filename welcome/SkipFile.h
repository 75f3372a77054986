#pragma once

#include <QString>

// The flag file "dontshow.txt" in the application folder: "1" as its last item means the
// welcome window is skipped at start.
namespace skipfile {

QString pathIn(const QString& appFolder);

// The file's last item, or empty text when it holds none. A missing or unreadable file
// also reads as empty text: the welcome window is then shown and nothing is written.
QString read(const QString& appFolder);

// Makes the file hold "1" followed by CR LF, replacing it atomically.
// Raises platform::PlatformError when it cannot be written; the old file stays whole.
void write(const QString& appFolder);

}  // namespace skipfile
