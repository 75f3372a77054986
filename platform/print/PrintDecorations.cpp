#include "platform/print/PrintDecorations.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QRectF>

#include <array>

namespace platform {

namespace {

// Small type, a little grey, on a line of this height (points) in each margin: where the
// margin is thinner, that line is left out rather than drawn over the page's text.
constexpr double kFontPoints = 8.5;
constexpr double kLinePoints = 12;

const std::array<QString, PageFurniture::kPieces>& pieces()
{
    static const std::array<QString, PageFurniture::kPieces> texts = {
        QStringLiteral("Page"), QStringLiteral("of"), QStringLiteral("0"), QStringLiteral("1"),
        QStringLiteral("2"),    QStringLiteral("3"),  QStringLiteral("4"), QStringLiteral("5"),
        QStringLiteral("6"),    QStringLiteral("7"),  QStringLiteral("8"), QStringLiteral("9"),
    };
    return texts;
}

}  // namespace

PageFurniture PrintDecorations::furnitureFor(const QString& title, const QPageLayout& layout)
{
    PageFurniture furniture;
    const QRectF paper = layout.fullRectPoints();
    const QMarginsF margins = layout.marginsPoints();
    const double lineWidth = paper.width() - margins.left() - margins.right();
    if (lineWidth <= 0)
        return furniture;
    furniture.numbered = margins.bottom() >= kLinePoints;
    furniture.centre = margins.left() + lineWidth / 2;

    QBuffer buffer(&furniture.pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);  // one unit a point, as in the PDF
    writer.setPageLayout(QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer)) {
        furniture.pdf.clear();
        return furniture;
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kFontPoints);
    painter.setFont(font);
    painter.setPen(QColor(0x44, 0x44, 0x44));
    const QFontMetricsF metrics(font, &writer);

    if (margins.top() >= kLinePoints) {
        const QRectF line(margins.left(), (margins.top() - kLinePoints) / 2, lineWidth,
                          kLinePoints);
        painter.drawText(line, Qt::AlignCenter | Qt::TextSingleLine,
                         metrics.elidedText(title.simplified(), Qt::ElideRight, lineWidth));
    }
    // Each piece starts at the left margin, on the footer's baseline.
    const double baseline
        = paper.height() - margins.bottom() / 2 + (metrics.ascent() - metrics.descent()) / 2;
    for (size_t i = 0; i < pieces().size(); ++i) {
        writer.newPage();
        painter.drawText(QPointF(margins.left(), baseline), pieces()[i]);
        furniture.left[i] = margins.left();
        furniture.width[i] = metrics.horizontalAdvance(pieces()[i]);
    }
    furniture.space = metrics.horizontalAdvance(QLatin1Char(' '));
    if (!painter.end())
        furniture.pdf.clear();
    return furniture;
}

}  // namespace platform
