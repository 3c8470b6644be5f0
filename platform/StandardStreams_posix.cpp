#include "platform/StandardStreams.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool standardErrorIsJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr)
        return false;
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;
    char rest = 0;
    if (std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2)
        return false;
    struct stat status { };
    if (::fstat(STDERR_FILENO, &status) != 0)
        return false;
    return std::uintmax_t(status.st_dev) == device && std::uintmax_t(status.st_ino) == inode;
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
