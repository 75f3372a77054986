#include "app/Startup.h"
#include "platform/runtime/AppInfo.h"

#include <QApplication>
#include <QDir>

#include <curl/curl.h>

int main(int argc, char* argv[])
{
    // libcurl must be set up before any other thread exists.
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return 2;
    int code = 0;
    {
        QApplication application(argc, argv);
        // This executable runs from the program's lib/ folder, started by DA1011 beside the
        // book; the application folder, with the book and the flag file, is the one above.
        platform::Application::setPathOverride(
            QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/..")));
        prepareApplication();
        code = platform::Application::finish(runProgram());
    }
    curl_global_cleanup();
    return code;
}
