#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace platform {

// Registers sans-serif stand-ins for the classic dialog faces the windows are designed
// with, so they look alike where those faces are not installed.
void installFontSubstitutes();

// The platform's default dialog font: "MS Sans Serif" 8 points or its stand-in.
QFont dialogFont();

// A font of the given family and size. Where the family's stand-in draws the widget's text
// wider than the widget, the size is lowered in quarter points until every line fits, so
// that the text stays inside its box.
QFont fittedFont(const QString& family, qreal pointSize, int weight, const QString& text,
                 int availableWidth);
QFont fittedFont(QFont font, const QString& text, int availableWidth);

// The width a check box leaves for its caption.
int checkBoxCaptionWidth(const QWidget& checkBox);

}  // namespace platform
