#include "platform/runtime/UserConfig.h"

#include "platform/runtime/AppInfo.h"

#include <QDir>

namespace platform {

QString userConfigPath()
{
    // Spelled out rather than taken from QStandardPaths, whose test mode would move it:
    // the folder is part of what users are told about the flag file.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QLatin1Char('/') + Application::title());
}

}  // namespace platform
