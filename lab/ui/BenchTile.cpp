#include "lab/ui/BenchTile.h"

#include "history/RunColumns.h"
#include "lab/BenchModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace lab {

namespace {

constexpr int kMargin = 8;
constexpr int kPlotHeight = 44;

QString statusText(runlog::TickStatus status)
{
    switch (status) {
    case runlog::TickStatus::Ok:
        break;
    case runlog::TickStatus::NoReply:
        return QStringLiteral("no reply");
    case runlog::TickStatus::ShortReply:
        return QStringLiteral("short reply");
    case runlog::TickStatus::WriteFailed:
        return QStringLiteral("write failed");
    case runlog::TickStatus::PortLost:
        return QStringLiteral("port lost");
    }
    return QStringLiteral("ok");
}

QString degrees(std::uint16_t tenths)
{
    return QString::number(tenths / 10.0, 'f', 1);
}

} // namespace

QString ageText(std::int64_t ms)
{
    if (ms < 0)
        return QStringLiteral("—");
    const std::int64_t seconds = ms / 1000;
    if (seconds < 120)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 7200)
        return QStringLiteral("%1 min").arg(seconds / 60);
    if (seconds < 172'800)
        return QStringLiteral("%1 h").arg(seconds / 3600);
    return QStringLiteral("%1 d").arg(seconds / 86400);
}

BenchTile::BenchTile(const Bench& bench, QWidget* parent)
    : QWidget(parent)
    , m_bench(bench)
{
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    setToolTip(bench.name);
}

const QString& BenchTile::name() const
{
    return m_bench.name;
}

void BenchTile::refresh(bool changed, std::int64_t steadyMs)
{
    const bool grey = BenchModel::isGrey(m_bench, steadyMs);
    const QString age = m_bench.state ? ageText(steadyMs - m_bench.lastSeenMs) : QString();
    if (!changed && grey == m_grey && age == m_age)
        return;
    m_grey = grey;
    m_age = age;
    update();
}

void BenchTile::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const QColor ink = m_grey ? QColor(0x80, 0x80, 0x80) : colours.color(QPalette::WindowText);
    painter.fillRect(rect(), m_grey ? QColor(0xd8, 0xd8, 0xd8) : colours.color(QPalette::Base));
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const alarms::AlarmState alarm = m_bench.alarm.state();
    const int inner = width() - 2 * kMargin;
    QFont font = this->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(ink);
    const QRect title(kMargin, kMargin / 2, inner, 20);
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(m_bench.name, Qt::ElideMiddle, inner - 60));
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(title, Qt::AlignRight | Qt::AlignVCenter,
        m_bench.offline ? QStringLiteral("offline") : m_age);

    // The newest reading: the state's when its tick got one, else the last one told.
    const bool readingShown = m_bench.reading.has_value()
        && (!m_bench.state || m_bench.state->status == runlog::TickStatus::Ok);
    const QString readingText = readingShown
        ? QString::number(m_bench.reading.value_or(0.0), 'f', 1) + QStringLiteral(" °C")
        : QStringLiteral("—");
    QFont large = font;
    large.setPixelSize(36);
    large.setBold(true);
    painter.setFont(large);
    painter.setPen(alarm == alarms::AlarmState::Raised && !m_grey ? QColor(0xc0, 0, 0) : ink);
    painter.drawText(QRect(kMargin, 24, inner, 42), Qt::AlignLeft | Qt::AlignVCenter, readingText);

    painter.setFont(font);
    const QRect line(kMargin, 66, inner, 18);
    if (m_bench.state) {
        const bool ok = m_bench.state->status == runlog::TickStatus::Ok;
        painter.setPen(m_grey ? ink : ok ? QColor(0, 0x80, 0) : QColor(0xc0, 0, 0));
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, statusText(m_bench.state->status));
    }
    painter.setPen(ink);
    if (m_bench.limits)
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
            degrees(m_bench.limits->lower) + QStringLiteral(" … ")
                + degrees(m_bench.limits->upper));
    const QRect alarmLine(kMargin, 84, inner, 18);
    if (const std::optional<alarms::Rule> rule = m_bench.alarm.rule()) {
        const bool raised = alarm == alarms::AlarmState::Raised;
        painter.setPen(m_grey ? ink : raised ? QColor(0xc0, 0, 0) : QColor(0xc0, 0x70, 0));
        painter.drawText(alarmLine, Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("alarm: %1%2")
                .arg(QLatin1String(alarms::ruleName(*rule)),
                    raised ? QString() : QStringLiteral(" (acknowledged)")));
    }
    paintPlot(painter, QRect(kMargin, height() - kMargin - kPlotHeight, inner, kPlotHeight));
}

void BenchTile::paintPlot(QPainter& painter, const QRect& area) const
{
    painter.setPen(QColor(0xc8, 0xc8, 0xc8));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    const auto columns = m_bench.live->columns();
    const auto [begin, end] = BenchModel::recent(m_bench);
    if (!columns || begin >= end)
        return;
    const history::Span whole = columns->span(begin, end);
    if (!whole.hasReading())
        return;
    // A flat stretch still gets a band of a tenth of a degree to sit in.
    const double low = whole.min - 0.05;
    const double high = std::max<double>(whole.max + 0.05, low + 0.1);
    const std::int64_t to = columns->elapsedAt(end - 1) + 1;
    const std::int64_t from = to - std::chrono::milliseconds(kRecentSpan).count();
    const int width = area.width() - 2;
    const auto y = [&](double value) {
        return area.bottom() - 1 - (value - low) / (high - low) * (area.height() - 3);
    };
    painter.setPen(m_grey ? QColor(0x80, 0x80, 0x80) : QColor(0x20, 0x50, 0xc0));
    const std::vector<history::ColumnSpan> spans = history::columnSpans(*columns, from, to, width);
    for (int c = 0; c < static_cast<int>(spans.size()); ++c) {
        const history::Span& span = spans[static_cast<std::size_t>(c)].span;
        if (!span.hasReading())
            continue;
        const double x = area.left() + 1 + c;
        painter.drawLine(QPointF(x, y(span.max)), QPointF(x, y(span.min) + 0.5));
    }
}

void BenchTile::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void BenchTile::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint()))
        emit clicked(m_bench.name);
    m_pressed = false;
}

} // namespace lab
