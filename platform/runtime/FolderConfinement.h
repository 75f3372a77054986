#pragma once

#include <QString>

class QFile;
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

// Opens for reading the regular file at a real path inside the canonical folder, so that what
// is opened is what was checked even while the folder changes: the path is walked from the
// folder one name at a time and no symbolic link is followed on the way, so a name swapped
// for a link (or a folder on the way swapped for one) since the check is refused, not
// followed; a named pipe, socket or device is refused without blocking. False, with the file
// left closed, for anything else.
bool openFileInFolder(QFile& file, const QString& canonicalFolder, const QString& realPath);

}  // namespace platform
