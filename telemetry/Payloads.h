#pragma once

#include "alarms/AlarmRules.h"
#include "instrument/LimitsUpload.h"
#include "runlog/RunRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <chrono>
#include <optional>

namespace telemetry {

/** The alarm rules' states as the bench tells them: each rule's newest transition. */
class AlarmSummary {
public:
    /** Takes one transition of one rule. */
    void take(const alarms::AlarmEvent& event);
    /** The most pressing state (raised before acknowledged before clear) and its rule. */
    alarms::AlarmState state() const;
    std::optional<alarms::Rule> rule() const;

private:
    std::array<alarms::AlarmState, alarms::kRuleCount> m_states {};
};

/** What the state message tells of one tick. */
struct BenchState {
    QDateTime time;
    std::chrono::milliseconds elapsed { 0 };
    std::optional<double> temperature; ///< only for Ok
    runlog::TickStatus status = runlog::TickStatus::Ok;
    std::optional<instrument::RegulatorLimits> limits; ///< the limits in force, if known
    AlarmSummary alarm;
    QString runFile; ///< the run file's name, empty when none is written
};

/**
 * {"time":"2026-12-08T10:15:00.512+01:00","elapsed_s":12.345,"temperature_C":36.6,
 *  "status":"ok","limits":{"lower":36.5,"upper":36.7},"alarm":{...},"run_file":"..."}
 * time, elapsed, temperature and status as the run file's row has them; temperature_C,
 * limits and run_file are null when absent.
 */
QByteArray statePayload(const BenchState& state);
/** The bare reading with one decimal and ".": "36.6"; empty when not finite. */
QByteArray temperaturePayload(double temperature);
/** {"lower":36.5,"upper":36.7} in degrees. */
QByteArray limitsPayload(instrument::RegulatorLimits limits);
/** {"state":"raised","rule":"high"}; rule null when clear. */
QByteArray alarmPayload(const AlarmSummary& alarm);
/** The largest payload the readers below look at; anything longer is no message of a bench. */
inline constexpr qsizetype kMaxPayload = 4096;

/**
 * The messages read back, as a subscriber gets them from the broker: each is taken only when it
 * is what the function above writes, with every field of its type and in the instrument's range
 * (temperatures within kReadingRange, limits within 0.0 to 6553.5, elapsed time up to a century);
 * anything else (not JSON, a field of another type, a value out of range, a payload longer than
 * kMaxPayload) gives nothing. The state's time may be absent or unreadable (an invalid time).
 */
std::optional<BenchState> parseStatePayload(const QByteArray& payload);
std::optional<double> parseTemperaturePayload(const QByteArray& payload);
std::optional<instrument::RegulatorLimits> parseLimitsPayload(const QByteArray& payload);
std::optional<AlarmSummary> parseAlarmPayload(const QByteArray& payload);
/** The readings a bench may send, in degrees: well beyond any thermometer's. */
inline constexpr double kReadingRange = 100000.0;

/** {"result":"applied"} or {"result":"refused","reason":"..."}. */
QByteArray resultPayload(bool applied, const QString& reason);

} // namespace telemetry
