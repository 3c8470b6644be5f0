#pragma once

namespace platform {

/**
 * Catches SIGINT, SIGTERM and SIGHUP for as long as it lives, so that a program ends in order
 * instead of at once: a stop signal only notes which signal it was and makes handle() readable,
 * for an event loop to watch (a QSocketNotifier on it). A blocking call the signal interrupts
 * goes on where the system allows, and the serial port's waits retry; the caller decides when to
 * stop. A stop signal that is ignored when the object is made stays ignored, as nohup and a
 * script's background job ask: the program then outlives it (a closed SSH session's SIGHUP).
 * SIGPIPE is ignored meanwhile, so that a write to a pipe nobody reads any more fails with EPIPE,
 * which the writer reports, instead of ending the program silently. One at a time: the
 * dispositions before it come back when it goes.
 */
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /** The handlers are in place; false when the system refused them (or a second object). */
    bool isValid() const { return m_valid; }
    /** Readable from the first stop signal on; -1 when not valid. */
    int handle() const;
    /** The first stop signal that arrived (SIGINT, SIGTERM, SIGHUP), 0 while none has. */
    int received() const;

private:
    bool m_owner = false; ///< this object made the pipe and installed the handlers
    bool m_valid = false;
};

} // namespace platform
