#include "alarms/ui/AlarmBell.h"

#include "alarms/ui/AlarmTexts.h"

#include <QPainter>
#include <QPainterPath>

namespace alarms {

namespace {

constexpr int kPictureSize = 16;

QRgb bellColour(BellLook look)
{
    switch (look) {
    case BellLook::Quiet:
        return qRgb(160, 160, 160);
    case BellLook::Ringing:
        return qRgb(208, 0, 0);
    case BellLook::Acknowledged:
        return qRgb(0, 0, 0);
    }
    return qRgb(160, 160, 160);
}

} // namespace

QPixmap bellPicture(BellLook look)
{
    // Drawn without antialiasing, in one colour on a clear ground, as the tool bar's XPM
    // pictures are: the colour of a pixel tells the state.
    QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor colour(bellColour(look));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    // The bell: a dome on a flared skirt, the rim, and the clapper below it.
    QPainterPath body;
    body.moveTo(3, 12);
    body.lineTo(4, 10);
    body.lineTo(4, 6);
    body.cubicTo(4, 2.5, 12, 2.5, 12, 6);
    body.lineTo(12, 10);
    body.lineTo(13, 12);
    body.closeSubpath();
    painter.drawPath(body);
    painter.drawRect(2, 12, 12, 1);
    painter.drawRect(7, 1, 2, 2);
    painter.drawEllipse(QRect(6, 13, 4, 3));
    if (look == BellLook::Ringing) {
        // Strokes either side: it rings.
        painter.setPen(colour);
        painter.drawLine(0, 5, 1, 3);
        painter.drawLine(15, 5, 14, 3);
        painter.drawLine(0, 8, 1, 8);
        painter.drawLine(14, 8, 15, 8);
    }
    painter.end();
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
