#pragma once

#include <QString>

namespace platform {

// The application's title, folder and how the process ends.
class Application {
public:
    static QString title();  // "DA1011"

    // The folder that holds the executable, without a trailing separator except at the root.
    static QString path();
    // Tests run the windows against a folder of their own.
    static void setPathOverride(const QString& folder);

    // Ends the event loop with the given code; before the loop runs, exec() returns it at once.
    static void requestExit(int code);
    static bool exitRequested();
    static int exec();
    // Lets a test carry on after a simulated end of the process.
    static void resetExitRequest();
};

}  // namespace platform
