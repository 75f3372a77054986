#pragma once

#include <QLoggingCategory>

// Start-up milestones for measuring, off unless enabled the usual Qt way:
//   QT_LOGGING_RULES="da1011.startup.info=true"
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace platform {
// Logs the milestone once the event loop has drawn what led to it.
void traceMilestone(const char* milestone);
}  // namespace platform
