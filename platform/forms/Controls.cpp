#include "platform/forms/Controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace platform {

namespace {

// Qt clicks a push button on Return only when it may become a dialog's default button; the
// windows here have no default button, yet a focused button should still answer Return.
class ReturnClicks : public QObject {
public:
    explicit ReturnClicks(QAbstractButton* button) : QObject(button), button_(button) { }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != button_ || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || modifiers != Qt::NoModifier)
            return false;
        // Holding the key down must not press the button again and again.
        if (!key->isAutoRepeat() && button_->isEnabled())
            button_->click();
        return true;
    }

private:
    QAbstractButton* button_;
};

}  // namespace

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
    clickOnReturn(button);
    return button;
}

void clickOnReturn(QAbstractButton* button)
{
    button->installEventFilter(new ReturnClicks(button));
}

}  // namespace platform
