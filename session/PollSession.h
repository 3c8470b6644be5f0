#pragma once

#include "instrument/LimitsUpload.h"
#include "instrument/PollCycle.h"
#include "instrument/PollLink.h"
#include "platform/SerialPort.h"
#include "runlog/LimitsRecord.h"
#include "runlog/RunWriter.h"
#include "session/TickListener.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace session {

/**
 * Polling, as the window and velmora-log both run it: the one port and its poll link, the sample
 * buffer, the run's record (written on a thread of its own, runlog::RunWriter) and the listeners
 * each tick's result goes to. A tick is the exchange, then the caller's showing of the reading,
 * then the result to the run's record first and to the other listeners in the order they were
 * added.
 */
class PollSession {
public:
    /** The run's record goes through @p storage (not owned). */
    explicit PollSession(runlog::Storage& storage = runlog::systemStorage());
    ~PollSession();
    PollSession(const PollSession&) = delete;
    PollSession& operator=(const PollSession&) = delete;

    /** Tells @p listener (not owned) of every run and tick from now on, after those before it. */
    void addListener(TickListener* listener);

    /**
     * Opens @p portName at @p baudRate for a new run, which is then recorded in @p record
     * (nothing when it is empty). A run that was going on ends first. When the port does not
     * open, a run going on goes on as it was, its sweep included; without one, the sweep starts
     * again all the same. Returns the error as instrument::openConnection gives it.
     */
    platform::SerialError start(const QString& portName, std::int32_t baudRate,
        const std::optional<runlog::RunTarget>& record);

    /** Closes the port and ends the run. */
    void stop();

    bool isPolling() const { return m_link.isRunning(); }

    /**
     * One tick while polling: the exchange; then, for a reading, @p show (the chart draws it)
     * and the end of the reading in a sweep of @p sweepPoints; then the result to the run's
     * record and the listeners. Should @p show throw, the result is still handed on before the
     * exception goes on: the reading was taken. nullopt when not polling.
     */
    std::optional<TickResult> tick(
        std::int32_t sweepPoints, const std::function<void(const TickResult&)>& show = {});

    /** Opens @p portName at @p baudRate for an upload (not while polling: the port is the
     *  poll's), as instrument::openConnection does. */
    platform::SerialError openPort(const QString& portName, std::int32_t baudRate);
    /** Closes the port opened for an upload. */
    void closePort();
    /**
     * Sends @p limits on the port openPort() opened, closes it whatever the outcome, and
     * records the outcome in limits.csv in @p recordFolder (nothing when it is empty), with
     * @p source.
     */
    runlog::LimitsOutcome uploadLimits(instrument::RegulatorLimits limits,
        const QString& recordFolder, runlog::LimitsSource source);
    /**
     * Sends @p limits while polling, on the poll's own port between two ticks: the same bytes
     * and pauses as uploadLimits(), but the port stays open and polling goes on with the next
     * tick (which comes that much later: the upload's pauses hold the session's thread). The
     * outcome is recorded as recordLimits() does, with @p source, and the listeners are told.
     * A port the run has lost for the moment gives port-not-opened and sends nothing.
     * Call it from the session's thread outside tick(), e.g. from a queued signal. nullopt when
     * not polling: nothing is sent or recorded, and the caller opens a port for an upload.
     */
    std::optional<runlog::LimitsOutcome> sendLimitsBetweenTicks(instrument::RegulatorLimits limits,
        const QString& recordFolder, runlog::LimitsSource source);
    /**
     * Records sending @p limits, with @p outcome and @p source, as a row of limits.csv in
     * @p recordFolder, on the record's thread: a failure comes as the record's failed(). Nothing
     * is written when the folder is empty; the listeners are told all the same.
     */
    void recordLimits(const QString& recordFolder, instrument::RegulatorLimits limits,
        runlog::LimitsOutcome outcome, runlog::LimitsSource source);

    instrument::PollCycle& poll() { return *m_poll; }
    const instrument::PollCycle& poll() const { return *m_poll; }
    const platform::SerialPort& port() const { return m_port; }
    const instrument::PollLink& link() const { return m_link; }
    runlog::RunWriter& record() { return m_record; }
    const runlog::RunWriter& record() const { return m_record; }

private:
    void handOn(const TickResult& result);

    platform::SerialPort m_port;
    // The sample buffer is too large for the stack of a small system.
    std::unique_ptr<instrument::PollCycle> m_poll;
    instrument::PollLink m_link;
    runlog::RunWriter m_record;
    std::vector<TickListener*> m_listeners;
    platform::Clock::Duration m_runStart { 0 };
};

} // namespace session
