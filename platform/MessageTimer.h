#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace platform {

/**
 * A repeating timer with the manners of a window-message timer: a tick is delivered only once the
 * events already waiting (input, painting) have been handled, ticks that fell due while a long
 * tick ran come as one, and a tick never interrupts a running handler. An interval of 0 never
 * fires, although the timer counts as enabled. Due times come from platform::clock().
 */
class MessageTimer : public QObject {
    Q_OBJECT

public:
    explicit MessageTimer(QObject* parent = nullptr);

    std::uint32_t interval() const { return m_interval; }
    /** Takes effect at once: a running timer counts the new interval from now. */
    void setInterval(std::uint32_t milliseconds);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    void restart();
    void arm();
    void fire();

    QTimer m_timer;
    std::uint32_t m_interval = 1000;
    bool m_enabled = false;
    Clock::Duration m_due {};
    bool m_yieldFirst = false; ///< the next tick is overdue: one round of the event loop first
    unsigned m_generation = 0; ///< counts restarts, so a tick can tell whether its handler made one
};

} // namespace platform
