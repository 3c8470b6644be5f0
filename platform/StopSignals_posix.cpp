#include "platform/StopSignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::array<int, 3> kStopSignals { SIGINT, SIGTERM, SIGHUP };

// What the handler may touch: plain integers, set once before it is installed.
volatile std::sig_atomic_t firstSignal = 0;
int readEnd = -1;
int writeEnd = -1;

std::array<struct sigaction, kStopSignals.size()> previousStop {};
// A stop signal that came in ignored (nohup, a background job of a script) keeps being ignored:
// whoever started the program asked for it to outlive that signal.
std::array<bool, kStopSignals.size()> caught {};
struct sigaction previousPipe { };

extern "C" void onStopSignal(int signal)
{
    const int saved = errno;
    if (firstSignal == 0)
        firstSignal = signal;
    // One byte is enough to wake the loop; a full pipe already has it awake.
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals()
{
    if (writeEnd >= 0)
        return;
    int ends[2] = { -1, -1 };
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd = ends[0];
    writeEnd = ends[1];
    firstSignal = 0;
    m_owner = true;

    struct sigaction stop { };
    stop.sa_handler = onStopSignal;
    stop.sa_flags = SA_RESTART;
    sigemptyset(&stop.sa_mask);
    for (const int signal : kStopSignals)
        sigaddset(&stop.sa_mask, signal);
    bool installed = true;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        caught[i] = false;
        if (::sigaction(kStopSignals[i], nullptr, &previousStop[i]) != 0) {
            installed = false;
            continue;
        }
        if (previousStop[i].sa_handler == SIG_IGN)
            continue;
        caught[i] = ::sigaction(kStopSignals[i], &stop, nullptr) == 0;
        installed = caught[i] && installed;
    }
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    installed = ::sigaction(SIGPIPE, &ignore, &previousPipe) == 0 && installed;
    m_valid = installed;
}

StopSignals::~StopSignals()
{
    if (!m_owner)
        return;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if (caught[i])
            ::sigaction(kStopSignals[i], &previousStop[i], nullptr);
    }
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
    ::close(readEnd);
    ::close(writeEnd);
    readEnd = writeEnd = -1;
}

int StopSignals::handle() const
{
    return m_valid ? readEnd : -1;
}

int StopSignals::received() const
{
    return m_valid ? int(firstSignal) : 0;
}

} // namespace platform
