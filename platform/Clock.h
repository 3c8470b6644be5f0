#pragma once

#include <chrono>

namespace platform {

/**
 * The program's one source of time: pauses, timer due times and the bounds of the serial waits
 * go through it, so that tests can replace it with a clock they advance by hand and never really
 * sleep or wait out a bound.
 */
class Clock {
public:
    using Duration = std::chrono::milliseconds;

    virtual ~Clock();
    /** Milliseconds on a monotonic scale with an arbitrary origin. */
    virtual Duration now() const = 0;
    /** Blocks the calling thread for @p duration (a fake clock just moves on). */
    virtual void sleep(Duration duration) = 0;
    /**
     * How long a caller that waits for the system (a line to become readable, say) with @p left
     * until its deadline may really block in one system wait. The system's clock gives @p left.
     * A fake clock moves its own time on by @p left and gives 0: the caller only looks whether
     * the event is there already, finds its deadline reached and gives up, so a silent line is
     * silent in no time. Callers end their wait on now() reaching the deadline, never on the
     * system wait's own time-out.
     */
    virtual Duration blockFor(Duration left) = 0;
};

/** The clock in use: the system's steady clock unless a test installed another. */
Clock& clock();

/** Installs @p replacement (not owned) until the guard goes out of scope. */
class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* m_previous;
};

} // namespace platform
