#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

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

}  // namespace platform
