#include "platform/forms/FocusRing.h"

#include <QApplication>
#include <QPainter>

namespace platform {

namespace {

constexpr int kWidth = 2;

}  // namespace

FocusRing::FocusRing(QWidget* control) : QFocusFrame(control->parentWidget())
{
    setObjectName(QStringLiteral("FocusRing"));
    setWidget(control);
    connect(qApp, &QApplication::focusChanged, this, [this] { setVisible(controlHasFocus()); });
    setVisible(controlHasFocus());
}

bool FocusRing::controlHasFocus() const
{
    const QWidget* control = widget();
    const QWidget* focus = QApplication::focusWidget();
    return control && focus && (focus == control || control->isAncestorOf(focus));
}

void FocusRing::setVisible(bool visible)
{
    // The base class shows the ring whenever the control is shown; only focus shows it here.
    QFocusFrame::setVisible(visible && controlHasFocus());
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(
        QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
}

}  // namespace platform
