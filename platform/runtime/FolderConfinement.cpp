#include "platform/runtime/FolderConfinement.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace platform {

QString canonicalFolder(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

bool isInsideFolder(const QString& canonicalFolder, const QString& path)
{
    if (canonicalFolder.isEmpty())
        return false;
    // Links inside the folder that point elsewhere are followed to where they point.
    const QString cleaned = QDir::cleanPath(path);
    const QString canonical = QFileInfo(cleaned).canonicalFilePath();
    return isRealPathInFolder(canonicalFolder, canonical.isEmpty() ? cleaned : canonical);
}

bool isRealPathInFolder(const QString& canonicalFolder, const QString& real)
{
    if (canonicalFolder.isEmpty())
        return false;
    return real == canonicalFolder || real.startsWith(canonicalFolder + QLatin1Char('/'))
        || (canonicalFolder == QLatin1String("/") && real.startsWith(canonicalFolder));
}

bool isFileInsideFolder(const QString& canonicalFolder, const QUrl& url)
{
    if (url.scheme() != QLatin1String("file") || !url.host().isEmpty())
        return false;
    return isInsideFolder(canonicalFolder, url.toLocalFile());
}

}  // namespace platform
