#include "welcome/SkipFile.h"

#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "platform/UserConfig.h"

#include <QDir>

namespace skipfile {

namespace {

constexpr QLatin1String kSkip("1");

QString lastItemOf(const QString& path)
{
    QString value;
    try {
        platform::SequentialReader reader(path);
        while (!reader.atEnd())
            value = reader.readItem();
    } catch (const platform::PlatformError&) {
        return QString();
    }
    return value;
}

}  // namespace

QString pathIn(const QString& appFolder)
{
    return appFolder + QStringLiteral("/dontshow.txt");
}

QString userPath()
{
    return platform::userConfigPath() + QStringLiteral("/dontshow.txt");
}

QString read(const QString& appFolder)
{
    QString value = lastItemOf(pathIn(appFolder));
    if (value != kSkip && lastItemOf(userPath()) == kSkip)
        return kSkip;
    return value;
}

void write(const QString& appFolder)
{
    try {
        platform::writeLineAtomically(pathIn(appFolder), kSkip);
    } catch (const platform::PlatformError& appFolderError) {
        // A system-wide install's folder is read-only for its users: the choice is kept
        // per user instead. It is saved, so there is nothing to tell the user.
        try {
            QDir().mkpath(platform::userConfigPath());
            platform::writeLineAtomically(userPath(), kSkip);
        } catch (const platform::PlatformError& userError) {
            throw platform::PlatformError(appFolderError.number(),
                                          QStringLiteral("%1; %2: %3")
                                              .arg(appFolderError.description(),
                                                   QDir::toNativeSeparators(userPath()),
                                                   userError.description()));
        }
    }
}

}  // namespace skipfile
