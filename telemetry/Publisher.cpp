#include "telemetry/Publisher.h"

#include "runlog/TickOutcomeStatus.h"
#include "telemetry/ClientSetup.h"
#include "telemetry/LimitsCommand.h"

#include <QMetaObject>

#include <mosquitto.h>

namespace telemetry {

namespace {

// How long closing waits for the broker to take "offline" and the disconnect.
constexpr std::chrono::seconds kDisconnectBound { 2 };
constexpr int kStateQos = 0; // live data: the newest one is kept and sent again anyway
constexpr int kRetainedQos = 1; // status, limits, alarm: rare, and each one matters
// CONNACK codes of MQTT 3.1.1 that no retry can mend.

Publisher* publisherOf(void* self)
{
    return static_cast<Publisher*>(self);
}

} // namespace

Publisher::Publisher(const MqttSettings& settings, const QString& bench, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_topics(settings.prefix(), bench)
{
    for (std::size_t i = 0; i < m_names.size(); ++i)
        m_names[i] = m_topics.topic(static_cast<Topic>(i));
}

Publisher::~Publisher()
{
    if (m_client == nullptr)
        return;
    bool wasConnected = false;
    {
        const std::lock_guard lock(m_mutex);
        wasConnected = m_connected;
        // QoS 0: an acknowledgement coming back after the socket closed would reset the
        // connection and could cost the broker the disconnect (the will would say it again).
        if (m_connected)
            send(name(Topic::Status), "offline", kStateQos, true);
        m_connected = false;
        m_givenUp = true;
    }
    const ConnectionStart::Left left = m_start ? m_start->end() : ConnectionStart::Left::Stopped;
    if (left == ConnectionStart::Left::Nothing)
        return;
    if (left == ConnectionStart::Left::Running) {
        // A clean disconnect lets the loop write "offline" and end by itself; a broker that does
        // not take it within the bound, or no connection at all, and the thread is stopped.
        bool ended = false;
        if (wasConnected && mosquitto_disconnect(m_client) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(m_mutex);
            ended = m_ended.wait_for(lock, kDisconnectBound, [this] { return m_disconnected; });
        }
        mosquitto_loop_stop(m_client, !ended);
    }
    mosquitto_destroy(m_client);
}

QString Publisher::broker() const
{
    return brokerName(m_settings);
}

bool Publisher::start()
{
    if (m_client != nullptr)
        return false;
    useMosquitto();
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        m_faults.tell(QStringLiteral("MQTT broker %1: the client could not be made").arg(broker()));
        return false;
    }
    const QByteArray status = name(Topic::Status);
    if (const int rc
        = mosquitto_will_set(m_client, status.constData(), 7, "offline", kRetainedQos, true);
        rc != MOSQ_ERR_SUCCESS) {
        m_faults.tell(QStringLiteral("MQTT broker %1: %2; not connecting")
                          .arg(broker(), QString::fromUtf8(mosquitto_strerror(rc))));
        return false;
    }
    if (const std::optional<QString> fault = setUpClient(m_client, m_settings)) {
        m_faults.tell(*fault);
        return false;
    }
    mosquitto_connect_callback_set(m_client, &Publisher::onConnect);
    mosquitto_disconnect_callback_set(m_client, &Publisher::onDisconnect);
    mosquitto_message_callback_set(m_client, &Publisher::onMessage);
    mosquitto_log_callback_set(m_client, &Publisher::onLog);

    m_start = std::make_unique<ConnectionStart>(m_client, m_settings, m_faults);
    return true;
}

bool Publisher::isConnected() const
{
    const std::lock_guard lock(m_mutex);
    return m_connected;
}

int Publisher::socketDescriptor() const
{
    return m_client != nullptr ? mosquitto_socket(m_client) : -1;
}

void Publisher::setRunFile(const QString& name)
{
    m_bench.runFile = name;
}

void Publisher::send(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    mosquitto_publish(m_client, nullptr, topic.constData(), static_cast<int>(payload.size()),
        payload.constData(), qos, retain);
}

void Publisher::tickDone(const session::TickResult& tick)
{
    m_bench.time = tick.time;
    m_bench.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(tick.elapsed);
    m_bench.status = runlog::tickStatus(tick.outcome);
    m_bench.temperature = m_bench.status == runlog::TickStatus::Ok ? tick.reading : std::nullopt;
    QByteArray state = statePayload(m_bench);
    QByteArray temperature
        = m_bench.temperature ? temperaturePayload(*m_bench.temperature) : QByteArray();

    const std::lock_guard lock(m_mutex);
    m_state = std::move(state);
    if (!temperature.isEmpty())
        m_temperature = std::move(temperature);
    if (!m_connected)
        return;
    send(name(Topic::State), m_state, kStateQos, true);
    if (m_bench.temperature && !m_temperature.isEmpty())
        send(name(Topic::Temperature), m_temperature, kStateQos, true);
}

void Publisher::limitsSent(
    const QDateTime& /*time*/, instrument::RegulatorLimits limits, runlog::LimitsOutcome outcome)
{
    if (outcome != runlog::LimitsOutcome::Sent)
        return;
    m_bench.limits = limits;
    QByteArray payload = limitsPayload(limits);
    const std::lock_guard lock(m_mutex);
    m_limits = std::move(payload);
    if (m_connected)
        send(name(Topic::Limits), m_limits, kRetainedQos, true);
}

void Publisher::alarmTransition(const alarms::AlarmEvent& event)
{
    m_bench.alarm.take(event);
    QByteArray payload = alarmPayload(m_bench.alarm);
    const std::lock_guard lock(m_mutex);
    if (payload == m_alarm)
        return;
    m_alarm = std::move(payload);
    if (m_connected)
        send(name(Topic::Alarm), m_alarm, kRetainedQos, true);
}

void Publisher::limitsResult(bool applied, const QString& reason)
{
    const std::lock_guard lock(m_mutex);
    if (m_connected)
        send(name(Topic::LimitsResult), resultPayload(applied, reason), kRetainedQos, false);
}

void Publisher::sendDiscovery()
{
    for (const Topics::Message& message : m_topics.discovery())
        send(message.topic, message.payload, kRetainedQos, true);
}

void Publisher::connectedNow()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_givenUp)
            return;
        m_connected = true;
        m_disconnected = false;
        m_faults.connected();
        // Subscriptions first: once "online" is seen, the bench already listens.
        if (m_settings.Discovery)
            mosquitto_subscribe(m_client, nullptr, kHomeAssistantStatus, kRetainedQos);
        if (m_settings.RemoteLimits)
            mosquitto_subscribe(
                m_client, nullptr, name(Topic::LimitsSet).constData(), kRetainedQos);
        send(name(Topic::Status), "online", kRetainedQos, true);
        if (m_settings.Discovery)
            sendDiscovery();
        const std::pair<Topic, const QByteArray*> kept[]
            = { { Topic::State, &m_state }, { Topic::Temperature, &m_temperature },
                  { Topic::Limits, &m_limits }, { Topic::Alarm, &m_alarm } };
        for (const auto& [topic, payload] : kept) {
            if (!payload->isEmpty())
                send(name(topic), *payload,
                    topic == Topic::State || topic == Topic::Temperature ? kStateQos : kRetainedQos,
                    true);
        }
    }
    QMetaObject::invokeMethod(
        this, [this] { emit connected(); }, Qt::QueuedConnection);
}

void Publisher::onConnect(mosquitto* client, void* self, int rc)
{
    Publisher* publisher = publisherOf(self);
    if (rc == 0) {
        publisher->connectedNow();
        return;
    }
    const ClientFault fault = connectFault(publisher->broker(), rc);
    if (fault.final) {
        {
            const std::lock_guard lock(publisher->m_mutex);
            publisher->m_givenUp = true;
        }
        mosquitto_disconnect(client);
    }
    publisher->m_faults.tell(fault);
}

void Publisher::onDisconnect(mosquitto* /*client*/, void* self, int rc)
{
    Publisher* publisher = publisherOf(self);
    bool wasConnected = false;
    {
        const std::lock_guard lock(publisher->m_mutex);
        wasConnected = publisher->m_connected;
        publisher->m_connected = false;
        publisher->m_disconnected = true;
        publisher->m_ended.notify_all();
        if (publisher->m_givenUp || rc == MOSQ_ERR_SUCCESS)
            return;
    }
    QString lastError;
    {
        const std::lock_guard lock(publisher->m_errorMutex);
        lastError = publisher->m_lastError;
    }
    publisher->m_faults.tell(disconnectFault(publisher->broker(), rc, wasConnected, lastError));
}

void Publisher::onMessage(mosquitto* /*client*/, void* self, const mosquitto_message* message)
{
    Publisher* publisher = publisherOf(self);
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    if (topic == kHomeAssistantStatus) {
        if (payload == "online") {
            const std::lock_guard lock(publisher->m_mutex);
            if (publisher->m_connected)
                publisher->sendDiscovery();
        }
        return;
    }
    if (topic != publisher->name(Topic::LimitsSet))
        return;
    // A retained command is an old one the broker replays: never act on it. Its sender hears
    // why, lest it take the command for applied; the bench's user is not told, since the broker
    // replays it at every connection until its sender clears it.
    if (message->retain)
        publisher->limitsResult(
            false, QStringLiteral("retained: a command is taken only as it is sent"));
    else
        publisher->command(payload);
}

void Publisher::refuse(const QString& reason)
{
    limitsResult(false, reason);
    m_faults.tell(
        QStringLiteral("MQTT broker %1: remote limits command refused: %2").arg(broker(), reason));
}

void Publisher::command(const QByteArray& payload)
{
    const auto parsed = parseLimitsCommand(payload);
    if (const auto* refused = std::get_if<CommandRefusal>(&parsed)) {
        refuse(refused->reason);
        return;
    }
    const instrument::RegulatorLimits limits = std::get<instrument::RegulatorLimits>(parsed);
    QMetaObject::invokeMethod(
        this, [this, limits] { emit limitsRequested(limits, QStringLiteral("mqtt")); },
        Qt::QueuedConnection);
}

void Publisher::onLog(mosquitto* /*client*/, void* self, int level, const char* text)
{
    if (level != MOSQ_LOG_ERR || text == nullptr)
        return;
    Publisher* publisher = publisherOf(self);
    const QString error = QString::fromUtf8(text);
    {
        const std::lock_guard lock(publisher->m_errorMutex);
        publisher->m_lastError = error;
    }
    publisher->m_faults.logged(publisher->broker(), error);
}

} // namespace telemetry
