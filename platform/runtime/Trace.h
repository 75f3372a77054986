#pragma once

#include <QLoggingCategory>

// Start-up milestones for measuring, off unless enabled the usual Qt way:
//   QT_LOGGING_RULES="da1011.startup.info=true"
Q_DECLARE_LOGGING_CATEGORY(lcStartup)
// What the web view refused a page (requests, navigations, hand-offs, dialogs): shown unless
//   QT_LOGGING_RULES="da1011.page.info=false"
Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace platform {
// Logs the milestone once the event loop has drawn what led to it.
void traceMilestone(const char* milestone);
}  // namespace platform
