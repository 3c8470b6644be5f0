#include "lab/Subscriber.h"

#include "telemetry/ClientSetup.h"

#include <QMetaObject>

#include <mosquitto.h>

namespace lab {

namespace {

constexpr int kQos = 1;

Subscriber* subscriberOf(void* self)
{
    return static_cast<Subscriber*>(self);
}

} // namespace

Subscriber::Subscriber(const telemetry::MqttSettings& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_filter(settings.prefix().toUtf8() + "/+/#")
{
}

Subscriber::~Subscriber()
{
    if (m_client == nullptr)
        return;
    m_givenUp = true;
    using Left = telemetry::ConnectionStart::Left;
    const Left left = m_start ? m_start->end() : Left::Stopped;
    if (left == Left::Nothing)
        return;
    if (left == Left::Running) {
        mosquitto_disconnect(m_client);
        // Nothing to say to the broker on the way out: the thread is stopped at once.
        mosquitto_loop_stop(m_client, true);
    }
    mosquitto_destroy(m_client);
}

QString Subscriber::broker() const
{
    return telemetry::brokerName(m_settings);
}

bool Subscriber::isConnected() const
{
    return m_connected.load();
}

bool Subscriber::start()
{
    if (m_client != nullptr)
        return false;
    telemetry::useMosquitto();
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        m_faults.tell(QStringLiteral("MQTT broker %1: the client could not be made").arg(broker()));
        return false;
    }
    if (const std::optional<QString> fault = telemetry::setUpClient(m_client, m_settings)) {
        m_faults.tell(*fault);
        return false;
    }
    mosquitto_connect_callback_set(m_client, &Subscriber::onConnect);
    mosquitto_disconnect_callback_set(m_client, &Subscriber::onDisconnect);
    mosquitto_message_callback_set(m_client, &Subscriber::onMessage);
    mosquitto_log_callback_set(m_client, &Subscriber::onLog);

    m_start = std::make_unique<telemetry::ConnectionStart>(m_client, m_settings, m_faults);
    return true;
}

std::vector<Subscriber::Message> Subscriber::takeMessages()
{
    std::vector<Message> taken;
    const std::lock_guard lock(m_mutex);
    taken.swap(m_queue);
    return taken;
}

void Subscriber::onConnect(mosquitto* client, void* self, int rc)
{
    Subscriber* subscriber = subscriberOf(self);
    if (rc == 0) {
        subscriber->m_connected = true;
        subscriber->m_faults.connected();
        mosquitto_subscribe(client, nullptr, subscriber->m_filter.constData(), kQos);
        QMetaObject::invokeMethod(
            subscriber, [subscriber] { emit subscriber->connected(); }, Qt::QueuedConnection);
        return;
    }
    const telemetry::ClientFault fault = telemetry::connectFault(subscriber->broker(), rc);
    if (fault.final) {
        subscriber->m_givenUp = true;
        mosquitto_disconnect(client);
    }
    subscriber->m_faults.tell(fault);
}

void Subscriber::onDisconnect(mosquitto* /*client*/, void* self, int rc)
{
    Subscriber* subscriber = subscriberOf(self);
    const bool wasConnected = subscriber->m_connected.exchange(false);
    if (subscriber->m_givenUp || rc == MOSQ_ERR_SUCCESS)
        return;
    subscriber->m_faults.tell(telemetry::disconnectFault(subscriber->broker(), rc, wasConnected));
}

void Subscriber::onMessage(mosquitto* /*client*/, void* self, const mosquitto_message* message)
{
    Subscriber* subscriber = subscriberOf(self);
    if (message->topic == nullptr || message->payloadlen < 0)
        return;
    Message taken { QByteArray(message->topic),
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
        message->retain };
    const std::lock_guard lock(subscriber->m_mutex);
    if (subscriber->m_queue.size() < kMaxQueued)
        subscriber->m_queue.push_back(std::move(taken));
}

void Subscriber::onLog(mosquitto* /*client*/, void* self, int level, const char* text)
{
    if (level != MOSQ_LOG_ERR || text == nullptr)
        return;
    Subscriber* subscriber = subscriberOf(self);
    subscriber->m_faults.logged(subscriber->broker(), QString::fromUtf8(text));
}

} // namespace lab
