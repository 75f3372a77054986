#include "platform/runtime/Errors.h"

#include <utility>

namespace platform {

PlatformError::PlatformError(ErrorNumber number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8())
{
}

}  // namespace platform
