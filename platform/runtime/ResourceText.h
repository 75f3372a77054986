#pragma once

#include <QString>

namespace platform {

// The text of a file built into the program (qt_add_resources), such as a script the program
// runs in its pages. A missing one is a fault of the build, not of the book: the program
// stops and names it, rather than go on without a protection the script gives.
QString resourceText(const QString& path);

}  // namespace platform
