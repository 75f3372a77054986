#include "platform/runtime/AppInfo.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
QString& pathOverride()
{
    static QString folder;
    return folder;
}
bool g_exitRequested = false;
int g_teardownHolds = 0;
int g_exitCode = 0;
}  // namespace

QString Application::title()
{
    return QStringLiteral("DA1011");
}

QString Application::path()
{
    QString folder
        = pathOverride().isEmpty() ? QCoreApplication::applicationDirPath() : pathOverride();
    folder = QDir::fromNativeSeparators(folder);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void Application::setPathOverride(const QString& folder)
{
    pathOverride() = folder;
}

void Application::requestExit(int code)
{
    if (g_exitRequested)
        return;
    g_exitRequested = true;
    g_exitCode = code;
    QCoreApplication::exit(code);
}

bool Application::exitRequested()
{
    return g_exitRequested;
}

int Application::exec()
{
    if (g_exitRequested)
        return g_exitCode;
    const int code = QApplication::exec();
    return g_exitRequested ? g_exitCode : code;
}

void Application::resetExitRequest()
{
    g_exitRequested = false;
    g_exitCode = 0;
}

void Application::holdTeardown()
{
    ++g_teardownHolds;
}

void Application::releaseTeardown()
{
    if (g_teardownHolds > 0)
        --g_teardownHolds;
}

int Application::finish(int code)
{
    if (g_teardownHolds == 0)
        return code;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace platform
