#pragma once

#include <QString>

namespace platform {

// A modal message box with one OK button and no icon. Without a title it carries the
// application's title. Returns once the user has closed it.
void MsgBox(const QString& prompt, const QString& title = QString());

}  // namespace platform
