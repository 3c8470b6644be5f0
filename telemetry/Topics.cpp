#include "telemetry/Topics.h"

#include "platform/SerialPort.h"
#include "telemetry/MqttSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace telemetry {

namespace {

QString safeName(const QString& text)
{
    QString name;
    name.reserve(text.size());
    for (const QChar c : text) {
        const bool keep = (c.unicode() < 128 && c.isLetterOrNumber()) || c == u'-' || c == u'_';
        name += keep ? c : QChar(u'-');
    }
    return name;
}

} // namespace

QString benchName(const QString& hostName, const QString& portPath)
{
    const QString port = portPath.mid(portPath.lastIndexOf(u'/') + 1);
    QString name = safeName(hostName);
    if (!name.isEmpty() && !port.isEmpty())
        name += u'-';
    name += safeName(port);
    if (name.isEmpty())
        return QStringLiteral("bench");
    return name.left(kMaxBenchName);
}

QString localBenchName(const QString& portName)
{
    return benchName(QSysInfo::machineHostName(), platform::serialDevicePath(portName));
}

Topics::Topics(const QString& prefix, const QString& bench)
    : m_prefix(prefix.isEmpty() ? QString::fromLatin1(kDefaultPrefix) : prefix)
    , m_bench(bench)
{
}

QByteArray Topics::topic(Topic which) const
{
    const char* leaf = "status";
    switch (which) {
    case Topic::Status:
        break;
    case Topic::Temperature:
        leaf = "temperature";
        break;
    case Topic::State:
        leaf = "state";
        break;
    case Topic::Limits:
        leaf = "limits";
        break;
    case Topic::Alarm:
        leaf = "alarm";
        break;
    case Topic::LimitsSet:
        leaf = "limits/set";
        break;
    case Topic::LimitsResult:
        leaf = "limits/result";
        break;
    }
    return (m_prefix + u'/' + m_bench + u'/').toUtf8() + leaf;
}

std::vector<Topics::Message> Topics::discovery() const
{
    // The unique id keeps the prefix, so two labs' benches of the same name on one broker stay
    // two devices.
    const QString unique = QString(m_prefix).replace(u'/', u'_') + u'_' + m_bench;
    const QJsonObject device {
        { QStringLiteral("identifiers"), QJsonArray { unique } },
        { QStringLiteral("name"), m_bench },
        { QStringLiteral("manufacturer"), QStringLiteral("Velmora Thermo") },
    };
    const auto sensor = [&](const QString& id, const QString& name) {
        return QJsonObject {
            { QStringLiteral("unique_id"), id },
            { QStringLiteral("object_id"), id },
            { QStringLiteral("name"), name },
            { QStringLiteral("availability_topic"), QString::fromUtf8(topic(Topic::Status)) },
            { QStringLiteral("payload_available"), QStringLiteral("online") },
            { QStringLiteral("payload_not_available"), QStringLiteral("offline") },
            { QStringLiteral("device"), device },
        };
    };
    const QString temperatureId = unique + QStringLiteral("_temperature");
    QJsonObject temperature = sensor(temperatureId, QStringLiteral("Temperature"));
    temperature.insert(QStringLiteral("state_topic"), QString::fromUtf8(topic(Topic::Temperature)));
    temperature.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("°C"));
    temperature.insert(QStringLiteral("device_class"), QStringLiteral("temperature"));
    temperature.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));

    const QString statusId = unique + QStringLiteral("_status");
    QJsonObject status = sensor(statusId, QStringLiteral("Status"));
    status.insert(QStringLiteral("state_topic"), QString::fromUtf8(topic(Topic::State)));
    status.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.status }}"));
    status.insert(QStringLiteral("json_attributes_topic"), QString::fromUtf8(topic(Topic::State)));

    const auto config = [](const QString& id) {
        return QByteArray("homeassistant/sensor/") + id.toUtf8() + "/config";
    };
    return {
        { config(temperatureId), QJsonDocument(temperature).toJson(QJsonDocument::Compact) },
        { config(statusId), QJsonDocument(status).toJson(QJsonDocument::Compact) },
    };
}

} // namespace telemetry
