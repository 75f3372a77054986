#pragma once

// A test main for tests that create windows: the application is set up the way the
// program's own main sets it up (libcurl, fonts and resources), offscreen unless a display
// was chosen, with a per-user config folder of its own.

#include "app/Startup.h"
#include "platform/runtime/AppInfo.h"
#include "support/UserConfig.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <curl/curl.h>

#define DA1011_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        curl_global_init(CURL_GLOBAL_DEFAULT);                                                     \
        int code = 0;                                                                              \
        {                                                                                          \
            QApplication app(argc, argv);                                                          \
            const QTemporaryDir userConfig;                                                        \
            const ScopedUserConfig isolated(userConfig.path());                                    \
            prepareApplication();                                                                  \
            TestClass tc;                                                                          \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            code = platform::Application::finish(QTest::qExec(&tc, argc, argv));                   \
        }                                                                                          \
        curl_global_cleanup();                                                                     \
        return code;                                                                               \
    }
