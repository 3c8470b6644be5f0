#pragma once

#include <QRect>

#include <cstdint>

namespace history {

/**
 * What part of a run a plot shows and how it maps onto pixels: the time range in elapsed
 * milliseconds since Start, the temperature range, whether the user zoomed the temperature
 * (else it fits the visible readings), whether the view follows a growing run, and whether the
 * time axis is labelled with the clock or with the time since Start. No drawing and no widget:
 * the plot widget, the painter and the tests share it.
 *
 * Pixel column c of the plot area covers elapsed times [from + span * c / width,
 * from + span * (c + 1) / width), as columnSpans() cuts them.
 */
class PlotView {
public:
    /** The shortest time span a view may show, and the least temperature span. */
    static constexpr std::int64_t kMinSpanMs = 1000;
    static constexpr double kMinValueSpan = 0.05;
    static constexpr double kMaxValueSpan = 10000;

    /** The plot area in the painter's pixels (inside the axes). */
    QRect area() const { return m_area; }
    void setArea(const QRect& area) { m_area = area; }

    std::int64_t fromMs() const { return m_from; }
    std::int64_t toMs() const { return m_to; }
    std::int64_t spanMs() const { return m_to - m_from; }
    double lowValue() const { return m_low; }
    double highValue() const { return m_high; }

    /** The run's extent, in elapsed milliseconds of its first and last tick; the bounds of
     *  zooming and panning. An empty run has none (hasRun() false). */
    void setRunExtent(std::int64_t firstMs, std::int64_t lastMs);
    void setNoRun() { m_hasRun = false; }
    bool hasRun() const { return m_hasRun; }
    std::int64_t runFirstMs() const { return m_runFirst; }
    std::int64_t runLastMs() const { return m_runLast; }
    /** A compared run's extent: the whole view and the bounds then take in both runs. */
    void setCompareExtent(std::int64_t firstMs, std::int64_t lastMs);
    void clearCompareExtent() { m_hasCompare = false; }

    /** Shows the whole run (and lets the temperature fit again). */
    void showWholeRun();
    /** True while the view is the whole run (it then grows with the run). */
    bool isWholeRun() const { return m_whole; }
    /** Sets the time range (bounded as zooming bounds it); the view is no longer the whole run. */
    void setTimeRange(std::int64_t fromMs, std::int64_t toMs);

    /**
     * The run grew from its last tick at @p previousLastMs to @p lastMs. The whole-run view
     * grows with it; a view whose right edge was at the newest tick slides with it, keeping its
     * span; a view moved back in time stays.
     */
    void runGrew(std::int64_t previousLastMs, std::int64_t lastMs);

    /** Zooms time by @p factor (below 1 zooms in) about the time at pixel x @p aboutX. */
    void zoomTime(double factor, double aboutX);
    /** Zooms the temperature by @p factor about the value at pixel y @p aboutY; the temperature
     *  then no longer fits the readings. */
    void zoomValue(double factor, double aboutY);
    /** Moves the view by @p dx, @p dy pixels (content follows the pointer); the temperature moves
     *  only where the user zoomed it. */
    void panPixels(double dx, double dy);
    /** Moves the view by @p fraction of its time span (negative: back in time). */
    void panFraction(double fraction);
    /** Zooms to the pixel rectangle @p rect (time always; the temperature too, as a user zoom). */
    void zoomToRect(const QRect& rect);

    /** The temperature range; fitValues() leaves it alone while userZoomedValue(). */
    bool userZoomedValue() const { return m_userValue; }
    /** Fits the temperature to readings from @p min to @p max (NaN: none) with a small margin. */
    void fitValues(double min, double max);
    void setValueRange(double low, double high);

    /** True: the time axis shows the time of day; false: the time since Start. */
    bool clockAxis() const { return m_clock; }
    void setClockAxis(bool clock) { m_clock = clock; }

    /** Pixel x of elapsed time @p ms (the left edge of the column holding it). */
    double xOf(double ms) const;
    /** Elapsed time at pixel x @p x. */
    double msAt(double x) const;
    /** Pixel row of temperature @p value (a reading is drawn in this row). */
    int rowOf(double value) const;
    /** Temperature at pixel y @p y. */
    double valueAt(double y) const;

private:
    void boundTime(double from, double to);
    std::int64_t maxSpanMs() const;
    /** The time both runs cover; false when there is no run. */
    bool extent(std::int64_t& first, std::int64_t& last) const;

    QRect m_area { 0, 0, 1, 1 };
    std::int64_t m_from = 0;
    std::int64_t m_to = 60000;
    double m_low = 20;
    double m_high = 40;
    std::int64_t m_runFirst = 0;
    std::int64_t m_runLast = 0;
    bool m_hasRun = false;
    std::int64_t m_compareFirst = 0;
    std::int64_t m_compareLast = 0;
    bool m_hasCompare = false;
    bool m_whole = true;
    bool m_userValue = false;
    bool m_clock = true;
};

} // namespace history
