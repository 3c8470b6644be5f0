// Arbitrary line speeds need the kernel's termios2 block, whose header clashes with <termios.h>:
// this file includes the kernel's definitions only, and the rest of the layer never sees them.
#include "platform/SerialLine.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace platform::serialline {

namespace {

bool readSettings(int fd, termios2& settings)
{
    while (::ioctl(fd, TCGETS2, &settings) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

bool setSpeedByNumber(int fd, std::int32_t baudRate)
{
    if (baudRate <= 0)
        return false;
    termios2 settings {};
    if (!readSettings(fd, settings))
        return false;
    // Clearing the input speed bits makes the input follow the output speed.
    settings.c_cflag &= ~(CBAUD | CIBAUD);
    settings.c_cflag |= BOTHER;
    settings.c_ispeed = static_cast<speed_t>(baudRate);
    settings.c_ospeed = static_cast<speed_t>(baudRate);
    while (::ioctl(fd, TCSETS2, &settings) != 0) {
        if (errno != EINTR)
            return false;
    }
    // A driver that cannot make the rate quietly picks one it can; that counts as refused.
    return outputSpeed(fd) == baudRate;
}

std::int32_t outputSpeed(int fd)
{
    termios2 settings {};
    if (!readSettings(fd, settings) || settings.c_ospeed > INT32_MAX)
        return -1;
    return static_cast<std::int32_t>(settings.c_ospeed);
}

} // namespace platform::serialline
