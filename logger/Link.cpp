#include "logger/Link.h"

#include "instrument/Connection.h"

namespace logger {

Link::Link(platform::SerialPort& port, instrument::PollCycle& poll)
    : m_port(port)
    , m_poll(poll)
{
}

platform::SerialError Link::start(const QString& portName, std::int32_t baudRate)
{
    m_poll.restart();
    const platform::SerialError error = instrument::openConnection(m_port, portName, baudRate);
    m_running = error == platform::SerialError::None;
    return error;
}

void Link::stop()
{
    m_port.close();
    m_running = false;
}

std::optional<TickOutcome> Link::tick()
{
    if (!m_running)
        return std::nullopt;
    switch (m_poll.exchange(m_port)) {
    case instrument::PollOutcome::Ok:
        return TickOutcome::Ok;
    case instrument::PollOutcome::NoReply:
        return TickOutcome::NoReply;
    case instrument::PollOutcome::ShortReply:
        return TickOutcome::ShortReply;
    case instrument::PollOutcome::WriteFailed:
        break;
    }
    return TickOutcome::WriteFailed;
}

runlog::TickStatus tickStatus(TickOutcome outcome)
{
    switch (outcome) {
    case TickOutcome::Ok:
        return runlog::TickStatus::Ok;
    case TickOutcome::NoReply:
        return runlog::TickStatus::NoReply;
    case TickOutcome::ShortReply:
        return runlog::TickStatus::ShortReply;
    case TickOutcome::WriteFailed:
        return runlog::TickStatus::WriteFailed;
    case TickOutcome::PortLost:
        break;
    }
    return runlog::TickStatus::PortLost;
}

} // namespace logger
