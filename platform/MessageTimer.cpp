#include "platform/MessageTimer.h"

#include <QPointer>

#include <algorithm>

namespace platform {

MessageTimer::MessageTimer(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MessageTimer::fire);
}

void MessageTimer::setInterval(std::uint32_t milliseconds)
{
    m_interval = milliseconds;
    restart();
}

void MessageTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void MessageTimer::restart()
{
    ++m_generation;
    m_yieldFirst = false;
    m_timer.stop();
    if (!m_enabled || m_interval == 0)
        return;
    m_due = clock().now() + Clock::Duration(m_interval);
    arm();
}

void MessageTimer::arm()
{
    // QTimer takes an int; a longer wait is covered in steps and re-armed when each step ends.
    constexpr Clock::Duration longestStep(24 * 60 * 60 * 1000);
    const Clock::Duration left = std::clamp(m_due - clock().now(), Clock::Duration(0), longestStep);
    m_timer.start(static_cast<int>(left.count()));
}

void MessageTimer::fire()
{
    const Clock::Duration now = clock().now();
    if (now < m_due) {
        arm();
        return;
    }
    if (m_yieldFirst) {
        // The tick before this one overran it; let the event loop go round once before this one
        // blocks the window again (see below).
        m_yieldFirst = false;
        m_timer.start(0);
        return;
    }
    // The next tick is due one interval after this one was. When that moment has passed already,
    // this tick stood for all the ticks that fell due meanwhile (a long tick blocked the loop),
    // and the next one comes a full interval from now. Arming before the handler runs lets the
    // handler stop or restart the timer, and keeps ticks coming while the handler shows a modal
    // window.
    const Clock::Duration step(m_interval);
    m_due += step;
    if (m_due <= now)
        m_due = now + step;
    arm();
    const unsigned generation = m_generation;
    const QPointer<MessageTimer> alive(this);
    emit timeout();
    if (!alive)
        return;
    // After a long tick the next one may be overdue: re-arm it for the time left, 0 ms when
    // overdue. Input, painting and other programs' requests that came while the tick blocked
    // must go first, as they do before a Windows timer message; but when the window system's
    // events and an expired timer are both ready, Qt hands out the timer first, so the window
    // would stay blocked for a second tick. An overdue tick therefore waits for one more round
    // of the event loop, in which those events are handed out.
    if (generation == m_generation && m_enabled && m_interval != 0) {
        arm();
        m_yieldFirst = m_due <= clock().now();
    }
}

} // namespace platform
