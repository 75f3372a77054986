#include "platform/runtime/Limits.h"

namespace platform {

Limits& Limits::current()
{
    static Limits limits;
    return limits;
}

}  // namespace platform
