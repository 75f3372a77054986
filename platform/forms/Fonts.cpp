#include "platform/forms/Fonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>
#include <QStyle>
#include <QWidget>

namespace platform {

void installFontSubstitutes()
{
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                              QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Small Fonts"),
                               {QStringLiteral("DejaVu Sans Condensed"),
                                QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont dialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont fittedFont(const QString& family, qreal pointSize, int weight, const QString& text,
                 int availableWidth)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setPointSizeF(pointSize);
    return fittedFont(font, text, availableWidth);
}

QFont fittedFont(QFont font, const QString& text, int availableWidth)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto widest = [&lines](const QFont& f) {
        const QFontMetricsF metrics(f);
        qreal width = 0;
        for (const QString& line : lines)
            width = std::max(width, metrics.horizontalAdvance(line));
        return width;
    };
    while (font.pointSizeF() > 4 && widest(font) > availableWidth)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

int checkBoxCaptionWidth(const QWidget& checkBox)
{
    const QStyle* style = checkBox.style();
    return checkBox.width() - style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &checkBox)
        - style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &checkBox) - 2;
}

}  // namespace platform
