#include "platform/runtime/ResourceText.h"

#include <QFile>

namespace platform {

QString resourceText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("The program's resource %s is missing from this build.", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

}  // namespace platform
