#pragma once

#include "platform/Clock.h"

#include <functional>
#include <vector>

// A clock whose pauses take no time: each is recorded, and a test may act during it as the
// instrument would (answer the command that was just sent).
class ScriptedClock final : public platform::Clock {
public:
    Duration now() const override { return m_now; }
    void sleep(Duration duration) override
    {
        pauses.push_back(duration);
        m_now += duration;
        if (onPause)
            onPause(duration);
    }

    std::vector<Duration> pauses;
    std::function<void(Duration)> onPause;

private:
    Duration m_now { 0 };
};
