#include "platform/Module.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QOpenGLContext>
#include <QPluginLoader>

// Qt GUI sets up its application-wide shared context with this function when an application
// asks for one (Qt::AA_ShareOpenGLContexts) before it starts. Asking for it that way would
// create the context at every start, welcome window included, so the program calls the same
// function when the web engine is about to load. It is exported by Qt GUI but declared only in
// its private headers (qopenglcontext_p.h); Qt 6 keeps it for the web engine's own use.
// tests/platform/test_form.cpp checks that it still takes effect.
#if QT_VERSION < QT_VERSION_CHECK(7, 0, 0)
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE
#else
#error "Check that qt_gl_set_global_share_context still exists in this Qt, then widen the guard"
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

    // Never unloaded: the plugin's windows and static objects live until the process ends.
    QPluginLoader loader(QCoreApplication::applicationDirPath() + QLatin1Char('/') + baseName);
    if (!loader.load())
        throw PlatformError(
            kErrFileNotFound,
            QStringLiteral("%1 could not be loaded: %2").arg(baseName, loader.errorString()));
    QObject* plugin = loader.instance();
    if (!plugin || interfaceOf(loader.metaData()) != wanted || !plugin->qt_metacast(interfaceId))
        throw PlatformError(kErrInternal,
                            QStringLiteral("%1 is not a plugin of this program").arg(baseName));
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
