#pragma once

#include <QString>

class QAbstractButton;
class QLabel;
class QPushButton;
class QWidget;

namespace platform {

// A label showing plain text (never markup), taking no focus.
QLabel* makeLabel(QWidget* parent, const QString& text, Qt::Alignment alignment);

// A command button that is never a window's default button, so Enter in a text box or
// anywhere else presses nothing; Return or Enter on the button itself clicks it, like Space.
QPushButton* makeCommandButton(QWidget* parent, const QString& caption);

// Return or Enter on the focused button clicks it.
void clickOnReturn(QAbstractButton* button);

}  // namespace platform
