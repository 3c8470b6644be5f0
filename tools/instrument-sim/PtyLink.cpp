#include "tools/instrument-sim/PtyLink.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace instrumentsim {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stopSignal = 0;

// The signal mask a wait runs with: the stop signals let through, everything else as it was.
sigset_t g_waitMask;
bool g_haveWaitMask = false;

constexpr int kStopSignals[] = { SIGINT, SIGTERM, SIGHUP };

void onStopSignal(int signal)
{
    g_stopSignal = signal;
}

const sigset_t* waitMask()
{
    return g_haveWaitMask ? &g_waitMask : nullptr;
}

// Milliseconds left until @p deadline, never negative.
int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

void catchStopSignals()
{
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stops, signal);
    }
    // A reader of our log that goes away must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);

    sigprocmask(SIG_BLOCK, &stops, &g_waitMask);
    for (int signal : kStopSignals)
        sigdelset(&g_waitMask, signal);
    g_haveWaitMask = true;
}

int stopSignal()
{
    return g_stopSignal;
}

PtyLink::~PtyLink()
{
    close();
}

bool PtyLink::open(const std::string& linkPath)
{
    close();
    m_error.clear();

    struct stat existing { };
    if (::lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        m_error = linkPath + " exists and is not a symbolic link; not replacing it";
        return false;
    }

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        fail("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0) {
        fail("preparing the pseudo-terminal");
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        fail(name);
        return false;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    // Reads and writes on the master wait through poll(), never in the call itself.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // Raw mode, as a serial port is: no echo of the commands back to the program, no line
    // editing holding them back, no translation of 0x0A or 0x0D in the replies.
    termios settings {};
    if (::tcgetattr(m_slave, &settings) != 0) {
        fail("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        fail("tcsetattr");
        return false;
    }

    // Link under a temporary name, then rename it over the path: a stale link is replaced in
    // one step, and a program that opens the path never finds it missing.
    const std::string temporary = linkPath + ".instrument-sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0) {
        fail(linkPath.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        fail(linkPath.c_str());
        ::unlink(temporary.c_str());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

PtyLink::Wait PtyLink::readByte(std::uint8_t& byte, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (stopSignal() != 0)
            return Wait::Stopped;
        const ssize_t got = ::read(m_master, &byte, 1);
        if (got == 1)
            return Wait::Ready;
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            fail("reading from the pseudo-terminal");
            return Wait::Failed;
        }
        const Wait waited = waitFor(POLLIN, timeoutMs < 0 ? -1 : remainingMs(deadline));
        if (waited != Wait::Ready)
            return waited;
    }
}

PtyLink::Wait PtyLink::pause(int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (stopSignal() != 0)
            return Wait::Stopped;
        const int left = remainingMs(deadline);
        if (left == 0)
            return Wait::Ready;
        const timespec span { left / 1000, (left % 1000) * 1000000L };
        if (::ppoll(nullptr, 0, &span, waitMask()) < 0 && errno != EINTR) {
            fail("ppoll");
            return Wait::Failed;
        }
    }
}

PtyLink::Wait PtyLink::waitForStop()
{
    while (stopSignal() == 0) {
        if (::ppoll(nullptr, 0, nullptr, waitMask()) < 0 && errno != EINTR) {
            fail("ppoll");
            return Wait::Failed;
        }
    }
    return Wait::Stopped;
}

std::size_t PtyLink::write(const std::uint8_t* data, std::size_t size)
{
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(m_master, data + done, size - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (waitFor(POLLOUT, remainingMs(deadline)) != Wait::Ready)
            break;
    }
    return done;
}

bool PtyLink::waitUntilRead(int ms)
{
    // Nothing tells the master side that the program emptied its queue, so look now and then.
    // Our own slave handle answers: a poll on it first moves bytes still on their way from the
    // master into the queue, so "nothing to read" means the program really has them all.
    constexpr int kLookEveryMs = 2;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pollfd queue { m_slave, POLLIN, 0 };
        if (::poll(&queue, 1, 0) <= 0 || !(queue.revents & POLLIN))
            return true;
        if (remainingMs(deadline) == 0 || pause(kLookEveryMs) != Wait::Ready)
            return false;
    }
}

void PtyLink::close()
{
    if (!m_linkPath.empty()) {
        std::vector<char> target(m_slavePath.size() + 2);
        const ssize_t length = ::readlink(m_linkPath.c_str(), target.data(), target.size());
        if (length >= 0
            && std::string(target.data(), static_cast<std::size_t>(length)) == m_slavePath)
            ::unlink(m_linkPath.c_str());
        m_linkPath.clear();
    }
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

PtyLink::Wait PtyLink::waitFor(short events, int timeoutMs)
{
    pollfd watched { m_master, events, 0 };
    timespec span { timeoutMs / 1000, (timeoutMs % 1000) * 1000000L };
    const int ready = ::ppoll(&watched, 1, timeoutMs < 0 ? nullptr : &span, waitMask());
    if (ready > 0)
        return Wait::Ready;
    if (ready == 0)
        return Wait::TimedOut;
    if (errno == EINTR)
        return stopSignal() != 0 ? Wait::Stopped : Wait::Ready;
    fail("ppoll");
    return Wait::Failed;
}

void PtyLink::fail(const char* what)
{
    m_error = errnoText(what);
    close();
}

} // namespace instrumentsim
