#include "welcome/SkipFile.h"

#include "platform/runtime/Errors.h"
#include "platform/runtime/TextFile.h"
#include "platform/runtime/UserConfig.h"

#include <QDir>
#include <QFileInfo>

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

// The file that decides: the application folder's wherever it can be written; elsewhere the
// per-user file once it exists, and until then the application folder's as shipped.
QString decidingPath(const QString& appFolder)
{
    // The writer's own test, so that the file read is the file written: a folder the user
    // may write keeps the choice itself, whatever any per-user file says.
    QString own = pathIn(appFolder);
    if (platform::whyNotWritable(own).isEmpty() || !QFileInfo::exists(userPath()))
        return own;
    return userPath();
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
    return lastItemOf(decidingPath(appFolder));
}

void write(const QString& appFolder)
{
    const QString own = pathIn(appFolder);
    const QString refusal = platform::whyNotWritable(own);
    if (refusal.isEmpty()) {
        platform::writeLineAtomically(own, kSkip);
        return;
    }
    // A system-wide install's folder is read-only for its users: the choice is kept per user
    // instead. It is saved, so there is nothing to tell the user.
    try {
        QDir().mkpath(platform::userConfigPath());
        platform::writeLineAtomically(userPath(), kSkip);
    } catch (const platform::PlatformError&) {
        // The application folder is where the choice belongs; its reason is the one told.
        throw platform::PlatformError(platform::kErrPathFileAccess, refusal);
    }
}

}  // namespace skipfile
