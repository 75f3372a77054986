#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace platform {

// A label showing plain text (never markup), taking no focus.
QLabel* makeLabel(QWidget* parent, const QString& text, Qt::Alignment alignment);

// A command button that is never a window's default button, so Enter in a text box or
// anywhere else presses nothing.
QPushButton* makeCommandButton(QWidget* parent, const QString& caption);

}  // namespace platform
