#pragma once

#include "alarms/AlarmCommand.h"
#include "alarms/AlarmRules.h"
#include "logger/Options.h"
#include "logger/Report.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class StopSignals;
}
namespace session {
class PollSession;
}

namespace logger {

/**
 * velmora-log's alarms: the rules fed by the session, and for each transition a line on
 * standard error, a row of alarms.csv in the run folder and a run of the --on-alarm program.
 * Nothing here waits during a run; the program's runs are waited for at its end.
 */
class AlarmWatch : public QObject {
    Q_OBJECT

public:
    /** A line for standard error, with its journal priority. */
    using Tell = std::function<void(const QString& line, Priority priority)>;

    AlarmWatch(const Options& options, session::PollSession& session, Tell tell);
    ~AlarmWatch() override;
    AlarmWatch(const AlarmWatch&) = delete;
    AlarmWatch& operator=(const AlarmWatch&) = delete;

    /** Whether any rule is on. */
    bool isOn() const { return m_options.alarms.Enabled; }

    /**
     * Listens to the session from now on (before a limits upload, so that the band follows it);
     * the band starts from the last limits sent in @p recordFolder's limits.csv, where alarms.csv
     * is also written (empty: none, as with --output).
     */
    void begin(const QString& recordFolder);
    /** Once the limits are sent, if at all: says when the band rule has no limits to work with. */
    void tellBand();

    /**
     * At the end of the run: lets the program's runs still waiting go on, each within its bound,
     * until a stop signal of @p stops (or, when one came already, until @p stopDeadline); then
     * stops what is left and says how many were not run.
     */
    void finish(const platform::StopSignals& stops, const QDeadlineTimer& stopDeadline);

    /** The rules, for another listener of their transitions; none while they are off. */
    alarms::AlarmRules* rules() { return isOn() ? &m_rules : nullptr; }

    /** How many alarms were raised; none while the rules are off. */
    std::optional<std::int64_t> raised() const;

private:
    void transition(const alarms::AlarmEvent& event);
    void ran(const alarms::AlarmCommandOutcome& outcome);

    const Options& m_options;
    session::PollSession& m_session;
    Tell m_tell;
    alarms::AlarmRules m_rules;
    std::unique_ptr<alarms::AlarmCommand> m_command;
    QString m_recordFolder;
    std::int64_t m_raised = 0;
};

} // namespace logger
