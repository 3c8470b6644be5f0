#include "../support/SettingsFile.h"
#include "logger/Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using logger::Options;
using logger::UsageError;

class TstOptions : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    // The default settings file of these tests, beside nothing: absent unless a test writes it.
    QString defaultFile() const { return m_folder.filePath(QStringLiteral("VelmoraThermo.ini")); }

    std::variant<Options, UsageError> parse(const QStringList& arguments) const
    {
        return logger::parseOptions(QStringList { QStringLiteral("velmora-log") } + arguments,
            app::SettingsLocation::fixed(defaultFile()));
    }

    // The options of an accepted command line; a refusal fails the test with its message.
    Options accepted(const QStringList& arguments) const
    {
        const auto result = parse(arguments);
        if (const auto* error = std::get_if<UsageError>(&result)) {
            qWarning("refused: %s", qPrintable(error->message));
            return {};
        }
        return std::get<Options>(result);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { QFile::remove(defaultFile()); }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QStringList& arguments, const char* message) {
            QTest::newRow(name) << arguments << QString::fromUtf8(message);
        };
        row("--frobnicate", { "--frobnicate" }, "unknown option '--frobnicate'");
        row("-x", { "-x" }, "unknown option '-x'");
        row("-port", { "-port", "COM3" }, "unknown option '-p'");
        row("--port without value", { "--port" }, "missing value after '--port'");
        row("stray argument", { "COM3" }, "unexpected argument 'COM3'");
        row("option after --", { "--", "--port", "COM3" }, "unexpected argument '--port'");
        row("--port=", { "--port=" }, "--port: '' names no serial port");
        row("--port a/b", { "--port", "a/b" }, "--port: 'a/b' names no serial port");
        row("--baud fast", { "--baud", "fast" }, "--baud: 'fast' is not a valid integer value");
        row("--baud 9600.0", { "--baud=9600.0" }, "--baud: '9600.0' is not a valid integer value");
        row("--baud 0", { "--baud", "0" }, "--baud: a line speed is above 0, got '0'");
        row("--baud 99999999999", { "--baud", "99999999999" },
            "--baud: '99999999999' is not a valid integer value");
        row("--interval 499", { "--interval", "499" },
            "--interval: 499 ms is shorter than the 500 ms one poll takes");
        row("--interval=-800", { "--interval=-800" },
            "--interval: -800 ms is shorter than the 500 ms one poll takes");
        row("--interval 1e3", { "--interval", "1e3" },
            "--interval: '1e3' is not a valid integer value");
        row("--count ten", { "--count", "ten" }, "--count: 'ten' is not a valid integer value");
        row("--count -1", { "--count", "-1" }, "--count: expected 0 or more readings, got '-1'");
        row("--duration 90", { "--duration", "90" },
            "--duration: '90' has no unit: write 90s, 90m or 90h");
        row("--duration 5x", { "--duration", "5x" },
            "--duration: '5x' is not a duration such as 90s, 45m or 12h");
        row("--duration -1s", { "--duration", "-1s" },
            "--duration: '-1s' is not a duration such as 90s, 45m or 12h");
        row("--duration 1.5h", { "--duration", "1.5h" },
            "--duration: '1.5h' is not a duration such as 90s, 45m or 12h");
        row("--duration 90S", { "--duration", "90S" },
            "--duration: '90S' is not a duration such as 90s, 45m or 12h");
        row("--duration 0s", { "--duration", "0s" },
            "--duration: '0s' is no time; give 1s or more");
        row("--duration 99999999999h", { "--duration", "99999999999h" },
            "--duration: '99999999999h' is too long");
        row("--limits 36.55,37", { "--limits", "36.55,37" },
            "--limits: '36.55' has more than one decimal");
        row("--limits 36.5,36.50", { "--limits", "36.5,36.50" },
            "--limits: '36.50' has more than one decimal");
        row("--limits 6553.6,1", { "--limits", "6553.6,1" },
            "--limits: '6553.6' is outside 0.0 to 6553.5");
        row("--limits 1,6554", { "--limits", "1,6554" },
            "--limits: '6554' is outside 0.0 to 6553.5");
        row("--limits 99999999999,1", { "--limits", "99999999999,1" },
            "--limits: '99999999999' is outside 0.0 to 6553.5");
        row("--limits -0.1,1", { "--limits", "-0.1,1" },
            "--limits: '-0.1' is outside 0.0 to 6553.5");
        row("--limits a,b", { "--limits", "a,b" },
            "--limits: 'a' is not a temperature such as 36.5");
        row("--limits 36.,37", { "--limits", "36.,37" },
            "--limits: '36.' is not a temperature such as 36.5");
        row("--limits $24,37", { "--limits", "$24,37" },
            "--limits: '$24' is not a temperature such as 36.5");
        row("--limits 36.5", { "--limits", "36.5" },
            "--limits: expected LOWER,UPPER such as 36.5,36.7, got '36.5'");
        row("--limits 36.5,36.7,37", { "--limits", "36.5,36.7,37" },
            "--limits: expected LOWER,UPPER such as 36.5,36.7, got '36.5,36.7,37'");
        row("--output=", { "--output=" }, "--output: give a file name, or - for standard output");
        row("--settings=", { "--settings=" }, "--settings: give a file name");
        row("--alarm-high abc", { "--alarm-high", "abc" },
            "--alarm-high: 'abc' is not a temperature such as 30.5");
        row("--alarm-low 36,6", { "--alarm-low", "36,6" },
            "--alarm-low: '36,6' is not a temperature such as 30.5");
        row("--alarm-high 1801", { "--alarm-high", "1801" },
            "--alarm-high: '1801' is outside -200 to 1800");
        row("--alarm-stale -5", { "--alarm-stale=-5" },
            "--alarm-stale: '-5' is outside 0 to 86400");
        row("--alarm-delay 1e3", { "--alarm-delay", "1e3" },
            "--alarm-delay: '1e3' is not seconds such as 10");
        row("--alarm-band inf", { "--alarm-band", "inf" },
            "--alarm-band: 'inf' is not degrees such as 0.5");
        row("--alarm-hysteresis 1000.5", { "--alarm-hysteresis", "1000.5" },
            "--alarm-hysteresis: '1000.5' is outside 0 to 1000");
        row("--alarm-stale without value", { "--alarm-stale" },
            "missing value after '--alarm-stale'");
        row("--on-alarm=", { "--on-alarm=" }, "--on-alarm: give a program to run");
        row("--on-alarm missing", { "--on-alarm", "/nonexistent/notify" },
            "--on-alarm: cannot run '/nonexistent/notify': no such file");
        row("--on-alarm folder", { "--on-alarm", "/" }, "--on-alarm: cannot run '/': not a file");
        const QString plain = m_folder.filePath(QStringLiteral("notify.txt"));
        writeFile(plain, "echo\n");
        QTest::newRow("--on-alarm not executable")
            << QStringList { "--on-alarm", plain }
            << QStringLiteral("--on-alarm: cannot run '%1': not permitted to run it").arg(plain);
        row("--on-alarm not in PATH", { "--on-alarm", "velmora-no-such-program" },
            "--on-alarm: cannot run 'velmora-no-such-program': no such program in PATH");
        row("--mqtt port", { "--mqtt", "broker:0" }, "--mqtt: вне пределов от 1 до 65535");
        row("--bench wildcard", { "--mqtt", "broker", "--bench", "a/#" },
            "--bench: только латинские буквы, цифры, «-» и «_»");
        QTest::newRow("publishing off")
            << QStringList { "--mqtt-remote-limits" }
            << QStringLiteral("--mqtt-remote-limits: publishing is off: give --mqtt HOST, or "
                              "Enabled=1 in [Mqtt] of '%1'")
                   .arg(defaultFile());
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const auto result = parse(arguments);
        QVERIFY(std::holds_alternative<UsageError>(result));
        QCOMPARE(std::get<UsageError>(result).message, message);
        QVERIFY(!message.contains(u'\n'));
    }

    void aNamedSettingsFileMustBeReadable()
    {
        const QString missing = m_folder.filePath(QStringLiteral("missing.ini"));
        auto result = parse({ "--settings", missing });
        QCOMPARE(std::get<UsageError>(result).message,
            QStringLiteral("--settings: cannot read '%1': no such file").arg(missing));
        result = parse({ "--settings", m_folder.path() });
        QCOMPARE(std::get<UsageError>(result).message,
            QStringLiteral("--settings: cannot read '%1': not a file").arg(m_folder.path()));
    }

    void helpAndVersionAreAnsweredFirst()
    {
        QVERIFY(accepted({ "--count", "x", "--help" }).help);
        QVERIFY(accepted({ "-h" }).help);
        QVERIFY(accepted({ "--version", "--settings", "/nonexistent/file.ini" }).version);
        QVERIFY(accepted({ "-v" }).version);
        QVERIFY(!accepted({}).help);
    }

    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("90s") << "90s" << qint64(90);
        QTest::newRow("45m") << "45m" << qint64(45 * 60);
        QTest::newRow("12h") << "12h" << qint64(12 * 3600);
        QTest::newRow("007s") << "007s" << qint64(7);
        QTest::newRow("2147483647h") << "2147483647h" << qint64(2147483647) * 3600;
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        const Options options = accepted({ QStringLiteral("--duration=") + text });
        QCOMPARE(options.duration.value_or(std::chrono::seconds(-1)).count(), seconds);
        QVERIFY(!options.count);
    }

    void limits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("36.5,36.7") << "36.5,36.7" << 365 << 367;
        QTest::newRow("0.0,6553.5") << "0.0,6553.5" << 0 << 65535;
        QTest::newRow("36,37") << "36,37" << 360 << 370;
        QTest::newRow("036.5,+36.7") << "036.5,+36.7" << 365 << 367;
        QTest::newRow("36.5, 36.7") << "36.5, 36.7" << 365 << 367;
        // Sent as given, as the limits dialog sends them; the regulator takes them in order.
        QTest::newRow("36.7,36.5") << "36.7,36.5" << 367 << 365;
    }
    void limits()
    {
        QFETCH(QString, text);
        QFETCH(int, lower);
        QFETCH(int, upper);
        const Options options = accepted({ QStringLiteral("--limits"), text });
        QVERIFY(options.limits);
        QCOMPARE(int(options.limits->lower), lower);
        QCOMPARE(int(options.limits->upper), upper);
    }

    void countAndOutput()
    {
        Options options = accepted({ "--count", "0", "--limits", "30.0,31.0", "-q" });
        QCOMPARE(options.count, std::optional<std::int64_t>(0));
        QVERIFY(options.quiet);
        QVERIFY(options.output.isEmpty());
        options = accepted({ "--count=2147483647", "--output", "-", "--list-ports" });
        QCOMPARE(options.count, std::optional<std::int64_t>(2147483647));
        QCOMPARE(options.output, QStringLiteral("-"));
        QVERIFY(options.listPorts);
        QVERIFY(!options.duration && !options.limits);
    }

    void theLastOfARepeatedOptionCounts()
    {
        const Options options = accepted(
            { "--port", "COM3", "--port=ttyUSB0", "--baud", "$2580", "--interval", " 0600" });
        QCOMPARE(options.port, QStringLiteral("ttyUSB0"));
        QCOMPARE(options.baudRate, 9600); // the integer text rule: "$" is hexadecimal
        QCOMPARE(options.intervalMs, 600u);
    }

    void settingsFileWithTheCommandLineWinning_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("file only") << QStringList {} << "/dev/ttyUSB7" << 9600 << 1200;
        QTest::newRow("--port wins")
            << QStringList { "--port", "/dev/serial/by-id/usb-x-if00-port0" }
            << "/dev/serial/by-id/usb-x-if00-port0" << 9600 << 1200;
        QTest::newRow("--baud and --interval win") << QStringList { "--baud=115200", "--interval",
            "500" } << "/dev/ttyUSB7" << 115200 << 500;
        QTest::newRow("all three win")
            << QStringList { "--interval", "2000", "--port", "COM3", "--baud", "19200" } << "COM3"
            << 19200 << 2000;
    }
    void settingsFileWithTheCommandLineWinning()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, port);
        QFETCH(int, baudRate);
        QFETCH(int, intervalMs);
        QTemporaryDir other;
        // Keys in any case, values as the window reads them; the other keys are not taken.
        const QString file = writeSettingsFile(other,
            "PORT=/dev/ttyUSB7\r\nbaudrate=9600\r\nTimerWorkInterval=$4B0\r\nNPoints=50\r\n");
        // The default file holds other values: --settings replaces it, not adds to it.
        writeSettingsFile(m_folder, "Port=COM9\r\nBaudRate=1200\r\nTimerWorkInterval=5000\r\n");

        const Options options = accepted(QStringList { "--settings", file } + arguments);
        QCOMPARE(options.settingsFile, file);
        QVERIFY(options.settingsFileFound);
        QCOMPARE(options.port, port);
        QCOMPARE(options.baudRate, baudRate);
        QCOMPARE(int(options.intervalMs), intervalMs);
    }

    void theUsersCopyWhereTheProgramFolderIsReadOnly()
    {
        // The window's rule with a program folder that takes no writes: the user's copy is read
        // once it exists, the administrator's file until then; --settings bypasses both.
        QTemporaryDir program;
        QTemporaryDir home;
        writeSettingsFile(program, "Port=ttyS4\r\nTimerWorkInterval=1500\r\n");
        const app::UserFolders folders { home.path(), {}, {} };
        const app::WriteAccess readOnly { [](const QString&) { return false; },
            [](const QString&) { return false; } };
        const auto locate = [&] { return app::locateSettings(program.path(), folders, readOnly); };
        const auto options
            = [](const app::SettingsLocation& location, const QStringList& arguments) {
                  const auto result = logger::parseOptions(
                      QStringList { QStringLiteral("velmora-log") } + arguments, location);
                  return std::get<Options>(result);
              };

        Options found = options(locate(), {});
        QCOMPARE(found.settingsFile, program.filePath(QStringLiteral("VelmoraThermo.ini")));
        QCOMPARE(found.port, QStringLiteral("ttyS4"));

        const QString copy = home.filePath(QStringLiteral(".config/velmora-thermo"));
        QVERIFY(QDir().mkpath(copy));
        QVERIFY(writeFile(copy + QStringLiteral("/VelmoraThermo.ini"),
            "[Options]\r\nPort=ttyUSB2\r\nTimerWorkInterval=900\r\n"));
        found = options(locate(), {});
        QCOMPARE(found.settingsFile, copy + QStringLiteral("/VelmoraThermo.ini"));
        QVERIFY(found.settingsFileFound);
        QCOMPARE(found.port, QStringLiteral("ttyUSB2"));
        QCOMPARE(found.intervalMs, 900u);
        QCOMPARE(found.settingsLocation.userRunFolder,
            home.filePath(QStringLiteral(".local/share/velmora-thermo/runs")));

        const QString named = program.filePath(QStringLiteral("VelmoraThermo.ini"));
        found = options(locate(), { QStringLiteral("--settings"), named });
        QCOMPARE(found.settingsFile, named);
        QCOMPARE(found.settingsLocation, app::SettingsLocation::fixed(named));
    }

    void theDefaultSettingsFileIsTheWindows()
    {
        // Absent: the window's own defaults.
        Options options = accepted({});
        QCOMPARE(options.settingsFile, defaultFile());
        QVERIFY(!options.settingsFileFound);
        QCOMPARE(options.port, QStringLiteral("COM1"));
        QCOMPARE(options.baudRate, 38400);
        QCOMPARE(options.intervalMs, 800u);

        // Present: read as the window reads it, a value that is no number taking its default,
        // and the shortest interval the command line takes.
        writeSettingsFile(m_folder, "Port=ttyACM0\r\nBaudRate=fast\r\nTimerWorkInterval=500\r\n");
        options = accepted({ "--count", "5" });
        QVERIFY(options.settingsFileFound);
        QCOMPARE(options.port, QStringLiteral("ttyACM0"));
        QCOMPARE(options.baudRate, 38400);
        QCOMPARE(options.intervalMs, 500u);

        QCOMPARE(logger::defaultSettingsLocation().readFile,
            QDir(QCoreApplication::applicationDirPath()).filePath("VelmoraThermo.ini"));
    }

    // An interval the window's timer would never fire at, or one shorter than --interval takes,
    // is refused, unless the command line gives its own.
    void settingsIntervalThatNeverPolls_data()
    {
        QTest::addColumn<QByteArray>("interval");
        QTest::addColumn<QString>("why");
        QTest::newRow("0") << QByteArray("0") << " never polls";
        QTest::newRow("-800") << QByteArray("-800") << " never polls";
        QTest::newRow("499") << QByteArray("499")
                             << ": 499 ms is shorter than the 500 ms one poll takes";
    }
    void settingsIntervalThatNeverPolls()
    {
        QFETCH(QByteArray, interval);
        QFETCH(QString, why);
        writeSettingsFile(m_folder, "TimerWorkInterval=" + interval + "\r\n");
        const auto result = parse({});
        const auto* error = std::get_if<UsageError>(&result);
        QVERIFY(error);
        QCOMPARE(error->message,
            QStringLiteral("--settings: TimerWorkInterval=%1 in '%2'%3; give --interval MS")
                .arg(QString::fromLatin1(interval), defaultFile(), why));
        QCOMPARE(accepted({ "--interval", "900" }).intervalMs, 900u);
        QVERIFY(accepted({ "--list-ports" }).listPorts);
        QCOMPARE(accepted({ "--limits", "36.5,36.7", "--count", "0" }).count, 0);
    }

    // The [Alarms] section counts only when Enabled; any alarm option turns the rules on and
    // wins over its own key, leaving the others as the file has them.
    void alarmsFromTheFileWithTheCommandLineWinning_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // Enabled High Low Band Margin Stale Delay Hyst.
        const QByteArray file = "[Alarms]\r\nEnabled=1\r\nHigh=30\r\nStale=10\r\nDelay=2\r\n";
        QTest::newRow("file") << file << QStringList {} << "1 30 - 0 - 10 2 -";
        QTest::newRow("file off") << QByteArray("[Alarms]\r\nEnabled=0\r\nHigh=30\r\n")
                                  << QStringList {} << "0 30 - 0 - - - -";
        QTest::newRow("options on a file that is off")
            << QByteArray("[Alarms]\r\nHigh=30\r\n") << QStringList { "--alarm-low", "-5.5" }
            << "1 30 -5.5 0 - - - -";
        QTest::newRow("options win") << file
                                     << QStringList { "--alarm-high", "0", "--alarm-stale", "0",
                                            "--alarm-hysteresis", "0.5", "--alarm-delay=1.5" }
                                     << "1 0 - 0 - - 1.5 0.5";
        QTest::newRow("band 0") << QByteArray() << QStringList { "--alarm-band", "0" }
                                << "1 - - 1 - - - -";
        QTest::newRow("band 0.3") << QByteArray() << QStringList { "--alarm-band=0.3" }
                                  << "1 - - 1 0.3 - - -";
    }
    void alarmsFromTheFileWithTheCommandLineWinning()
    {
        QFETCH(QByteArray, section);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        writeSettingsFile(m_folder, "Port=COM3\r\n" + section);
        const alarms::AlarmSettings a = accepted(arguments).alarms;
        const auto text
            = [](std::optional<double> v) { return v ? QString::number(*v) : QStringLiteral("-"); };
        QCOMPARE(QStringList({ QString::number(a.Enabled), text(a.High), text(a.Low),
                                 QString::number(a.Band), text(a.Margin), text(a.Stale),
                                 text(a.Delay), text(a.Hysteresis) })
                     .join(u' '),
            expected);
        QCOMPARE(accepted(arguments + QStringList { "--on-alarm", "sh" }).onAlarm,
            QStandardPaths::findExecutable(QStringLiteral("sh")));
    }

    // [Mqtt] with the command line over it key by key; --mqtt turns publishing on and names the
    // broker whole (its port the default unless given).
    void mqttFromTheFileWithTheCommandLineWinning()
    {
        writeSettingsFile(m_folder, "[Mqtt]\r\nEnabled=0\r\nHost=hub\r\nPort=1884\r\nUser=u\r\n");
        QCOMPARE(accepted({}).mqtt.Enabled, false);
        const telemetry::MqttSettings m
            = accepted({ "--mqtt", "other", "--mqtt-password-file", "pw", "--bench", "b-1",
                           "--mqtt-remote-limits" })
                  .mqtt;
        QCOMPARE(QStringList({ m.Host, QString::number(m.Port), m.User, m.PasswordFile, m.Bench,
                     QString::number(m.Enabled && m.RemoteLimits) }),
            QStringList({ "other", "0", "u", QDir::current().absoluteFilePath("pw"), "b-1", "1" }));
    }

    void helpNamesEveryOptionAndExitStatus()
    {
        const QString help = logger::helpText();
        for (const char* option : { "--port NAME", "--baud N", "--interval MS", "--settings FILE",
                 "--count N", "--duration TIME", "--limits LOWER,UPPER", "--output FILE",
                 "--list-ports", "--quiet", "--help", "--version", "--alarm-high T",
                 "--alarm-band MARGIN", "--on-alarm PROGRAM", "--mqtt HOST[:PORT]",
                 "--mqtt-remote-limits", "$XDG_CONFIG_HOME/velmora-thermo/VelmoraThermo.ini",
                 "$XDG_DATA_HOME/velmora-thermo/runs" })
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(help.contains(QStringLiteral("\n  0  finished, or stopped by a signal\n")));
        QVERIFY(help.contains(QStringLiteral("\n  1  the port could not be opened")));
        QVERIFY(help.contains(QStringLiteral("\n  2  bad usage")));
        for (const QString& line : help.split(u'\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line)); // a terminal of 80 columns
    }
};

QTEST_GUILESS_MAIN(TstOptions)
#include "tst_options.moc"
