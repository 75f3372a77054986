#include "platform/runtime/MessageBox.h"

#include "platform/runtime/AppInfo.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

void MsgBox(const QString& prompt, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? Application::title() : title, prompt,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace platform
