#pragma once

#include "instrument/PollCycle.h"
#include "platform/SerialPort.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace instrument {

/** How one tick of polling went, for the run log and the caller. */
enum class TickOutcome { Ok, NoReply, ShortReply, WriteFailed, PortLost };

/**
 * The port a run polls, kept across a lost line: opens it by its settings name (as
 * openConnection does), runs one exchange per tick, notices a lost port (hang-up, ENXIO/EIO, the
 * device node gone) and then, at each later tick, tries once to open the same name again.
 *
 * The name is resolved again at every attempt, so a /dev/serial/by-id/... link that points at
 * another ttyUSB number once the adapter is back opens the new device. A failed attempt waits
 * for nothing beyond the open itself; the tick whose attempt opens the port runs the exchange
 * at once, so the first reading after the return comes within one interval of it.
 */
class PollLink {
public:
    PollLink(platform::SerialPort& port, PollCycle& poll);

    /** Opens @p portName at @p baudRate for a new run; the error as openConnection gives it. */
    platform::SerialError start(const QString& portName, std::int32_t baudRate);

    /** Closes the port and forgets it: later ticks do nothing and return nullopt. */
    void stop();

    bool isRunning() const { return m_running; }

    /** Whether the port is lost and waits to be opened again. */
    bool isLost() const { return m_running && m_lost; }

    /**
     * One tick: an exchange (PollCycle::exchange; Ok stored the newest reading: the caller
     * draws it and calls endOfReading). While the port is lost, one attempt to reopen it first:
     * PortLost when it stays shut, else the outcome of the exchange that follows. nullopt when
     * not running.
     */
    std::optional<TickOutcome> tick();

    /** Reconnects so far in this run. */
    int reconnects() const { return m_reconnects; }

    /** Attempts to open the port again so far in this run, the successful ones included. */
    int reopenAttempts() const { return m_reopenAttempts; }

private:
    /** After an exchange that stored nothing: whether the line went rather than kept silent. */
    bool isGone() const;
    /** One attempt to open the lost port again; whether it opened. */
    bool reopen();

    platform::SerialPort& m_port;
    PollCycle& m_poll;
    QString m_portName;
    std::int32_t m_baudRate = 0;
    bool m_running = false;
    bool m_lost = false;
    int m_reconnects = 0;
    int m_reopenAttempts = 0;
};

} // namespace instrument
