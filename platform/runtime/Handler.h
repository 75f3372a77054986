#pragma once

#include <QString>

#include <functional>

namespace platform {

// Every event handler of the program is entered through here. An error that escapes the
// handler is shown in a message box and ends the process with a non-zero exit code; no
// exception ever reaches Qt's event loop.
class Handler {
public:
    static void run(const std::function<void()>& body) noexcept;

    // True while a handler runs, including handlers entered from a modal loop inside one.
    static bool running() noexcept;
    // Runs the action once every running handler has returned; at once when none runs.
    static void afterHandlers(std::function<void()> action);

    // Ends the process with the code once every running handler has returned, so that a
    // print job or a message of a handler further out is finished first; at once when none
    // runs. From the call on no new handler starts. A failure code wins over 0.
    static void endProcess(int code) noexcept;
    static bool ending() noexcept;
};

// What the handler of last resort does; tests may watch it instead of ending the process.
class LastResort {
public:
    using Reporter = std::function<void(int number, const QString& description)>;
    static void report(int number, const QString& description) noexcept;
    static void setReporter(Reporter reporter);  // empty restores the default
};

}  // namespace platform
