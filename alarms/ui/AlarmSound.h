#pragma once

#include "alarms/AlarmRules.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

namespace alarms {

/**
 * The alarm's sound, when the settings have it on: a beep when an alarm is raised and again every
 * 10 s while any raised alarm is neither acknowledged nor cleared.
 */
class AlarmSound : public QObject {
    Q_OBJECT

public:
    static constexpr int kRepeatMs = 10000;

    /** @p beep makes the sound (QApplication::beep unless a test gives its own). */
    explicit AlarmSound(std::function<void()> beep = {}, QObject* parent = nullptr);

    void setEnabled(bool enabled);
    /** Takes one transition of the rules. */
    void show(const AlarmEvent& event);
    bool isCalling() const { return m_repeat.isActive(); }

private:
    std::function<void()> m_beep;
    QTimer m_repeat;
    std::array<bool, kRuleCount> m_calling {};
    bool m_enabled = false;
};

} // namespace alarms
