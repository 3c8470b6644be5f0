#include "logger/Options.h"

#include "app/Settings.h"
#include "logger/AlarmOptions.h"
#include "logger/MqttOptions.h"
#include "numeric/IntegerText.h"
#include "platform/Profile.h"
#include "platform/SerialPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace logger {

namespace {

// The settings keep font sizes in pixels at the screen's resolution; without a screen the fonts
// are never used, so any resolution does.
constexpr int kNoScreenDotsPerInch = 96;

constexpr std::int32_t kHighestTenths = std::numeric_limits<std::uint16_t>::max();
constexpr std::int32_t kLongestInterval = std::numeric_limits<std::int32_t>::max();

// A value that is refused, and why, or the value taken.
template <typename T> using Checked = std::variant<T, UsageError>;

UsageError refuse(const QString& option, const QString& why)
{
    return UsageError { QStringLiteral("--%1: %2").arg(option, why) };
}

QString quoted(QStringView text)
{
    return u'\'' + text.toString() + u'\'';
}

bool isAsciiDigits(QStringView text)
{
    return !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A whole number of the command line follows the integer text rule of the settings file and the
// number fields, with the same message for text that is no number.
Checked<std::int32_t> wholeNumber(const QString& option, const QString& text,
    std::int32_t lowest = std::numeric_limits<std::int32_t>::min(), const QString& belowLowest = {})
{
    const std::optional<std::int32_t> value = numeric::integerFromText(text);
    if (!value)
        return refuse(option, quoted(text) + QStringLiteral(" is not a valid integer value"));
    if (*value < lowest)
        return refuse(option, belowLowest.arg(text));
    return *value;
}

// The one rule for a poll interval, from the command line or the settings file: one exchange
// with the instrument takes 500 ms, so a shorter interval would be announced but never kept.
std::optional<QString> shorterThanAPoll(std::int64_t intervalMs)
{
    if (intervalMs >= kShortestInterval.count())
        return std::nullopt;
    return QStringLiteral("%1 ms is shorter than the %2 ms one poll takes")
        .arg(intervalMs)
        .arg(kShortestInterval.count());
}

// "90s", "45m", "12h": a whole number of seconds, minutes or hours, above zero.
Checked<std::chrono::seconds> duration(const QString& text)
{
    const QString option = QStringLiteral("duration");
    static const QRegularExpression form(QStringLiteral("^([0-9]+)([smh])$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        if (isAsciiDigits(text))
            return refuse(option,
                QStringLiteral("%1 has no unit: write %2s, %2m or %2h").arg(quoted(text), text));
        return refuse(
            option, quoted(text) + QStringLiteral(" is not a duration such as 90s, 45m or 12h"));
    }
    const std::optional<std::int32_t> number = numeric::integerFromText(match.capturedView(1));
    if (!number)
        return refuse(option, quoted(text) + QStringLiteral(" is too long"));
    if (*number == 0)
        return refuse(option, quoted(text) + QStringLiteral(" is no time; give 1s or more"));
    const QChar unit = match.capturedView(2).front();
    const std::chrono::seconds::rep perUnit = unit == u's' ? 1 : unit == u'm' ? 60 : 3600;
    return std::chrono::seconds(*number * perUnit);
}

// Degrees with one decimal at most ("36.5", "36", " +36.5"), in tenths, 0.0 to 6553.5. The
// whole degrees follow the integer text rule where it applies: leading blanks and a "+" are
// taken, decimal digits only (no hexadecimal with a decimal point).
Checked<std::uint16_t> tenths(const QString& text)
{
    const QString option = QStringLiteral("limits");
    const UsageError outside
        = refuse(option, quoted(text) + QStringLiteral(" is outside 0.0 to 6553.5"));
    QStringView rest = text;
    while (rest.startsWith(u' '))
        rest = rest.mid(1);
    const bool negative = rest.startsWith(u'-');
    if (negative || rest.startsWith(u'+'))
        rest = rest.mid(1);
    const qsizetype point = rest.indexOf(u'.');
    const QStringView whole = point < 0 ? rest : rest.left(point);
    const QStringView fraction = point < 0 ? QStringView() : rest.mid(point + 1);
    if (!isAsciiDigits(whole) || (point >= 0 && !isAsciiDigits(fraction)))
        return refuse(option, quoted(text) + QStringLiteral(" is not a temperature such as 36.5"));
    if (fraction.size() > 1)
        return refuse(option, quoted(text) + QStringLiteral(" has more than one decimal"));
    const std::optional<std::int32_t> degrees = numeric::integerFromText(whole);
    if (negative || !degrees || *degrees > kHighestTenths / 10)
        return outside;
    const std::int32_t value = *degrees * 10 + (fraction.isEmpty() ? 0 : fraction[0].digitValue());
    if (value > kHighestTenths)
        return outside;
    return static_cast<std::uint16_t>(value);
}

// "LOWER,UPPER": the regulator's two limits, sent in that order whatever their sizes, as the
// limits dialog sends them.
Checked<instrument::RegulatorLimits> limits(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return refuse(QStringLiteral("limits"),
            QStringLiteral("expected LOWER,UPPER such as 36.5,36.7, got ") + quoted(text));
    instrument::RegulatorLimits result;
    for (int i = 0; i < 2; ++i) {
        const Checked<std::uint16_t> limit = tenths(parts[i]);
        if (const auto* error = std::get_if<UsageError>(&limit))
            return *error;
        (i == 0 ? result.lower : result.upper) = std::get<std::uint16_t>(limit);
    }
    return result;
}

// The option as it was most likely written, for a message: "--name" or "-n".
QString asWritten(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The first letter small and no full stop at the end, as the program's other messages are.
QString asMessage(QString text)
{
    if (text.endsWith(u'.'))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

std::optional<UsageError> readSettings(const QString& file, bool named, Options& options)
{
    const QFileInfo info(file);
    if (named) {
        QString why;
        if (!info.exists())
            why = QStringLiteral("no such file");
        else if (!info.isFile())
            why = QStringLiteral("not a file");
        else if (!info.isReadable())
            why = QStringLiteral("not permitted to read it");
        if (!why.isEmpty())
            return refuse(QStringLiteral("settings"),
                QStringLiteral("cannot read %1: %2").arg(quoted(file), why));
    }
    options.settingsFile = file;
    options.settingsFileFound = info.isFile();
    const app::Settings settings = app::loadSettings(platform::Profile(file), kNoScreenDotsPerInch);
    options.port = settings.Port;
    options.baudRate = settings.BaudRate;
    options.intervalMs = settings.TimerWorkInterval;
    return std::nullopt;
}

} // namespace

std::variant<Options, UsageError> parseOptions(
    const QStringList& arguments, const app::SettingsLocation& defaultSettings)
{
    QCommandLineParser parser;
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, {});
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") }, {});
    const QCommandLineOption quiet({ QStringLiteral("q"), QStringLiteral("quiet") }, {});
    const QCommandLineOption listPorts(QStringLiteral("list-ports"), {});
    const auto valued = [](const char* name) {
        return QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value"));
    };
    const QCommandLineOption port = valued("port");
    const QCommandLineOption baud = valued("baud");
    const QCommandLineOption interval = valued("interval");
    const QCommandLineOption settings = valued("settings");
    const QCommandLineOption count = valued("count");
    const QCommandLineOption stopAfter = valued("duration");
    const QCommandLineOption limitsOption = valued("limits");
    const QCommandLineOption output = valued("output");
    parser.addOptions({ help, version, quiet, listPorts, port, baud, interval, settings, count,
        stopAfter, limitsOption, output });
    parser.addOptions(alarmOptions());
    parser.addOptions(mqttOptions());

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return UsageError { QStringLiteral("unknown option ") + quoted(asWritten(unknown[0])) };
        return UsageError { asMessage(parser.errorText()) };
    }

    Options options;
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (options.help || options.version)
        return options;
    if (!parser.positionalArguments().isEmpty())
        return UsageError { QStringLiteral("unexpected argument ")
            + quoted(parser.positionalArguments().constFirst()) };

    options.listPorts = parser.isSet(listPorts);
    options.quiet = parser.isSet(quiet);

    // Every value of the command line is checked before the settings file is read.
    std::optional<QString> portName;
    if (parser.isSet(port)) {
        portName = parser.value(port);
        if (platform::serialDevicePath(*portName).isEmpty())
            return refuse(QStringLiteral("port"),
                quoted(*portName) + QStringLiteral(" names no serial port"));
    }
    std::optional<std::int32_t> baudRate;
    if (parser.isSet(baud)) {
        const auto checked = wholeNumber(QStringLiteral("baud"), parser.value(baud), 1,
            QStringLiteral("a line speed is above 0, got '%1'"));
        if (const auto* error = std::get_if<UsageError>(&checked))
            return *error;
        baudRate = std::get<std::int32_t>(checked);
    }
    std::optional<std::uint32_t> intervalMs;
    if (parser.isSet(interval)) {
        const auto checked = wholeNumber(QStringLiteral("interval"), parser.value(interval));
        if (const auto* error = std::get_if<UsageError>(&checked))
            return *error;
        if (const auto why = shorterThanAPoll(std::get<std::int32_t>(checked)))
            return refuse(QStringLiteral("interval"), *why);
        intervalMs = static_cast<std::uint32_t>(std::get<std::int32_t>(checked));
    }
    if (parser.isSet(count)) {
        const auto checked = wholeNumber(QStringLiteral("count"), parser.value(count), 0,
            QStringLiteral("expected 0 or more readings, got '%1'"));
        if (const auto* error = std::get_if<UsageError>(&checked))
            return *error;
        options.count = std::get<std::int32_t>(checked);
    }
    if (parser.isSet(stopAfter)) {
        const auto checked = duration(parser.value(stopAfter));
        if (const auto* error = std::get_if<UsageError>(&checked))
            return *error;
        options.duration = std::get<std::chrono::seconds>(checked);
    }
    if (parser.isSet(limitsOption)) {
        const auto checked = limits(parser.value(limitsOption));
        if (const auto* error = std::get_if<UsageError>(&checked))
            return *error;
        options.limits = std::get<instrument::RegulatorLimits>(checked);
    }
    if (parser.isSet(output)) {
        options.output = parser.value(output);
        if (options.output.isEmpty())
            return refuse(QStringLiteral("output"),
                QStringLiteral("give a file name, or - for standard output"));
    }

    if (auto error = checkAlarmOptions(parser, options))
        return *error;
    if (auto error = checkMqttOptions(parser))
        return *error;

    const bool named = parser.isSet(settings);
    options.settingsLocation
        = named ? app::SettingsLocation::fixed(parser.value(settings)) : defaultSettings;
    const QString settingsFile = options.settingsLocation.readFile;
    if (named && settingsFile.isEmpty())
        return refuse(QStringLiteral("settings"), QStringLiteral("give a file name"));
    if (auto error = readSettings(settingsFile, named, options))
        return *error;
    applyAlarmOptions(parser, settingsFile, options);
    if (auto error = applyMqttOptions(parser, settingsFile, options))
        return *error;
    // The command line wins over the file.
    options.port = portName.value_or(options.port);
    options.baudRate = baudRate.value_or(options.baudRate);
    if (intervalMs) {
        options.intervalMs = *intervalMs;
        return options;
    }
    // The file's interval goes through the rule --interval keeps, named with its key and file:
    // one of 0 never ticks and a negative one is weeks (the window would sit idle, the logger
    // would run polling nothing), a short one would be announced and never kept. Listing the
    // ports and sending limits alone need no interval.
    const bool polls = !options.listPorts && options.count != 0;
    if (!polls)
        return options;
    const QString fileValue = QStringLiteral("TimerWorkInterval=%1 in %2")
                                  .arg(static_cast<std::int32_t>(options.intervalMs))
                                  .arg(quoted(settingsFile));
    if (options.intervalMs == 0 || options.intervalMs > std::uint32_t(kLongestInterval))
        return refuse(QStringLiteral("settings"),
            fileValue + QStringLiteral(" never polls; give --interval MS"));
    if (const auto why = shorterThanAPoll(options.intervalMs))
        return refuse(QStringLiteral("settings"),
            fileValue + QStringLiteral(": ") + *why + QStringLiteral("; give --interval MS"));
    return options;
}

app::SettingsLocation defaultSettingsLocation()
{
    return app::locateSettings(QCoreApplication::applicationDirPath());
}

QString helpText()
{
    return QStringLiteral(R"(Usage: velmora-log [options]

Polls the thermometer on its serial port with the same exchange and timing as
the Velmora Thermo window, and writes the readings to a file. Needs no display.

Options:
  --port NAME        the serial port: COM3, ttyUSB0, /dev/serial/by-id/...
  --baud N           the line speed in bits per second
  --interval MS      milliseconds from one poll to the next, 500 or more (so
                     is TimerWorkInterval of the settings, when it is taken)
  --settings FILE    take Port, BaudRate, TimerWorkInterval, [Alarms] and
                     [Mqtt] from FILE alone, its run folder beside it; by
                     default from the window's own settings (see Files below);
                     --port, --baud, --interval, --alarm-* and --mqtt* win over
                     the file
  --count N          stop after N polls: N rows, each a reading or the reason
                     there is none
  --duration TIME    stop after TIME in whole s, m or h: 90s, 45m, 12h
  --limits LOWER,UPPER
                     first send the regulator its lower and upper limit, in
                     degrees with one decimal at most, 0.0 to 6553.5
                     (36.5,36.7), as the window's limits dialog does, and record
                     the upload in limits.csv of the run folder; with --count 0,
                     only that
  --output FILE      write the rows to FILE, made new; an empty FILE is taken,
                     one with anything in it is never overwritten (exit 1);
                     - writes them to standard output
                     By default each run is a new file in the window's run
                     folder (see Files below), named after its start;
                     [RunLog] Enabled=0 turns off only the window's run log,
                     never this output
  --list-ports       list the serial ports present and exit
  -q, --quiet        print nothing but failures
  -h, --help         show this text and exit
  -v, --version      show the version and exit
)") + alarmHelp()
        + u'\n' + mqttHelp() + QStringLiteral(R"(
Without --count or --duration it polls until stopped (Ctrl+C, SIGTERM, SIGHUP):
the poll under way is finished and its row written, then the file and the port
are closed. A stop signal ignored when it starts stays ignored: under nohup it
outlives the closed terminal. Each row is on the disk (fdatasync) before the
next poll; on standard output it is written at once, and synced where that is a
file.
Options with a value may also be written --name=value.

Standard error gets one line a reading (time, temperature, status) while it is
a terminal, and a summary at the end: readings, ticks without a reading,
reconnects, the file. --quiet leaves out both.

--list-ports prints one port a line, six fields separated by tabs, "-" for a
field the port lacks: its name as --port takes it, its device, its
/dev/serial/by-id link, the USB vendor and product id (0403:6001), the USB
serial number, and whether it is free, busy (another program holds it) or not
permitted (this user may not open it: see the dialout group in the guide).

)") + app::filesHelp()
        + QStringLiteral(R"(
Exit status:
  0  finished, or stopped by a signal
  1  the port could not be opened at start, the limits could not be sent, or
     the output could not be written (also rows of the run that never reached
     it, or a limits upload not recorded)
  2  bad usage: nothing was opened
)");
}

} // namespace logger
