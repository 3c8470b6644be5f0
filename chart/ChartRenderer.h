#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

namespace chart {

/** The chart bitmap's size in pixels. */
inline constexpr int kChartWidth = 600;
inline constexpr int kChartHeight = 150;

/** A new chart bitmap of the chart's size. */
QImage newChartImage();

/** The colour of a plain colour value 0x00BBGGRR (red in the low byte). */
QColor plainColor(std::int32_t value);

/** Draws the empty chart: for now the background in @p brushColor. */
void drawEmptyChart(QImage& image, std::int32_t brushColor);

} // namespace chart
