#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

namespace platform {
class SerialPort;
}

namespace instrument {

/** How one poll exchange ended; only Ok stored a reading. */
enum class PollOutcome {
    Ok, ///< a full reply came and is the newest reading
    NoReply, ///< the instrument stayed silent for the whole bound (or the port hung up)
    ShortReply, ///< one byte of the two came; it was not taken as a reading
    WriteFailed, ///< the port did not take the poll command; no reply was waited for
};

/**
 * The sample counter and the sample buffer of the current sweep, and the exchange with the
 * instrument that adds one reading per poll tick.
 */
class PollCycle {
public:
    /** Readings the buffer holds: no sweep is longer, whatever the settings say. */
    static constexpr std::int32_t kCapacity = 10000;
    /** The instrument's time to answer, before the reply is read. */
    static constexpr std::chrono::milliseconds kReplyPause { 100 };
    /** How long a silent instrument is waited for after that pause. */
    static constexpr std::chrono::milliseconds kReplyTimeout { 1000 };
    /** The pause after the reply, so that polls are at least half a second apart. */
    static constexpr std::chrono::milliseconds kAfterReplyPause { 400 };

    /** Readings in the current sweep, the newest included: entries 0 .. counter - 1. */
    std::int32_t counter() const { return m_counter; }
    std::span<const double> samples() const { return m_samples; }

    /** Starts a new sweep: the next reading is the first. The buffer keeps its contents. */
    void restart() { m_counter = 0; }

    /**
     * One exchange: throws away bytes that wait in the input (a stray or late byte must not
     * shift every later reading), writes the poll command, pauses, reads the two-byte reply
     * within the bound, pauses again. A full reply advances the counter and is stored as its
     * newest reading; then the caller draws it and calls endOfReading(). Any other outcome
     * stores nothing and leaves the counter as it was; the two pauses are kept whatever
     * happened, so that the exchanges keep their rhythm.
     */
    PollOutcome exchange(platform::SerialPort& port);

    /**
     * After the newest reading was drawn: a sweep of @p points readings (or one that filled
     * the buffer) is complete, and the next reading starts the next sweep.
     */
    void endOfReading(std::int32_t points);

private:
    std::int32_t m_counter = 0;
    std::array<double, kCapacity> m_samples {};
};

} // namespace instrument
