#include "../support/PtyPeer.h"
#include "platform/PortInventory.h"
#include "platform/SerialPort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <vector>

using platform::PortInfo;
using platform::PortState;

namespace {

constexpr int kNobody = 65534;

QStringList names(const std::vector<PortInfo>& ports)
{
    QStringList found;
    for (const PortInfo& port : ports)
        found << port.name;
    return found;
}

} // namespace

// The inventory runs on a temporary machine: a device folder of links to pseudo-terminals, a
// by-id folder of links to those, and a sysfs tree of folders and attribute files.
class TstPortInventory : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::vector<std::unique_ptr<PtyPeer>> m_ports;
    platform::PortInventoryRoots m_roots;

    QString path(const QString& relative) const { return m_root->filePath(relative); }

    // A device node standing for @p deviceName: a link to a new pseudo-terminal.
    QString addPort(const QString& deviceName)
    {
        m_ports.push_back(std::make_unique<PtyPeer>());
        QString link = m_roots.deviceFolder + u'/' + deviceName;
        if (!m_ports.back()->isValid() || !QFile::link(m_ports.back()->devicePath(), link))
            qWarning("cannot make %s", qPrintable(link));
        return link;
    }

    void writeFile(const QString& relative, const QByteArray& contents) const
    {
        QVERIFY(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    }

    // sys/class/tty/NAME/device pointing at @p deviceFolder below sys/devices, relative as the
    // kernel makes it.
    void addSysfsDevice(const QString& kernelName, const QString& deviceFolder) const
    {
        QVERIFY(QDir().mkpath(path(QStringLiteral("sys/devices/") + deviceFolder)));
        QVERIFY(QDir().mkpath(path(QStringLiteral("sys/class/tty/") + kernelName)));
        QVERIFY(QFile::link(QStringLiteral("../../../devices/") + deviceFolder,
            path(QStringLiteral("sys/class/tty/%1/device").arg(kernelName))));
    }

    const PortInfo* find(const std::vector<PortInfo>& ports, const QString& name)
    {
        for (const PortInfo& port : ports) {
            if (port.name == name)
                return &port;
        }
        return nullptr;
    }

private slots:
    void init()
    {
        m_ports.clear();
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_roots.deviceFolder = path(QStringLiteral("dev"));
        m_roots.byIdFolder = path(QStringLiteral("dev/serial/by-id"));
        m_roots.sysClassTty = path(QStringLiteral("sys/class/tty"));
        for (const QString& folder : { m_roots.byIdFolder, m_roots.sysClassTty })
            QVERIFY(QDir().mkpath(folder));
    }

    void emptyFoldersListNothing() { QVERIFY(platform::listPorts(m_roots).empty()); }

    void namesAndOrderAreThoseOfTheWindowsList()
    {
        for (const char* device : { "ttyUSB10", "ttyS6", "ttyUSB9", "ttyS2", "ttyACM0", "ttyS31",
                 "ttyS32", "ttyUSBx", "ttyAMA0" })
            addPort(QString::fromLatin1(device));
        const std::vector<PortInfo> ports = platform::listPorts(m_roots);
        QCOMPARE(names(ports),
            QStringList({ "COM3", "COM7", "COM32", "ttyACM0", "ttyUSB9", "ttyUSB10" }));
        QCOMPARE(ports[0].devicePath, path(QStringLiteral("dev/ttyS2")));
        QCOMPARE(ports[5].devicePath, path(QStringLiteral("dev/ttyUSB10")));
        for (const PortInfo& port : ports) {
            QCOMPARE(port.state, PortState::Free);
            QVERIFY(port.byIdPath.isEmpty() && port.vendorId.isEmpty());
        }
    }

    void whatIsNoPortIsLeftOut()
    {
        QVERIFY(QFile::link(path(QStringLiteral("gone")), m_roots.deviceFolder + "/ttyS0"));
        writeFile(QStringLiteral("dev/ttyS1"), "not a terminal");
        // The driver's ttyS nodes without a UART say so in sysfs; one with a UART is kept.
        addPort(QStringLiteral("ttyS2"));
        writeFile(QStringLiteral("sys/class/tty/ttyS2/type"), "0\n");
        addPort(QStringLiteral("ttyS3"));
        writeFile(QStringLiteral("sys/class/tty/ttyS3/type"), "4\n");
        QCOMPARE(names(platform::listPorts(m_roots)), QStringList({ "COM4" }));
    }

    void usbIdsComeFromTheUsbDeviceAboveTheTerminal()
    {
        // An adapter whose tty is a port below its interface, with a by-id link as udev makes
        // it; a modem-class board whose tty is the interface itself, without a serial number;
        // and a port on the main board, below a folder that holds ids only above the sysfs root.
        addPort(QStringLiteral("ttyUSB0"));
        addPort(QStringLiteral("ttyACM0"));
        addPort(QStringLiteral("ttyS0"));
        const QString adapter = QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-2");
        addSysfsDevice(QStringLiteral("ttyUSB0"), adapter + QStringLiteral("/1-2:1.0/ttyUSB0"));
        writeFile(QStringLiteral("sys/devices/%1/idVendor").arg(adapter), "0403\n");
        writeFile(QStringLiteral("sys/devices/%1/idProduct").arg(adapter), "6001\n");
        writeFile(QStringLiteral("sys/devices/%1/serial").arg(adapter), "A9XK3L2Q\n");
        const QString board = QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-3");
        addSysfsDevice(QStringLiteral("ttyACM0"), board + QStringLiteral("/1-3:1.0"));
        writeFile(QStringLiteral("sys/devices/%1/idVendor").arg(board), "2341\n");
        writeFile(QStringLiteral("sys/devices/%1/idProduct").arg(board), "0043\n");
        addSysfsDevice(QStringLiteral("ttyS0"), QStringLiteral("platform/serial8250/tty/ttyS0"));
        writeFile(QStringLiteral("idVendor"), "dead\n");
        writeFile(QStringLiteral("idProduct"), "beef\n");

        const QString byId
            = m_roots.byIdFolder + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A9XK3L2Q-if00-port0");
        QVERIFY(QFile::link(QStringLiteral("../../ttyUSB0"), byId));
        // A link to something else, and one to nothing, name no port.
        QVERIFY(QFile::link(QStringLiteral("../../null"), m_roots.byIdFolder + "/usb-other"));

        const std::vector<PortInfo> ports = platform::listPorts(m_roots);
        QCOMPARE(names(ports), QStringList({ "COM1", "ttyACM0", "ttyUSB0" }));
        const PortInfo* usb = find(ports, QStringLiteral("ttyUSB0"));
        QCOMPARE(usb->byIdPath, byId);
        QCOMPARE(usb->vendorId, QStringLiteral("0403"));
        QCOMPARE(usb->productId, QStringLiteral("6001"));
        QCOMPARE(usb->serialNumber, QStringLiteral("A9XK3L2Q"));
        const PortInfo* acm = find(ports, QStringLiteral("ttyACM0"));
        QVERIFY(acm->byIdPath.isEmpty());
        QCOMPARE(acm->vendorId, QStringLiteral("2341"));
        QCOMPARE(acm->productId, QStringLiteral("0043"));
        QVERIFY(acm->serialNumber.isEmpty());
        const PortInfo* onBoard = find(ports, QStringLiteral("COM1"));
        QVERIFY(onBoard->vendorId.isEmpty() && onBoard->productId.isEmpty());
    }

    void heldPortsAreBusyAndTheirHoldersUndisturbed()
    {
        // One held as SerialPort holds it; one by the exclusive mark alone, one by the lock
        // alone, as other programs take a port; and one nobody holds.
        const QString program = addPort(QStringLiteral("ttyS0"));
        const QString markOnly = addPort(QStringLiteral("ttyS1"));
        const QString lockOnly = addPort(QStringLiteral("ttyS2"));
        const QString free = addPort(QStringLiteral("ttyS3"));
        platform::SerialPort holder;
        QCOMPARE(holder.open(program), platform::SerialError::None);
        const int marked = ::open(QFile::encodeName(markOnly).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(marked >= 0 && ::ioctl(marked, TIOCEXCL) == 0);
        const int locked = ::open(QFile::encodeName(lockOnly).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(locked >= 0 && ::flock(locked, LOCK_EX | LOCK_NB) == 0);

        const std::vector<PortInfo> ports = platform::listPorts(m_roots);
        QCOMPARE(names(ports), QStringList({ "COM1", "COM2", "COM3", "COM4" }));
        QCOMPARE(ports[0].state, PortState::Busy);
        QCOMPARE(ports[1].state, PortState::Busy);
        QCOMPARE(ports[2].state, PortState::Busy);
        QCOMPARE(ports[3].state, PortState::Free);

        // Each holder keeps its mark and its lock; the free port was let go at once; nothing
        // was written to any line.
        for (int fd : { holder.nativeHandle(), marked }) {
            int exclusive = 0;
            QVERIFY(::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0);
        }
        const int second = ::open(QFile::encodeName(lockOnly).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(second >= 0);
        QVERIFY(::flock(second, LOCK_EX | LOCK_NB) != 0);
        ::close(second);
        platform::SerialPort after;
        QCOMPARE(after.open(free), platform::SerialError::None);
        for (const auto& peer : m_ports)
            QCOMPARE(peer->received(), QByteArray());
        ::close(marked);
        ::close(locked);
    }

    // Seen by a user who may not open a port: as root the probe runs as nobody; a user who is
    // not root takes the permission from a port of its own.
    void aPortThisUserMayNotOpenIsNotPermitted()
    {
        const bool root = ::geteuid() == 0;
        const QString denied = QFileInfo(addPort(QStringLiteral("ttyS0"))).symLinkTarget();
        const QString allowed = QFileInfo(addPort(QStringLiteral("ttyS1"))).symLinkTarget();
        QVERIFY(::chmod(QFile::encodeName(denied).constData(), root ? 0600 : 0) == 0);
        QVERIFY(::chmod(QFile::encodeName(allowed).constData(), 0666) == 0);
        for (const QString& folder :
            { m_root->path(), m_roots.deviceFolder, path(QStringLiteral("dev/serial")),
                m_roots.byIdFolder, path("sys"), path("sys/class"), m_roots.sysClassTty })
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);

        QProcess probe;
        probe.start(QStringLiteral(LIST_PORTS_AS),
            { QString::number(root ? kNobody : -1), m_roots.deviceFolder, m_roots.byIdFolder,
                m_roots.sysClassTty });
        QVERIFY(probe.waitForFinished(10000));
        QVERIFY2(probe.exitCode() == 0, probe.readAllStandardError().constData());
        QCOMPARE(probe.readAllStandardOutput(), QByteArray("COM1 not permitted\nCOM2 free\n"));
    }
};

QTEST_GUILESS_MAIN(TstPortInventory)
#include "tst_portinventory.moc"
