#include "history/LiveRun.h"

#include "runlog/TickOutcomeStatus.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace history {

LiveRun::LiveRun(std::function<QString()> filePath, QObject* parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
{
}

void LiveRun::runBegan(const QDateTime& start)
{
    // A window still showing the last run keeps its own columns; the new run gets new ones.
    m_columns = std::make_shared<RunColumns>();
    m_columns->setStartMs(start.toMSecsSinceEpoch());
    m_limits.clear();
    m_alarms.clear();
    m_before = m_lastSent;
    m_running = true;
    emit began();
}

void LiveRun::tickDone(const session::TickResult& tick)
{
    if (!m_columns)
        return;
    const auto elapsed
        = std::chrono::duration_cast<std::chrono::milliseconds>(tick.elapsed).count();
    // The run's clock never goes back; a tick that says otherwise is kept at the newest time.
    const std::int64_t at = m_columns->isEmpty()
        ? elapsed
        : std::max(elapsed, m_columns->elapsedAt(m_columns->size() - 1));
    const runlog::TickStatus status = runlog::tickStatus(tick.outcome);
    const float reading = status == runlog::TickStatus::Ok && tick.reading
        ? static_cast<float>(*tick.reading)
        : std::numeric_limits<float>::quiet_NaN();
    m_columns->append(at, reading, status);
    emit grew();
}

void LiveRun::runEnded()
{
    if (!m_running)
        return;
    m_running = false;
    emit ended();
}

void LiveRun::limitsSent(
    const QDateTime& time, instrument::RegulatorLimits limits, runlog::LimitsOutcome outcome)
{
    if (outcome != runlog::LimitsOutcome::Sent)
        return;
    const LimitsStep step { time.toMSecsSinceEpoch(), static_cast<float>(limits.lower) / 10.0F,
        static_cast<float>(limits.upper) / 10.0F };
    m_lastSent = { step };
    if (!m_running)
        return;
    m_limits.push_back(step);
    emit limitsChanged();
}

void LiveRun::alarmTransition(const alarms::AlarmEvent& event)
{
    if (!m_columns)
        return;
    // An acknowledgement changes no span.
    if (event.event == alarms::AlarmEventKind::Acknowledged)
        return;
    followAlarm(m_alarms, event);
    emit alarmsChanged();
}

} // namespace history
