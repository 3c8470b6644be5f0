#include "logger/PortList.h"

#include <QTest>

using platform::PortInfo;
using platform::PortState;

class TstPortList : public QObject {
    Q_OBJECT

private slots:
    void onePortALineOfSixFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("byId");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("line");
        QTest::newRow("COM1") << "COM1"
                              << ""
                              << ""
                              << "" << int(PortState::Free) << "COM1\t/dev/COM1\t-\t-\t-\tfree\n";
        QTest::newRow("ttyUSB0") << "ttyUSB0"
                                 << "/dev/serial/by-id/usb-FTDI-if00-port0"
                                 << "0403"
                                 << "A9XK3L2Q" << int(PortState::Busy)
                                 << "ttyUSB0\t/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI-if00-port0"
                                    "\t0403:6001\tA9XK3L2Q\tbusy\n";
        QTest::newRow("ttyACM0 without serial")
            << "ttyACM0"
            << ""
            << "2341"
            << "" << int(PortState::NotPermitted)
            << "ttyACM0\t/dev/ttyACM0\t-\t2341:6001\t-\tnot permitted\n";
        // The serial is the device's own text: it may not add a field or a line.
        QTest::newRow("serial with tab and line end")
            << "ttyUSB1"
            << ""
            << "0403"
            << "A\tB\nC" << int(PortState::Free)
            << "ttyUSB1\t/dev/ttyUSB1\t-\t0403:6001\tA B C\tfree\n";
    }
    void onePortALineOfSixFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, byId);
        QFETCH(QString, vendor);
        QFETCH(QString, serial);
        QFETCH(int, state);
        QFETCH(QString, line);
        PortInfo port;
        port.name = name;
        port.devicePath = QStringLiteral("/dev/") + name;
        port.byIdPath = byId;
        port.vendorId = vendor;
        port.productId = vendor.isEmpty() ? QString() : QStringLiteral("6001");
        port.serialNumber = serial;
        port.state = PortState(state);
        QCOMPARE(logger::portListing({ port }), line);
        QCOMPARE(logger::portListing({ port, port }), line + line);
    }

    void noPortsNoLines() { QCOMPARE(logger::portListing({}), QString()); }
};

QTEST_GUILESS_MAIN(TstPortList)
#include "tst_portlist.moc"
