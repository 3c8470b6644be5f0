#include "platform/Clock.h"
#include "platform/SerialLine.h"
#include "platform/SerialPort.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace serialline {

namespace {

constexpr tcflag_t kInputProcessing
    = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY;
constexpr tcflag_t kLineDiscipline = ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN;

struct SpeedCode {
    std::int32_t rate;
    speed_t code;
};

constexpr std::array kStandardSpeeds {
    SpeedCode { 50, B50 },
    SpeedCode { 75, B75 },
    SpeedCode { 110, B110 },
    SpeedCode { 134, B134 },
    SpeedCode { 150, B150 },
    SpeedCode { 200, B200 },
    SpeedCode { 300, B300 },
    SpeedCode { 600, B600 },
    SpeedCode { 1200, B1200 },
    SpeedCode { 1800, B1800 },
    SpeedCode { 2400, B2400 },
    SpeedCode { 4800, B4800 },
    SpeedCode { 9600, B9600 },
    SpeedCode { 19200, B19200 },
    SpeedCode { 38400, B38400 },
    SpeedCode { 57600, B57600 },
    SpeedCode { 115200, B115200 },
    SpeedCode { 230400, B230400 },
    SpeedCode { 460800, B460800 },
    SpeedCode { 500000, B500000 },
    SpeedCode { 576000, B576000 },
    SpeedCode { 921600, B921600 },
    SpeedCode { 1000000, B1000000 },
    SpeedCode { 1152000, B1152000 },
    SpeedCode { 1500000, B1500000 },
    SpeedCode { 2000000, B2000000 },
    SpeedCode { 2500000, B2500000 },
    SpeedCode { 3000000, B3000000 },
    SpeedCode { 3500000, B3500000 },
    SpeedCode { 4000000, B4000000 },
};

} // namespace

void makeRaw(termios& settings)
{
    settings.c_iflag &= ~kInputProcessing;
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~kLineDiscipline;
    settings.c_cflag &= ~(CSIZE | CSTOPB);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    // Reads return at once with what is there; every wait is done by poll() with a bound.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

bool isRaw(const termios& settings)
{
    termios wanted = settings;
    makeRaw(wanted);
    return wanted.c_iflag == settings.c_iflag && wanted.c_oflag == settings.c_oflag
        && wanted.c_lflag == settings.c_lflag && wanted.c_cflag == settings.c_cflag
        && wanted.c_cc[VMIN] == settings.c_cc[VMIN] && wanted.c_cc[VTIME] == settings.c_cc[VTIME];
}

unsigned standardSpeedCode(std::int32_t baudRate)
{
    const auto found = std::find_if(kStandardSpeeds.begin(), kStandardSpeeds.end(),
        [baudRate](const SpeedCode& speed) { return speed.rate == baudRate; });
    return found == kStandardSpeeds.end() ? 0 : found->code;
}

} // namespace serialline

namespace {

using Duration = Clock::Duration;

// Large enough for any reply of the instrument in one call, small enough for the stack.
constexpr qsizetype kReadChunk = 4096;

// How long output that waits in the driver may take to leave before a close throws it away:
// ample for the last two bytes of an upload, even at 50 bits per second.
constexpr Duration kCloseDrainBound { 500 };
// How often the driver's output queue is looked at while it drains.
constexpr Duration kDrainStep { 10 };

bool isAsciiDigits(QStringView text)
{
    return !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The errors of a handle whose device is gone for good: a hung-up terminal gives EIO, a
// USB adapter pulled out EIO or ENXIO, a driver that let go of its device ENODEV.
bool isLineGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

SerialError errorFromOpen(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return SerialError::NotFound;
    case EACCES:
    case EPERM:
        return SerialError::AccessDenied;
    case EBUSY:
        return SerialError::Busy;
    default:
        return SerialError::Other;
    }
}

bool getSettings(int fd, termios& settings)
{
    while (::tcgetattr(fd, &settings) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool setSettings(int fd, const termios& settings)
{
    while (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// The moment @p timeout from now on the program's clock; a negative time-out is none at all.
Duration deadlineAfter(Duration timeout)
{
    const Duration now = clock().now();
    const Duration longest = now > Duration(0) ? Duration::max() - now : Duration::max();
    return now + std::clamp(timeout, Duration(0), longest);
}

int pollTimeout(Duration wait)
{
    return static_cast<int>(std::clamp<Duration::rep>(wait.count(), 0, INT_MAX));
}

// Waits for @p events on @p fd until @p deadline on the program's clock. Returns the events that
// came (0 when the time ran out), or -1 when poll() itself failed. What is there already comes
// back at once; only for the rest does the clock say how long to block.
int waitFor(int fd, short events, Duration deadline)
{
    for (;;) {
        pollfd entry { fd, events, 0 };
        int ready = ::poll(&entry, 1, 0);
        if (ready == 0) {
            const Duration left = deadline - clock().now();
            if (left <= Duration(0))
                return 0;
            ready = ::poll(&entry, 1, pollTimeout(clock().blockFor(left)));
        }
        if (ready > 0)
            return entry.revents;
        if (ready < 0 && errno != EINTR)
            return -1;
    }
}

// Sets @p baudRate on the terminal @p fd together with the raw settings @p raw. Returns false
// when the terminal refused either or applied another rate.
bool setSpeed(int fd, const termios& raw, std::int32_t baudRate)
{
    termios settings = raw;
    const speed_t code = serialline::standardSpeedCode(baudRate);
    if (code != 0) {
        // The input speed bits cleared make the input follow the output speed.
        settings.c_cflag &= ~CIBAUD;
        if (::cfsetispeed(&settings, code) != 0 || ::cfsetospeed(&settings, code) != 0)
            return false;
    }
    if (!setSettings(fd, settings))
        return false;

    // tcsetattr() succeeds when any part of the change was taken; read back what the port has.
    termios applied {};
    if (!getSettings(fd, applied) || !serialline::isRaw(applied))
        return false;
    if (code == 0)
        return serialline::setSpeedByNumber(fd, baudRate);
    return ::cfgetospeed(&applied) == code && ::cfgetispeed(&applied) == code;
}

// The handle stays blocking, as a port handle is, but our own reads and writes must never
// wait in the kernel: a blocking write waits for the whole buffer to leave (for ever, if the
// other side holds the line with flow control), and a blocking read waits for as many bytes
// as a previous user left in VMIN. poll() does all the waiting, bounded.
class NonBlockingScope {
public:
    explicit NonBlockingScope(int fd)
        : m_fd(fd)
        , m_flags(::fcntl(fd, F_GETFL))
    {
        if (m_flags >= 0 && (m_flags & O_NONBLOCK) == 0)
            m_active = ::fcntl(fd, F_SETFL, m_flags | O_NONBLOCK) == 0;
    }
    ~NonBlockingScope()
    {
        if (m_active)
            ::fcntl(m_fd, F_SETFL, m_flags);
    }
    NonBlockingScope(const NonBlockingScope&) = delete;
    NonBlockingScope& operator=(const NonBlockingScope&) = delete;

    bool ok() const { return m_flags >= 0 && (m_active || (m_flags & O_NONBLOCK) != 0); }

private:
    int m_fd;
    int m_flags;
    bool m_active = false;
};

} // namespace

namespace serialline {

int queuedOutput(int fd)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : 0;
}

bool settleOutput(int fd, std::chrono::milliseconds bound, int (*queued)(int fd))
{
    const Duration deadline = deadlineAfter(bound);
    while (queued(fd) > 0) {
        const Duration left = deadline - clock().now();
        if (left <= Duration(0)) {
            ::tcflush(fd, TCOFLUSH);
            return true;
        }
        ::poll(nullptr, 0, pollTimeout(clock().blockFor(std::min(left, kDrainStep))));
    }
    return false;
}

} // namespace serialline

QString serialDevicePath(const QString& portName, const QString& deviceFolder)
{
    // An embedded NUL would cut the path short at the system call: some other file would open.
    if (portName.isEmpty() || portName.contains(QChar(u'\0')))
        return {};
    if (portName.startsWith(u'/'))
        return portName;
    if (portName.contains(u'/'))
        return {};

    QString name = portName;
    const QStringView number = QStringView(portName).mid(3);
    if (portName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && isAsciiDigits(number)) {
        // "COM01" names no port on Windows either, so only plain numbers map to ttyS.
        if (number.startsWith(u'0'))
            return number.size() == 1 ? QString() : deviceFolder + u'/' + portName;
        bool ok = false;
        const qulonglong n = number.toULongLong(&ok);
        if (!ok)
            return {};
        name = QStringLiteral("ttyS") + QString::number(n - 1);
    }
    return deviceFolder.endsWith(u'/') ? deviceFolder + name : deviceFolder + u'/' + name;
}

SerialPort::~SerialPort()
{
    close();
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_lost(std::exchange(other.m_lost, false))
{
}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_lost = std::exchange(other.m_lost, false);
    }
    return *this;
}

SerialError SerialPort::open(const QString& devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    if (path.isEmpty() || path.contains('\0'))
        return SerialError::NotFound;

    // Without O_NONBLOCK the open of a modem line can wait for carrier for ever.
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errorFromOpen(errno);

    const auto fail = [fd](SerialError error) {
        ::close(fd);
        return error;
    };

    termios settings {};
    if (!getSettings(fd, settings))
        return fail(
            errno == ENOTTY || errno == EINVAL ? SerialError::NotATerminal : SerialError::Other);

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(SerialError::Other);

    // The lock first: root gets through TIOCEXCL, and a handle that then finds the port locked
    // must not touch the exclusive mark, which belongs to the handle that holds the port.
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return fail(errno == EWOULDBLOCK ? SerialError::Busy : SerialError::Other);
    const auto unlockAndFail = [&](SerialError error) {
        ::flock(fd, LOCK_UN);
        return fail(error);
    };
    // A program that takes the port with TIOCEXCL alone, without the lock, holds it as well:
    // only root gets this far then, and must neither share the port nor clear that mark.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        return unlockAndFail(SerialError::Busy);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return unlockAndFail(SerialError::Other);

    close();
    m_fd = fd;
    m_lost = false;
    return SerialError::None;
}

bool SerialPort::configure(std::int32_t baudRate)
{
    if (m_fd < 0)
        return false;
    termios settings {};
    if (!getSettings(m_fd, settings))
        return false;
    // Raw mode goes on whatever becomes of the speed: a line left cooked would hold back every
    // reply until a line end, echo it to the instrument and translate CR and LF both ways.
    serialline::makeRaw(settings);
    const std::int32_t oldSpeed = serialline::outputSpeed(m_fd);
    if (baudRate > 0 && setSpeed(m_fd, settings, baudRate))
        return true;

    // The rate was refused: the line goes raw all the same, at the speed it had.
    if (!setSettings(m_fd, settings))
        return false;
    if (oldSpeed > 0 && serialline::outputSpeed(m_fd) != oldSpeed)
        serialline::setSpeedByNumber(m_fd, oldSpeed);
    return false;
}

qsizetype SerialPort::write(QByteArrayView bytes, std::chrono::milliseconds timeout)
{
    if (m_fd < 0 || bytes.isEmpty())
        return 0;
    const NonBlockingScope nonBlocking(m_fd);
    if (!nonBlocking.ok())
        return 0;

    const Duration deadline = deadlineAfter(timeout);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written
            = ::write(m_fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno != EINTR && errno != EAGAIN) {
            m_lost = m_lost || isLineGone(errno);
            break;
        }
        const int events = waitFor(m_fd, POLLOUT, deadline);
        if (events > 0 && (events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // A hung-up line reports itself writable too; the next write would fail with EIO.
            m_lost = true;
            break;
        }
        if (events <= 0 || (events & POLLOUT) == 0)
            break;
    }
    return done;
}

QByteArray SerialPort::read(qsizetype count, std::chrono::milliseconds timeout)
{
    QByteArray received;
    if (m_fd < 0 || count <= 0)
        return received;
    const NonBlockingScope nonBlocking(m_fd);
    if (!nonBlocking.ok())
        return received;

    const Duration deadline = deadlineAfter(timeout);
    char chunk[kReadChunk];
    while (received.size() < count) {
        const int events = waitFor(m_fd, POLLIN, deadline);
        if (events <= 0)
            break;
        const bool hungUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if ((events & POLLIN) == 0 || (events & POLLNVAL) != 0) {
            m_lost = m_lost || hungUp;
            break;
        }
        const qsizetype wanted = std::min(count - received.size(), kReadChunk);
        const ssize_t got = ::read(m_fd, chunk, static_cast<size_t>(wanted));
        if (got > 0) {
            received.append(chunk, got);
            continue;
        }
        // A hung-up line reports itself readable for ever and gives nothing (or an error), once
        // the bytes that came before the hang-up have been taken.
        const int error = got < 0 ? errno : 0;
        if (hungUp || (got < 0 && isLineGone(error))) {
            m_lost = true;
            break;
        }
        if (got < 0 && error != EINTR && error != EAGAIN)
            break;
    }
    return received;
}

void SerialPort::discardInput()
{
    if (m_fd >= 0 && ::tcflush(m_fd, TCIFLUSH) != 0)
        m_lost = m_lost || isLineGone(errno);
}

void SerialPort::close()
{
    if (m_fd < 0)
        return;
    const int fd = std::exchange(m_fd, -1);
    m_lost = false;
    // The close itself would wait for output the other side holds back, up to the driver's
    // close time-out (30 s by default), and O_NONBLOCK does not shorten that wait.
    serialline::settleOutput(fd, kCloseDrainBound);
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    // On Linux the handle is gone even when close() reports an error: never retry it.
    ::close(fd);
}

} // namespace platform
