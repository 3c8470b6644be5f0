#include "logger/MqttOptions.h"

#include "platform/Profile.h"
#include "telemetry/BrokerAddress.h"

#include <QDir>

#include <variant>

namespace logger {

namespace {

using telemetry::MqttValue;

constexpr char kMqtt[] = "mqtt";
constexpr char kRemoteLimits[] = "mqtt-remote-limits";

// The options whose value is one key of [Mqtt].
struct ValueOption {
    const char* name;
    MqttValue kind;
};
constexpr ValueOption kUser { "mqtt-user", MqttValue::User };
constexpr ValueOption kPasswordFile { "mqtt-password-file", MqttValue::File };
constexpr ValueOption kCaFile { "mqtt-ca", MqttValue::File };
constexpr ValueOption kBench { "bench", MqttValue::Bench };
constexpr const ValueOption* kValued[] = { &kUser, &kPasswordFile, &kCaFile, &kBench };

QString nameOf(const char* option)
{
    return QString::fromLatin1(option);
}

UsageError refuse(const char* option, const QString& text, const QString& why)
{
    return UsageError { QStringLiteral("--%1: '%2' refused: %3").arg(nameOf(option), text, why) };
}

// The option's value as its key keeps it; a file named relative to the working folder is made
// absolute first, as the key wants it.
std::variant<QString, UsageError> taken(const QCommandLineParser& parser, const ValueOption& option)
{
    QString text = parser.value(nameOf(option.name));
    if (text.trimmed().isEmpty())
        return UsageError { QStringLiteral("--%1: give a value").arg(nameOf(option.name)) };
    if (option.kind == MqttValue::File)
        text = QDir::current().absoluteFilePath(text.trimmed());
    const telemetry::ParsedMqttValue parsed = telemetry::parseMqttValue(text, option.kind);
    if (const auto* refused = std::get_if<telemetry::MqttRefusal>(&parsed))
        return refuse(option.name, text, refused->reason);
    return std::get<QString>(parsed);
}

std::variant<telemetry::BrokerAddress, UsageError> broker(const QCommandLineParser& parser)
{
    const QString text = parser.value(nameOf(kMqtt));
    const auto parsed = telemetry::parseBrokerAddress(text);
    if (const auto* refused = std::get_if<telemetry::MqttRefusal>(&parsed))
        return refuse(kMqtt, text, refused->reason);
    return std::get<telemetry::BrokerAddress>(parsed);
}

} // namespace

QList<QCommandLineOption> mqttOptions()
{
    QList<QCommandLineOption> list;
    list.append(QCommandLineOption(nameOf(kMqtt), {}, QStringLiteral("value")));
    for (const ValueOption* option : kValued)
        list.append(QCommandLineOption(nameOf(option->name), {}, QStringLiteral("value")));
    list.append(QCommandLineOption(nameOf(kRemoteLimits)));
    return list;
}

std::optional<UsageError> checkMqttOptions(const QCommandLineParser& parser)
{
    if (parser.isSet(nameOf(kMqtt))) {
        const auto address = broker(parser);
        if (const auto* error = std::get_if<UsageError>(&address))
            return *error;
    }
    for (const ValueOption* option : kValued) {
        if (!parser.isSet(nameOf(option->name)))
            continue;
        const auto value = taken(parser, *option);
        if (const auto* error = std::get_if<UsageError>(&value))
            return *error;
    }
    return std::nullopt;
}

std::optional<UsageError> applyMqttOptions(
    const QCommandLineParser& parser, const QString& settingsFile, Options& options)
{
    telemetry::MqttSettings& settings = options.mqtt;
    settings = telemetry::loadMqttSettings(platform::Profile(settingsFile));
    if (parser.isSet(nameOf(kMqtt))) {
        const auto address = std::get<telemetry::BrokerAddress>(broker(parser));
        settings.Enabled = true;
        settings.Host = address.host;
        if (address.port > 0)
            settings.Port = address.port;
    }
    QString unused;
    const auto value = [&](const ValueOption& option, QString& key) {
        if (!parser.isSet(nameOf(option.name)))
            return;
        key = std::get<QString>(taken(parser, option));
        unused = nameOf(option.name);
    };
    value(kUser, settings.User);
    value(kPasswordFile, settings.PasswordFile);
    value(kCaFile, settings.CaFile);
    value(kBench, settings.Bench);
    if (parser.isSet(nameOf(kRemoteLimits))) {
        settings.RemoteLimits = true;
        unused = nameOf(kRemoteLimits);
    }
    if (!settings.Enabled && !unused.isEmpty())
        return UsageError { QStringLiteral("--%1: publishing is off: give --mqtt HOST, or "
                                           "Enabled=1 in [Mqtt] of '%2'")
                                .arg(unused, settingsFile) };
    return std::nullopt;
}

QString mqttHelp()
{
    return QStringLiteral(
        R"(Publishing to an MQTT broker (off unless --mqtt is given or the [Mqtt] section
of the settings has Enabled=1; an option wins over its key):
  --mqtt HOST[:PORT] publish to the broker at HOST ([::1]:1883 for an IPv6
                     address); PORT 1883 by default, 8883 with --mqtt-ca
  --mqtt-user USER   connect with the user name USER
  --mqtt-password-file FILE
                     the password: the first line of FILE, which only its
                     owner may read
  --mqtt-ca FILE     connect with TLS, the broker's certificate checked
                     against the CA certificate in FILE
  --bench NAME       the bench's topic level (letters, digits, - and _); by
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
