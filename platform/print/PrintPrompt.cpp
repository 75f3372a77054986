#include "platform/print/PrintPrompt.h"

#include "platform/print/PrintFileName.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

namespace platform {

namespace {

struct Choice {
    bool toFile = false;
    QString folder;
    QString printerName;
};

Choice& lastChoice()
{
    static Choice choice;
    return choice;
}

}  // namespace

bool SessionPrintChoice::ask(QPrinter& settings, const QString& title, const QUrl& url,
                             QWidget* parent)
{
    prepare(settings, title, url);
    QPrintDialog prompt(&settings, parent);
    offer(prompt);
    prompt.setWindowModality(Qt::ApplicationModal);
    if (prompt.exec() != QDialog::Accepted)
        return false;
    remember(settings);
    return true;
}

void SessionPrintChoice::prepare(QPrinter& settings, const QString& title, const QUrl& url)
{
    const Choice& last = lastChoice();
    const QString folder = QFileInfo(last.folder).isDir() ? last.folder : defaultPrintFolder();
    // Naming a PDF file switches the printer to file output; a printer chosen last time is
    // chosen again afterwards, and keeps the name for when the user picks "Print to File".
    settings.setOutputFileName(QDir(folder).filePath(printFileName(title, url)));
    if (!last.toFile && !last.printerName.isEmpty())
        settings.setPrinterName(last.printerName);
}

void SessionPrintChoice::offer(QPrintDialog& prompt)
{
    if (!lastChoice().toFile)
        return;
#if QT_VERSION_MAJOR == 6
    // Qt 6's own print prompt on Unix selects a printer whatever the settings say, and adds its
    // "Print to File (PDF)" entry only when it is shown; there is no public way to preselect
    // it, so once shown the entry is chosen in the prompt's printer list, found by its text.
    QTimer::singleShot(0, &prompt, [&prompt] {
        const QString toFile = QPrintDialog::tr("Print to File (PDF)");
        for (QComboBox* printers : prompt.findChildren<QComboBox*>()) {
            const int index = printers->findText(toFile);
            if (index >= 0) {
                printers->setCurrentIndex(index);
                return;
            }
        }
    });
#endif
}

void SessionPrintChoice::remember(const QPrinter& settings)
{
    Choice& last = lastChoice();
    last.toFile
        = settings.outputFormat() == QPrinter::PdfFormat && !settings.outputFileName().isEmpty();
    if (last.toFile)
        last.folder = QFileInfo(settings.outputFileName()).absolutePath();
    else
        last.printerName = settings.printerName();
}

}  // namespace platform
