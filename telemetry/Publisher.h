#pragma once

#include "alarms/AlarmRules.h"
#include "session/TickListener.h"
#include "telemetry/ClientSetup.h"
#include "telemetry/ConnectionStart.h"
#include "telemetry/FaultTeller.h"
#include "telemetry/MqttSettings.h"
#include "telemetry/Payloads.h"
#include "telemetry/Topics.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

struct mosquitto;
struct mosquitto_message;

namespace telemetry {

/**
 * Publishes one bench to an MQTT broker: a listener of the polling session whose network runs
 * on libmosquitto's own thread. A tick only formats its messages and hands them over; while
 * the broker is away only the newest state, temperature, limits and alarm are kept, and they
 * are sent again, retained, on every connection, with "online" on <prefix>/<bench>/status
 * ("offline" is the connection's last will, so a bench that dies turns offline by itself).
 *
 * Faults come back once each through problem(), naming the broker as host:port: the broker
 * not reachable (connected again with a delay growing up to a minute), the connection lost
 * (connected() again once it is back), the user name or password refused and a certificate
 * that does not match (both end the attempts: retrying cannot mend them), a password file
 * refused (no connection is made), a remote limits command refused.
 */
class Publisher : public QObject, public session::TickListener {
    Q_OBJECT

public:
    /** @p bench: the topic level of this bench (settings.Bench, else benchName()). */
    Publisher(const MqttSettings& settings, const QString& bench, QObject* parent = nullptr);
    /** Says "offline" and disconnects when connected; stops the network thread. */
    ~Publisher() override;
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    /**
     * Reads the password file, sets the connection up and starts connecting in the background.
     * False, with problem() told, when it cannot even start: the password file or CA file is
     * refused, or libmosquitto refused the settings. Call once.
     */
    bool start();
    bool isConnected() const;
    const Topics& topics() const { return m_topics; }
    /** The socket of the broker connection, -1 when there is none (for tests that cut it). */
    int socketDescriptor() const;

    /** The name of the run file the state message names; empty: none. */
    void setRunFile(const QString& name);

    void tickDone(const session::TickResult& tick) override;
    void limitsSent(const QDateTime& time, instrument::RegulatorLimits limits,
        runlog::LimitsOutcome outcome) override;

public slots:
    /** One alarm transition: the alarm topic and the state's alarm follow it. */
    void alarmTransition(const alarms::AlarmEvent& event);
    /** The caller's answer to limitsRequested(): published on <prefix>/<bench>/limits/result. */
    void limitsResult(bool applied, const QString& reason);

signals:
    /** Connected to the broker (again), everything retained sent again. */
    void connected();
    /** A fault, in English, naming the broker; told once until the next connection. */
    void problem(const QString& text);
    /** A valid remote limits command, delivered on this object's thread. */
    void limitsRequested(instrument::RegulatorLimits limits, const QString& source);

private:
    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* client, void* self, int level, const char* text);

    void connectedNow();
    void command(const QByteArray& payload);
    // Answers a command refused, and tells of it.
    void refuse(const QString& reason);
    // Hands one message to libmosquitto; m_mutex held, connected.
    void send(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);
    void sendDiscovery();
    QString broker() const;

    const MqttSettings m_settings;
    const Topics m_topics;
    // Each topic's name, made once: the tick path only looks them up.
    std::array<QByteArray, kTopicCount> m_names;
    const QByteArray& name(Topic which) const { return m_names[static_cast<std::size_t>(which)]; }
    mosquitto* m_client = nullptr;
    std::unique_ptr<ConnectionStart> m_start;
    // Faults told; libmosquitto's log callback tells from inside calls made under m_mutex, so
    // the teller keeps its own state.
    FaultTeller m_faults { this, [this](const QString& text) { emit problem(text); } };

    BenchState m_bench; // the session's thread only

    mutable std::mutex m_mutex; // guards what follows, shared with the network thread
    bool m_connected = false;
    bool m_givenUp = false;
    bool m_disconnected = false; // the network thread told of the connection's end
    std::condition_variable m_ended;
    QByteArray m_state;
    QByteArray m_temperature;
    QByteArray m_limits;
    QByteArray m_alarm;

    // libmosquitto logs from inside the calls made under m_mutex: its own lock.
    std::mutex m_errorMutex;
    QString m_lastError; // the last error libmosquitto logged
};

} // namespace telemetry
