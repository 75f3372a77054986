#include "platform/runtime/Plugins.h"

#include "platform/runtime/Errors.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QOpenGLContext>
#include <QPluginLoader>

// Qt GUI sets up its application-wide shared context with qt_gl_set_global_share_context when
// an application asks for one (Qt::AA_ShareOpenGLContexts) before it starts. Asked for that
// way, the context is made at every start, and making it doubles the welcome window's start
// (85 ms to 164 ms, measured): so the program calls the same function itself, when the web
// engine is about to load. Qt exports it for the web engine but declares it only in its
// private headers, which belong to one Qt release; tests/platform/test_form.cpp checks that it
// still takes effect.
#if QT_VERSION < QT_VERSION_CHECK(7, 0, 0)
#include <QtGui/private/qopenglcontext_p.h>
#else
#error "Check that Qt still offers qt_gl_set_global_share_context, then widen this guard"
#endif

namespace platform {

namespace {

QString interfaceOf(const QJsonObject& metaData)
{
    return metaData.value(QLatin1String("IID")).toString();
}

}  // namespace

QObject& loadPluginObject(const QString& baseName, const char* interfaceId)
{
    const QString wanted = QString::fromLatin1(interfaceId);
    for (const QStaticPlugin& plugin : QPluginLoader::staticPlugins())
        if (interfaceOf(plugin.metaData()) == wanted)
            return *plugin.instance();

    // Only from the program's own lib/ folder, where the executable runs from, as its
    // libraries: the application folder holds the book, and whoever hands it over may have put
    // any file there. The metadata is read from the file without running any of its code, so
    // a file that is not this program's plugin is refused before it is loaded.
    QPluginLoader loader(QCoreApplication::applicationDirPath() + QLatin1Char('/') + baseName);
    const QJsonObject metaData = loader.metaData();
    if (!metaData.isEmpty() && interfaceOf(metaData) != wanted)
        throw PlatformError(kErrInternal,
                            QStringLiteral("%1 is not a plugin of this program").arg(baseName));
    // Never unloaded: the plugin's windows and static objects live until the process ends.
    QObject* plugin = loader.instance();
    if (!plugin)
        throw PlatformError(
            kErrFileNotFound,
            QStringLiteral("%1 could not be loaded: %2").arg(baseName, loader.errorString()));
    return *plugin;
}

void prepareWebEngine()
{
    if (QOpenGLContext::globalShareContext())
        return;
    // Lives as long as the process: the web engine uses it until the very end.
    auto* shared = new QOpenGLContext;
    shared->create();  // where there is no OpenGL the engine falls back to software
    qt_gl_set_global_share_context(shared);
}

}  // namespace platform
