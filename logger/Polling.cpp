#include "logger/Polling.h"

#include "logger/Options.h"

#include <cstdio>

namespace logger {

int runPolling(const Options& /*options*/)
{
    // This build lists ports and checks command lines; the polling loop is not part of it yet.
    std::fputs("velmora-log: polling is not available in this build\n", stderr);
    return kExitFailure;
}

} // namespace logger
