#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Watches for modal dialogs while a test drives the program, records each message box
// (title, text, buttons, icon) and answers it, so that modal loops inside the code under
// test return.
class ModalWatcher : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
    };

    // Called with any modal widget that is not a message box; it must close it.
    std::function<void(QWidget*)> onOtherDialog;

    explicit ModalWatcher(int pollMs = 20)
    {
        connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
        timer_.start(pollMs);
    }

    const QList<Seen>& seen() const { return seen_; }
    QStringList texts() const
    {
        QStringList list;
        for (const Seen& s : seen_)
            list << s.text;
        return list;
    }
    void clear() { seen_.clear(); }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        // A dialog is handled once while it is shown, also when it is active again after one
        // opened over it; shown again later, it is handled again.
        handled_.removeIf(
            [](const QPointer<QWidget>& dialog) { return !dialog || !dialog->isVisible(); });
        if (!modal || handled_.contains(modal))
            return;
        handled_.append(modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            // With two watchers at once, the first to see a box records and answers it.
            if (box->property("answeredByWatcher").toBool())
                return;
            box->setProperty("answeredByWatcher", true);
            seen_.append({box->windowTitle(), box->text(), box->standardButtons(), box->icon()});
            QMetaObject::invokeMethod(
                box, [box] { box->accept(); }, Qt::QueuedConnection);
        } else if (onOtherDialog) {
            onOtherDialog(modal);
        }
    }

    QTimer timer_;
    QList<Seen> seen_;
    QList<QPointer<QWidget>> handled_;
};
