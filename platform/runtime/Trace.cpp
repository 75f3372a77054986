#include "platform/runtime/Trace.h"

#include <QCoreApplication>
#include <QTimer>

Q_LOGGING_CATEGORY(lcStartup, "da1011.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPage, "da1011.page", QtInfoMsg)

namespace platform {

void traceMilestone(const char* milestone)
{
    if (!lcStartup().isInfoEnabled())
        return;
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [milestone] { qCInfo(lcStartup, "%s", milestone); });
}

}  // namespace platform
