#include "platform/PrivateFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::variant<QByteArray, PrivateFileRefusal> readPrivateFile(const QString& path, qsizetype maxSize)
{
    const auto refuse = [&](const QString& why) {
        return PrivateFileRefusal { QStringLiteral("%1: %2").arg(path, why) };
    };
    // Non-blocking, so that a FIFO put in its place cannot hold the caller; it is refused below.
    const Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info { };
    if (::fstat(fd.get(), &info) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return refuse(QStringLiteral("not a regular file"));
    if (info.st_uid != ::geteuid())
        return refuse(QStringLiteral("not owned by this user"));
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return refuse(QStringLiteral("readable or writable by others (chmod 600 it)"));
    QByteArray content(maxSize, '\0');
    qsizetype got = 0;
    while (got < maxSize) {
        const ssize_t n
            = ::read(fd.get(), content.data() + got, static_cast<size_t>(maxSize - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            break;
        got += n;
    }
    content.truncate(got);
    const qsizetype end = content.indexOf('\n');
    if (end >= 0)
        content.truncate(end);
    if (content.endsWith('\r'))
        content.chop(1);
    return content;
}

} // namespace platform
