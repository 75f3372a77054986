#include "platform/PrintDecorations.h"

#include <QColor>
#include <QFile>
#include <QPageSize>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <QVariantList>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <utility>

namespace platform {

namespace {

// Small type, a little grey, on a line of this height (points) in each margin: where the
// margin is thinner, that line is left out rather than drawn over the page's text.
constexpr double kFontPoints = 8.5;
constexpr double kLinePoints = 12;
constexpr qsizetype kLongestTitle = 200;
constexpr double kPointsPerPixel = 72.0 / 96.0;

const std::array<QString, PageFurniture::kPieces>& pieces()
{
    static const std::array<QString, PageFurniture::kPieces> texts = {
        QStringLiteral("Page"), QStringLiteral("of"), QStringLiteral("0"), QStringLiteral("1"),
        QStringLiteral("2"),    QStringLiteral("3"),  QStringLiteral("4"), QStringLiteral("5"),
        QStringLiteral("6"),    QStringLiteral("7"),  QStringLiteral("8"), QStringLiteral("9"),
    };
    return texts;
}

QString points(double value)
{
    return QString::number(value, 'f', 2) + QLatin1String("pt");
}

bool hasHeader(const QPageLayout& layout)
{
    return layout.marginsPoints().top() >= kLinePoints;
}

bool hasFooter(const QPageLayout& layout)
{
    return layout.marginsPoints().bottom() >= kLinePoints;
}

// Where each piece starts and how wide it is, and the width of a space, in CSS pixels.
constexpr auto kMeasure = R"JS(
(function () {
  var found = [];
  for (var i = 0; i < %1; ++i) {
    var box = document.getElementById('p' + i).getBoundingClientRect();
    found.push(box.left, box.width);
  }
  found.push(document.getElementById('sp').getBoundingClientRect().width);
  return found;
})()
)JS";

}  // namespace

PrintDecorations::PrintDecorations(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent), page_(new QWebEnginePage(profile, this))
{
    // The sheets are made here and hold plain text; they need no pictures or network. The
    // measuring is done by a script.
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    // Sheets are laid over each other: an opaque background would hide the ones beneath.
    settings->setAttribute(QWebEngineSettings::PrintElementBackgrounds, false);
    page_->setBackgroundColor(Qt::transparent);
}

PrintDecorations::~PrintDecorations() = default;

QByteArray PrintDecorations::sheetsHtml(const QString& title, const QPageLayout& layout)
{
    const QRectF paper = layout.fullRectPoints();
    const QMarginsF margins = layout.marginsPoints();
    const double headerTop = qMax(0.0, (margins.top() - kLinePoints) / 2);
    const double footerTop = paper.height() - (margins.bottom() + kLinePoints) / 2;
    QString html
        = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
                         "@page{size:%1 %2;margin:0}"
                         "html,body{margin:0;padding:0;background:transparent}"
                         "body{font:%3 \"DejaVu Sans\",\"Liberation Sans\",sans-serif;color:#444}"
                         // A hair shorter than the paper, so rounding never spills a sheet over.
                         "div.s{height:calc(%2 - 1pt);break-after:page}"
                         "div.s:last-child{break-after:auto}"
                         "p{margin:0 %4 0 %5;height:%6;line-height:%6;white-space:pre}"
                         "p.h{padding-top:%7;text-align:center;white-space:normal}"
                         "p.f{margin-top:%8}"
                         "#sp{visibility:hidden}"
                         "</style></head><body>")
              .arg(points(paper.width()), points(paper.height()), points(kFontPoints),
                   points(margins.right()), points(margins.left()), points(kLinePoints),
                   points(headerTop), points(footerTop - headerTop - kLinePoints));

    QString shown = title.simplified();
    if (shown.size() > kLongestTitle)
        shown = shown.left(kLongestTitle - 1) + QChar(0x2026);
    html += QStringLiteral("<div class=\"s\"><p class=\"h\">%1</p><p class=\"f\"><span id=\"sp\">"
                           " </span></p></div>")
                .arg(hasHeader(layout) ? shown.toHtmlEscaped() : QString());
    for (int i = 0; i < PageFurniture::kPieces; ++i)
        html += QStringLiteral("<div class=\"s\"><p class=\"h\"></p><p class=\"f\"><span "
                               "id=\"p%1\">%2</span></p></div>")
                    .arg(i)
                    .arg(pieces()[static_cast<size_t>(i)]);
    html += QLatin1String("</body></html>");
    return html.toUtf8();
}

void PrintDecorations::render(const QString& title, const QPageLayout& layout,
                              std::function<void(const PageFurniture&)> done)
{
    done_ = std::move(done);
    const QRectF paper = layout.fullRectPoints();
    const QMarginsF margins = layout.marginsPoints();
    furniture_.numbered = hasFooter(layout);
    furniture_.centre = margins.left() + (paper.width() - margins.left() - margins.right()) / 2;

    // A file rather than setHtml(), which would make the sheets a data: address.
    const QString path = folder_.filePath(QStringLiteral("sheets.html"));
    QFile file(path);
    const QByteArray html = sheetsHtml(title, layout);
    if (!folder_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(html) != html.size()) {
        QMetaObject::invokeMethod(this, &PrintDecorations::fail, Qt::QueuedConnection);
        return;
    }
    file.close();
    connect(
        page_, &QWebEnginePage::loadFinished, this,
        [this, layout](bool ok) {
            if (ok)
                measure(layout);
            else
                fail();
        },
        Qt::SingleShotConnection);
    page_->load(QUrl::fromLocalFile(path));
}

void PrintDecorations::measure(const QPageLayout& layout)
{
    QPointer<PrintDecorations> self(this);
    page_->runJavaScript(
        QString::fromLatin1(kMeasure).arg(PageFurniture::kPieces),
        QWebEngineScript::ApplicationWorld, [self, layout](const QVariant& result) {
            if (!self)
                return;
            const QVariantList found = result.toList();
            if (found.size() != 2 * PageFurniture::kPieces + 1) {
                self->fail();
                return;
            }
            PageFurniture& furniture = self->furniture_;
            for (int i = 0; i < PageFurniture::kPieces; ++i) {
                furniture.left[static_cast<size_t>(i)] = found[2 * i].toDouble() * kPointsPerPixel;
                furniture.width[static_cast<size_t>(i)]
                    = found[2 * i + 1].toDouble() * kPointsPerPixel;
            }
            furniture.space = found.last().toDouble() * kPointsPerPixel;
            self->page_->printToPdf(
                [self](const QByteArray& pdf) {
                    if (!self)
                        return;
                    self->furniture_.pdf = pdf;
                    if (auto done = std::exchange(self->done_, nullptr))
                        done(self->furniture_);
                },
                QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF()));
        });
}

void PrintDecorations::fail()
{
    furniture_.pdf.clear();
    if (auto done = std::exchange(done_, nullptr))
        done(furniture_);
}

}  // namespace platform
