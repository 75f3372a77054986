#include "platform/forms/Accessibility.h"

#include "platform/forms/Form.h"
#include "platform/forms/PictureBox.h"

#include <QAccessibleWidget>

namespace platform {

namespace {

constexpr char kRoleProperty[] = "da1011AccessibleRole";

// Qt gives a plain top-level widget the role of a client area, which screen readers on Linux
// report as a "filler" with no title, and a framed picture the role of a border.
QAccessibleInterface* accessibleRole(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    const QVariant role = widget->property(kRoleProperty);
    if (role.isValid())
        return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
    if (className == QLatin1String(Form::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String(PictureBox::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

}  // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(&accessibleRole);
    // Qt WebEngine 6.4 on Linux keeps page content away from assistive technology unless this
    // variable is set (later versions read "1" as on, their default). It lets the engine build
    // its accessibility tree only while a screen reader is active, so it costs nothing
    // otherwise. A user's own setting wins.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

void describeForScreenReaders(QWidget* control, const QString& name, QAccessible::Role role)
{
    // The role first: naming a widget makes Qt build and keep its accessible interface.
    control->setProperty(kRoleProperty, static_cast<int>(role));
    control->setAccessibleName(name);
}

}  // namespace platform
