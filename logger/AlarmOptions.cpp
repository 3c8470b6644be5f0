#include "logger/AlarmOptions.h"

#include "platform/Profile.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <variant>

namespace logger {

namespace {

using alarms::AlarmValue;

struct AlarmOption {
    const char* name;
    AlarmValue kind;
    const char* example; // what a good value looks like, for the refusal
};

constexpr AlarmOption kHigh { "alarm-high", AlarmValue::Temperature, "a temperature such as 30.5" };
constexpr AlarmOption kLow { "alarm-low", AlarmValue::Temperature, "a temperature such as 30.5" };
constexpr AlarmOption kBand { "alarm-band", AlarmValue::Degrees, "degrees such as 0.5" };
constexpr AlarmOption kStale { "alarm-stale", AlarmValue::Seconds, "seconds such as 10" };
constexpr AlarmOption kDelay { "alarm-delay", AlarmValue::Seconds, "seconds such as 10" };
constexpr AlarmOption kHysteresis { "alarm-hysteresis", AlarmValue::Degrees,
    "degrees such as 0.5" };
constexpr const AlarmOption* kValued[] = { &kHigh, &kLow, &kBand, &kStale, &kDelay, &kHysteresis };
constexpr char kOnAlarm[] = "on-alarm";

QString nameOf(const AlarmOption& option)
{
    return QString::fromLatin1(option.name);
}

UsageError refuse(const char* option, const QString& why)
{
    return UsageError { QStringLiteral("--%1: %2").arg(QString::fromLatin1(option), why) };
}

QString quoted(const QString& text)
{
    return u'\'' + text + u'\'';
}

// The number as the settings file takes it ("." decimals, no exponent, no "inf"), within its
// kind's range.
std::variant<double, UsageError> alarmNumber(const AlarmOption& option, const QString& text)
{
    const std::optional<double> value = alarms::plainNumber(text);
    if (!value)
        return refuse(option.name,
            quoted(text) + QStringLiteral(" is not ") + QString::fromLatin1(option.example));
    const alarms::ValueRange range = alarms::valueRange(option.kind);
    if (*value < range.low || *value > range.high)
        return refuse(option.name,
            QStringLiteral("%1 is outside %2 to %3")
                .arg(quoted(text), alarms::numberText(range.low), alarms::numberText(range.high)));
    return *value;
}

// The value of an option that checkAlarmOptions() took: 0 °C is a temperature, 0 seconds or
// degrees are none.
std::optional<double> taken(const QCommandLineParser& parser, const AlarmOption& option)
{
    const auto number = alarmNumber(option, parser.value(nameOf(option)));
    const double value = std::get<double>(number);
    if (value == 0.0 && option.kind != AlarmValue::Temperature)
        return std::nullopt;
    return value;
}

// The program as it will be run: a name without "/" is looked up in PATH, as a shell would.
std::variant<QString, UsageError> runnable(const QString& program)
{
    if (program.isEmpty())
        return refuse(kOnAlarm, QStringLiteral("give a program to run"));
    if (!program.contains(u'/')) {
        const QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty())
            return refuse(kOnAlarm,
                QStringLiteral("cannot run %1: no such program in PATH").arg(quoted(program)));
        return found;
    }
    const QFileInfo info(program);
    QString why;
    if (!info.exists())
        why = QStringLiteral("no such file");
    else if (!info.isFile())
        why = QStringLiteral("not a file");
    else if (!info.isExecutable())
        why = QStringLiteral("not permitted to run it");
    if (!why.isEmpty())
        return refuse(kOnAlarm, QStringLiteral("cannot run %1: %2").arg(quoted(program), why));
    return info.absoluteFilePath();
}

} // namespace

QList<QCommandLineOption> alarmOptions()
{
    QList<QCommandLineOption> list;
    for (const AlarmOption* option : kValued)
        list.append(QCommandLineOption(nameOf(*option), {}, QStringLiteral("value")));
    list.append(QCommandLineOption(QString::fromLatin1(kOnAlarm), {}, QStringLiteral("value")));
    return list;
}

std::optional<UsageError> checkAlarmOptions(const QCommandLineParser& parser, Options& options)
{
    for (const AlarmOption* option : kValued) {
        if (!parser.isSet(nameOf(*option)))
            continue;
        const auto number = alarmNumber(*option, parser.value(nameOf(*option)));
        if (const auto* error = std::get_if<UsageError>(&number))
            return *error;
    }
    if (parser.isSet(QString::fromLatin1(kOnAlarm))) {
        const auto program = runnable(parser.value(QString::fromLatin1(kOnAlarm)));
        if (const auto* error = std::get_if<UsageError>(&program))
            return *error;
        options.onAlarm = std::get<QString>(program);
    }
    return std::nullopt;
}

void applyAlarmOptions(
    const QCommandLineParser& parser, const QString& settingsFile, Options& options)
{
    alarms::AlarmSettings& settings = options.alarms;
    settings = alarms::loadAlarmSettings(platform::Profile(settingsFile));
    const auto given = [&](const AlarmOption& option) {
        const bool set = parser.isSet(nameOf(option));
        settings.Enabled = settings.Enabled || set;
        return set;
    };
    if (given(kHigh))
        settings.High = taken(parser, kHigh);
    if (given(kLow))
        settings.Low = taken(parser, kLow);
    if (given(kBand)) {
        settings.Band = true;
        settings.Margin = taken(parser, kBand);
        options.alarmBandAsked = true;
    }
    if (given(kStale))
        settings.Stale = taken(parser, kStale);
    if (given(kDelay))
        settings.Delay = taken(parser, kDelay);
    if (given(kHysteresis))
        settings.Hysteresis = taken(parser, kHysteresis);
}

QString alarmHelp()
{
    return QStringLiteral(
        R"(Alarms (each --alarm-* option turns them on; by default the [Alarms] section
of the settings is used when its Enabled is on; an option wins over its key):
  --alarm-high T     raise "high" when a reading is above T degrees (0 is 0 °C)
  --alarm-low T      raise "low" when a reading is below T degrees
  --alarm-band MARGIN
                     raise "band" when a reading is outside the regulator's
                     limits widened by MARGIN degrees (0 allowed): the last
                     limits sent in limits.csv of the run folder, then those
                     --limits sends; none with --output alone
  --alarm-stale SECONDS
                     raise "stale" after SECONDS without a reading
  --alarm-delay SECONDS
                     a condition must hold that long before it raises
  --alarm-hysteresis T
                     a reading must be T degrees back inside before it clears
  --on-alarm PROGRAM
                     run PROGRAM (no shell, no arguments) at each raised,
                     cleared and ended alarm, one run at a time, each stopped
                     after 30 s; it finds the alarm in VELMORA_ALARM_RULE,
                     _EVENT, _TEMPERATURE, _THRESHOLD, _TIME, _PORT, _RUN_FILE
Temperatures are -200 to 1800, seconds 0 to 86400, degrees 0 to 1000, written
with "." decimals. 0 seconds of --alarm-stale turns that rule off. Each alarm
is a line on standard error (with the journal's priority under systemd) and a
row of alarms.csv in the run folder.
)");
}

} // namespace logger
