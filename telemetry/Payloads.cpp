#include "telemetry/Payloads.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

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

constexpr double kLongestElapsedSeconds = 100.0 * 365.25 * 24 * 3600;
constexpr double kHighestLimit = 6553.5;

std::optional<QJsonObject> object(const QByteArray& payload)
{
    if (payload.size() > kMaxPayload)
        return std::nullopt;
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<double> reading(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double degrees = value.toDouble();
    if (!std::isfinite(degrees) || std::abs(degrees) > kReadingRange)
        return std::nullopt;
    return degrees;
}

std::optional<instrument::RegulatorLimits> limitsFrom(const QJsonObject& limits)
{
    std::array<std::uint16_t, 2> tenths {};
    const char* names[] = { "lower", "upper" };
    for (std::size_t i = 0; i < tenths.size(); ++i) {
        const QJsonValue value = limits.value(QLatin1String(names[i]));
        const double degrees = value.toDouble(-1.0);
        if (!value.isDouble() || !(degrees >= 0.0 && degrees <= kHighestLimit))
            return std::nullopt;
        tenths[i] = static_cast<std::uint16_t>(std::lround(degrees * 10.0));
    }
    return instrument::RegulatorLimits { tenths[0], tenths[1] };
}

std::optional<AlarmSummary> alarmFrom(const QJsonObject& alarm)
{
    const QJsonValue state = alarm.value(QStringLiteral("state"));
    const QJsonValue rule = alarm.value(QStringLiteral("rule"));
    if (!state.isString() || !(rule.isString() || rule.isNull() || rule.isUndefined()))
        return std::nullopt;
    AlarmSummary summary;
    if (state.toString() == u"clear")
        return summary;
    alarms::AlarmEventKind kind = alarms::AlarmEventKind::Raised;
    if (state.toString() == u"acknowledged")
        kind = alarms::AlarmEventKind::Acknowledged;
    else if (state.toString() != u"raised")
        return std::nullopt;
    for (std::size_t i = 0; i < alarms::kRuleCount; ++i) {
        const auto which = static_cast<alarms::Rule>(i);
        if (rule.toString() == QLatin1String(alarms::ruleName(which))) {
            alarms::AlarmEvent event;
            event.rule = which;
            event.event = kind;
            summary.take(event);
            return summary;
        }
    }
    return std::nullopt;
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

std::optional<BenchState> parseStatePayload(const QByteArray& payload)
{
    const std::optional<QJsonObject> root = object(payload);
    if (!root)
        return std::nullopt;
    BenchState state;
    const QJsonValue status = root->value(QStringLiteral("status"));
    bool known = false;
    for (const runlog::TickStatus which :
        { runlog::TickStatus::Ok, runlog::TickStatus::NoReply, runlog::TickStatus::ShortReply,
            runlog::TickStatus::WriteFailed, runlog::TickStatus::PortLost }) {
        if (status.isString() && status.toString() == QLatin1String(runlog::statusName(which))) {
            state.status = which;
            known = true;
        }
    }
    const QJsonValue elapsed = root->value(QStringLiteral("elapsed_s"));
    const double seconds = elapsed.toDouble(-1.0);
    if (!known || !elapsed.isDouble() || !(seconds >= 0.0 && seconds <= kLongestElapsedSeconds))
        return std::nullopt;
    state.elapsed = std::chrono::milliseconds(std::llround(seconds * 1000.0));
    const QJsonValue time = root->value(QStringLiteral("time"));
    if (time.isString())
        state.time = QDateTime::fromString(time.toString(), Qt::ISODateWithMs);
    else if (!time.isNull() && !time.isUndefined())
        return std::nullopt;

    const QJsonValue temperature = root->value(QStringLiteral("temperature_C"));
    if (!temperature.isNull() && !temperature.isUndefined()) {
        state.temperature = reading(temperature);
        if (!state.temperature)
            return std::nullopt;
        // A reading belongs to a tick that got one.
        if (state.status != runlog::TickStatus::Ok)
            state.temperature.reset();
    }
    const QJsonValue limits = root->value(QStringLiteral("limits"));
    if (limits.isObject()) {
        state.limits = limitsFrom(limits.toObject());
        if (!state.limits)
            return std::nullopt;
    } else if (!limits.isNull() && !limits.isUndefined()) {
        return std::nullopt;
    }
    const QJsonValue alarm = root->value(QStringLiteral("alarm"));
    if (alarm.isObject()) {
        const std::optional<AlarmSummary> summary = alarmFrom(alarm.toObject());
        if (!summary)
            return std::nullopt;
        state.alarm = *summary;
    } else if (!alarm.isNull() && !alarm.isUndefined()) {
        return std::nullopt;
    }
    const QJsonValue runFile = root->value(QStringLiteral("run_file"));
    if (runFile.isString())
        state.runFile = runFile.toString();
    else if (!runFile.isNull() && !runFile.isUndefined())
        return std::nullopt;
    return state;
}

std::optional<double> parseTemperaturePayload(const QByteArray& payload)
{
    if (payload.isEmpty() || payload.size() > kMaxPayload)
        return std::nullopt;
    bool ok = false;
    const double degrees = payload.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(degrees) || std::abs(degrees) > kReadingRange)
        return std::nullopt;
    return degrees;
}

std::optional<instrument::RegulatorLimits> parseLimitsPayload(const QByteArray& payload)
{
    const std::optional<QJsonObject> root = object(payload);
    return root ? limitsFrom(*root) : std::nullopt;
}

std::optional<AlarmSummary> parseAlarmPayload(const QByteArray& payload)
{
    const std::optional<QJsonObject> root = object(payload);
    return root ? alarmFrom(*root) : std::nullopt;
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
