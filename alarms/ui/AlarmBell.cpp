#include "alarms/ui/AlarmBell.h"

#include "alarms/ui/AlarmTexts.h"

#include <QImage>

#include <array>

namespace alarms {

namespace {

constexpr int kPictureSize = 16;

QRgb bellColour(BellLook look)
{
    switch (look) {
    case BellLook::Quiet:
        return qRgb(160, 160, 160);
    case BellLook::Ringing:
        return qRgb(230, 0, 0);
    case BellLook::Acknowledged:
        return qRgb(0, 0, 0);
    }
    return qRgb(160, 160, 160);
}

} // namespace

QPixmap bellPicture(BellLook look)
{
    // One colour on a clear ground, pixel by pixel as the tool bar's XPM pictures are drawn, so
    // the colour of a pixel tells the state. The ringing bell has strokes either side.
    static constexpr std::array<const char*, kPictureSize> kBell = {
        "................",
        ".......##.......",
        "......####......",
        "..r..######..r..",
        ".r..########..r.",
        "r...########...r",
        "....########....",
        "....########....",
        "r..##########..r",
        ".r.##########.r.",
        "..############..",
        ".##############.",
        ".##############.",
        "................",
        "......####......",
        ".......##.......",
    };
    QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QRgb colour = bellColour(look);
    for (int y = 0; y < kPictureSize; ++y) {
        for (int x = 0; x < kPictureSize; ++x) {
            const char c = kBell[static_cast<std::size_t>(y)][x];
            if (c == '#' || (c == 'r' && look == BellLook::Ringing))
                image.setPixel(x, y, colour);
        }
    }
    return QPixmap::fromImage(image);
}

AlarmBell::AlarmBell(QWidget* parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("btnAlarm"));
    setAutoRaise(true);
    refresh();
}

void AlarmBell::setStaleSeconds(std::optional<double> seconds)
{
    m_staleSeconds = seconds;
    refresh();
}

void AlarmBell::show(const AlarmEvent& event)
{
    Held& held = m_held[static_cast<std::size_t>(event.rule)];
    switch (event.event) {
    case AlarmEventKind::Raised:
        held.state = AlarmState::Raised;
        held.raised = event;
        break;
    case AlarmEventKind::Acknowledged:
        if (held.state == AlarmState::Raised)
            held.state = AlarmState::Acknowledged;
        break;
    case AlarmEventKind::Cleared:
    case AlarmEventKind::Ended:
        held.state = AlarmState::Clear;
        break;
    }
    refresh();
}

void AlarmBell::refresh()
{
    QStringList raised;
    QStringList acknowledged;
    for (const Held& held : m_held) {
        if (held.state == AlarmState::Raised)
            raised << alarmDescription(held.raised, m_staleSeconds);
        else if (held.state == AlarmState::Acknowledged)
            acknowledged << alarmDescription(held.raised, m_staleSeconds);
    }
    QString hint;
    if (!raised.isEmpty()) {
        m_look = BellLook::Ringing;
        hint = QStringLiteral("Тревога: ") + raised.join(QStringLiteral("; "));
        if (!acknowledged.isEmpty())
            hint += QStringLiteral("\nТревога подтверждена: ")
                + acknowledged.join(QStringLiteral("; "));
    } else if (!acknowledged.isEmpty()) {
        m_look = BellLook::Acknowledged;
        hint = QStringLiteral("Тревога подтверждена: ") + acknowledged.join(QStringLiteral("; "));
    } else {
        m_look = BellLook::Quiet;
        hint = QStringLiteral("Тревог нет");
    }
    setIcon(QIcon(bellPicture(m_look)));
    setToolTip(hint);
    // The hint is also what assistive tools and the whole-program tests read.
    setAccessibleName(hint);
}

} // namespace alarms
