// hold-port: another program that holds a serial port, for the whole-program tests. It takes the
// port the way the program itself does (no carrier wait, the lock, the exclusive mark), says
// "held PATH" and keeps it until SIGTERM or SIGINT. On release it says whether the exclusive mark
// was still set, so a test can tell that nobody took the port from under it meanwhile.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int failed(const char* what, const char* path)
{
    std::fprintf(stderr, "hold-port: %s %s: %s\n", what, path, std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: hold-port PATH\n");
        return 2;
    }
    const char* path = argv[1];

    // The stop signals are taken by sigwait() only, so none can arrive before the port is held
    // and be lost.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, nullptr);

    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed("cannot open", path);
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0)
        return failed("not a terminal:", path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return failed("cannot lock", path);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return failed("cannot take exclusively", path);
    std::printf("held %s\n", path);
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stops, &signal);

    int exclusive = 0;
    const bool marked = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    std::printf("released, exclusive mark %s\n", marked ? "kept" : "lost");
    std::fflush(stdout);
    return 0;
}
