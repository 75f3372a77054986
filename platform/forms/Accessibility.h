#pragma once

#include <QAccessible>

class QWidget;

namespace platform {

// Makes the program readable by screen readers: windows are announced as windows with their
// titles and picture boxes as pictures, and the web engine, once started, shows its pages'
// content to assistive technology whenever some is listening. Call once, before the first
// window and the first web view exist.
void installAccessibility();

// The name and role screen readers announce for a control whose kind of widget says too
// little (a bar of its own making, a container). Call before the control is first shown.
void describeForScreenReaders(QWidget* control, const QString& name, QAccessible::Role role);

}  // namespace platform
