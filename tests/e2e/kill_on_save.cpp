// Kills a process with SIGKILL at a random moment while it replaces a file: it watches the file's
// folder, and when the hidden temporary file of a replacement appears it waits a random number of
// microseconds (0 up to the bound given) and kills. A whole-program test uses it to stop the
// program in the middle of saving its settings.
//
// Usage: kill-on-save PID FOLDER FILE-NAME MAX-DELAY-US SEED
// Prints "armed" once it watches, then "killed after N us" or "no save seen".

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kGiveUpAfterMs = 30000;
constexpr int kPollSliceMs = 50;

bool processAlive(pid_t pid)
{
    return ::kill(pid, 0) == 0;
}

void sleepMicroseconds(long microseconds)
{
    timespec delay { microseconds / 1000000, (microseconds % 1000000) * 1000 };
    while (::nanosleep(&delay, &delay) != 0) { }
}

// True when an event of the buffer names a temporary file of @p prefix being created.
bool createsTemporary(const char* buffer, ssize_t length, const std::string& prefix)
{
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if ((event->mask & IN_CREATE) && event->len > 0
            && std::strncmp(event->name, prefix.c_str(), prefix.size()) == 0)
            return true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s PID FOLDER FILE-NAME MAX-DELAY-US SEED\n", argv[0]);
        return 2;
    }
    const pid_t pid = static_cast<pid_t>(std::strtol(argv[1], nullptr, 10));
    const char* folder = argv[2];
    const std::string prefix = std::string(".") + argv[3] + ".";
    const long maxDelay = std::strtol(argv[4], nullptr, 10);
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)));

    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder, IN_CREATE) < 0) {
        std::perror("inotify");
        return 2;
    }
    std::printf("armed\n");
    std::fflush(stdout);

    alignas(inotify_event) char buffer[4096];
    for (int waited = 0; waited < kGiveUpAfterMs && processAlive(pid); waited += kPollSliceMs) {
        pollfd ready { watch, POLLIN, 0 };
        if (::poll(&ready, 1, kPollSliceMs) <= 0)
            continue;
        const ssize_t length = ::read(watch, buffer, sizeof buffer);
        if (length <= 0 || !createsTemporary(buffer, length, prefix))
            continue;
        const long delay = std::uniform_int_distribution<long>(0, maxDelay)(random);
        if (delay > 0)
            sleepMicroseconds(delay);
        ::kill(pid, SIGKILL);
        std::printf("killed after %ld us\n", delay);
        return 0;
    }
    std::printf("no save seen\n");
    return 0;
}
