#include "history/PlotView.h"

#include <algorithm>
#include <cmath>

namespace history {

namespace {

// Pixels of a plot area, never zero, so that no mapping divides by zero.
double widthOf(const QRect& area)
{
    return std::max(area.width(), 1);
}
double rowsOf(const QRect& area)
{
    return std::max(area.height() - 1, 1);
}

} // namespace

void PlotView::setRunExtent(std::int64_t firstMs, std::int64_t lastMs)
{
    m_hasRun = true;
    m_runFirst = firstMs;
    m_runLast = std::max(firstMs, lastMs);
}

void PlotView::setCompareExtent(std::int64_t firstMs, std::int64_t lastMs)
{
    m_hasCompare = true;
    m_compareFirst = firstMs;
    m_compareLast = std::max(firstMs, lastMs);
}

bool PlotView::extent(std::int64_t& first, std::int64_t& last) const
{
    if (!m_hasRun && !m_hasCompare)
        return false;
    first = m_hasRun ? m_runFirst : m_compareFirst;
    last = m_hasRun ? m_runLast : m_compareLast;
    if (m_hasCompare) {
        first = std::min(first, m_compareFirst);
        last = std::max(last, m_compareLast);
    }
    return true;
}

std::int64_t PlotView::maxSpanMs() const
{
    // Zooming out stops a little beyond the whole run: a minute at least, for a run just begun.
    std::int64_t first = 0;
    std::int64_t last = 0;
    const std::int64_t run = extent(first, last) ? last - first : 0;
    return std::max<std::int64_t>(run + run / 10, 60000);
}

void PlotView::showWholeRun()
{
    m_whole = true;
    m_userValue = false;
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (!extent(first, last)) {
        m_from = 0;
        m_to = 60000;
        return;
    }
    // The last tick's column is half-open at its right: one millisecond more keeps it in view.
    m_from = first;
    m_to = std::max(last + 1, first + kMinSpanMs);
}

void PlotView::setTimeRange(std::int64_t fromMs, std::int64_t toMs)
{
    m_whole = false;
    boundTime(static_cast<double>(fromMs), static_cast<double>(toMs));
}

void PlotView::runGrew(std::int64_t previousLastMs, std::int64_t lastMs)
{
    const bool atNewest = m_to > previousLastMs;
    setRunExtent(m_hasRun ? m_runFirst : 0, lastMs);
    if (m_whole) {
        const bool userValue = m_userValue;
        showWholeRun();
        m_userValue = userValue;
    } else if (atNewest && lastMs > previousLastMs) {
        m_from += lastMs - previousLastMs;
        m_to += lastMs - previousLastMs;
    }
}

void PlotView::boundTime(double from, double to)
{
    const double minSpan = kMinSpanMs;
    const auto maxSpan = static_cast<double>(maxSpanMs());
    double span = to - from;
    if (!(span >= minSpan) || span > maxSpan) {
        const double mid = std::isfinite(from + to) ? (from + to) / 2 : 0;
        span = span > maxSpan ? maxSpan : minSpan;
        from = mid - span / 2;
    }
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (extent(first, last)) {
        // The middle of the view stays within the run, so that some of it is always in sight.
        const double mid = from + span / 2;
        if (mid < static_cast<double>(first))
            from += static_cast<double>(first) - mid;
        else if (mid > static_cast<double>(last))
            from -= mid - static_cast<double>(last);
    }
    m_from = std::llround(from);
    m_to = m_from + std::llround(span);
}

void PlotView::zoomTime(double factor, double aboutX)
{
    if (!(factor > 0))
        return;
    const double at = msAt(aboutX);
    m_whole = false;
    boundTime(at - (at - static_cast<double>(m_from)) * factor,
        at + (static_cast<double>(m_to) - at) * factor);
}

void PlotView::zoomValue(double factor, double aboutY)
{
    if (!(factor > 0))
        return;
    const double at = valueAt(aboutY);
    m_userValue = true;
    setValueRange(at - (at - m_low) * factor, at + (m_high - at) * factor);
}

void PlotView::panPixels(double dx, double dy)
{
    const double msPerPx = static_cast<double>(spanMs()) / widthOf(m_area);
    m_whole = false;
    boundTime(static_cast<double>(m_from) - dx * msPerPx, static_cast<double>(m_to) - dx * msPerPx);
    if (m_userValue) {
        const double perPx = (m_high - m_low) / rowsOf(m_area);
        setValueRange(m_low + dy * perPx, m_high + dy * perPx);
    }
}

void PlotView::panFraction(double fraction)
{
    const double shift = static_cast<double>(spanMs()) * fraction;
    m_whole = false;
    boundTime(static_cast<double>(m_from) + shift, static_cast<double>(m_to) + shift);
}

void PlotView::zoomToRect(const QRect& rect)
{
    const QRect r = rect.normalized();
    m_whole = false;
    boundTime(msAt(r.left()), msAt(r.right() + 1));
    m_userValue = true;
    setValueRange(valueAt(r.bottom()), valueAt(r.top()));
}

void PlotView::fitValues(double min, double max)
{
    if (m_userValue || std::isnan(min) || std::isnan(max))
        return;
    const double margin = std::max((max - min) * 0.05, 0.25);
    setValueRange(min - margin, max + margin);
}

void PlotView::setValueRange(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high))
        return;
    if (low > high)
        std::swap(low, high);
    const double span = std::clamp(high - low, kMinValueSpan, kMaxValueSpan);
    const double mid = (low + high) / 2;
    m_low = mid - span / 2;
    m_high = mid + span / 2;
}

double PlotView::xOf(double ms) const
{
    return m_area.left()
        + (ms - static_cast<double>(m_from)) * widthOf(m_area) / static_cast<double>(spanMs());
}

double PlotView::msAt(double x) const
{
    return static_cast<double>(m_from)
        + (x - m_area.left()) * static_cast<double>(spanMs()) / widthOf(m_area);
}

int PlotView::rowOf(double value) const
{
    const double row = m_area.top() + (m_high - value) / (m_high - m_low) * rowsOf(m_area);
    // Far outside the area a row is only drawn clipped; keep it within what an int holds.
    return static_cast<int>(std::lround(std::clamp(row, -1.0e6, 1.0e6)));
}

double PlotView::valueAt(double y) const
{
    return m_high - (y - m_area.top()) * (m_high - m_low) / rowsOf(m_area);
}

} // namespace history
