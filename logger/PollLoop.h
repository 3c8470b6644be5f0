#pragma once

#include "platform/Clock.h"
#include "platform/MessageTimer.h"

#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace logger {

/**
 * The ticks of a run, on the window's own poll timer (platform::MessageTimer: the first tick one
 * interval after the start, each next one an interval after the last was due, ticks that fell
 * due during a long one coming as one), in an event loop of their own. Runs until a tick asks to
 * stop, the duration has passed or the stop handle becomes readable (a stop signal). None of
 * these cuts a tick short: a tick is one call that runs to its end, and the loop looks at the
 * rest only between ticks.
 */
class PollLoop : public QObject {
    Q_OBJECT

public:
    /** Why run() returned. */
    enum class Stop { Ticks, Duration, Signal };

    /**
     * Ticks every @p intervalMs; stops when @p stopHandle (-1: none) is readable or, when
     * given, @p duration has passed on platform::clock() from run() on.
     */
    PollLoop(std::uint32_t intervalMs, int stopHandle,
        std::optional<platform::Clock::Duration> duration);

    /** Calls @p tick once per interval while it returns true; returns why it stopped. */
    Stop run(const std::function<bool()>& tick);

    /** Ends run() after the tick under way, as a tick that returned false does. */
    void quit() { stop(Stop::Ticks); }

private:
    void stop(Stop why);
    void armDeadline();

    std::uint32_t m_intervalMs;
    std::optional<platform::Clock::Duration> m_duration;
    platform::Clock::Duration m_deadline { 0 };
    platform::MessageTimer m_timer;
    QTimer m_deadlineTimer;
    std::unique_ptr<QSocketNotifier> m_stopNotifier;
    QEventLoop m_loop;
    Stop m_why = Stop::Ticks;
};

} // namespace logger
