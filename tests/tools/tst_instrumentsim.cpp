#include "../support/InstrumentSim.h"
#include "tools/instrument-sim/RegulatorModel.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using instrumentsim::RegulatorModel;

namespace {

// The simulator as a child process, its link in a folder of its own, and the test's port on it.
struct PortSim : SimProcess {
    explicit PortSim(const QStringList& options, const QString& linkPath = {})
        : link(linkPath.isEmpty() ? dir.filePath(QStringLiteral("port")) : linkPath)
    {
        process.start(QStringLiteral(INSTRUMENT_SIM), options + QStringList { link });
    }
    ~PortSim()
    {
        if (fd >= 0)
            ::close(fd);
        process.kill();
        process.waitForFinished(5000);
    }

    bool openPort()
    {
        fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings {};
        if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
            return false;
        ::cfmakeraw(&settings);
        return ::tcsetattr(fd, TCSANOW, &settings) == 0;
    }
    bool send(const QByteArray& bytes)
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Up to @p count bytes: whatever came within @p ms.
    QByteArray receive(qsizetype count, int ms = 5000)
    {
        QByteArray got;
        const QDeadlineTimer deadline(ms);
        for (pollfd watched { fd, POLLIN, 0 }; got.size() < count;) {
            char byte = 0;
            if (::poll(&watched, 1, int(deadline.remainingTime())) <= 0
                || !(watched.revents & POLLIN) || ::read(fd, &byte, 1) != 1)
                break;
            got += byte;
        }
        return got;
    }
    // Sends a poll and decodes the reply; -1 when none came.
    int poll()
    {
        const QByteArray reply = send("\x51") ? receive(2) : QByteArray();
        return reply.size() == 2 ? quint8(reply[0]) | quint8(reply[1]) << 8 : -1;
    }

    QTemporaryDir dir;
    QString link;
    int fd = -1;
};

} // namespace

class TstInstrumentSim : public QObject {
    Q_OBJECT

private slots:
    // The model, stepped the way the simulator's own control loop looks at its sensor.

    void heaterSwitchesOnlyBeyondTheLimitsAndDrivesTheTemperature()
    {
        RegulatorModel model(25.0, 1);
        QVERIFY(model.heaterOn());
        int switches = 0;
        for (int step = 0; step < 3000; ++step) {
            const bool wasOn = model.heaterOn();
            const double before = model.temperature();
            model.advance(0.1);
            QVERIFY(wasOn ? model.temperature() > before : model.temperature() < before);
            if (model.heaterOn() != wasOn) {
                ++switches;
                // Between the limits the heater keeps its state (hysteresis), and it switches
                // within one look of crossing a limit.
                if (wasOn)
                    QVERIFY(model.temperature() > 31.0 && model.temperature() < 31.05);
                else
                    QVERIFY(model.temperature() < 30.0 && model.temperature() > 29.95);
            }
        }
        QVERIFY(switches >= 20);
    }

    void settlesIntoASawtoothBetweenTheLimitsWithinAMinute()
    {
        RegulatorModel model(25.0, 7);
        double lowest = 100.0, highest = 0.0;
        for (int poll = 1; poll <= 150; ++poll) { // two minutes of polls 0.8 s apart
            model.advance(0.8);
            const double reading = model.measure();
            if (poll * 0.8 < 60.0)
                continue;
            QVERIFY2(reading > 29.8 && reading < 31.2, qPrintable(QString::number(reading)));
            lowest = std::min(lowest, reading);
            highest = std::max(highest, reading);
        }
        QVERIFY(lowest < 30.2 && highest > 30.8);
    }

    void sameSeedSameReadings()
    {
        RegulatorModel first(25.0, 42), second(25.0, 42), other(25.0, 43);
        bool differs = false;
        for (int poll = 0; poll < 50; ++poll) {
            first.advance(0.8);
            second.advance(0.8);
            other.advance(0.8);
            const double reading = first.measure();
            QCOMPARE(second.measure(), reading);
            differs = differs || other.measure() != reading;
        }
        QVERIFY(differs);
    }

    void resultDoesNotDependOnHowTimeIsSliced()
    {
        RegulatorModel whole(25.0, 1), slices(25.0, 1);
        whole.advance(100.0);
        for (int i = 0; i < 333; ++i)
            slices.advance(0.3);
        slices.advance(0.1);
        QVERIFY(std::abs(whole.temperature() - slices.temperature()) < 1e-6);
        QCOMPARE(whole.heaterOn(), slices.heaterOn());

        const double now = whole.temperature();
        whole.advance(-5.0);
        whole.advance(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(whole.temperature(), now);
    }

    void newLimitsTakeEffect()
    {
        RegulatorModel model(30.5, 1);
        QVERIFY(!model.heaterOn()); // inside the band at power-on: the relay stays open
        model.advance(120.0);
        QVERIFY(model.setLimits(40.0, 41.0));
        model.advance(0.1);
        QVERIFY(model.heaterOn());
        model.advance(300.0);
        for (int step = 0; step < 600; ++step, model.advance(0.1))
            QVERIFY(model.temperature() > 39.9 && model.temperature() < 41.1);

        // Limits below ambient: the heater stays off and the bath cools to ambient, no further.
        model.setLimits(15.0, 16.0);
        model.advance(1000.0);
        QVERIFY(!model.heaterOn());
        QVERIFY(std::abs(model.temperature() - 22.0) < 0.01);

        // Limits the wrong way round still give a band, not a heater chattering at one edge.
        QVERIFY(!model.setLimits(36.7, 36.5));
        QCOMPARE(model.lowerLimit(), 36.5);
        QCOMPARE(model.upperLimit(), 36.7);
    }

    void tenthsOnTheWire_data()
    {
        QTest::addColumn<double>("celsius");
        QTest::addColumn<int>("tenths");
        QTest::newRow("36.5") << 36.5 << 365;
        QTest::newRow("25.06 rounds up") << 25.06 << 251;
        QTest::newRow("below zero") << -3.0 << 0;
        QTest::newRow("beyond 16 bits") << 7000.0 << 65535;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
    }
    void tenthsOnTheWire()
    {
        QFETCH(double, celsius);
        QFETCH(int, tenths);
        QCOMPARE(int(instrumentsim::toTenths(celsius)), tenths);
    }

    // The built simulator on a pseudo-terminal.

    void answersPollsLowByteFirstAndIgnoresUnknownBytes()
    {
        PortSim sim({ "--start-temp", "100" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.lines("link ").first().contains(" -> /dev/pts/"));
        // Closing and reopening the port, as the program does at Stop and Start, changes nothing.
        QVERIFY(sim.openPort());
        ::close(sim.fd);
        QVERIFY(!sim.process.waitForFinished(200));
        QVERIFY(sim.openPort());

        const int tenths = sim.poll();
        QVERIFY2(tenths > 990 && tenths < 1010, qPrintable(QString::number(tenths)));
        const QString logged
            = QStringLiteral("poll 0x51 -> %1.%2").arg(tenths / 10).arg(tenths % 10);
        QVERIFY(sim.waitForLines(logged.toLatin1()));

        QVERIFY(sim.send("\x41\x51"));
        QCOMPARE(sim.receive(3, 300).size(), 2);
        QVERIFY(sim.waitForLines("unknown 0x41"));
    }

    void limitsChangeTheRegulatorAndIncompleteOnesAreDropped()
    {
        PortSim sim({ "--speed", "200", "--reply-delay", "0" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.send("\x52\x2C\x01"));
        QVERIFY(sim.waitForLines("limits 0x52 incomplete (2 of 4 bytes)"));
        const int before = sim.poll();
        QVERIFY(before > 250 && before < 320); // the default limits still rule

        QVERIFY(sim.send(QByteArray("\x52\x90\x01\x9A\x01", 5)));
        QVERIFY(sim.waitForLines("limits 0x52 40.0 41.0"));
        // Heating to the new band takes about a minute of model time: well under a second here.
        const QDeadlineTimer deadline(10000);
        for (int polls = 2, tenths = 0; tenths < 395; ++polls) {
            QVERIFY(!deadline.hasExpired());
            tenths = sim.poll();
            QVERIFY(tenths > 0);
            QVERIFY(sim.waitForLines("poll 0x51 -> ", polls)); // keeps the log pipe drained
        }
    }

    // The gaps are the simulator's own measure of the sender's pauses: a sender without pauses
    // gets gaps of next to nothing, and the line keeps its usual start for readers that match it.
    void limitsWithTheirGaps()
    {
        PortSim sim({ "--log-gaps", "--reply-delay", "0" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.send(QByteArray("\x52\x6D\x01\x6F\x01", 5)));
        QVERIFY(sim.waitForLines("limits 0x52 "));
        const QByteArray line = sim.lines("limits 0x52 ").constFirst();
        const QRegularExpression form(
            QStringLiteral("^limits 0x52 36.5 36.7 \\(gaps ([0-9]+) ms, ([0-9]+) ms\\)$"));
        const QRegularExpressionMatch match = form.match(QString::fromLatin1(line));
        QVERIFY2(match.hasMatch(), line.constData());
        QVERIFY(match.captured(1).toInt() < 1000);
        QVERIFY(match.captured(2).toInt() < 1000);
    }

    void repliesOnTheLine_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("logged");
        QTest::addColumn<int>("bytes"); // for two polls
        QTest::newRow("silent") << QStringList { "--silent" } << QByteArray("poll 0x51 -> silent")
                                << 0;
        QTest::newRow("stray every 2")
            << QStringList { "--stray-every", "2" } << QByteArray("stray 0xA5") << 5;
    }
    void repliesOnTheLine()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, logged);
        QFETCH(int, bytes);
        PortSim sim(options);
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.send("\x51\x51"));
        // Each line is logged after its bytes went out, so the port has them all by now.
        QVERIFY(sim.waitForLines("poll 0x51 -> ", 2) && sim.waitForLines(logged));
        const QByteArray got = sim.receive(bytes + 1, 200);
        QCOMPARE(got.size(), bytes);
        if (bytes == 5)
            QCOMPARE(quint8(got[4]), quint8(0xA5));
    }

    void shortEveryCutsThoseRepliesToTheirFirstByte()
    {
        PortSim sim({ "--short-every", "2" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.send("\x51\x51\x51"));
        QVERIFY(sim.waitForLines("poll 0x51 -> ", 3));
        const QByteArrayList polls = sim.lines("poll 0x51 -> ");
        QVERIFY(!polls[0].endsWith(" (short)"));
        QVERIFY2(polls[1].endsWith(" (short)"), polls[1].constData());
        QVERIFY(!polls[2].endsWith(" (short)"));
        // Two whole replies and the low byte of the one between them.
        QCOMPARE(sim.receive(6, 200).size(), 5);
    }

    void silentEveryLeavesThosePollsUnanswered()
    {
        PortSim sim({ "--silent-every", "2" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.send("\x51\x51\x51"));
        QVERIFY(sim.waitForLines("poll 0x51 -> ", 3));
        const QByteArrayList polls = sim.lines("poll 0x51 -> ");
        QVERIFY(!polls[0].endsWith("silent"));
        QVERIFY2(polls[1].endsWith("silent"), polls[1].constData());
        QVERIFY(!polls[2].endsWith("silent"));
        QCOMPARE(sim.receive(6, 200).size(), 4);
    }

    void hangupAfterClosesTheLineAndRemovesTheLink()
    {
        PortSim sim({ "--hangup-after", "2" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.poll() > 0);
        QVERIFY(sim.poll() > 0);
        pollfd line { sim.fd, POLLIN, 0 };
        QVERIFY(::poll(&line, 1, 5000) == 1 && (line.revents & POLLHUP));
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(sim.waitForLines("hangup after 2 polls"));
        QVERIFY(!QFileInfo(sim.link).isSymLink());
    }

    // A line that vanishes stays away until a stop signal ends the simulator, however long the
    // return it waits for would take.
    void vanishAfterRemovesTheLinkUntilStopped_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("never returns") << QStringList { "--vanish-after", "2" };
        QTest::newRow("returns after 600 s")
            << QStringList { "--vanish-after", "2", "--return-after", "600" };
    }
    void vanishAfterRemovesTheLinkUntilStopped()
    {
        QFETCH(QStringList, options);
        PortSim sim(options);
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        QVERIFY(sim.poll() > 0);
        QVERIFY(sim.poll() > 0); // the last reply is still delivered
        pollfd line { sim.fd, POLLIN, 0 };
        QVERIFY(::poll(&line, 1, 5000) == 1 && (line.revents & POLLHUP));
        QVERIFY(sim.waitForLines("vanish after 2 polls"));
        QVERIFY(!QFileInfo(sim.link).isSymLink());
        QCOMPARE(sim.process.state(), QProcess::Running);

        ::kill(pid_t(sim.process.processId()), SIGTERM);
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(sim.waitForLines("stop on signal 15"));
        QVERIFY(sim.lines("return: ").isEmpty());
        QVERIFY(!QFileInfo(sim.link).isSymLink());
    }

    void returnAfterMakesANewLineAtTheSamePath()
    {
        PortSim sim({ "--vanish-after", "1", "--return-after", "0.25", "--hangup-after", "2" });
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(sim.openPort());
        const qint64 pulledMs = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(sim.poll() > 0);
        QVERIFY(sim.waitForLines("vanish after 1 polls"));
        QVERIFY(sim.waitForLines("return: link "));
        const QByteArray returned = sim.lines("return: link ").first();
        const QByteArray expected = "return: link " + QFile::encodeName(sim.link) + " -> /dev/pts/";
        QVERIFY2(returned.startsWith(expected), returned.constData());
        QCOMPARE(QFileInfo(sim.link).symLinkTarget(),
            QString::fromLatin1(returned.mid(returned.indexOf(" -> ") + 4)));
        // The moment of the return, on the wall clock in milliseconds: after the absence began,
        // not after now.
        QVERIFY(sim.waitForLines("returned at "));
        const QByteArray at = sim.lines("returned at ").first().mid(12);
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]{3}$"))
                     .match(QString::fromLatin1(at))
                     .hasMatch(),
            at.constData());
        const qint64 backMs = QByteArray(at).remove(at.size() - 4, 1).toLongLong();
        QVERIFY(backMs >= pulledMs + 250);
        QVERIFY(backMs <= QDateTime::currentMSecsSinceEpoch());

        // The old handle stays hung up; the path opens the new line, which answers, and the
        // polls before the absence still count towards --hangup-after.
        ::close(sim.fd);
        QVERIFY(sim.openPort());
        QVERIFY(sim.poll() > 0);
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(sim.waitForLines("hangup after 2 polls"));
    }

    void stopSignalRemovesTheLink_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void stopSignalRemovesTheLink()
    {
        QFETCH(int, signal);
        PortSim sim({});
        QVERIFY(sim.waitForLines("link "));
        QVERIFY(QFileInfo(sim.link).isSymLink());
        ::kill(pid_t(sim.process.processId()), signal);
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(sim.waitForLines(QByteArray("stop on signal ") + QByteArray::number(signal)));
        QVERIFY(!QFileInfo(sim.link).isSymLink());
    }

    void replacesAStaleLinkButNothingElse()
    {
        QTemporaryDir dir;
        const QString stale = dir.filePath(QStringLiteral("stale"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), stale));
        PortSim replaced({}, stale);
        QVERIFY(replaced.waitForLines("link "));
        QVERIFY(QFileInfo(stale).symLinkTarget().startsWith(QStringLiteral("/dev/pts/")));

        const QString file = dir.filePath(QStringLiteral("file"));
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("keep") == 4);
        plain.close();
        for (const QString& path : { file, dir.path() }) {
            PortSim refused({}, path);
            QVERIFY(refused.process.waitForFinished(5000));
            QCOMPARE(refused.process.exitCode(), 1);
            QVERIFY(refused.process.readAllStandardError().contains("not a symbolic link"));
        }
        QVERIFY(QFile(file).open(QIODevice::ReadOnly));
        QCOMPARE(QFileInfo(file).size(), 4);
    }

    void badArgumentsExitWithStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no link") << QStringList {};
        QTest::newRow("unknown option") << QStringList { "--fast", "a" };
        QTest::newRow("missing value") << QStringList { "a", "--speed" };
        QTest::newRow("speed 0") << QStringList { "--speed", "0", "a" };
        QTest::newRow("seed -1") << QStringList { "--seed=-1", "a" };
        QTest::newRow("stray-every 0") << QStringList { "--stray-every", "0", "a" };
        QTest::newRow("short-every x") << QStringList { "--short-every", "x", "a" };
        QTest::newRow("silent-every 0") << QStringList { "--silent-every", "0", "a" };
        QTest::newRow("reply-delay=5x") << QStringList { "--reply-delay=5x", "a" };
        QTest::newRow("vanish-after 0") << QStringList { "--vanish-after", "0", "a" };
        QTest::newRow("return-after alone") << QStringList { "--return-after", "1", "a" };
        QTest::newRow("return-after=-1")
            << QStringList { "--vanish-after", "1", "--return-after=-1", "a" };
        QTest::newRow("return-after 2,5")
            << QStringList { "--vanish-after", "1", "--return-after", "2,5", "a" };
    }
    void badArgumentsExitWithStatus2()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(INSTRUMENT_SIM), arguments);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("instrument-sim: "));
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstInstrumentSim)
#include "tst_instrumentsim.moc"
