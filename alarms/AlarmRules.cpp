#include "alarms/AlarmRules.h"

#include <cmath>

namespace alarms {

namespace {

std::int64_t milliseconds(std::optional<double> seconds)
{
    return seconds ? std::llround(*seconds * 1000.0) : 0;
}

} // namespace

QString ruleTitle(Rule rule)
{
    switch (rule) {
    case Rule::High:
        return QStringLiteral("температура выше нормы");
    case Rule::Low:
        return QStringLiteral("температура ниже нормы");
    case Rule::Band:
        return QStringLiteral("температура вне пределов регулятора");
    case Rule::Stale:
        return QStringLiteral("нет показаний");
    }
    return {};
}

const char* ruleName(Rule rule)
{
    switch (rule) {
    case Rule::High:
        return "high";
    case Rule::Low:
        return "low";
    case Rule::Band:
        return "band";
    case Rule::Stale:
        return "stale";
    }
    return "unknown";
}

const char* eventName(AlarmEventKind event)
{
    switch (event) {
    case AlarmEventKind::Raised:
        return "raised";
    case AlarmEventKind::Acknowledged:
        return "acknowledged";
    case AlarmEventKind::Cleared:
        return "cleared";
    case AlarmEventKind::Ended:
        return "ended";
    }
    return "unknown";
}

AlarmRules::AlarmRules(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<alarms::AlarmEvent>();
}

void AlarmRules::setSettings(const AlarmSettings& settings)
{
    m_settings = settings;
    m_delayMs = milliseconds(settings.Delay);
    m_staleMs = milliseconds(settings.Stale);
    for (RuleState& rule : m_rules)
        rule.pending = false;
    // An alarm whose rule is now off would never clear: it ends, as at the end of a run.
    const std::array<bool, kRuleCount> on = { settings.High.has_value(), settings.Low.has_value(),
        settings.Band, settings.Stale.has_value() };
    for (int i = 0; i < kRuleCount; ++i) {
        RuleState& r = m_rules[std::size_t(i)];
        if (r.state == AlarmState::Clear || (settings.Enabled && on[std::size_t(i)]))
            continue;
        r.state = AlarmState::Clear;
        tell(static_cast<Rule>(i), AlarmEventKind::Ended);
    }
}

void AlarmRules::setLimits(std::optional<instrument::RegulatorLimits> limits)
{
    m_limits = limits;
}

void AlarmRules::acknowledge(Rule rule)
{
    RuleState& r = m_rules[index(rule)];
    if (r.state != AlarmState::Raised)
        return;
    r.state = AlarmState::Acknowledged;
    tell(rule, AlarmEventKind::Acknowledged);
}

void AlarmRules::acknowledgeAll()
{
    for (int i = 0; i < kRuleCount; ++i)
        acknowledge(static_cast<Rule>(i));
}

void AlarmRules::runBegan(const QDateTime& start)
{
    m_lastTime = start;
    m_lastGoodMs = 0;
    m_lastReading.reset();
    for (RuleState& rule : m_rules)
        rule.pending = false;
}

void AlarmRules::tickDone(const session::TickResult& tick)
{
    if (!m_settings.Enabled)
        return;
    m_lastTime = tick.time;
    const std::int64_t now = tick.elapsed.count();
    const bool good = tick.outcome == instrument::TickOutcome::Ok && tick.reading.has_value();
    const double hysteresis = m_settings.Hysteresis.value_or(0.0);

    if (m_settings.Stale) {
        if (good) {
            m_lastGoodMs = now;
            m_rules[index(Rule::Stale)].pending = false;
            if (m_rules[index(Rule::Stale)].state != AlarmState::Clear) {
                m_lastReading = tick.reading;
                m_rules[index(Rule::Stale)].state = AlarmState::Clear;
                tell(Rule::Stale, AlarmEventKind::Cleared);
            }
        } else if (now - m_lastGoodMs >= m_staleMs) {
            step(Rule::Stale, true, false, 0.0, now);
        }
    }
    if (!good)
        return;
    const double t = *tick.reading;
    m_lastReading = t;

    if (m_settings.High) {
        const double high = *m_settings.High;
        step(Rule::High, t > high, t <= high - hysteresis, high, now);
    }
    if (m_settings.Low) {
        const double low = *m_settings.Low;
        step(Rule::Low, t < low, t >= low + hysteresis, low, now);
    }
    if (m_settings.Band && m_limits) {
        const double margin = m_settings.Margin.value_or(0.0);
        const double lower = m_limits->lower / 10.0 - margin;
        const double upper = m_limits->upper / 10.0 + margin;
        const bool below = t < lower;
        step(Rule::Band, below || t > upper, t >= lower + hysteresis && t <= upper - hysteresis,
            below ? lower : upper, now);
    }
}

void AlarmRules::step(Rule rule, bool outside, bool inside, double threshold, std::int64_t nowMs)
{
    RuleState& r = m_rules[index(rule)];
    if (!outside) {
        r.pending = false;
        if (inside && r.state != AlarmState::Clear) {
            r.state = AlarmState::Clear;
            tell(rule, AlarmEventKind::Cleared);
        }
        return;
    }
    if (r.state != AlarmState::Clear)
        return;
    if (!r.pending) {
        r.pending = true;
        // Stale holds from the moment the last good reading grew too old, not from this tick.
        r.pendingSinceMs = rule == Rule::Stale ? m_lastGoodMs + m_staleMs : nowMs;
    }
    if (nowMs - r.pendingSinceMs >= m_delayMs) {
        r.pending = false;
        r.state = AlarmState::Raised;
        r.threshold = threshold;
        tell(rule, AlarmEventKind::Raised);
    }
}

void AlarmRules::runEnded()
{
    for (int i = 0; i < kRuleCount; ++i) {
        RuleState& r = m_rules[std::size_t(i)];
        r.pending = false;
        if (r.state == AlarmState::Clear)
            continue;
        r.state = AlarmState::Clear;
        tell(static_cast<Rule>(i), AlarmEventKind::Ended);
    }
}

void AlarmRules::limitsSent(
    const QDateTime& /*time*/, instrument::RegulatorLimits limits, runlog::LimitsOutcome outcome)
{
    // A failed upload leaves the regulator with the limits it had.
    if (outcome == runlog::LimitsOutcome::Sent)
        m_limits = limits;
}

void AlarmRules::tell(Rule rule, AlarmEventKind event)
{
    AlarmEvent e;
    e.rule = rule;
    e.event = event;
    e.time = m_lastTime;
    e.temperature = m_lastReading;
    if (rule != Rule::Stale)
        e.threshold = m_rules[index(rule)].threshold;
    emit transition(e);
}

} // namespace alarms
