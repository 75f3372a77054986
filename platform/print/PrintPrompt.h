#pragma once

#include <QString>
#include <QUrl>

class QPrintDialog;
class QPrinter;
class QWidget;

namespace platform {

// What the user chose in the last print prompt of this session, offered again in the next:
// the printer, or "Print to File" with the folder the last file went to.
class SessionPrintChoice {
public:
    // Shows the print prompt for a page, the last choice offered again; true when the user
    // confirmed it, the choice then being remembered for the next prompt.
    static bool ask(QPrinter& settings, const QString& title, const QUrl& url, QWidget* parent);

private:
    // Before a prompt: names the file (in the last folder) after the page and brings the
    // printer back to the last choice.
    static void prepare(QPrinter& settings, const QString& title, const QUrl& url);
    // Selects "Print to File" in the prompt once it is shown, when that was the last choice.
    static void offer(QPrintDialog& prompt);
    // After a confirmed prompt.
    static void remember(const QPrinter& settings);
};

}  // namespace platform
