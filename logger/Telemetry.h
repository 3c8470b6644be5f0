#pragma once

#include "logger/Options.h"
#include "logger/Report.h"
#include "session/TickListener.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace alarms {
class AlarmRules;
}
namespace session {
class PollSession;
}
namespace telemetry {
class Publisher;
}

namespace logger {

/**
 * velmora-log's publishing: the publisher, a listener of the session told the run file and the
 * alarm transitions, its faults as lines on standard error, and the remote limits it passes on
 * sent between two ticks. Made only while publishing is on; nothing here waits for the broker.
 */
class Telemetry : public QObject, public session::TickListener {
    Q_OBJECT

public:
    /** A line for standard error, with its journal priority. */
    using Tell = std::function<void(const QString& line, Priority priority)>;

    /** Remote limits are recorded in limits.csv of @p recordFolder (empty: none). */
    Telemetry(
        const Options& options, session::PollSession& session, QString recordFolder, Tell tell);
    ~Telemetry() override;
    Telemetry(const Telemetry&) = delete;
    Telemetry& operator=(const Telemetry&) = delete;

    /**
     * Listens to the session and to @p rules (none: the alarms are off) from now on and starts
     * connecting in the background. A publisher that cannot start (a password file refused,
     * say) has said why; polling goes on without it.
     */
    void begin(alarms::AlarmRules* rules);

    void tickDone(const session::TickResult& tick) override;

private:
    void requested(instrument::RegulatorLimits limits);
    QString broker() const;

    const Options& m_options;
    session::PollSession& m_session;
    QString m_recordFolder;
    Tell m_tell;
    std::unique_ptr<telemetry::Publisher> m_publisher;
    QString m_runFile;
};

} // namespace logger
