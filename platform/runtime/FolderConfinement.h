#pragma once

#include <QString>

class QUrl;

namespace platform {

// What counts as inside the book's folder, for the web view and for everything else that
// reads the book's files: a path is inside when the file it leads to, symbolic links
// followed, lies in the folder or below it.

// The folder as compared against: its real path (links resolved); a folder that does not
// exist keeps its cleaned absolute path. Empty stays empty.
QString canonicalFolder(const QString& folder);

// Whether the file at the path, followed to where it points, lies within the canonical
// folder. An empty folder holds nothing.
bool isInsideFolder(const QString& canonicalFolder, const QString& path);

// The same for a path already resolved (QFileInfo::canonicalFilePath), without resolving it
// again.
bool isRealPathInFolder(const QString& canonicalFolder, const QString& realPath);

// The same for a file: URL without a host; any other URL is not inside.
bool isFileInsideFolder(const QString& canonicalFolder, const QUrl& url);

}  // namespace platform
