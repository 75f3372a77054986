#include "platform/forms/Form.h"

#include "platform/forms/Fonts.h"
#include "platform/forms/Twips.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/Trace.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

namespace platform {

FormRegistry& FormRegistry::instance()
{
    static FormRegistry registry;
    return registry;
}

void FormRegistry::noteLoaded(QWidget* form)
{
    if (!loaded_.contains(form))
        loaded_.append(form);
    alive_.removeIf([](const QPointer<QWidget>& gone) { return gone.isNull(); });
    alive_.append(form);
}

void FormRegistry::noteUnloaded(QWidget* form)
{
    loaded_.removeAll(form);
    Handler::afterHandlers([this] { askAnyLoadedLater(); });
}

void FormRegistry::askAnyLoadedLater()
{
    QMetaObject::invokeMethod(this, &FormRegistry::checkAnyLoaded, Qt::QueuedConnection);
}

void FormRegistry::noteDestroyed(QWidget* form)
{
    loaded_.removeAll(form);
}

void FormRegistry::checkAnyLoaded()
{
    // A modal loop inside a handler (a message box, a print job) may deliver the question
    // early: it is answered only once no handler runs at any depth, so the handler's job or
    // message is finished before the process ends.
    if (Handler::running()) {
        Handler::afterHandlers([this] { askAnyLoadedLater(); });
        return;
    }
    if (loaded_.isEmpty())
        emit noWindowLoaded();
}

void FormRegistry::destroyAll()
{
    const auto alive = std::exchange(alive_, {});
    for (const QPointer<QWidget>& form : alive)
        delete form.data();
    loaded_.clear();
}

Form::Form()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(dialogFont());
}

Form::~Form()
{
    if (mousePointer_ == MousePointer::Hourglass)
        QGuiApplication::restoreOverrideCursor();
    FormRegistry::instance().noteDestroyed(this);
}

void Form::load()
{
    loaded_ = true;
    FormRegistry::instance().noteLoaded(this);
    try {
        Form_Load();
    } catch (...) {
        Unload();
        throw;
    }
}

void Form::Show()
{
    if (loaded_)
        show();
}

void Form::ShowMaximized()
{
    if (loaded_)
        showMaximized();
}

void Form::Unload()
{
    if (!loaded_)
        return;
    loaded_ = false;
    setMousePointer(MousePointer::Default);
    hide();
    FormRegistry::instance().noteUnloaded(this);
    // Not deleteLater() at once: a modal loop inside the running handler (a print job, a
    // message box) would delete the window under the handler's feet.
    Handler::afterHandlers([self = QPointer<Form>(this)] {
        if (self)
            self->deleteLater();
    });
}

void Form::setMousePointer(MousePointer pointer)
{
    // An override cursor, so that the text boxes' own I-beam gives way to the hourglass too.
    const bool hourglass = pointer == MousePointer::Hourglass;
    const bool hadHourglass = mousePointer_ == MousePointer::Hourglass;
    if (hourglass && !hadHourglass)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!hourglass && hadHourglass)
        QGuiApplication::restoreOverrideCursor();
    mousePointer_ = pointer;
}

float Form::outerWidthTwips() const
{
    return static_cast<float>(pixelsToTwips(frameGeometry().width()));
}

float Form::outerHeightTwips() const
{
    return static_cast<float>(pixelsToTwips(frameGeometry().height()));
}

void Form::setClientSizeTwips(int width, int height)
{
    const QSize size(twipsToPixels(width), twipsToPixels(height));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size);
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area));
}

void Form::connectClick(QAbstractButton* button, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] {
        if (loaded_)
            Handler::run(handler);
    });
}

void Form::nameControls(std::initializer_list<std::pair<QObject*, const char*>> controls)
{
    for (const auto& [control, name] : controls)
        control->setObjectName(QLatin1String(name));
}

void Form::setFirstFocus(QWidget* control, const char* milestone)
{
    firstFocus_ = control;
    firstShownMilestone_ = milestone;
}

void Form::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!firstShownMilestone_)
        return;
    if (firstFocus_)
        firstFocus_->setFocus(Qt::OtherFocusReason);
    traceMilestone(std::exchange(firstShownMilestone_, nullptr));
}

void Form::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Handler::run([this] { Unload(); });
}

void Form::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (loaded_)
        Handler::run([this] { Form_Resize(); });
}

}  // namespace platform
