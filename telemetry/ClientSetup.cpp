#include "telemetry/ClientSetup.h"

#include "platform/PrivateFile.h"

#include <QFile>

#include <mosquitto.h>

namespace telemetry {

namespace {

constexpr int kBadUserOrPassword = 4; // CONNACK return codes
constexpr int kNotAuthorised = 5;
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLastRetrySeconds = 60;

} // namespace

void useMosquitto()
{
    struct Library {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
        Library(const Library&) = delete;
        Library& operator=(const Library&) = delete;
    };
    static const Library library;
}

QString brokerName(const MqttSettings& settings)
{
    return QStringLiteral("%1:%2").arg(settings.host()).arg(settings.port());
}

std::optional<QString> setUpClient(mosquitto* client, const MqttSettings& settings)
{
    const QString broker = brokerName(settings);
    QByteArray password;
    if (!settings.PasswordFile.isEmpty()) {
        auto read = platform::readPrivateFile(settings.PasswordFile);
        if (const auto* refused = std::get_if<platform::PrivateFileRefusal>(&read))
            return QStringLiteral("MQTT broker %1: password file refused: %2; not connecting")
                .arg(broker, refused->reason);
        password = std::get<QByteArray>(std::move(read));
    }
    const QByteArray user = settings.User.toUtf8();
    int rc = MOSQ_ERR_SUCCESS;
    if (!user.isEmpty() || !password.isEmpty())
        rc = mosquitto_username_pw_set(client, user.isEmpty() ? nullptr : user.constData(),
            password.isEmpty() ? nullptr : password.constData());
    password.fill('\0');
    if (rc == MOSQ_ERR_SUCCESS && settings.tls()) {
        rc = mosquitto_tls_set(client, QFile::encodeName(settings.CaFile).constData(), nullptr,
            nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("MQTT broker %1: CA file %2 refused: %3; not connecting")
                .arg(broker, settings.CaFile, QString::fromUtf8(mosquitto_strerror(rc)));
    }
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_reconnect_delay_set(client, kFirstRetrySeconds, kLastRetrySeconds, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return QStringLiteral("MQTT broker %1: %2; not connecting")
            .arg(broker, QString::fromUtf8(mosquitto_strerror(rc)));
    return std::nullopt;
}

ClientFault connectFault(const QString& broker, int rc)
{
    const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
    if (rc == kBadUserOrPassword || rc == kNotAuthorised)
        return { QStringLiteral("MQTT broker %1 refused the connection: %2; not trying again")
                     .arg(broker, why),
            true };
    return {
        QStringLiteral("MQTT broker %1 refused the connection: %2; trying again").arg(broker, why),
        false
    };
}

ClientFault disconnectFault(
    const QString& broker, int rc, bool wasConnected, const QString& lastError)
{
    if (rc == MOSQ_ERR_TLS)
        return { QStringLiteral("MQTT broker %1: TLS failed (%2); not trying again")
                     .arg(broker,
                         lastError.isEmpty() ? QStringLiteral("certificate refused") : lastError),
            true };
    if (wasConnected)
        return { QStringLiteral("MQTT broker %1: connection lost; connecting again").arg(broker),
            false };
    return { QStringLiteral("MQTT broker %1 not reachable: %2; trying again")
                 .arg(broker, QString::fromUtf8(mosquitto_strerror(rc))),
        false };
}

} // namespace telemetry
