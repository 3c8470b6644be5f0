#include "platform/PortInventory.h"
#include "platform/SerialPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

// A sysfs attribute is one short line; a longer read means something else is there.
constexpr qint64 kAttributeLimit = 256;
// sysfs device paths are a few levels deep; the walk up never goes further than this.
constexpr int kDeepestDevice = 16;

struct Candidate {
    QString name; // as the settings name it
    QString kernelName; // the device's name in sysfs
};

std::vector<Candidate> candidates(const QString& deviceFolder)
{
    std::vector<Candidate> found;
    for (int n = 1; n <= kHighestComPort; ++n)
        found.push_back({ QStringLiteral("COM%1").arg(n), QStringLiteral("ttyS%1").arg(n - 1) });

    for (const QString& name : usbAdapterNames(deviceFolder))
        found.push_back({ name, name });
    return found;
}

// The first line of a sysfs attribute, blanks trimmed; nullopt when there is no such file.
std::optional<QString> readAttribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.read(kAttributeLimit)).section(u'\n', 0, 0).trimmed();
}

// The 8250 driver makes ttyS0 to ttyS31 whether or not a UART is behind them; sysfs says which
// have none (type 0). Without sysfs (or with another driver) the open decides.
bool hasNoUart(const QString& sysClassTty, const Candidate& candidate)
{
    if (!candidate.kernelName.startsWith(QLatin1String("ttyS")))
        return false;
    return readAttribute(sysClassTty + u'/' + candidate.kernelName + QStringLiteral("/type"))
        == QStringLiteral("0");
}

// Opens the device just long enough to see whether it is a terminal and whether somebody holds
// it the way SerialPort takes a port (the lock, the exclusive mark). Nothing of the holder's is
// touched: the exclusive mark is only read, and the lock is taken shared, for an instant, only
// when nobody holds it. nullopt: no port there.
std::optional<PortState> probe(const QString& devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        switch (errno) {
        case EACCES:
        case EPERM:
            return PortState::NotPermitted;
        case EBUSY: // the exclusive mark of another handle, for a user who is not root
            return PortState::Busy;
        default: // absent, or a ttyS without hardware (EIO)
            return std::nullopt;
        }
    }

    std::optional<PortState> state;
    termios settings {};
    if (::tcgetattr(fd, &settings) == 0) {
        int exclusive = 0;
        if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            state = PortState::Busy;
        } else {
            int locked = -1;
            do {
                locked = ::flock(fd, LOCK_SH | LOCK_NB);
            } while (locked != 0 && errno == EINTR);
            if (locked == 0) {
                ::flock(fd, LOCK_UN);
                state = PortState::Free;
            } else {
                state = errno == EWOULDBLOCK ? PortState::Busy : PortState::Free;
            }
        }
    }
    ::close(fd);
    return state;
}

// Every by-id link by the device it resolves to; of several links to one device, the first by
// name.
QHash<QString, QString> byIdLinks(const QString& byIdFolder)
{
    QHash<QString, QString> links;
    const QFileInfoList entries
        = QDir(byIdFolder)
              .entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString target = entry.canonicalFilePath();
        if (entry.isSymLink() && !target.isEmpty() && !links.contains(target))
            links.insert(target, entry.filePath());
    }
    return links;
}

// The USB device the terminal belongs to: from its sysfs device folder (a USB interface, or a
// port below one) up to the first folder with the ids, never above the sysfs root.
void readUsbDetails(const QString& sysClassTty, const QString& kernelName, PortInfo& port)
{
    const QString root = QFileInfo(sysClassTty + QStringLiteral("/../..")).canonicalFilePath();
    QString folder = QFileInfo(sysClassTty + u'/' + kernelName + QStringLiteral("/device"))
                         .canonicalFilePath();
    if (root.isEmpty() || folder.isEmpty())
        return;
    for (int depth = 0; depth < kDeepestDevice && folder.startsWith(root + u'/'); ++depth) {
        const auto vendor = readAttribute(folder + QStringLiteral("/idVendor"));
        const auto product = readAttribute(folder + QStringLiteral("/idProduct"));
        if (vendor && product) {
            port.vendorId = *vendor;
            port.productId = *product;
            port.serialNumber
                = readAttribute(folder + QStringLiteral("/serial")).value_or(QString());
            return;
        }
        folder = QFileInfo(folder).path();
    }
}

} // namespace

QStringList usbAdapterNames(const QString& deviceFolder)
{
    static const QRegularExpression usbName(QStringLiteral("^tty(ACM|USB)([0-9]{1,9})$"));
    struct Adapter {
        QString kind;
        int number;
        QString name;
    };
    std::vector<Adapter> adapters;
    const QStringList entries
        = QDir(deviceFolder).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        const QRegularExpressionMatch match = usbName.match(name);
        if (match.hasMatch())
            adapters.push_back({ match.captured(1), match.captured(2).toInt(), name });
    }
    std::sort(adapters.begin(), adapters.end(), [](const Adapter& a, const Adapter& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
    });
    QStringList names;
    for (const Adapter& adapter : adapters)
        names << adapter.name;
    return names;
}

std::vector<PortInfo> listPorts(const PortInventoryRoots& roots)
{
    std::vector<PortInfo> ports;
    const QHash<QString, QString> links = byIdLinks(roots.byIdFolder);
    for (const Candidate& candidate : candidates(roots.deviceFolder)) {
        if (hasNoUart(roots.sysClassTty, candidate))
            continue;
        const QString devicePath = serialDevicePath(candidate.name, roots.deviceFolder);
        const std::optional<PortState> state = probe(devicePath);
        if (!state)
            continue;

        PortInfo port;
        port.name = candidate.name;
        port.devicePath = devicePath;
        port.state = *state;
        const QString device = QFileInfo(devicePath).canonicalFilePath();
        if (!device.isEmpty())
            port.byIdPath = links.value(device);
        readUsbDetails(roots.sysClassTty, candidate.kernelName, port);
        ports.push_back(std::move(port));
    }
    return ports;
}

} // namespace platform
