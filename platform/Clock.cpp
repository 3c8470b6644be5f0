#include "platform/Clock.h"

#include <thread>

namespace platform {

Clock::~Clock() = default;

namespace {

class SteadyClock final : public Clock {
public:
    Duration now() const override
    {
        return std::chrono::duration_cast<Duration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    void sleep(Duration duration) override { std::this_thread::sleep_for(duration); }

    Duration blockFor(Duration left) override { return left; }
};

SteadyClock systemClock;
Clock* current = &systemClock;

} // namespace

Clock& clock()
{
    return *current;
}

ScopedClock::ScopedClock(Clock& replacement)
    : m_previous(current)
{
    current = &replacement;
}

ScopedClock::~ScopedClock()
{
    current = m_previous;
}

} // namespace platform
