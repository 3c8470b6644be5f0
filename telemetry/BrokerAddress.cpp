#include "telemetry/BrokerAddress.h"

namespace telemetry {

std::variant<BrokerAddress, MqttRefusal> parseBrokerAddress(const QString& text)
{
    const QString value = text.trimmed();
    QString host = value;
    QString port;
    if (value.startsWith(u'[')) {
        const qsizetype close = value.indexOf(u']');
        if (close < 0)
            return MqttRefusal { QStringLiteral("нет закрывающей «]»") };
        host = value.mid(1, close - 1);
        const QString rest = value.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return MqttRefusal { QStringLiteral("после «]» ожидается «:порт»") };
        if (!rest.isEmpty()) {
            port = rest.mid(1);
            if (port.isEmpty())
                return MqttRefusal { QStringLiteral("порт не указан") };
        }
    } else if (value.count(u':') == 1) {
        const qsizetype colon = value.indexOf(u':');
        host = value.left(colon);
        port = value.mid(colon + 1);
        if (port.isEmpty())
            return MqttRefusal { QStringLiteral("порт не указан") };
    }
    if (host.trimmed().isEmpty())
        return MqttRefusal { QStringLiteral("имя узла не указано") };

    BrokerAddress address;
    const ParsedMqttValue parsedHost = parseMqttValue(host, MqttValue::Host);
    if (const auto* refused = std::get_if<MqttRefusal>(&parsedHost))
        return *refused;
    address.host = std::get<QString>(parsedHost);
    if (!port.isEmpty()) {
        const ParsedMqttValue parsedPort = parseMqttValue(port, MqttValue::Port);
        if (const auto* refused = std::get_if<MqttRefusal>(&parsedPort))
            return *refused;
        address.port = std::get<QString>(parsedPort).toInt();
    }
    return address;
}

} // namespace telemetry
