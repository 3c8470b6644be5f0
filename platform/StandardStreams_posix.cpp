#include "platform/StandardStreams.h"

#include <unistd.h>

namespace platform {

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

int standardOutputHandle()
{
    return STDOUT_FILENO;
}

int standardErrorHandle()
{
    return STDERR_FILENO;
}

} // namespace platform
