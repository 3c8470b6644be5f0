#include "telemetry/ConnectionStart.h"

#include "telemetry/ClientSetup.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <system_error>
#include <thread>

namespace telemetry {

struct ConnectionStart::Shared {
    enum class State { Connecting, Running, Stopped, Abandoned };
    explicit Shared(mosquitto* started)
        : client(started)
    {
    }
    mosquitto* const client;
    std::mutex mutex;
    State state = State::Connecting;
};

namespace {

// The first attempt, on the start's own thread: the look-up, the socket's connect begun and
// CONNECT queued. Returns the fault to tell, or an empty text.
QString firstAttempt(mosquitto* client, const QByteArray& host, int port, const QString& broker)
{
    // Threaded for the attempt's length: libmosquitto then queues CONNECT instead of writing it.
    mosquitto_threaded_set(client, true);
    const int rc = mosquitto_connect_async(client, host.constData(), port, kKeepAliveSeconds);
    const int error = errno;
    mosquitto_threaded_set(client, false);
    if (rc == MOSQ_ERR_SUCCESS)
        return {};
    const QString why = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(error))
                                             : QString::fromUtf8(mosquitto_strerror(rc));
    return QStringLiteral("MQTT broker %1 not reachable: %2; trying again").arg(broker, why);
}

} // namespace

ConnectionStart::ConnectionStart(
    mosquitto* client, const MqttSettings& settings, FaultTeller& faults)
    : m_shared(std::make_shared<Shared>(client))
{
    try {
        std::thread([shared = m_shared, client, host = settings.host().toUtf8(),
                        port = settings.port(), broker = brokerName(settings), teller = &faults] {
            const QString fault = firstAttempt(client, host, port, broker);
            const std::lock_guard lock(shared->mutex);
            if (shared->state == Shared::State::Abandoned) {
                // Its owner is gone: no callback may run, and the client is this thread's to close.
                mosquitto_destroy(client);
                return;
            }
            if (!fault.isEmpty())
                teller->tellOnce(fault);
            if (const int rc = mosquitto_loop_start(client); rc != MOSQ_ERR_SUCCESS) {
                teller->tell(QStringLiteral("MQTT broker %1: the network thread did not start: %2")
                                 .arg(broker, QString::fromUtf8(mosquitto_strerror(rc))));
                shared->state = Shared::State::Stopped;
                return;
            }
            shared->state = Shared::State::Running;
        }).detach();
    } catch (const std::system_error& error) {
        m_shared->state = Shared::State::Stopped;
        faults.tell(QStringLiteral("MQTT broker %1: the connection could not be started: %2")
                        .arg(brokerName(settings), QString::fromLocal8Bit(error.what())));
    }
}

ConnectionStart::~ConnectionStart() = default;

ConnectionStart::Left ConnectionStart::end()
{
    const std::lock_guard lock(m_shared->mutex);
    switch (m_shared->state) {
    case Shared::State::Connecting: {
        m_shared->state = Shared::State::Abandoned;
        // The attempt goes on without its owner, and may still log, or fail: from here on it
        // calls nothing of the owner's (each of these waits for a call under way to return).
        mosquitto* client = m_shared->client;
        mosquitto_log_callback_set(client, nullptr);
        mosquitto_connect_callback_set(client, nullptr);
        mosquitto_disconnect_callback_set(client, nullptr);
        mosquitto_message_callback_set(client, nullptr);
        return Left::Nothing;
    }
    case Shared::State::Running:
        return Left::Running;
    case Shared::State::Stopped:
    case Shared::State::Abandoned:
        break;
    }
    return Left::Stopped;
}

} // namespace telemetry
