#include "welcome/SkipFile.h"

#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace skipfile {

QString pathIn(const QString& appFolder)
{
    return appFolder + QStringLiteral("/dontshow.txt");
}

QString read(const QString& appFolder)
{
    QString value;
    try {
        platform::SequentialReader reader(pathIn(appFolder));
        while (!reader.atEnd())
            value = reader.readItem();
    } catch (const platform::PlatformError&) {
        return QString();
    }
    return value;
}

void write(const QString& appFolder)
{
    platform::writeLineAtomically(pathIn(appFolder), QStringLiteral("1"));
}

}  // namespace skipfile
