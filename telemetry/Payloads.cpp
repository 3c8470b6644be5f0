#include "telemetry/Payloads.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace telemetry {

namespace {

constexpr std::size_t at(alarms::Rule rule)
{
    return static_cast<std::size_t>(rule);
}

// One decimal, as the instrument and the run file give it.
double tenth(double value)
{
    return std::round(value * 10.0) / 10.0;
}

QJsonObject limitsObject(instrument::RegulatorLimits limits)
{
    return { { QStringLiteral("lower"), limits.lower / 10.0 },
        { QStringLiteral("upper"), limits.upper / 10.0 } };
}

QJsonObject alarmObject(const AlarmSummary& alarm)
{
    const char* state = "clear";
    switch (alarm.state()) {
    case alarms::AlarmState::Clear:
        break;
    case alarms::AlarmState::Raised:
        state = "raised";
        break;
    case alarms::AlarmState::Acknowledged:
        state = "acknowledged";
        break;
    }
    const std::optional<alarms::Rule> rule = alarm.rule();
    return { { QStringLiteral("state"), QLatin1String(state) },
        { QStringLiteral("rule"),
            rule ? QJsonValue(QLatin1String(alarms::ruleName(*rule))) : QJsonValue() } };
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

void AlarmSummary::take(const alarms::AlarmEvent& event)
{
    alarms::AlarmState& state = m_states[at(event.rule)];
    switch (event.event) {
    case alarms::AlarmEventKind::Raised:
        state = alarms::AlarmState::Raised;
        break;
    case alarms::AlarmEventKind::Acknowledged:
        state = alarms::AlarmState::Acknowledged;
        break;
    case alarms::AlarmEventKind::Cleared:
    case alarms::AlarmEventKind::Ended:
        state = alarms::AlarmState::Clear;
        break;
    }
}

alarms::AlarmState AlarmSummary::state() const
{
    const std::optional<alarms::Rule> worst = rule();
    return worst ? m_states[at(*worst)] : alarms::AlarmState::Clear;
}

std::optional<alarms::Rule> AlarmSummary::rule() const
{
    for (const alarms::AlarmState wanted :
        { alarms::AlarmState::Raised, alarms::AlarmState::Acknowledged }) {
        for (std::size_t i = 0; i < m_states.size(); ++i) {
            if (m_states[i] == wanted)
                return static_cast<alarms::Rule>(i);
        }
    }
    return std::nullopt;
}

QByteArray statePayload(const BenchState& s)
{
    const bool reading
        = s.status == runlog::TickStatus::Ok && s.temperature && std::isfinite(*s.temperature);
    return compact({
        { QStringLiteral("time"), QString::fromLatin1(runlog::timeText(s.time)) },
        { QStringLiteral("elapsed_s"), static_cast<double>(s.elapsed.count()) / 1000.0 },
        { QStringLiteral("temperature_C"),
            reading ? QJsonValue(tenth(*s.temperature)) : QJsonValue() },
        { QStringLiteral("status"), QLatin1String(runlog::statusName(s.status)) },
        { QStringLiteral("limits"), s.limits ? QJsonValue(limitsObject(*s.limits)) : QJsonValue() },
        { QStringLiteral("alarm"), alarmObject(s.alarm) },
        { QStringLiteral("run_file"), s.runFile.isEmpty() ? QJsonValue() : QJsonValue(s.runFile) },
    });
}

QByteArray temperaturePayload(double temperature)
{
    if (!std::isfinite(temperature))
        return {};
    return QByteArray::number(tenth(temperature), 'f', 1);
}

QByteArray limitsPayload(instrument::RegulatorLimits limits)
{
    return compact(limitsObject(limits));
}

QByteArray alarmPayload(const AlarmSummary& alarm)
{
    return compact(alarmObject(alarm));
}

QByteArray resultPayload(bool applied, const QString& reason)
{
    QJsonObject result { { QStringLiteral("result"),
        applied ? QStringLiteral("applied") : QStringLiteral("refused") } };
    if (!applied)
        result.insert(QStringLiteral("reason"), reason);
    return compact(result);
}

} // namespace telemetry
