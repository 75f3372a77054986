#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace platform {

// Error numbers raised by the platform layer. The handler of last resort shows them,
// and an ErrorTrap keeps the last one.
enum ErrorNumber : int {
    kErrOverflow = 6,
    kErrInternal = 51,
    kErrFileNotFound = 53,
    kErrDeviceIo = 57,
    kErrPathFileAccess = 75,
    kErrInvalidPropertyValue = 380,
    kErrTransferFailed = 35750,
    kErrPrintFailed = 482,
    kErrPrintCancelled = 32755,
};

// A failed platform operation. Windows never see return codes: every failure is raised
// as one of these and either trapped (ErrorTrap) or reported by the handler of last resort.
class PlatformError : public std::exception {
public:
    PlatformError(ErrorNumber number, QString description);

    ErrorNumber number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    ErrorNumber number_;
    QString description_;
    QByteArray what_;
};

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

// Gives a routine "resume next" semantics: each attempted statement that fails is
// skipped and its error number kept. Constructing the trap arms it with number 0.
class ErrorTrap {
public:
    ErrorTrap() = default;

    template <class Statement> void attempt(Statement&& statement) noexcept
    {
        try {
            statement();
        } catch (const PlatformError& error) {
            number_ = error.number();
        } catch (...) {
            number_ = kErrInternal;
        }
    }

    int number() const noexcept { return number_; }

private:
    int number_ = 0;
};

// What the handler of last resort does; tests may watch it instead of ending the process.
class LastResort {
public:
    using Reporter = std::function<void(int number, const QString& description)>;
    static void report(int number, const QString& description) noexcept;
    static void setReporter(Reporter reporter);  // empty restores the default
};

}  // namespace platform
