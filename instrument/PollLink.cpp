#include "instrument/PollLink.h"

#include "instrument/Connection.h"

#include <QFileInfo>

namespace instrument {

namespace {

TickOutcome tickOutcome(PollOutcome outcome)
{
    switch (outcome) {
    case PollOutcome::Ok:
        return TickOutcome::Ok;
    case PollOutcome::NoReply:
        return TickOutcome::NoReply;
    case PollOutcome::ShortReply:
        return TickOutcome::ShortReply;
    case PollOutcome::WriteFailed:
        break;
    }
    return TickOutcome::WriteFailed;
}

} // namespace

PollLink::PollLink(platform::SerialPort& port, PollCycle& poll)
    : m_port(port)
    , m_poll(poll)
{
}

platform::SerialError PollLink::start(const QString& portName, std::int32_t baudRate)
{
    // A failed start leaves a run under way as it was: its port stays open (or lost) and polled.
    const platform::SerialError error = openConnection(m_port, portName, baudRate);
    if (error != platform::SerialError::None)
        return error;
    m_portName = portName;
    m_baudRate = baudRate;
    m_running = true;
    m_lost = false;
    m_reconnects = 0;
    m_reopenAttempts = 0;
    return platform::SerialError::None;
}

void PollLink::stop()
{
    m_port.close();
    m_running = false;
    m_lost = false;
}

std::optional<TickOutcome> PollLink::tick()
{
    if (!m_running)
        return std::nullopt;
    if (m_lost && !reopen())
        return TickOutcome::PortLost;
    const PollOutcome outcome = m_poll.exchange(m_port);
    if (outcome != PollOutcome::Ok && isGone()) {
        // The dead handle goes at once: the device that comes back must not find its old
        // node held, and nothing more is written to a line that is not there.
        m_port.close();
        m_lost = true;
        return TickOutcome::PortLost;
    }
    return tickOutcome(outcome);
}

bool PollLink::isGone() const
{
    if (m_port.isLost() || !m_port.isOpen())
        return true;
    // Some drivers keep a handle quiet rather than failing it once their device went: a node
    // that is no longer there (a by-id link removed with its adapter) says so all the same.
    return !QFileInfo::exists(platform::serialDevicePath(m_portName));
}

bool PollLink::reopen()
{
    ++m_reopenAttempts;
    // The name is resolved anew, so a link that now points at another device follows it. The
    // open neither waits for a carrier nor for a lock, so the tick is not held up.
    if (openConnection(m_port, m_portName, m_baudRate) != platform::SerialError::None)
        return false;
    m_lost = false;
    ++m_reconnects;
    return true;
}

} // namespace instrument
