#include "platform/runtime/Handler.h"

#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/MessageBox.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

namespace {

LastResort::Reporter& customReporter()
{
    static LastResort::Reporter reporter;
    return reporter;
}

void defaultReport(int number, const QString& description)
{
    std::fprintf(stderr, "DA1011: run-time error %d: %s\n", number,
                 description.toLocal8Bit().constData());
    try {
        MsgBox(QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description));
    } catch (...) {
        // The process ends below whether or not the report could be shown.
    }
    Handler::endProcess(1);
}

}  // namespace

void LastResort::report(int number, const QString& description) noexcept
{
    try {
        if (customReporter())
            customReporter()(number, description);
        else
            defaultReport(number, description);
    } catch (...) {
        Handler::endProcess(1);
    }
}

void LastResort::setReporter(Reporter reporter)
{
    customReporter() = std::move(reporter);
}

namespace {

int g_handlerDepth = 0;
std::optional<int> g_endCode;  // set while the process waits for running handlers to return

std::vector<std::function<void()>>& pendingAfterHandlers()
{
    static std::vector<std::function<void()>> pending;
    return pending;
}

}  // namespace

void Handler::run(const std::function<void()>& body) noexcept
{
    if (ending())
        return;
    ++g_handlerDepth;
    try {
        body();
    } catch (const PlatformError& error) {
        LastResort::report(error.number(), error.description());
    } catch (const std::exception& error) {
        LastResort::report(kErrInternal, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        LastResort::report(kErrInternal, QStringLiteral("Internal error"));
    }
    if (--g_handlerDepth > 0)
        return;
    const auto pending = std::exchange(pendingAfterHandlers(), {});
    for (const auto& action : pending) {
        try {
            action();
        } catch (...) {
            // Clean-up actions must not take the process down.
        }
    }
    if (g_endCode)
        Application::requestExit(*std::exchange(g_endCode, std::nullopt));
}

bool Handler::running() noexcept
{
    return g_handlerDepth > 0;
}

void Handler::afterHandlers(std::function<void()> action)
{
    if (running())
        pendingAfterHandlers().push_back(std::move(action));
    else
        action();
}

void Handler::endProcess(int code) noexcept
{
    if (!running()) {
        Application::requestExit(code);
        return;
    }
    if (!g_endCode || *g_endCode == 0)
        g_endCode = code;
}

bool Handler::ending() noexcept
{
    return g_endCode.has_value() || Application::exitRequested();
}

}  // namespace platform
