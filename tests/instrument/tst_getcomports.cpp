#include "../support/PtyPeer.h"
#include "instrument/GetComPortsFuncs.h"
#include "platform/PortInventory.h"
#include "platform/SerialPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

// The scan runs against a folder of its own holding links to pseudo-terminals, never against
// this machine's /dev.
class TstGetComPorts : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::vector<std::unique_ptr<PtyPeer>> m_ports;

    QString addPort(const QString& deviceName)
    {
        m_ports.push_back(std::make_unique<PtyPeer>());
        QString path = m_folder->filePath(deviceName);
        if (!QFile::link(m_ports.back()->devicePath(), path))
            qWarning("cannot link %s", qPrintable(path));
        return path;
    }

private slots:
    void init()
    {
        m_ports.clear();
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    void noPortsListsNothing()
    {
        QCOMPARE(instrument::GetComPorts(m_folder->path()), QStringList());
    }

    void listsThePortsPresentInAscendingOrder()
    {
        addPort(QStringLiteral("ttyS6")); // COM7
        addPort(QStringLiteral("ttyS2")); // COM3
        QCOMPARE(instrument::GetComPorts(m_folder->path()),
            QStringList({ QStringLiteral("COM3"), QStringLiteral("COM7") }));
    }

    void portsAboveThirtyTwoAreNeverListed()
    {
        addPort(QStringLiteral("ttyS31")); // COM32
        addPort(QStringLiteral("ttyS32")); // COM33
        QCOMPARE(
            instrument::GetComPorts(m_folder->path()), QStringList({ QStringLiteral("COM32") }));
    }

    void aBusyPortIsLeftOutAndNothingStaysOpen()
    {
        const QString held = addPort(QStringLiteral("ttyS0"));
        addPort(QStringLiteral("ttyS1"));
        platform::SerialPort other;
        QCOMPARE(other.open(held), platform::SerialError::None);
        QCOMPARE(
            instrument::GetComPorts(m_folder->path()), QStringList({ QStringLiteral("COM2") }));

        // The scan closed what it opened: both ports open again at once.
        platform::SerialPort second;
        QCOMPARE(
            second.open(m_folder->filePath(QStringLiteral("ttyS1"))), platform::SerialError::None);
        other.close();
        QCOMPARE(
            instrument::GetComPorts(m_folder->path()), QStringList({ QStringLiteral("COM1") }));
    }

    void somethingThatIsNoPortIsLeftOut()
    {
        QFile plain(m_folder->filePath(QStringLiteral("ttyS4")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(instrument::GetComPorts(m_folder->path()), QStringList());
    }

    void usbAdaptersComeAfterTheNumberedPorts()
    {
        addPort(QStringLiteral("ttyUSB10"));
        addPort(QStringLiteral("ttyUSB9"));
        addPort(QStringLiteral("ttyACM0"));
        addPort(QStringLiteral("ttyS0"));
        addPort(QStringLiteral("ttyUSBx")); // not an adapter's name
        QCOMPARE(instrument::GetComPorts(m_folder->path()),
            QStringList({ QStringLiteral("COM1"), QStringLiteral("ttyACM0"),
                QStringLiteral("ttyUSB9"), QStringLiteral("ttyUSB10") }));
    }

    // velmora-log lists the ports from the platform's inventory: its free ports are the ones
    // this list offers, under the same names and in the same order.
    void theInventoryOffersTheSamePorts()
    {
        const QString held = addPort(QStringLiteral("ttyS0"));
        for (const char* device : { "ttyUSB3", "ttyS9", "ttyACM1", "ttyS31", "ttyS32", "ttyUSB" })
            addPort(QString::fromLatin1(device));
        platform::SerialPort other;
        QCOMPARE(other.open(held), platform::SerialError::None);

        platform::PortInventoryRoots roots;
        roots.deviceFolder = m_folder->path();
        roots.byIdFolder = m_folder->filePath(QStringLiteral("by-id"));
        roots.sysClassTty = m_folder->filePath(QStringLiteral("sys"));
        QStringList free;
        QStringList all;
        for (const platform::PortInfo& port : platform::listPorts(roots)) {
            all << port.name;
            if (port.state == platform::PortState::Free)
                free << port.name;
        }
        QCOMPARE(free, instrument::GetComPorts(m_folder->path()));
        QCOMPARE(all, QStringList({ "COM1", "COM10", "COM32", "ttyACM1", "ttyUSB3" }));
    }

    void theScanWritesNothing()
    {
        addPort(QStringLiteral("ttyS0"));
        instrument::GetComPorts(m_folder->path());
        QCOMPARE(m_ports.front()->received(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TstGetComPorts)
#include "tst_getcomports.moc"
