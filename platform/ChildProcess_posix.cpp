#include "platform/ChildProcess.h"

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace platform {

void prepareChildProcess()
{
    ::setpgid(0, 0);
    ::signal(SIGPIPE, SIG_DFL);
}

bool signalProcessGroup(std::int64_t pid, bool kill)
{
    if (pid <= 0)
        return false;
    return ::kill(-static_cast<pid_t>(pid), kill ? SIGKILL : SIGTERM) == 0;
}

} // namespace platform
