#pragma once

#include "telemetry/ClientSetup.h"
#include "telemetry/ConnectionStart.h"
#include "telemetry/FaultTeller.h"
#include "telemetry/MqttSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace lab {

/**
 * Listens to every bench under a prefix: subscribes to <prefix>/+/# on an MQTT broker, with the
 * network on libmosquitto's own thread. Messages are queued there and taken by the owner in
 * batches (takeMessages()), so a burst of them costs the owner's thread one pass, not one event
 * each. Connects again with a delay growing from one second up to a minute.
 *
 * Faults come back once each through problem(), naming the broker as host:port, until the next
 * connection: the broker not reachable, the connection lost, the user name or password refused
 * and a certificate that does not match (both end the attempts: retrying cannot mend them), a
 * password file or CA file refused (no connection is made).
 */
class Subscriber : public QObject {
    Q_OBJECT

public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retained = false;
    };
    /** Messages queued at most while the owner does not take them; newer ones are dropped. */
    static constexpr std::size_t kMaxQueued = 100'000;

    explicit Subscriber(const telemetry::MqttSettings& settings, QObject* parent = nullptr);
    ~Subscriber() override;
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    /** Reads the password file and starts connecting in the background; false, with problem()
     *  told, when it cannot even start. Call once. */
    bool start();
    /** The messages received since the last call, oldest first. */
    std::vector<Message> takeMessages();
    bool isConnected() const;
    /** "host:port" */
    QString broker() const;

signals:
    void connected();
    /** A fault, in English, naming the broker; told once until the next connection. */
    void problem(const QString& text);

private:
    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* client, void* self, int level, const char* text);

    const telemetry::MqttSettings m_settings;
    const QByteArray m_filter;
    mosquitto* m_client = nullptr;
    std::unique_ptr<telemetry::ConnectionStart> m_start;
    telemetry::FaultTeller m_faults { this, [this](const QString& text) { emit problem(text); } };
    std::atomic<bool> m_givenUp { false };
    std::atomic<bool> m_connected { false };

    std::mutex m_mutex; // guards the queue, shared with the network thread
    std::vector<Message> m_queue;
};

} // namespace lab
