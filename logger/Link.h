#pragma once

#include "instrument/PollCycle.h"
#include "platform/SerialPort.h"
#include "runlog/RunRow.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace logger {

/** How one tick of polling went. */
enum class TickOutcome { Ok, NoReply, ShortReply, WriteFailed, PortLost };

/**
 * The port a run polls and its poll cycle, with the calls the polling loop makes: open the port
 * by its settings name at start (as the window's Start does), one exchange per tick, close at
 * the end. This link keeps the port it opened: a port that goes away answers nothing, and its
 * ticks are NoReply, as in the window; it never reports PortLost and never reconnects.
 */
class Link {
public:
    Link(platform::SerialPort& port, instrument::PollCycle& poll);

    /** Opens @p portName at @p baudRate for a new run; the error as openConnection gives it. */
    platform::SerialError start(const QString& portName, std::int32_t baudRate);
    /** Closes the port: later ticks do nothing and return nullopt. */
    void stop();
    bool isRunning() const { return m_running; }
    bool isLost() const { return false; }
    /** One exchange; Ok stored the newest reading in the poll cycle. nullopt when not running. */
    std::optional<TickOutcome> tick();
    int reconnects() const { return 0; }

private:
    platform::SerialPort& m_port;
    instrument::PollCycle& m_poll;
    bool m_running = false;
};

/** The status a run file keeps for a tick that ended with @p outcome. */
runlog::TickStatus tickStatus(TickOutcome outcome);

} // namespace logger
