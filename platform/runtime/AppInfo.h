#pragma once

#include <QString>

namespace platform {

// The application's title, folder and how the process ends.
class Application {
public:
    static QString title();  // "DA1011"

    // The application folder (DA1011, the book and the flag file), without a trailing
    // separator except at the root: the folder of the executable unless named otherwise.
    static QString path();
    // The program names the folder above its own lib/ folder; tests run the windows against a
    // folder of their own.
    static void setPathOverride(const QString& folder);

    // Ends the event loop with the given code; before the loop runs, exec() returns it at once.
    static void requestExit(int code);
    static bool exitRequested();
    static int exec();
    // Lets a test carry on after a simulated end of the process.
    static void resetExitRequest();

    // While something alive must not be destroyed (a web page the engine still owes an
    // answer, whose destruction the engine punishes by aborting), the process ends without
    // tearing down: finish() flushes the output and ends it at once. Holds are counted.
    static void holdTeardown();
    static void releaseTeardown();
    // The last call of main, inside the application's scope: returns code, or, while the
    // teardown is held, ends the process with it.
    static int finish(int code);
};

}  // namespace platform
