#include "platform/print/PrintedPdf.h"

#include "platform/print/PdfFinisher.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/print/PrintDecorations.h"
#include "platform/print/PrintScripts.h"
#include "platform/runtime/Trace.h"

#include <QFuture>
#include <QPageSize>
#include <QRandomGenerator>
#include <QRectF>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <utility>

namespace platform {

namespace {

// Pages times new destinations: the engine checks every destination on every page it prints,
// at some 10 microseconds a check, so this is about half a second at most.
constexpr int kMarkerBudget = 50000;

// What a page gives as its title, author or a heading, as text for the document: control
// characters (NUL, BEL, ESC, ...) would go into the outline and the document's information
// as they are, where a viewer or a terminal showing them takes them for commands.
QString printableText(const QVariant& given)
{
    QString text = given.toString();
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return text.simplified();
}

}  // namespace

PrintedPdf::PrintedPdf(QWebEnginePage* page, QString untitledName, QString creator, QObject* parent)
    : QObject(parent),
      page_(page),
      untitledName_(std::move(untitledName)),
      creator_(std::move(creator)),
      token_(QStringLiteral("print-mark-%1")
                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))),
      headings_(std::make_shared<std::vector<PdfHeading>>())
{
}

PrintedPdf::~PrintedPdf() = default;

void PrintedPdf::make(const QPageLayout& layout, const QPageRanges& ranges,
                      std::function<void(const QByteArray&)> done)
{
    done_ = std::move(done);
    layout_ = layout;
    markHeadings(layout, [this, layout, ranges] {
        if (!page_) {
            deliver({});
            return;
        }
        QPointer<PrintedPdf> self(this);
        PendingPdfPages::begin(page_);
        qCDebug(lcPage) << "asked the engine for the page's PDF";
        page_->printToPdf(
            [self, page = page_](const QByteArray& pdf) {
                PendingPdfPages::end(page);
                if (!self)
                    return;
                self->unmarkHeadings();
                if (pdf.isEmpty())
                    self->deliver({});
                else
                    self->openPdf(pdf);
            },
            layout, ranges);
    });
}

void PrintedPdf::markHeadings(const QPageLayout& layout, std::function<void()> then)
{
    const QString script
        = printScript(QStringLiteral("mark-headings.js"))
              .arg(token_)
              .arg(qMax(1.0, layout.paintRect(QPageLayout::Point).height() * 96 / 72))
              .arg(kMarkerBudget);
    QPointer<PrintedPdf> self(this);
    page_->runJavaScript(
        script, QWebEngineScript::ApplicationWorld,
        [self, then = std::move(then)](const QVariant& result) {
            if (!self)
                return;
            const QVariantMap facts = result.toMap();
            self->title_ = printableText(facts.value(QStringLiteral("title")));
            self->author_ = printableText(facts.value(QStringLiteral("author")));
            for (const QVariant& entry : facts.value(QStringLiteral("headings")).toList()) {
                const QVariantMap heading = entry.toMap();
                self->headings_->push_back({heading.value(QStringLiteral("destination")).toString(),
                                            printableText(heading.value(QStringLiteral("title"))),
                                            heading.value(QStringLiteral("level")).toInt()});
            }
            if (self->title_.isEmpty())
                self->title_ = self->untitledName_;
            then();
        });
}

void PrintedPdf::unmarkHeadings()
{
    if (page_)
        page_->runJavaScript(printScript(QStringLiteral("unmark-headings.js")).arg(token_),
                             QWebEngineScript::ApplicationWorld);
}

void PrintedPdf::openPdf(QByteArray pdf)
{
    enginePdf_ = pdf;
    // On a pool thread: qpdf reads and writes a long document for seconds.
    QtConcurrent::run([pdf = std::move(pdf)]() -> std::shared_ptr<PdfFinisher> {
        try {
            return std::make_shared<PdfFinisher>(pdf);
        } catch (const std::exception& error) {
            qWarning("The printed page's PDF could not be read: %s", error.what());
            return {};
        }
    }).then(this, [this](const std::shared_ptr<PdfFinisher>& finisher) {
        if (!finisher) {
            deliver(enginePdf_);
            return;
        }
        finisher_ = finisher;
        // For the paper the pages were printed on, with the margins that were chosen.
        QPageLayout paper = layout_;
        const QSizeF size = finisher->firstPageSize();
        if (size.width() > 0 && size.height() > 0)
            paper = QPageLayout(QPageSize(size, QPageSize::Point), QPageLayout::Portrait,
                                layout_.margins(QPageLayout::Point), QPageLayout::Point);
        furniture_ = std::make_shared<PageFurniture>(PrintDecorations::furnitureFor(title_, paper));
        finishWhenReady();
    });
}

void PrintedPdf::finishWhenReady()
{
    if (!finisher_ || !furniture_ || finishing_)
        return;
    finishing_ = true;
    const PdfDocumentInfo info{title_, author_, creator_};
    QtConcurrent::run([finisher = finisher_, furniture = furniture_, info,
                       headings = headings_]() -> QByteArray {
        try {
            return finisher->finish(*furniture, *headings, info);
        } catch (const std::exception& error) {
            qWarning("The printed page's PDF could not be finished: %s", error.what());
            return {};
        }
    }).then(this, [this](const QByteArray& finished) {
        deliver(finished.isEmpty() ? enginePdf_ : finished);
    });
}

void PrintedPdf::deliver(const QByteArray& pdf)
{
    // pdf may be one of the members cleared here.
    const QByteArray result = pdf;  // NOLINT(performance-unnecessary-copy-initialization)
    enginePdf_.clear();
    finisher_.reset();
    furniture_.reset();
    if (auto done = std::exchange(done_, nullptr))
        done(result);
}

}  // namespace platform
