#pragma once

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QPageRanges>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWebEnginePage;

namespace platform {

class PdfFinisher;
struct PageFurniture;
struct PdfHeading;

// Makes the PDF of the page a web page shows the way a printed document should be: the
// engine's own vector PDF of the page, with a running title and "Page p of P" on every
// sheet, a bookmark for each heading (h1 to h3) on the page where it stands, the page's
// internal links, and the document information (title, author, creator).
//
// The running title and the pieces of the page numbers (see PageFurniture) are drawn for the
// paper the engine printed on, which the page's own style may have chosen.
//
// The engine says where headings land only for elements that links point at, so before the
// page is laid out for print headings that no link reaches get an empty marker and a hidden
// link to it; both are taken away again as soon as the engine has the page. Anything the finishing
// steps cannot do leaves the engine's PDF as it is: the print goes ahead without the extras.
class PrintedPdf : public QObject {
    Q_OBJECT
public:
    // untitledName is the document's title when the page has none.
    PrintedPdf(QWebEnginePage* page, QString untitledName, QString creator, QObject* parent);
    ~PrintedPdf() override;

    // Calls done once, with the PDF or, when the engine made none, with nothing. Not called
    // once this object is gone.
    void make(const QPageLayout& layout, const QPageRanges& ranges,
              std::function<void(const QByteArray&)> done);

private:
    void markHeadings(const QPageLayout& layout, std::function<void()> then);
    void unmarkHeadings();
    void openPdf(QByteArray pdf);
    void finishWhenReady();
    void deliver(const QByteArray& pdf);

    QPointer<QWebEnginePage> page_;
    QString untitledName_;
    QString creator_;
    QString token_;
    QPageLayout layout_;
    std::function<void(const QByteArray&)> done_;
    QString title_;
    QString author_;
    std::shared_ptr<std::vector<PdfHeading>> headings_;
    std::shared_ptr<PageFurniture> furniture_;
    // The engine's PDF, kept to be delivered as it is if finishing fails.
    QByteArray enginePdf_;
    std::shared_ptr<PdfFinisher> finisher_;  // set once the engine's PDF has been read
    bool finishing_ = false;
};

}  // namespace platform
