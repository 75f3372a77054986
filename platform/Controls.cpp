#include "platform/Controls.h"

#include <QLabel>
#include <QPushButton>

namespace platform {

QLabel* makeLabel(QWidget* parent, const QString& text, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QPushButton* makeCommandButton(QWidget* parent, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace platform
