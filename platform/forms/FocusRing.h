#pragma once

#include <QFocusFrame>

namespace platform {

// A ring in the highlight colour drawn just outside a control that draws no focus of its own
// (a web view), shown while the focus is in it. It takes no room, no clicks and no focus, and
// screen readers do not see it.
class FocusRing : public QFocusFrame {
    Q_OBJECT
public:
    explicit FocusRing(QWidget* control);

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool controlHasFocus() const;
};

}  // namespace platform
