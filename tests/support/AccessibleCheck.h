#pragma once

#include <QAccessible>
#include <QObject>
#include <QTest>

// Checks what a screen reader is told about a control of a window (the window itself when
// the control's name is empty): its role and its name.
inline void verifyAccessible(QObject* window, const QString& control, int role, const QString& name)
{
    QObject* object = control.isEmpty() ? window : window->findChild<QObject*>(control);
    QVERIFY2(object, qPrintable(control));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    QVERIFY(accessible);
    QCOMPARE(int(accessible->role()), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}
