#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// The name a PDF file of a page gets by default: the page's title (for a page without one,
// which the view titles with its address, the file name of the address) made into a file
// name that every common file system takes (no folder separators, none of the characters
// FAT, exFAT, NTFS and network shares refuse, no leading dots, at most 80 characters),
// followed by ".pdf".
QString printFileName(const QString& title, const QUrl& url);

// The folder a PDF file goes to when the user has not chosen one yet: the user's documents
// folder, or the home folder where there is none.
QString defaultPrintFolder();

}  // namespace platform
