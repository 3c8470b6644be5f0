#include "telemetry/BrokerOptions.h"

#include <QDir>

namespace telemetry {

namespace {

QCommandLineOption valued(const char* name)
{
    return QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value"));
}

QString refusal(const char* option, const QString& why)
{
    return QStringLiteral("--%1: %2").arg(QLatin1String(option), why);
}

} // namespace

QList<QCommandLineOption> brokerOptions(bool withPrefix)
{
    QList<QCommandLineOption> options { valued("mqtt"), valued("mqtt-user"),
        valued("mqtt-password-file"), valued("mqtt-ca") };
    if (withPrefix)
        options << valued("prefix");
    return options;
}

std::optional<QString> applyBrokerOptions(const QCommandLineParser& parser, MqttSettings& settings)
{
    if (parser.optionNames().contains(QStringLiteral("mqtt"))) {
        const auto parsed = parseBrokerAddress(parser.value(QStringLiteral("mqtt")));
        if (const auto* refused = std::get_if<MqttRefusal>(&parsed))
            return refusal("mqtt", refused->reason);
        settings.Host = std::get<BrokerAddress>(parsed).host;
        settings.Port = std::get<BrokerAddress>(parsed).port;
    }
    const struct {
        const char* option;
        MqttValue kind;
        QString MqttSettings::*field;
    } texts[] = {
        { "mqtt-user", MqttValue::User, &MqttSettings::User },
        { "mqtt-password-file", MqttValue::File, &MqttSettings::PasswordFile },
        { "mqtt-ca", MqttValue::File, &MqttSettings::CaFile },
        { "prefix", MqttValue::Prefix, &MqttSettings::Prefix },
    };
    for (const auto& text : texts) {
        const QString name = QString::fromLatin1(text.option);
        // The names found on the command line: --prefix is only known where it was asked for.
        if (!parser.optionNames().contains(name))
            continue;
        QString value = parser.value(name);
        if (value.trimmed().isEmpty())
            return refusal(text.option, QStringLiteral("пустое значение"));
        // A file is kept by its full path; on the command line it may be named from here.
        if (text.kind == MqttValue::File)
            value = QDir::current().absoluteFilePath(value.trimmed());
        const ParsedMqttValue parsed = parseMqttValue(value, text.kind);
        if (const auto* refused = std::get_if<MqttRefusal>(&parsed))
            return refusal(text.option, refused->reason);
        settings.*text.field = std::get<QString>(parsed);
    }
    return std::nullopt;
}

QString brokerOptionsHelp(bool withPrefix)
{
    QString help = QStringLiteral(
        "  --mqtt HOST[:PORT]\n"
        "                     the MQTT broker; by default localhost, port 1883 (8883\n"
        "                     with --mqtt-ca); an IPv6 address with a port as\n"
        "                     [ADDRESS]:PORT\n"
        "  --mqtt-user USER   the user name to give the broker\n"
        "  --mqtt-password-file FILE\n"
        "                     the password, the first line of FILE, which must be\n"
        "                     the user's own, unreadable by group and others\n"
        "  --mqtt-ca FILE     connect with TLS and check the broker's certificate\n"
        "                     against the CA certificate in FILE\n");
    if (withPrefix)
        help += QStringLiteral(
            "  --prefix PREFIX    the topics' first levels, as the benches publish them;\n"
            "                     by default velmora\n");
    return help;
}

} // namespace telemetry
