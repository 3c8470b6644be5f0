#include "platform/Beep.h"

namespace platform {

namespace {

BeepHandler current = nullptr;

} // namespace

void beep()
{
    if (current)
        current();
}

BeepHandler setBeepHandler(BeepHandler handler)
{
    const BeepHandler previous = current;
    current = handler;
    return previous;
}

} // namespace platform
