#pragma once

#include <chrono>

namespace platform {

/**
 * The program's one source of time: pauses and timer due times go through it so that tests can
 * replace it with a clock they advance by hand and never really sleep.
 */
class Clock {
public:
    using Duration = std::chrono::milliseconds;

    virtual ~Clock();
    /** Milliseconds on a monotonic scale with an arbitrary origin. */
    virtual Duration now() const = 0;
    /** Blocks the calling thread for @p duration (a fake clock just moves on). */
    virtual void sleep(Duration duration) = 0;
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
