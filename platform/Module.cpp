#include "platform/Module.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>

// Qt's own set-up of the application-wide shared context, exported by Qt GUI (declared in
// its private headers); QGuiApplication calls it at start when shared contexts are asked for.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace platform {

void loadModule(const QString& name)
{
    // Never unloaded: the module's windows and static objects live until the process ends.
    QLibrary module(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
    if (!module.load())
        throw PlatformError(
            kErrFileNotFound,
            QStringLiteral("%1 could not be loaded: %2").arg(name, module.errorString()));
}

void loadWebModule(const QString& name)
{
    if (!QOpenGLContext::globalShareContext()) {
        // Lives as long as the process: the web engine uses it until the very end.
        auto* shared = new QOpenGLContext;
        shared->create();  // where there is no OpenGL the engine falls back to software
        qt_gl_set_global_share_context(shared);
    }
    loadModule(name);
}

}  // namespace platform
