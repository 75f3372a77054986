#include "platform/print/PrintFileName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {

namespace {

constexpr qsizetype kMaxNameLength = 80;
// Most Linux file systems take 255 bytes; the rest is left for ".pdf" and a safety margin.
constexpr qsizetype kMaxNameBytes = 200;

bool isRefused(QChar c)
{
    return c.category() == QChar::Other_Control || QStringLiteral("<>:\"/\\|?*").contains(c);
}

// Invisible characters that reorder or hide what a name shows (a right-to-left override
// makes "Report \u202Egnp.pdf" read as a picture's name); they are dropped.
QString withoutFormatCharacters(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        if (QChar::category(code) != QChar::Other_Format)
            kept += text.mid(i, units);
        i += units - 1;
    }
    return kept;
}

// Names that a FAT or NTFS volume or a network share takes for a device, whatever extension
// follows ("CON.txt" too); the length is that of the device name at the start, 0 for none.
qsizetype deviceNameLength(const QString& name)
{
    static const QRegularExpression device(
        QStringLiteral("^(con|prn|aux|nul|com[0-9\u00B9\u00B2\u00B3]|lpt[0-9\u00B9\u00B2\u00B3])"
                       " *(\\.|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = device.match(name);
    return match.hasMatch() ? match.capturedLength(1) : 0;
}

bool isDotOrSpace(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(' ');
}

// The view titles a page without a title of its own with its address.
QString nameBehindAddress(const QString& title, const QUrl& url)
{
    if (title.isEmpty())
        return QFileInfo(url.fileName()).completeBaseName();
    const QUrl address(title, QUrl::StrictMode);
    if (title.contains(QStringLiteral("://")) && address.isValid() && !address.scheme().isEmpty())
        return QFileInfo(address.fileName()).completeBaseName();
    return title;
}

}  // namespace

QString printFileName(const QString& title, const QUrl& url)
{
    QString name = nameBehindAddress(title, url);
    name = withoutFormatCharacters(name);
    for (QChar& c : name)
        if (isRefused(c))
            c = QLatin1Char(' ');
    name = name.simplified();
    // A leading dot hides the file, and ".." climbs out of the folder.
    while (!name.isEmpty() && isDotOrSpace(name.front()))
        name.remove(0, 1);
    if (name.size() > kMaxNameLength)
        name.truncate(kMaxNameLength);
    while (name.toUtf8().size() > kMaxNameBytes)
        name.chop(1);
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    // Trailing dots and spaces are dropped by some file systems, changing the name.
    while (!name.isEmpty() && isDotOrSpace(name.back()))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("document");
    if (const qsizetype device = deviceNameLength(name); device > 0)
        name.insert(device, QLatin1Char('_'));
    return name + QStringLiteral(".pdf");
}

QString defaultPrintFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

}  // namespace platform
