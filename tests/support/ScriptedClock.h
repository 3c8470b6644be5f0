#pragma once

#include "platform/Clock.h"

#include <functional>
#include <vector>

// A clock on which no time passes by itself. Its pauses take no time: each is recorded, and a
// test may act during it as the instrument would (answer the command that was just sent). A
// bounded wait on the line takes no time either: the wait is recorded, the clock moves on by what
// was left of the bound, and the waiting side only looks once more whether something came (what
// a test sent during the wait has), so a silent instrument is waited out at once.
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
    Duration blockFor(Duration left) override
    {
        waits.push_back(left);
        m_now += left;
        if (onWait)
            onWait(left);
        return Duration(0);
    }

    std::vector<Duration> pauses;
    std::function<void(Duration)> onPause;
    std::vector<Duration> waits;
    std::function<void(Duration)> onWait;

private:
    Duration m_now { 0 };
};
