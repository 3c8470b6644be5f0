#include "session/PollSession.h"

#include "instrument/Connection.h"
#include "runlog/TickOutcomeStatus.h"

namespace session {

PollSession::PollSession(runlog::Storage& storage)
    : m_poll(std::make_unique<instrument::PollCycle>())
    , m_link(m_port, *m_poll)
    , m_record(storage)
{
}

PollSession::~PollSession()
{
    stop();
}

void PollSession::addListener(TickListener* listener)
{
    m_listeners.push_back(listener);
}

platform::SerialError PollSession::start(
    const QString& portName, std::int32_t baudRate, const std::optional<runlog::RunTarget>& record)
{
    const bool wasPolling = m_link.isRunning();
    const platform::SerialError error = m_link.start(portName, baudRate);
    // A failed start leaves a run going on untouched, its sweep included: the next reading goes
    // on where the line is.
    if (error != platform::SerialError::None && wasPolling)
        return error;
    m_poll->restart();
    if (error != platform::SerialError::None)
        return error;

    if (wasPolling) {
        for (TickListener* listener : m_listeners)
            listener->runEnded();
    }
    const QDateTime start = QDateTime::currentDateTime();
    m_runStart = platform::clock().now();
    if (record)
        m_record.begin(*record, start, m_runStart);
    else
        m_record.end();
    for (TickListener* listener : m_listeners)
        listener->runBegan(start);
    return error;
}

void PollSession::stop()
{
    const bool wasPolling = m_link.isRunning();
    m_link.stop();
    m_record.end();
    if (wasPolling) {
        for (TickListener* listener : m_listeners)
            listener->runEnded();
    }
}

std::optional<TickResult> PollSession::tick(
    std::int32_t sweepPoints, const std::function<void(const TickResult&)>& show)
{
    if (!m_link.isRunning())
        return std::nullopt;
    TickResult result;
    // The result carries the moment its poll went out: the reading is the temperature then,
    // whatever the exchange's pauses add.
    result.time = QDateTime::currentDateTime();
    result.steady = platform::clock().now();
    result.elapsed = result.steady - m_runStart;
    // A lost port is opened again by the tick itself: its result says port-lost until it is
    // back.
    const std::optional<instrument::TickOutcome> outcome = m_link.tick();
    if (!outcome)
        return std::nullopt;
    result.outcome = *outcome;
    if (result.outcome == instrument::TickOutcome::Ok && m_poll->counter() > 0)
        result.reading = m_poll->samples()[static_cast<std::size_t>(m_poll->counter() - 1)];
    if (result.reading) {
        // The reading is shown before it is recorded; a failure to show it loses no row.
        try {
            if (show)
                show(result);
        } catch (...) {
            handOn(result);
            throw;
        }
        m_poll->endOfReading(sweepPoints);
    }
    handOn(result);
    return result;
}

void PollSession::handOn(const TickResult& result)
{
    m_record.record(runlog::tickStatus(result.outcome), result.reading, result.time, result.steady);
    for (TickListener* listener : m_listeners)
        listener->tickDone(result);
}

platform::SerialError PollSession::openPort(const QString& portName, std::int32_t baudRate)
{
    return instrument::openConnection(m_port, portName, baudRate);
}

void PollSession::closePort()
{
    m_port.close();
}

runlog::LimitsOutcome PollSession::uploadLimits(
    instrument::RegulatorLimits limits, const QString& recordFolder, runlog::LimitsSource source)
{
    const runlog::LimitsOutcome outcome
        = instrument::uploadLimits(m_port, limits) == instrument::UploadOutcome::Sent
        ? runlog::LimitsOutcome::Sent
        : runlog::LimitsOutcome::WriteFailed;
    m_port.close();
    recordLimits(recordFolder, limits, outcome, source);
    return outcome;
}

std::optional<runlog::LimitsOutcome> PollSession::sendLimitsBetweenTicks(
    instrument::RegulatorLimits limits, const QString& recordFolder, runlog::LimitsSource source)
{
    if (!m_link.isRunning())
        return std::nullopt;
    // A lost port is the next tick's to open again; an upload on it would only fail.
    runlog::LimitsOutcome outcome = runlog::LimitsOutcome::PortNotOpened;
    if (m_port.isOpen() && !m_port.isLost())
        outcome = instrument::sendLimitsParts(m_port, limits) == instrument::UploadOutcome::Sent
            ? runlog::LimitsOutcome::Sent
            : runlog::LimitsOutcome::WriteFailed;
    recordLimits(recordFolder, limits, outcome, source);
    return outcome;
}

void PollSession::recordLimits(const QString& recordFolder, instrument::RegulatorLimits limits,
    runlog::LimitsOutcome outcome, runlog::LimitsSource source)
{
    const QDateTime time = QDateTime::currentDateTime();
    if (!recordFolder.isEmpty())
        m_record.recordLimits(recordFolder, time, limits.lower, limits.upper, outcome, source);
    for (TickListener* listener : m_listeners)
        listener->limitsSent(time, limits, outcome);
}

} // namespace session
