#pragma once

#include <QString>

namespace platform {

// A script a print job runs in the page, by its file name in scripts/ (built in under
// :/print/).
QString printScript(const QString& fileName);

}  // namespace platform
