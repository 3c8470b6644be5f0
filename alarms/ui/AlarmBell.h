#pragma once

#include "alarms/AlarmRules.h"

#include <QPixmap>
#include <QToolButton>

#include <array>
#include <optional>

namespace alarms {

/** How the bell looks: quiet, ringing (an alarm is raised), or all raised ones acknowledged. */
enum class BellLook { Quiet, Ringing, Acknowledged };

/** The bell's 16 x 16 picture, drawn as the other tool pictures are: a grey, dim bell for quiet,
 *  a red one while ringing, a black one when acknowledged. */
QPixmap bellPicture(BellLook look);

/**
 * The tool bar's alarm button. It follows the rules' transitions: its picture says the worst
 * state of any rule, its hint (and accessible name) the alarms themselves, "Тревог нет" when
 * all are clear. A click is the user's acknowledgement, which the window hands to the rules.
 */
class AlarmBell : public QToolButton {
    Q_OBJECT

public:
    explicit AlarmBell(QWidget* parent = nullptr);

    /** The stale rule's time, for its hint. */
    void setStaleSeconds(std::optional<double> seconds);
    /** Takes one transition of the rules. */
    void show(const AlarmEvent& event);
    BellLook look() const { return m_look; }

private:
    void refresh();

    struct Held {
        AlarmState state = AlarmState::Clear;
        AlarmEvent raised; ///< the event that raised it, for its text
    };
    std::array<Held, kRuleCount> m_held {};
    std::optional<double> m_staleSeconds;
    BellLook m_look = BellLook::Quiet;
};

} // namespace alarms
