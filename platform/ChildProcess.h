#pragma once

#include <cstdint>

namespace platform {

/**
 * For a child process between fork and exec (QProcess's child process modifier): makes it the
 * leader of a process group of its own, so that it and whatever it starts can be stopped
 * together, and gives it the default SIGPIPE back (this program ignores it while it polls).
 * Only async-signal-safe calls.
 */
void prepareChildProcess();

/** Sends SIGTERM (@p kill false) or SIGKILL to the process group led by @p pid; false when no
 *  such group is left. */
bool signalProcessGroup(std::int64_t pid, bool kill);

} // namespace platform
