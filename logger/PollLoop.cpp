#include "logger/PollLoop.h"

#include <algorithm>
#include <chrono>

namespace logger {

PollLoop::PollLoop(
    std::uint32_t intervalMs, int stopHandle, std::optional<platform::Clock::Duration> duration)
    : m_intervalMs(intervalMs)
    , m_duration(duration)
{
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &PollLoop::armDeadline);
    if (stopHandle >= 0) {
        m_stopNotifier = std::make_unique<QSocketNotifier>(stopHandle, QSocketNotifier::Read);
        connect(m_stopNotifier.get(), &QSocketNotifier::activated, this,
            [this] { stop(Stop::Signal); });
    }
}

PollLoop::Stop PollLoop::run(const std::function<bool()>& tick)
{
    const QMetaObject::Connection ticking
        = connect(&m_timer, &platform::MessageTimer::timeout, this, [this, &tick] {
              if (!tick())
                  stop(Stop::Ticks);
              else if (m_duration && platform::clock().now() >= m_deadline)
                  stop(Stop::Duration); // the duration ran out during the tick
          });
    if (m_duration) {
        m_deadline = platform::clock().now() + *m_duration;
        armDeadline();
    }
    m_timer.setInterval(m_intervalMs);
    m_timer.setEnabled(true);
    if (m_stopNotifier)
        m_stopNotifier->setEnabled(true);
    // A stop signal that came before the loop (during the start) is seen on its first round.
    m_loop.exec();
    m_timer.setEnabled(false);
    m_deadlineTimer.stop();
    // Watched only while it runs: a wait after it may watch the stop handle itself.
    if (m_stopNotifier)
        m_stopNotifier->setEnabled(false);
    disconnect(ticking);
    return m_why;
}

void PollLoop::stop(Stop why)
{
    if (!m_timer.isEnabled())
        return;
    m_why = why;
    m_timer.setEnabled(false);
    m_loop.quit();
}

void PollLoop::armDeadline()
{
    // QTimer takes an int; a longer duration is covered in steps, each checked on the clock.
    constexpr platform::Clock::Duration longestStep(std::chrono::hours(24));
    const platform::Clock::Duration left = m_deadline - platform::clock().now();
    if (left <= platform::Clock::Duration(0)) {
        stop(Stop::Duration);
        return;
    }
    m_deadlineTimer.start(std::min(left, longestStep));
}

} // namespace logger
