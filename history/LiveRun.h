#pragma once

#include "history/AlarmSpans.h"
#include "history/LimitsSteps.h"
#include "history/RunColumns.h"
#include "session/TickListener.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace history {

/**
 * The run the polling session makes, kept in columns as it grows: a listener of the session,
 * so that the history of the current run needs no reading of its file. Holds the run going on,
 * or else the last one of this start. Each tick costs an append to the columns (no disk, no
 * allocation beyond the columns' own growth).
 */
class LiveRun : public QObject, public session::TickListener {
    Q_OBJECT

public:
    /** @p filePath gives the run's file as the record knows it (empty when it has none). */
    explicit LiveRun(std::function<QString()> filePath = {}, QObject* parent = nullptr);

    void runBegan(const QDateTime& start) override;
    void tickDone(const session::TickResult& tick) override;
    void runEnded() override;
    void limitsSent(const QDateTime& time, instrument::RegulatorLimits limits,
        runlog::LimitsOutcome outcome) override;

    /** The current or last run; null while there has been none. */
    std::shared_ptr<const RunColumns> columns() const { return m_columns; }
    bool isRunning() const { return m_running; }
    /** The run's file, as the record knows it now; empty when it has none. */
    QString filePath() const { return m_filePath ? m_filePath() : QString(); }
    /** Limits sent (and in force) since the current or last run began, in order. */
    const std::vector<LimitsStep>& limitsDuringRun() const { return m_limits; }
    /** The last limits sent before the current or last run began, by this start; none when
     *  none were sent. */
    const std::vector<LimitsStep>& limitsBeforeRun() const { return m_before; }

    /** A transition of the alarm rules, which run beside it on the same ticks. */
    void alarmTransition(const alarms::AlarmEvent& event);
    /** The alarms of the current or last run, from its raises to their clears. */
    const std::vector<AlarmSpan>& alarms() const { return m_alarms; }

signals:
    void began();
    /** One tick more in columns(). */
    void grew();
    void ended();
    /** limitsDuringRun() has one more. */
    void limitsChanged();
    /** alarms() changed. */
    void alarmsChanged();

private:
    std::function<QString()> m_filePath;
    std::shared_ptr<RunColumns> m_columns;
    std::vector<LimitsStep> m_limits;
    std::vector<LimitsStep> m_before;
    std::vector<LimitsStep> m_lastSent; ///< the last upload sent, whenever it was
    std::vector<AlarmSpan> m_alarms;
    bool m_running = false;
};

} // namespace history
