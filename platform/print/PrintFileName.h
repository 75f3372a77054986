#pragma once

#include <QString>
#include <QUrl>

class QPrintDialog;
class QPrinter;

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

// What the user chose in the last print prompt of this session, offered again in the next:
// the printer, or "Print to File" with the folder the last file went to.
class SessionPrintChoice {
public:
    // Before a prompt: names the file (in the last folder) after the page and brings the
    // printer back to the last choice.
    static void prepare(QPrinter& settings, const QString& title, const QUrl& url);
    // Selects "Print to File" in the prompt once it is shown, when that was the last choice.
    static void offer(QPrintDialog& prompt);
    // After a confirmed prompt.
    static void remember(const QPrinter& settings);
};

}  // namespace platform
