#include "../support/FullPipe.h"
#include "../support/InstrumentSim.h"
#include "../support/SettingsFile.h"
#include "instrument/PollCycle.h"
#include "platform/SerialPort.h"
#include "runlog/LimitsRecord.h"
#include "runlog/RunFileReader.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

using runlog::TickStatus;

namespace {

// A pseudo-terminal for the logger's standard error: what a person at a terminal sees.
struct Terminal {
    Terminal()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~Terminal()
    {
        ::close(slave);
        ::close(master);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    QByteArray drain() const
    {
        QByteArray all;
        pollfd entry { master, POLLIN, 0 };
        char buffer[4096];
        while (::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0) {
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            all.append(buffer, got);
        }
        return all.replace("\r\n", "\n");
    }

    int master = -1;
    int slave = -1;
};

struct Run {
    bool ended = false; ///< it exited by itself within the bound, not by a signal
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QByteArrayList errLines() const
    {
        QByteArrayList lines = err.split('\n');
        if (!lines.isEmpty() && lines.constLast().isEmpty())
            lines.removeLast();
        return lines;
    }
};

} // namespace

// The built velmora-log polling the simulator, as on a server without a display.
class TstVelmoraLogPolling : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Sim> m_sim;
    QString m_settings;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString runs() const { return path(QStringLiteral("runs")); }
    QStringList runFiles(const QString& folder = {}) const
    {
        QStringList files = QDir(folder.isEmpty() ? runs() : folder)
                                .entryList({ QStringLiteral("*.csv") }, QDir::Files);
        files.removeAll(QString::fromLatin1(runlog::kLimitsFileName));
        return files;
    }

    void prepare(QProcess& process, const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir->path());
        process.setProgram(QStringLiteral(VELMORA_LOG));
        process.setArguments(
            QStringList { QStringLiteral("--settings"), m_settings, QStringLiteral("--port"),
                m_sim->link, QStringLiteral("--interval"), QStringLiteral("500") }
            + arguments);
    }

    static Run finished(QProcess& process)
    {
        Run result;
        result.ended
            = process.waitForFinished(kBoundMs) && process.exitStatus() == QProcess::NormalExit;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    Run run(const QStringList& arguments, const QString& standardOutput = {}) const
    {
        QProcess process;
        prepare(process, arguments);
        if (!standardOutput.isEmpty())
            process.setStandardOutputFile(standardOutput);
        process.start();
        return finished(process);
    }

    // The rows of a whole run file (or of what went to standard output); fails on a torn line.
    static QList<runlog::RunRow> wholeRows(const QByteArray& content)
    {
        QString why;
        const auto parsed = runlog::parseRunFile(content, &why);
        if (!parsed || parsed->tornLastLine || !content.endsWith('\n')) {
            qWarning("not a whole run file: %s", qPrintable(why));
            return {};
        }
        return parsed->rows;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_sim = std::make_unique<Sim>(m_dir->path());
        QVERIFY(m_sim->waitForLines("link "));
        m_settings = writeSettingsFile(*m_dir, QByteArray());
    }
    void cleanup()
    {
        m_sim.reset();
        m_dir.reset();
    }

    void countToStandardOutputGivesTheInstrumentsReadings()
    {
        const Run result = run({ "--count", "5", "--output", "-" });
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.out.startsWith(runlog::kRunHeader));
        const QList<runlog::RunRow> rows = wholeRows(result.out);
        QCOMPARE(rows.size(), 5);
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 5));
        const QList<double> sent = m_sim->readings();
        QCOMPARE(sent.size(), 5);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].status, TickStatus::Ok);
            QCOMPARE(rows[i].temperature, std::optional<double>(sent[i]));
            QVERIFY(i == 0 || rows[i].elapsed > rows[i - 1].elapsed);
        }
        // Standard error is no terminal here: no line a reading, only the start and the end.
        QCOMPARE(result.errLines(),
            QByteArrayList({ "velmora-log: polling " + m_sim->link.toLocal8Bit()
                    + " every 500 ms; rows on standard output",
                "velmora-log: 5 readings, 0 ticks without a reading, 0 reconnects; rows on "
                "standard output" }));
        QVERIFY(!QFileInfo::exists(runs()));
    }

    // The run folder is the window's, from the same settings; the window's switch for its own
    // run log does not silence the logger.
    void byDefaultEachRunIsANewFileInTheRunFolder_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("folder");
        QTest::newRow("no section") << QByteArray() << QStringLiteral("runs");
        QTest::newRow("Enabled=0")
            << QByteArray("[RunLog]\r\nEnabled=0\r\n") << QStringLiteral("runs");
        QTest::newRow("Folder=night")
            << QByteArray("[RunLog]\r\nFolder=night/thermo\r\n") << QStringLiteral("night/thermo");
    }
    void byDefaultEachRunIsANewFileInTheRunFolder()
    {
        QFETCH(QByteArray, section);
        QFETCH(QString, folder);
        QVERIFY(writeFile(m_settings, "[Options]\r\n" + section));
        const QString runFolder = path(folder);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const Run result = run({ "--count", "2" });
            QVERIFY(result.ended);
            QCOMPARE(result.exitCode, 0);
            QCOMPARE(result.out, QByteArray());
            const QStringList files = runFiles(runFolder);
            QCOMPARE(files.size(), attempt);
            // The newest run is named after its start, and the summary says where it is.
            const QString newest = runFolder + u'/' + files.constLast();
            QVERIFY2(result.errLines().constLast().endsWith("; rows in " + newest.toLocal8Bit()),
                result.err.constData());
            QCOMPARE(wholeRows(readFile(newest)).size(), 2);
        }
    }

    // --output alone makes no run folder; here the user's own, as for a program in a folder
    // that takes no writes (no write bit: read-only even for root).
    void outputAloneMakesNoRunFolder()
    {
        const QString program = path(QStringLiteral("program/velmora-log"));
        QVERIFY(QDir().mkdir(path(QStringLiteral("program"))));
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_LOG), program));
        QVERIFY(QFile::setPermissions(path(QStringLiteral("program")), QFile::ExeOwner));
        QProcess process;
        prepare(process, { "--count", "1", "--output", "-" });
        process.setProgram(program);
        process.setArguments(process.arguments().mid(2)); // its own settings, not --settings
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        process.setProcessEnvironment(environment);
        process.start();
        const Run result = finished(process);
        QFile::setPermissions(path(QStringLiteral("program")), QFile::ExeOwner | QFile::WriteOwner);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("data"))));
    }

    void durationEndsTheRun()
    {
        const Run result = run({ "--duration", "3s", "--output", "-" });
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);
        // Six ticks fit in three seconds at 500 ms; a loaded machine may manage fewer.
        const qsizetype rows = wholeRows(result.out).size();
        QVERIFY2(rows >= 1 && rows <= 6, QByteArray::number(rows).constData());
    }

    // A stop ends the run as Ctrl+C does: the exchange that went out has its row, and the file
    // ends with a whole row. A signal ignored at the start (nohup, a script's background job)
    // stays ignored.
    void stopSignalEndsTheRunInOrder_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("ignored");
        QTest::newRow("SIGINT") << SIGINT << 0;
        QTest::newRow("SIGTERM") << SIGTERM << 0;
        QTest::newRow("SIGHUP") << SIGHUP << 0;
        QTest::newRow("SIGHUP ignored, SIGTERM") << SIGTERM << SIGHUP;
        QTest::newRow("SIGINT ignored, SIGTERM") << SIGTERM << SIGINT;
    }
    void stopSignalEndsTheRunInOrder()
    {
        QFETCH(int, signal);
        QFETCH(int, ignored);
        const QString file = path(QStringLiteral("night.csv"));
        QProcess process;
        prepare(process, { "--output", file });
        if (ignored != 0)
            process.setChildProcessModifier([ignored] { std::signal(ignored, SIG_IGN); });
        process.start();
        QVERIFY(process.waitForStarted(kBoundMs));
        // Two rows are on the disk before the signal comes; it may come in the third exchange.
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 2));
        const QDeadlineTimer deadline(kBoundMs);
        while (readFile(file).count('\n') < 3 && !deadline.hasExpired())
            QTest::qWait(20);
        QVERIFY(!deadline.hasExpired());
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 3));
        // Two more polls than a stop would have let go out.
        if (ignored != 0) {
            QCOMPARE(::kill(pid_t(process.processId()), ignored), 0);
            QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 6));
        }
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        const Run result = finished(process);
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);
        const QList<runlog::RunRow> rows = wholeRows(readFile(file));
        QVERIFY(rows.size() >= 3);
        // Every poll that went out has its row: none was cut off by the stop.
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", rows.size()));
        QCOMPARE(m_sim->lines("poll 0x51 -> ").size(), rows.size());
        QVERIFY2(result.errLines().constLast().startsWith(
                     "velmora-log: " + QByteArray::number(rows.size()) + " readings"),
            result.err.constData());
        // The port is free again at once.
        platform::SerialPort port;
        QCOMPARE(port.open(m_sim->link), platform::SerialError::None);
    }

    // Polling goes on while nothing takes the output, and a stop ends the program within one
    // exchange and a second: the rows it could not deliver are counted, not waited for.
    void stopIsBoundedWhenTheOutputIsHeld_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::newRow("full pipe nobody reads") << false;
        QTest::newRow("terminal on hold") << true;
    }
    void stopIsBoundedWhenTheOutputIsHeld()
    {
        QFETCH(bool, terminal);
        int held = -1;
        FullPipe pipe;
        Terminal console;
        if (terminal) {
            // Ctrl+S: the terminal takes no more output until Ctrl+Q.
            QVERIFY(console.slave >= 0);
            QCOMPARE(::tcflow(console.slave, TCOOFF), 0);
            held = console.slave;
        } else {
            // Full before the run begins: the header's write blocks at once.
            QVERIFY(pipe.full);
            held = pipe.writer();
        }
        QProcess process;
        prepare(process, { "--output", "-" });
        process.setChildProcessModifier([held, terminal] {
            ::dup2(held, STDOUT_FILENO);
            if (terminal)
                ::dup2(held, STDERR_FILENO);
        });
        process.start();
        QVERIFY(process.waitForStarted(kBoundMs));
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 3));
        QElapsedTimer stopping;
        stopping.start();
        QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
        const Run result = finished(process);
        const qint64 tookMs = stopping.elapsed();
        qInfo("stopped %lld ms after SIGTERM", tookMs);
        QVERIFY(result.ended);
        constexpr qint64 longestExchangeMs = (instrument::PollCycle::kReplyPause
            + instrument::PollCycle::kReplyTimeout + instrument::PollCycle::kAfterReplyPause)
                                                 .count();
        QVERIFY2(tookMs <= longestExchangeMs + 1000, qPrintable(QString::number(tookMs)));
        QCOMPARE(result.exitCode, 1);
        if (!terminal)
            QVERIFY2(result.err.contains(" rows not written; rows on standard output"),
                result.err.constData());
    }

    // The adapter goes while polling runs and comes back at the same name: the ticks without it
    // are port-lost rows, and the readings go on in the same file.
    void lostPortIsOpenedAgainAndPollingGoesOn()
    {
        m_sim.reset();
        m_sim = std::make_unique<Sim>(m_dir->path(),
            QStringList { QStringLiteral("--vanish-after"), QStringLiteral("3"),
                QStringLiteral("--return-after"), QStringLiteral("2") });
        QVERIFY(m_sim->waitForLines("link "));
        const QString file = path(QStringLiteral("night.csv"));
        QProcess process;
        prepare(process, { "--output", file });
        process.start();
        QVERIFY(process.waitForStarted(kBoundMs));
        QVERIFY(m_sim->waitForLines("returned at "));
        // Two readings after the return, each on the disk.
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", 5));
        const QDeadlineTimer deadline(kBoundMs);
        while (readFile(file).count(",ok\n") < 5 && !deadline.hasExpired())
            QTest::qWait(20);
        QVERIFY(!deadline.hasExpired());
        QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
        const Run result = finished(process);
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);

        const QList<runlog::RunRow> rows = wholeRows(readFile(file));
        QList<TickStatus> order;
        qsizetype lost = 0;
        QList<double> readings;
        for (const runlog::RunRow& row : rows) {
            if (order.isEmpty() || order.constLast() != row.status)
                order.append(row.status);
            lost += row.status == TickStatus::PortLost;
            if (row.status == TickStatus::Ok)
                readings.append(*row.temperature);
        }
        QCOMPARE(
            order, QList<TickStatus>({ TickStatus::Ok, TickStatus::PortLost, TickStatus::Ok }));
        // Two seconds away at half a second a tick: the tick that found it gone and more.
        QVERIFY2(lost >= 2, qPrintable(QString::number(lost)));
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", readings.size()));
        QCOMPARE(readings, m_sim->readings());
        const QByteArray name = m_sim->link.toLocal8Bit();
        QCOMPARE(result.errLines().mid(1),
            QByteArrayList({ "velmora-log: lost " + name + "; opening it again at each tick",
                "velmora-log: " + name + " is back; polling goes on",
                "velmora-log: " + QByteArray::number(readings.size()) + " readings, "
                    + QByteArray::number(lost) + " ticks without a reading, 1 reconnect; rows in "
                    + file.toLocal8Bit() }));
    }

    void limitsAreSentAndRecordedFirst_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("--count 0") << 0;
        QTest::newRow("--count 2") << 2;
    }
    void limitsAreSentAndRecordedFirst()
    {
        QFETCH(int, count);
        const Run result
            = run({ "--limits", "36.5,36.7", "--count", QString::number(count), "--output", "-" });
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);
        // 0x52, then 0x6D 0x01 (365 tenths, low byte first), then 0x6F 0x01, 100 ms apart.
        QVERIFY(m_sim->waitForLines("limits 0x52 "));
        const QByteArrayList limits = m_sim->lines("limits 0x52 ");
        QCOMPARE(limits.size(), 1);
        static const QRegularExpression form(
            QStringLiteral("^limits 0x52 36.5 36.7 \\(gaps ([0-9]+) ms, ([0-9]+) ms\\)$"));
        const QRegularExpressionMatch match = form.match(QString::fromLatin1(limits[0]));
        QVERIFY2(match.hasMatch(), limits[0].constData());
        QVERIFY2(match.captured(1).toInt() >= 80, limits[0].constData());
        QVERIFY2(match.captured(2).toInt() >= 80, limits[0].constData());

        const QByteArray record = readFile(runs() + QStringLiteral("/limits.csv"));
        QVERIFY2(record.startsWith(runlog::kLimitsHeader), record.constData());
        const QByteArrayList rows
            = record.mid(qsizetype(sizeof runlog::kLimitsHeader) - 1).split('\n');
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows[0].endsWith(",36.5,36.7,sent,velmora-log"), rows[0].constData());
        QVERIFY(rows[1].isEmpty());

        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", count));
        if (count > 0) {
            QCOMPARE(wholeRows(result.out).size(), count);
            // The limits went out before the first poll.
            const QByteArrayList all = m_sim->lines("");
            QVERIFY(all.indexOf(limits[0]) < all.indexOf(m_sim->lines("poll 0x51 -> ")[0]));
        } else {
            QCOMPARE(result.out, QByteArray());
        }
        QVERIFY(runFiles().isEmpty());
    }

    // Nothing is written but one line, and limits.csv when limits were asked for.
    void portThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<QByteArray>("why");
        QTest::newRow("absent") << QStringLiteral("none") << false << QByteArray("no such device");
        QTest::newRow("absent, limits asked for")
            << QStringLiteral("none") << true << QByteArray("no such device");
        QTest::newRow("busy") << QStringLiteral("busy") << false
                              << QByteArray("another program holds it");
        QTest::newRow("no serial port")
            << QStringLiteral("plain") << false << QByteArray("it is no serial port");
    }
    void portThatCannotBeOpened()
    {
        QFETCH(QString, port);
        QFETCH(bool, limits);
        QFETCH(QByteArray, why);
        platform::SerialPort holder;
        QString name = path(QStringLiteral("none"));
        if (port == QLatin1String("busy")) {
            QCOMPARE(holder.open(m_sim->link), platform::SerialError::None);
            name = m_sim->link;
        } else if (port == QLatin1String("plain")) {
            name = path(QStringLiteral("plain"));
            QVERIFY(writeFile(name, "not a port\n"));
        }
        QStringList arguments { "--port", name, "--count", "3" };
        if (limits)
            arguments += { "--limits", "36.5,36.7" };
        const Run result = run(arguments);
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.errLines().size(), 1);
        QVERIFY2(result.err.startsWith("velmora-log: cannot open the port " + name.toLocal8Bit()),
            result.err.constData());
        QVERIFY2(result.err.contains(why), result.err.constData());
        QVERIFY(runFiles().isEmpty());
        const QByteArray record = readFile(runs() + QStringLiteral("/limits.csv"));
        if (limits)
            QVERIFY2(
                record.endsWith(",36.5,36.7,port-not-opened,velmora-log\n"), record.constData());
        else
            QVERIFY(!QFileInfo::exists(runs()));
    }

    void outputFileIsNeverOverwritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("file with rows") << QByteArray("time,elapsed_s,temperature_C,status\n") << 1;
    }
    void outputFileIsNeverOverwritten()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        const QString file = path(QStringLiteral("night.csv"));
        QVERIFY(writeFile(file, content));
        const Run result = run({ "--count", "1", "--output", file });
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QCOMPARE(wholeRows(readFile(file)).size(), 1);
            return;
        }
        QCOMPARE(readFile(file), content);
        QCOMPARE(result.errLines().size(), 1);
        QVERIFY2(result.err.contains("never overwrites"), result.err.constData());
        // Refused before the port was opened: the instrument was not polled.
        platform::SerialPort port;
        QCOMPARE(port.open(m_sim->link), platform::SerialError::None);
        QVERIFY(m_sim->lines("poll 0x51").isEmpty());
    }

    // A full disk behind standard output is a failed write, said as such.
    void standardOutputThatFailsEndsTheRunWithStatus1()
    {
        QProcess process;
        prepare(process, { "--output", "-", "--count", "20" });
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start();
        const Run result = finished(process);
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("velmora-log: cannot write standard output: "
                     + qt_error_string(ENOSPC).toLocal8Bit()),
            result.err.constData());
    }

    // A reader that goes away (| head -3) ends the run at once and without a word, by SIGPIPE
    // as other tools end; the port is closed first.
    void aReaderThatGoesAwayEndsItQuietly()
    {
        QProcess process;
        QProcess reader;
        prepare(process, { "--output", "-", "--quiet" });
        process.setStandardOutputProcess(&reader);
        reader.start(QStringLiteral("head"), { QStringLiteral("-3") });
        process.start();
        QVERIFY(reader.waitForFinished(kBoundMs));
        QCOMPARE(reader.readAllStandardOutput().count('\n'), 3);
        QVERIFY(process.waitForFinished(kBoundMs));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), SIGPIPE);
        QCOMPARE(process.readAllStandardError(), QByteArray());
    }

    void aLineAReadingOnlyOnATerminal_data()
    {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("terminal") << false;
        QTest::newRow("terminal, --quiet") << true;
    }
    void aLineAReadingOnlyOnATerminal()
    {
        QFETCH(bool, quiet);
        Terminal terminal;
        QVERIFY(terminal.slave >= 0);
        QProcess process;
        prepare(process,
            QStringList { "--count", "3" } + (quiet ? QStringList { "-q" } : QStringList {}));
        const int slave = terminal.slave;
        process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        process.start();
        const Run result = finished(process);
        QVERIFY(result.ended);
        QCOMPARE(result.exitCode, 0);
        QByteArrayList lines = terminal.drain().split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        if (quiet) {
            QCOMPARE(lines, QByteArrayList());
            return;
        }
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.takeFirst().startsWith("velmora-log: polling "));
        QVERIFY(lines.takeLast().startsWith("velmora-log: 3 readings, 0 ticks without"));
        static const QRegularExpression form(
            QStringLiteral("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9] +[0-9]+\\.[0-9]  ok$"));
        for (const QByteArray& line : lines)
            QVERIFY2(form.match(QString::fromLatin1(line)).hasMatch(), line.constData());
    }
};

QTEST_GUILESS_MAIN(TstVelmoraLogPolling)
#include "tst_velmoralogpolling.moc"
