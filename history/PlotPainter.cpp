#include "history/PlotPainter.h"

#include "history/AxisTicks.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace history {

namespace {

constexpr QRgb kGridColour = qRgb(226, 226, 226);
constexpr QRgb kAxisColour = qRgb(90, 90, 90);
constexpr QRgb kTextColour = qRgb(40, 40, 40);
constexpr QRgb kMarkerColour = qRgb(20, 20, 20);
constexpr double kMinTickGapPx = 90;
// Room right of the plot area, where the last time label may reach.
constexpr int kRightMargin = 16;
constexpr double kMinValueGapPx = 28;

// Pixel x of elapsed time @p ms, kept a little outside the area when it lies far beyond it.
int columnOf(const PlotView& view, double ms)
{
    const QRect area = view.area();
    const double x = std::clamp(view.xOf(ms), area.left() - 8.0, area.right() + 8.0);
    return static_cast<int>(std::floor(x));
}

bool hasReading(const RunColumns& run, qsizetype i)
{
    return !std::isnan(run.temperatureAt(i));
}

// Shades [left, right) of the area's height, a pixel at least.
void shade(QPainter& painter, const QRect& area, int left, int right, std::uint8_t gaps)
{
    const QColor colour((gaps & kPortLostGap) != 0 ? kPortLostShade : kNoReplyShade);
    painter.fillRect(QRect(left, area.top(), std::max(right - left, 1), area.height()), colour);
}

// The gaps where the view holds two ticks a pixel or more: each pixel column with a tick
// without a reading, neighbours of one kind as one rectangle.
void shadeColumns(QPainter& painter, const PlotView& view, const std::vector<ColumnSpan>& columns)
{
    const QRect area = view.area();
    int from = -1;
    std::uint8_t kind = 0;
    for (int c = 0; c <= static_cast<int>(columns.size()); ++c) {
        const std::uint8_t gaps = c < static_cast<int>(columns.size())
            ? columns[static_cast<std::size_t>(c)].span.gaps
            : 0;
        const std::uint8_t k = (gaps & kPortLostGap) != 0 ? std::uint8_t { kPortLostGap } : gaps;
        if (k == kind)
            continue;
        if (kind != 0)
            shade(painter, area, area.left() + from, area.left() + c, kind);
        from = c;
        kind = k;
    }
}

// The same where the view holds few ticks: a tick without a reading shades from its own time to
// the next tick's.
void shadeTicks(
    QPainter& painter, const PlotView& view, const RunColumns& run, qsizetype begin, qsizetype end)
{
    const QRect area = view.area();
    for (qsizetype i = begin; i < end; ++i) {
        const std::uint8_t gap = gapBit(run.statusAt(i));
        if (gap == 0 && hasReading(run, i))
            continue;
        const int left = columnOf(view, static_cast<double>(run.elapsedAt(i)));
        const int right = i + 1 < run.size()
            ? columnOf(view, static_cast<double>(run.elapsedAt(i + 1)))
            : left + 1;
        shade(painter, area, left, right, gap == 0 ? std::uint8_t { kNoReplyGap } : gap);
    }
}

// One stroke a pixel column, joined to the column before where no tick without a reading lies
// between their readings.
void drawColumns(QPainter& painter, const PlotView& view, const RunColumns& run,
    const std::vector<ColumnSpan>& columns, QRgb colour)
{
    QList<QLine> strokes;
    strokes.reserve(static_cast<qsizetype>(columns.size()));
    const ColumnSpan* previous = nullptr;
    int previousTop = 0;
    int previousBottom = 0;
    const int left = view.area().left();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const ColumnSpan& column = columns[c];
        if (!column.span.hasReading())
            continue;
        int top = view.rowOf(column.span.max);
        int bottom = view.rowOf(column.span.min);
        const int drawnTop = top;
        const int drawnBottom = bottom;
        // Empty columns between keep begin == end, so adjacency of ticks is what counts.
        if (previous != nullptr && previous->end == column.begin && column.begin > 0
            && hasReading(run, column.begin - 1) && hasReading(run, column.begin)) {
            top = std::min(top, previousBottom);
            bottom = std::max(bottom, previousTop);
        }
        const int x = left + static_cast<int>(c);
        strokes.append(QLine(x, top, x, bottom));
        previous = &column;
        previousTop = drawnTop;
        previousBottom = drawnBottom;
    }
    painter.setPen(QPen(QColor(colour), 0));
    painter.drawLines(strokes);
}

// The readings themselves, a line broken at each tick without one; a lone reading as a point.
void drawTicks(QPainter& painter, const PlotView& view, const RunColumns& run, qsizetype begin,
    qsizetype end, QRgb colour)
{
    painter.setPen(QPen(QColor(colour), 0));
    QPolygon line;
    const auto flush = [&] {
        if (line.size() == 1)
            painter.drawPoint(line.first());
        else if (line.size() > 1)
            painter.drawPolyline(line);
        line.clear();
    };
    for (qsizetype i = begin; i < end; ++i) {
        if (!hasReading(run, i)) {
            flush();
            continue;
        }
        line.append(QPoint(columnOf(view, static_cast<double>(run.elapsedAt(i))),
            view.rowOf(run.temperatureAt(i))));
    }
    flush();
}

// What of a run lies in the view: its pixel columns where it holds two ticks a pixel or more,
// else the ticks themselves (with one beyond each edge, so the line runs on to the border).
struct Visible {
    const RunColumns* run = nullptr;
    bool perTick = true;
    qsizetype begin = 0;
    qsizetype end = 0;
    std::vector<ColumnSpan> columns;
};

Visible visibleOf(const PlotView& view, const RunColumns& run)
{
    Visible visible;
    visible.run = &run;
    if (run.isEmpty())
        return visible;
    const int width = view.area().width();
    const qsizetype begin = run.lowerBound(view.fromMs());
    const qsizetype end = run.lowerBound(view.toMs());
    visible.perTick = end - begin < 2 * static_cast<qsizetype>(width);
    if (visible.perTick) {
        visible.begin = std::max<qsizetype>(begin - 1, 0);
        visible.end = std::min(end + 1, run.size());
    } else {
        visible.columns = columnSpans(run, view.fromMs(), view.toMs(), width);
    }
    return visible;
}

void shadeGaps(QPainter& painter, const PlotView& view, const Visible& visible)
{
    if (visible.perTick)
        shadeTicks(painter, view, *visible.run, visible.begin, visible.end);
    else
        shadeColumns(painter, view, visible.columns);
}

void drawLine(QPainter& painter, const PlotView& view, const Visible& visible, QRgb colour)
{
    if (visible.perTick)
        drawTicks(painter, view, *visible.run, visible.begin, visible.end, colour);
    else
        drawColumns(painter, view, *visible.run, visible.columns, colour);
}

void drawGrid(QPainter& painter, const PlotView& view, std::int64_t startMs)
{
    const QRect area = view.area();
    const QFontMetrics metrics = painter.fontMetrics();
    const std::vector<AxisTick> times = view.clockAxis()
        ? clockTicks(startMs + view.fromMs(), startMs + view.toMs(), area.width(), kMinTickGapPx)
        : elapsedTicks(view.fromMs(), view.toMs(), area.width(), kMinTickGapPx);
    const std::int64_t offset = view.clockAxis() ? startMs : 0;
    for (const AxisTick& tick : times) {
        const int x = columnOf(view, tick.at - static_cast<double>(offset));
        if (x < area.left() || x > area.right())
            continue;
        painter.setPen(QColor(kGridColour));
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(QColor(kTextColour));
        const int w = metrics.horizontalAdvance(tick.label);
        // A label under the plot's right edge is moved in rather than cut off by the picture's.
        painter.drawText(std::min(x - w / 2, area.right() + kRightMargin - w),
            area.bottom() + 6 + metrics.ascent(), tick.label);
    }
    const std::vector<AxisTick> values
        = valueTicks(view.lowValue(), view.highValue(), area.height(), kMinValueGapPx);
    for (const AxisTick& tick : values) {
        const int y = view.rowOf(tick.at);
        if (y < area.top() || y > area.bottom())
            continue;
        painter.setPen(QColor(kGridColour));
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(QColor(kTextColour));
        const int w = metrics.horizontalAdvance(tick.label);
        painter.drawText(area.left() - 6 - w, y + metrics.ascent() / 2 - 1, tick.label);
    }
    painter.drawText(area.left() - metrics.horizontalAdvance(QStringLiteral("°C")) - 6,
        area.top() - 6, QStringLiteral("°C"));
    const QString timeTitle = view.clockAxis() ? QStringLiteral("время суток")
                                               : QStringLiteral("время от старта, ч:мин");
    painter.drawText(area.right() - metrics.horizontalAdvance(timeTitle),
        area.bottom() + 8 + metrics.height() + metrics.ascent(), timeTitle);
}

// Two step lines, lower and upper, from the first step (not before the run's start) to the
// run's last tick, with a mark at each upload made during the run.
void drawLimits(QPainter& painter, const PlotView& view, const PlotScene& scene)
{
    const RunColumns& run = *scene.run;
    if (scene.limits.empty() || run.isEmpty())
        return;
    const double endMs = std::max(static_cast<double>(run.elapsedAt(run.size() - 1)), 0.0);
    QPolygon lower;
    QPolygon upper;
    for (std::size_t k = 0; k < scene.limits.size(); ++k) {
        const LimitsStep& step = scene.limits[k];
        // Within the run: from its start (the upload before it) to its last tick.
        const double from
            = std::clamp(static_cast<double>(step.timeMs - run.startMs()), 0.0, endMs);
        const double to = k + 1 < scene.limits.size()
            ? static_cast<double>(scene.limits[k + 1].timeMs - run.startMs())
            : endMs;
        const int x0 = columnOf(view, from);
        const int x1 = columnOf(view, std::clamp(to, from, endMs));
        lower << QPoint(x0, view.rowOf(step.lower)) << QPoint(x1, view.rowOf(step.lower));
        upper << QPoint(x0, view.rowOf(step.upper)) << QPoint(x1, view.rowOf(step.upper));
    }
    painter.setPen(QPen(QColor(kLimitsColour), 0, Qt::DashLine));
    painter.drawPolyline(lower);
    painter.drawPolyline(upper);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(kLimitsColour));
    const QRect area = view.area();
    for (const LimitsStep& step : scene.limits) {
        if (step.timeMs < run.startMs())
            continue;
        const int x = columnOf(view, static_cast<double>(step.timeMs - run.startMs()));
        painter.drawPolygon(QPolygon(
            { QPoint(x - 5, area.top()), QPoint(x + 5, area.top()), QPoint(x, area.top() + 7) }));
    }
    painter.setBrush(Qt::NoBrush);
}

// Each alarm as a translucent band across the plot with a strip along its top; one pass over
// the few spans, whatever the run's length.
void drawAlarms(QPainter& painter, const PlotView& view, const PlotScene& scene)
{
    const RunColumns& run = *scene.run;
    if (scene.alarms.empty() || run.isEmpty())
        return;
    const QRect area = view.area();
    const std::int64_t lastMs = run.elapsedAt(run.size() - 1);
    QColor band(kAlarmColour);
    band.setAlpha(40);
    for (const AlarmSpan& span : scene.alarms) {
        const double from = static_cast<double>(span.fromMs - run.startMs());
        const double to = span.toMs ? static_cast<double>(*span.toMs - run.startMs())
                                    : static_cast<double>(std::max(lastMs, std::int64_t { 0 }));
        const int x0 = columnOf(view, from);
        const int x1 = std::max(columnOf(view, std::max(to, from)), x0 + 1);
        painter.fillRect(QRect(x0, area.top(), x1 - x0, area.height()), band);
        painter.fillRect(QRect(x0, area.top(), x1 - x0, kAlarmStripHeight), QColor(kAlarmColour));
    }
}

void drawLegend(QPainter& painter, const QRect& area, const PlotScene& scene)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const int w = std::max(metrics.horizontalAdvance(scene.runLabel),
                      metrics.horizontalAdvance(scene.compareLabel))
        + 40;
    const QRect box(area.right() - w - 8, area.top() + 10, w, 2 * line + 10);
    painter.fillRect(box, QColor(255, 255, 255, 230));
    painter.setPen(QColor(kAxisColour));
    painter.drawRect(box);
    const QString* labels[] = { &scene.runLabel, &scene.compareLabel };
    const QRgb colours[] = { kLineColour, kCompareColour };
    for (int i = 0; i < 2; ++i) {
        const int y = box.top() + 5 + i * line + line / 2;
        painter.setPen(QPen(QColor(colours[i]), 2));
        painter.drawLine(box.left() + 6, y, box.left() + 28, y);
        painter.setPen(QColor(kTextColour));
        painter.drawText(box.left() + 34, y + metrics.ascent() / 2 - 1, *labels[i]);
    }
}

void drawOverlay(
    QPainter& painter, const PlotView& view, const RunColumns* run, const PlotOverlay& overlay)
{
    const QRect area = view.area();
    const std::optional<qsizetype> markers[] = { overlay.markerA, overlay.markerB };
    const QString names[] = { QStringLiteral("A"), QStringLiteral("B") };
    for (int i = 0; i < 2; ++i) {
        if (!markers[i] || run == nullptr || *markers[i] >= run->size())
            continue;
        const int x = columnOf(view, static_cast<double>(run->elapsedAt(*markers[i])));
        painter.setPen(QPen(QColor(kMarkerColour), 0, Qt::DashDotLine));
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(QColor(kMarkerColour));
        painter.drawText(x + 3, area.top() + painter.fontMetrics().ascent() + 2, names[i]);
        const float reading = run->temperatureAt(*markers[i]);
        if (!std::isnan(reading))
            painter.drawEllipse(QPoint(x, view.rowOf(reading)), 3, 3);
    }
    if (!overlay.selection.isEmpty()) {
        painter.setPen(QPen(QColor(kMarkerColour), 0, Qt::DotLine));
        painter.drawRect(overlay.selection.normalized());
    }
}

} // namespace

QRect PlotPainter::plotArea(const QSize& size)
{
    const QFontMetrics metrics { QFont() };
    const int left = metrics.horizontalAdvance(QStringLiteral("-000.00")) + 12;
    const int top = metrics.height() + 10;
    const int bottom = 2 * metrics.height() + 14;
    const int right = kRightMargin;
    return { left, top, std::max(size.width() - left - right, 1),
        std::max(size.height() - top - bottom, 1) };
}

void PlotPainter::fitValues(PlotView& view, const PlotScene& scene)
{
    float min = std::numeric_limits<float>::quiet_NaN();
    float max = min;
    for (const RunColumns* run : { scene.run, scene.compare }) {
        if (run == nullptr || run->isEmpty())
            continue;
        const Span span = run->span(run->lowerBound(view.fromMs()), run->lowerBound(view.toMs()));
        if (!span.hasReading())
            continue;
        min = std::isnan(min) ? span.min : std::min(min, span.min);
        max = std::isnan(max) ? span.max : std::max(max, span.max);
    }
    view.fitValues(min, max);
}

void PlotPainter::paint(QPainter& painter, const QSize& size, const PlotView& view,
    const PlotScene& scene, const PlotOverlay& overlay)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const QRect area = view.area();
    const RunColumns* run = scene.run != nullptr && !scene.run->isEmpty() ? scene.run : nullptr;
    const std::int64_t startMs
        = run != nullptr ? run->startMs() : QDateTime::currentMSecsSinceEpoch();

    const Visible visible = run != nullptr ? visibleOf(view, *run) : Visible();
    painter.save();
    painter.setClipRect(area);
    // The shading goes under the grid, the lines over it.
    if (run != nullptr) {
        shadeGaps(painter, view, visible);
        drawAlarms(painter, view, scene);
    }
    painter.restore();

    drawGrid(painter, view, startMs);

    painter.save();
    painter.setClipRect(area);
    if (run != nullptr)
        drawLimits(painter, view, scene);
    if (scene.compare != nullptr)
        drawLine(painter, view, visibleOf(view, *scene.compare), kCompareColour);
    if (run != nullptr)
        drawLine(painter, view, visible, kLineColour);
    drawOverlay(painter, view, run, overlay);
    painter.restore();

    painter.setPen(QColor(kAxisColour));
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    if (scene.compare != nullptr)
        drawLegend(painter, area, scene);
    painter.restore();
}

} // namespace history
