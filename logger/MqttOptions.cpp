#include "logger/MqttOptions.h"

#include "platform/Profile.h"
#include "telemetry/BrokerOptions.h"

#include <variant>

namespace logger {

namespace {

constexpr char kMqtt[] = "mqtt";
constexpr char kBench[] = "bench";
constexpr char kRemoteLimits[] = "mqtt-remote-limits";

QString nameOf(const char* option)
{
    return QString::fromLatin1(option);
}

// The broker's options over @p settings, --bench as well: the first value refused, or nothing.
std::optional<UsageError> takeOptions(
    const QCommandLineParser& parser, telemetry::MqttSettings& settings)
{
    if (const auto refused = telemetry::applyBrokerOptions(parser, settings))
        return UsageError { *refused };
    if (!parser.isSet(nameOf(kBench)))
        return std::nullopt;
    const QString text = parser.value(nameOf(kBench));
    if (text.trimmed().isEmpty())
        return UsageError { QStringLiteral("--%1: пустое значение").arg(nameOf(kBench)) };
    const auto parsed = telemetry::parseMqttValue(text, telemetry::MqttValue::Bench);
    if (const auto* refused = std::get_if<telemetry::MqttRefusal>(&parsed))
        return UsageError { QStringLiteral("--%1: %2").arg(nameOf(kBench), refused->reason) };
    settings.Bench = std::get<QString>(parsed);
    return std::nullopt;
}

} // namespace

QList<QCommandLineOption> mqttOptions()
{
    QList<QCommandLineOption> list = telemetry::brokerOptions(false);
    list.append(QCommandLineOption(nameOf(kBench), {}, QStringLiteral("value")));
    list.append(QCommandLineOption(nameOf(kRemoteLimits)));
    return list;
}

std::optional<UsageError> checkMqttOptions(const QCommandLineParser& parser)
{
    telemetry::MqttSettings scratch;
    return takeOptions(parser, scratch);
}

std::optional<UsageError> applyMqttOptions(
    const QCommandLineParser& parser, const QString& settingsFile, Options& options)
{
    telemetry::MqttSettings& settings = options.mqtt;
    settings = telemetry::loadMqttSettings(platform::Profile(settingsFile));
    takeOptions(parser, settings);
    if (parser.isSet(nameOf(kMqtt)))
        settings.Enabled = true;
    if (parser.isSet(nameOf(kRemoteLimits)))
        settings.RemoteLimits = true;
    if (settings.Enabled)
        return std::nullopt;
    for (const QCommandLineOption& option : mqttOptions()) {
        if (parser.isSet(option.names().constFirst()))
            return UsageError { QStringLiteral("--%1: publishing is off: give --mqtt HOST, or "
                                               "Enabled=1 in [Mqtt] of '%2'")
                                    .arg(option.names().constFirst(), settingsFile) };
    }
    return std::nullopt;
}

QString mqttHelp()
{
    return QStringLiteral(
               R"(Publishing to an MQTT broker (off unless --mqtt is given or the [Mqtt] section
of the settings has Enabled=1; an option wins over its key):
)") + telemetry::brokerOptionsHelp(false)
        + QStringLiteral(
            R"(  --bench NAME       the bench's topic level (letters, digits, - and _); by
                     default the host name and the port's name
  --mqtt-remote-limits
                     take regulator limits from <prefix>/<bench>/limits/set
                     and send them between two polls; each is a row of
                     limits.csv (source mqtt) and a line on standard error
The broker's faults are a line each on standard error; polling never waits for
the broker, and what it missed while away is its newest state on return.
)");
}

} // namespace logger
