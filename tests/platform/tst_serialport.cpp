#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "platform/SerialLine.h"
#include "platform/SerialPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::SerialError;
using platform::SerialPort;

namespace {

// Bytes waiting in the port's input. The look with poll() first has the pseudo-terminal pass on
// what its far end sent.
int pending(const SerialPort& port)
{
    pollfd entry { port.nativeHandle(), POLLIN, 0 };
    ::poll(&entry, 1, 0);
    int count = -1;
    return ::ioctl(port.nativeHandle(), FIONREAD, &count) == 0 ? count : -1;
}

// Stand-ins for the output queue of a serial driver, which a pseudo-terminal does not have: one
// whose far end holds the output back for ever, one whose output leaves after 50 ms.
int heldForEver(int)
{
    return 64;
}

int drainsAfter50ms(int)
{
    return platform::clock().now() < 50ms ? 64 : 0;
}

} // namespace

class TstSerialPort : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // A new terminal's settings, so that every test shows what the port itself sets.
        m_peer = std::make_unique<PtyPeer>(PtyPeer::Line::AsCreated);
        QVERIFY(m_peer->isValid());
        m_path = m_dir->filePath(QStringLiteral("ttyS2"));
        QVERIFY(QFile::link(m_peer->devicePath(), m_path));
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
    }

    void cleanup()
    {
        m_useClock.reset();
        m_peer.reset();
    }

    void devicePath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        const auto row = [](const char* name, const char* path) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(path);
        };
        row("COM1", "/d/ttyS0");
        row("com3", "/d/ttyS2");
        row("Com12", "/d/ttyS11");
        row("COM32", "/d/ttyS31");
        row("COM0", "");
        row("COM", "/d/COM");
        row("COMx", "/d/COMx");
        row("COM01", "/d/COM01");
        row("COM99999999999999999999", "");
        row("/dev/x", "/dev/x");
        row("ttyUSB0", "/d/ttyUSB0");
        row("a/b", "");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("COM1<NUL>x") << QStringLiteral("COM1\0x") << QString();
    }
    void devicePath()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(platform::serialDevicePath(name, QStringLiteral("/d")), path);
    }
    void devicePathDefaultsToDev()
    {
        QCOMPARE(platform::serialDevicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyS1"));
    }

    void openFails_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<SerialError>("error");
        QTest::newRow("missing") << "ttyS7" << SerialError::NotFound;
        QTest::newRow("regular file") << "file" << SerialError::NotATerminal;
        QTest::newRow("fifo") << "fifo" << SerialError::NotATerminal;
        QTest::newRow("empty path") << "" << SerialError::NotFound;
    }
    void openFails()
    {
        QFETCH(QString, entry);
        QFETCH(SerialError, error);
        QFile file(m_dir->filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray fifo = QFile::encodeName(m_dir->filePath(QStringLiteral("fifo")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);

        SerialPort port;
        QCOMPARE(port.open(entry.isEmpty() ? entry : m_dir->filePath(entry)), error);
        QVERIFY(!port.isOpen());
        QCOMPARE(port.nativeHandle(), -1);
    }

    void opensByComNameAndWrites()
    {
        SerialPort port;
        QCOMPARE(port.open(platform::serialDevicePath(QStringLiteral("COM3"), m_dir->path())),
            SerialError::None);
        // The handle blocks like any port handle; only the open itself must not.
        QCOMPARE(::fcntl(port.nativeHandle(), F_GETFL) & O_NONBLOCK, 0);
        QVERIFY(port.configure(38400));
        const QByteArray bytes("\x01\x00\xFFhello\n", 9);
        QCOMPARE(port.write(bytes), bytes.size());
        QCOMPARE(m_peer->received(5000), bytes);
    }

    void busyWhileHeld()
    {
        SerialPort first;
        QCOMPARE(first.open(m_path), SerialError::None);
        SerialPort second;
        QCOMPARE(second.open(m_path), SerialError::Busy);
        QCOMPARE(second.open(m_peer->devicePath()), SerialError::Busy);
        QVERIFY(!second.isOpen());
        // The refused handle left the holder's exclusive mark alone.
        int exclusive = 0;
        QCOMPARE(::ioctl(first.nativeHandle(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);

        first.close();
        QCOMPARE(second.open(m_path), SerialError::None);
    }

    void busyWhileAnotherProgramHoldsIt()
    {
        // Such a program marks the port exclusive but takes no lock.
        const int other = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        QCOMPARE(::ioctl(other, TIOCEXCL), 0);
        SerialPort port;
        QCOMPARE(port.open(m_path), SerialError::Busy);
        int exclusive = 0;
        QCOMPARE(::ioctl(other, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);
        QCOMPARE(port.open(m_path), SerialError::Busy);

        QCOMPARE(::ioctl(other, TIOCNXCL), 0);
        ::close(other);
        QCOMPARE(port.open(m_path), SerialError::None);
    }

    void failedOpenKeepsTheOpenPort()
    {
        SerialPort port;
        QCOMPARE(port.open(m_path), SerialError::None);
        const int handle = port.nativeHandle();
        QCOMPARE(port.open(m_dir->filePath(QStringLiteral("ttyS9"))), SerialError::NotFound);
        QCOMPARE(port.open(m_path), SerialError::Busy);
        QCOMPARE(port.nativeHandle(), handle);
        QVERIFY(port.configure(9600));
        QCOMPARE(port.write("still here"), 10);
        QCOMPARE(m_peer->received(5000), QByteArray("still here"));

        // A successful open moves on and lets the old port go.
        PtyPeer other;
        QCOMPARE(port.open(other.devicePath()), SerialError::None);
        SerialPort again;
        QCOMPARE(again.open(m_path), SerialError::None);
    }

    void closeTwiceAndMoveRelease()
    {
        SerialPort port;
        QCOMPARE(port.open(m_path), SerialError::None);
        SerialPort moved(std::move(port));
        // What a moved-from port says is what this test is about.
        QVERIFY(!port.isOpen()); // NOLINT(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
        QVERIFY(moved.isOpen());
        port.close();
        SerialPort other;
        QCOMPARE(other.open(m_path), SerialError::Busy);

        moved = SerialPort();
        moved.close();
        QVERIFY(!moved.isOpen());
        QCOMPARE(other.open(m_path), SerialError::None);
    }

    void rawChange_data()
    {
        QTest::addColumn<tcflag_t>("cflag");
        QTest::newRow("7 bits, odd parity, 2 stop bits, RTS/CTS")
            << tcflag_t(CS7 | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL | B9600);
        QTest::newRow("5 bits, no parity") << tcflag_t(CS5 | B1200);
    }
    void rawChange()
    {
        QFETCH(tcflag_t, cflag);
        termios settings {};
        settings.c_cflag = cflag;
        settings.c_iflag = ~tcflag_t(0);
        settings.c_oflag = ~tcflag_t(0);
        settings.c_lflag = ~tcflag_t(0);
        settings.c_cc[VMIN] = 5;
        settings.c_cc[VTIME] = 10;
        QVERIFY(!platform::serialline::isRaw(settings));

        platform::serialline::makeRaw(settings);
        const tcflag_t kept = PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL | CBAUD;
        QCOMPARE(settings.c_cflag & kept, cflag & kept);
        QCOMPARE(settings.c_cflag & ~kept, tcflag_t(CS8 | CREAD | CLOCAL));
        const tcflag_t cooked
            = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY;
        QCOMPARE(settings.c_iflag, ~cooked);
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(settings.c_lflag & (ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(settings.c_cc[VMIN], cc_t(0));
        QCOMPARE(settings.c_cc[VTIME], cc_t(0));
        QVERIFY(platform::serialline::isRaw(settings));
    }

    void configureSetsTheLine_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("38400") << 38400;
        QTest::newRow("250000") << 250000;
        QTest::newRow("4000000") << 4000000;
    }
    void configureSetsTheLine()
    {
        QFETCH(int, rate);
        SerialPort port;
        QCOMPARE(port.open(m_path), SerialError::None);
        QVERIFY(port.configure(rate));
        termios settings {};
        QCOMPARE(::tcgetattr(port.nativeHandle(), &settings), 0);
        QCOMPARE(settings.c_cflag & (CSIZE | CSTOPB), tcflag_t(CS8));
        QCOMPARE(settings.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(settings.c_cc[VMIN], cc_t(0));
        QCOMPARE(platform::serialline::outputSpeed(port.nativeHandle()), rate);
        if (rate == 38400)
            QCOMPARE(::cfgetospeed(&settings), speed_t(B38400));

        // Raw both ways: no echo, no CR/LF translation, no output processing.
        QVERIFY(m_peer->send("a\r\n"));
        QCOMPARE(port.read(3, 5s), QByteArray("a\r\n"));
        QCOMPARE(port.write("b\n"), 2);
        QCOMPARE(m_peer->received(5000), QByteArray("b\n"));
    }

    void configureRefusesNonPositiveRates_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("rate");
        QTest::newRow("9600, then 0") << 9600 << 0;
        QTest::newRow("9600, then -9600") << 9600 << -9600;
        QTest::newRow("250000, then 0") << 250000 << 0;
    }
    void configureRefusesNonPositiveRates()
    {
        QFETCH(int, before);
        QFETCH(int, rate);
        SerialPort port;
        QVERIFY(!port.configure(before));
        QCOMPARE(port.open(m_path), SerialError::None);
        QVERIFY(port.configure(before));
        QVERIFY(!port.configure(rate));
        QVERIFY(port.isOpen());
        QCOMPARE(platform::serialline::outputSpeed(port.nativeHandle()), before);
        QCOMPARE(port.write("x"), 1);
        QCOMPARE(m_peer->received(5000), QByteArray("x"));
    }

    void refusedRateStillMakesTheLineRaw_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("0") << 0;
        QTest::newRow("-5") << -5;
        QTest::newRow("-2147483648") << std::numeric_limits<int>::min();
    }
    void refusedRateStillMakesTheLineRaw()
    {
        QFETCH(int, rate);
        SerialPort port;
        QCOMPARE(port.open(m_path), SerialError::None);
        QVERIFY(!port.configure(rate));
        QVERIFY(port.isOpen());
        termios settings {};
        QCOMPARE(::tcgetattr(port.nativeHandle(), &settings), 0);
        QVERIFY(platform::serialline::isRaw(settings));
        QCOMPARE(settings.c_cflag & (CSIZE | CSTOPB), tcflag_t(CS8));
        QCOMPARE(::cfgetospeed(&settings), speed_t(B38400)); // a new terminal's speed

        // A reply without line end comes as sent, CR included, and nothing is echoed.
        QVERIFY(m_peer->send("\x0D\x6D\x01"));
        QCOMPARE(port.read(3, 1s), QByteArray("\x0D\x6D\x01"));
        QCOMPARE(m_peer->received(), QByteArray());
        QCOMPARE(port.write("\x0A"), 1);
        QCOMPARE(m_peer->received(5000), QByteArray("\x0A"));
    }

    void readBounds_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("full") << QByteArray("\x12\x34") << 2 << 20000 << QByteArray("\x12\x34");
        QTest::newRow("more than asked") << QByteArray("abcde") << 3 << 20000 << QByteArray("abc");
        QTest::newRow("short") << QByteArray("ab") << 4 << 50 << QByteArray("ab");
        QTest::newRow("none") << QByteArray() << 2 << 50 << QByteArray();
    }
    void readBounds()
    {
        QFETCH(QByteArray, sent);
        QFETCH(int, count);
        QFETCH(int, timeoutMs);
        QFETCH(QByteArray, expected);
        SerialPort port;
        QVERIFY(openRaw(port));
        QVERIFY(m_peer->send(sent));
        QTRY_COMPARE(pending(port), int(sent.size()));

        QCOMPARE(port.read(count, std::chrono::milliseconds(timeoutMs)), expected);
        // What has come is taken without waiting; what has not is waited for to the bound.
        QCOMPARE(m_clock->now().count(), expected.size() < count ? timeoutMs : 0);
        QCOMPARE(pending(port), int(sent.size() - expected.size()));
    }

    void readKeepsPartialArrivals()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        QVERIFY(m_peer->send("L"));
        QTRY_COMPARE(pending(port), 1);
        // The second byte comes while the read, having taken the first, waits for more.
        m_clock->onWait = [&](platform::Clock::Duration) {
            QCOMPARE(pending(port), 0);
            m_peer->send("H");
            m_clock->onWait = nullptr;
        };
        QCOMPARE(port.read(2, 20s), QByteArray("LH"));
        QCOMPARE(m_clock->waits.size(), std::size_t(1));
    }

    void discardInputDropsWaitingBytes()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        QVERIFY(m_peer->send("stale"));
        QTRY_COMPARE(pending(port), 5);
        port.discardInput();
        QCOMPARE(pending(port), 0);
        QVERIFY(m_peer->send("ok"));
        QCOMPARE(port.read(5, 100ms), QByteArray("ok"));
        QCOMPARE(m_clock->now(), 100ms);
    }

    void writeGivesUpWhenThePeerDoesNotRead()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        const QByteArray lots(qsizetype(4) * 1024 * 1024, 'w');
        const qsizetype written = port.write(lots, 100ms);
        QVERIFY(written > 0);
        QVERIFY(written < lots.size());
        QCOMPARE(m_clock->now(), 100ms);
        QCOMPARE(::fcntl(port.nativeHandle(), F_GETFL) & O_NONBLOCK, 0);
    }

    void hungUpPeerEndsReadAndWriteEarly()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        m_peer->hangUp();
        QCOMPARE(port.read(4, 10s), QByteArray());
        QCOMPARE(port.write("x", 10s), 0);
        QVERIFY(m_clock->waits.empty());
    }

    // Only a line that is gone counts as lost: a silent one, or one whose far end does not read,
    // is merely quiet, and polling it must go on as before.
    void lostOnlyWhenTheLineIsGone_data()
    {
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("lost");
        QTest::newRow("read after a hang-up") << true << "read" << true;
        QTest::newRow("write after a hang-up") << true << "write" << true;
        QTest::newRow("discard after a hang-up") << true << "discard" << true;
        QTest::newRow("read of a silent line") << false << "read" << false;
        QTest::newRow("write that fills the line") << false << "flood" << false;
        QTest::newRow("discard on a quiet line") << false << "discard" << false;
    }
    void lostOnlyWhenTheLineIsGone()
    {
        QFETCH(bool, hangUp);
        QFETCH(QString, operation);
        QFETCH(bool, lost);
        SerialPort port;
        QVERIFY(openRaw(port));
        QVERIFY(!port.isLost());
        if (hangUp)
            m_peer->hangUp();
        if (operation == u"read")
            port.read(2, 100ms);
        else if (operation == u"write")
            port.write("\x51", 100ms);
        else if (operation == u"flood")
            QVERIFY(port.write(QByteArray(qsizetype(4) * 1024 * 1024, 'w'), 100ms) > 0);
        else
            port.discardInput();
        QCOMPARE(port.isLost(), lost);
        QVERIFY(port.isOpen());
    }

    void lostStaysWithTheHandleUntilClosedOrReplaced()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        m_peer->hangUp();
        QCOMPARE(port.write("x", 0ms), 0);
        QVERIFY(port.isLost());
        // A line that came back does not heal the old handle: it stays lost.
        SerialPort moved(std::move(port));
        QVERIFY(moved.isLost());
        QCOMPARE(moved.read(1, 0ms), QByteArray());
        QVERIFY(moved.isLost());

        PtyPeer next(PtyPeer::Line::Raw);
        QVERIFY(next.isValid());
        QCOMPARE(moved.open(next.devicePath()), SerialError::None);
        QVERIFY(!moved.isLost());
        QCOMPARE(moved.write("\x51"), 1);
        QCOMPARE(next.received(5000), QByteArray("\x51"));

        next.hangUp();
        moved.discardInput();
        QVERIFY(moved.isLost());
        moved.close();
        QVERIFY(!moved.isLost());
    }

    void closeRightAfterAWriteLosesNothing()
    {
        // The end of an upload: its last bytes are written and the port closed at once.
        for (int round = 0; round < 100; ++round) {
            SerialPort port;
            QVERIFY(openRaw(port));
            QCOMPARE(port.write("\x6F\x01"), 2);
            port.close();
            QCOMPARE(m_peer->received(5000), QByteArray("\x6F\x01"));
        }
        QCOMPARE(m_clock->now(), 0ms);
    }

    void closeThrowsAwayOutputTheOtherSideHoldsBack()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        // The far end reads nothing: the output fills the line up to what it takes.
        const qsizetype written = port.write(QByteArray(qsizetype(1) << 20, 'w'), 0ms);
        QVERIFY(written > 0);
        QVERIFY(platform::serialline::settleOutput(port.nativeHandle(), 300ms, heldForEver));
        QCOMPARE(m_clock->now(), 300ms);
        QVERIFY(m_clock->pauses.empty());
        port.close();
        const qsizetype arrived = m_peer->received().size();
        QVERIFY2(arrived < written,
            QByteArray::number(arrived) + " of " + QByteArray::number(written) + " bytes");
    }

    void closeKeepsOutputThatLeavesInTime()
    {
        SerialPort port;
        QVERIFY(openRaw(port));
        const qsizetype written = port.write(QByteArray(qsizetype(1) << 20, 'w'), 0ms);
        QVERIFY(written > 0);
        QVERIFY(!platform::serialline::settleOutput(port.nativeHandle(), 300ms, drainsAfter50ms));
        QCOMPARE(m_clock->now(), 50ms);
        port.close();
        QCOMPARE(m_peer->received().size(), written);
    }

private:
    bool openRaw(SerialPort& port) const
    {
        return port.open(m_path) == SerialError::None && port.configure(38400);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPeer> m_peer;
    QString m_path;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
};

QTEST_GUILESS_MAIN(TstSerialPort)
#include "tst_serialport.moc"
