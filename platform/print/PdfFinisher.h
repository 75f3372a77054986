#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <vector>

class QPDF;
class QUrl;

namespace platform {

// A heading of the printed page: the name of the PDF destination the engine made for it,
// the text a bookmark shows, and its level (1 for the largest heading).
struct PdfHeading {
    QString destination;
    QString title;
    int level = 1;
};

// The page furniture of a printed document: its title at the top of every page and
// "Page p of P" at the bottom, as sheets of a PDF of the pages' size.
//
// There are not as many sheets as pages: one with the title, and one for each piece that
// the page lines are put together from, with where that piece lies. The finishing places the
// title's sheet beneath every page and the pieces each page needs, each moved to its place
// in that page's line. So the furniture is made while the document is printed, before its
// page count is known, and a document of thousands of pages costs no more sheets than one of
// a single page.
struct PageFurniture {
    // The pieces, in the order of the sheets after the title's: "Page", "of", "0" to "9".
    static constexpr int kPieces = 12;
    static constexpr int kPage = 0;
    static constexpr int kOf = 1;
    static constexpr int kDigits = 2;

    QByteArray pdf;  // the title's sheet, then one sheet per piece
    std::array<double, kPieces> left{};  // where each piece starts on its sheet (points)
    std::array<double, kPieces> width{};  // and how wide it is
    double space = 0;  // the width of a space between words
    double centre = 0;  // the middle of the line the pieces go on
    bool numbered = false;  // false where the margin has no room for the line
};

struct PdfDocumentInfo {
    QString title;
    QString author;  // left out when empty
    QString creator;
};

// Where the printed page lies, so that its links to files of the book say nothing of the
// reader's folders: the engine writes each as the file's full address, which tells whoever
// gets the PDF where the book is kept and leads nowhere once the PDF is passed on.
struct PdfLinkBase {
    QString page;  // the printed page's file
    QString folder;  // the book's folder
    // Places in the printed page that links to other files of the book lead to (the whole
    // book holds each chapter's text), by keyOf() the link's address: the name of the
    // destination the page made there.
    std::map<QString, QString> places;

    // A file address as the path of the file, and "#" and the fragment if there is one.
    static QString keyOf(const QUrl& url);
};

// Turns the web engine's PDF of a page into the document a reader keeps: every page gets its
// running title and "Page p of P" beneath it (drawn first, so they can only show in the
// margins the page leaves clear), the headings become bookmarks pointing at the pages
// that hold them, links to files of the book jump to their place in the document or name the
// file relative to the book's folder (links to other files on the disk are dropped), and the
// document information names the document.
//
// Everything is done with qpdf's object model; no PDF syntax is written here. Not tied to a
// thread, but one object must not be used by two threads at once.
class PdfFinisher {
public:
    // Reads the engine's PDF. Throws std::exception when it cannot be read.
    explicit PdfFinisher(QByteArray pdf);
    ~PdfFinisher();
    PdfFinisher(const PdfFinisher&) = delete;
    PdfFinisher& operator=(const PdfFinisher&) = delete;

    // The first page's size in points (the page's own style may have chosen another paper
    // than the print settings).
    QSizeF firstPageSize() const;

    // The finished document: beneath every page its furniture (nothing if furniture.pdf is
    // empty). Throws std::exception when the PDFs cannot be combined.
    QByteArray finish(const PageFurniture& furniture, const std::vector<PdfHeading>& headings,
                      const PdfDocumentInfo& info, const PdfLinkBase& links = {});

private:
    QByteArray pdf_;  // qpdf reads from this buffer in place
    std::unique_ptr<QPDF> qpdf_;
};

}  // namespace platform
