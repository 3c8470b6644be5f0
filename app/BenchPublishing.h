#pragma once

#include "alarms/AlarmRules.h"
#include "session/TickListener.h"
#include "telemetry/MqttSettings.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace telemetry {
class Publisher;
}

namespace app {

/**
 * The window's bench on the MQTT broker: a listener of the polling session that hands what it is
 * told to a telemetry::Publisher while the [Mqtt] section turns publishing on, and holds none
 * (no connection at all) while it is off. What the bench shows beyond single ticks (the limits in
 * force, each alarm rule's state) is kept here too, so that a connection made afresh after a
 * change of settings starts from it.
 *
 * The broker's faults come as problem(), once each, in the window's words around the broker's.
 */
class BenchPublishing : public QObject, public session::TickListener {
    Q_OBJECT

public:
    /** @p runFile: the path of the run file being written, empty when none. */
    explicit BenchPublishing(std::function<QString()> runFile, QObject* parent = nullptr);
    ~BenchPublishing() override;
    BenchPublishing(const BenchPublishing&) = delete;
    BenchPublishing& operator=(const BenchPublishing&) = delete;

    /**
     * Publishes as @p settings say, as the bench on @p portName (unless the settings name it):
     * a connection is made, closed ("offline" said first), or made again when the settings or
     * the bench's name changed. Nothing is waited for but the closing of an old connection.
     */
    void apply(const telemetry::MqttSettings& settings, const QString& portName);
    const telemetry::MqttSettings& settings() const { return m_settings; }
    bool isPublishing() const { return m_publisher != nullptr; }

    /** The regulator's limits in force, as limits.csv tells them before any upload. */
    void setLimits(instrument::RegulatorLimits limits);
    void alarmTransition(const alarms::AlarmEvent& event);
    /** The answer to limitsRequested(). */
    void limitsResult(bool applied, const QString& reason);

    void runBegan(const QDateTime& start) override;
    void tickDone(const session::TickResult& tick) override;
    void runEnded() override;
    void limitsSent(const QDateTime& time, instrument::RegulatorLimits limits,
        runlog::LimitsOutcome outcome) override;

signals:
    /** A fault of the connection or of a command, to be shown once. */
    void problem(const QString& text);
    /** A remote limits command the publisher checked and took. */
    void limitsRequested(instrument::RegulatorLimits limits, const QString& source);

private:
    void close();

    std::function<QString()> m_runFile;
    telemetry::MqttSettings m_settings;
    QString m_bench;
    std::unique_ptr<telemetry::Publisher> m_publisher;
    std::optional<instrument::RegulatorLimits> m_limits;
    std::array<std::optional<alarms::AlarmEvent>, alarms::kRuleCount> m_alarms;
};

} // namespace app
