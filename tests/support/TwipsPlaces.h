#pragma once

#include "platform/forms/Twips.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <utility>

using TwipsPlaces = QList<std::pair<QWidget*, QRect>>;

// The first control that is not at its designed place, described; empty when all are. One
// pixel is 15 twips, so a place that is not a whole pixel may round to the nearest.
inline QString misplacedControl(const TwipsPlaces& places)
{
    for (const auto& [control, twips] : places) {
        const QRect actual = platform::twipsRect(*control);
        if (qAbs(actual.x() - twips.x()) > 7 || qAbs(actual.y() - twips.y()) > 7
            || qAbs(actual.width() - twips.width()) > 7
            || qAbs(actual.height() - twips.height()) > 7)
            return control->objectName()
                + QStringLiteral(" at %1,%2 %3x%4")
                      .arg(actual.x())
                      .arg(actual.y())
                      .arg(actual.width())
                      .arg(actual.height());
    }
    return QString();
}
