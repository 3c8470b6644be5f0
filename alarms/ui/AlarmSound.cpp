#include "alarms/ui/AlarmSound.h"

#include <QApplication>

#include <algorithm>

namespace alarms {

AlarmSound::AlarmSound(std::function<void()> beep, QObject* parent)
    : QObject(parent)
    , m_beep(beep ? std::move(beep) : [] { QApplication::beep(); })
{
    m_repeat.setInterval(kRepeatMs);
    connect(&m_repeat, &QTimer::timeout, this, [this] { m_beep(); });
}

void AlarmSound::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        m_repeat.stop();
    else if (std::any_of(m_calling.begin(), m_calling.end(), [](bool c) { return c; })
        && !m_repeat.isActive())
        m_repeat.start();
}

void AlarmSound::show(const AlarmEvent& event)
{
    const bool raised = event.event == AlarmEventKind::Raised;
    m_calling[static_cast<std::size_t>(event.rule)] = raised;
    if (raised && m_enabled) {
        m_beep();
        // The repeat counts from the newest raise.
        m_repeat.start();
    }
    if (std::none_of(m_calling.begin(), m_calling.end(), [](bool c) { return c; }))
        m_repeat.stop();
}

} // namespace alarms
