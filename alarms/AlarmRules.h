#pragma once

#include "alarms/AlarmSettings.h"
#include "session/TickListener.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <optional>

namespace alarms {

enum class Rule { High, Low, Band, Stale };
inline constexpr int kRuleCount = 4;
/** "high", "low", "band", "stale" */
const char* ruleName(Rule rule);
/** What the rule watches for, as the window says it: "температура выше нормы", "нет показаний". */
QString ruleTitle(Rule rule);

enum class AlarmState { Clear, Raised, Acknowledged };

enum class AlarmEventKind { Raised, Acknowledged, Cleared, Ended };
/** "raised", "acknowledged", "cleared", "ended" */
const char* eventName(AlarmEventKind event);

/** One transition of one rule. */
struct AlarmEvent {
    Rule rule = Rule::High;
    AlarmEventKind event = AlarmEventKind::Raised;
    QDateTime time; ///< the time of the tick that made it (the last tick for acknowledged, ended)
    std::optional<double> temperature; ///< the last good reading, if any
    std::optional<double> threshold; ///< °C the reading was held against; none for stale
};

/**
 * The alarm rules, fed by the polling session. Each rule raises once its condition has held
 * for Delay seconds of the ticks' own elapsed time, stays raised (or acknowledged) until the
 * reading is back inside by Hysteresis degrees (stale: until the next good reading), and tells
 * only its transitions. The tick path neither allocates nor touches the disk.
 */
class AlarmRules : public QObject, public session::TickListener {
    Q_OBJECT

public:
    explicit AlarmRules(QObject* parent = nullptr);

    /** The rules in force; states are kept, pending conditions start over. */
    void setSettings(const AlarmSettings& settings);
    /** The regulator's limits in force (the last sent upload), or none known. */
    void setLimits(std::optional<instrument::RegulatorLimits> limits);
    /** Whether the band rule has limits to work with. */
    bool bandActive() const { return m_limits.has_value(); }

    AlarmState state(Rule rule) const { return m_rules[index(rule)].state; }
    /** A raised alarm is acknowledged: it stays until it clears, but no longer calls. */
    void acknowledge(Rule rule);
    void acknowledgeAll();

    void runBegan(const QDateTime& start) override;
    void tickDone(const session::TickResult& tick) override;
    void runEnded() override;
    void limitsSent(const QDateTime& time, instrument::RegulatorLimits limits,
        runlog::LimitsOutcome outcome) override;

signals:
    void transition(const alarms::AlarmEvent& event);

private:
    struct RuleState {
        AlarmState state = AlarmState::Clear;
        bool pending = false;
        std::int64_t pendingSinceMs = 0;
        double threshold = 0.0;
    };
    static constexpr std::size_t index(Rule rule) { return static_cast<std::size_t>(rule); }
    // One rule at one tick: @p outside the condition holds, @p inside it is back by hysteresis.
    void step(Rule rule, bool outside, bool inside, double threshold, std::int64_t nowMs);
    void tell(Rule rule, AlarmEventKind event);

    AlarmSettings m_settings;
    std::optional<instrument::RegulatorLimits> m_limits;
    std::array<RuleState, kRuleCount> m_rules {};
    std::int64_t m_delayMs = 0;
    std::int64_t m_staleMs = 0;
    std::int64_t m_lastGoodMs = 0;
    QDateTime m_lastTime;
    std::optional<double> m_lastReading;
};

} // namespace alarms

Q_DECLARE_METATYPE(alarms::AlarmEvent)
