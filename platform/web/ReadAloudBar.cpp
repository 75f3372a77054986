#include "platform/web/ReadAloudBar.h"

#include "platform/forms/Accessibility.h"
#include "platform/forms/Controls.h"
#include "platform/speech/Speaker.h"
#include "platform/web/PageReader.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace platform {

ReadAloudBar::ReadAloudBar(PageReader* reader, QWidget* over)
    : QFrame(over),
      reader_(reader),
      over_(over),
      pause_(makeCommandButton(this, QStringLiteral("Pause"))),
      stop_(makeCommandButton(this, QStringLiteral("Stop"))),
      slower_(makeCommandButton(this, QStringLiteral("Slower"))),
      speed_(makeLabel(this, QString(), Qt::AlignCenter)),
      faster_(makeCommandButton(this, QStringLiteral("Faster")))
{
    setObjectName(QStringLiteral("ReadAloudBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAutoFillBackground(true);
    describeForScreenReaders(this, QStringLiteral("Reading aloud"), QAccessible::ToolBar);

    QLabel* caption
        = makeLabel(this, QStringLiteral("Reading aloud"), Qt::AlignLeft | Qt::AlignVCenter);
    pause_->setObjectName(QStringLiteral("ReadAloudPause"));
    stop_->setObjectName(QStringLiteral("ReadAloudStop"));
    slower_->setObjectName(QStringLiteral("ReadAloudSlower"));
    faster_->setObjectName(QStringLiteral("ReadAloudFaster"));
    speed_->setObjectName(QStringLiteral("ReadAloudSpeed"));
    pause_->setToolTip(QStringLiteral("Pause or resume (Ctrl+Shift+U)"));
    stop_->setToolTip(QStringLiteral("Stop reading (Escape)"));
    slower_->setToolTip(QStringLiteral("Read slower"));
    faster_->setToolTip(QStringLiteral("Read faster"));
    pause_->setAccessibleName(QStringLiteral("Pause reading"));
    stop_->setAccessibleName(QStringLiteral("Stop reading"));
    slower_->setAccessibleName(QStringLiteral("Read slower"));
    faster_->setAccessibleName(QStringLiteral("Read faster"));
    speed_->setAccessibleName(QStringLiteral("Reading speed"));
    speed_->setMinimumWidth(speed_->fontMetrics().horizontalAdvance(QStringLiteral("0.75x")) + 8);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(caption, 1);
    layout->addWidget(pause_);
    layout->addWidget(stop_);
    layout->addWidget(slower_);
    layout->addWidget(speed_);
    layout->addWidget(faster_);

    connect(pause_, &QPushButton::clicked, reader, &PageReader::toggle);
    connect(stop_, &QPushButton::clicked, reader, &PageReader::stop);
    connect(slower_, &QPushButton::clicked, reader, &PageReader::slower);
    connect(faster_, &QPushButton::clicked, reader, &PageReader::faster);
    connect(reader, &PageReader::stateChanged, this, &ReadAloudBar::showState);
    connect(reader, &PageReader::speedChanged, this, &ReadAloudBar::showSpeed);
    showSpeed(PageReader::speed());
    over->installEventFilter(this);
    // With the find bar open too, this bar sits on top of it.
    findBar_ = over->findChild<QWidget*>(QStringLiteral("FindBar"), Qt::FindDirectChildrenOnly);
    if (findBar_)
        findBar_->installEventFilter(this);
    hide();
}

QString ReadAloudBar::speedText() const
{
    return speed_->text();
}

void ReadAloudBar::showState()
{
    const PageReader::State state = reader_->state();
    if (state == PageReader::State::Stopped) {
        const bool hadFocus = isAncestorOf(QApplication::focusWidget());
        hide();
        if (hadFocus)
            over_->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool paused = state == PageReader::State::Paused;
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    pause_->setAccessibleName(paused ? QStringLiteral("Resume reading")
                                     : QStringLiteral("Pause reading"));
    if (!isVisible()) {
        place();
        show();
        raise();
    }
}

void ReadAloudBar::showSpeed(double speed)
{
    speed_->setText(QLocale(QLocale::English, QLocale::UnitedStates).toString(speed, 'g', 3)
                    + QLatin1Char('x'));
    slower_->setEnabled(speed > Speaker::kSlowest);
    faster_->setEnabled(speed < Speaker::kFastest);
}

void ReadAloudBar::place()
{
    const int height = sizeHint().height();
    const int bottom = findBar_ && findBar_->isVisible() ? findBar_->y() : over_->height();
    setGeometry(0, qMax(0, bottom - height), over_->width(), height);
    reader_->setCoveredHeight(over_->height() - y());
}

bool ReadAloudBar::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == over_ || (watched == findBar_ && isVisible()))
            place();
        break;
    default:
        break;
    }
    return false;
}

void ReadAloudBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        reader_->stop();
        return;
    }
    QFrame::keyPressEvent(event);
}

}  // namespace platform
