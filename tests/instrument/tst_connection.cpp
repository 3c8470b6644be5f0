#include "../support/PtyPeer.h"
#include "instrument/Connection.h"
#include "platform/SerialPort.h"

#include <QTest>

#include <termios.h>

using platform::SerialError;
using platform::SerialPort;

Q_DECLARE_METATYPE(SerialError)

// Opening the instrument's port by its name, against pseudo-terminals.
class TstConnection : public QObject {
    Q_OBJECT

private slots:
    void opensTheNamedPortWithItsLineSettings()
    {
        PtyPeer peer;
        QVERIFY(peer.isValid());
        SerialPort port;
        QCOMPARE(instrument::openConnection(port, peer.devicePath(), 9600), SerialError::None);
        QVERIFY(port.isOpen());
        termios settings {};
        QCOMPARE(::tcgetattr(port.nativeHandle(), &settings), 0);
        QCOMPARE(::cfgetospeed(&settings), speed_t(B9600));
        QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(settings.c_cflag & CSTOPB, tcflag_t(0));
    }

    void aRefusedLineSpeedStillCountsAsOpen()
    {
        PtyPeer peer;
        SerialPort port;
        QCOMPARE(instrument::openConnection(port, peer.devicePath(), 0), SerialError::None);
        QVERIFY(port.isOpen());
    }

    void aPortThatDoesNotOpenLeavesTheHeldOneAsItWas_data()
    {
        QTest::addColumn<QString>("portName");
        QTest::addColumn<SerialError>("error");
        QTest::newRow("absent device") << "/nonexistent/velmora-port" << SerialError::NotFound;
        QTest::newRow("empty name") << "" << SerialError::NotFound;
        QTest::newRow("COM0") << "COM0" << SerialError::NotFound;
        QTest::newRow("no terminal") << "/dev/null" << SerialError::NotATerminal;
        QTest::newRow("the held port itself") << "held" << SerialError::Busy;
    }

    void aPortThatDoesNotOpenLeavesTheHeldOneAsItWas()
    {
        QFETCH(QString, portName);
        QFETCH(SerialError, error);
        PtyPeer held;
        SerialPort port;
        QCOMPARE(instrument::openConnection(port, held.devicePath(), 38400), SerialError::None);
        const int handle = port.nativeHandle();
        if (portName == QLatin1String("held"))
            portName = held.devicePath();

        QCOMPARE(instrument::openConnection(port, portName, 38400), error);
        QCOMPARE(port.nativeHandle(), handle);
        QCOMPARE(port.write(QByteArray("\x51", 1)), qsizetype(1));
        QCOMPARE(held.received(1000), QByteArray("\x51", 1));
    }

    void anotherPortReplacesTheHeldOneAndReleasesIt()
    {
        PtyPeer first;
        PtyPeer second;
        SerialPort port;
        QCOMPARE(instrument::openConnection(port, first.devicePath(), 38400), SerialError::None);
        QCOMPARE(instrument::openConnection(port, second.devicePath(), 38400), SerialError::None);
        QCOMPARE(port.write(QByteArray("\x51", 1)), qsizetype(1));
        QCOMPARE(second.received(1000), QByteArray("\x51", 1));
        SerialPort again;
        QCOMPARE(again.open(first.devicePath()), SerialError::None);
    }
};

QTEST_GUILESS_MAIN(TstConnection)
#include "tst_connection.moc"
